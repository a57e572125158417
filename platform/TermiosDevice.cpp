#include "TermiosDevice.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "Errors.h"
#include "LineSettings.h"
#include "Sys.h"

namespace platform {
namespace {

using Clock = PendingOp::Clock;
using std::chrono::milliseconds;

bool Expired(const PendingOp& op, Clock::time_point now) {
  if (op.hasDeadline && now >= op.deadline) {
    return true;
  }
  return op.interval.count() > 0 && op.done > 0 && now >= op.lastByte + op.interval;
}

void SetDeadline(PendingOp& op, std::uint64_t totalMs, Clock::time_point now) {
  op.hasDeadline = true;
  op.deadline = now + milliseconds(totalMs);
}

// Gives the tty back: clears exclusive mode, which would otherwise keep later openers out while
// the tty lives on, and closes it, which releases the flock. Clearing fails only on a tty that has
// hung up, which nobody can use again; then closing is all that is left to do.
void Release(int fd, bool exclusive) {
  if (exclusive) {
    (void)sys::Ioctl(fd, TIOCNXCL);
  }
  sys::CloseQuietly(fd);
}

// Releases what Open took when a later step fails.
DWORD GiveUp(int fd, bool exclusive, int errnoValue) {
  Release(fd, exclusive);
  return ErrorFromErrno(errnoValue);
}

}  // namespace

DWORD TermiosDevice::Open(int fd, std::shared_ptr<SerialDevice>& device) {
  if (auto locked = sys::Flock(fd, LOCK_EX | LOCK_NB); !locked.ok()) {
    return GiveUp(fd, false, locked.error);
  }
  // Exclusive mode outlives the descriptor on a tty that still exists, so Close clears it.
  const bool exclusive = sys::Ioctl(fd, TIOCEXCL).ok();
  termios attributes{};
  if (auto got = sys::TcGetAttr(fd, attributes); !got.ok()) {
    return GiveUp(fd, exclusive, got.error);
  }
  const DCB dcb = DcbFromTermios(attributes);
  MakeRaw(attributes);
  if (auto set = sys::TcSetAttr(fd, TCSANOW, attributes); !set.ok()) {
    return GiveUp(fd, exclusive, set.error);
  }
  auto wake = sys::EventFd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!wake.ok()) {
    return GiveUp(fd, exclusive, wake.error);
  }
  try {
    auto opened = std::make_shared<TermiosDevice>(fd, static_cast<int>(wake.value), dcb);
    device = std::move(opened);
    return ERROR_SUCCESS;
  } catch (const std::exception&) {
    sys::CloseQuietly(static_cast<int>(wake.value));
    return GiveUp(fd, exclusive, ENOMEM);
  }
}

TermiosDevice::TermiosDevice(int fd, int wakeFd, const DCB& dcb)
    : fd_(fd), wakeFd_(wakeFd), dcb_(dcb) {
  haveCounters_ = sys::Ioctl(fd_, TIOCGICOUNT, &counters_).ok();
  int lines = 0;
  haveModem_ = sys::Ioctl(fd_, TIOCMGET, &lines).ok();
  service_ = std::thread([this] { Serve(); });
}

TermiosDevice::~TermiosDevice() {
  Close();
}

void TermiosDevice::Close() {
  {
    std::lock_guard guard(lock_);
    if (closed_) {
      return;
    }
    closed_ = true;
    ops_.FinishAll(OpKind::Read, ERROR_OPERATION_ABORTED);
    ops_.FinishAll(OpKind::Write, ERROR_OPERATION_ABORTED);
    ops_.FinishAll(OpKind::Event, ERROR_OPERATION_ABORTED);
    modemChanged_.notify_all();
  }
  Wake();
  if (service_.joinable()) {
    service_.join();
  }
  StopModemWatch();
  // No thread uses the descriptors any more: the service and modem threads have ended, and every
  // other call checks closed_ under the lock before it touches them.
  Release(fd_, true);
  sys::CloseQuietly(wakeFd_);
}

void TermiosDevice::Wake() {
  const std::uint64_t one = 1;
  // Fails only with EAGAIN, when the counter is near its limit: a wake is then pending already.
  (void)sys::Write(wakeFd_, &one, sizeof one);
}

DWORD TermiosDevice::FileType(DWORD& type) {
  std::lock_guard guard(lock_);
  type = closed_ ? FILE_TYPE_UNKNOWN : FILE_TYPE_CHAR;
  return closed_ ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

DWORD TermiosDevice::Setup(DWORD, DWORD) {
  std::lock_guard guard(lock_);
  // The tty's buffers have a fixed size; any request is taken.
  return closed_ ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

DWORD TermiosDevice::Purge(DWORD flags) {
  if ((flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  if (flags & PURGE_TXABORT) {
    ops_.FinishAll(OpKind::Write, ERROR_OPERATION_ABORTED);
  }
  if (flags & PURGE_RXABORT) {
    ops_.FinishAll(OpKind::Read, ERROR_OPERATION_ABORTED);
  }
  DWORD error = ERROR_SUCCESS;
  if (flags & PURGE_TXCLEAR) {
    if (auto flushed = sys::TcFlush(fd_, TCOFLUSH); !flushed.ok()) {
      error = ErrorFromErrno(flushed.error);
    }
  }
  if (flags & PURGE_RXCLEAR) {
    if (auto flushed = sys::TcFlush(fd_, TCIFLUSH); !flushed.ok()) {
      error = ErrorFromErrno(flushed.error);
    }
  }
  Wake();
  return error;
}

DWORD TermiosDevice::GetState(DCB& dcb) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  dcb = dcb_;
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::SetState(const DCB& dcb) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  termios attributes{};
  if (auto got = sys::TcGetAttr(fd_, attributes); !got.ok()) {
    return ErrorFromErrno(got.error);
  }
  if (!TermiosFromDcb(dcb, attributes)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (auto set = sys::TcSetAttr(fd_, TCSANOW, attributes); !set.ok()) {
    return ErrorFromErrno(set.error);
  }
  // The driver took the request (Linux reports success once it applied any part of it), so the
  // state is stored as set whatever the modem lines do. Both requests are made: one that the driver
  // refuses leaves its lines as they were (a tty without modem control answers ENOTTY or EINVAL, a
  // USB adapter whose control request fails EPIPE or EIO), and the other takes effect all the same.
  dcb_ = dcb;
  auto lines = ModemLinesFromDcb(dcb);
  (void)sys::Ioctl(fd_, TIOCMBIS, &lines.set);
  (void)sys::Ioctl(fd_, TIOCMBIC, &lines.clear);
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::GetTimeouts(COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  timeouts = timeouts_;
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::SetTimeouts(const COMMTIMEOUTS& timeouts) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  timeouts_ = timeouts;  // operations already pending keep the time-outs they started with
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::SetMask(DWORD mask) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  mask_ = mask;
  events_ = 0;
  ops_.FinishAll(OpKind::Event, ERROR_SUCCESS);  // with mask 0
  StartModemWatchLocked();
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::GetMask(DWORD& mask) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  mask = mask_;
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::ClearError(DWORD& errors, COMSTAT* status) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  NoteLineErrorsLocked();
  errors = errors_;
  errors_ = 0;
  if (status != nullptr) {
    *status = COMSTAT{};
    int queued = 0;
    if (sys::Ioctl(fd_, TIOCINQ, &queued).ok()) {
      status->cbInQue = static_cast<DWORD>(queued);
    }
    if (sys::Ioctl(fd_, TIOCOUTQ, &queued).ok()) {
      status->cbOutQue = static_cast<DWORD>(queued);
    }
  }
  return ERROR_SUCCESS;
}

DWORD TermiosDevice::Read(void* buffer, DWORD count, OVERLAPPED& record) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  const auto now = Clock::now();
  PendingOp op;
  op.kind = OpKind::Read;
  op.record = &record;
  op.event = record.hEvent;
  op.readBuffer = static_cast<BYTE*>(buffer);
  op.size = count;
  if (!ops_.Any(OpKind::Read) && count > 0) {
    auto got = sys::Read(fd_, op.readBuffer, count);
    if (got.ok()) {
      op.done = static_cast<DWORD>(got.value);
      op.lastByte = now;
      if (op.done > 0) {
        NoteLineErrorsLocked();
      }
    } else if (got.error != EAGAIN && got.error != EINTR) {
      return ErrorFromErrno(got.error);
    }
  }
  const COMMTIMEOUTS& t = timeouts_;
  const bool returnAtOnce = t.ReadIntervalTimeout == MAXDWORD &&
                            t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
  // Interval and multiplier MAXDWORD with a finite constant: return as soon as any byte is there,
  // waiting up to the constant for the first.
  const bool anyByte = t.ReadIntervalTimeout == MAXDWORD &&
                       t.ReadTotalTimeoutMultiplier == MAXDWORD && t.ReadTotalTimeoutConstant > 0 &&
                       t.ReadTotalTimeoutConstant < MAXDWORD;
  if (op.done == count || returnAtOnce || (anyByte && op.done > 0)) {
    FinishRecord(record, record.hEvent, ERROR_SUCCESS, op.done);
    return ERROR_SUCCESS;
  }
  if (anyByte) {
    SetDeadline(op, t.ReadTotalTimeoutConstant, now);
  } else {
    if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
      SetDeadline(op,
                  std::uint64_t{t.ReadTotalTimeoutMultiplier} * count + t.ReadTotalTimeoutConstant,
                  now);
    }
    if (t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != MAXDWORD) {
      op.interval = milliseconds(t.ReadIntervalTimeout);
    }
  }
  ops_.Start(std::move(op));
  Wake();
  return ERROR_IO_PENDING;
}

DWORD TermiosDevice::Write(const void* buffer, DWORD count, OVERLAPPED& record) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  PendingOp op;
  op.kind = OpKind::Write;
  op.record = &record;
  op.event = record.hEvent;
  op.size = count;
  if (!ops_.Any(OpKind::Write) && count > 0) {
    auto put = sys::Write(fd_, buffer, count);
    if (put.ok()) {
      op.done = static_cast<DWORD>(put.value);
    } else if (put.error != EAGAIN && put.error != EINTR) {
      return ErrorFromErrno(put.error);
    }
  }
  if (op.done == count) {
    FinishRecord(record, record.hEvent, ERROR_SUCCESS, count);
    return ERROR_SUCCESS;
  }
  const auto* bytes = static_cast<const BYTE*>(buffer);
  op.writeData.assign(bytes, bytes + count);
  const COMMTIMEOUTS& t = timeouts_;
  if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0) {
    SetDeadline(op,
                std::uint64_t{t.WriteTotalTimeoutMultiplier} * count + t.WriteTotalTimeoutConstant,
                Clock::now());
  }
  ops_.Start(std::move(op));
  Wake();
  return ERROR_IO_PENDING;
}

DWORD TermiosDevice::WaitEvent(DWORD* mask, OVERLAPPED& record) {
  std::lock_guard guard(lock_);
  if (closed_) {
    return ERROR_INVALID_HANDLE;
  }
  if (mask_ == 0 || mask == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  if (events_ != 0) {
    *mask = events_;
    events_ = 0;
    FinishRecord(record, record.hEvent, ERROR_SUCCESS, 0);
    return ERROR_SUCCESS;
  }
  PendingOp op;
  op.kind = OpKind::Event;
  op.record = &record;
  op.event = record.hEvent;
  op.eventMask = mask;
  ops_.Start(std::move(op));
  return ERROR_IO_PENDING;
}

DWORD TermiosDevice::Result(OVERLAPPED& record, bool wait, DWORD& bytes) {
  std::unique_lock guard(lock_);
  return ops_.Await(guard, record, wait, bytes, closed_);
}

void TermiosDevice::Serve() {
  pthread_setname_np(pthread_self(), "tavkel-serial");
  for (;;) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {-1, 0, 0}};
    int timeoutMs;
    {
      std::lock_guard guard(lock_);
      if (closed_) {
        return;
      }
      // The tty joins the set only while an operation waits on it: a hung-up tty reports POLLHUP
      // whatever is asked, and must not keep an idle device awake.
      const short events = static_cast<short>((ops_.Any(OpKind::Read) ? POLLIN : 0) |
                                              (ops_.Any(OpKind::Write) ? POLLOUT : 0));
      if (events != 0) {
        fds[1] = {fd_, events, 0};
      }
      timeoutMs = NextTimeoutLocked(Clock::now());
    }
    auto polled = sys::Poll(fds, 2, timeoutMs);
    std::lock_guard guard(lock_);
    if (closed_) {
      return;
    }
    if (!polled.ok()) {
      if (polled.error == EINTR) {
        continue;  // the time-outs are recomputed on the next pass
      }
      const DWORD error = ErrorFromErrno(polled.error);
      ops_.FinishAll(OpKind::Read, error);
      ops_.FinishAll(OpKind::Write, error);
      continue;
    }
    if (fds[0].revents != 0) {
      // Only resets the counter; EAGAIN means nothing was left to reset.
      std::uint64_t count;
      (void)sys::Read(wakeFd_, &count, sizeof count);
    }
    const auto now = Clock::now();
    ServeReadsLocked(fds[1].fd < 0 ? 0 : fds[1].revents, now);
    ServeWritesLocked(fds[1].fd < 0 ? 0 : fds[1].revents, now);
  }
}

void TermiosDevice::ServeReadsLocked(short revents, Clock::time_point now) {
  if (revents & POLLNVAL) {
    ops_.FinishAll(OpKind::Read, ERROR_INVALID_HANDLE);
    return;
  }
  bool ready = (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  while (ops_.Any(OpKind::Read)) {
    PendingOp& op = ops_.Of(OpKind::Read).front();
    if (ready && op.done < op.size) {
      auto got = sys::Read(fd_, op.readBuffer + op.done, op.size - op.done);
      if (got.ok() && got.value > 0) {
        op.done += static_cast<DWORD>(got.value);
        op.lastByte = now;
        NoteLineErrorsLocked();
      } else if (!got.ok() && got.error != EAGAIN && got.error != EINTR) {
        ops_.FinishFront(OpKind::Read, ErrorFromErrno(got.error));  // EIO: the far end is gone
        continue;
      } else if (got.ok() && (revents & POLLHUP)) {
        ops_.FinishFront(OpKind::Read, ErrorFromErrno(EPIPE));  // hung up, nothing left to read
        continue;
      } else {
        ready = false;
      }
    }
    if (op.done == op.size || Expired(op, now)) {
      ops_.FinishFront(OpKind::Read, ERROR_SUCCESS);
      continue;
    }
    break;
  }
}

void TermiosDevice::ServeWritesLocked(short revents, Clock::time_point now) {
  if (revents & POLLNVAL) {
    ops_.FinishAll(OpKind::Write, ERROR_INVALID_HANDLE);
    return;
  }
  bool ready = (revents & (POLLOUT | POLLHUP | POLLERR)) != 0;
  while (ops_.Any(OpKind::Write)) {
    PendingOp& op = ops_.Of(OpKind::Write).front();
    if (ready && op.done < op.size) {
      auto put = sys::Write(fd_, op.writeData.data() + op.done, op.size - op.done);
      if (put.ok()) {
        op.done += static_cast<DWORD>(put.value);
        ready = put.value > 0;
      } else if (put.error != EAGAIN && put.error != EINTR) {
        ops_.FinishFront(OpKind::Write, ErrorFromErrno(put.error));
        continue;
      } else {
        ready = false;
      }
    }
    if (op.done == op.size || Expired(op, now)) {
      ops_.FinishFront(OpKind::Write, ERROR_SUCCESS);  // a time-out ends a write after part of it
      continue;
    }
    break;
  }
}

int TermiosDevice::NextTimeoutLocked(Clock::time_point now) {
  bool any = false;
  Clock::time_point next{};
  auto consider = [&](Clock::time_point at) {
    if (!any || at < next) {
      next = at;
      any = true;
    }
  };
  for (OpKind kind : {OpKind::Read, OpKind::Write}) {
    if (!ops_.Any(kind)) {
      continue;
    }
    const PendingOp& op = ops_.Of(kind).front();
    if (op.hasDeadline) {
      consider(op.deadline);
    }
    if (op.interval.count() > 0 && op.done > 0) {
      consider(op.lastByte + op.interval);
    }
  }
  if (!any) {
    return -1;
  }
  if (next <= now) {
    return 0;
  }
  // Rounded up: waking early would only cost another pass, waking late is what time-outs allow.
  const auto wait = std::chrono::ceil<milliseconds>(next - now).count();
  return static_cast<int>(std::min<long long>(wait, 1 << 30));
}

void TermiosDevice::NoteLineErrorsLocked() {
  if (!haveCounters_) {
    return;
  }
  serial_icounter_struct now{};
  if (!sys::Ioctl(fd_, TIOCGICOUNT, &now).ok()) {
    return;
  }
  DWORD errors = 0;
  if (now.frame != counters_.frame) {
    errors |= CE_FRAME;
  }
  if (now.parity != counters_.parity) {
    errors |= CE_RXPARITY;
  }
  if (now.overrun != counters_.overrun) {
    errors |= CE_OVERRUN;
  }
  if (now.buf_overrun != counters_.buf_overrun) {
    errors |= CE_RXOVER;
  }
  if (now.brk != counters_.brk) {
    errors |= CE_BREAK;
  }
  counters_ = now;
  errors_ |= errors;
  DWORD events = 0;
  if (errors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER)) {
    events |= EV_ERR;
  }
  if (errors & CE_BREAK) {
    events |= EV_BREAK;
  }
  RaiseEventsLocked(events);
}

void TermiosDevice::RaiseEventsLocked(DWORD events) {
  events &= mask_;
  if (events == 0) {
    return;
  }
  events |= events_;
  events_ = 0;
  if (ops_.Any(OpKind::Event)) {
    ops_.FinishFront(OpKind::Event, ERROR_SUCCESS, events);
  } else {
    events_ = events;
  }
}

}  // namespace platform
