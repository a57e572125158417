// The four device commands. A click only prepares an operation: it checks its guard and what must
// be valid at the click, makes sure the port is open, gives the operation state its start values
// and switches Timer1 on. It never sends; the sequencer's next tick does.
#include <exception>

#include "app/Operation.h"
#include "app/Unit1.h"
#include "classlib/Application.h"
#include "classlib/SysUtils.h"

namespace app {
namespace {

using classlib::Abort;

constexpr int kMaxRelayTimeout = 59999;

void ShowInputError(const std::string& Text) {
  classlib::Application->MessageBox(Text, "Message", MB_OK | MB_ICONERROR);
}

// Runs Steps, which start with EnsurePortOpen, as one protected block: a failure anywhere in it
// ends the command at that step with the port-open failure box, and what ran before stays done.
template <class F>
void Protected(TForm1& Form, F&& Steps) {
  try {
    Steps();
  } catch (const std::exception&) {
    Form.ShowPortOpenFailure();
  }
}

}  // namespace

// "Load From Device".
void TForm1::BitBtn3Click(TObject*) {
  if (SearchState != SearchIdle) {
    Abort();
  }
  Protected(*this, [this] {
    EnsurePortOpen();
    for (int slot = 1; slot <= edition_.LastSlot; ++slot) {
      StringGrid1->SetCells(1, slot, "");
    }
    Timer1->SetEnabled(true);
    Phase = PhaseLoad;
    TriesLeft = kTransmissionsPerFrame;
    ShowStatus(*StatusBar1, "Communications...");
  });
}

// "Write To Device". The converted timeout is not kept: the settings frame reads Edit1 again.
// No lower bound is tested here.
void TForm1::BitBtn4Click(TObject*) {
  if (SearchState != SearchIdle) {
    Abort();
  }
  int relayTimeout = 0;
  if (!classlib::TryStrToInt(classlib::Trim(Edit1->Text()), relayTimeout)) {
    ShowInputError("Please enter the digital.");
    Abort();
  }
  if (relayTimeout > kMaxRelayTimeout) {
    ShowInputError("Relay TimeOut more than 59 seconds.");
    return;
  }
  PhonesSent = 0;
  Protected(*this, [this] {
    EnsurePortOpen();
    Timer1->SetEnabled(true);
    Phase = PhaseWriteSettings;
    NextSlot = 1;
    ReplyKind = ReplyOther;
    TriesLeft = kTransmissionsPerFrame;
    ShowStatus(*StatusBar1, "Communications...");
  });
}

// "SET": the password field is examined only when each frame is built.
void TForm1::BitBtn7Click(TObject*) {
  Protected(*this, [this] {
    EnsurePortOpen();
    ReplyKind = ReplyOther;
    Phase = PhaseSetPassword;
    TriesLeft = kTransmissionsPerFrame;
    Timer1->SetEnabled(true);
  });
}

// "GET": its request goes out once, so TriesLeft and ReplyKind are left as they are.
void TForm1::BitBtn8Click(TObject*) {
  Protected(*this, [this] {
    EnsurePortOpen();
    Phase = PhaseGetPassword;
    Timer1->SetEnabled(true);
  });
}

}  // namespace app
