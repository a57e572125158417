#include "Faults.h"

namespace platform {
namespace {

std::atomic<int> counters[static_cast<int>(FaultPoint::Count)];

}  // namespace

std::atomic<int>& FaultCounter(FaultPoint point) {
  return counters[static_cast<int>(point)];
}

bool ShouldFail(FaultPoint point) {
  auto& counter = FaultCounter(point);
  int value = counter.load();
  while (value != 0) {
    if (counter.compare_exchange_weak(value, value - 1)) {
      return value == 1;
    }
  }
  return false;
}

}  // namespace platform
