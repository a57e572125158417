#include "classlib/Thread.h"

#include <string>

#include "classlib/Exception.h"
#include "platform/Errors.h"
#include "platform/Handles.h"
#include "platform/Sync.h"
#include "platform/Threads.h"

namespace classlib {

TThread::TThread() {
  handle_ = CreateThread(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &threadId_);
  if (handle_ == nullptr) {
    throw Exception("Thread creation error: " + std::to_string(GetLastError()));
  }
}

TThread::~TThread() {
  EndThread();
}

void TThread::EndThread() {
  if (ended_) {
    return;
  }
  Terminate();
  if (!started_) {
    Resume();  // the thread sees the mark and returns without running Execute
  }
  WaitFor();
  CloseHandle(handle_);
  ended_ = true;
}

void TThread::Resume() {
  if (started_) {
    return;
  }
  started_ = true;
  ResumeThread(handle_);
}

int TThread::Priority() const {
  return GetThreadPriority(handle_);
}

void TThread::SetPriority(int Value) {
  SetThreadPriority(handle_, Value);
}

void TThread::WaitFor() {
  WaitForSingleObject(handle_, INFINITE);
}

DWORD TThread::ThreadProc(LPVOID parameter) {
  auto* thread = static_cast<TThread*>(parameter);
  if (!thread->Terminated()) {
    try {
      thread->Execute();
    } catch (...) {
      thread->fatalException_ = std::current_exception();
    }
  }
  return 0;
}

}  // namespace classlib
