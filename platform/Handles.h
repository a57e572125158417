// The table of kernel objects behind HANDLE values, and the waitable base that events, threads
// and message queues share.
//
// Handles are reference-counted: CloseHandle removes the handle from the table, while a thread
// that already looked the object up (a wait in progress, a device call in progress) keeps it
// alive until it is done. Calls made with a closed handle fail with ERROR_INVALID_HANDLE. Handle
// values are never reused within a process, so a stale handle cannot name a newer object.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "Errors.h"
#include "Types.h"

BOOL CloseHandle(HANDLE handle);

namespace platform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Called once when the last handle to the object is closed (the object may live on while a
  // call in progress still holds it). Devices cancel their pending operations here.
  virtual void OnHandleClosed() {}
};

// Registers object under a new handle value.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object that handle names, or null (with ERROR_INVALID_HANDLE set) when the handle is not
// open.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The same, also null (with ERROR_INVALID_HANDLE set) when the object is not a T.
template <typename T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle);

// Number of open handles; tests use it to find leaks.
std::size_t OpenHandleCount();

class Waiter;

// An object that waits can be satisfied by. All of its state that decides whether it is signalled
// is guarded by the one dispatcher lock, so that a wait on several objects sees them consistently
// and a satisfied wait consumes an auto-reset object atomically.
class Waitable : public KernelObject {
 public:
  ~Waitable() override;

  // Called with the dispatcher lock held.
  virtual bool IsSignalledLocked() const = 0;
  // Called with the dispatcher lock held, when a wait is satisfied by this object.
  virtual void OnWaitSatisfiedLocked() {}

  // Wakes every thread waiting on this object so that it re-examines it. Call with the dispatcher
  // lock held, after changing the state.
  void WakeWaitersLocked();

 private:
  friend class Waiter;
  std::vector<Waiter*> waiters_;
};

std::mutex& DispatcherLock();

// Waits until one of objects is signalled (lowest index first) or timeoutMs passes. Returns
// WAIT_OBJECT_0 + index or WAIT_TIMEOUT. The objects are kept alive for the whole wait, so
// closing one of their handles meanwhile is harmless.
DWORD WaitForAny(const std::vector<std::shared_ptr<Waitable>>& objects, DWORD timeoutMs);

// Resolves handles to waitable objects; false (with ERROR_INVALID_HANDLE) when one is not.
bool ResolveWaitables(const HANDLE* handles, DWORD count,
                      std::vector<std::shared_ptr<Waitable>>& out);

template <typename T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  auto object = LookupHandle(handle);
  if (!object) {
    return nullptr;
  }
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) {
    SetLastError(ERROR_INVALID_HANDLE);
  }
  return typed;
}

}  // namespace platform
