// A full load and a full write of 1000 numbers between the edition 1.4 main window and the
// simulated controller at 9600 baud, each timed beside its floor:
//   load: the line time of every frame of the conversation, plus the 100 ms quiet interval after
//         each reply, which the reader waits out before it delivers the block; timed from the
//         first tick (the ReadRequest) to "Receiving completed.";
//   write: one 500 ms tick per phone frame, plus the ticks of the settings frame, of the move to
//          the phone numbers and of the completion; timed from the click, with Timer1 off before.
// Runs on the offscreen platform in a temporary platform root; takes about two minutes.
#include <stdlib.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/Edition.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "classlib/Application.h"
#include "controller/SimulatedController.h"
#include "tests/support/QtPump.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNumbers = 1000;
constexpr int kBaud = 9600;
constexpr double kByteMs = 10.0 * 1000.0 / kBaud;  // start bit, 8 data bits, stop bit
constexpr double kQuietMs = 100.0;
constexpr double kTickMs = 500.0;
constexpr int kRecordsPerReply = 15;
constexpr int kRecordsPerWrite = 5;

using qtpump::PumpUntil;

double Ms(Clock::duration D) {
  return std::chrono::duration<double, std::milli>(D).count();
}

// ReadRequest, SettingsReply, then a ReadAck and a PhonesReply of up to 15 records for each block
// of numbers, a last ReadAck and EndOfData.
double LoadFloorMs(int& Replies) {
  const int phoneReplies = (kNumbers + kRecordsPerReply - 1) / kRecordsPerReply;
  const int acks = phoneReplies + 1;
  const int bytes = 4 + 13 + acks * 4 + (phoneReplies * 4 + kNumbers * 16) + 4;
  Replies = 1 + phoneReplies + 1;
  return bytes * kByteMs + Replies * kQuietMs;
}

double WriteFloorMs(int& Ticks) {
  Ticks = (kNumbers + kRecordsPerWrite - 1) / kRecordsPerWrite + 3;
  return Ticks * kTickMs;
}

std::string Status() {
  return app::Form1->StatusBar1->Panel(0).Text();
}

}  // namespace

int main(int argc, char** argv) {
  char root[] = "/tmp/tavkel-bench-XXXXXX";
  if (mkdtemp(root) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("TAVKEL_ROOT", root, 1);
  // No sysfs ports: the controller is the only listed port, so it is the selected one.
  const std::filesystem::path sysfs = std::filesystem::path(root) / "sysfs";
  std::filesystem::create_directories(sysfs);
  setenv("TAVKEL_SYSFS_TTY", sysfs.c_str(), 1);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication qt(argc, argv);
  classlib::Application->Initialize();
  classlib::TScriptedDialogs dialogs;
  classlib::Application->SetDialogs(&dialogs);

  const controller::ControllerState state = controller::GeneratedState(kNumbers);
  controller::SimulatedController device(state, controller::LinkOptions{"COM9", kBaud, true});
  device.Start();
  int status = 0;
  {
    auto form1 = std::make_unique<app::TForm1>(nullptr, app::Tavkel14);
    app::Form1 = form1.get();
    auto form2 = std::make_unique<app::TForm2>(nullptr, app::Tavkel14);
    app::Form2 = form2.get();
    form1->Show();

    int replies = 0;
    const double loadFloor = LoadFloorMs(replies);
    const Clock::time_point click = Clock::now();
    form1->BitBtn3->Click();
    const bool ticked = PumpUntil([&] { return form1->TriesLeft < 3; }, 2000);
    const Clock::time_point firstTick = Clock::now();
    const bool loaded = ticked && PumpUntil([] { return Status() == "Receiving completed."; },
                                            static_cast<int>(loadFloor * 3));
    const double loadMs = Ms(Clock::now() - firstTick);
    bool complete = loaded;
    for (int slot = 1; complete && slot <= kNumbers; ++slot) {
      complete = form1->StringGrid1->Cells(1, slot) == state.phones.at(slot);
    }
    std::printf("load  %d numbers: %9.1f ms, floor %9.1f ms (%d replies), ratio %.3f%s\n", kNumbers,
                loadMs, loadFloor, replies, loadMs / loadFloor, complete ? "" : "  INCOMPLETE");
    std::printf("      click to first tick: %.1f ms\n", Ms(firstTick - click));

    int ticks = 0;
    const double writeFloor = WriteFloorMs(ticks);
    form1->Timer1->SetEnabled(false);
    const Clock::time_point start = Clock::now();
    form1->BitBtn4->Click();
    const bool written = PumpUntil([] { return Status() == "Write data complete..."; },
                                   static_cast<int>(writeFloor * 2));
    const double writeMs = Ms(Clock::now() - start);
    const bool same = written && device.State().phones == state.phones;
    std::printf("write %d numbers: %9.1f ms, floor %9.1f ms (%d ticks), ratio %.3f%s\n", kNumbers,
                writeMs, writeFloor, ticks, writeMs / writeFloor, same ? "" : "  MISMATCH");
    status = complete && same ? 0 : 1;
    app::Form2 = nullptr;
    app::Form1 = nullptr;
  }
  device.Stop();
  std::filesystem::remove_all(root);
  return status;
}
