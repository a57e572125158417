// Standard controls: edit box, check box, combo box.
#pragma once

#include <string>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Events.h"

namespace classlib {

// A one-line edit box. Each typed character goes to OnKeyPress before the box acts on it, each
// character an input method commits too; texts that arrive otherwise (context-menu paste,
// Shift+Insert, SetText) pass no handler.
class TEdit : public TControl {
 public:
  explicit TEdit(TComponent* Owner);

  std::string Text() const;
  // Fires nothing.
  void SetText(const std::string& Text);
  // 0: no limit.
  int MaxLength() const;
  void SetMaxLength(int Length);
  bool ReadOnly() const;
  void SetReadOnly(bool ReadOnly);
  void SelectAll();

  TKeyPressEvent OnKeyPress;
  // Fires when the focus moves to another control of the window (not when the window itself
  // loses the focus), before that control acts on the click that moved it.
  TNotifyEvent OnExit;

 private:
  static QWidget* NewWidget(TEdit* Edit);
  friend class EditWidget;
};

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TComponent* Owner);
  std::string Caption() const;
  void SetCaption(const std::string& Caption);
  bool Checked() const;
  // Fires nothing.
  void SetChecked(bool Checked);
};

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox;

// The entries of a combo box, in their order (never sorted).
class TComboItems {
 public:
  explicit TComboItems(TComboBox& Combo) : combo_(Combo) {}
  int Count() const;
  std::string operator[](int Index) const;
  // Appends; the selection stays as it was (none stays none).
  void Add(const std::string& Item);
  // Empties the list; the selection goes with it.
  void Clear();
  void Assign(const std::vector<std::string>& Items);

 private:
  TComboBox& combo_;
};

// A combo box: a drop-down list (only entries can be chosen) or editable (any text).
class TComboBox : public TControl {
 public:
  explicit TComboBox(TComponent* Owner);

  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle Style);
  TComboItems Items() { return TComboItems(*this); }
  // -1: no entry selected. Editable: the entry whose text the box shows, else -1.
  int ItemIndex() const;
  // Out of range selects none.
  void SetItemIndex(int Index);
  // The selected entry's text (empty when none), or the typed text of an editable box.
  std::string Text() const;
  // Editable: shows Text; drop-down list: selects the entry of that text, or none.
  void SetText(const std::string& Text);

 private:
  TComboBoxStyle style_ = csDropDown;
  friend class TComboItems;
};

}  // namespace classlib
