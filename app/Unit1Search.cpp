// The automatic port search: Timer2 steps through the detected-port list, one step a tick, and
// keeps the first port whose controller answers the probe with Accepted. A tick never waits for
// the controller; the reply decoder sets DeviceAnswered in between, and the next tick looks.
#include <string>

#include "app/Frames.h"
#include "app/Operation.h"
#include "app/Unit1.h"
#include "app/Unit2.h"

namespace app {

namespace {

// The platform's open call reads "//./NAME" as NAME; edition 1.4 writes names of more than four
// characters that way.
constexpr std::size_t kLongestPlainName = 4;
constexpr const char* kDevicePrefix = "//./";

}  // namespace

// A search drops a running device operation, as a command does: its frames would go to whichever
// candidate is open, and the probe's Accepted would pass for their answer.
void TForm1::SpeedButton1Click(TObject*) {
  if (SearchState != SearchIdle) {
    return;
  }
  Phase = PhaseIdle;
  SearchState = SearchRefresh;
  Timer2->SetEnabled(true);
}

void TForm1::Timer2Timer(TObject*) {
  switch (SearchState) {
    case SearchRefresh:
      // A refresh that raises would raise again on every tick; the search ends instead, and the
      // error reaches the error box once.
      try {
        Form2->BitBtn2Click(Form2);
      } catch (...) {
        SearchState = SearchIdle;
        Timer2->SetEnabled(false);
        throw;
      }
      SearchIndex = 0;
      SearchState = SearchOpenNext;
      ShowStatus(*StatusBar1, "Connecting...");
      break;
    case SearchOpenNext:
      TryNextPort();
      break;
    case SearchProbe: {
      DeviceAnswered = FALSE;
      // The tick's own copy: the sequencer's SendBuffer may hold a frame it still has to resend.
      const ShortFrame probe = Probe();
      Comm1->SendData(probe.data(), static_cast<std::uint16_t>(probe.size()));
      SearchState = SearchCheck;
      break;
    }
    case SearchCheck:
      if (DeviceAnswered) {
        SearchState = SearchIdle;
        PortOpened = TRUE;
        Timer2->SetEnabled(false);
        // Taken from the selection, not read by index: should the port dialog's Refresh have
        // shortened the list meanwhile, nothing is selected and the status names nothing.
        Form2->ComboBox1->SetItemIndex(SearchIndex - 1);
        ShowStatus(*StatusBar1, "Connect success(" + Form2->ComboBox1->Text() + ")");
      } else {
        SearchState = SearchOpenNext;
        ClosePortAndForgetAnswers();
        PortOpened = FALSE;
      }
      break;
    default:
      break;
  }
}

// A candidate that cannot be opened (missing, busy) is expected: it costs its tick and nothing
// else, so every exception stops here without a message. SearchIndex moves on before the open,
// so a failed open leaves the search in SearchOpenNext with the next entry up.
void TForm1::TryNextPort() {
  try {
    classlib::TComboItems ports = Form2->ComboBox1->Items();
    if (SearchIndex >= ports.Count()) {
      ClosePortAndForgetAnswers();
      PortOpened = FALSE;
      SearchState = SearchIdle;
      Timer2->SetEnabled(false);
      ShowStatus(*StatusBar1, "No connection");
      return;
    }
    ClosePortAndForgetAnswers();
    PortOpened = FALSE;
    const std::string name = ports[SearchIndex];
    if (edition_.SearchPrefixesLongNames && name.size() > kLongestPlainName) {
      Comm1->SetCommName(kDevicePrefix + name);
    } else {
      Comm1->SetCommName(name);
    }
    ShowStatus(*StatusBar1, "Connect to " + name);
    ++SearchIndex;
    Comm1->OpenPort();
    SearchState = SearchProbe;
  } catch (...) {
  }
}

}  // namespace app
