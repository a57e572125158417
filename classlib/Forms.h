// Forms: top-level windows with their controls, built from window descriptions, shown plainly or
// modally (a nested event loop runs while a modal form shows).
#pragma once

#include <any>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "classlib/Controls.h"
#include "classlib/Events.h"
#include "classlib/Exception.h"

class QEventLoop;

namespace classlib {

class TClassRegistry;

enum TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter };
enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// Bits of BorderIcons.
enum TBorderIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

class TForm : public TControl {
 public:
  explicit TForm(TComponent* Owner);
  ~TForm() override;

  std::string Caption() const;
  void SetCaption(const std::string& Caption);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition Position) { position_ = Position; }
  int BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(int Icons);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Style);
  void SetFontName(const std::string& Name);
  // The character height in pixels, of either sign (descriptions store it negative).
  void SetFontHeight(int Height);

  // Left and Top place the frame; Width and Height are the outer size, frame included.
  void SetBounds(int Left, int Top, int Width, int Height) override;
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientWidth(int Width);
  void SetClientHeight(int Height);

  // Fired under the exception guard.
  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  // Action starts as caHide; caNone or an exception leaving the handler keeps the form open.
  TCloseEvent OnClose;

  void Show();
  void Hide();
  // Asks OnClose. The main form's close ends the application's loop; a modal form's ends its
  // modal showing with mrCancel.
  void Close();
  void SetVisible(bool Visible) override;

  // Shows the form modally (the other windows are disabled) and runs a nested event loop until
  // the form is hidden or a modal result is set; returns the modal result.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int Result);

  // Handlers that the window description binds event properties to, by name.
  template <class E>
  void RegisterHandler(const std::string& Name, E Handler) {
    handlers_[Name] = std::move(Handler);
  }
  const std::any* FindHandler(const std::string& Name) const;

  // Builds the components of Description (owned by this form, parents from the nesting) with
  // the application's class registry, then runs Wire (where the form looks its fields up), then
  // fires OnCreate. Errors in the description raise EReadError.
  void Load(std::string_view Description, const std::function<void()>& Wire = {});
  void Load(std::string_view Description, const TClassRegistry& Classes,
            const std::function<void()>& Wire = {});

  // The owned component Name of class T; raises when it is missing or of another class.
  template <class T>
  T* Field(const std::string& Name) const {
    T* field = dynamic_cast<T*>(FindComponent(Name));
    if (field == nullptr) {
      throw Exception("Form " + this->Name() + " has no component " + Name + " of the class asked");
    }
    return field;
  }

  // Moves the focus to the next (or previous) control of the Tab order that can take it: the
  // controls in TabOrder order, a container's controls in place of the container.
  void SelectNext(bool Forward);

 private:
  static QWidget* NewWidget(TForm* Form);
  void ApplyWindowFlags();
  void CloseModal();
  friend class FormWidget;

  TPosition position_ = poDesigned;
  int borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TBorderStyle borderStyle_ = bsSizeable;
  int modalResult_ = mrNone;
  QEventLoop* modalLoop_ = nullptr;
  std::map<std::string, std::any> handlers_;
};

}  // namespace classlib
