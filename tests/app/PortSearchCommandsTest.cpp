// The port search beside the device commands: which commands a running search holds back, and
// what a command finds after a search found the controller.
#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Editions, SearchAndCommands,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), app_test::EditionName);

}  // namespace
