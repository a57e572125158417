// The window table: hidden windows, their procedures and user data, and posts to them.
#include <string>
#include <unordered_map>

#include "Errors.h"
#include "Faults.h"
#include "MessageQueue.h"
#include "Messages.h"

namespace platform {
namespace {

struct Window {
  std::shared_ptr<MessageQueue> queue;  // of the thread that created the window
  WNDPROC procedure = DefWindowProcA;
  LONG_PTR userData = 0;
  std::string className;
  std::string windowName;
};

struct WindowTable {
  std::unordered_map<std::uintptr_t, Window> windows;
  std::uintptr_t next = 0x10000;  // handle values are never reused
};

WindowTable& TableLocked() {
  static auto* table = new WindowTable;  // never destroyed: threads may outlive statics
  return *table;
}

// The window that handle names, or null with ERROR_INVALID_WINDOW_HANDLE set.
Window* FindLocked(HWND handle) {
  auto& windows = TableLocked().windows;
  auto it = windows.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return &it->second;
}

}  // namespace

void DestroyWindowsOfQueueLocked(const MessageQueue& queue) {
  std::erase_if(TableLocked().windows,
                [&](const auto& entry) { return entry.second.queue.get() == &queue; });
}

std::size_t LiveWindowCount() {
  std::lock_guard guard(DispatcherLock());
  return TableLocked().windows.size();
}

}  // namespace platform

using platform::DispatcherLock;

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int, int, int, int, HWND,
                     HANDLE, HANDLE, LPVOID) {
  std::lock_guard guard(DispatcherLock());
  auto queue = platform::CallingThreadQueueLocked();
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);  // only while the calling thread is ending
    return nullptr;
  }
  auto& table = platform::TableLocked();
  const std::uintptr_t value = table.next;
  table.next += 4;
  platform::Window& window = table.windows[value];
  window.queue = std::move(queue);
  window.className = className != nullptr ? className : "";
  window.windowName = windowName != nullptr ? windowName : "";
  return reinterpret_cast<HWND>(value);
}

BOOL DestroyWindow(HWND window) {
  std::lock_guard guard(DispatcherLock());
  if (platform::FindLocked(window) == nullptr) {
    return FALSE;
  }
  platform::TableLocked().windows.erase(reinterpret_cast<std::uintptr_t>(window));
  return TRUE;
}

BOOL IsWindow(HWND window) {
  std::lock_guard guard(DispatcherLock());
  return platform::TableLocked().windows.contains(reinterpret_cast<std::uintptr_t>(window)) ? TRUE
                                                                                            : FALSE;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  std::lock_guard guard(DispatcherLock());
  platform::Window* found = platform::FindLocked(window);
  if (found == nullptr) {
    return 0;
  }
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      previous = reinterpret_cast<LONG_PTR>(found->procedure);
      found->procedure = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWLP_USERDATA:
      previous = found->userData;
      found->userData = value;
      return previous;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  std::lock_guard guard(DispatcherLock());
  const platform::Window* found = platform::FindLocked(window);
  if (found == nullptr) {
    return 0;
  }
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(found->procedure);
    case GWLP_USERDATA:
      return found->userData;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (platform::ShouldFail(platform::FaultPoint::PostMessageA)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard guard(DispatcherLock());
  const platform::Window* found = platform::FindLocked(window);
  // A window whose thread has retired its queue can no longer be reached.
  if (found == nullptr || !found->queue->PostLocked(MSG{window, message, wParam, lParam, 0, {}})) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) {
    return 0;
  }
  WNDPROC procedure;
  {
    std::lock_guard guard(DispatcherLock());
    const platform::Window* found = platform::FindLocked(message->hwnd);
    if (found == nullptr) {
      return 0;  // destroyed while the message waited
    }
    procedure = found->procedure;
  }
  return procedure(message->hwnd, message->message, message->wParam, message->lParam);
}
