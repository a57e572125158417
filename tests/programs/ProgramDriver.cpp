// Preloaded into a shipped program (LD_PRELOAD), this acts as its user on Qt's offscreen platform,
// through the program's own windows and Qt's own dialogs, the program itself unchanged:
// - every message box is written down, "box CAPTION: TEXT" a line, into $TAVKEL_DRIVER_LOG and
//   answered with its default button (OK, or Yes to a question);
// - with $TAVKEL_DRIVER_SAVE_AS (a path without ".mdb"), once the main window shows, it clicks
//   "Write To File...", types that name into the file dialog, and closes the main window when the
//   click is done.
// It watches windows being shown and acts at the next turn of the loop that shows them, so it
// acts inside a modal window's own loop and never waits.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

class Driver final : public QObject {
 public:
  Driver()
      : QObject(QCoreApplication::instance()),
        log_(qEnvironmentVariable("TAVKEL_DRIVER_LOG")),
        saveAs_(qEnvironmentVariable("TAVKEL_DRIVER_SAVE_AS")) {
    QCoreApplication::instance()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::Show && Watched->isWidgetType() &&
        static_cast<QWidget*>(Watched)->isWindow()) {
      QPointer<QWidget> shown(static_cast<QWidget*>(Watched));
      QTimer::singleShot(0, this, [this, shown] {
        if (shown != nullptr && shown->isVisible()) {
          Act(*shown);
        }
      });
    }
    return false;
  }

 private:
  void Act(QWidget& Window) {
    if (auto* box = qobject_cast<QMessageBox*>(&Window)) {
      Answer(*box);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(&Window)) {
      Choose(*dialog);
    } else if (!saveAs_.isEmpty() && !clicked_) {
      for (auto* button : Window.findChildren<QPushButton*>()) {
        if (button->text() == "Write To File...") {
          clicked_ = true;
          button->click();  // returns once the save, its dialog and its boxes are done
          Window.close();
          return;
        }
      }
    }
  }

  void Answer(QMessageBox& Box) {
    QFile file(log_);
    if (!log_.isEmpty() && file.open(QIODevice::Append)) {
      file.write(("box " + Box.windowTitle() + ": " + Box.text() + "\n").toUtf8());
    }
    QAbstractButton* answer = Box.defaultButton();
    if (answer == nullptr) {
      answer = Box.button(QMessageBox::Ok);
    }
    if (answer != nullptr) {
      answer->click();
    }
  }

  void Choose(QFileDialog& Dialog) {
    const QFileInfo target(saveAs_);
    auto* field = Dialog.findChild<QLineEdit*>("fileNameEdit");
    if (saveAs_.isEmpty() || field == nullptr) {
      Dialog.reject();
      return;
    }
    Dialog.setDirectory(target.absolutePath());
    field->setText(target.fileName());
    static_cast<QDialog&>(Dialog).accept();  // as the dialog's Save button does
  }

  const QString log_;
  const QString saveAs_;
  bool clicked_ = false;
};

// Runs as the program's Qt application is made; the driver goes with it.
void StartDriver() {
  new Driver;
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriver)
