// Values that tests add to the registry key "hardware\devicemap\serialcomm", after the ports and
// the device map's entries, to list data that no port gives (a value that is not text). Keys
// opened from the next call on see them. While any is added the platform's serialcomm source is
// installed; clearing removes it, so that listings go back to taking no lock. Thread-safe.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

void AddSerialCommTestValue(const std::string& name, DWORD type, const std::vector<BYTE>& data);
void ClearSerialCommTestValues();

}  // namespace platform
