#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Errors.h"
#include "platform/Handles.h"
#include "platform/Sync.h"
#include "tests/support/FaultInjection.h"

namespace {

using namespace std::chrono_literals;

HANDLE NewEvent(bool manual, bool initial) {
  HANDLE event = CreateEventA(nullptr, manual, initial, nullptr);
  EXPECT_NE(event, nullptr);
  return event;
}

TEST(Events, LowestSignalledIndexWins) {
  HANDLE events[3] = {NewEvent(true, false), NewEvent(true, true), NewEvent(true, true)};
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  SetEvent(events[0]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0);
  for (HANDLE e : events) {
    CloseHandle(e);
  }
}

TEST(Events, AutoResetIsConsumedByOneWaitAndManualStaysSet) {
  HANDLE autoReset = NewEvent(false, true);
  HANDLE manual = NewEvent(true, true);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  CloseHandle(autoReset);
  CloseHandle(manual);
}

TEST(Events, TimeoutElapsesWithoutSignal) {
  HANDLE event = NewEvent(true, false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
  CloseHandle(event);
}

TEST(Events, SetFromAnotherThreadWakesAnInfiniteWait) {
  HANDLE event = NewEvent(false, false);
  std::thread setter([&] { SetEvent(event); });
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  setter.join();
  CloseHandle(event);
}

TEST(Handles, ClosedHandleFailsWithInvalidHandle) {
  HANDLE event = NewEvent(true, false);
  const auto before = platform::OpenHandleCount();
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_EQ(platform::OpenHandleCount(), before - 1);
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Handles, CloseWhileAnotherThreadWaitsIsSafe) {
  HANDLE stop = NewEvent(true, false);
  HANDLE closed = NewEvent(true, false);
  std::thread waiter([&] {
    HANDLE both[2] = {stop, closed};
    // A wait that began before the close ends on the stop event; one that began after it fails.
    const DWORD result = WaitForMultipleObjects(2, both, FALSE, INFINITE);
    EXPECT_TRUE(result == WAIT_OBJECT_0 || result == WAIT_FAILED) << result;
  });
  CloseHandle(closed);
  SetEvent(stop);
  waiter.join();
  CloseHandle(stop);
}

TEST(Handles, LastErrorIsPerThread) {
  SetLastError(ERROR_IO_PENDING);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    SetLastError(ERROR_INVALID_HANDLE);
  });
  other.join();
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
}

TEST(Faults, CreateEventFailsWhenArmedAfterSkippedCalls) {
  platform::FailNextCall(platform::FaultPoint::CreateEventA, 1);
  HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE third = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  CloseHandle(first);
  CloseHandle(third);
}

}  // namespace
