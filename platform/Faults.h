// Fault injection for tests: makes a chosen platform call fail without touching the code that
// makes it. Off unless a test arms it; arming is thread-safe and counts calls process-wide.
#pragma once

namespace platform {

enum class FaultPoint {
  CreateEventA,
  CreateThread,
  LocalAlloc,
  PostMessageA,
  PostThreadMessageA,
  RegOpenKeyExA,      // RegOpenKeyExA and RegCreateKeyExA refuse the key: ERROR_ACCESS_DENIED
  RegistryFileWrite,  // the user store's new file is written aside but does not replace the old
  PasswordDatabase,   // the password database has no home directory for the user
  Count
};

// The next call at point fails, after skip calls that succeed. Arming again replaces the count.
void FailNextCall(FaultPoint point, int skip = 0);

// Disarms every point.
void ClearFaults();

// Called by the platform at each fault point: true when this call is to fail. Each call counts
// towards an armed failure, so its answer must be acted on.
[[nodiscard]] bool ShouldFail(FaultPoint point);

}  // namespace platform
