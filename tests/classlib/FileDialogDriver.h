// Drives the real Qt file dialog that the code under test opens, as a user would: a ModalDriver
// whose one step runs the test's action on the dialog inside its own nested loop, or one that
// expects the dialog to refuse a name. Bounded: a dialog still open TimeoutMs after the driver
// was made is rejected, so a test never hangs.
#pragma once

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
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

  // Types Name into the dialog's name field inside Directory, at once or key by key, as a user
  // types: into the focused field of the active dialog, over what it held.
  static void Type(QFileDialog& Dialog, const QString& Directory, const QString& Name,
                   bool KeyByKey = false) {
    Dialog.setDirectory(Directory);
    auto* field = Dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(field, nullptr) << "no name field: is the dialog Qt's own?";
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
  }

  // Actions. Choose types Name and presses Enter; Cancel presses Escape.
  static Action Choose(const QString& Directory, const QString& Name, bool KeyByKey = false) {
    return [Directory, Name, KeyByKey](QFileDialog& Dialog) {
      Type(Dialog, Directory, Name, KeyByKey);
      if (auto* field = Dialog.findChild<QLineEdit*>("fileNameEdit")) {
        QTest::keyClick(field, Qt::Key_Return);
      }
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

// Types Name into the file dialog inside Directory and presses Enter, expecting the dialog to
// refuse the name: a box shows over the dialog, and once it is closed the dialog, still open, is
// cancelled. Enter is posted, so that the box's own loop runs outside the step (the driver's
// next tick then finds the box). Bounded as FileDialogDriver is.
class RefusedNameDriver {
 public:
  RefusedNameDriver(const QString& Directory, const QString& Name, int TimeoutMs = 10000)
      : modal_({[Directory, Name](QDialog& Modal) { TypeAndEnter(Modal, Directory, Name); },
                [this](QDialog& Modal) { CloseBox(Modal); },
                [this](QDialog& Modal) { CancelDialog(Modal); }},
               TimeoutMs) {}

  // Expects the refusal: a box over the dialog, then the dialog still open.
  void ExpectRefused() const {
    EXPECT_TRUE(boxShown_) << "the name was taken";
    EXPECT_TRUE(dialogStayed_) << "the dialog did not stay open";
    EXPECT_FALSE(modal_.TimedOut()) << "the dialog did not end";
  }
  // What the box said.
  const QString& BoxText() const { return boxText_; }

 private:
  static void TypeAndEnter(QDialog& Modal, const QString& Directory, const QString& Name) {
    auto* dialog = qobject_cast<QFileDialog*>(&Modal);
    ASSERT_NE(dialog, nullptr) << "the active modal widget was no file dialog";
    FileDialogDriver::Type(*dialog, Directory, Name);
    if (auto* field = dialog->findChild<QLineEdit*>("fileNameEdit")) {
      QMetaObject::invokeMethod(
          field, [field] { QTest::keyClick(field, Qt::Key_Return); }, Qt::QueuedConnection);
    }
  }
  // Anything but a box (the dialog itself, when it neither took nor refused the name) is
  // cancelled.
  void CloseBox(QDialog& Modal) {
    auto* box = qobject_cast<QMessageBox*>(&Modal);
    boxShown_ = box != nullptr;
    if (box == nullptr) {
      QTest::keyClick(&Modal, Qt::Key_Escape);
      return;
    }
    boxText_ = box->text();
    PressKey(Modal, Qt::Key_Return);
  }
  void CancelDialog(QDialog& Modal) {
    dialogStayed_ = qobject_cast<QFileDialog*>(&Modal) != nullptr;
    QTest::keyClick(&Modal, Qt::Key_Escape);
  }

  bool boxShown_ = false;
  bool dialogStayed_ = false;
  QString boxText_;
  ModalDriver modal_;  // last: its timer stops before the fields it fills go
};

}  // namespace classlib_test
