// The class library's classes as window descriptions name them, with their properties.
#include "classlib/Buttons.h"
#include "classlib/ClassRegistry.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"
#include "classlib/SysUtils.h"

namespace classlib {

namespace {

template <class C>
void IntegerProperty(TClassInfo& info, const char* name, void (C::*set)(int)) {
  info.Property<C>(name, [set](C& target, const TValue& value, const TReadContext&) {
    (target.*set)(AsInteger(value));
  });
}

template <class C>
void StringProperty(TClassInfo& info, const char* name, void (C::*set)(const std::string&)) {
  info.Property<C>(name, [set](C& target, const TValue& value, const TReadContext&) {
    (target.*set)(AsString(value));
  });
}

template <class C>
void BooleanProperty(TClassInfo& info, const char* name, void (C::*set)(bool)) {
  info.Property<C>(name, [set](C& target, const TValue& value, const TReadContext&) {
    (target.*set)(AsBoolean(value));
  });
}

void RegisterControls(TClassRegistry& classes) {
  TClassInfo& control = classes.Register("TControl", "TComponent", nullptr);
  IntegerProperty<TControl>(control, "Left", &TControl::SetLeft);
  IntegerProperty<TControl>(control, "Top", &TControl::SetTop);
  IntegerProperty<TControl>(control, "Width", &TControl::SetWidth);
  IntegerProperty<TControl>(control, "Height", &TControl::SetHeight);
  IntegerProperty<TControl>(control, "TabOrder", &TControl::SetTabOrder);
  BooleanProperty<TControl>(control, "TabStop", &TControl::SetTabStop);
  BooleanProperty<TControl>(control, "Visible", &TControl::SetVisible);
  BooleanProperty<TControl>(control, "Enabled", &TControl::SetEnabled);
  BooleanProperty<TControl>(control, "ShowHint", &TControl::SetShowHint);
  StringProperty<TControl>(control, "Hint", &TControl::SetHint);
  control.Property<TControl>("Align",
                             [](TControl& target, const TValue& value, const TReadContext&) {
                               target.SetAlign(AsEnum<TAlign>(value, {{"alNone", alNone},
                                                                      {"alTop", alTop},
                                                                      {"alBottom", alBottom},
                                                                      {"alLeft", alLeft},
                                                                      {"alRight", alRight},
                                                                      {"alClient", alClient}}));
                             });

  TClassInfo& label = classes.Register<TLabel>("TLabel", "TControl");
  StringProperty<TLabel>(label, "Caption", &TLabel::SetCaption);
  BooleanProperty<TLabel>(label, "AutoSize", &TLabel::SetAutoSize);
  StringProperty<TGroupBox>(classes.Register<TGroupBox>("TGroupBox", "TControl"), "Caption",
                            &TGroupBox::SetCaption);

  TClassInfo& edit = classes.Register<TEdit>("TEdit", "TControl");
  StringProperty<TEdit>(edit, "Text", &TEdit::SetText);
  IntegerProperty<TEdit>(edit, "MaxLength", &TEdit::SetMaxLength);
  BooleanProperty<TEdit>(edit, "ReadOnly", &TEdit::SetReadOnly);
  edit.Event("OnKeyPress", &TEdit::OnKeyPress).Event("OnExit", &TEdit::OnExit);

  TClassInfo& check = classes.Register<TCheckBox>("TCheckBox", "TControl");
  StringProperty<TCheckBox>(check, "Caption", &TCheckBox::SetCaption);
  BooleanProperty<TCheckBox>(check, "Checked", &TCheckBox::SetChecked);

  TClassInfo& combo = classes.Register<TComboBox>("TComboBox", "TControl");
  combo.Property<TComboBox>(
      "Style", [](TComboBox& target, const TValue& value, const TReadContext&) {
        target.SetStyle(AsEnum<TComboBoxStyle>(
            value, {{"csDropDown", csDropDown}, {"csDropDownList", csDropDownList}}));
      });
  combo.Property<TComboBox>("Items",
                            [](TComboBox& target, const TValue& value, const TReadContext&) {
                              target.Items().Assign(AsList(value));
                            });
  IntegerProperty<TComboBox>(combo, "ItemIndex", &TComboBox::SetItemIndex);
  StringProperty<TComboBox>(combo, "Text", &TComboBox::SetText);

  TClassInfo& bitBtn = classes.Register<TBitBtn>("TBitBtn", "TControl");
  StringProperty<TBitBtn>(bitBtn, "Caption", &TBitBtn::SetCaption);
  bitBtn.Event("OnClick", &TBitBtn::OnClick);

  TClassInfo& speed = classes.Register<TSpeedButton>("TSpeedButton", "TControl");
  StringProperty<TSpeedButton>(speed, "Caption", &TSpeedButton::SetCaption);
  StringProperty<TSpeedButton>(speed, "Glyph", &TSpeedButton::SetGlyph);
  speed.Event("OnClick", &TSpeedButton::OnClick);

  TClassInfo& grid = classes.Register<TStringGrid>("TStringGrid", "TControl");
  IntegerProperty<TStringGrid>(grid, "ColCount", &TStringGrid::SetColCount);
  IntegerProperty<TStringGrid>(grid, "RowCount", &TStringGrid::SetRowCount);
  IntegerProperty<TStringGrid>(grid, "FixedCols", &TStringGrid::SetFixedCols);
  IntegerProperty<TStringGrid>(grid, "FixedRows", &TStringGrid::SetFixedRows);
  IntegerProperty<TStringGrid>(grid, "DefaultColWidth", &TStringGrid::SetDefaultColWidth);
  IntegerProperty<TStringGrid>(grid, "DefaultRowHeight", &TStringGrid::SetDefaultRowHeight);
  grid.Property<TStringGrid>("ColWidths",
                             [](TStringGrid& target, const TValue& value, const TReadContext&) {
                               const std::vector<std::string>& widths = AsList(value);
                               for (std::size_t col = 0; col < widths.size(); ++col) {
                                 target.SetColWidth(static_cast<int>(col), StrToInt(widths[col]));
                               }
                             });
  grid.Event("OnKeyPress", &TStringGrid::OnKeyPress)
      .Event("OnSetEditText", &TStringGrid::OnSetEditText);

  TClassInfo& status = classes.Register<TStatusBar>("TStatusBar", "TControl");
  BooleanProperty<TStatusBar>(status, "SimplePanel", &TStatusBar::SetSimplePanel);
  StringProperty<TStatusBar>(status, "SimpleText", &TStatusBar::SetSimpleText);
  status.Property<TStatusBar>("Panels",
                              [](TStatusBar& target, const TValue& value, const TReadContext&) {
                                target.SetPanels(AsList(value));
                              });
}

void RegisterForm(TClassRegistry& classes) {
  TClassInfo& form = classes.Register("TForm", "TControl", nullptr);
  StringProperty<TForm>(form, "Caption", &TForm::SetCaption);
  IntegerProperty<TForm>(form, "ClientWidth", &TForm::SetClientWidth);
  IntegerProperty<TForm>(form, "ClientHeight", &TForm::SetClientHeight);
  StringProperty<TForm>(form, "Font.Name", &TForm::SetFontName);
  IntegerProperty<TForm>(form, "Font.Height", &TForm::SetFontHeight);
  form.Property<TForm>("Position", [](TForm& target, const TValue& value, const TReadContext&) {
    target.SetPosition(AsEnum<TPosition>(value, {{"poDesigned", poDesigned},
                                                 {"poDefault", poDefault},
                                                 {"poScreenCenter", poScreenCenter},
                                                 {"poDesktopCenter", poDesktopCenter},
                                                 {"poMainFormCenter", poMainFormCenter}}));
  });
  form.Property<TForm>("BorderStyle", [](TForm& target, const TValue& value, const TReadContext&) {
    target.SetBorderStyle(AsEnum<TBorderStyle>(value, {{"bsNone", bsNone},
                                                       {"bsSingle", bsSingle},
                                                       {"bsSizeable", bsSizeable},
                                                       {"bsDialog", bsDialog},
                                                       {"bsToolWindow", bsToolWindow},
                                                       {"bsSizeToolWin", bsSizeToolWin}}));
  });
  form.Property<TForm>("BorderIcons", [](TForm& target, const TValue& value, const TReadContext&) {
    int icons = 0;
    for (const std::string& name : AsSet(value)) {
      TValue icon;
      icon.Kind = TValue::Ident;
      icon.Text = name;
      icons |= AsEnum<int>(icon, {{"biSystemMenu", biSystemMenu},
                                  {"biMinimize", biMinimize},
                                  {"biMaximize", biMaximize},
                                  {"biHelp", biHelp}});
    }
    target.SetBorderIcons(icons);
  });
  form.Event("OnCreate", &TForm::OnCreate)
      .Event("OnShow", &TForm::OnShow)
      .Event("OnClose", &TForm::OnClose);
}

void RegisterComponents(TClassRegistry& classes) {
  TClassInfo& timer = classes.Register<TTimer>("TTimer", "TComponent");
  IntegerProperty<TTimer>(timer, "Interval", &TTimer::SetInterval);
  BooleanProperty<TTimer>(timer, "Enabled", &TTimer::SetEnabled);
  timer.Property<TTimer>("OnTimer",
                         [](TTimer& target, const TValue& value, const TReadContext& context) {
                           target.SetOnTimer(context.Handler<TNotifyEvent>(value));
                         });

  TClassInfo& dialog = classes.Register("TFileDialog", "TComponent", nullptr);
  StringProperty<TFileDialog>(dialog, "Filter", &TFileDialog::SetFilter);
  StringProperty<TFileDialog>(dialog, "InitialDir", &TFileDialog::SetInitialDir);
  StringProperty<TFileDialog>(dialog, "FileName", &TFileDialog::SetFileName);
  classes.Register<TOpenDialog>("TOpenDialog", "TFileDialog");
  classes.Register<TSaveDialog>("TSaveDialog", "TFileDialog");
}

}  // namespace

void RegisterStandardClasses(TClassRegistry& Classes) {
  Classes.Register("TComponent", "", nullptr);
  RegisterControls(Classes);
  RegisterForm(Classes);
  RegisterComponents(Classes);
}

}  // namespace classlib
