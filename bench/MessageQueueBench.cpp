// Figures of the message queues: the round trip of a thread message between two threads that
// sleep in MsgWaitForMultipleObjects (the writer's idle wait), and the rate at which another
// thread's posts to a window are dispatched.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Handles.h"
#include "platform/Messages.h"
#include "platform/Sync.h"
#include "platform/Threads.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT kPing = WM_USER + 1;

// Waits for the next message of the calling thread's queue and takes it.
bool Take(MSG& message) {
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      return true;
    }
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT) != WAIT_OBJECT_0) {
      return false;
    }
  }
}

void RoundTrips(int count) {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  const DWORD self = GetCurrentThreadId();
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> echoId{0};
  std::thread echo([&] {
    MSG request;
    PeekMessageA(&request, nullptr, 0, 0, PM_NOREMOVE);
    echoId = GetCurrentThreadId();
    SetEvent(ready);
    while (Take(request) && request.wParam != 0) {
      PostThreadMessageA(self, kPing, request.wParam, 0);
    }
  });
  WaitForSingleObject(ready, 5000);
  const auto start = Clock::now();
  for (int i = 1; i <= count; ++i) {
    PostThreadMessageA(echoId, kPing, static_cast<WPARAM>(i), 0);
    if (!Take(message)) {
      std::printf("round trip %d lost\n", i);
      break;
    }
  }
  const auto elapsed = Clock::now() - start;
  PostThreadMessageA(echoId, kPing, 0, 0);
  echo.join();
  CloseHandle(ready);
  std::printf("thread message round trip: %.2f us (%d trips)\n",
              std::chrono::duration<double, std::micro>(elapsed).count() / count, count);
}

LRESULT Count(HWND window, UINT, WPARAM, LPARAM) {
  ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return 0;
}

void WindowPosts(int count) {
  HWND window =
      CreateWindowExA(0, "", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  int dispatched = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Count));
  const auto start = Clock::now();
  std::thread poster([&] {
    for (int i = 0; i < count; ++i) {
      PostMessageA(window, kPing, 0, 0);
    }
  });
  platform::PumpMessagesUntil([&] { return dispatched == count; }, 10000);
  const auto elapsed = Clock::now() - start;
  poster.join();
  DestroyWindow(window);
  std::printf("window posts from another thread dispatched: %.0f per second (%d of %d)\n",
              dispatched / std::chrono::duration<double>(elapsed).count(), dispatched, count);
}

}  // namespace

int main() {
  RoundTrips(20000);
  WindowPosts(200000);
}
