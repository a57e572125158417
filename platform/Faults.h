// Fault points: the seam through which tests make a chosen platform call fail without touching
// the code that makes it. The platform checks one counter at each such call; arming the counters
// belongs to the tests' support library, so a program pays one atomic load per call and no more.
#pragma once

#include <atomic>

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
  DatabasePost,       // a query's post fails before it writes anything
  Count
};

// Called by the platform at each fault point: true when this call is to fail. Each call counts
// towards an armed failure, so its answer must be acted on.
[[nodiscard]] bool ShouldFail(FaultPoint point);

// The counter behind point, shared by every thread: 0 while disarmed; otherwise the number of calls
// up to and including the one that fails.
std::atomic<int>& FaultCounter(FaultPoint point);

}  // namespace platform
