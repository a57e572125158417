#include "Faults.h"

#include <atomic>

namespace platform {
namespace {

// Per point: 0 when disarmed; otherwise the number of calls up to and including the one that
// fails.
std::atomic<int> counters[static_cast<int>(FaultPoint::Count)];

}  // namespace

void FailNextCall(FaultPoint point, int skip) {
  counters[static_cast<int>(point)].store(skip + 1);
}

void ClearFaults() {
  for (auto& counter : counters) {
    counter.store(0);
  }
}

bool ShouldFail(FaultPoint point) {
  auto& counter = counters[static_cast<int>(point)];
  int value = counter.load();
  while (value != 0) {
    if (counter.compare_exchange_weak(value, value - 1)) {
      return value == 1;
    }
  }
  return false;
}

}  // namespace platform
