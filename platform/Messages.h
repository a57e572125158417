// Thread and window message queues.
//
// A thread gets its queue at its first look (PeekMessageA) or when it creates a window; until then
// posts to it fail. Messages are delivered in posting order, also across posting threads. Windows
// belong to the thread that created them; PostMessageA enqueues for that thread, and
// DispatchMessageA calls the window's procedure. Each queue exposes a descriptor that is readable
// while messages wait, so that an event loop (Qt's, nested loops of dialogs included) can drain it.
#pragma once

#include <functional>

#include "Types.h"

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using LONG_PTR = std::intptr_t;

inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_USERDATA = -21;

// Wake-mask bits that make MsgWaitForMultipleObjects watch the queue: every message here is a
// posted one, so a mask with neither bit waits on the handles alone.
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_ALLPOSTMESSAGE = 0x0100;

// Creates a window of the calling thread. Only hidden windows exist here: styles, position, size,
// parent and class name are recorded and otherwise ignored. Its procedure is DefWindowProcA until
// set with SetWindowLongPtrA(GWLP_WNDPROC). Returns 0 on failure.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HANDLE menu, HANDLE instance,
                     LPVOID parameter);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// GWLP_WNDPROC and GWLP_USERDATA only. Returns the previous value.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queues a message for the window's thread; fails with ERROR_INVALID_WINDOW_HANDLE for a window
// that does not exist (destroyed, or handle 0), for a window whose thread has retired its queue,
// and when the PostMessageA fault is armed.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queues a thread message (window handle 0); fails with ERROR_INVALID_THREAD_ID while the thread
// has no queue (before its first look, after it ended or retired its queue), and with
// ERROR_NOT_ENOUGH_MEMORY when the PostThreadMessageA fault is armed.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the first message of the calling thread's queue that matches the filter (window 0: any;
// min and max both 0: every number), removing it with PM_REMOVE. Creates the queue on first use.
// Every call clears the queue's new-input mark (see MsgWaitForMultipleObjects).
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);

BOOL TranslateMessage(const MSG* message);

// Calls the procedure of the message's window, outside every lock of the platform; a message for a
// destroyed window, and a thread message, is dropped (result 0).
LRESULT DispatchMessageA(const MSG* message);

// Waits like WaitForMultipleObjects, and also returns WAIT_OBJECT_0 + count when input new since
// the thread's last PeekMessageA is in its queue, including input posted between that look and
// the start of this wait. The new-input mark is cleared by the next PeekMessageA, not by this
// wait. The queue is watched when wakeMask holds QS_POSTMESSAGE or QS_ALLPOSTMESSAGE (QS_ALLINPUT
// and 0xFF do); count may be 0. A thread without a queue waits on the handles alone.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

namespace platform {

// A descriptor of the calling thread's queue (created if needed) that polls readable while
// messages wait in it. Owned by the queue. -1 when it cannot be made, with the reason in
// GetLastError (ERROR_INVALID_THREAD_ID once the thread's queue has ended) and, for a caller that
// has to tell a person why, the system's errno for it in *systemError (ESRCH for an ended queue);
// the queue works on without it, and a later call tries again.
int MessageQueueDescriptor(int* systemError = nullptr);

// From now on the calling thread's queue refuses posts; messages already in it stay for
// PeekMessageA. A thread that must release what waits in its queue retires it first, then drains.
void RetireMessageQueue();

// Dispatches the calling thread's messages until done() holds or timeoutMs passes; returns
// done(). For tests and loops without Qt. Sleeps in the queue's wait, never polls; done() is
// examined before each message and whenever the queue wakes, so it should turn true through a
// dispatched message. Messages are taken one at a time, so a procedure may run a nested pump and
// order is kept. timeoutMs may be INFINITE.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Windows that exist; tests use it to find leaks.
std::size_t LiveWindowCount();

}  // namespace platform
