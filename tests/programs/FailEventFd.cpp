// Preloaded into a program (LD_PRELOAD) in place of the C library's eventfd: every call fails as in
// a process that has used up its descriptors. Qt falls back on pipes for its own wake-ups; the
// platform's message queue can watch nothing else.
#include <cerrno>

extern "C" int eventfd(unsigned int, int) {
  errno = EMFILE;
  return -1;
}
