// The port search beside the device commands: which commands a running search holds back, and
// what a command finds after a search found the controller.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "PortSearchFixture.h"
#include "app/Frames.h"

namespace {

using app_test::PortSearchWindows;
using app_test::PumpUntil;

class SearchAndCommands : public PortSearchWindows {};

// "GET" and "SET" reopen the detected-port list's selected entry; after the search's refresh none
// is selected, so their open fails, and the search goes on with the next candidate.
TEST_P(SearchAndCommands, LoadAndWriteAreRefusedSilentlyDuringASearchWhileGetAndSetAreNot) {
  AddSilentPort("COM3");
  AddController("COM12");
  app::TForm1& form = Form();
  Click();
  ASSERT_TRUE(PumpUntil([&] { return form.SearchState == app::SearchProbe; }))
      << "COM3 was never opened";

  form.BitBtn3->Click();
  form.BitBtn4->Click();
  EXPECT_TRUE(dialogs_.Boxes.empty());
  EXPECT_EQ(form.Phase, app::PhaseIdle);
  EXPECT_FALSE(form.Timer1->Enabled());

  form.BitBtn8->Click();
  form.BitBtn7->Click();
  ASSERT_EQ(dialogs_.Boxes.size(), 2u) << "GET and SET did not both try to open the port";
  for (const auto& box : dialogs_.Boxes) {
    EXPECT_EQ(box.Text, "Can not open ");
    EXPECT_EQ(box.Caption, "Message");
  }
  EXPECT_NE(form.SearchState, app::SearchIdle) << "a command ended the search";

  ASSERT_TRUE(PumpUntil([&] { return form.SearchState == app::SearchIdle; }, 20000));
  EXPECT_EQ(trace_.back(), "idle Connect success(COM12) [" + LongPrefix() + "COM12]");
}

TEST_P(SearchAndCommands, ACommandAfterASuccessfulSearchUsesTheFoundPortWithoutReopening) {
  controller::ControllerState state;
  state.password = "4321";
  AddController("COM12", {}, state);
  RunSearch();
  ASSERT_EQ(trace_.back(), "idle Connect success(COM12) [" + LongPrefix() + "COM12]");
  app::TForm1& form = Form();
  const HANDLE found = form.Comm1->PortHandle();

  form.BitBtn8->Click();
  ASSERT_TRUE(PumpUntil([&] { return form.Edit2->Text() == "4321"; }))
      << "GET did not read the password; status: " << form.StatusBar1->Panel(0).Text();
  EXPECT_EQ(form.Comm1->PortHandle(), found);
  // A reopen would have opened the listed name verbatim, without the search's prefix.
  EXPECT_EQ(form.Comm1->CommName(), LongPrefix() + "COM12");
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

// A search clicked during a write drops the write, as a command would: from the click on, no
// frame of the write goes out, so none can reach a candidate or pass the probe's Accepted off as
// its own, and the status never says the write completed.
TEST_P(SearchAndCommands, ASearchStartedDuringAWriteDropsIt) {
  std::mutex lock;
  std::vector<std::string> log;
  AddController("COM12", {}, controller::GeneratedState(0), [&](const std::string& Line) {
    std::lock_guard guard(lock);
    log.push_back(Line);
  });
  const auto requests = [&](const std::string& Name) {
    std::lock_guard guard(lock);
    return std::count_if(log.begin(), log.end(), [&](const std::string& Line) {
      return Line.find("] <- ") != std::string::npos && Line.ends_with("  " + Name);
    });
  };
  const auto writeRequests = [&] { return requests("WriteSettings") + requests("WritePhones"); };
  RunSearch();
  app::TForm1& form = Form();
  int ticks = 0;
  const classlib::TNotifyEvent operation = form.Timer1->OnTimer();
  form.Timer1->SetOnTimer([&](classlib::TObject* Sender) {
    ++ticks;
    operation(Sender);
  });
  for (int slot = 1; slot <= 60; ++slot) {
    form.StringGrid1->SetCells(1, slot, "0177" + std::to_string(slot));
  }
  form.BitBtn4->Click();
  ASSERT_TRUE(PumpUntil([&] { return form.StatusBar1->Panel(0).Text() == "Write data:15"; }));
  // The frame of that tick has reached the controller; the next would take another tick.
  ASSERT_TRUE(PumpUntil([&] { return requests("WritePhones") == 3; }));
  const auto writtenBeforeTheClick = writeRequests();
  const int ticksAtTheClick = ticks;
  Click();
  ASSERT_TRUE(PumpUntil([&] { return form.SearchState == app::SearchIdle; }, 20000));
  EXPECT_EQ(trace_.back(), "idle Connect success(COM12) [" + LongPrefix() + "COM12]");
  ASSERT_TRUE(PumpUntil([&] { return ticks >= ticksAtTheClick + 3; }));
  EXPECT_NE(form.StatusBar1->Panel(0).Text(), "Write data complete...");
  EXPECT_EQ(form.Phase, app::PhaseIdle);

  // Whatever those ticks sent reaches the controller before the password request behind it.
  form.BitBtn8->Click();
  ASSERT_TRUE(PumpUntil([&] { return requests("GetPassword") == 1; }));
  EXPECT_EQ(writeRequests(), writtenBeforeTheClick);
}

// The far end of a port that answers the search's probe with Accepted and nothing else.
class ProbeOnlyAnswerer {
 public:
  explicit ProbeOnlyAnswerer(const controller::PtyPair& Pty)
      : pty_(Pty), notifier_(Pty.Master(), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
      received_ += app_test::Received(pty_);
      const app::ShortFrame frame = app::Probe();
      const std::string probe(frame.begin(), frame.end());
      for (std::size_t at; (at = received_.find(probe)) != std::string::npos;) {
        received_.erase(0, at + probe.size());
        const std::string accepted("\xAA\x20\x00\xEE", 4);
        ASSERT_EQ(::write(pty_.Master(), accepted.data(), accepted.size()),
                  static_cast<ssize_t>(accepted.size()));
      }
    });
  }

 private:
  const controller::PtyPair& pty_;
  QSocketNotifier notifier_;
  std::string received_;
};

// "SET" clicked as a search starts goes to the port still open and then to the candidate, which
// answer nothing but the probe: the probe's Accepted, arriving while the SET's frames are owed an
// answer, must not pass for the SET's. Timer1 ticks at the start of each search tick, so the
// frames go out at the same steps of the search in every run.
TEST_P(SearchAndCommands, ASetDuringASearchIsNotAcknowledgedByTheProbesAnswer) {
  ProbeOnlyAnswerer answerer(AddSilentPort("COM3"));
  RunSearch();
  ASSERT_EQ(trace_.back(), "idle Connect success(COM3) [COM3]");
  app::TForm1& form = Form();
  form.Edit2->SetText("4321");
  std::vector<std::string> texts;  // the status after each tick of Timer1
  bool clicked = false;
  BeforeTick = [&] {
    if (!clicked) {
      clicked = true;
      form.BitBtn7->Click();
      form.Timer1->SetEnabled(false);
    }
    if (form.Phase == app::PhaseSetPassword) {
      form.Timer1Timer(form.Timer1);
      texts.push_back(form.StatusBar1->Panel(0).Text());
    }
  };
  trace_.clear();
  RunSearch();
  EXPECT_EQ(trace_.back(), "idle Connect success(COM3) [COM3]");
  ASSERT_FALSE(texts.empty()) << "SET never ran";
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Set Psaaword Suecced!"), 0)
      << testing::PrintToString(texts);
  EXPECT_EQ(texts.back(), "Set Password failed!") << testing::PrintToString(texts);
  EXPECT_TRUE(dialogs_.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Editions, SearchAndCommands,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), app_test::EditionName);

}  // namespace
