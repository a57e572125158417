// The port search beside the device commands: which commands a running search holds back, and
// what a command finds after a search found the controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "PortSearchFixture.h"

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

// A search clicked during a write drops the write, as a command would: once the search has
// started, no frame of the write goes out, so none can reach a candidate or pass the probe's
// Accepted off as its own, and the status never says the write completed.
TEST_P(SearchAndCommands, ASearchStartedDuringAWriteDropsIt) {
  std::mutex lock;
  std::vector<std::string> log;
  AddController("COM12", {}, controller::GeneratedState(0), [&](const std::string& Line) {
    std::lock_guard guard(lock);
    log.push_back(Line);
  });
  RunSearch();
  app::TForm1& form = Form();
  for (int slot = 1; slot <= 60; ++slot) {
    form.StringGrid1->SetCells(1, slot, "0177" + std::to_string(slot));
  }
  form.BitBtn4->Click();
  ASSERT_TRUE(PumpUntil([&] { return form.StatusBar1->Panel(0).Text() == "Write data:15"; }));
  Click();
  ASSERT_TRUE(PumpUntil([&] { return form.SearchState == app::SearchIdle; }, 20000));
  EXPECT_EQ(trace_.back(), "idle Connect success(COM12) [" + LongPrefix() + "COM12]");
  // Long enough for three more ticks of the write, had it gone on.
  PumpUntil([&] { return form.StatusBar1->Panel(0).Text() == "Write data complete..."; }, 2000);
  EXPECT_NE(form.StatusBar1->Panel(0).Text(), "Write data complete...");
  EXPECT_EQ(form.Phase, app::PhaseIdle);

  std::lock_guard guard(lock);
  const auto isRequest = [](const std::string& Line, const std::string& Name) {
    return Line.find("] <- ") != std::string::npos && Line.ends_with("  " + Name);
  };
  const auto write = std::find_if(
      log.begin(), log.end(), [&](const auto& Line) { return isRequest(Line, "WriteSettings"); });
  const auto probe =
      std::find_if(write, log.end(), [&](const auto& Line) { return isRequest(Line, "Probe"); });
  ASSERT_NE(probe, log.end()) << "the search sent no probe";
  for (auto line = probe; line != log.end(); ++line) {
    EXPECT_FALSE(isRequest(*line, "WritePhones") || isRequest(*line, "WriteSettings")) << *line;
  }
}

INSTANTIATE_TEST_SUITE_P(Editions, SearchAndCommands,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), app_test::EditionName);

}  // namespace
