#include "classlib/UtilWindow.h"

#include "classlib/Exception.h"
#include "platform/Messages.h"

namespace classlib {

namespace {

// What a utility window's procedure reaches through the window's user data. Lives from
// AllocateHWnd until DeallocateHWnd, or until the last call of the method in progress returns.
struct Bridge {
  TWndMethod method;
  int depth = 0;          // calls of the method in progress
  bool released = false;  // DeallocateHWnd has run
};

LRESULT UtilWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* bridge = reinterpret_cast<Bridge*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (bridge == nullptr || bridge->released) {
    return 0;
  }
  TMessage record{message, wParam, lParam, 0};
  ++bridge->depth;
  struct Leave {
    Bridge* bridge;
    ~Leave() {
      if (--bridge->depth == 0 && bridge->released) {
        delete bridge;
      }
    }
  } leave{bridge};
  bridge->method(record);
  return record.Result;
}

}  // namespace

HWND AllocateHWnd(TWndMethod Method) {
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, UtilWindowClassName, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    throw Exception("Error creating window class");
  }
  auto* bridge = new Bridge{std::move(Method)};
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bridge));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&UtilWindowProc));
  return window;
}

void DeallocateHWnd(HWND Wnd) {
  auto* bridge = reinterpret_cast<Bridge*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
  DestroyWindow(Wnd);
  if (bridge == nullptr) {
    return;
  }
  bridge->released = true;
  if (bridge->depth == 0) {
    delete bridge;
  }
}

}  // namespace classlib
