// Helpers of the serial tests: a pseudo-terminal whose slave the device under test opens, a
// temporary platform root, and bounded waits.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Handles.h"
#include "platform/Serial.h"
#include "platform/Sync.h"

namespace serialtest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Points the platform root at a fresh temporary directory for the life of the object.
class TempRoot {
 public:
  TempRoot() {
    char pattern[] = "/tmp/tavkel-serial-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ::setenv("TAVKEL_ROOT", dir_.c_str(), 1);
  }
  ~TempRoot() {
    ::unsetenv("TAVKEL_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// A pseudo-terminal pair; the test holds the master, the device under test opens SlavePath().
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      slave_ = ::ptsname(master_);
    }
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Ok() const { return master_ >= 0 && !slave_.empty(); }
  int Master() const { return master_; }
  const std::string& SlavePath() const { return slave_; }
  void CloseMaster() {
    if (master_ >= 0) {
      ::close(master_);
      master_ = -1;
    }
  }

  void Send(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(n, 0) << "write to the pty master failed";
      done += static_cast<std::size_t>(n);
    }
  }

  // Reads from the master until count bytes came or the bound passed.
  std::string Receive(std::size_t count, std::chrono::milliseconds bound = 5s) const {
    std::string got;
    const auto deadline = Clock::now() + bound;
    while (got.size() < count) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        break;
      }
      pollfd fd{master_, POLLIN, 0};
      if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) {
        break;
      }
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

inline HANDLE OpenDevice(const std::string& name) {
  return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline BOOL SetTimeouts(HANDLE device, DWORD interval, DWORD multiplier = 0, DWORD constant = 0,
                        DWORD writeMultiplier = 0, DWORD writeConstant = 0) {
  COMMTIMEOUTS timeouts{interval, multiplier, constant, writeMultiplier, writeConstant};
  return SetCommTimeouts(device, &timeouts);
}

// An OVERLAPPED record with its own manual-reset event.
struct Op {
  Op() { record.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr); }
  ~Op() { CloseHandle(record.hEvent); }
  Op(const Op&) = delete;
  Op& operator=(const Op&) = delete;

  bool Signalled(DWORD ms = 0) const {
    return WaitForSingleObject(record.hEvent, ms) == WAIT_OBJECT_0;
  }
  // Waits for the event within the bound; false when it did not come.
  bool Finished(std::chrono::milliseconds bound = 5s) const {
    return Signalled(static_cast<DWORD>(bound.count()));
  }

  OVERLAPPED record{};
};

// The outcome of a finished operation: its error code (ERROR_SUCCESS) and byte count.
struct Outcome {
  DWORD error;
  DWORD bytes;
};

inline Outcome ResultOf(HANDLE device, Op& op, BOOL wait = FALSE) {
  DWORD bytes = 0;
  const BOOL ok = GetOverlappedResult(device, &op.record, &bytes, wait);
  return {ok ? ERROR_SUCCESS : GetLastError(), bytes};
}

}  // namespace serialtest
