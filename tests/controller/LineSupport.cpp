#include "LineSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

namespace testline {
namespace {

int Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Polls fd for events until deadline, retrying on EINTR; the revents, or 0 on timeout.
short PollUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, Remaining(deadline));
    if (ready > 0) {
      return entry.revents;
    }
    if (ready == 0 || errno != EINTR) {
      return 0;
    }
  }
}

}  // namespace

TestLine::TestLine(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios settings{};
  if (fd_ >= 0 && ::tcgetattr(fd_, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(fd_, TCSANOW, &settings);
  }
}

TestLine::~TestLine() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void TestLine::Send(const controller::Bytes& bytes) {
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (wrote > 0) {
      done += static_cast<std::size_t>(wrote);
    } else if (wrote < 0 && errno == EAGAIN) {
      ASSERT_NE(PollUntil(fd_, POLLOUT, deadline), 0) << "line does not take bytes";
    } else if (wrote < 0 && errno != EINTR) {
      FAIL() << "write failed: errno " << errno;
    }
  }
  sentAt_ = Clock::now();
}

std::optional<Block> TestLine::ReadBlock(milliseconds firstByte, milliseconds quiet) {
  Block block;
  auto deadline = Clock::now() + firstByte;
  const auto giveUp = Clock::now() + firstByte + std::chrono::seconds(10);  // bounds a stream
  for (;;) {
    const short ready = PollUntil(fd_, POLLIN, std::min(deadline, giveUp));
    if ((ready & POLLIN) == 0) {
      break;
    }
    std::uint8_t buffer[512];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) {
      break;
    }
    const auto now = Clock::now();
    if (block.bytes.empty()) {
      block.first = now;
    } else {
      block.widestGap = std::max(block.widestGap, now - block.last);
    }
    block.last = now;
    block.bytes.insert(block.bytes.end(), buffer, buffer + got);
    deadline = now + quiet;
  }
  if (block.bytes.empty()) {
    return std::nullopt;
  }
  return block;
}

controller::Bytes TestLine::Exchange(const controller::Bytes& request) {
  Send(request);
  const auto block = ReadBlock(std::chrono::seconds(1));
  return block ? block->bytes : controller::Bytes{};
}

bool TestLine::WaitForHangUp(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const short ready = PollUntil(fd_, POLLIN, deadline);
    if (ready & (POLLHUP | POLLERR)) {
      return true;
    }
    if (ready & POLLIN) {
      std::uint8_t buffer[64];
      if (::read(fd_, buffer, sizeof buffer) <= 0) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace testline
