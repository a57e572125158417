#include "tests/support/ScriptedCore.h"

#include <algorithm>
#include <cstring>

namespace platform {

ScriptedCore::ScriptedCore() {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = 9600;
  dcb.fBinary = 1;
  dcb.ByteSize = 8;
}

void ScriptedCore::NoteLocked(SerialCall call) {
  log.push_back(call);
  ++counts[static_cast<int>(call)];
  ChangedLocked();
}

void ScriptedCore::ChangedLocked() {
  ++generation;
  changed.notify_all();
}

void ScriptedCore::DetachLocked() {
  if (current == nullptr) {
    return;
  }
  current->closed = true;
  current = nullptr;
  ops.FinishAll(OpKind::Read, ERROR_OPERATION_ABORTED);
  ops.FinishAll(OpKind::Write, ERROR_OPERATION_ABORTED);
  ops.FinishAll(OpKind::Event, ERROR_OPERATION_ABORTED);
  ChangedLocked();
}

DWORD ScriptedCore::Fill(BYTE* buffer, DWORD size, const std::string& bytes) {
  const auto count = static_cast<DWORD>(std::min<std::size_t>(size, bytes.size()));
  if (count > 0) {
    std::memcpy(buffer, bytes.data(), count);
  }
  return count;
}

DWORD ScriptedPort::EnterLocked(SerialCall call) {
  core_->NoteLocked(call);
  return closed ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

DWORD ScriptedPort::ResultOf(SerialCall call) const {
  return core_->results[static_cast<int>(call)];
}

DWORD ScriptedPort::FileType(DWORD& type) {
  std::lock_guard guard(core_->lock);
  type = FILE_TYPE_UNKNOWN;
  if (DWORD error = EnterLocked(SerialCall::GetFileType)) {
    return error;
  }
  type = core_->fileType;
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::Setup(DWORD inQueue, DWORD outQueue) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::SetupComm)) {
    return error;
  }
  core_->setups.emplace_back(inQueue, outQueue);
  return ResultOf(SerialCall::SetupComm);
}

DWORD ScriptedPort::Purge(DWORD flags) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::PurgeComm)) {
    return error;
  }
  core_->purges.push_back(flags);
  if (DWORD error = ResultOf(SerialCall::PurgeComm)) {
    return error;
  }
  if (flags & PURGE_TXABORT) {
    core_->ops.FinishAll(OpKind::Write, ERROR_OPERATION_ABORTED);
  }
  if (flags & PURGE_RXABORT) {
    core_->ops.FinishAll(OpKind::Read, ERROR_OPERATION_ABORTED);
  }
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::GetState(DCB& dcb) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::GetCommState)) {
    return error;
  }
  if (DWORD error = ResultOf(SerialCall::GetCommState)) {
    return error;
  }
  dcb = core_->dcb;
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::SetState(const DCB& dcb) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::SetCommState)) {
    return error;
  }
  core_->states.push_back(dcb);
  if (DWORD error = ResultOf(SerialCall::SetCommState)) {
    return error;
  }
  core_->dcb = dcb;
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::GetTimeouts(COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::GetCommTimeouts)) {
    return error;
  }
  if (DWORD error = ResultOf(SerialCall::GetCommTimeouts)) {
    return error;
  }
  timeouts = core_->timeouts;
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::SetCommTimeouts)) {
    return error;
  }
  core_->timeoutsGiven.push_back(timeouts);
  if (DWORD error = ResultOf(SerialCall::SetCommTimeouts)) {
    return error;
  }
  core_->timeouts = timeouts;
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::SetMask(DWORD mask) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::SetCommMask)) {
    return error;
  }
  core_->masks.push_back(mask);
  if (DWORD error = ResultOf(SerialCall::SetCommMask)) {
    return error;
  }
  core_->mask = mask;
  core_->ops.FinishAll(OpKind::Event, ERROR_SUCCESS);  // with mask 0
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::GetMask(DWORD& mask) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::GetCommMask)) {
    return error;
  }
  if (DWORD error = ResultOf(SerialCall::GetCommMask)) {
    return error;
  }
  mask = core_->mask;
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::ClearError(DWORD& errors, COMSTAT* status) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::ClearCommError)) {
    return error;
  }
  if (DWORD error = ResultOf(SerialCall::ClearCommError)) {
    return error;
  }
  errors = core_->lineErrors;
  core_->lineErrors = 0;
  if (status != nullptr) {
    *status = COMSTAT{};
  }
  return ERROR_SUCCESS;
}

DWORD ScriptedPort::Read(void* buffer, DWORD count, OVERLAPPED& record) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::ReadFile)) {
    return error;
  }
  core_->readSizes.push_back(count);
  if (DWORD error = ResultOf(SerialCall::ReadFile)) {
    return error;
  }
  auto* bytes = static_cast<BYTE*>(buffer);
  if (!core_->readSteps.empty()) {
    ScriptStep step = std::move(core_->readSteps.front());
    core_->readSteps.pop_front();
    if (step.kind == ScriptStep::Kind::Fail) {
      return step.value;
    }
    const DWORD done = ScriptedCore::Fill(bytes, count, step.bytes);
    if (done < step.bytes.size()) {
      core_->readSteps.push_front({ScriptStep::Kind::Bytes, 0, step.bytes.substr(done)});
    }
    FinishRecord(record, record.hEvent, ERROR_SUCCESS, done);
    return ERROR_SUCCESS;
  }
  PendingOp op;
  op.kind = OpKind::Read;
  op.record = &record;
  op.event = record.hEvent;
  op.readBuffer = bytes;
  op.size = count;
  core_->ops.Start(std::move(op));
  return ERROR_IO_PENDING;
}

DWORD ScriptedPort::Write(const void* buffer, DWORD count, OVERLAPPED& record) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::WriteFile)) {
    return error;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  std::string given(bytes, bytes + count);
  core_->writes.push_back(given);
  if (DWORD error = ResultOf(SerialCall::WriteFile)) {
    return error;
  }
  ScriptStep step{ScriptStep::Kind::Accept, count, {}};
  if (!core_->writeSteps.empty()) {
    step = std::move(core_->writeSteps.front());
    core_->writeSteps.pop_front();
  }
  switch (step.kind) {
    case ScriptStep::Kind::Fail:
      return step.value;
    case ScriptStep::Kind::Pend: {
      PendingOp op;
      op.kind = OpKind::Write;
      op.record = &record;
      op.event = record.hEvent;
      op.writeData.assign(given.begin(), given.end());
      op.size = count;
      core_->ops.Start(std::move(op));
      return ERROR_IO_PENDING;
    }
    default: {
      const DWORD done = std::min(step.value, count);
      core_->written.append(given, 0, done);
      FinishRecord(record, record.hEvent, ERROR_SUCCESS, done);
      return ERROR_SUCCESS;
    }
  }
}

DWORD ScriptedPort::WaitEvent(DWORD* mask, OVERLAPPED& record) {
  std::lock_guard guard(core_->lock);
  if (DWORD error = EnterLocked(SerialCall::WaitCommEvent)) {
    return error;
  }
  if (DWORD error = ResultOf(SerialCall::WaitCommEvent)) {
    return error;
  }
  if (!core_->eventSteps.empty()) {
    ScriptStep step = std::move(core_->eventSteps.front());
    core_->eventSteps.pop_front();
    if (step.kind == ScriptStep::Kind::Fail) {
      return step.value;
    }
    if (mask != nullptr) {
      *mask = step.value;
    }
    FinishRecord(record, record.hEvent, ERROR_SUCCESS, 0);
    return ERROR_SUCCESS;
  }
  PendingOp op;
  op.kind = OpKind::Event;
  op.record = &record;
  op.event = record.hEvent;
  op.eventMask = mask;
  core_->ops.Start(std::move(op));
  return ERROR_IO_PENDING;
}

DWORD ScriptedPort::Result(OVERLAPPED& record, bool wait, DWORD& bytes) {
  std::unique_lock guard(core_->lock);
  bytes = 0;
  if (DWORD error = EnterLocked(SerialCall::GetOverlappedResult)) {
    return error;
  }
  if (DWORD error = ResultOf(SerialCall::GetOverlappedResult)) {
    return error;
  }
  return core_->ops.Await(guard, record, wait, bytes, closed);
}

void ScriptedPort::Close() {
  std::lock_guard guard(core_->lock);
  if (closed) {
    return;
  }
  core_->NoteLocked(SerialCall::Close);
  if (core_->current == this) {
    core_->DetachLocked();
  }
  closed = true;
}

}  // namespace platform
