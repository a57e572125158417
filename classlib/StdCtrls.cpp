#include "classlib/StdCtrls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>

#include "classlib/Application.h"
#include "classlib/KeyPress.h"
#include "classlib/QtText.h"

namespace classlib {

class EditWidget : public QLineEdit {
 public:
  explicit EditWidget(TEdit* edit) : edit_(edit) { setValidator(new Latin1Validator(this)); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    std::unique_ptr<QKeyEvent> replacement;
    if (!OfferKeyPress(edit_->OnKeyPress, edit_, *event, replacement)) {
      event->accept();
      return;
    }
    QLineEdit::keyPressEvent(replacement ? replacement.get() : event);
  }
  void inputMethodEvent(QInputMethodEvent* event) override {
    RouteInputMethodEvent(
        edit_->OnKeyPress, *event, [this](QKeyEvent& key) { keyPressEvent(&key); },
        [this](QInputMethodEvent& whole) { QLineEdit::inputMethodEvent(&whole); });
  }
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    const bool toAnotherControl =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (toAnotherControl && edit_->OnExit) {
      Protect([this] { edit_->OnExit(edit_); });
    }
  }

 private:
  TEdit* edit_;
};

namespace {

QLineEdit* LineEdit(QWidget* widget) {
  return static_cast<QLineEdit*>(widget);
}
QCheckBox* CheckBox(QWidget* widget) {
  return static_cast<QCheckBox*>(widget);
}
QComboBox* Combo(QWidget* widget) {
  return static_cast<QComboBox*>(widget);
}

}  // namespace

QWidget* TEdit::NewWidget(TEdit* Edit) {
  return new EditWidget(Edit);
}

TEdit::TEdit(TComponent* Owner) : TControl(Owner, NewWidget(this), true) {
  Widget()->setFocusPolicy(Qt::StrongFocus);
}

std::string TEdit::Text() const {
  return FromQt(LineEdit(Widget())->text());
}
void TEdit::SetText(const std::string& Text) {
  LineEdit(Widget())->setText(ToQt(Text));
}

int TEdit::MaxLength() const {
  const int length = LineEdit(Widget())->maxLength();
  return length == 32767 ? 0 : length;
}

void TEdit::SetMaxLength(int Length) {
  LineEdit(Widget())->setMaxLength(Length <= 0 ? 32767 : Length);
}

bool TEdit::ReadOnly() const {
  return LineEdit(Widget())->isReadOnly();
}
void TEdit::SetReadOnly(bool ReadOnly) {
  LineEdit(Widget())->setReadOnly(ReadOnly);
}
void TEdit::SelectAll() {
  LineEdit(Widget())->selectAll();
}

TCheckBox::TCheckBox(TComponent* Owner) : TControl(Owner, new QCheckBox, true) {
  Widget()->setFocusPolicy(Qt::StrongFocus);
}

std::string TCheckBox::Caption() const {
  return FromQt(CheckBox(Widget())->text());
}
void TCheckBox::SetCaption(const std::string& Caption) {
  CheckBox(Widget())->setText(ToQt(Caption));
}
bool TCheckBox::Checked() const {
  return CheckBox(Widget())->isChecked();
}
void TCheckBox::SetChecked(bool Checked) {
  CheckBox(Widget())->setChecked(Checked);
}

int TComboItems::Count() const {
  return Combo(combo_.Widget())->count();
}

std::string TComboItems::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) {
    throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
  }
  return FromQt(Combo(combo_.Widget())->itemText(Index));
}

void TComboItems::Add(const std::string& Item) {
  QComboBox* box = Combo(combo_.Widget());
  const int selected = box->currentIndex();
  const QString text = box->currentText();
  box->addItem(ToQt(Item));
  // Qt selects the first entry added to an empty box.
  if (selected < 0) {
    box->setCurrentIndex(-1);
    if (box->isEditable()) {
      box->setEditText(text);
    }
  }
}

void TComboItems::Clear() {
  Combo(combo_.Widget())->clear();
}

void TComboItems::Assign(const std::vector<std::string>& Items) {
  Clear();
  for (const std::string& item : Items) {
    Add(item);
  }
}

TComboBox::TComboBox(TComponent* Owner) : TControl(Owner, new QComboBox, true) {
  QComboBox* box = Combo(Widget());
  box->setFocusPolicy(Qt::StrongFocus);
  SetStyle(csDropDown);
}

void TComboBox::SetStyle(TComboBoxStyle Style) {
  style_ = Style;
  QComboBox* box = Combo(Widget());
  box->setEditable(Style == csDropDown);
  if (box->isEditable()) {
    box->setInsertPolicy(QComboBox::NoInsert);
    box->lineEdit()->setValidator(new Latin1Validator(box->lineEdit()));
  }
}

int TComboBox::ItemIndex() const {
  const QComboBox* box = Combo(Widget());
  const int current = box->currentIndex();
  if (!box->isEditable()) {
    return current;
  }
  if (current >= 0 && box->itemText(current) == box->currentText()) {
    return current;
  }
  return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TComboBox::SetItemIndex(int Index) {
  QComboBox* box = Combo(Widget());
  box->setCurrentIndex(Index >= 0 && Index < box->count() ? Index : -1);
  if (box->isEditable() && box->currentIndex() < 0) {
    box->setEditText(QString());
  }
}

std::string TComboBox::Text() const {
  return FromQt(Combo(Widget())->currentText());
}

void TComboBox::SetText(const std::string& Text) {
  QComboBox* box = Combo(Widget());
  if (box->isEditable()) {
    box->setEditText(ToQt(Text));
  } else {
    box->setCurrentIndex(box->findText(ToQt(Text), Qt::MatchExactly | Qt::MatchCaseSensitive));
  }
}

}  // namespace classlib
