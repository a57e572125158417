#include "tests/support/ScriptedDevice.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "tests/support/ScriptedCore.h"

namespace platform {
namespace {

struct Registry {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<ScriptedCore>> devices;
};

Registry& Devices() {
  static Registry* registry = new Registry;  // never destroyed: handles may outlive statics
  return *registry;
}

// The platform's device opener: the device registered under name, if any.
bool OpenScriptedDevice(const std::string& name, std::shared_ptr<SerialDevice>& device,
                        DWORD& error) {
  std::shared_ptr<ScriptedCore> core;
  {
    auto& registry = Devices();
    std::lock_guard guard(registry.lock);
    auto it = registry.devices.find(name);
    if (it == registry.devices.end()) {
      return false;
    }
    core = it->second;
  }
  std::lock_guard guard(core->lock);
  core->NoteLocked(SerialCall::Open);
  error = core->results[static_cast<int>(SerialCall::Open)];
  if (error == ERROR_SUCCESS && core->current != nullptr) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error == ERROR_SUCCESS) {
    auto port = std::make_shared<ScriptedPort>(core);
    core->current = port.get();
    ++core->openCount;
    device = std::move(port);
  }
  return true;
}

}  // namespace

std::unique_ptr<ScriptedDevice> ScriptedDevice::Register(const std::string& name) {
  auto core = std::make_shared<ScriptedCore>();
  auto& registry = Devices();
  std::lock_guard guard(registry.lock);
  if (!registry.devices.emplace(name, core).second) {
    throw std::invalid_argument("scripted device name taken: " + name);
  }
  SetDeviceOpener(&OpenScriptedDevice);  // stays installed: with no device it declines every name
  return std::unique_ptr<ScriptedDevice>(new ScriptedDevice(std::move(core)));
}

ScriptedDevice::ScriptedDevice(std::shared_ptr<ScriptedCore> core) : core_(std::move(core)) {}

ScriptedDevice::~ScriptedDevice() {
  {
    auto& registry = Devices();
    std::lock_guard guard(registry.lock);
    for (auto it = registry.devices.begin(); it != registry.devices.end(); ++it) {
      if (it->second == core_) {
        registry.devices.erase(it);
        break;
      }
    }
  }
  InvalidateHandle();
}

namespace {

// Runs change on the core under its lock and wakes the test's waits.
template <typename Change>
auto Changing(ScriptedCore& core, Change change) {
  std::lock_guard guard(core.lock);
  core.ChangedLocked();
  return change();
}

template <typename Read>
auto Reading(ScriptedCore& core, Read read) {
  std::lock_guard guard(core.lock);
  return read();
}

}  // namespace

void ScriptedDevice::SetResult(SerialCall call, DWORD error) {
  Changing(*core_, [&] { core_->results[static_cast<int>(call)] = error; });
}

void ScriptedDevice::SetFileType(DWORD type) {
  Changing(*core_, [&] { core_->fileType = type; });
}

void ScriptedDevice::AddLineErrors(DWORD errors) {
  Changing(*core_, [&] { core_->lineErrors |= errors; });
}

void ScriptedDevice::ReadReturns(std::string bytes) {
  Changing(*core_, [&] {
    core_->readSteps.push_back({ScriptStep::Kind::Bytes, 0, std::move(bytes)});
  });
}

void ScriptedDevice::ReadFails(DWORD error) {
  Changing(*core_, [&] { core_->readSteps.push_back({ScriptStep::Kind::Fail, error, {}}); });
}

void ScriptedDevice::WriteAccepts(DWORD count) {
  Changing(*core_, [&] { core_->writeSteps.push_back({ScriptStep::Kind::Accept, count, {}}); });
}

void ScriptedDevice::WritePends() {
  Changing(*core_, [&] { core_->writeSteps.push_back({ScriptStep::Kind::Pend, 0, {}}); });
}

void ScriptedDevice::WriteFails(DWORD error) {
  Changing(*core_, [&] { core_->writeSteps.push_back({ScriptStep::Kind::Fail, error, {}}); });
}

void ScriptedDevice::EventReturns(DWORD mask) {
  Changing(*core_, [&] { core_->eventSteps.push_back({ScriptStep::Kind::Mask, mask, {}}); });
}

void ScriptedDevice::EventFails(DWORD error) {
  Changing(*core_, [&] { core_->eventSteps.push_back({ScriptStep::Kind::Fail, error, {}}); });
}

bool ScriptedDevice::CompleteRead(const std::string& bytes) {
  return Changing(*core_, [&] {
    auto& ops = core_->ops;
    if (!ops.Any(OpKind::Read)) {
      return false;
    }
    PendingOp& op = ops.Of(OpKind::Read).front();
    op.done = ScriptedCore::Fill(op.readBuffer, op.size, bytes);
    ops.FinishFront(OpKind::Read, ERROR_SUCCESS);
    return true;
  });
}

bool ScriptedDevice::CompleteWrite() {
  return CompleteWrite(MAXDWORD);
}

bool ScriptedDevice::CompleteWrite(DWORD count) {
  return Changing(*core_, [&] {
    auto& ops = core_->ops;
    if (!ops.Any(OpKind::Write)) {
      return false;
    }
    PendingOp& op = ops.Of(OpKind::Write).front();
    op.done = std::min(count, op.size);
    core_->written.append(op.writeData.begin(), op.writeData.begin() + op.done);
    ops.FinishFront(OpKind::Write, ERROR_SUCCESS);
    return true;
  });
}

bool ScriptedDevice::CompleteEvent(DWORD mask) {
  return Changing(*core_, [&] {
    if (!core_->ops.Any(OpKind::Event)) {
      return false;
    }
    core_->ops.FinishFront(OpKind::Event, ERROR_SUCCESS, mask);
    return true;
  });
}

namespace {

bool Fail(ScriptedCore& core, OpKind kind, DWORD error) {
  return Changing(core, [&] {
    if (!core.ops.Any(kind)) {
      return false;
    }
    core.ops.FinishFront(kind, error);
    return true;
  });
}

}  // namespace

bool ScriptedDevice::FailRead(DWORD error) {
  return Fail(*core_, OpKind::Read, error);
}
bool ScriptedDevice::FailWrite(DWORD error) {
  return Fail(*core_, OpKind::Write, error);
}
bool ScriptedDevice::FailEvent(DWORD error) {
  return Fail(*core_, OpKind::Event, error);
}

void ScriptedDevice::InvalidateHandle() {
  Changing(*core_, [&] { core_->DetachLocked(); });
}

bool ScriptedDevice::IsOpen() const {
  return Reading(*core_, [&] { return core_->current != nullptr; });
}

int ScriptedDevice::OpenCount() const {
  return Reading(*core_, [&] { return core_->openCount; });
}

int ScriptedDevice::Calls(SerialCall call) const {
  return Reading(*core_, [&] { return core_->counts[static_cast<int>(call)]; });
}

std::vector<SerialCall> ScriptedDevice::CallLog() const {
  return Reading(*core_, [&] { return core_->log; });
}

std::vector<DWORD> ScriptedDevice::PurgeFlags() const {
  return Reading(*core_, [&] { return core_->purges; });
}

std::vector<DCB> ScriptedDevice::States() const {
  return Reading(*core_, [&] { return core_->states; });
}

std::vector<COMMTIMEOUTS> ScriptedDevice::Timeouts() const {
  return Reading(*core_, [&] { return core_->timeoutsGiven; });
}

std::vector<DWORD> ScriptedDevice::Masks() const {
  return Reading(*core_, [&] { return core_->masks; });
}

std::vector<std::pair<DWORD, DWORD>> ScriptedDevice::Setups() const {
  return Reading(*core_, [&] { return core_->setups; });
}

std::vector<DWORD> ScriptedDevice::ReadSizes() const {
  return Reading(*core_, [&] { return core_->readSizes; });
}

std::vector<std::string> ScriptedDevice::Writes() const {
  return Reading(*core_, [&] { return core_->writes; });
}

std::string ScriptedDevice::Written() const {
  return Reading(*core_, [&] { return core_->written; });
}

std::size_t ScriptedDevice::PendingReads() const {
  return Reading(*core_, [&] { return core_->ops.Of(OpKind::Read).size(); });
}

std::size_t ScriptedDevice::PendingWrites() const {
  return Reading(*core_, [&] { return core_->ops.Of(OpKind::Write).size(); });
}

std::size_t ScriptedDevice::PendingEvents() const {
  return Reading(*core_, [&] { return core_->ops.Of(OpKind::Event).size(); });
}

bool ScriptedDevice::WaitUntil(const std::function<bool()>& condition, Bound bound) const {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::unique_lock guard(core_->lock);
  for (;;) {
    const auto seen = core_->generation;
    guard.unlock();
    if (condition()) {
      return true;
    }
    guard.lock();
    if (!core_->changed.wait_until(guard, deadline, [&] { return core_->generation != seen; })) {
      guard.unlock();
      return condition();
    }
  }
}

bool ScriptedDevice::WaitForPendingRead(Bound bound) const {
  return WaitUntil([&] { return PendingReads() > 0; }, bound);
}

bool ScriptedDevice::WaitForPendingWrite(Bound bound) const {
  return WaitUntil([&] { return PendingWrites() > 0; }, bound);
}

bool ScriptedDevice::WaitForPendingEvent(Bound bound) const {
  return WaitUntil([&] { return PendingEvents() > 0; }, bound);
}

bool ScriptedDevice::WaitForWritten(std::size_t bytes, Bound bound) const {
  return WaitUntil([&] { return Written().size() >= bytes; }, bound);
}

bool ScriptedDevice::WaitForCalls(SerialCall call, int count, Bound bound) const {
  return WaitUntil([&] { return Calls(call) >= count; }, bound);
}

bool ScriptedDevice::WaitForClosed(Bound bound) const {
  return WaitUntil([&] { return !IsOpen(); }, bound);
}

}  // namespace platform
