// Drives the real Qt file dialog that the code under test opens, as a user would: a ModalDriver
// whose one step runs the test's action on the dialog inside its own nested loop. Bounded: a
// dialog still open TimeoutMs after the driver was made is rejected, so a test never hangs.
#pragma once

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <utility>

#include "tests/classlib/WindowTestSupport.h"
#include "tests/support/QtPump.h"

namespace classlib_test {

class FileDialogDriver {
 public:
  using Action = std::function<void(QFileDialog&)>;

  // Acts on the first modal widget shown while the driver lives, which has to be a file dialog.
  explicit FileDialogDriver(Action Act, int TimeoutMs = 10000)
      : modal_({[this, act = std::move(Act)](QDialog& Modal) { Take(Modal, act); }}, TimeoutMs) {}

  // Expects that a file dialog showed, as the active modal widget, and took the action's answer.
  void ExpectAnswered() const {
    EXPECT_TRUE(modal_.Finished()) << "no file dialog showed";
    EXPECT_TRUE(fileDialog_) << "the active modal widget was no file dialog";
    EXPECT_FALSE(modal_.TimedOut()) << "the file dialog did not take the answer";
  }
  // Where the dialog stood when it showed, and the name its name field held.
  const QString& StartDirectory() const { return startDirectory_; }
  const QString& StartName() const { return startName_; }

  // Actions. Choose types Name into the dialog's name field inside Directory, at once or key by
  // key, and presses Enter; Cancel presses Escape.
  static Action Choose(const QString& Directory, const QString& Name, bool KeyByKey = false) {
    return [Directory, Name, KeyByKey](QFileDialog& Dialog) {
      Dialog.setDirectory(Directory);
      auto* field = Dialog.findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(field, nullptr) << "no name field: is the dialog Qt's own?";
      // Typed as a user types: into the focused field of the active dialog, over what it held.
      Dialog.activateWindow();
      field->setFocus();
      ASSERT_TRUE(qtpump::PumpUntil([&] { return field->hasFocus(); }, 2000))
          << "the name field took no focus";
      field->selectAll();
      if (KeyByKey) {
        field->del();
        for (const QChar key : Name) {
          QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(key), Qt::NoModifier);
        }
      } else {
        field->insert(Name);
      }
      QTest::keyClick(field, Qt::Key_Return);
    };
  }
  static Action Cancel() {
    return [](QFileDialog& Dialog) { QTest::keyClick(&Dialog, Qt::Key_Escape); };
  }

 private:
  void Take(QDialog& Modal, const Action& Act) {
    auto* dialog = qobject_cast<QFileDialog*>(&Modal);
    fileDialog_ = dialog != nullptr;
    if (dialog == nullptr) {
      return;
    }
    startDirectory_ = dialog->directory().absolutePath();
    if (auto* field = dialog->findChild<QLineEdit*>("fileNameEdit")) {
      startName_ = field->text();
    }
    Act(*dialog);
  }

  bool fileDialog_ = false;
  QString startDirectory_;
  QString startName_;
  ModalDriver modal_;  // last: its timer stops before the fields it fills go
};

}  // namespace classlib_test
