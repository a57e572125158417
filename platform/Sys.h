// The system calls of the serial devices and of the message queues' descriptors, each through one
// thin wrapper that keeps the call's name and the errno it left. The wrappers call through a table
// that tests may replace, to inject EINTR, EIO, short reads and writes or a failure to make a
// descriptor without touching the code that makes the calls.
#pragma once

#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

#include <cstddef>

namespace platform::sys {

// One call's outcome: value is what the call returned; when it is negative, error holds the errno
// it left (else 0). call names the call, for messages. Every caller looks at it: one that has
// nothing to do on failure says why where it drops it.
struct [[nodiscard]] Result {
  long value;
  int error;
  const char* call;

  bool ok() const { return value >= 0; }
};

struct Calls {
  int (*open)(const char* path, int flags);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buffer, std::size_t count);
  ssize_t (*write)(int fd, const void* buffer, std::size_t count);
  int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  int (*tcgetattr)(int fd, termios* attributes);
  int (*tcsetattr)(int fd, int when, const termios* attributes);
  int (*tcflush)(int fd, int queue);
  int (*flock)(int fd, int operation);
  int (*fstat)(int fd, struct stat* status);
  int (*eventfd)(unsigned initial, int flags);
};

// The calls of the operating system itself.
const Calls& RealCalls();

// Makes the wrappers call through calls (which must stay valid until it is replaced again) and
// returns the table in use before. Thread-safe; a call already under way finishes on the old table.
[[nodiscard]] const Calls* ReplaceCalls(const Calls* calls);

// Puts a replacement table in force for the life of the object, then restores the previous one.
class ScopedCalls {
 public:
  explicit ScopedCalls(const Calls& calls) : calls_(calls), previous_(ReplaceCalls(&calls_)) {}
  ~ScopedCalls() { (void)ReplaceCalls(previous_); }  // it hands back calls_, which ends here
  ScopedCalls(const ScopedCalls&) = delete;
  ScopedCalls& operator=(const ScopedCalls&) = delete;

 private:
  const Calls calls_;
  const Calls* previous_;
};

Result Open(const char* path, int flags);
Result Close(int fd);
// Closes fd where a failure leaves nothing to do: Linux releases the descriptor even when close
// reports an error (EINTR, or EIO from a device that failed), so it is never retried, and the
// device's failure reaches its user through the read or write that meets it.
void CloseQuietly(int fd);
Result Read(int fd, void* buffer, std::size_t count);
Result Write(int fd, const void* buffer, std::size_t count);
// EINTR is returned like any other error; callers retry with a recomputed timeout.
Result Poll(pollfd* fds, nfds_t count, int timeoutMs);
Result Ioctl(int fd, unsigned long request, void* argument = nullptr);
Result TcGetAttr(int fd, termios& attributes);
Result TcSetAttr(int fd, int when, const termios& attributes);
Result TcFlush(int fd, int queue);
Result Flock(int fd, int operation);
Result Fstat(int fd, struct stat& status);
Result EventFd(unsigned initial, int flags);

}  // namespace platform::sys
