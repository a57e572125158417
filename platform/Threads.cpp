#include "Threads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#include "Errors.h"
#include "Faults.h"
#include "Handles.h"
#include "MessageQueue.h"

namespace platform {
namespace {

std::atomic<DWORD> nextThreadId{1};
std::atomic<std::size_t> liveThreads{0};

// 0 until the thread's id is first asked for or handed over by CreateThread.
thread_local DWORD currentThreadId = 0;

bool IsValidPriority(int priority) {
  return (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
         priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
}

int NiceOffset(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_TIME_CRITICAL:
      return -20;
    case THREAD_PRIORITY_HIGHEST:
      return -10;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return -5;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return 5;
    case THREAD_PRIORITY_LOWEST:
      return 10;
    case THREAD_PRIORITY_IDLE:
      return 39;
    default:
      return 0;
  }
}

int CallingThreadNice() {
  errno = 0;
  const int value = getpriority(PRIO_PROCESS, 0);  // on Linux: the calling thread
  return errno == 0 ? value : 0;
}

// Everything but the routine's own parameters is guarded by the dispatcher lock, so that a wait
// on the thread sees its end consistently with the other objects of the wait.
class ThreadObject : public Waitable {
 public:
  ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID parameter, bool suspended)
      : start_(start),
        parameter_(parameter),
        id_(nextThreadId.fetch_add(1)),
        baseNice_(CallingThreadNice()),
        suspended_(suspended) {}

  DWORD Id() const { return id_; }

  bool IsSignalledLocked() const override { return ended_; }

  // A thread that has not started when its handle goes ends without running its routine.
  void OnHandleClosed() override {
    std::lock_guard guard(DispatcherLock());
    if (suspended_ && !abandoned_) {
      abandoned_ = true;
      liveThreads.fetch_sub(1);
      gate_.notify_one();
    }
  }

  DWORD ResumeLocked() {
    if (!suspended_) {
      return 0;
    }
    suspended_ = false;
    gate_.notify_one();
    return 1;
  }

  void SetPriorityLocked(int priority) {
    priority_ = priority;
    ApplyPriorityLocked();
  }
  int PriorityLocked() const { return priority_; }
  DWORD ExitCodeLocked() const { return ended_ ? exitCode_ : STILL_ACTIVE; }

  // Runs on the new thread. The end is signalled only once the thread's queue and windows are gone.
  void Run() {
    currentThreadId = id_;
    {
      std::unique_lock guard(DispatcherLock());
      gate_.wait(guard, [this] { return !suspended_ || abandoned_; });
      if (abandoned_) {
        return;  // already counted as ended
      }
      tid_ = gettid();
      ApplyPriorityLocked();
    }
    const DWORD exitCode = start_(parameter_);
    // The queue dies before the handle is signalled: whoever saw the end finds posts refused.
    EndCallingThreadQueue();
    std::lock_guard guard(DispatcherLock());
    tid_ = 0;  // the kernel may hand the tid to another thread from here on
    exitCode_ = exitCode;
    ended_ = true;
    liveThreads.fetch_sub(1);
    WakeWaitersLocked();
  }

 private:
  // A raise that Linux refuses to an unprivileged process is not an error: the request stands.
  void ApplyPriorityLocked() {
    if (tid_ != 0) {
      const int niceValue = std::clamp(baseNice_ + NiceOffset(priority_), -20, 19);
      setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), niceValue);
    }
  }

  const LPTHREAD_START_ROUTINE start_;
  const LPVOID parameter_;
  const DWORD id_;
  const int baseNice_;            // the creator's nice value, which NORMAL stands for
  std::condition_variable gate_;  // the start, or the abandonment, of a suspended thread
  bool suspended_;
  bool abandoned_ = false;  // the handle was closed before the thread started
  bool ended_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
  int priority_ = THREAD_PRIORITY_NORMAL;
  pid_t tid_ = 0;  // kernel id while the routine runs
};

void* ThreadMain(void* argument) {
  std::shared_ptr<ThreadObject> self(
      std::move(*static_cast<std::shared_ptr<ThreadObject>*>(argument)));
  delete static_cast<std::shared_ptr<ThreadObject>*>(argument);
  self->Run();
  return nullptr;
}

}  // namespace

std::size_t LiveThreadCount() {
  return liveThreads.load();
}

}  // namespace platform

using platform::DispatcherLock;
using platform::ThreadObject;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId) {
  if (platform::ShouldFail(platform::FaultPoint::CreateThread)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<ThreadObject>(start, parameter, (flags & CREATE_SUSPENDED) != 0);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize != 0) {
    pthread_attr_setstacksize(&attributes,
                              std::max(stackSize, static_cast<std::size_t>(PTHREAD_STACK_MIN)));
  }
  platform::liveThreads.fetch_add(1);
  auto* argument = new std::shared_ptr<ThreadObject>(object);
  pthread_t thread;
  const int result = pthread_create(&thread, &attributes, platform::ThreadMain, argument);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete argument;
    platform::liveThreads.fetch_sub(1);
    platform::SetLastErrorFromErrno(result == EAGAIN ? ENOMEM : result);
    return nullptr;
  }
  if (threadId != nullptr) {
    *threadId = object->Id();
  }
  return platform::InsertHandle(std::move(object));
}

DWORD ResumeThread(HANDLE thread) {
  auto object = platform::LookupHandleAs<ThreadObject>(thread);
  if (!object) {
    return 0xFFFFFFFFu;
  }
  std::lock_guard guard(DispatcherLock());
  return object->ResumeLocked();
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  auto object = platform::LookupHandleAs<ThreadObject>(thread);
  if (!object) {
    return FALSE;
  }
  if (!platform::IsValidPriority(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(DispatcherLock());
  object->SetPriorityLocked(priority);
  return TRUE;
}

int GetThreadPriority(HANDLE thread) {
  auto object = platform::LookupHandleAs<ThreadObject>(thread);
  if (!object) {
    return THREAD_PRIORITY_ERROR_RETURN;
  }
  std::lock_guard guard(DispatcherLock());
  return object->PriorityLocked();
}

DWORD GetCurrentThreadId() {
  if (platform::currentThreadId == 0) {
    platform::currentThreadId = platform::nextThreadId.fetch_add(1);
  }
  return platform::currentThreadId;
}

DWORD GetThreadId(HANDLE thread) {
  auto object = platform::LookupHandleAs<ThreadObject>(thread);
  return object ? object->Id() : 0;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto object = platform::LookupHandleAs<ThreadObject>(thread);
  if (!object) {
    return FALSE;
  }
  if (exitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(DispatcherLock());
  *exitCode = object->ExitCodeLocked();
  return TRUE;
}
