// Fuzz target of the reply decoder: every input is one received block (1 to 2048 bytes, what the
// serial component can deliver), decoded by the main window of each edition in turn. The windows
// persist across inputs, so counts announced by one block govern the next ones, as in a load.
// Beyond AddressSanitizer's checks, the decoder must keep the operation state within its values.
// Everything the harness makes is freed by the time LeakSanitizer looks at exit, so a leak it
// reports is the decoder's.
#include <QApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>

#include "app/Edition.h"
#include "app/Frames.h"
#include "app/Operation.h"
#include "app/Unit1.h"
#include "classlib/Application.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

struct Windows {
  Windows() {
    char made[] = "/tmp/tavkel-fuzz-XXXXXX";
    if (mkdtemp(made) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    root = made;
    setenv("TAVKEL_ROOT", made, 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "DecoderFuzz";
    static char* argv[] = {name, nullptr};
    qt = new QApplication(argc, argv);
    classlib::Application->Initialize();
    classlib::Application->SetDialogs(&dialogs);
    forms[0] = std::make_unique<app::TForm1>(nullptr, app::Tavkel14);
    forms[1] = std::make_unique<app::TForm1>(nullptr, app::Tavkel13);
  }
  ~Windows() {
    forms[0].reset();
    forms[1].reset();
    classlib::Application->SetDialogs(nullptr);
    delete qt;
    std::error_code ignored;  // a root left behind in /tmp harms nothing
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
  QApplication* qt = nullptr;
  classlib::TScriptedDialogs dialogs;
  std::unique_ptr<app::TForm1> forms[2];
};

void Require(bool Holds, const char* What) {
  if (!Holds) {
    std::fprintf(stderr, "decoder invariant broken: %s\n", What);
    std::abort();
  }
}

// Made at the first input by the thread that runs the inputs, and freed when that thread ends (at
// exit, for libFuzzer's), or sooner by DecoderFuzzFinish. The owner is made after the thread's
// message queue, which the windows' components first use while they are made, so it goes before
// the queue does: the components still find their utility windows to give back.
std::unique_ptr<Windows>& TheWindows() {
  thread_local auto windows = std::make_unique<Windows>();
  return windows;
}

}  // namespace

// What the font library keeps while Qt is up, in a form LeakSanitizer takes for leaks. libFuzzer
// looks for leaks while the windows are up whenever an input leaves more blocks than it found.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" void DecoderFuzzFinish() {
  TheWindows().reset();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  Windows& windows = *TheWindows();
  if (Size == 0 || Size > 2048) {
    return 0;
  }
  for (auto& form : windows.forms) {
    const int last = form->Edition().LastSlot;
    const std::uint16_t expectedBefore = form->PhonesExpected;
    const std::int32_t receivedBefore = form->PhonesReceived;
    const bool settings =
        Size <= app::kMaxFrameLength &&
        app::ReplyView(std::span(Data, Size)).Kind() == app::ReplyFrame::SettingsReply;
    form->Comm1ReceiveData(form->Comm1, Data, static_cast<std::uint16_t>(Size));
    const app::TReplyKind kind = form->ReplyKind;
    Require(kind == app::ReplyOther || kind == app::ReplyAccepted || kind == app::ReplyRefused ||
                kind == app::ReplyEndOfData,
            "ReplyKind");
    Require(settings || form->PhonesExpected <= expectedBefore, "PhonesExpected only counts down");
    Require(form->PhonesReceived >= receivedBefore, "PhonesReceived only counts up");
    Require(form->StringGrid1->RowCount() == last + 1, "the table keeps its rows");
    Require(form->Phase >= app::PhaseIdle && form->Phase <= app::PhaseSetPassword, "Phase");
  }
  return 0;
}
