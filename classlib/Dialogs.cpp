#include "classlib/Dialogs.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/QtFileName.h"

namespace classlib {

namespace {

QWidget* OwnerWidget(TForm* owner) {
  return owner != nullptr ? owner->Widget() : nullptr;
}

// "Shown|pattern|Shown|pattern" as Qt's "Shown (pattern);;...". Several patterns of one entry
// are separated by ";" in the filter and by blanks for Qt.
QString QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromLatin1(filter).split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    entries << parts[i] + " (" + patterns + ")";
  }
  return entries.join(";;");
}

// A message box. One that asks Yes or No is answered by those buttons alone: Escape and the title
// bar's close box leave the question open.
class MessageBoxWidget : public QMessageBox {
 public:
  MessageBoxWidget(QWidget* parent, bool buttonsOnly)
      : QMessageBox(parent), buttonsOnly_(buttonsOnly) {
    if (buttonsOnly_) {
      setWindowFlags((windowFlags() | Qt::CustomizeWindowHint) & ~Qt::WindowCloseButtonHint);
    }
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (buttonsOnly_ && event->matches(QKeySequence::Cancel)) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (buttonsOnly_) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }

 private:
  bool buttonsOnly_;
};

// Qt's file dialog, except that a name box holding '"' names the one file typed: Qt's own reads
// such a text as a list of quoted names and gives back a file named by a piece of it. Names
// without a quote, and the text that Qt writes itself for the files clicked in the list (until the
// user edits it), are left to Qt. An open dialog (Qt's ExistingFile mode) refuses a typed name that
// is not there as Qt refuses any other. Children are found by the object names that Qt's dialog
// gives them.
class FileDialogWidget final : public QFileDialog {
 public:
  explicit FileDialogWidget(QWidget* parent) : QFileDialog(parent) {
    // Before any child is looked up: under a platform theme with a native dialog (GTK's), Qt
    // builds its own widgets only once told not to use that one.
    setOption(DontUseNativeDialog);
    // Connected after Qt's own update of the Open button, so that this one has the last word.
    if (QLineEdit* field = NameField()) {
      connect(field, &QLineEdit::textChanged, this, [this] { UpdateOpenButton(); });
      connect(field, &QLineEdit::textEdited, this, [this] { qtsText_.clear(); });
    }
    // Connected after Qt's own, which writes the selection into the name box.
    if (auto* list = findChild<QAbstractItemView*>("listView");
        list != nullptr && list->selectionModel() != nullptr) {
      connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
              [this] { NoteQtsText(); });
    }
  }

  // The file chosen, once the dialog was accepted.
  QString Chosen() const { return typed_.isEmpty() ? selectedFiles().value(0) : typed_; }

 protected:
  void accept() override {
    typed_.clear();
    QLineEdit* field = NameField();
    const QString text = field != nullptr ? field->text() : QString();
    if (!text.contains('"') || text == qtsText_) {
      QFileDialog::accept();
      return;
    }
    const QString name = TypedName(text);
    const QFileInfo file(name);
    // A folder is entered, as Qt does with any folder typed.
    if (file.isDir()) {
      setDirectory(name);
      return;
    }
    if (fileMode() == ExistingFile && !file.exists()) {
      // Qt's own words for it.
      QMessageBox::warning(
          this, windowTitle(),
          QFileDialog::tr("%1\nFile not found.\nPlease verify the correct file name was given.")
              .arg(file.fileName()));
      return;
    }
    typed_ = name;
    QDialog::accept();
  }

 private:
  QLineEdit* NameField() const { return findChild<QLineEdit*>("fileNameEdit"); }

  // An open dialog's Open button takes a typed name with a quote when that name is there. Qt's
  // would ask whether its quoted pieces are.
  void UpdateOpenButton() {
    auto* buttons = findChild<QDialogButtonBox*>("buttonBox");
    QPushButton* open = buttons != nullptr ? buttons->button(QDialogButtonBox::Open) : nullptr;
    const QString text = NameField()->text();
    if (open != nullptr && fileMode() == ExistingFile && text.contains('"') && text != qtsText_) {
      open->setEnabled(QFileInfo::exists(TypedName(text)));
    }
  }

  // The typed text as a path: absolute as typed, else in the dialog's folder; as Qt takes it, a
  // leading "~/" stands for the home folder unless the dialog's folder holds the name as typed.
  QString TypedName(const QString& text) const {
    const QString inFolder = directory().absoluteFilePath(text);
    if (text.startsWith("~/") && !QFileInfo::exists(inFolder)) {
      return QDir::home().absoluteFilePath(text.mid(2));
    }
    return inFolder;
  }

  // Qt writes the selection into the name box only while the box has no focus: it also selects
  // the files that the pieces of a quoted text name as the user types, and the text typed is then
  // the user's own, though it reads as the selection's.
  void NoteQtsText() {
    const QLineEdit* field = NameField();
    if (field != nullptr && !field->hasFocus() && field->text() == SelectionText()) {
      qtsText_ = field->text();
    }
  }

  // What Qt writes into the name box for the files selected in the list: the one name, or each
  // name quoted when there are several. Folders are left out.
  QString SelectionText() const {
    auto* list = findChild<QAbstractItemView*>("listView");
    if (list == nullptr || list->selectionModel() == nullptr) {
      return {};
    }
    QStringList names;
    for (const QModelIndex& row : list->selectionModel()->selectedRows()) {
      if (!QFileInfo(row.data(QFileSystemModel::FilePathRole).toString()).isDir()) {
        names << row.data().toString();
      }
    }
    if (names.size() > 1) {
      for (QString& name : names) {
        name = '"' + name + '"';
      }
    }
    return names.join(' ');
  }

  QString typed_;    // the name typed with a quote that accepted the dialog; empty for Qt's choice
  QString qtsText_;  // what Qt last wrote into the name box for the selection, until the user edits
};

}  // namespace

int TQtDialogs::MessageBox(TForm* Owner, const std::string& Text, const std::string& Caption,
                           UINT Flags) {
  const bool yesNo = (Flags & 0x0F) == MB_YESNO;
  MessageBoxWidget box(OwnerWidget(Owner), yesNo);
  // Texts quote values from files and from the device: never markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromLatin1(Text));
  box.setWindowTitle(QString::fromLatin1(Caption));
  if ((Flags & MB_ICONERROR) != 0) {
    box.setIcon(QMessageBox::Critical);
  } else if ((Flags & MB_ICONQUESTION) != 0) {
    box.setIcon(QMessageBox::Question);
  }
  if (yesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int answer = box.exec();
  if (yesNo) {
    return answer == QMessageBox::Yes ? IDYES : IDNO;
  }
  return IDOK;
}

std::optional<std::string> TQtDialogs::FileName(const TFileDialogRequest& Request) {
  FileDialogWidget dialog(OwnerWidget(Request.Owner));
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const bool save = Request.Kind == TFileDialogKind::Save;
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setNameFilter(QtFilter(Request.Filter));
  if (!Request.InitialDir.empty()) {
    dialog.setDirectory(FileNameToQt(Request.InitialDir));
  }
  if (!Request.FileName.empty()) {
    dialog.selectFile(FileNameToQt(Request.FileName));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.Chosen().isEmpty()) {
    return std::nullopt;
  }
  return FileNameFromQt(dialog.Chosen());
}

bool TFileDialog::Execute() {
  TFileDialogRequest request;
  request.Kind = kind_;
  request.Owner = dynamic_cast<TForm*>(Owner());
  request.Filter = filter_;
  request.InitialDir = initialDir_;
  request.FileName = fileName_;
  std::optional<std::string> chosen = Application->Dialogs().FileName(request);
  if (!chosen) {
    return false;
  }
  fileName_ = *chosen;
  return true;
}

}  // namespace classlib
