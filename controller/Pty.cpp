#include "Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace controller {
PtyPair::PtyPair() {
  // Closes what is open so far and throws with the failed call's errno.
  const auto fail = [this](const char* call) {
    const int error = errno;
    Close();
    throw std::system_error(error, std::generic_category(), call);
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) {
    fail("posix_openpt");
  }
  char name[128];
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0) {
    fail("unlockpt");
  }
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    fail("open");
  }
  termios settings{};
  if (::tcgetattr(slave_, &settings) != 0) {
    fail("tcgetattr");
  }
  ::cfmakeraw(&settings);
  if (::tcsetattr(slave_, TCSANOW, &settings) != 0) {
    fail("tcsetattr");
  }
}

PtyPair::~PtyPair() {
  Close();
}

PtyPair::PtyPair(PtyPair&& other) noexcept
    : master_(std::exchange(other.master_, -1)),
      slave_(std::exchange(other.slave_, -1)),
      slavePath_(std::move(other.slavePath_)) {}

PtyPair& PtyPair::operator=(PtyPair&& other) noexcept {
  if (this != &other) {
    Close();
    master_ = std::exchange(other.master_, -1);
    slave_ = std::exchange(other.slave_, -1);
    slavePath_ = std::move(other.slavePath_);
  }
  return *this;
}

void PtyPair::Close() {
  if (slave_ >= 0) {
    ::close(slave_);
    slave_ = -1;
  }
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

}  // namespace controller
