#include "Overlapped.h"

#include <algorithm>

#include "Sync.h"

namespace platform {

void FinishRecord(OVERLAPPED& record, HANDLE event, DWORD error, DWORD bytes) {
  record.Internal = error;
  record.InternalHigh = bytes;
  if (event != nullptr) {
    SetEvent(event);
  }
}

PendingOp& PendingOps::Start(PendingOp op) {
  op.record->Internal = ERROR_IO_PENDING;
  op.record->InternalHigh = 0;
  if (op.event != nullptr) {
    ResetEvent(op.event);
  }
  auto& queue = Of(op.kind);
  queue.push_back(std::move(op));
  return queue.back();
}

void PendingOps::FinishFront(OpKind kind, DWORD error, DWORD mask) {
  auto& queue = Of(kind);
  PendingOp op = std::move(queue.front());
  queue.pop_front();
  if (op.eventMask != nullptr) {
    *op.eventMask = error == ERROR_SUCCESS ? mask : 0;
  }
  FinishRecord(*op.record, op.event, error, op.done);
  finished_.notify_all();
}

void PendingOps::FinishAll(OpKind kind, DWORD error) {
  while (Any(kind)) {
    FinishFront(kind, error);
  }
}

bool PendingOps::IsPending(const OVERLAPPED* record) const {
  return std::any_of(std::begin(queues_), std::end(queues_), [&](const auto& queue) {
    return std::any_of(queue.begin(), queue.end(),
                       [&](const PendingOp& op) { return op.record == record; });
  });
}

DWORD PendingOps::Await(std::unique_lock<std::mutex>& lock, OVERLAPPED& record, bool wait,
                        DWORD& bytes, const bool& closed) {
  if (wait) {
    finished_.wait(lock, [&] { return !IsPending(&record); });
  }
  if (closed) {
    bytes = 0;
    return ERROR_INVALID_HANDLE;
  }
  if (IsPending(&record)) {
    bytes = 0;
    return ERROR_IO_INCOMPLETE;
  }
  bytes = static_cast<DWORD>(record.InternalHigh);
  return static_cast<DWORD>(record.Internal);
}

}  // namespace platform
