// The operation sequencer driven tick by tick, with the controller's answers handed to the
// decoder by hand: what each phase sends, how often it resends, and every status text.
#include <algorithm>
#include <functional>

#include "DeviceFixture.h"
#include "app/Operation.h"

namespace {

using namespace app_test;

std::string SettingsFrame(int Timeout, bool External) {
  return AsText(app::WriteSettings(Timeout, External));
}

// A WritePhones frame for the given slots, each holding its number as NumberOf gives it.
template <class F>
std::string PhonesFrame(const std::vector<int>& Slots, F NumberOf) {
  app::WritePhones frame;
  for (int slot : Slots) {
    frame.Add(static_cast<std::uint16_t>(slot), NumberOf(slot));
  }
  return AsText(frame.Bytes());
}

// One block of each kind the sequencer tells apart, as strays that a test lets arrive.
const struct {
  const char* name;
  std::string block;
} kEveryKindOfBlock[] = {{"Accepted", kAccepted},
                         {"Refused", kRefused},
                         {"EndOfData", kEndOfData},
                         {"one byte", Hex({0xFF})},
                         {"unknown code", Hex({0xAA, 0x30, 0x00, 0xEE})}};

std::string NumberOf(int Slot) {
  return "06" + std::to_string(1000000 + Slot);
}

class Sequencer : public DeviceWindows {
 protected:
  // Makes Slots the only numbers of the table, each holding NumberOf(slot); relay timeout 1000.
  void SetTable(const std::vector<int>& Slots) {
    Form().BitBtn5->Click();  // "Crear All"
    Form().Edit1->SetText("1000");
    for (int slot : Slots) {
      SetNumber(slot, NumberOf(slot));
    }
  }
  // Clicks "Write To Device", lets the settings frame go out and be accepted, and moves to the
  // phone numbers.
  void StartPhoneWrite() {
    Click(Form().BitBtn4);
    Tick();
    ASSERT_EQ(Sent(), Frames{SettingsFrame(1000, false)});
    Receive(kAccepted);
    Tick();
    ASSERT_EQ(Status(), "Write telephone numbers...");
    ASSERT_EQ(Sent(), Frames{});
  }
};

TEST_P(Sequencer, IdleTicksDoNothing) {
  Form().StatusBar1->Panel(0).SetText("before");
  // Idle, and values beyond the phases.
  for (const app::TPhase phase :
       {app::PhaseIdle, static_cast<app::TPhase>(6), static_cast<app::TPhase>(-1)}) {
    Form().Phase = phase;
    Ticks(3);
    EXPECT_EQ(Form().Phase, phase);
  }
  EXPECT_EQ(Sent(), Frames{});
  EXPECT_EQ(Status(), "before");
}

TEST_P(Sequencer, UnansweredLoadRequestGoesOutThreeTimesThenFails) {
  SetNumber(1, "123");
  Click(Form().BitBtn3);
  EXPECT_EQ(Form().StringGrid1->Cells(1, 1), "");
  for (int tick = 1; tick <= 3; ++tick) {
    SCOPED_TRACE(tick);
    Form().PhonesReceived = 7;
    Tick();
    EXPECT_EQ(Sent(), Frames{AsText(app::ReadRequest())});
    EXPECT_EQ(Status(), "Communications...");
    EXPECT_EQ(Form().PhonesReceived, 0);
  }
  Tick();
  EXPECT_EQ(Status(), "Connection failure,Please try again.");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  Tick();
  EXPECT_EQ(Sent(), Frames{});
}

TEST_P(Sequencer, SettingsReplyEndsTheLoadRequests) {
  Click(Form().BitBtn3);
  Tick();
  EXPECT_EQ(Sent(), Frames{AsText(app::ReadRequest())});
  Receive(Hex({0xAA, 0x22, 0x09, 0x00, 0x00, 0x03, 0xE8, 0x00, 0, 0, 0, 0, 0xEE}));
  Ticks(4);
  EXPECT_EQ(Sent(), Frames{AsText(app::ReadAck())});
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
}

TEST_P(Sequencer, UnansweredSettingsFrameGoesOutThreeTimesThenFails) {
  Form().Edit1->SetText(" 1000 ");
  Form().CheckBox1->SetChecked(true);
  Click(Form().BitBtn4);
  EXPECT_EQ(Status(), "Communications...");
  for (int tick = 1; tick <= 3; ++tick) {
    SCOPED_TRACE(tick);
    Tick();
    EXPECT_EQ(Sent(), Frames{Hex({0xAA, 0x02, 0x09, 0, 0, 0x03, 0xE8, 0x01, 0, 0, 0, 0, 0xEE})});
    EXPECT_EQ(Status(), "Write parameters...");
  }
  Tick();
  EXPECT_EQ(Status(), "Write data failed, please try again...");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  Tick();
  EXPECT_EQ(Sent(), Frames{});
}

// The settings frame is built at the first tick: the value there counts, not the one at the click.
TEST_P(Sequencer, SettingsFrameReadsTheFieldsAtTheFirstTick) {
  Click(Form().BitBtn4);
  Form().Edit1->SetText("70000");  // beyond 16 bits: only the low ones travel
  Tick();
  EXPECT_EQ(Sent(), Frames{SettingsFrame(70000, false)});
}

TEST_P(Sequencer, TimeoutTextThatNoLongerConvertsEndsTheWriteAtOnce) {
  Click(Form().BitBtn4);
  Form().Edit1->SetText("12a");
  Tick();
  EXPECT_EQ(Status(), "Write data failed, please try again...");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  Ticks(3);
  EXPECT_EQ(Sent(), Frames{});
}

TEST_P(Sequencer, EmptyTableWritesTheSettingsAndNoPhoneFrame) {
  StartPhoneWrite();
  Tick();  // the scan passes every slot and finds nothing to send
  EXPECT_EQ(Sent(), Frames{});
  EXPECT_EQ(app::NextSlot, LastSlot() + 1);
  EXPECT_EQ(Status(), "Write telephone numbers...");
  Tick();
  EXPECT_EQ(Status(), "Write data complete...");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
}

// Once a scan has found no number the write is done: whatever block comes before the next tick,
// that tick completes it, and no frame without a record ever goes out.
TEST_P(Sequencer, ScanThatFindsNothingCompletesWhateverArrivesBeforeTheNextTick) {
  for (const bool withNumbers : {true, false}) {
    for (const auto& [name, stray] : kEveryKindOfBlock) {
      SCOPED_TRACE(std::string(withNumbers ? "numbers written, " : "empty table, ") + name);
      // With numbers, a full frame: the scan stops after slot 5.
      SetTable(withNumbers ? std::vector<int>{1, 2, 3, 4, 5} : std::vector<int>{});
      StartPhoneWrite();
      if (withNumbers) {
        Tick();
        ASSERT_EQ(Sent(), Frames{PhonesFrame({1, 2, 3, 4, 5}, NumberOf)});
        Receive(kAccepted);
      }
      Tick();  // the scan reaches the end without a number
      EXPECT_EQ(Sent(), Frames{});
      Receive(stray);
      Tick();
      EXPECT_EQ(Status(), "Write data complete...");
      EXPECT_EQ(Form().Phase, app::PhaseIdle);
      Ticks(3);
      EXPECT_EQ(Sent(), Frames{});
    }
  }
}

struct WriteCase {
  const char* name;
  std::vector<int> filled;  // negative: counted back from the last slot, -1 the last one
  std::vector<std::vector<int>> frames;
  bool scanTick;  // the last frame left slots to scan: one tick that sends nothing
};

int Resolve(int Slot, int Last) {
  return Slot < 0 ? Last + 1 + Slot : Slot;
}

// Every frame is accepted; the frames, their order and the ticks up to completion are checked.
TEST_P(Sequencer, WritesEachTableInFramesOfFiveWithEveryFrameAwaited) {
  const WriteCase cases[] = {
      {"filled 1 to 5", {1, 2, 3, 4, 5}, {{1, 2, 3, 4, 5}}, true},
      {"filled 1 to 6", {1, 2, 3, 4, 5, 6}, {{1, 2, 3, 4, 5}, {6}}, true},
      {"spread, ending at the last slot",
       {3, 10, 11, 250, -2, -1},
       {{3, 10, 11, 250, -2}, {-1}},
       false},
      {"last slot alone", {-1}, {{-1}}, false},
      {"five ending at the last slot", {-5, -4, -3, -2, -1}, {{-5, -4, -3, -2, -1}}, false},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> filled;
    for (int slot : c.filled) {
      filled.push_back(Resolve(slot, LastSlot()));
    }
    SetTable(filled);
    StartPhoneWrite();
    int sentSoFar = 0;
    for (const std::vector<int>& frame : c.frames) {
      std::vector<int> frameSlots;
      for (int slot : frame) {
        frameSlots.push_back(Resolve(slot, LastSlot()));
      }
      Tick();
      ASSERT_EQ(Sent(), Frames{PhonesFrame(frameSlots, NumberOf)});
      sentSoFar += static_cast<int>(frame.size());
      EXPECT_EQ(Status(), "Write data:" + std::to_string(sentSoFar));
      Tick();  // awaited: without an answer nothing moves on, not even after the last frame
      EXPECT_NE(Status(), "Write data complete...");
      Sent();
      // A late controller answers both transmissions.
      Receive(kAccepted);
      Receive(kAccepted);
    }
    if (c.scanTick) {
      Tick();
      EXPECT_EQ(Sent(), Frames{});
    }
    Tick();
    EXPECT_EQ(Status(), "Write data complete...");
    EXPECT_EQ(Form().Phase, app::PhaseIdle);
    EXPECT_EQ(Form().PhonesSent, static_cast<int>(filled.size()));
  }
}

TEST_P(Sequencer, RecordsCarryAtMostThirteenCharactersAndBlanksUnchanged) {
  SetNumber(1, "123456789012345");
  SetNumber(2, " ");
  StartPhoneWrite();
  Tick();
  EXPECT_EQ(Sent(),
            Frames{PhonesFrame({1, 2}, [](int s) { return s == 1 ? "1234567890123" : " "; })});
}

// The frame is resent twice with its count, then the write fails; the scan does not go back.
TEST_P(Sequencer, UnansweredPhoneFrameIsResentTwiceThenFails) {
  struct Case {
    const char* name;
    std::vector<int> filled;
    std::vector<int> frame;
    int nextSlot;  // counted back from one past the last slot when not positive
  };
  const Case cases[] = {
      {"a frame inside the table", {1, 2, 3, 4, 5, 9}, {1, 2, 3, 4, 5}, 6},
      {"the frame that ends the scan", {7, -1}, {7, -1}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> filled;
    std::vector<int> frame;
    for (int s : c.filled) {
      filled.push_back(Resolve(s, LastSlot()));
    }
    for (int s : c.frame) {
      frame.push_back(Resolve(s, LastSlot()));
    }
    SetTable(filled);
    StartPhoneWrite();
    Tick();
    const std::string sent = PhonesFrame(frame, NumberOf);
    ASSERT_EQ(Sent(), Frames{sent});
    const std::string count = std::to_string(frame.size());
    EXPECT_EQ(Status(), "Write data:" + count);
    for (int resend = 1; resend <= 2; ++resend) {
      SCOPED_TRACE(resend);
      Tick();
      EXPECT_EQ(Sent(), Frames{sent});
      EXPECT_EQ(Status(), "Repeat write datas:" + count);
    }
    Tick();
    EXPECT_EQ(Status(), "Write data failed, please try again...");
    EXPECT_EQ(Form().Phase, app::PhaseIdle);
    EXPECT_EQ(app::NextSlot, c.nextSlot > 0 ? c.nextSlot : LastSlot() + 1);
    Tick();
    EXPECT_EQ(Sent(), Frames{});
  }
}

// The settings step has seen the settings frame's Accepted: no block that comes before the next
// tick takes it back, so the first phone frame goes out and the write goes on to the end.
TEST_P(Sequencer, FirstPhoneFrameGoesOutWhateverCameAfterTheSettingsAccepted) {
  for (const bool withNumbers : {true, false}) {
    for (const auto& [name, stray] : kEveryKindOfBlock) {
      SCOPED_TRACE(std::string(withNumbers ? "numbers, " : "empty table, ") + name);
      SetTable(withNumbers ? std::vector<int>{1, 2} : std::vector<int>{});
      StartPhoneWrite();
      Receive(stray);
      Tick();
      if (withNumbers) {
        EXPECT_EQ(Sent(), Frames{PhonesFrame({1, 2}, NumberOf)});
        EXPECT_EQ(Status(), "Write data:2");
        Receive(kAccepted);
        Tick();  // the scan reaches the end without a further number
      }
      EXPECT_EQ(Sent(), Frames{});
      Tick();
      EXPECT_EQ(Status(), "Write data complete...");
      EXPECT_EQ(Form().Phase, app::PhaseIdle);
    }
  }
}

// A Refused or EndOfData answer to a phone frame halts the resends for at most as many ticks as a
// frame has transmissions; the Accepted of a resend within them carries the write on, and noise
// lets the resends go on with the transmissions the frame has left, each starting a new wait. An
// Accepted after the Refused of the frame's only transmission answers nothing the tool sent.
// Scripts after the first frame (slots 1 to 5) went out: A, R, E and N receive Accepted,
// Refused, EndOfData and a byte of noise; a tick is '.' (nothing sent, the write goes on), 's'
// (the frame resent), 'f' (the next frame sent) or 'x' (the write fails).
TEST_P(Sequencer, RefusedHaltsThePhoneWriteForAtMostThreeTicks) {
  const struct {
    const char* name;
    const char* script;
  } cases[] = {
      {"Refused, then no further block", "R..x"},
      {"EndOfData, then no further block", "E..x"},
      {"a second Refused extends nothing", "R.R.x"},
      {"an Accepted that no transmission is owed", "R..Ax"},
      {"the resend's Accepted after the first one's Refused", "sR.Af"},
      {"noise resumes the resends", "R.Nssx"},
      {"a resend starts the wait afresh", "R.NsR..x"},
      {"Refused after a resend waits anew", "sR..x"},
      {"Refused after the last resend", "ssR..x"},
  };
  SetTable({1, 2, 3, 4, 5, 6});
  const Frames first{PhonesFrame({1, 2, 3, 4, 5}, NumberOf)};
  for (const auto& [name, script] : cases) {
    SCOPED_TRACE(name);
    // The answers the last case left owed are given up while the window is idle.
    Form().Phase = app::PhaseIdle;
    Ticks(app::TAnswerLedger::kWaitTicks);
    StartPhoneWrite();
    Tick();
    ASSERT_EQ(Sent(), first);
    std::string status = "Write data:5";
    for (const char* step = script; *step != '\0'; ++step) {
      SCOPED_TRACE(std::string("at '") + *step + "' of " + script);
      switch (*step) {
        case 'A':
          Receive(kAccepted);
          continue;
        case 'R':
          Receive(kRefused);
          continue;
        case 'E':
          Receive(kEndOfData);
          status = "Receiving completed.";
          continue;
        case 'N':
          Receive(Hex({0xFF}));
          continue;
        default:
          break;
      }
      Tick();
      if (*step == '.') {
        EXPECT_EQ(Sent(), Frames{});
        EXPECT_EQ(Form().Phase, app::PhaseWritePhones);
      } else if (*step == 's') {
        EXPECT_EQ(Sent(), first);
        status = "Repeat write datas:5";
      } else if (*step == 'f') {
        EXPECT_EQ(Sent(), Frames{PhonesFrame({6}, NumberOf)});
        status = "Write data:6";
      } else {
        EXPECT_EQ(Sent(), Frames{});
        EXPECT_EQ(Form().Phase, app::PhaseIdle);
        status = "Write data failed, please try again...";
      }
      EXPECT_EQ(Status(), status);
    }
  }
}

// A late answer to something earlier, between the click and the first tick, counts for nothing.
TEST_P(Sequencer, AcceptedBeforeTheFirstTransmissionIsNotCounted) {
  Click(Form().BitBtn4);
  Receive(kAccepted);
  Tick();
  EXPECT_EQ(Sent(), Frames{SettingsFrame(1000, false)});
  EXPECT_EQ(Status(), "Write parameters...");
  EXPECT_EQ(Form().Phase, app::PhaseWriteSettings);
  Receive(kAccepted);
  Tick();
  EXPECT_EQ(Status(), "Write telephone numbers...");

  Form().Edit2->SetText("4321");
  Click(Form().BitBtn7);
  Receive(kAccepted);
  Tick();
  const Frames password{AsText(app::SetPassword("4321"))};
  EXPECT_EQ(Sent(), password);
  EXPECT_EQ(Status(), "Set Password......");
  Tick();  // the Accepted from before the click still does not count
  EXPECT_EQ(Sent(), password);
  EXPECT_EQ(Status(), "Set Password......");
  Receive(kAccepted);
  Tick();
  EXPECT_EQ(Status(), "Set Psaaword Suecced!");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  EXPECT_EQ(Sent(), Frames{});
}

TEST_P(Sequencer, GetSendsOneRequestAndIsIdleAtOnce) {
  Form().StatusBar1->Panel(0).SetText("before");
  Click(Form().BitBtn8);
  EXPECT_EQ(Status(), "before");
  Tick();
  EXPECT_EQ(Sent(), Frames{AsText(app::GetPassword())});
  EXPECT_EQ(Status(), "Get Psaaword......");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  Ticks(2);
  EXPECT_EQ(Sent(), Frames{});
  EXPECT_EQ(Status(), "Get Psaaword......");
}

// Each transmission rebuilds the frame from the field as it is then.
TEST_P(Sequencer, UnansweredSetGoesOutThreeTimesThenFails) {
  const char* passwords[] = {"12", "12345", "9"};
  Form().Edit2->SetText(passwords[0]);
  Click(Form().BitBtn7);
  for (const char* password : passwords) {
    SCOPED_TRACE(password);
    Form().Edit2->SetText(password);
    Tick();
    EXPECT_EQ(Sent(), Frames{AsText(app::SetPassword(password))});
    EXPECT_EQ(Status(), "Set Password......");
  }
  EXPECT_EQ(AsText(app::SetPassword("12")), Hex({0xAA, 0x13, '1', '2', 0, 0, 0xEE}));
  Tick();
  EXPECT_EQ(Status(), "Set Password failed!");
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  Tick();
  EXPECT_EQ(Sent(), Frames{});
}

TEST_P(Sequencer, AcceptedForAnyTransmissionOfSetSucceeds) {
  Click(Form().BitBtn7);
  Ticks(2);
  EXPECT_EQ(Sent().size(), 2u);
  Receive(kAccepted);
  Tick();
  EXPECT_EQ(Status(), "Set Psaaword Suecced!");
}

TEST_P(Sequencer, CommandReplacesTheRunningOperation) {
  SetTable({1, 2, 3, 4, 5, 6, 7});
  StartPhoneWrite();
  Tick();
  Sent();
  Click(Form().BitBtn8);  // "GET" in the middle of the write
  Tick();
  EXPECT_EQ(Sent(), Frames{AsText(app::GetPassword())});
  EXPECT_EQ(app::NextSlot, 6);
  EXPECT_EQ(Form().PhonesSent, 5);
  Receive(kAccepted);
  Ticks(2);
  EXPECT_EQ(Sent(), Frames{});

  // A new write starts over from the settings frame and slot 1.
  StartPhoneWrite();
  Tick();
  EXPECT_EQ(Sent(), Frames{PhonesFrame({1, 2, 3, 4, 5}, NumberOf)});
  EXPECT_EQ(Status(), "Write data:5");
}

TEST_P(Sequencer, SettingsReplyEndsAWriteWithoutAText) {
  SetTable({1, 2, 3, 4, 5, 6});
  StartPhoneWrite();
  Tick();
  Sent();
  Receive(Hex({0xAA, 0x22, 0x09, 0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0, 0xEE}));
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  Ticks(3);
  EXPECT_EQ(Status(), "Write data:5");
  EXPECT_EQ(Sent(), Frames{AsText(app::ReadAck())});
}

// On a closed port (after a hang-up) the frames go nowhere and each phase runs out as unanswered.
TEST_P(Sequencer, ClosedPortLetsEachOperationRunOutItsTransmissions) {
  struct Case {
    classlib::TBitBtn* button;
    int ticks;
    const char* text;
  };
  const Case cases[] = {
      {Form().BitBtn3, 4, "Connection failure,Please try again."},
      {Form().BitBtn4, 4, "Write data failed, please try again..."},
      {Form().BitBtn7, 4, "Set Password failed!"},
      {Form().BitBtn8, 1, "Get Psaaword......"},
  };
  Form().Comm1->ClosePort();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Click(c.button);
    Ticks(c.ticks - 1);
    EXPECT_NE(Status(), c.text);
    Tick();
    EXPECT_EQ(Status(), c.text);
    EXPECT_EQ(Form().Phase, app::PhaseIdle);
  }
}

// Answers count only for frames that went out on the open port: a close forgets those owed for
// frames sent before it, and one that SendData refused is owed nothing. Either way the settings
// frame of the next write is acknowledged by its own first answer, not taken for an unanswered
// "SET" frame's.
TEST_P(Sequencer, TheNextFrameIsAcknowledgedByItsOwnAnswerAfterACloseOrARefusedSend) {
  const struct {
    const char* name;
    std::function<void(app::TForm1&)> closeDuringTheSet;
  } cases[] = {
      {"a hang-up with two SET frames unanswered",
       [this](app::TForm1& Form) {
         Ticks(2);
         Form.Comm1RequestHangup(Form.Comm1);
       }},
      {"a SET frame sent on a closed port",
       [this](app::TForm1& Form) {
         Form.Comm1->ClosePort();
         Tick();
       }},
  };
  SetTable({});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ticks(app::TAnswerLedger::kWaitTicks);  // nothing owed from the case before
    Click(Form().BitBtn7);
    c.closeDuringTheSet(Form());
    OpenPort();
    Sent();
    StartPhoneWrite();
  }
}

INSTANTIATE_TEST_SUITE_P(Editions, Sequencer, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         EditionName);

}  // namespace
