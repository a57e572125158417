// The timer component.
#pragma once

#include "classlib/Events.h"
#include "classlib/Object.h"

class QTimer;

namespace classlib {

// Fires OnTimer every Interval milliseconds while Enabled (and Interval is above 0 and a handler
// is assigned), on the user-interface thread, also inside nested loops of modal windows. Switching
// it on while it runs keeps its period; a new Interval starts a new period.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* Owner);
  ~TTimer() override;

  int Interval() const { return interval_; }
  void SetInterval(int Milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Enabled);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(TNotifyEvent Handler);

 private:
  void Update(bool restart);
  QTimer* timer_;
  int interval_ = 1000;
  bool enabled_ = true;
  TNotifyEvent onTimer_;
};

}  // namespace classlib
