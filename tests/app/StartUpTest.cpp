// The start-up of both program blocks: the title, the three windows in their order and what each
// edition's port dialog and TForm3 hold.
#include <gtest/gtest.h>

#include "app/Program.h"
#include "tests/classlib/WindowTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

using classlib::Application;

struct Program {
  const app::TEdition* edition;
  void (*startUp)();
};

std::string ProgramName(const testing::TestParamInfo<Program>& Info) {
  return Info.param.edition->Name;
}

class StartUp : public classlib_test::WindowTest, public testing::WithParamInterface<Program> {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_EQ(Application->MainForm(), nullptr) << "another test left a main window behind";
    GetParam().startUp();
  }
  // The application owns the windows; the program would free them at its end.
  void TearDown() override {
    delete app::Form3;
    delete app::Form2;
    delete app::Form1;
    app::Form3 = nullptr;
    app::Form2 = nullptr;
    app::Form1 = nullptr;
    WindowTest::TearDown();
  }
  testsupport::TempDir root_;
};

TEST_P(StartUp, CreatesTheThreeWindowsHiddenWithTheMainWindowFirst) {
  const app::TEdition& edition = *GetParam().edition;
  EXPECT_EQ(Application->Title(), "Tavkel V.1.3");
  ASSERT_NE(app::Form1, nullptr);
  ASSERT_NE(app::Form2, nullptr);
  ASSERT_NE(app::Form3, nullptr);
  EXPECT_EQ(Application->MainForm(), app::Form1);
  for (classlib::TForm* form :
       {static_cast<classlib::TForm*>(app::Form1), static_cast<classlib::TForm*>(app::Form2),
        static_cast<classlib::TForm*>(app::Form3)}) {
    EXPECT_EQ(form->Owner(), Application);
    EXPECT_FALSE(form->Visible()) << form->Name();
  }
  EXPECT_EQ(&app::Form1->Edition(), &edition);
  EXPECT_EQ(&app::Form2->Edition(), &edition);
  EXPECT_EQ(app::Form1->Caption(), edition.MainCaption);
  EXPECT_EQ(app::Form3->Caption(), "Form3");
  EXPECT_EQ(app::Form3->ComponentCount(), 0);
}

TEST_P(StartUp, PortDialogOfTheEdition) {
  const app::TForm2& dialog = *app::Form2;
  EXPECT_EQ(dialog.Caption(), "Com Setup");
  EXPECT_EQ(dialog.BorderIcons(), classlib::biSystemMenu);
  EXPECT_EQ(dialog.GroupBox1->Caption(), "Setup");
  EXPECT_EQ(dialog.Label1->Caption(), "Port:");
  EXPECT_EQ(dialog.ComboBox1->Style(), classlib::csDropDownList);
  EXPECT_EQ(dialog.ComboBox1->Items().Count(), 0);
  EXPECT_EQ(dialog.ComboBox1->ItemIndex(), -1);
  EXPECT_EQ(dialog.BitBtn2->Caption(), "Refresh");
  if (GetParam().edition->PortDialog == app::TPortDialogKind::FixedList) {
    EXPECT_EQ(dialog.BitBtn1->Caption(), "CONNECT");
    EXPECT_FALSE(dialog.ComboBox1->Visible());
    EXPECT_FALSE(dialog.BitBtn2->Visible());
    ASSERT_NE(dialog.ComboBox2, nullptr);
    EXPECT_EQ(dialog.ComboBox2->Style(), classlib::csDropDown);
    ASSERT_EQ(dialog.ComboBox2->Items().Count(), 21);
    for (int i = 0; i < 21; ++i) {
      EXPECT_EQ(dialog.ComboBox2->Items()[i], "COM" + std::to_string(i + 1));
    }
    EXPECT_EQ(dialog.ComboBox2->Text(), "");
    EXPECT_EQ(dialog.ComboBox2->ItemIndex(), -1);
  } else {
    EXPECT_EQ(dialog.BitBtn1->Caption(), "OK");
    EXPECT_TRUE(dialog.ComboBox1->Visible());
    EXPECT_TRUE(dialog.BitBtn2->Visible());
    EXPECT_EQ(dialog.ComboBox2, nullptr);
    EXPECT_EQ(dialog.FindComponent("ComboBox2"), nullptr);
  }
}

// The error box is captioned with the application's title, not the window's.
TEST_P(StartUp, ErrorBoxCarriesTheApplicationTitle) {
  app::TForm1& form = *app::Form1;
  ShowActive(form);
  form.Edit1->SetFocus();
  ASSERT_TRUE(classlib_test::PumpUntil([&] { return form.Edit1->Focused(); }));
  form.Edit1->SetText("");
  form.Edit2->SetFocus();
  ASSERT_TRUE(classlib_test::PumpUntil([&] { return !dialogs_.Boxes.empty(); }));
  EXPECT_EQ(dialogs_.Boxes[0].Caption, "Tavkel V.1.3");
  EXPECT_EQ(dialogs_.Boxes[0].Text, "'' is not a valid integer value.");
  EXPECT_EQ(dialogs_.Boxes[0].Flags, MB_OK | MB_ICONERROR);
  EXPECT_EQ(dialogs_.Boxes[0].Owner, &form);
  EXPECT_EQ(form.Caption(), GetParam().edition->MainCaption);
}

INSTANTIATE_TEST_SUITE_P(Programs, StartUp,
                         testing::Values(Program{&app::Tavkel14, &app::StartUp<app::Tavkel14>},
                                         Program{&app::Tavkel13, &app::StartUp<app::Tavkel13>}),
                         ProgramName);

}  // namespace
