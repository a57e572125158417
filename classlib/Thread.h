// Threads as objects: a thread object is created suspended, may be given a priority, runs its
// Execute once resumed, carries a terminate mark that Execute may look at, and waits for its
// thread to end when it is freed.
#pragma once

#include <atomic>
#include <exception>

#include "classlib/Object.h"
#include "platform/Types.h"

namespace classlib {

class TThread : public TObject {
 public:
  // Makes the platform thread, always suspended: the body is virtual and must not run before the
  // derived object is complete, so the owner starts it with Resume. Raises an Exception when the
  // platform cannot make the thread.
  TThread();
  // Terminate, resume if never started (the body is then skipped), wait for the end, close.
  ~TThread() override;

  // Lets a suspended thread run. Calling it again on a running thread does nothing.
  void Resume();
  void Start() { Resume(); }

  // Sets the terminate mark. Only Execute decides whether to look at it.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

  // THREAD_PRIORITY_* values.
  int Priority() const;
  void SetPriority(int Value);

  HANDLE Handle() const { return handle_; }
  DWORD ThreadID() const { return threadId_; }

  // Waits without limit for the thread to end; the thread must have been started.
  void WaitFor();

  // The exception that left Execute, if any.
  std::exception_ptr FatalException() const { return fatalException_; }

 protected:
  // The thread body. Runs at most once, on the thread, unless the object was marked terminated
  // before the thread first ran.
  virtual void Execute() = 0;

  // Brings the thread to its end: what the destructor does, made callable by a derived class's
  // destructor so that Execute never runs on a partly destroyed object. Idempotent.
  void EndThread();

 private:
  static DWORD ThreadProc(LPVOID parameter);

  HANDLE handle_ = nullptr;
  DWORD threadId_ = 0;
  std::atomic<bool> terminated_{false};
  bool started_ = false;  // Resume has let the thread run
  bool ended_ = false;    // EndThread has waited for the end
  std::exception_ptr fatalException_;
};

}  // namespace classlib
