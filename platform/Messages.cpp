// Thread messages, looks at the calling thread's queue, and the waits that include it.
#include "Messages.h"

#include <cerrno>
#include <chrono>

#include "Errors.h"
#include "Faults.h"
#include "MessageQueue.h"

using platform::DispatcherLock;

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (platform::ShouldFail(platform::FaultPoint::PostThreadMessageA)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  std::lock_guard guard(DispatcherLock());
  auto queue = platform::AcceptingQueueOfThreadLocked(threadId);
  if (!queue || !queue->PostLocked(MSG{nullptr, message, wParam, lParam, 0, {}})) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return TRUE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(DispatcherLock());
  auto queue = platform::CallingThreadQueueLocked();
  const bool remove = (removeMessage & PM_REMOVE) != 0;
  return queue && queue->TakeLocked(message, window, filterMin, filterMax, remove) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) {
  return FALSE;
}  // no keyboard input to translate

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
  if (waitAll || count >= MAXIMUM_WAIT_OBJECTS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<platform::Waitable>> objects;
  if (count > 0 && !platform::ResolveWaitables(handles, count, objects)) {
    return WAIT_FAILED;
  }
  if ((wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0) {
    std::lock_guard guard(DispatcherLock());
    if (auto queue = platform::ExistingCallingThreadQueueLocked()) {
      objects.push_back(std::move(queue));
    }
  }
  if (objects.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);  // nothing could ever end the wait but its timeout
    return WAIT_FAILED;
  }
  // The mark set by a post after the last look is seen at once by the wait, so a wake-up cannot be
  // lost between the look and the wait.
  return platform::WaitForAny(objects, milliseconds);
}

namespace platform {

int MessageQueueDescriptor(int* systemError) {
  int unused = 0;
  int& error = systemError != nullptr ? *systemError : unused;
  std::lock_guard guard(DispatcherLock());
  auto queue = CallingThreadQueueLocked();
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    error = ESRCH;
    return -1;
  }
  return queue->DescriptorLocked(error);
}

void RetireMessageQueue() {
  std::lock_guard guard(DispatcherLock());
  if (auto queue = ExistingCallingThreadQueueLocked()) {
    queue->RetireLocked();
  }
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
      continue;
    }
    DWORD wait = INFINITE;
    if (timeoutMs != INFINITE) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        return done();
      }
      wait = static_cast<DWORD>(left.count());
    }
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT) == WAIT_FAILED) {
      return done();
    }
  }
  return true;
}

}  // namespace platform
