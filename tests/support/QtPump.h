// A bounded pump of the Qt event loop, for window tests and for benchmarks that drive windows.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace qtpump {

// Handles events until Done holds; false when TimeoutMs passed first. Waits in the event loop
// (woken by each event, and by a timer at the deadline), never sleeps.
inline bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(TimeoutMs);
  while (!Done()) {
    if (clock.elapsed() >= TimeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace qtpump
