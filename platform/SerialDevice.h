// The backend interface behind a device handle: one function set, implemented by each kind of
// device (a termios tty, a plain file, and a test device that a test-support library adds). Every
// function returns an error code (ERROR_SUCCESS when it succeeded); the public calls in Serial.cpp
// turn it into BOOL and GetLastError. The defaults refuse with ERROR_INVALID_FUNCTION, which is
// what a device that is no serial port answers.
#pragma once

#include <memory>
#include <string>

#include "Handles.h"
#include "Serial.h"

namespace platform {

class SerialDevice : public KernelObject {
 public:
  virtual DWORD FileType(DWORD& type) = 0;
  virtual DWORD Setup(DWORD inQueue, DWORD outQueue);
  virtual DWORD Purge(DWORD flags);
  virtual DWORD GetState(DCB& dcb);
  virtual DWORD SetState(const DCB& dcb);
  virtual DWORD GetTimeouts(COMMTIMEOUTS& timeouts);
  virtual DWORD SetTimeouts(const COMMTIMEOUTS& timeouts);
  virtual DWORD SetMask(DWORD mask);
  virtual DWORD GetMask(DWORD& mask);
  virtual DWORD ClearError(DWORD& errors, COMSTAT* status);

  // Overlapped operations. ERROR_SUCCESS: completed at once (record written, event set);
  // ERROR_IO_PENDING: started (record marked pending, event reset); anything else: refused, and
  // the record is untouched.
  virtual DWORD Read(void* buffer, DWORD count, OVERLAPPED& record);
  virtual DWORD Write(const void* buffer, DWORD count, OVERLAPPED& record);
  virtual DWORD WaitEvent(DWORD* mask, OVERLAPPED& record);

  // The outcome of the operation of record: its error code, with bytes transferred so far.
  // ERROR_IO_INCOMPLETE when it is still pending and wait is false; with wait true it blocks until
  // the operation ends.
  virtual DWORD Result(OVERLAPPED& record, bool wait, DWORD& bytes);

  // Ends every pending operation with ERROR_OPERATION_ABORTED and releases the device; later
  // calls fail with ERROR_INVALID_HANDLE. Idempotent.
  virtual void Close() {}

  void OnHandleClosed() override { Close(); }
};

// The path that a device name (prefix already removed) opens, when no device opener takes it:
// the device map's entry for it, else /dev/ttyS<n-1> for "COMn", else the name itself.
std::string DevicePath(const std::string& name);

// A device opener: opens the device that it knows under name (prefix already removed). False when
// it knows no such name; otherwise error tells whether device was opened (ERROR_SUCCESS) or why
// not. It may be called from any thread.
using DeviceOpener = bool (*)(const std::string& name, std::shared_ptr<SerialDevice>& device,
                              DWORD& error);

// Makes CreateFileA ask opener before it resolves a name to a path; null asks none. Thread-safe.
// Tests install one to open their own devices; the programs install none, so that every name goes
// straight to its path.
void SetDeviceOpener(DeviceOpener opener);

}  // namespace platform
