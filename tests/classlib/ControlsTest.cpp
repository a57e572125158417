#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTest>

#include "WindowTestSupport.h"
#include "classlib/Buttons.h"
#include "classlib/StdCtrls.h"

namespace {

using namespace classlib;
using classlib_test::PumpUntil;
using classlib_test::WindowTest;

class KeyRules : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    edit_ = new TEdit(&form_);
    edit_->SetParent(&form_);
    edit_->SetBounds(8, 8, 100, 21);
    edit_->OnKeyPress = [this](TObject* sender, char& key) {
      EXPECT_EQ(sender, edit_);
      seen_.push_back(key);
      refuse_(key);
    };
  }
  TForm form_{nullptr};
  TEdit* edit_ = nullptr;
  std::string seen_;
  std::function<void(char&)> refuse_ = [](char&) {};
};

TEST_F(KeyRules, ARefusedCharacterLeavesTheTextAsItWas) {
  refuse_ = [](char& key) {
    if (key != 8 && (key < '0' || key > '9')) {
      Abort();
    }
  };
  QTest::keyClicks(edit_->Widget(), "1a-2 b3");
  QTest::keyClick(edit_->Widget(), Qt::Key_Backspace);
  EXPECT_EQ(edit_->Text(), "12");
  EXPECT_EQ(seen_, std::string("1a-2 b3\b"));
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_F(KeyRules, CopyCutAndPasteArriveAsControlCharactersAndCanBeRefused) {
  QGuiApplication::clipboard()->setText("99");
  edit_->SetText("12");
  for (bool refuse : {true, false}) {
    SCOPED_TRACE(refuse ? "refused" : "accepted");
    seen_.clear();
    refuse_ = [refuse](char& key) {
      if (refuse && key < 32 && key != 8) {
        Abort();
      }
    };
    QTest::keyClick(edit_->Widget(), Qt::Key_End);
    QTest::keyClick(edit_->Widget(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(edit_->Widget(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(edit_->Widget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(seen_, std::string("\x03\x18\x16"));
    EXPECT_EQ(edit_->Text(), refuse ? "12" : "1299");
  }
}

TEST_F(KeyRules, AHandlerCanReplaceTheCharacterOrDropItWithZero) {
  refuse_ = [](char& key) {
    if (key == 'a') {
      key = 'A';
    } else if (key == 'z') {
      key = 0;
    }
  };
  QTest::keyClicks(edit_->Widget(), "azb");
  EXPECT_EQ(edit_->Text(), "Ab");
}

TEST_F(KeyRules, TextsThatArriveOtherwisePassNoHandler) {
  QGuiApplication::clipboard()->setText("77");
  edit_->SetText("1");
  QTest::keyClick(edit_->Widget(), Qt::Key_End);
  QTest::keyClick(edit_->Widget(), Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(edit_->Text(), "177");
  EXPECT_EQ(seen_, "");
}

// What an input method commits (a dead key, a compose sequence) is typed key by key.
TEST_F(KeyRules, CommittedTextMeetsTheHandlerCharacterByCharacter) {
  refuse_ = [](char& key) {
    if (key == 'x') {
      Abort();
    } else if (key == 'a') {
      key = 'A';
    }
  };
  edit_->SetText("1");
  QTest::keyClick(edit_->Widget(), Qt::Key_End);
  QInputMethodEvent composing(QString::fromUtf8("\u00b4"), {});
  QCoreApplication::sendEvent(edit_->Widget(), &composing);
  EXPECT_EQ(edit_->Text(), "1") << "text still being composed is not the field's";
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("a\u00e9x\u0436b"));
  QCoreApplication::sendEvent(edit_->Widget(), &commit);
  EXPECT_EQ(seen_,
            "a\xe9"
            "xb")
      << "beyond Latin-1 nothing reaches the handler";
  EXPECT_EQ(edit_->Text(),
            "1A\xe9"
            "b");

  // A field without a handler takes the committed text as Qt does.
  auto* plain = new TEdit(&form_);
  QInputMethodEvent plainCommit;
  plainCommit.setCommitString(QString::fromUtf8("\u00e9x\u0436"));
  QCoreApplication::sendEvent(plain->Widget(), &plainCommit);
  EXPECT_EQ(plain->Text(), "") << "a character beyond Latin-1 refuses the whole text";
  plainCommit.setCommitString(QString::fromUtf8("\u00e9x"));
  QCoreApplication::sendEvent(plain->Widget(), &plainCommit);
  EXPECT_EQ(plain->Text(), "\xe9x");
}

// Ctrl+Backspace types the character 127; a handler that refuses it leaves the word in place.
TEST_F(KeyRules, CtrlBackspaceTypesTheCharacter127) {
  refuse_ = [](char& key) {
    if (key == 127) {
      Abort();
    }
  };
  edit_->SetText("12 34");
  QTest::keyClick(edit_->Widget(), Qt::Key_End);
  QTest::keyClick(edit_->Widget(), Qt::Key_Backspace, Qt::ControlModifier);
  QTest::keyClick(edit_->Widget(), Qt::Key_Backspace);
  EXPECT_EQ(seen_, "\x7f\b");
  EXPECT_EQ(edit_->Text(), "12 3");
}

class Focus : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    form_.SetBounds(0, 0, 300, 200);
    edit_ = new TEdit(&form_);
    edit_->SetParent(&form_);
    edit_->SetBounds(8, 8, 100, 21);
    edit_->OnExit = [this](TObject*) { log_.push_back("exit"); };
    button_ = new TBitBtn(&form_);
    button_->SetParent(&form_);
    button_->SetBounds(8, 40, 80, 25);
    button_->OnClick = [this](TObject*) { log_.push_back("click"); };
    speed_ = new TSpeedButton(&form_);
    speed_->SetParent(&form_);
    speed_->SetBounds(100, 40, 41, 33);
    speed_->SetGlyph("computer");
    speed_->OnClick = [this](TObject*) { log_.push_back("speed"); };
    ShowActive(form_);
    edit_->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return edit_->Focused(); }));
  }
  TForm form_{nullptr};
  TEdit* edit_ = nullptr;
  TBitBtn* button_ = nullptr;
  TSpeedButton* speed_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(Focus, ClickingAButtonFiresOnExitOfTheEditFirst) {
  QTest::mouseClick(button_->Widget(), Qt::LeftButton);
  EXPECT_EQ(log_, (std::vector<std::string>{"exit", "click"}));
  EXPECT_TRUE(button_->Focused());
}

TEST_F(Focus, TheSpeedButtonTakesNoFocusSoTheEditIsNotLeft) {
  QTest::mouseClick(speed_->Widget(), Qt::LeftButton);
  EXPECT_EQ(log_, std::vector<std::string>{"speed"});
  EXPECT_TRUE(edit_->Focused());
}

TEST_F(Focus, AnOnExitFailureGoesToTheErrorBox) {
  edit_->OnExit = [](TObject*) { throw Exception("'' is not a valid integer value"); };
  QTest::mouseClick(button_->Widget(), Qt::LeftButton);
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_EQ(dialogs_.Boxes[0].Text, "'' is not a valid integer value.");
}

TEST_F(WindowTest, TabFollowsTabOrderIntoContainersAndSkipsDisabledControls) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 300);
  auto makeEdit = [&](TControl* parent, const char* name, int order) {
    auto* edit = new TEdit(&form);
    edit->SetName(name);
    edit->SetParent(parent);
    edit->SetBounds(8, 20 + 24 * order, 60, 21);
    edit->SetTabOrder(order);
    return edit;
  };
  auto* group = new TGroupBox(&form);
  group->SetParent(&form);
  group->SetBounds(100, 0, 150, 200);
  group->SetTabOrder(1);
  TEdit* last = makeEdit(&form, "last", 2);
  TEdit* first = makeEdit(&form, "first", 0);
  TEdit* inner2 = makeEdit(group, "inner2", 1);
  TEdit* inner1 = makeEdit(group, "inner1", 0);
  TEdit* disabled = makeEdit(group, "disabled", 2);
  disabled->SetEnabled(false);
  ShowActive(form);
  first->SetFocus();
  std::vector<std::string> visited;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    for (TEdit* edit : {first, inner1, inner2, disabled, last}) {
      if (edit->Focused()) {
        visited.push_back(edit->Name());
      }
    }
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"inner1", "inner2", "last", "first", "inner1"}));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_TRUE(first->Focused());
}

TEST_F(WindowTest, ComboBoxSelectionAndTextsInBothStyles) {
  TForm form(nullptr);
  auto* list = new TComboBox(&form);
  list->SetStyle(csDropDownList);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->Items().Add("COM3");
  list->Items().Add("COM4");
  EXPECT_EQ(list->ItemIndex(), -1) << "adding must not select";
  EXPECT_EQ(list->Text(), "");
  list->SetItemIndex(1);
  EXPECT_EQ(list->Text(), "COM4");
  list->SetItemIndex(7);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetItemIndex(0);
  list->Items().Clear();
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->Items().Count(), 0);

  auto* editable = new TComboBox(&form);
  editable->Items().Assign({"COM1", "COM2"});
  EXPECT_EQ(editable->ItemIndex(), -1);
  EXPECT_EQ(editable->Text(), "");
  editable->SetItemIndex(1);
  EXPECT_EQ(editable->Text(), "COM2");
  editable->SetText("\\\\.\\COM27");
  EXPECT_EQ(editable->ItemIndex(), -1);
  EXPECT_EQ(editable->Text(), "\\\\.\\COM27");
  editable->SetText("COM1");
  EXPECT_EQ(editable->ItemIndex(), 0);
}

TEST_F(WindowTest, EightBitTextsCrossWidgetsUnchanged) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  std::string all;
  for (int c = 1; c < 256; ++c) {
    all += static_cast<char>(c);
  }
  edit->SetText(all);
  EXPECT_EQ(edit->Text(), all);
  auto* label = new TLabel(&form);
  label->SetCaption("C:\\data\\\xe9t\xe9.mdb");
  EXPECT_EQ(label->Caption(), "C:\\data\\\xe9t\xe9.mdb");
}

// A group box lays its aligned children out inside its frame and below its caption as the style
// draws them, also before it shows and after its font or caption changed: within the style's
// contents rect, and clear of every line the style paints.
TEST_F(WindowTest, AlignedChildrenFillTheInsideOfAGroupBoxFrame) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 400, 200);
  auto* group = new TGroupBox(&form);
  group->SetParent(&form);
  group->SetBounds(24, 8, 329, 57);
  group->SetCaption("Current work file");
  auto* label = new TLabel(&form);
  label->SetParent(group);
  label->SetAlign(alClient);
  form.SetFontHeight(11);
  const QRect beforeShowing = label->Widget()->geometry();
  ShowActive(form);
  EXPECT_EQ(label->Widget()->geometry(), beforeShowing);
  struct Case {
    int fontHeight;
    const char* caption;
  };
  for (const Case& c : {Case{11, "Current work file"}, Case{8, "Current work file"},
                        Case{24, "Current work file"}, Case{11, ""}, Case{11, "Setup"}}) {
    SCOPED_TRACE(testing::Message() << c.fontHeight << " '" << c.caption << "'");
    form.SetFontHeight(c.fontHeight);
    group->SetCaption(c.caption);
    const QRect contents = group->Widget()->contentsRect();
    const QRect child = label->Widget()->geometry();
    EXPECT_TRUE(contents.contains(child)) << "beyond the style's contents rect";
    EXPECT_EQ(
        QRect(child.left(), contents.top(), child.width(), child.bottom() - contents.top() + 1),
        contents)
        << "only the top may stay clear of more than the contents rect";
    EXPECT_TRUE(classlib_test::PlainArea(*group->Widget(), child))
        << "a line of the frame runs through the child";
  }
}

}  // namespace
