// Times "Write To File..." and "Load From File..." of the main window (edition 1.4) with all 1000
// slots holding a number: the handlers themselves, dialogs answered from a script, on the
// offscreen platform with a temporary platform root and data file.
#include <stdlib.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "classlib/Application.h"
#include "classlib/SysUtils.h"
#include "platform/Files.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 7;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void FillEverySlot(app::TForm1& form) {
  for (int slot = 1; slot <= form.Edition().LastSlot; ++slot) {
    form.StringGrid1->SetCells(1, slot, "+7900" + classlib::IntToStr(1000000 + slot));
  }
  form.Edit1->SetText("5000");
}

bool EverySlotBack(app::TForm1& form) {
  for (int slot = 1; slot <= form.Edition().LastSlot; ++slot) {
    if (form.StringGrid1->Cells(1, slot) != "+7900" + classlib::IntToStr(1000000 + slot)) {
      return false;
    }
  }
  return form.Edit1->Text() == "5000";
}

int Run(const std::string& dir) {
  classlib::Application->Initialize();
  classlib::TScriptedDialogs dialogs;
  classlib::Application->SetDialogs(&dialogs);
  app::TForm1 form1(nullptr, app::Tavkel14);
  app::Form1 = &form1;
  app::TForm2 form2(nullptr, app::Tavkel14);
  app::Form2 = &form2;
  form1.Show();
  FillEverySlot(form1);

  // The first write goes through the template copy and sets the work file.
  dialogs.FileAnswers.push_back(dir + "/bench");
  auto start = Clock::now();
  form1.BitBtn2Click(nullptr);
  const double firstWrite = Milliseconds(Clock::now() - start);
  const std::string path = dir + "/bench.mdb";
  if (form1.Label3->Caption() != path) {
    std::fprintf(stderr, "the first write did not set the work file\n");
    return 1;
  }
  std::printf("first write, template copy included: %.2f ms\n", firstWrite);

  std::vector<double> saves;
  std::vector<double> loads;
  for (int round = 1; round <= kRounds; ++round) {
    FillEverySlot(form1);
    start = Clock::now();
    form1.BitBtn2Click(nullptr);
    const auto saved = Clock::now();
    dialogs.FileAnswers.push_back(path);
    form1.BitBtn1Click(nullptr);
    const auto loaded = Clock::now();
    if (!EverySlotBack(form1)) {
      std::fprintf(stderr, "round %d: the load did not restore every slot\n", round);
      return 1;
    }
    saves.push_back(Milliseconds(saved - start));
    loads.push_back(Milliseconds(loaded - saved));
    std::printf("round %d: save of 1000 numbers %.2f ms, load %.2f ms\n", round, saves.back(),
                loads.back());
  }
  std::printf("median of %d rounds: save %.2f ms, load %.2f ms (goal: under 50 ms each)\n", kRounds,
              Median(saves), Median(loads));
  app::Form2 = nullptr;
  app::Form1 = nullptr;
  classlib::Application->SetDialogs(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Ended before the statics: a Qt application left to the application object's destructor would
  // outlive Qt's own globals.
  QApplication qt(argc, argv);
  std::string dir = (std::filesystem::temp_directory_path() / "tavkel-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  ::setenv("TAVKEL_ROOT", dir.c_str(), 1);
  int status = 1;
  try {
    status = Run(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return status;
}
