// A serial device for tests, whose every call the test scripts and records. The first Register
// installs the platform's device opener, so that CreateFileA finds the registered names first.
//
//   auto dev = platform::ScriptedDevice::Register("TEST1");  // unregistered when dev goes
//   HANDLE h = CreateFileA("TEST1", ...);                     // "\\.\TEST1" and "//./TEST1" too
//   dev->WaitForPendingRead();
//   dev->CompleteRead("\xAA\x20\xEE");
//
// Without a script, reads and event waits stay pending until the test ends them, and writes
// complete at once with all their bytes. Opening is exclusive, like a real port: a second open
// while one handle is open fails with ERROR_ACCESS_DENIED. Every member may be called from any
// thread; the Wait functions block the caller until their condition holds or the bound passes.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Serial.h"

namespace platform {

// The calls a scripted device records and whose results a test can set.
enum class SerialCall {
  Open,
  GetFileType,
  SetupComm,
  PurgeComm,
  GetCommState,
  SetCommState,
  GetCommTimeouts,
  SetCommTimeouts,
  SetCommMask,
  GetCommMask,
  WaitCommEvent,
  ClearCommError,
  ReadFile,
  WriteFile,
  GetOverlappedResult,
  Close,
  Count
};

class ScriptedCore;

class ScriptedDevice {
 public:
  using Bound = std::chrono::milliseconds;
  static constexpr Bound defaultBound{5000};

  // Registers a device under name; throws std::invalid_argument when the name is taken. A handle
  // still open when the object goes becomes invalid (as InvalidateHandle).
  static std::unique_ptr<ScriptedDevice> Register(const std::string& name);
  ~ScriptedDevice();
  ScriptedDevice(const ScriptedDevice&) = delete;
  ScriptedDevice& operator=(const ScriptedDevice&) = delete;

  // --- Results of calls.
  // Every later call of this kind fails with error, until set back to ERROR_SUCCESS. Open makes
  // CreateFileA fail; for ReadFile, WriteFile and WaitCommEvent the call fails at once, before
  // any scripted step is used. GetFileType (see SetFileType) and Close cannot fail.
  void SetResult(SerialCall call, DWORD error);
  // What GetFileType reports (FILE_TYPE_CHAR unless set).
  void SetFileType(DWORD type);
  // Line-error flags (CE_) that the next ClearCommError returns (gathered, then cleared).
  void AddLineErrors(DWORD errors);

  // --- How the next ReadFile / WriteFile / WaitCommEvent end, one step per call, in order.
  // Reads: complete at once with bytes (as many as fit; the rest is what the next read returns at
  // once), or fail at once with error.
  void ReadReturns(std::string bytes);
  void ReadFails(DWORD error);
  // Writes: complete at once with count of their bytes, stay pending, or fail at once.
  void WriteAccepts(DWORD count);
  void WritePends();
  void WriteFails(DWORD error);
  // Event waits: complete at once with mask (0 included), or fail at once.
  void EventReturns(DWORD mask);
  void EventFails(DWORD error);

  // --- Ending the oldest pending operation of a kind, from the test. False when none is pending.
  bool CompleteRead(const std::string& bytes);  // at most the read's size; the rest is dropped
  bool FailRead(DWORD error);
  bool CompleteWrite();  // with all its bytes
  bool CompleteWrite(DWORD count);
  bool FailWrite(DWORD error);
  bool CompleteEvent(DWORD mask);
  bool FailEvent(DWORD error);

  // The open handle becomes invalid: its pending operations end with ERROR_OPERATION_ABORTED, as
  // on close, and every later call on it fails with ERROR_INVALID_HANDLE. The device can be
  // opened again.
  void InvalidateHandle();

  // --- What happened.
  bool IsOpen() const;
  int OpenCount() const;  // successful opens so far
  int Calls(SerialCall call) const;
  std::vector<SerialCall> CallLog() const;     // every call, in order
  std::vector<DWORD> PurgeFlags() const;       // each PurgeComm's flags
  std::vector<DCB> States() const;             // each DCB given to SetCommState
  std::vector<COMMTIMEOUTS> Timeouts() const;  // each COMMTIMEOUTS given to SetCommTimeouts
  std::vector<DWORD> Masks() const;            // each SetCommMask's mask
  std::vector<std::pair<DWORD, DWORD>> Setups() const;  // each SetupComm's queue sizes
  std::vector<DWORD> ReadSizes() const;                 // bytes each ReadFile asked for
  std::vector<std::string> Writes() const;              // the bytes each WriteFile was given
  std::string Written() const;                          // the bytes writes took, in order
  std::size_t PendingReads() const;
  std::size_t PendingWrites() const;
  std::size_t PendingEvents() const;

  // --- Waiting with a bound. Each returns whether its condition held within the bound; the
  // condition is tested again whenever the device's state changes, never by polling.
  bool WaitUntil(const std::function<bool()>& condition, Bound bound = defaultBound) const;
  bool WaitForPendingRead(Bound bound = defaultBound) const;
  bool WaitForPendingWrite(Bound bound = defaultBound) const;
  bool WaitForPendingEvent(Bound bound = defaultBound) const;
  bool WaitForWritten(std::size_t bytes, Bound bound = defaultBound) const;
  bool WaitForCalls(SerialCall call, int count, Bound bound = defaultBound) const;
  bool WaitForClosed(Bound bound = defaultBound) const;

 private:
  explicit ScriptedDevice(std::shared_ptr<ScriptedCore> core);
  std::shared_ptr<ScriptedCore> core_;
};

}  // namespace platform
