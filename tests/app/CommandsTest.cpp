// The four device commands at the click: their guards, the relay-timeout check, the start values
// they give the operation, and the port step's failure box.
#include "DeviceFixture.h"
#include "app/Operation.h"
#include "app/Unit2.h"

namespace {

using namespace app_test;

class Commands : public DeviceWindows {
 protected:
  // The operation state as a command leaves it.
  struct State {
    app::TPhase phase;
    std::int32_t triesLeft;
    app::TReplyKind replyKind;
    std::int32_t nextSlot, phonesSent;
    bool timer;
    std::string status;
    bool operator==(const State&) const = default;
  };
  State Now() {
    app::TForm1& f = Form();
    return {f.Phase,      f.TriesLeft,         f.ReplyKind, app::NextSlot,
            f.PhonesSent, f.Timer1->Enabled(), Status()};
  }
  // Values no command sets, so that what a click changes shows.
  void Scramble() {
    app::TForm1& f = Form();
    f.Phase = app::PhaseWritePhones;
    f.TriesLeft = 1;
    f.ReplyKind = app::ReplyRefused;
    app::NextSlot = 7;
    f.PhonesSent = 9;
    f.StatusBar1->Panel(0).SetText("before");
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : dialogs_.Boxes) {
      EXPECT_EQ(box.Caption, "Message");
      EXPECT_EQ(box.Flags, MB_OK | MB_ICONERROR);
      texts.push_back(box.Text);
    }
    return texts;
  }
};

TEST_P(Commands, EachCommandGivesItsStartValues) {
  struct Case {
    const char* name;
    classlib::TBitBtn* app::TForm1::*button;
    State expected;
  };
  const Case cases[] = {
      {"Load From Device",
       &app::TForm1::BitBtn3,
       {app::PhaseLoad, 3, app::ReplyRefused, 7, 9, true, "Communications..."}},
      {"Write To Device",
       &app::TForm1::BitBtn4,
       {app::PhaseWriteSettings, 3, app::ReplyOther, 1, 0, true, "Communications..."}},
      {"GET",
       &app::TForm1::BitBtn8,
       {app::PhaseGetPassword, 1, app::ReplyRefused, 7, 9, true, "before"}},
      {"SET",
       &app::TForm1::BitBtn7,
       {app::PhaseSetPassword, 3, app::ReplyOther, 7, 9, true, "before"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scramble();
    SetNumber(1, "0612");
    Form().Timer1->SetEnabled(false);
    (Form().*c.button)->Click();
    EXPECT_EQ(Now(), c.expected);
    // Only "Load From Device" empties the phone column.
    EXPECT_EQ(Form().StringGrid1->Cells(1, 1), c.button == &app::TForm1::BitBtn3 ? "" : "0612");
  }
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_EQ(Sent(), Frames{});  // a click never sends
}

TEST_P(Commands, LoadAndWriteDoNothingWhileASearchRuns) {
  Form().SearchState = app::SearchOpenNext;
  SetNumber(1, "0612");
  for (classlib::TBitBtn* button : {Form().BitBtn3, Form().BitBtn4}) {
    Scramble();
    const State before = Now();
    button->Click();
    EXPECT_EQ(Now(), before);
    EXPECT_EQ(Form().StringGrid1->Cells(1, 1), "0612");
  }
  Form().BitBtn7->Click();
  EXPECT_EQ(Form().Phase, app::PhaseSetPassword);
  Form().BitBtn8->Click();
  EXPECT_EQ(Form().Phase, app::PhaseGetPassword);
  EXPECT_EQ(Form().SearchState, app::SearchOpenNext);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

TEST_P(Commands, WriteChecksTheRelayTimeoutAtTheClick) {
  struct Case {
    const char* text;
    const char* box;  // nothing: the write starts
  };
  const Case cases[] = {
      {"59999", nullptr},
      {"60000", "Relay TimeOut more than 59 seconds."},
      {"2147483647", "Relay TimeOut more than 59 seconds."},
      {"", "Please enter the digital."},
      {"12a", "Please enter the digital."},
      {"2147483648", "Please enter the digital."},
      {"0", nullptr},
      {"999", nullptr},
      {"-5", nullptr},
      {" \t1000 ", nullptr},
      {"$FF", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    dialogs_.Boxes.clear();
    Scramble();
    Form().Timer1->SetEnabled(false);
    Form().Edit1->SetText(c.text);
    const State before = Now();
    Form().BitBtn4->Click();
    EXPECT_EQ(Form().Edit1->Text(), c.text);
    if (c.box == nullptr) {
      EXPECT_TRUE(dialogs_.Boxes.empty());
      EXPECT_EQ(Form().Phase, app::PhaseWriteSettings);
    } else {
      EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.box});
      EXPECT_EQ(Now(), before);
    }
  }
}

// The port step fails: the box names the entry, and the command goes no further.
TEST_P(Commands, PortThatCannotBeOpenedStopsEveryCommandWithTheBox) {
  auto held = platform::ScriptedDevice::Register("TAVHELD");
  held->SetResult(platform::SerialCall::Open, ERROR_ACCESS_DENIED);
  app::Form2->ComboBox1->Items().Assign({"TAVHELD"});
  app::Form2->ComboBox1->SetItemIndex(0);
  SetNumber(1, "0612");
  for (classlib::TBitBtn* button :
       {Form().BitBtn3, Form().BitBtn4, Form().BitBtn7, Form().BitBtn8}) {
    SCOPED_TRACE(button->Caption());
    dialogs_.Boxes.clear();
    app::PortOpened = FALSE;
    Scramble();
    Form().Timer1->SetEnabled(false);
    State expected = Now();
    if (button == Form().BitBtn4) {
      expected.phonesSent = 0;  // set before the port step
    }
    button->Click();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Can not open TAVHELD"});
    EXPECT_EQ(Now(), expected);
    EXPECT_FALSE(app::PortOpened);
    EXPECT_EQ(Form().StringGrid1->Cells(1, 1), "0612");
  }
  // No entry selected: the box names nothing.
  app::Form2->ComboBox1->SetItemIndex(-1);
  dialogs_.Boxes.clear();
  Form().BitBtn8->Click();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Can not open "});
}

INSTANTIATE_TEST_SUITE_P(Editions, Commands, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         EditionName);

}  // namespace
