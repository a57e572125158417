#include <chrono>
#include <thread>

#include "platform/Errors.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using namespace platform_test;

// What a window's procedure saw, reached through the window's user data.
struct Recorder {
  std::vector<MSG> seen;
  std::function<void(const MSG&)> onMessage;
};

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  const MSG record{window, message, wParam, lParam, 0, {}};
  recorder->seen.push_back(record);
  if (recorder->onMessage) {
    recorder->onMessage(record);
  }
  return 0x55;
}

HWND NewWindow(Recorder* recorder) {
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "TPUtilWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, nullptr, nullptr);
  EXPECT_NE(window, nullptr);
  if (recorder != nullptr) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(recorder));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
  }
  return window;
}

class WindowsTest : public PlatformTest {
 protected:
  // Dispatches until recorder has seen count messages.
  static ::testing::AssertionResult PumpUntilSeen(const Recorder& recorder, std::size_t count) {
    if (platform::PumpMessagesUntil([&] { return recorder.seen.size() >= count; }, kBound)) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "saw " << recorder.seen.size() << " of " << count;
  }
};

TEST_F(WindowsTest, NewWindowAnswersWithTheDefaultProcedureAndKeepsItsSlots) {
  HWND window = NewWindow(nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(platform::LiveWindowCount(), 1u);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_USERDATA, 42), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_USERDATA, 43), 42);
  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)),
            reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrA(window, -16), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(window));
  SetLastError(0);
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
}

TEST_F(WindowsTest, PostedMessagesReachTheProcedureInOrderWithTheirTime) {
  Recorder recorder;
  HWND window = NewWindow(&recorder);
  const auto now = [] {
    using namespace std::chrono;
    return static_cast<DWORD>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  };
  const DWORD before = now();
  std::thread poster([&] {
    for (WPARAM i = 0; i < 3; ++i) {
      EXPECT_TRUE(PostMessageA(window, WM_USER + 5, i, 100 + static_cast<LPARAM>(i)));
    }
  });
  poster.join();
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.hwnd, window);
  EXPECT_GE(message.time, before);
  EXPECT_LE(message.time, now());
  EXPECT_EQ(DispatchMessageA(&message), 0x55);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));  // the same one, now taken
  ASSERT_TRUE(PumpUntilSeen(recorder, 3));
  ASSERT_EQ(recorder.seen.size(), 3u);
  for (WPARAM i = 1; i < 3; ++i) {
    EXPECT_EQ(recorder.seen[i].hwnd, window);
    EXPECT_EQ(recorder.seen[i].message, WM_USER + 5);
    EXPECT_EQ(recorder.seen[i].wParam, i);
    EXPECT_EQ(recorder.seen[i].lParam, 100 + static_cast<LPARAM>(i));
  }
  DestroyWindow(window);
}

TEST_F(WindowsTest, DestroyedWindowRefusesPostsAndDropsWhatWaitedForIt) {
  Recorder gone;
  Recorder kept;
  HWND doomed = NewWindow(&gone);
  HWND other = NewWindow(&kept);
  ASSERT_TRUE(PostMessageA(doomed, WM_USER + 1, 1, 0));
  ASSERT_TRUE(PostMessageA(other, WM_USER + 1, 2, 0));
  DestroyWindow(doomed);
  SetLastError(0);
  EXPECT_FALSE(PostMessageA(doomed, WM_USER + 1, 3, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  ASSERT_TRUE(PumpUntilSeen(kept, 1));
  EXPECT_TRUE(gone.seen.empty());
  EXPECT_TRUE(Drain().empty());
  // Handles are never reused, so a stale one cannot reach a newer window.
  HWND newer = NewWindow(nullptr);
  EXPECT_NE(newer, doomed);
  EXPECT_FALSE(IsWindow(doomed));
  DestroyWindow(newer);
  DestroyWindow(other);
}

TEST_F(WindowsTest, NestedPumpInsideAProcedureKeepsTheOrder) {
  Recorder recorder;
  HWND window = NewWindow(&recorder);
  bool nestedDone = false;
  recorder.onMessage = [&](const MSG& message) {
    if (message.wParam == 1) {  // a modal loop opened by the first message's handler
      nestedDone = platform::PumpMessagesUntil([&] { return recorder.seen.size() >= 3; }, kBound);
    }
  };
  for (WPARAM i = 1; i <= 3; ++i) {
    PostMessageA(window, WM_USER + 2, i, 0);
  }
  ASSERT_TRUE(PumpUntilSeen(recorder, 3));
  EXPECT_TRUE(nestedDone);
  ASSERT_EQ(recorder.seen.size(), 3u);
  for (WPARAM i = 0; i < 3; ++i) {
    EXPECT_EQ(recorder.seen[i].wParam, i + 1);
  }
  DestroyWindow(window);
}

struct FilterCase {
  const char* name;
  int window;  // 0: any, 1 or 2: that window
  UINT min, max;
  UINT expected;  // WM_NULL: nothing matches
};

TEST_F(WindowsTest, LookFiltersByWindowAndNumberRange) {
  const FilterCase cases[] = {
      {"everything", 0, 0, 0, WM_USER + 1},
      {"window 1", 1, 0, 0, WM_USER + 2},
      {"window 2", 2, 0, 0, WM_USER + 0x100},
      {"range", 0, WM_USER + 2, WM_USER + 0x100, WM_USER + 2},
      {"single number", 0, WM_USER + 0x100, WM_USER + 0x100, WM_USER + 0x100},
      {"window and range apart", 1, WM_USER + 3, WM_USER + 0x200, WM_NULL},
  };
  HWND windows[3] = {nullptr, NewWindow(nullptr), NewWindow(nullptr)};
  for (const FilterCase& row : cases) {
    SCOPED_TRACE(row.name);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0);
    PostMessageA(windows[1], WM_USER + 2, 0, 0);
    PostMessageA(windows[2], WM_USER + 0x100, 0, 0);
    const HWND filter = windows[row.window];
    if (row.expected == WM_NULL) {
      EXPECT_FALSE(PeekMessageA(&message, filter, row.min, row.max, PM_REMOVE));
    } else {
      ASSERT_TRUE(PeekMessageA(&message, filter, row.min, row.max, PM_NOREMOVE));
      EXPECT_EQ(message.message, row.expected);
      ASSERT_TRUE(PeekMessageA(&message, filter, row.min, row.max, PM_REMOVE));
      EXPECT_EQ(message.message, row.expected);
      EXPECT_EQ(Drain().size(), 2u) << "a look took more than one message";
    }
    Drain();
  }
  DestroyWindow(windows[1]);
  DestroyWindow(windows[2]);
}

TEST_F(WindowsTest, WindowsDieWithTheirThread) {
  std::atomic<HWND> window{nullptr};
  {
    TestThread thread([&] {
      window = NewWindow(nullptr);
      return DWORD{0};
    });
    ASSERT_TRUE(thread.Join());
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

TEST_F(WindowsTest, RetiredThreadsWindowsCannotBeReached) {
  HANDLE retired = NewEvent();
  std::atomic<HWND> threadWindow{nullptr};
  HANDLE go = NewEvent();
  {
    TestThread thread([&] {
      threadWindow = NewWindow(nullptr);
      platform::RetireMessageQueue();
      SetEvent(retired);
      WaitForSingleObject(go, kBound);
      DestroyWindow(threadWindow);
      return DWORD{0};
    });
    ASSERT_TRUE(Signalled(retired));
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(threadWindow, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetEvent(go);
  }
  CloseHandle(retired);
  CloseHandle(go);
}

}  // namespace
