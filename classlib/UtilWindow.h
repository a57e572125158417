// The hidden utility window: a window of the calling thread whose procedure is a method of an
// object, for components that receive posted notices on the user-interface thread.
#pragma once

#include <functional>

#include "platform/Types.h"

namespace classlib {

// One message as the bound method sees it. Result is preset to 0 and returned to the platform.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

using TWndMethod = std::function<void(TMessage& Message)>;

// Class name of every utility window.
inline constexpr const char* UtilWindowClassName = "TPUtilWindow";

// Makes a hidden top-level window (WS_POPUP, WS_EX_TOOLWINDOW, zero bounds, no parent, empty
// caption, never shown) that hands each message to Method. Raises an Exception when the platform
// cannot make it.
HWND AllocateHWnd(TWndMethod Method);

// Destroys a window made by AllocateHWnd and releases the bridge to its method. Safe to call from
// inside the method itself: the bridge then goes once the method has returned.
void DeallocateHWnd(HWND Wnd);

}  // namespace classlib
