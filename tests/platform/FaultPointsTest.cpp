#include "platform/Errors.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using namespace platform_test;

class FaultPointsTest : public PlatformTest {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  void TearDown() override {
    DestroyWindow(window_);
    Drain();
    PlatformTest::TearDown();
  }

  HWND window_ = nullptr;
};

// Each call succeeds or fails by what it returns; on success it releases what it made.
struct FaultCase {
  const char* name;
  platform::FaultPoint point;
  bool (*call)(HWND window);
  DWORD error;
};

DWORD Idle(LPVOID) {
  return 0;
}

bool MakeThread(HWND) {
  HANDLE thread = CreateThread(nullptr, 0, &Idle, nullptr, 0, nullptr);
  if (thread == nullptr) {
    return false;
  }
  WaitForSingleObject(thread, kBound);
  CloseHandle(thread);
  return true;
}

bool Allocate(HWND) {
  return LocalFree(LocalAlloc(LPTR, 14)) == nullptr && GetLastError() == 0;
}

bool PostToWindow(HWND window) {
  return PostMessageA(window, WM_USER + 3, 0, 0) != FALSE;
}

bool PostToThread(HWND) {
  return PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0) != FALSE;
}

TEST_F(FaultPointsTest, ArmedPointFailsOnlyItsNextCall) {
  const FaultCase cases[] = {
      {"CreateThread", platform::FaultPoint::CreateThread, &MakeThread, ERROR_NOT_ENOUGH_MEMORY},
      {"LocalAlloc", platform::FaultPoint::LocalAlloc, &Allocate, ERROR_NOT_ENOUGH_MEMORY},
      {"PostMessageA", platform::FaultPoint::PostMessageA, &PostToWindow,
       ERROR_INVALID_WINDOW_HANDLE},
      {"PostThreadMessageA", platform::FaultPoint::PostThreadMessageA, &PostToThread,
       ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const FaultCase& row : cases) {
    SCOPED_TRACE(row.name);
    const LiveCounts before;
    platform::FailNextCall(row.point);
    SetLastError(0);
    EXPECT_FALSE(row.call(window_));
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(LiveCounts{}, before) << "a failed call left something behind";
    SetLastError(0);
    EXPECT_TRUE(row.call(window_)) << "the fault outlived its call";
    Drain();
  }
}

}  // namespace
