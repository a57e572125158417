// The automatic port search over pseudo-terminals: which ports it tries, in which order, in how
// many ticks, what a found port and an exhausted list leave behind, and which answers count.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QToolButton>

#include "PortSearchFixture.h"

namespace {

using app_test::PortSearchWindows;
using app_test::Received;

const std::string kProbe("\xAA\x11\x00\xEE", 4);

class PortSearch : public PortSearchWindows {};

TEST_P(PortSearch, TheFirstListedPortAnsweringIsFoundOnTheFourthTickAndStaysOpen) {
  AddController("COM9");
  controller::PtyPair& other = AddSilentPort("COM3");
  RunSearch();

  EXPECT_EQ(trace_, (Trace{"open Connecting...", "probe Connect to COM9 [COM9]",
                           "check Connect to COM9 [COM9]", "idle Connect success(COM9) [COM9]"}));
  const app::TForm1& form = Form();
  EXPECT_FALSE(form.Timer2->Enabled());
  EXPECT_TRUE(app::PortOpened);
  EXPECT_TRUE(form.DeviceAnswered);
  EXPECT_NE(form.Comm1->PortHandle(), nullptr);
  EXPECT_EQ(Detected().ItemIndex(), 0);
  EXPECT_EQ(Detected().Text(), "COM9");
  EXPECT_EQ(Received(other), "") << "a port after the one that answered was tried";
}

// Ports that cannot be opened cost one tick each; a port that opens costs three, and the long
// name is opened with the prefix in edition 1.4 only while the status shows it as listed.
TEST_P(PortSearch, OnlyTheLastPortAnsweringIsFoundAfterEveryEarlierOneWasTriedInOrder) {
  controller::PtyPair& first = AddSilentPort("COM3");
  AddRefusedPort("COM4");
  AddBusyPort("COM5");
  controller::PtyPair& fourth = AddSilentPort("COM10");
  AddController("COM12");
  RunSearch();

  const std::string com10 = " [" + LongPrefix() + "COM10]";
  const std::string com12 = " [" + LongPrefix() + "COM12]";
  EXPECT_EQ(trace_, (Trace{
                        "open Connecting...",
                        "probe Connect to COM3 [COM3]",
                        "check Connect to COM3 [COM3]",
                        "open Connect to COM3",
                        "open Connect to COM4",
                        "open Connect to COM5",
                        "probe Connect to COM10" + com10,
                        "check Connect to COM10" + com10,
                        "open Connect to COM10",
                        "probe Connect to COM12" + com12,
                        "check Connect to COM12" + com12,
                        "idle Connect success(COM12)" + com12,
                    }));
  EXPECT_EQ(Received(first), kProbe);
  EXPECT_EQ(Received(fourth), kProbe);
  EXPECT_EQ(Detected().ItemIndex(), 4);
  EXPECT_TRUE(app::PortOpened);
}

TEST_P(PortSearch, AnEmptyListEndsWithNoConnectionOnTheSecondTick) {
  RunSearch();
  EXPECT_EQ(trace_, (Trace{"open Connecting...", "idle No connection"}));
  EXPECT_FALSE(Form().Timer2->Enabled());
  EXPECT_FALSE(app::PortOpened);
}

// Each row searches again over the same controller with other knobs. The late answer comes last:
// its reply may still be on the line when the next search opens the port.
TEST_P(PortSearch, AnAnswerThatIsNotAcceptedWithinOneTickDoesNotCount) {
  controller::SimulatedController& simulated = AddController("COM12");
  struct Row {
    const char* what;
    void (*set)(controller::Knobs&);
  };
  const Row rows[] = {
      {"Refused", [](controller::Knobs& k) { k.answer.refuse = true; }},
      {"garbage", [](controller::Knobs& k) { k.garbage = true; }},
      {"too late", [](controller::Knobs& k) { k.delay = std::chrono::milliseconds(400); }},
  };
  const std::string com12 = " [" + LongPrefix() + "COM12]";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    controller::Knobs knobs;
    row.set(knobs);
    simulated.SetKnobs(knobs);
    trace_.clear();
    RunSearch();
    EXPECT_EQ(trace_, (Trace{"open Connecting...", "probe Connect to COM12" + com12,
                             "check Connect to COM12" + com12, "open Connect to COM12",
                             "idle No connection"}));
    EXPECT_FALSE(app::PortOpened);
    EXPECT_EQ(Form().Comm1->PortHandle(), nullptr);
    EXPECT_EQ(Detected().ItemIndex(), -1) << "an entry is selected after No connection";
  }
}

TEST_P(PortSearch, AClickDuringASearchIsIgnoredAndOneWhenIdleStartsAfresh) {
  AddSilentPort("COM3");
  BeforeTick = [this] { Click(); };
  RunSearch();
  EXPECT_EQ(trace_,
            (Trace{"open Connecting...", "probe Connect to COM3 [COM3]",
                   "check Connect to COM3 [COM3]", "open Connect to COM3", "idle No connection"}));

  BeforeTick = nullptr;
  AddController("COM7");
  trace_.clear();
  RunSearch();
  ASSERT_FALSE(trace_.empty());
  EXPECT_EQ(trace_.front(), "open Connecting...");
  EXPECT_EQ(trace_.back(), "idle Connect success(COM7) [COM7]");
  EXPECT_EQ(Detected().Items().Count(), 2) << "the second search did not refresh the list";
  EXPECT_EQ(Detected().ItemIndex(), 1);
}

// A refresh that raises would raise again on every tick; the search ends at once instead.
TEST_P(PortSearch, ARefreshThatFailsEndsTheSearchAndReportsOnce) {
  AddSilentPort("COM3");
  platform::AddSerialCommTestValue("\\Device\\Odd", REG_DWORD, {1, 0, 0, 0});
  const std::string before = Form().StatusBar1->Panel(0).Text();
  RunSearch();

  EXPECT_EQ(trace_, (Trace{"idle " + before}));
  EXPECT_FALSE(Form().Timer2->Enabled());
  ASSERT_EQ(dialogs_.Boxes.size(), 1u);
  EXPECT_NE(dialogs_.Boxes[0].Text.find("Invalid data type for '\\Device\\Odd'"), std::string::npos)
      << dialogs_.Boxes[0].Text;

  platform::ClearSerialCommTestValues();
  RunSearch();
  EXPECT_EQ(trace_.back(), "idle No connection") << "the search could not start again";
}

TEST_P(PortSearch, TheSpeedButtonShowsAComputerWithAGreyedImage) {
  EXPECT_EQ(Form().SpeedButton1->Hint(), "Connected device");
  const QIcon icon = static_cast<QToolButton*>(Form().SpeedButton1->Widget())->icon();
  const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
  const QImage greyed = icon.pixmap(16, 16, QIcon::Disabled).toImage();
  ASSERT_EQ(normal.size(), QSize(16, 16));
  ASSERT_EQ(greyed.size(), QSize(16, 16));
  int painted = 0;
  bool coloured = false;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const QColor n = normal.pixelColor(x, y);
      const QColor g = greyed.pixelColor(x, y);
      ASSERT_EQ(n.alpha(), g.alpha())
          << "the greyed image has another outline at " << x << "," << y;
      if (n.alpha() == 0) {
        continue;
      }
      ++painted;
      coloured = coloured || n.red() != n.green() || n.green() != n.blue();
      EXPECT_TRUE(g.red() == g.green() && g.green() == g.blue()) << x << "," << y;
    }
  }
  EXPECT_GT(painted, 64) << "hardly a picture";
  EXPECT_TRUE(coloured) << "the normal image is grey too";
}

INSTANTIATE_TEST_SUITE_P(Editions, PortSearch, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace
