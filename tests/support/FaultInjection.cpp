#include "tests/support/FaultInjection.h"

namespace platform {

void FailNextCall(FaultPoint point, int skip) {
  FaultCounter(point).store(skip + 1);
}

void ClearFaults() {
  for (int point = 0; point < static_cast<int>(FaultPoint::Count); ++point) {
    FaultCounter(static_cast<FaultPoint>(point)).store(0);
  }
}

}  // namespace platform
