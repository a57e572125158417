#include "tests/support/SerialCommTestValues.h"

#include <mutex>

#include "platform/SerialPorts.h"

namespace platform {
namespace {

struct TestValues {
  std::mutex lock;
  std::vector<RegistryValue> values;
};

TestValues& TheTestValues() {
  static TestValues* values = new TestValues;  // never destroyed: a listing may outlive statics
  return *values;
}

// The platform's serialcomm source: the values added so far.
void AppendTestValues(std::vector<RegistryValue>& values) {
  auto& test = TheTestValues();
  std::lock_guard guard(test.lock);
  values.insert(values.end(), test.values.begin(), test.values.end());
}

}  // namespace

void AddSerialCommTestValue(const std::string& name, DWORD type, const std::vector<BYTE>& data) {
  auto& test = TheTestValues();
  std::lock_guard guard(test.lock);
  test.values.push_back({name, type, data});
  SetSerialCommSource(&AppendTestValues);
}

void ClearSerialCommTestValues() {
  auto& test = TheTestValues();
  std::lock_guard guard(test.lock);
  test.values.clear();
  SetSerialCommSource(nullptr);
}

}  // namespace platform
