#include "Handles.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "Errors.h"

namespace platform {

namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 0x100;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // never destroyed: threads may outlive statics
  return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  auto& table = Table();
  std::lock_guard guard(table.lock);
  const std::uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  auto& table = Table();
  {
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it != table.objects.end()) {
      return it->second;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

std::size_t OpenHandleCount() {
  auto& table = Table();
  std::lock_guard guard(table.lock);
  return table.objects.size();
}

std::mutex& DispatcherLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

// One thread's registration with the objects of its wait.
class Waiter {
 public:
  explicit Waiter(const std::vector<std::shared_ptr<Waitable>>& objects) : objects_(objects) {
    for (auto& object : objects_) {
      object->waiters_.push_back(this);
    }
  }
  ~Waiter() {
    for (auto& object : objects_) {
      auto& list = object->waiters_;
      list.erase(std::find(list.begin(), list.end(), this));
    }
  }
  Waiter(const Waiter&) = delete;
  Waiter& operator=(const Waiter&) = delete;

  std::condition_variable wake;

 private:
  const std::vector<std::shared_ptr<Waitable>>& objects_;
};

Waitable::~Waitable() = default;

void Waitable::WakeWaitersLocked() {
  for (Waiter* waiter : waiters_) {
    waiter->wake.notify_one();
  }
}

DWORD WaitForAny(const std::vector<std::shared_ptr<Waitable>>& objects, DWORD timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock guard(DispatcherLock());
  auto firstSignalled = [&]() -> DWORD {
    for (std::size_t i = 0; i < objects.size(); ++i) {
      if (objects[i]->IsSignalledLocked()) {
        objects[i]->OnWaitSatisfiedLocked();
        return WAIT_OBJECT_0 + static_cast<DWORD>(i);
      }
    }
    return WAIT_TIMEOUT;
  };
  DWORD result = firstSignalled();
  if (result != WAIT_TIMEOUT || timeoutMs == 0) {
    return result;
  }
  Waiter waiter(objects);
  for (;;) {
    if (timeoutMs == INFINITE) {
      waiter.wake.wait(guard);
    } else if (waiter.wake.wait_until(guard, deadline) == std::cv_status::timeout) {
      return firstSignalled();
    }
    result = firstSignalled();
    if (result != WAIT_TIMEOUT) {
      return result;
    }
  }
}

bool ResolveWaitables(const HANDLE* handles, DWORD count,
                      std::vector<std::shared_ptr<Waitable>>& out) {
  out.clear();
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  for (DWORD i = 0; i < count; ++i) {
    auto object = LookupHandleAs<Waitable>(handles[i]);
    if (!object) {
      return false;
    }
    out.push_back(std::move(object));
  }
  return true;
}

}  // namespace platform

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<platform::KernelObject> object;
  {
    auto& table = platform::Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    table.objects.erase(it);
  }
  object->OnHandleClosed();
  return TRUE;
}
