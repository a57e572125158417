#include "Sys.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace platform::sys {
namespace {

const Calls realCalls = {
    [](const char* path, int flags) { return ::open(path, flags); },
    ::close,
    ::read,
    ::write,
    ::poll,
    [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); },
    ::tcgetattr,
    ::tcsetattr,
    ::tcflush,
    ::flock,
    [](int fd, struct stat* status) { return ::fstat(fd, status); },
    [](unsigned initial, int flags) { return ::eventfd(initial, flags); },
};

std::atomic<const Calls*> current{&realCalls};

Result Done(long value, const char* call) {
  return {value, value < 0 ? errno : 0, call};
}

const Calls& Use() {
  return *current.load(std::memory_order_acquire);
}

}  // namespace

const Calls& RealCalls() {
  return realCalls;
}

const Calls* ReplaceCalls(const Calls* calls) {
  return current.exchange(calls, std::memory_order_acq_rel);
}

Result Open(const char* path, int flags) {
  return Done(Use().open(path, flags), "open");
}
Result Close(int fd) {
  return Done(Use().close(fd), "close");
}
void CloseQuietly(int fd) {
  (void)Close(fd);
}
Result Read(int fd, void* buffer, std::size_t count) {
  return Done(Use().read(fd, buffer, count), "read");
}
Result Write(int fd, const void* buffer, std::size_t count) {
  return Done(Use().write(fd, buffer, count), "write");
}
Result Poll(pollfd* fds, nfds_t count, int timeoutMs) {
  return Done(Use().poll(fds, count, timeoutMs), "poll");
}
Result Ioctl(int fd, unsigned long request, void* argument) {
  return Done(Use().ioctl(fd, request, argument), "ioctl");
}
Result TcGetAttr(int fd, termios& attributes) {
  return Done(Use().tcgetattr(fd, &attributes), "tcgetattr");
}
Result TcSetAttr(int fd, int when, const termios& attributes) {
  return Done(Use().tcsetattr(fd, when, &attributes), "tcsetattr");
}
Result TcFlush(int fd, int queue) {
  return Done(Use().tcflush(fd, queue), "tcflush");
}
Result Flock(int fd, int operation) {
  return Done(Use().flock(fd, operation), "flock");
}
Result Fstat(int fd, struct stat& status) {
  return Done(Use().fstat(fd, &status), "fstat");
}
Result EventFd(unsigned initial, int flags) {
  return Done(Use().eventfd(initial, flags), "eventfd");
}

}  // namespace platform::sys
