#include "classlib/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <algorithm>

#include "classlib/Forms.h"
#include "classlib/QtFileName.h"
#include "classlib/QtText.h"

namespace classlib {

namespace {

// Lays out a control's aligned children whenever its widget changes size or the part of it that
// holds them (a group box's frame follows its font, caption and style).
class ResizeWatcher : public QObject {
 public:
  ResizeWatcher(TControl* control, QWidget* widget) : QObject(widget), control_(control) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize || event->type() == QEvent::ContentsRectChange) {
      control_->Realign();
    }
    return false;
  }

 private:
  TControl* control_;
};

// Qt's group box, with the style's description of it at hand.
class GroupBoxWidget : public QGroupBox {
 public:
  QStyleOptionGroupBox Option() const {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    return option;
  }
};

// Where the style paints a group box's frame (the frame alone, without the caption): the first
// painted row down the middle column and the first painted column across the frame's middle row;
// -1 where nothing is painted.
QPoint PaintedFrameEdge(const GroupBoxWidget& box) {
  QPoint edge(-1, -1);
  if (box.width() <= 0 || box.height() <= 0) {
    return edge;
  }
  const QStyleOptionGroupBox group = box.Option();
  QStyleOptionFrame frame;
  frame.QStyleOption::operator=(group);
  frame.features = group.features;
  frame.lineWidth = group.lineWidth;
  frame.midLineWidth = group.midLineWidth;
  frame.rect =
      box.style()->subControlRect(QStyle::CC_GroupBox, &group, QStyle::SC_GroupBoxFrame, &box);
  QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    box.style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &painter, &box);
  }
  for (int y = 0; y < image.height() && edge.y() < 0; ++y) {
    if (qAlpha(image.pixel(image.width() / 2, y)) != 0) {
      edge.setY(y);
    }
  }
  const int middle = (std::max(edge.y(), 0) + image.height()) / 2;
  for (int x = 0; x < image.width() && edge.x() < 0; ++x) {
    if (qAlpha(image.pixel(x, middle)) != 0) {
      edge.setX(x);
    }
  }
  return edge;
}

}  // namespace

TControl::TControl(TComponent* Owner, QWidget* Widget, bool TabStop)
    : TComponent(Owner), widget_(Widget), tabStop_(TabStop) {
  QObject::connect(widget_, &QObject::destroyed, widget_, [this] { widget_ = nullptr; });
  new ResizeWatcher(this, widget_);
  left_ = widget_->x();
  top_ = widget_->y();
  width_ = widget_->width();
  height_ = widget_->height();
}

TControl::~TControl() {
  for (TControl* child : controls_) {
    child->parent_ = nullptr;
  }
  if (parent_ != nullptr) {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  if (widget_ != nullptr) {
    QWidget* widget = widget_;
    widget_ = nullptr;
    delete widget;
  }
}

void TControl::SetParent(TControl* Parent) {
  if (Parent == parent_) {
    return;
  }
  if (parent_ != nullptr) {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  parent_ = Parent;
  if (widget_ == nullptr) {
    return;
  }
  if (parent_ != nullptr) {
    tabOrder_ = static_cast<int>(parent_->controls_.size());
    parent_->controls_.push_back(this);
    widget_->setParent(parent_->widget_);
  } else {
    widget_->setParent(nullptr);
  }
  ApplyBounds();
  widget_->setVisible(visible_);
  if (parent_ != nullptr) {
    parent_->Realign();
  }
}

TForm* TControl::ParentForm() const {
  const TControl* control = this;
  while (control->parent_ != nullptr) {
    control = control->parent_;
  }
  return dynamic_cast<TForm*>(const_cast<TControl*>(control));
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
  left_ = Left;
  top_ = Top;
  width_ = Width;
  height_ = Height;
  ApplyBounds();
  if (parent_ != nullptr && align_ != alNone) {
    parent_->Realign();
  }
}

void TControl::ApplyBounds() {
  if (widget_ != nullptr) {
    widget_->setGeometry(left_, top_, std::max(width_, 0), std::max(height_, 0));
  }
}

void TControl::SetAlign(TAlign Align) {
  align_ = Align;
  if (parent_ != nullptr) {
    parent_->Realign();
  }
}

void TControl::ClientInsets(int& Left, int& Top, int& Right, int& Bottom) const {
  Left = Top = Right = Bottom = 0;
}

void TControl::Realign() {
  if (widget_ == nullptr) {
    return;
  }
  int insetLeft, insetTop, insetRight, insetBottom;
  ClientInsets(insetLeft, insetTop, insetRight, insetBottom);
  int left = insetLeft;
  int top = insetTop;
  int right = widget_->width() - insetRight;
  int bottom = widget_->height() - insetBottom;
  // Edges first, in the order top, bottom, left, right; the client-aligned take what is left.
  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* child : controls_) {
      if (child->align_ != pass || !child->visible_) {
        continue;
      }
      switch (pass) {
        case alTop:
          child->left_ = left, child->top_ = top, child->width_ = right - left;
          top += child->height_;
          break;
        case alBottom:
          bottom -= child->height_;
          child->left_ = left, child->top_ = bottom, child->width_ = right - left;
          break;
        case alLeft:
          child->left_ = left, child->top_ = top, child->height_ = bottom - top;
          left += child->width_;
          break;
        case alRight:
          right -= child->width_;
          child->left_ = right, child->top_ = top, child->height_ = bottom - top;
          break;
        default:
          child->left_ = left, child->top_ = top;
          child->width_ = right - left, child->height_ = bottom - top;
          break;
      }
      child->ApplyBounds();
    }
  }
}

void TControl::SetVisible(bool Visible) {
  visible_ = Visible;
  if (widget_ != nullptr) {
    widget_->setVisible(Visible);
  }
  if (parent_ != nullptr && align_ != alNone) {
    parent_->Realign();
  }
}

void TControl::SetEnabled(bool Enabled) {
  enabled_ = Enabled;
  if (widget_ != nullptr) {
    widget_->setEnabled(Enabled);
  }
}

void TControl::SetHint(const std::string& Hint) {
  hint_ = Hint;
  SetShowHint(showHint_);
}

void TControl::SetShowHint(bool Show) {
  showHint_ = Show;
  if (widget_ != nullptr) {
    widget_->setToolTip(Show ? ToQt(hint_) : QString());
  }
}

bool TControl::CanFocus() const {
  for (const TControl* control = this; control != nullptr; control = control->parent_) {
    if (!control->visible_ || control->widget_ == nullptr || !control->widget_->isEnabled()) {
      return false;
    }
  }
  return true;
}

bool TControl::Focused() const {
  QWidget* focus = QApplication::focusWidget();
  return widget_ != nullptr && focus != nullptr &&
         (focus == widget_ || widget_->isAncestorOf(focus));
}

void TControl::SetFocus() {
  if (widget_ != nullptr) {
    widget_->setFocus(Qt::OtherFocusReason);
  }
}

TLabel::TLabel(TComponent* Owner) : TControl(Owner, new QLabel, false) {
  static_cast<QLabel*>(Widget())->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::SetCaption(const std::string& Caption) {
  caption_ = Caption;
  ShowCaption();
}

void TLabel::SetAutoSize(bool AutoSize) {
  autoSize_ = AutoSize;
  ShowCaption();
}

void TLabel::SetShowsFileName(bool Shows) {
  showsFileName_ = Shows;
  ShowCaption();
}

void TLabel::ShowCaption() {
  auto* label = static_cast<QLabel*>(Widget());
  label->setTextFormat(Qt::PlainText);
  label->setText(showsFileName_ ? FileNameToQt(caption_) : ToQt(caption_));
  if (autoSize_ && Align() == alNone) {
    SetWidth(QFontMetrics(label->font()).horizontalAdvance(label->text()));
  }
}

TGroupBox::TGroupBox(TComponent* Owner) : TControl(Owner, new GroupBoxWidget, false) {}

std::string TGroupBox::Caption() const {
  return FromQt(static_cast<QGroupBox*>(Widget())->title());
}

void TGroupBox::SetCaption(const std::string& Caption) {
  static_cast<QGroupBox*>(Widget())->setTitle(ToQt(Caption));
}

void TGroupBox::ClientInsets(int& Left, int& Top, int& Right, int& Bottom) const {
  // Qt keeps the margins at the inside of the frame and caption as the style reckons them.
  const QMargins inside = Widget()->contentsMargins();
  Left = inside.left();
  Top = inside.top();
  Right = inside.right();
  Bottom = inside.bottom();
  // Some styles reckon the inside from the caption's height while they draw the frame lower
  // (Fusion, for captions smaller than its check marks): the inside keeps as far below the
  // frame's painted top edge as it keeps from its painted left edge.
  const QPoint edge = PaintedFrameEdge(*static_cast<const GroupBoxWidget*>(Widget()));
  if (edge.x() >= 0 && edge.y() >= 0) {
    Top = std::max(Top, edge.y() + Left - edge.x());
  }
}

}  // namespace classlib
