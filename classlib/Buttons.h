// Buttons: the push button and the picture button that takes no focus.
#pragma once

#include <string>

#include "classlib/Controls.h"
#include "classlib/Events.h"

namespace classlib {

// A push button. Clicking it takes the focus first, so the control that had it sees OnExit
// before OnClick fires.
class TBitBtn : public TControl {
 public:
  explicit TBitBtn(TComponent* Owner);
  std::string Caption() const;
  void SetCaption(const std::string& Caption);
  // Fires OnClick as a click would (when enabled).
  void Click();

  TNotifyEvent OnClick;
};

// A button with a 16 x 16 picture and a greyed second picture for the disabled state. It never
// takes the focus: clicking it leaves the focus (and OnExit) alone.
class TSpeedButton : public TControl {
 public:
  explicit TSpeedButton(TComponent* Owner);
  std::string Caption() const;
  void SetCaption(const std::string& Caption);
  // A built-in picture by name; "computer" is the one there is. Empty: no picture.
  const std::string& Glyph() const { return glyph_; }
  void SetGlyph(const std::string& Name);
  void Click();

  TNotifyEvent OnClick;

 private:
  std::string glyph_;
};

}  // namespace classlib
