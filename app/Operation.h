// Values of the main window's operation and port-search state, shared by the device commands,
// the sequencer, the reply decoder and the port search, and ShowStatus, the one way the window
// writes its status bar.
#pragma once

#include <cstdint>
#include <string>

#include "classlib/ComCtrls.h"

namespace app {

// TForm1::Phase: the device operation that Timer1 carries out.
enum TPhase : std::int32_t {
  PhaseIdle = 0,
  PhaseLoad = 1,
  PhaseWriteSettings = 2,
  PhaseWritePhones = 3,
  PhaseGetPassword = 4,
  PhaseSetPassword = 5,
};

// TForm1::ReplyKind: what the last received block was.
enum TReplyKind : std::int32_t {
  ReplyOther = 0,
  ReplyAccepted = 1,
  ReplyRefused = 2,
  ReplyEndOfData = 8,
};

// TForm1::SearchState: the step that Timer2's next tick takes in the automatic port search.
enum TSearchState : std::int32_t {
  SearchIdle = 0,
  SearchRefresh = 1,
  SearchOpenNext = 2,
  SearchProbe = 3,
  SearchCheck = 4,
};

// Transmissions a frame of the sequencer may have; TriesLeft at this value means the current
// phase has sent nothing yet.
inline constexpr std::int32_t kTransmissionsPerFrame = 3;

// Progress and outcomes of the device operations, the port search and the port go to the status
// bar's single panel, each text replacing the last.
inline void ShowStatus(classlib::TStatusBar& Bar, const std::string& Text) {
  Bar.Panel(0).SetText(Text);
}

}  // namespace app
