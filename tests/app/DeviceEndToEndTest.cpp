// The real windows of each edition against the simulated controller over a pseudo-terminal, the
// port found as the program finds it (the last listed one): load, write, password, a silent or
// refusing controller, a stray byte and a hang-up.
#include <functional>
#include <map>
#include <mutex>

#include "app/Operation.h"
#include "controller/SimulatedController.h"
#include "tests/app/PortFixture.h"

namespace {

using app_test::PortWindows;
using classlib_test::PumpUntil;

class DeviceEndToEnd : public PortWindows {
 protected:
  void TearDown() override {
    PortWindows::TearDown();
    controller_.reset();
  }

  // Starts a controller holding State, published as the last listed port, then the windows.
  void StartWith(controller::ControllerState State) {
    controller_ = std::make_unique<controller::SimulatedController>(
        std::move(State), controller::LinkOptions{}, [this](const std::string& Line) {
          std::lock_guard guard(logLock_);
          log_.push_back(Line);
        });
    ASSERT_NO_THROW(controller_->Start());
    Start();
    ASSERT_EQ(Detected().Text(), controller::LinkOptions{}.name);
  }
  controller::SimulatedController& Controller() { return *controller_; }

  std::string Status() { return Form().StatusBar1->Panel(0).Text(); }
  // Pumps until the status shows Text; fails with what it shows instead.
  void AwaitStatus(const std::string& Text, int TimeoutMs = 10000) {
    ASSERT_TRUE(PumpUntil([&] { return Status() == Text; }, TimeoutMs))
        << "waiting for \"" << Text << "\", the status shows \"" << Status() << "\"";
  }
  // Requests of the given name the controller has taken so far (its log: "[time] <- bytes  name").
  int Requests(const std::string& Name) {
    std::lock_guard guard(logLock_);
    int count = 0;
    for (const std::string& line : log_) {
      count += line.find("] <- ") != std::string::npos && line.ends_with("  " + Name) ? 1 : 0;
    }
    return count;
  }
  std::string Cell(int Slot) { return Form().StringGrid1->Cells(1, Slot); }
  // Runs Seen, then the decoder, for each block of one byte: the controller's stray bytes.
  void WatchNoise(std::function<void()> Seen) {
    brisko::TComm& comm = *Form().Comm1;
    comm.SetOnReceiveData([decode = comm.OnReceiveData(), Seen](
                              brisko::TObject* Sender, const void* Buffer, std::uint16_t Length) {
      if (Length == 1) {
        Seen();
      }
      decode(Sender, Buffer, Length);
    });
  }
  // Numbers in slots 1 to Count, each its own; returns them by slot.
  std::map<std::uint16_t, std::string> FillTable(int Count) {
    std::map<std::uint16_t, std::string> table;
    for (int slot = 1; slot <= Count; ++slot) {
      table[static_cast<std::uint16_t>(slot)] = "0699" + std::to_string(1000 + slot);
      Form().StringGrid1->SetCells(1, slot, table[static_cast<std::uint16_t>(slot)]);
    }
    return table;
  }

 private:
  std::unique_ptr<controller::SimulatedController> controller_;
  std::mutex logLock_;
  std::vector<std::string> log_;
};

TEST_P(DeviceEndToEnd, FullLoadPutsEveryNumberInItsRow) {
  const int last = Edition().LastSlot;
  controller::ControllerState state = controller::GeneratedState(static_cast<std::uint16_t>(last));
  state.relayTimeout = 2500;
  state.externalDisconnection = true;
  StartWith(state);
  Form().BitBtn3->Click();
  EXPECT_EQ(Status(), "Communications...");
  // About 17 s of line time for 1000 numbers, and 100 ms of quiet after each of 69 replies.
  AwaitStatus("Receiving completed.", last * 60);
  for (int slot = 1; slot <= last; ++slot) {
    ASSERT_EQ(Cell(slot), state.phones.at(static_cast<std::uint16_t>(slot))) << "slot " << slot;
  }
  EXPECT_EQ(Form().PhonesReceived, last);
  EXPECT_EQ(Form().PhonesExpected, 0);
  EXPECT_EQ(Form().Edit1->Text(), "2500");
  EXPECT_TRUE(Form().CheckBox1->Checked());
  EXPECT_EQ(Requests("ReadRequest"), 1);
  EXPECT_TRUE(app::PortOpened);
}

// A controller holding more numbers than the edition's table: the load keeps every one that
// fits, and writing the table back leaves the controller holding exactly those.
TEST_P(DeviceEndToEnd, LoadBeyondTheTableKeepsEveryNumberThatFitsAndWritesThemBack) {
  const int last = Edition().LastSlot;
  const int held = last + 100;
  if (held > controller::kLastSlot) {
    GTEST_SKIP() << "the simulated controller holds at most " << controller::kLastSlot;
  }
  const controller::ControllerState state =
      controller::GeneratedState(static_cast<std::uint16_t>(held));
  StartWith(state);
  Form().BitBtn3->Click();
  AwaitStatus("Receiving completed.", held * 60);
  for (int slot = 1; slot <= last; ++slot) {
    ASSERT_EQ(Cell(slot), state.phones.at(static_cast<std::uint16_t>(slot))) << "slot " << slot;
  }
  EXPECT_EQ(Form().PhonesReceived, held);

  Form().BitBtn4->Click();
  // Five numbers a 500 ms tick.
  AwaitStatus("Write data complete...", last * 150 + 5000);
  std::map<std::uint16_t, std::string> expected(
      state.phones.begin(), state.phones.find(static_cast<std::uint16_t>(last + 1)));
  EXPECT_EQ(Controller().State().phones, expected);
}

TEST_P(DeviceEndToEnd, FullWriteLeavesTheControllerHoldingExactlyTheTable) {
  const int last = Edition().LastSlot;
  StartWith(controller::GeneratedState(20));  // replaced by the write
  std::map<std::uint16_t, std::string> table;
  for (int slot : {1, 2, 9, 10, 11, 12, 13, last / 2, last - 1, last}) {
    table[static_cast<std::uint16_t>(slot)] = "+49" + std::to_string(7000 + slot);
  }
  Form().StringGrid1->SetCells(1, 12, "12345678901234567");
  table[12] = "1234567890123";
  for (const auto& [slot, number] : table) {
    if (slot != 12) {
      Form().StringGrid1->SetCells(1, slot, number);
    }
  }
  Form().Edit1->SetText("4321");
  Form().CheckBox1->SetChecked(true);
  Form().BitBtn4->Click();
  AwaitStatus("Write data complete...", 15000);
  const controller::ControllerState held = Controller().State();
  EXPECT_EQ(held.phones, table);
  EXPECT_EQ(held.relayTimeout, 4321);
  EXPECT_TRUE(held.externalDisconnection);
  EXPECT_EQ(Requests("WriteSettings"), 1);
  EXPECT_EQ(Requests("WritePhones"), 2);
}

// Line noise after the settings frame's Accepted, between the tick that moves on to the numbers
// and the next one: the controller has emptied its table, and the write still fills it.
TEST_P(DeviceEndToEnd, StrayByteAfterTheSettingsAnswerStillWritesEveryNumber) {
  const int last = Edition().LastSlot;
  StartWith(controller::GeneratedState(20));
  controller::Knobs knobs;
  knobs.strayAfterSettings = std::chrono::milliseconds(600);  // about midway between the ticks
  Controller().SetKnobs(knobs);
  std::map<std::uint16_t, std::string> table;
  for (int slot : {1, 2, 3, 40, 41, last - 1, last}) {
    table[static_cast<std::uint16_t>(slot)] = "0612" + std::to_string(slot);
    Form().StringGrid1->SetCells(1, slot, table[static_cast<std::uint16_t>(slot)]);
  }
  // Seen only when the stray byte came after the move to the numbers and before their first frame.
  bool strayBeforeTheFirstFrame = false;
  WatchNoise([&] {
    strayBeforeTheFirstFrame |=
        Form().Phase == app::PhaseWritePhones && Form().TriesLeft == app::kTransmissionsPerFrame;
  });
  Form().BitBtn4->Click();
  AwaitStatus("Write data complete...");
  EXPECT_TRUE(strayBeforeTheFirstFrame) << "the stray byte missed its moment";
  EXPECT_EQ(Controller().State().phones, table);
  EXPECT_EQ(Requests("WritePhones"), 2);
}

// A controller that answers each frame after the next tick, whose line loses the first
// transmission of the third phone frame: the late answers to the frames before it never pass for
// its own, and the write ends with every number on the controller.
TEST_P(DeviceEndToEnd, LateControllerWhoseLineLosesAPhoneFrameStillGetsEveryNumber) {
  StartWith(controller::GeneratedState(20));
  controller::Knobs knobs;
  knobs.delay = std::chrono::milliseconds(400);
  knobs.losePhonesFrame = 3;
  Controller().SetKnobs(knobs);
  const std::map<std::uint16_t, std::string> table = FillTable(23);
  Form().BitBtn4->Click();
  AwaitStatus("Write data complete...", 30000);
  EXPECT_EQ(Controller().State().phones, table);
}

// Line noise after every Accepted changes no outcome: the write goes at one tick a frame, and
// "SET" succeeds at its first transmission.
TEST_P(DeviceEndToEnd, NoiseAfterEveryAcceptedChangesNoOutcome) {
  StartWith(controller::GeneratedState(20));
  controller::Knobs knobs;
  knobs.strayAfterAccepted = std::chrono::milliseconds(200);
  Controller().SetKnobs(knobs);
  int noise = 0;
  WatchNoise([&] { ++noise; });
  const std::map<std::uint16_t, std::string> table = FillTable(12);
  Form().BitBtn4->Click();
  AwaitStatus("Write data complete...");
  EXPECT_EQ(Controller().State().phones, table);
  EXPECT_EQ(Requests("WriteSettings"), 1);
  EXPECT_EQ(Requests("WritePhones"), 3);

  Form().Edit2->SetText("9753");
  Form().BitBtn7->Click();
  AwaitStatus("Set Psaaword Suecced!");
  EXPECT_EQ(Controller().State().password, "9753");
  EXPECT_EQ(Requests("SetPassword"), 1);
  EXPECT_GE(noise, 4);  // after the Accepted of the settings and of each phone frame
}

// A controller that takes the settings frame (emptying its table) and refuses the numbers: the
// user is told the write failed, as soon as an unanswered frame would have told.
TEST_P(DeviceEndToEnd, RefusedPhoneFramesEndInTheFailureTextWithinTwoSeconds) {
  StartWith(controller::GeneratedState(20));
  controller::Knobs knobs;
  knobs.answer.refusePhones = true;
  Controller().SetKnobs(knobs);
  for (int slot = 1; slot <= 7; ++slot) {
    Form().StringGrid1->SetCells(1, slot, "555" + std::to_string(slot));
  }
  Form().BitBtn4->Click();
  AwaitStatus("Write data:5");
  AwaitStatus("Write data failed, please try again...", 2000);
  EXPECT_EQ(Form().Phase, app::PhaseIdle);
  EXPECT_EQ(Requests("WritePhones"), 1);
  EXPECT_TRUE(Controller().State().phones.empty());
}

TEST_P(DeviceEndToEnd, GetAndSetThePassword) {
  controller::ControllerState state;
  state.password = "2468";
  StartWith(state);
  Form().BitBtn8->Click();
  AwaitStatus("Password Receiving completed.");
  EXPECT_EQ(Form().Edit2->Text(), "2468");

  Form().Edit2->SetText("1357");
  Form().BitBtn7->Click();
  AwaitStatus("Set Psaaword Suecced!");
  EXPECT_EQ(Controller().State().password, "1357");
  EXPECT_EQ(Requests("SetPassword"), 1);
}

// A controller whose PasswordReply has no zero byte before its end byte: GET then SET gives it
// back exactly the password it held.
TEST_P(DeviceEndToEnd, GetThenSetKeepsAPasswordRepliedWithoutAZeroByte) {
  controller::ControllerState state;
  state.password = "432";
  StartWith(state);
  controller::Knobs knobs;
  knobs.answer.passwordZeroByte = false;
  Controller().SetKnobs(knobs);
  Form().BitBtn8->Click();
  AwaitStatus("Password Receiving completed.");
  EXPECT_EQ(Form().Edit2->Text(), "432");
  Form().BitBtn7->Click();
  AwaitStatus("Set Psaaword Suecced!");
  EXPECT_EQ(Controller().State().password, "432");
}

TEST_P(DeviceEndToEnd, SilentControllerGetsThreeTransmissionsOfEachFrame) {
  StartWith({});
  controller::Knobs knobs;
  knobs.silent = true;
  Controller().SetKnobs(knobs);
  Form().BitBtn3->Click();
  AwaitStatus("Connection failure,Please try again.", 5000);
  EXPECT_EQ(Requests("ReadRequest"), 3);

  Form().BitBtn4->Click();
  ASSERT_TRUE(PumpUntil([&] { return Status() == "Write parameters..."; }));
  AwaitStatus("Write data failed, please try again...", 5000);
  EXPECT_EQ(Requests("WriteSettings"), 3);
}

// The line drops in the middle of a load: the numbers so far stay, and the next command reopens
// the port, which the controller has published afresh under the same name.
TEST_P(DeviceEndToEnd, HangUpDuringALoadReportsSerialErrorAndTheNextCommandReopens) {
  controller::ControllerState state = controller::GeneratedState(100);
  state.password = "8642";
  StartWith(state);
  controller::Knobs knobs;
  knobs.hangUpAt = 4;  // ReadRequest, two ReadAcks answered, the third drops the line
  Controller().SetKnobs(knobs);
  Form().BitBtn3->Click();
  AwaitStatus("Serial error.", 10000);
  EXPECT_FALSE(app::PortOpened);
  EXPECT_EQ(Cell(30), state.phones.at(30));
  EXPECT_EQ(Cell(31), "");
  ASSERT_TRUE(Controller().WaitForLineCount(2, std::chrono::seconds(5)));

  Form().BitBtn8->Click();
  EXPECT_TRUE(app::PortOpened);
  AwaitStatus("Password Receiving completed.");
  EXPECT_EQ(Form().Edit2->Text(), "8642");
}

INSTANTIATE_TEST_SUITE_P(Editions, DeviceEndToEnd, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace
