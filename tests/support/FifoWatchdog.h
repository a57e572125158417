// Keeps a test of code that must not wait on a FIFO from hanging when it does: once BoundMs have
// passed, the watchdog opens the FIFO for writing whenever a reader waits in opening it, which
// lets that open return (the reader then reads end of file), and Fired() tells that it had to.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace testsupport {

class FifoWatchdog {
 public:
  FifoWatchdog(std::string Path, int BoundMs)
      : path_(std::move(Path)), thread_([this, BoundMs] { Watch(BoundMs); }) {}
  ~FifoWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  FifoWatchdog(const FifoWatchdog&) = delete;
  FifoWatchdog& operator=(const FifoWatchdog&) = delete;

  bool Fired() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
  }

 private:
  void Watch(int BoundMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (changed_.wait_for(lock, std::chrono::milliseconds(BoundMs), [this] { return stopped_; })) {
      return;
    }
    // Without a waiting reader the open fails at once (ENXIO); a reader may come later.
    while (!stopped_) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        fired_ = true;
        ::close(fd);
      }
      changed_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopped_; });
    }
  }

  const std::string path_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false;
  bool fired_ = false;
  std::thread thread_;  // last: it starts once the fields above are made
};

}  // namespace testsupport
