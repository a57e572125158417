// Drives the real Qt file dialog that the code under test opens, as a user would: once the dialog
// shows, a queued call runs the test's action on it inside the dialog's own nested loop. Bounded:
// a dialog still open TimeoutMs after it showed is rejected, so a test never hangs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <utility>

#include "tests/support/QtPump.h"

namespace classlib_test {

class FileDialogDriver : public QObject {
 public:
  using Action = std::function<void(QFileDialog&)>;

  // Acts on the first file dialog shown while the driver lives.
  explicit FileDialogDriver(Action Act, int TimeoutMs = 10000)
      : act_(std::move(Act)), timeoutMs_(TimeoutMs) {
    qApp->installEventFilter(this);
  }
  ~FileDialogDriver() override { qApp->removeEventFilter(this); }

  // Expects that a file dialog showed, as the active modal widget, and took the action's answer.
  void ExpectAnswered() const {
    EXPECT_TRUE(acted_) << "no file dialog showed";
    EXPECT_TRUE(modal_) << "the file dialog was not the active modal widget";
    EXPECT_FALSE(timedOut_) << "the file dialog did not take the answer";
  }
  // Where the dialog stood when it showed, and the name its name field held.
  const QString& StartDirectory() const { return startDirectory_; }
  const QString& StartName() const { return startName_; }

  // Actions. Choose types Name into the dialog's name field inside Directory and presses Enter;
  // Cancel presses Escape.
  static Action Choose(const QString& Directory, const QString& Name) {
    return [Directory, Name](QFileDialog& Dialog) {
      Dialog.setDirectory(Directory);
      auto* field = Dialog.findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(field, nullptr) << "no name field: is the dialog Qt's own?";
      // Typed as a user types: into the focused field of the active dialog, over what it held.
      Dialog.activateWindow();
      field->setFocus();
      ASSERT_TRUE(qtpump::PumpUntil([&] { return field->hasFocus(); }, 2000))
          << "the name field took no focus";
      field->selectAll();
      field->insert(Name);
      QTest::keyClick(field, Qt::Key_Return);
    };
  }
  static Action Cancel() {
    return [](QFileDialog& Dialog) { QTest::keyClick(&Dialog, Qt::Key_Escape); };
  }

  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != QEvent::Show || shown_) {
      return false;
    }
    auto* dialog = qobject_cast<QFileDialog*>(Watched);
    if (dialog == nullptr) {
      return false;
    }
    shown_ = true;
    startDirectory_ = dialog->directory().absolutePath();
    if (auto* field = dialog->findChild<QLineEdit*>("fileNameEdit")) {
      startName_ = field->text();
    }
    const QPointer<QFileDialog> guarded(dialog);
    QTimer::singleShot(0, this, [this, guarded] {
      if (guarded != nullptr) {
        modal_ = QApplication::activeModalWidget() == guarded;
        acted_ = true;
        act_(*guarded);
      }
    });
    QTimer::singleShot(timeoutMs_, this, [this, guarded] {
      if (guarded != nullptr && guarded->isVisible()) {
        timedOut_ = true;
        guarded->reject();
      }
    });
    return false;
  }

 private:
  Action act_;
  int timeoutMs_;
  bool shown_ = false;
  bool acted_ = false;
  bool modal_ = false;
  bool timedOut_ = false;
  QString startDirectory_;
  QString startName_;
};

}  // namespace classlib_test
