// The windows of one edition as the program makes them (the main window and the port dialog, held
// in Form1 and Form2), under a temporary platform root, the main window shown and active.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>

#include "app/Edition.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "tests/classlib/WindowTestSupport.h"
#include "tests/support/TempDir.h"

namespace app {
// Names the edition in test output.
inline void PrintTo(const TEdition* Edition, std::ostream* Out) {
  *Out << Edition->Name;
}
}  // namespace app

namespace app_test {

using classlib_test::PumpUntil;

inline std::string EditionName(const testing::TestParamInfo<const app::TEdition*>& Info) {
  return Info.param->Name;
}

class EditionWindows : public classlib_test::WindowTest,
                       public testing::WithParamInterface<const app::TEdition*> {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // The machine's own serial ports stay out of these windows' port list.
    std::filesystem::create_directory(root_.Path() / "sysfs-tty");
    ::setenv("TAVKEL_SYSFS_TTY", (root_ / "sysfs-tty").c_str(), 1);
    form1_ = std::make_unique<app::TForm1>(nullptr, Edition());
    app::Form1 = form1_.get();
    form2_ = std::make_unique<app::TForm2>(nullptr, Edition());
    app::Form2 = form2_.get();
    ShowActive(*form1_);
  }
  void TearDown() override {
    app::Form2 = nullptr;
    app::Form1 = nullptr;
    form2_.reset();
    form1_.reset();
    ::unsetenv("TAVKEL_SYSFS_TTY");
    WindowTest::TearDown();
  }

  const app::TEdition& Edition() const { return *GetParam(); }
  int LastSlot() const { return Edition().LastSlot; }
  app::TForm1& Form() { return *form1_; }

  // Focuses Control and waits until it has the focus (the grid: until its editor shows).
  void Focus(classlib::TControl& Control) {
    Control.SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return Control.Focused(); })) << Control.Name() << " took no focus";
  }
  // Types one character code into the focused widget as the keyboard would: 8 is backspace, 9
  // Tab, 13 Enter, other codes 1..26 Ctrl with a letter.
  static void TypeCode(char Code) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    if (Code == 8) {
      QTest::keyClick(target, Qt::Key_Backspace);
    } else if (Code == 9) {
      QTest::keyClick(target, Qt::Key_Tab);
    } else if (Code == 13) {
      QTest::keyClick(target, Qt::Key_Return);
    } else if (Code >= 1 && Code <= 26) {
      QTest::keyClick(target, static_cast<Qt::Key>(Qt::Key_A + Code - 1), Qt::ControlModifier);
    } else {
      QTest::keyClick(target, Code);
    }
  }
  static void Type(const std::string& Codes) {
    for (char code : Codes) {
      TypeCode(code);
    }
  }

 private:
  testsupport::TempDir root_;
  std::unique_ptr<app::TForm1> form1_;
  std::unique_ptr<app::TForm2> form2_;
};

}  // namespace app_test
