// Modem-line events of a termios device. TIOCMIWAIT blocks without a time-out and closing the
// descriptor does not wake it; a signal delivered without SA_RESTART does, so the watcher thread
// is ended by signalling it until it has returned.
#include <pthread.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <csignal>

#include "Sys.h"
#include "TermiosDevice.h"

namespace platform {
namespace {

constexpr int wakeSignal = SIGURG;  // ignored by default, so a stray one harms nobody
constexpr DWORD modemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

void InstallWakeHandler() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the blocked ioctl returns EINTR
    return sigaction(wakeSignal, &action, nullptr) == 0;
  }();
  (void)installed;
}

// The driver's interrupt counters, or kept when it has none: rings are then told by level alone.
void ReadCounters(int fd, serial_icounter_struct& counters) {
  serial_icounter_struct now{};
  if (sys::Ioctl(fd, TIOCGICOUNT, &now).ok()) {
    counters = now;
  }
}

DWORD EventsOf(int before, int after, const serial_icounter_struct& was,
               const serial_icounter_struct& is) {
  const int changed = before ^ after;
  DWORD events = 0;
  if (changed & TIOCM_CTS) {
    events |= EV_CTS;
  }
  if (changed & TIOCM_DSR) {
    events |= EV_DSR;
  }
  if (changed & TIOCM_CD) {
    events |= EV_RLSD;
  }
  // The ring indicator is counted on its trailing edge; a level check would miss short rings.
  if (is.rng != was.rng || ((before & TIOCM_RNG) && !(after & TIOCM_RNG))) {
    events |= EV_RING;
  }
  return events;
}

}  // namespace

void TermiosDevice::StartModemWatchLocked() {
  if (!haveModem_ || modemWatching_ || (mask_ & modemEvents) == 0) {
    return;
  }
  InstallWakeHandler();
  modemWatching_ = true;
  modemDone_ = false;
  try {
    modem_ = std::thread([this] { WatchModem(); });
  } catch (const std::exception&) {
    modemWatching_ = false;
    modemDone_ = true;  // events of modem lines are then never reported
  }
}

void TermiosDevice::WatchModem() {
  pthread_setname_np(pthread_self(), "tavkel-modem");
  int lines = 0;
  serial_icounter_struct counters{};
  // Without the lines as they start, no change could be told from them.
  bool watching = sys::Ioctl(fd_, TIOCMGET, &lines).ok();
  ReadCounters(fd_, counters);
  while (watching) {
    {
      std::unique_lock guard(lock_);
      modemChanged_.wait(guard, [&] { return closed_ || (mask_ & modemEvents) != 0; });
      if (closed_) {
        break;
      }
    }
    auto waited = sys::Ioctl(fd_, TIOCMIWAIT,
                             reinterpret_cast<void*>(static_cast<unsigned long>(
                                 TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG)));
    std::lock_guard guard(lock_);
    if (closed_) {
      break;
    }
    watching = waited.ok() || waited.error == EINTR;
    int now = 0;
    if (!watching || !sys::Ioctl(fd_, TIOCMGET, &now).ok()) {
      continue;
    }
    serial_icounter_struct nowCounters = counters;
    ReadCounters(fd_, nowCounters);
    RaiseEventsLocked(EventsOf(lines, now, counters, nowCounters));
    lines = now;
    counters = nowCounters;
  }
  std::lock_guard guard(lock_);
  if (!watching) {
    haveModem_ = false;  // the driver cannot tell: event waits on modem lines stay pending
  }
  modemDone_ = true;
  modemChanged_.notify_all();
}

void TermiosDevice::StopModemWatch() {
  std::unique_lock guard(lock_);
  if (!modemWatching_) {
    return;
  }
  // A signal sent just before the watcher enters the ioctl is lost, so it is repeated until the
  // watcher has returned. This runs only while closing a port with modem lines.
  while (!modemDone_) {
    pthread_kill(modem_.native_handle(), wakeSignal);
    modemChanged_.wait_for(guard, std::chrono::milliseconds(5));
  }
  guard.unlock();
  modem_.join();
  modemWatching_ = false;
}

}  // namespace platform
