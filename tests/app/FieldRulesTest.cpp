// What the user can type into the relay timeout, the password and the phone table, the length
// rule of the table, the range rule of the relay timeout, and "Crear All".
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

#include "WindowFixture.h"
#include "classlib/Exception.h"

namespace {

using app_test::EditionWindows;
using app_test::PumpUntil;

class FieldRules : public EditionWindows {
 protected:
  // Whether Field's key handler takes Key, with the field holding Text.
  bool Accepts(classlib::TEdit* Field, const std::string& Text, char Key) {
    Field->SetText(Text);
    char key = Key;
    try {
      if (Field == Form().Edit1) {
        Form().Edit1KeyPress(nullptr, key);
      } else {
        Form().Edit2KeyPress(nullptr, key);
      }
    } catch (const classlib::EAbort&) {
      return false;
    }
    return true;
  }
  bool GridAccepts(char Key) {
    char key = Key;
    try {
      Form().StringGrid1KeyPress(nullptr, key);
    } catch (const classlib::EAbort&) {
      return false;
    }
    return true;
  }
  // Leaves Edit1 holding Text by moving the focus to Edit2, as the user would.
  void LeaveEdit1With(const std::string& Text) {
    Focus(*Form().Edit1);
    Form().Edit1->SetText(Text);
    Focus(*Form().Edit2);
  }
  void FocusCell(int Row) {
    Focus(*Form().StringGrid1);
    Form().StringGrid1->SetRow(Row);
    ASSERT_TRUE(PumpUntil([&] { return Form().StringGrid1->EditorShown(); }));
  }
};

// Every character a user might try, per field; 3, 22 and 24 are copy, paste and cut typed as
// characters.
TEST_P(FieldRules, KeyHandlersAcceptOnlyTheirCharacters) {
  struct Case {
    char key;
    bool edit1;
    bool edit2;
    bool grid;
  };
  const Case cases[] = {
      {'0', true, true, true},    {'5', true, true, true},       {'9', true, true, true},
      {8, true, true, true},      {'+', false, false, true},     {'-', false, false, false},
      {'*', false, false, false}, {'#', false, false, false},    {' ', false, false, false},
      {'a', false, false, false}, {'Z', false, false, false},    {'.', false, false, false},
      {3, false, false, false},   {22, false, false, false},     {24, false, false, false},
      {13, false, false, false},  {27, false, false, false},     {'/', false, false, false},
      {':', false, false, false}, {'\xe9', false, false, false}, {127, false, false, false},
  };
  Form().StringGrid1->SetRow(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "key code " << static_cast<int>(c.key));
    EXPECT_EQ(Accepts(Form().Edit1, "12", c.key), c.edit1);
    EXPECT_EQ(Accepts(Form().Edit2, "12", c.key), c.edit2);
    EXPECT_EQ(GridAccepts(c.key), c.grid);
  }
  EXPECT_EQ(Form().StringGrid1->Row(), 6) << "Enter moves down a row before it is refused";
  EXPECT_TRUE(dialogs_.Boxes.empty()) << "refused keys say nothing";
}

TEST_P(FieldRules, Edit2TakesDigitsOnlyWhileShorterThanFour) {
  EXPECT_TRUE(Accepts(Form().Edit2, "123", '4'));
  EXPECT_FALSE(Accepts(Form().Edit2, "1234", '5'));
  EXPECT_FALSE(Accepts(Form().Edit2, "12345", '5'));
  EXPECT_TRUE(Accepts(Form().Edit2, "1234", 8));

  Focus(*Form().Edit2);
  Form().Edit2->SetText("");
  Type("123456");
  EXPECT_EQ(Form().Edit2->Text(), "1234");
  Form().Edit2->SelectAll();
  Type("9");
  EXPECT_EQ(Form().Edit2->Text(), "1234") << "a full field refuses a digit over a selection";
  Type("\b9");
  EXPECT_EQ(Form().Edit2->Text(), "9") << "backspace removed the selection, then the digit went in";
}

// The handlers are bound: typing into the widgets follows the rules, shortcuts included.
TEST_P(FieldRules, TypingIntoTheFieldsFollowsTheRules) {
  QApplication::clipboard()->setText("777");
  Focus(*Form().Edit1);
  Form().Edit1->SetText("");
  Type("12a-3 \b4");
  Type(std::string{22});  // paste
  EXPECT_EQ(Form().Edit1->Text(), "124");
  Form().Edit1->SelectAll();
  Type(std::string{24});  // cut
  EXPECT_EQ(Form().Edit1->Text(), "124");

  FocusCell(3);
  Type("+49 (30)-1*#x");
  Type(std::string{22});
  EXPECT_EQ(Form().StringGrid1->Cells(1, 3), "+49301");
  Type("\b");
  EXPECT_EQ(Form().StringGrid1->Cells(1, 3), "+4930");
}

// What an input method commits (dead keys, compose) meets the same rules, character by character,
// and so does Ctrl+Backspace, which types the character 127.
TEST_P(FieldRules, CommittedTextAndCtrlBackspaceFollowTheRules) {
  struct Case {
    classlib::TControl* field;
    const char* commit;  // UTF-8
    std::string before;
    std::string after;
  };
  app::TForm1& form = Form();
  const Case cases[] = {
      {form.Edit1, "\u00e9", "12", "12"},
      {form.Edit1, "3\u00e94", "12", "1234"},
      {form.Edit2, "345", "12", "1234"},
      {form.Edit2, "\u00e9", "", ""},
      {form.StringGrid1, "+4\u00e99\u0436", "", "+49"},
      {form.StringGrid1, "\u00e4", "+49", "+49"},
  };
  auto text = [&](classlib::TControl* field) {
    return field == form.StringGrid1 ? form.StringGrid1->Cells(1, 3)
                                     : static_cast<classlib::TEdit*>(field)->Text();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.field->Name() << " '" << c.commit << "'");
    if (c.field == form.StringGrid1) {
      form.StringGrid1->SetCells(1, 3, c.before);
      FocusCell(3);
    } else {
      static_cast<classlib::TEdit*>(c.field)->SetText(c.before);
      Focus(*c.field);
    }
    QWidget* editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_End);
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8(c.commit));
    QCoreApplication::sendEvent(editor, &commit);
    EXPECT_EQ(text(c.field), c.after);
    QTest::keyClick(editor, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(text(c.field), c.after) << "Ctrl+Backspace";
  }
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_P(FieldRules, EnterMovesDownToTheLastSlotAndNoFurther) {
  FocusCell(LastSlot() - 1);
  Type("5\r");
  EXPECT_EQ(Form().StringGrid1->Row(), LastSlot());
  EXPECT_EQ(Form().StringGrid1->Cells(1, LastSlot() - 1), "5") << "Enter typed nothing";
  Type("\r");
  EXPECT_EQ(Form().StringGrid1->Row(), LastSlot());
  EXPECT_EQ(Form().StringGrid1->Cells(1, LastSlot()), "");
}

// A 14th character stays in its cell; the current row moves down unless it is the last.
TEST_P(FieldRules, LongNumbersStayInTheirCellAndMoveTheCurrentRow) {
  const std::string thirteen = "1234567890123";
  struct Case {
    int row;
    int rowAfter;
  };
  for (const Case& c :
       {Case{10, 11}, Case{LastSlot() - 1, LastSlot()}, Case{LastSlot(), LastSlot()}}) {
    SCOPED_TRACE(testing::Message() << "row " << c.row);
    FocusCell(c.row);
    Type(thirteen);
    EXPECT_EQ(Form().StringGrid1->Row(), c.row) << "13 characters move nothing";
    Type("4");
    EXPECT_EQ(Form().StringGrid1->Cells(1, c.row), thirteen + "4");
    EXPECT_EQ(Form().StringGrid1->Row(), c.rowAfter);
  }
  // Where the long text came from a file, leaving the cell in any direction lands below it.
  Form().StringGrid1->SetCells(1, 20, "123456789012345");
  FocusCell(20);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
  EXPECT_EQ(Form().StringGrid1->Row(), 21);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_P(FieldRules, LeavingTheRelayTimeoutKeepsItFrom1000To59999) {
  struct Case {
    const char* text;
    const char* after;
  };
  const Case cases[] = {
      {"500", "1000"},        {"999", "1000"},        {"1000", "1000"},   {"59999", "59999"},
      {"60000", "1000"},      {"0001500", "0001500"}, {"01000", "01000"}, {"0", "1000"},
      {"4294967296", "1000"},  // beyond 32 bits: a conversion failure, see below
      {" 2500 ", " 2500 "},    // trimmed for the conversion only
      {"$7D0", "$7D0"},        // hexadecimal 2000
      {"-2000", "1000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    dialogs_.Boxes.clear();
    LeaveEdit1With(c.text);
    EXPECT_EQ(Form().Edit1->Text(), c.after);
    EXPECT_EQ(dialogs_.Boxes.size(), std::string(c.text) == "4294967296" ? 1u : 0u);
  }
}

// A text that does not convert becomes "1000" first, then the error box tells why.
TEST_P(FieldRules, ATimeoutThatDoesNotConvertIsResetBeforeTheErrorBox) {
  for (const char* text : {"", "12a", "   "}) {
    SCOPED_TRACE(text);
    dialogs_.Boxes.clear();
    std::string shownWhileOpen;
    dialogs_.WhileOpen = [&](const auto&) { shownWhileOpen = Form().Edit1->Text(); };
    LeaveEdit1With(text);
    EXPECT_EQ(Form().Edit1->Text(), "1000");
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    const std::string trimmed = std::string(text) == "12a" ? "12a" : "";
    EXPECT_EQ(dialogs_.Boxes[0].Text, "'" + trimmed + "' is not a valid integer value.");
    EXPECT_EQ(dialogs_.Boxes[0].Caption, classlib::Application->Title());
    EXPECT_EQ(dialogs_.Boxes[0].Flags & MB_ICONERROR, MB_ICONERROR);
    EXPECT_EQ(shownWhileOpen, "1000");
  }
}

TEST_P(FieldRules, ClearAllEmptiesTheTableAndResetsTheThreeSettings) {
  app::TForm1& form = Form();
  for (int slot : {1, 2, LastSlot() / 2, LastSlot()}) {
    form.StringGrid1->SetCells(1, slot, "+4930" + std::to_string(slot));
  }
  form.Edit1->SetText("2500");
  form.CheckBox1->SetChecked(true);
  form.Edit2->SetText("1111");
  form.Label3->SetCaption("/tmp/work.mdb");
  form.StatusBar1->Panel(0).SetText("Receiving completed.");
  form.Phase = app::PhaseWritePhones;
  form.BitBtn5->Click();
  for (int slot = 1; slot <= LastSlot(); ++slot) {
    ASSERT_EQ(form.StringGrid1->Cells(1, slot), "") << "row " << slot;
    ASSERT_EQ(form.StringGrid1->Cells(0, slot), std::to_string(slot)) << "row " << slot;
  }
  EXPECT_EQ(form.StringGrid1->Cells(1, 0), "Phone Number");
  EXPECT_EQ(form.Edit1->Text(), "0");
  EXPECT_FALSE(form.CheckBox1->Checked());
  EXPECT_EQ(form.Edit2->Text(), "7391");
  EXPECT_EQ(form.Label3->Caption(), "/tmp/work.mdb");
  EXPECT_EQ(form.StatusBar1->Shown(), "Receiving completed.");
  EXPECT_EQ(form.Phase, app::PhaseWritePhones);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Editions, FieldRules, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace
