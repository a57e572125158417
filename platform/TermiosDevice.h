// A tty opened as a serial device. Opening is exclusive (flock, which also conflicts between two
// opens within one process, and TIOCEXCL, which keeps later openers out unless they run as root);
// closing releases both at once. Pending operations are served by one service thread per device,
// which sleeps in poll() on a wake descriptor, and on the tty while an operation waits for it, so
// it never wakes while the line is idle. Modem-line events come from a second thread, started only
// when the mask asks for them and the driver reports modem lines (a pseudo-terminal does not:
// event waits then simply stay pending).
#pragma once

#include <linux/serial.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "Overlapped.h"
#include "SerialDevice.h"

namespace platform {

class TermiosDevice : public SerialDevice {
 public:
  // Takes over fd, a tty opened non-blocking, and makes it a device in raw mode. On failure the
  // descriptor is closed and the error code returned.
  static DWORD Open(int fd, std::shared_ptr<SerialDevice>& device);

  TermiosDevice(int fd, int wakeFd, const DCB& dcb);
  ~TermiosDevice() override;
  TermiosDevice(const TermiosDevice&) = delete;
  TermiosDevice& operator=(const TermiosDevice&) = delete;

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

 private:
  using Clock = PendingOp::Clock;

  void Serve();
  // Read what is ready into the oldest pending reads, or write what the tty takes from the oldest
  // pending writes; revents is what poll reported for the tty (0 when it was not polled). End the
  // operations that are done, timed out or failed.
  void ServeReadsLocked(short revents, Clock::time_point now);
  void ServeWritesLocked(short revents, Clock::time_point now);
  // Milliseconds until the next time-out of a pending operation, or -1 for none.
  int NextTimeoutLocked(Clock::time_point now);
  void Wake();
  // Compares the driver's error counters with those last seen; new errors are gathered for
  // ClearCommError and raise EV_ERR / EV_BREAK.
  void NoteLineErrorsLocked();
  // Completes the pending event wait with the events of mask that are asked for, or keeps them
  // for the next wait.
  void RaiseEventsLocked(DWORD events);

  void StartModemWatchLocked();
  void WatchModem();
  void StopModemWatch();

  std::mutex lock_;
  PendingOps ops_;
  bool closed_ = false;
  const int fd_;
  const int wakeFd_;  // eventfd in every poll set: written to make the service thread look again
  DCB dcb_;           // the line state last put into force
  COMMTIMEOUTS timeouts_{};
  DWORD mask_ = 0;
  DWORD events_ = 0;  // events of mask_ that happened while no wait was pending
  DWORD errors_ = 0;  // CE_ flags gathered since the last ClearCommError
  bool haveCounters_ = false;
  serial_icounter_struct counters_{};
  bool haveModem_ = false;
  bool modemWatching_ = false;
  bool modemDone_ = false;  // the watcher has returned
  std::condition_variable modemChanged_;
  std::thread service_;
  std::thread modem_;
};

}  // namespace platform
