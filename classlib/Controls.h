// Controls: components shown in a form, each wrapping one Qt widget. A control knows its owner
// (through TComponent) and its parent control, whose client area its bounds are relative to.
#pragma once

#include <string>
#include <vector>

#include "classlib/Object.h"

class QWidget;

namespace classlib {

class TForm;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public TComponent {
 public:
  // Leaves the parent's list and frees the widget (children still alive lose their parent).
  ~TControl() override;

  TControl* Parent() const { return parent_; }
  // Moves the widget into Parent's client area, keeping the bounds; the control goes last in the
  // parent's Tab order.
  void SetParent(TControl* Parent);
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Control(int Index) const { return controls_.at(Index); }
  // The form this control is shown in (itself for a form), or null.
  TForm* ParentForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int Value) { SetBounds(Value, top_, width_, height_); }
  void SetTop(int Value) { SetBounds(left_, Value, width_, height_); }
  void SetWidth(int Value) { SetBounds(left_, top_, Value, height_); }
  void SetHeight(int Value) { SetBounds(left_, top_, width_, Value); }
  virtual void SetBounds(int Left, int Top, int Width, int Height);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign Align);

  // The control's own flag; it shows only while its parents show too.
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool Visible);
  // The control's own flag, like Visible.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Enabled);

  // The hint shows as a tooltip while ShowHint is set.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool Show);

  // Position among the parent's controls in the Tab order; lower first, ties in creation order.
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int Order) { tabOrder_ = Order; }
  // Whether Tab stops at this control.
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool Stop) { tabStop_ = Stop; }

  // Visible and enabled, its parents too.
  bool CanFocus() const;
  bool Focused() const;
  void SetFocus();

  // For the class library and window tests.
  QWidget* Widget() const { return widget_; }
  // Lays out the aligned children; runs whenever the widget is resized.
  void Realign();

 protected:
  // Takes Widget over; TabStop says whether the control takes focus from Tab.
  TControl(TComponent* Owner, QWidget* Widget, bool TabStop);

  // The part of the widget where aligned children go, as insets from its edges.
  virtual void ClientInsets(int& Left, int& Top, int& Right, int& Bottom) const;
  void ApplyBounds();

 private:
  QWidget* widget_;
  TControl* parent_ = nullptr;
  std::vector<TControl*> controls_;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  std::string hint_;
  bool showHint_ = false;
  int tabOrder_ = 0;
  bool tabStop_;

  friend class TForm;
};

// A text on the form; takes no focus. While AutoSize is set (the default) and the label is not
// aligned, its width follows its caption, so that no text is cut off.
class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* Owner);
  // The bytes last set, whatever the label shows for them.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Caption);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool AutoSize);
  // While set, the caption is a file name in the file system's bytes and shows as a file manager
  // shows that name; else each byte shows as its Latin-1 character.
  bool ShowsFileName() const { return showsFileName_; }
  void SetShowsFileName(bool Shows);

 private:
  void ShowCaption();
  std::string caption_;
  bool autoSize_ = true;
  bool showsFileName_ = false;
};

// A framed, captioned container; aligned children fill the inside of the frame as the style in use
// draws it, below the caption.
class TGroupBox : public TControl {
 public:
  explicit TGroupBox(TComponent* Owner);
  std::string Caption() const;
  void SetCaption(const std::string& Caption);

 protected:
  void ClientInsets(int& Left, int& Top, int& Right, int& Bottom) const override;
};

}  // namespace classlib
