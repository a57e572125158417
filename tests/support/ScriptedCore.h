// The state behind a scripted test device: its script, its records and the operations pending on
// its open handle. One lock guards it all; ScriptedPort is the kernel object of one open handle.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Overlapped.h"
#include "platform/SerialDevice.h"
#include "tests/support/ScriptedDevice.h"

namespace platform {

class ScriptedPort;

// One scripted outcome of a ReadFile, WriteFile or WaitCommEvent.
struct ScriptStep {
  enum class Kind { Bytes, Fail, Accept, Pend, Mask } kind;
  DWORD value = 0;  // error (Fail), byte count (Accept) or mask (Mask)
  std::string bytes;
};

class ScriptedCore {
 public:
  ScriptedCore();

  // Records call and wakes the test's waits: every call and every change of state goes through
  // here or through ChangedLocked while the lock is held.
  void NoteLocked(SerialCall call);
  void ChangedLocked();
  // Ends the open handle's pending operations with ERROR_OPERATION_ABORTED and forgets it.
  void DetachLocked();
  // Copies up to size bytes of bytes into buffer; returns how many.
  static DWORD Fill(BYTE* buffer, DWORD size, const std::string& bytes);

  std::mutex lock;
  mutable std::condition_variable changed;
  std::uint64_t generation = 0;
  PendingOps ops;
  ScriptedPort* current = nullptr;  // the open handle's port, or null while closed

  DWORD results[static_cast<int>(SerialCall::Count)] = {};
  DWORD fileType = FILE_TYPE_CHAR;
  DWORD lineErrors = 0;
  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  DWORD mask = 0;
  std::deque<ScriptStep> readSteps, writeSteps, eventSteps;

  int openCount = 0;
  int counts[static_cast<int>(SerialCall::Count)] = {};
  std::vector<SerialCall> log;
  std::vector<DWORD> purges;
  std::vector<DCB> states;
  std::vector<COMMTIMEOUTS> timeoutsGiven;
  std::vector<DWORD> masks;
  std::vector<std::pair<DWORD, DWORD>> setups;
  std::vector<DWORD> readSizes;
  std::vector<std::string> writes;
  std::string written;
};

class ScriptedPort : public SerialDevice {
 public:
  explicit ScriptedPort(std::shared_ptr<ScriptedCore> core) : core_(std::move(core)) {}
  ~ScriptedPort() override { Close(); }

  DWORD FileType(DWORD& type) override;
  DWORD Setup(DWORD inQueue, DWORD outQueue) override;
  DWORD Purge(DWORD flags) override;
  DWORD GetState(DCB& dcb) override;
  DWORD SetState(const DCB& dcb) override;
  DWORD GetTimeouts(COMMTIMEOUTS& timeouts) override;
  DWORD SetTimeouts(const COMMTIMEOUTS& timeouts) override;
  DWORD SetMask(DWORD mask) override;
  DWORD GetMask(DWORD& mask) override;
  DWORD ClearError(DWORD& errors, COMSTAT* status) override;
  DWORD Read(void* buffer, DWORD count, OVERLAPPED& record) override;
  DWORD Write(const void* buffer, DWORD count, OVERLAPPED& record) override;
  DWORD WaitEvent(DWORD* mask, OVERLAPPED& record) override;
  DWORD Result(OVERLAPPED& record, bool wait, DWORD& bytes) override;
  void Close() override;

  bool closed = false;  // guarded by the core's lock; set on close and when invalidated

 private:
  // Records call; the error the call ends with before doing anything (closed handle), or 0.
  DWORD EnterLocked(SerialCall call);
  DWORD ResultOf(SerialCall call) const;

  const std::shared_ptr<ScriptedCore> core_;
};

}  // namespace platform
