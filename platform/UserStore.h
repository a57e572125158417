// The current user's hive on disk: the file "registry" under the platform root.
#pragma once

#include <functional>

#include "RegistryTree.h"

namespace platform {

// The hive as the file holds it now; empty when there is no platform root or no file, or when the
// file cannot be read or parsed. Never writes.
RegistryTree LoadUserHive();

// Applies change to the current hive under the store's exclusive lock (shared by every process
// using the root). When change returns ERROR_SUCCESS and sets its flag, the file is replaced by
// the changed hive; a damaged file is replaced like any other. Returns change's error, else the
// error of the write, in which case the old file is left as it was; ERROR_PATH_NOT_FOUND without
// a platform root.
DWORD ChangeUserHive(const std::function<DWORD(RegistryTree& hive, bool& changed)>& change);

}  // namespace platform
