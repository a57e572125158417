// Helpers shared by the platform tests: a leak-checking fixture, bounded waits, and threads made
// by CreateThread around a callable.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/Handles.h"
#include "platform/Heap.h"
#include "platform/Messages.h"
#include "platform/Sync.h"
#include "platform/Threads.h"
#include "tests/support/FaultInjection.h"

namespace platform_test {

// The bound on every wait that a passing test expects to end.
inline constexpr DWORD kBound = 5000;

struct LiveCounts {
  std::size_t handles = platform::OpenHandleCount();
  std::size_t threads = platform::LiveThreadCount();
  std::size_t windows = platform::LiveWindowCount();
  std::size_t blocks = platform::LiveLocalBlocks();
  bool operator==(const LiveCounts&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const LiveCounts& c) {
  return out << "{handles " << c.handles << ", threads " << c.threads << ", windows " << c.windows
             << ", blocks " << c.blocks << "}";
}

// Fails a test that leaves a handle, thread, window or block behind, or a message in the test
// thread's queue; disarms the fault points.
class PlatformTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::ClearFaults();
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
      ADD_FAILURE() << "message 0x" << std::hex << left.message << " left in the queue";
    }
    EXPECT_EQ(LiveCounts{}, before_);
  }

 private:
  const LiveCounts before_{};
};

inline HANDLE NewEvent(bool manual = true) {
  HANDLE event = CreateEventA(nullptr, manual, FALSE, nullptr);
  EXPECT_NE(event, nullptr);
  return event;
}

inline ::testing::AssertionResult Signalled(HANDLE handle, DWORD bound = kBound) {
  const DWORD result = WaitForSingleObject(handle, bound);
  if (result == WAIT_OBJECT_0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "not signalled within " << bound << " ms: " << result;
}

// Every message now in the calling thread's queue, in order.
inline std::vector<MSG> Drain() {
  std::vector<MSG> messages;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    messages.push_back(message);
  }
  return messages;
}

// A thread made by CreateThread that runs body. The destructor waits (bounded) for its end and
// closes the handle; a thread that does not end is reported and its body kept alive.
class TestThread {
 public:
  explicit TestThread(std::function<DWORD()> body, DWORD flags = 0)
      : body_(std::make_unique<std::function<DWORD()>>(std::move(body))) {
    handle_ = CreateThread(nullptr, 0, &Run, body_.get(), flags, &id_);
    EXPECT_NE(handle_, nullptr);
  }
  ~TestThread() {
    if (handle_ == nullptr) {
      return;
    }
    if (!Join()) {
      body_.release();  // still in use by the thread
    }
    CloseHandle(handle_);
  }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  HANDLE Handle() const { return handle_; }
  DWORD Id() const { return id_; }
  // Bounded beyond kBound, so that a body's own bounded waits run out first.
  ::testing::AssertionResult Join() const { return Signalled(handle_, 2 * kBound); }
  // Closes the handle now (of a thread that never started, say).
  void Close() {
    CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  static DWORD Run(LPVOID body) { return (*static_cast<std::function<DWORD()>*>(body))(); }

  std::unique_ptr<std::function<DWORD()>> body_;
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

}  // namespace platform_test
