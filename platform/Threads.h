// Threads with priorities, created suspended and resumed, waitable through their handle.
#pragma once

#include <cstddef>

#include "Types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// GetExitCodeThread's report for a thread that has not ended (suspended or running).
inline constexpr DWORD STILL_ACTIVE = 259;
// GetThreadPriority's report for a handle that names no thread.
inline constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

// Creates a thread running start(parameter). With CREATE_SUSPENDED in flags it does not run until
// ResumeThread. The handle is signalled once the thread has ended. Returns 0 on failure (also when
// the thread-creation fault is armed). A thread that was never resumed and whose last handle is
// closed ends without running start.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, std::size_t stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, LPDWORD threadId);

// Returns the previous suspend count (1 for a suspended thread, 0 for a running one), or
// 0xFFFFFFFF on failure.
DWORD ResumeThread(HANDLE thread);

// Maps the priority onto the thread's nice value, relative to the nice value of the thread that
// created it, where Linux allows it; where raising it is refused to an unprivileged process the
// call still succeeds, and GetThreadPriority reports what was asked. Accepts IDLE, LOWEST to
// HIGHEST, and TIME_CRITICAL; any other value fails with ERROR_INVALID_PARAMETER. A suspended
// thread takes its priority when it starts.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

// A process-unique id of the calling thread, for threads of any origin; never 0.
DWORD GetCurrentThreadId();

// The id of the thread behind a thread handle, or 0.
DWORD GetThreadId(HANDLE thread);

// STILL_ACTIVE until the thread has ended, then the value its routine returned.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

namespace platform {

// Threads made by CreateThread that have not yet ended; tests use it to find leaks. A thread that
// was never resumed counts as ended once its handle is closed.
std::size_t LiveThreadCount();

}  // namespace platform
