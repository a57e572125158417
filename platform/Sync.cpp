#include "Sync.h"

#include "Errors.h"
#include "Faults.h"
#include "Handles.h"

namespace platform {
namespace {

class EventObject : public Waitable {
 public:
  EventObject(bool manualReset, bool signalled)
      : manualReset_(manualReset), signalled_(signalled) {}

  bool IsSignalledLocked() const override { return signalled_; }
  void OnWaitSatisfiedLocked() override {
    if (!manualReset_) {
      signalled_ = false;
    }
  }
  void SetLocked(bool signalled) {
    signalled_ = signalled;
    if (signalled) {
      WakeWaitersLocked();
    }
  }

 private:
  const bool manualReset_;
  bool signalled_;
};

BOOL SetEventState(HANDLE event, bool signalled) {
  auto object = LookupHandleAs<EventObject>(event);
  if (!object) {
    return FALSE;
  }
  std::lock_guard guard(DispatcherLock());
  object->SetLocked(signalled);
  return TRUE;
}

}  // namespace
}  // namespace platform

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (platform::ShouldFail(platform::FaultPoint::CreateEventA)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return platform::InsertHandle(
      std::make_shared<platform::EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
  return platform::SetEventState(event, true);
}

BOOL ResetEvent(HANDLE event) {
  return platform::SetEventState(event, false);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (waitAll) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<platform::Waitable>> objects;
  if (!platform::ResolveWaitables(handles, count, objects)) {
    return WAIT_FAILED;
  }
  return platform::WaitForAny(objects, milliseconds);
}
