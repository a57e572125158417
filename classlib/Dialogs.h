// Message boxes and file dialogs behind one service, so that tests can answer them from a script:
// the application sends every box and every file dialog through its current TDialogService.
#pragma once

#include <optional>
#include <string>

#include "classlib/Object.h"
#include "platform/Types.h"

// Message box flags and answers, with the values the calls are known by.
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_YESNO = 0x04;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

namespace classlib {

class TForm;

enum class TFileDialogKind { Open, Save };

struct TFileDialogRequest {
  TFileDialogKind Kind = TFileDialogKind::Open;
  TForm* Owner = nullptr;
  // Entries "shown|pattern", joined by "|": "*.mdb|*.mdb" is one entry.
  std::string Filter;
  // File names, in the file system's bytes.
  std::string InitialDir;  // empty: the dialog's own choice
  std::string FileName;    // proposed name
};

class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // Shows a modal box (a nested event loop runs meanwhile) and returns IDOK, IDYES or IDNO.
  virtual int MessageBox(TForm* Owner, const std::string& Text, const std::string& Caption,
                         UINT Flags) = 0;
  // Shows a modal file dialog; returns the chosen full path in the file system's bytes, or nothing
  // when cancelled.
  virtual std::optional<std::string> FileName(const TFileDialogRequest& Request) = 0;
};

// The service over Qt's message boxes and file dialogs.
class TQtDialogs final : public TDialogService {
 public:
  int MessageBox(TForm* Owner, const std::string& Text, const std::string& Caption,
                 UINT Flags) override;
  std::optional<std::string> FileName(const TFileDialogRequest& Request) override;
};

// A file dialog component: Execute shows it through the application's service, owned by the form
// that owns the component, and on success leaves the chosen path in FileName. InitialDir and
// FileName are in the file system's bytes.
class TFileDialog : public TComponent {
 public:
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& Filter) { filter_ = Filter; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& Dir) { initialDir_ = Dir; }
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& Name) { fileName_ = Name; }

  // True when the user chose a file.
  bool Execute();

 protected:
  TFileDialog(TComponent* Owner, TFileDialogKind Kind) : TComponent(Owner), kind_(Kind) {}

 private:
  TFileDialogKind kind_;
  std::string filter_;
  std::string initialDir_;
  std::string fileName_;
};

// The open dialog takes only a file that is there and refuses any other name inside itself; the
// save dialog takes new names too. Neither asks before an existing name is taken or adds an
// extension of its own.
class TOpenDialog : public TFileDialog {
 public:
  explicit TOpenDialog(TComponent* Owner) : TFileDialog(Owner, TFileDialogKind::Open) {}
};

class TSaveDialog : public TFileDialog {
 public:
  explicit TSaveDialog(TComponent* Owner) : TFileDialog(Owner, TFileDialogKind::Save) {}
};

}  // namespace classlib
