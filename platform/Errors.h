// The calling thread's last error, and the one mapping from errno to our error codes.
#pragma once

#include "Types.h"

DWORD GetLastError();
void SetLastError(DWORD error);

namespace platform {

// Maps a POSIX errno value to the error code that GetLastError reports for it.
DWORD ErrorFromErrno(int errnoValue);

// Sets the last error from errnoValue and returns it.
DWORD SetLastErrorFromErrno(int errnoValue);

}  // namespace platform
