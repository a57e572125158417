#include "classlib/ExtCtrls.h"

#include <QTimer>

#include "classlib/Application.h"

namespace classlib {

TTimer::TTimer(TComponent* Owner) : TComponent(Owner), timer_(new QTimer) {
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
    if (onTimer_) {
      Protect([this] { onTimer_(this); });
    }
  });
}

TTimer::~TTimer() {
  delete timer_;
}

void TTimer::SetInterval(int Milliseconds) {
  if (Milliseconds == interval_) {
    return;
  }
  interval_ = Milliseconds;
  Update(true);
}

void TTimer::SetEnabled(bool Enabled) {
  if (Enabled == enabled_) {
    return;
  }
  enabled_ = Enabled;
  Update(false);
}

void TTimer::SetOnTimer(TNotifyEvent Handler) {
  onTimer_ = std::move(Handler);
  Update(false);
}

void TTimer::Update(bool restart) {
  const bool run = enabled_ && interval_ > 0 && onTimer_;
  if (!run) {
    timer_->stop();
  } else if (restart || !timer_->isActive()) {
    timer_->start(interval_);
  }
}

}  // namespace classlib
