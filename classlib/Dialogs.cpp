#include "classlib/Dialogs.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
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
  QFileDialog dialog(OwnerWidget(Request.Owner));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(Request.Kind == TFileDialogKind::Save ? QFileDialog::AcceptSave
                                                             : QFileDialog::AcceptOpen);
  dialog.setNameFilter(QtFilter(Request.Filter));
  if (!Request.InitialDir.empty()) {
    dialog.setDirectory(FileNameToQt(Request.InitialDir));
  }
  if (!Request.FileName.empty()) {
    dialog.selectFile(FileNameToQt(Request.FileName));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return FileNameFromQt(dialog.selectedFiles().first());
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
