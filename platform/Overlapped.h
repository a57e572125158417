// Bookkeeping of overlapped operations shared by the device backends: which records are pending,
// and how an operation ends (record written, event set). Everything here is guarded by the
// owning device's lock, so that once an operation has been ended under that lock (by completion,
// purge or close) nothing touches its record, buffer or mask again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "Types.h"

namespace platform {

enum class OpKind { Read, Write, Event };

struct PendingOp {
  using Clock = std::chrono::steady_clock;

  OpKind kind = OpKind::Read;
  OVERLAPPED* record = nullptr;
  HANDLE event = nullptr;
  BYTE* readBuffer = nullptr;   // the caller's buffer (reads)
  std::vector<BYTE> writeData;  // our own copy of the bytes (writes)
  DWORD* eventMask = nullptr;   // the caller's mask (event waits)
  DWORD size = 0;               // bytes asked for
  DWORD done = 0;               // bytes transferred so far
  bool hasDeadline = false;     // a total time-out bounds the operation
  Clock::time_point deadline;
  std::chrono::milliseconds interval{0};  // reads: the longest quiet gap after a byte; 0 = none
  Clock::time_point lastByte;             // reads: when the last byte arrived (done > 0)
};

class PendingOps {
 public:
  // Marks op's record pending, resets its event and queues it behind the others of its kind.
  PendingOp& Start(PendingOp op);

  std::deque<PendingOp>& Of(OpKind kind) { return queues_[static_cast<int>(kind)]; }
  bool Any(OpKind kind) { return !Of(kind).empty(); }

  // Ends the oldest operation of kind: writes error and its byte count into the record (and mask,
  // 0 unless error is ERROR_SUCCESS, into an event wait's mask), sets its event and forgets it.
  void FinishFront(OpKind kind, DWORD error, DWORD mask = 0);
  // Ends every operation of kind with error.
  void FinishAll(OpKind kind, DWORD error);

  bool IsPending(const OVERLAPPED* record) const;

  // GetOverlappedResult over these operations; lock holds the owner's lock. closed tells whether
  // the device has been closed, in which case the result is ERROR_INVALID_HANDLE.
  DWORD Await(std::unique_lock<std::mutex>& lock, OVERLAPPED& record, bool wait, DWORD& bytes,
              const bool& closed);

 private:
  std::deque<PendingOp> queues_[3];
  std::condition_variable finished_;
};

// Writes a result into record and sets its event; for operations that end at once, which have
// not been queued.
void FinishRecord(OVERLAPPED& record, HANDLE event, DWORD error, DWORD bytes);

}  // namespace platform
