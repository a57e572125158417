// Arming the platform's fault points (platform/Faults.h). Thread-safe; counts calls process-wide.
#pragma once

#include "platform/Faults.h"

namespace platform {

// The next call at point fails, after skip calls that succeed. Arming again replaces the count.
void FailNextCall(FaultPoint point, int skip = 0);

// Disarms every point.
void ClearFaults();

}  // namespace platform
