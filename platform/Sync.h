// Events and waits on kernel objects.
#pragma once

#include "Types.h"

// Creates an event, manual-reset or auto-reset, in the given initial state. Names are not
// supported: a non-null name fails with ERROR_INVALID_PARAMETER. Returns 0 on failure.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0 when the object is signalled, WAIT_TIMEOUT, or WAIT_FAILED (invalid handle).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Waits for any of the handles (waitAll is not supported and fails with ERROR_INVALID_PARAMETER).
// When several are signalled the lowest index is reported.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
