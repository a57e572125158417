// Threads with priorities, created suspended and resumed, waitable through their handle.
#pragma once

#include <cstddef>

#include "Types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// Creates a thread running start(parameter). With CREATE_SUSPENDED in flags it does not run until
// ResumeThread. The handle is signalled once the thread has ended. Returns 0 on failure (also when
// the thread-creation fault is armed). A thread that was never resumed and whose last handle is
// closed ends without running start.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, std::size_t stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, LPDWORD threadId);

// Returns the previous suspend count (1 for a suspended thread, 0 for a running one), or
// 0xFFFFFFFF on failure.
DWORD ResumeThread(HANDLE thread);

// Maps the priority onto the thread's scheduling where Linux allows it; where raising it is refused
// to an unprivileged process the call still succeeds, and GetThreadPriority reports what was asked.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

// A process-unique id of the calling thread, for threads of any origin; never 0.
DWORD GetCurrentThreadId();

// The id of the thread behind a thread handle, or 0.
DWORD GetThreadId(HANDLE thread);

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

namespace platform {

// Threads made by CreateThread that have not yet ended; tests use it to find leaks.
std::size_t LiveThreadCount();

}  // namespace platform
