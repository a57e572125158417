// The device operation sequencer: each tick of Timer1 performs at most one step of the current
// operation. It sends at most one frame, never waits, and decides when a frame is resent and when
// an operation has succeeded or failed. The reply decoder records what came back; its one say in
// the course of an operation is that a SettingsReply ends whatever runs.
#include <algorithm>
#include <cstring>

#include "app/Frames.h"
#include "app/Operation.h"
#include "app/Unit1.h"
#include "classlib/SysUtils.h"

namespace app {
namespace {

using classlib::IntToStr;

// Every frame of the sequencer is built in SendBuffer and sent from there, so a resend sends
// exactly what went out before.
template <class Frame>
void Hold(TForm1& Form, const Frame& Bytes) {
  static_assert(sizeof(Form.SendBuffer) >= kMaxFrameLength);
  std::copy(Bytes.begin(), Bytes.end(), Form.SendBuffer);
}

bool Send(TForm1& Form, std::size_t Count) {
  return Form.Comm1->SendData(Form.SendBuffer, static_cast<std::uint16_t>(Count));
}

// Sends a frame that the controller answers with Accepted or Refused: it owes one answer for it
// once the frame has gone out. One that SendData refused (the port closed, the writer not yet
// running) reaches no controller and is owed nothing; the sequencer counts it all the same, as a
// transmission that went unanswered.
void Transmit(TForm1& Form, std::size_t Count) {
  if (Send(Form, Count)) {
    Form.AnswersOwed.Transmitted();
  }
}

void End(TForm1& Form, const std::string& Text) {
  Form.Phase = PhaseIdle;
  ShowStatus(*Form.StatusBar1, Text);
}

void LoadRequestStep(TForm1& Form) {
  if (Form.TriesLeft <= 0) {
    End(Form, "Connection failure,Please try again.");
    return;
  }
  Hold(Form, ReadRequest());
  Send(Form, kShortFrameLength);
  --Form.TriesLeft;
  Form.PhonesReceived = 0;
}

// An Accepted counts only as the answer to a transmission of the settings frame: one that came
// before it answered something earlier. A relay-timeout text that no longer converts ends the
// write before anything is sent, since every later tick would fail the same way.
void WriteSettingsStep(TForm1& Form) {
  const bool sent = Form.TriesLeft < kTransmissionsPerFrame;
  if (sent && Form.ReplyKind == ReplyAccepted) {
    ShowStatus(*Form.StatusBar1, "Write telephone numbers...");
    Form.TriesLeft = kTransmissionsPerFrame;  // the go-ahead for the first phone frame
    Form.Phase = PhaseWritePhones;
    return;
  }
  if (sent) {
    if (Form.TriesLeft <= 0) {
      End(Form, "Write data failed, please try again...");
      return;
    }
    Transmit(Form, static_cast<std::size_t>(Form.SendLength));
    --Form.TriesLeft;
    return;
  }
  Form.ReplyKind = ReplyOther;
  std::memset(Form.SendBuffer, 0, sizeof(Form.SendBuffer));
  int relayTimeout = 0;
  if (!classlib::TryStrToInt(classlib::Trim(Form.Edit1->Text()), relayTimeout)) {
    End(Form, "Write data failed, please try again...");
    return;
  }
  Hold(Form, WriteSettings(relayTimeout, Form.CheckBox1->Checked()));
  Form.AnswersOwed.HoldNewFrame();
  Form.SendLength = kSettingsFrameLength;
  Transmit(Form, kSettingsFrameLength);
  --Form.TriesLeft;
  ShowStatus(*Form.StatusBar1, "Write parameters...");
}

// An Accepted is the go-ahead for the next frame. The first phone frame (TriesLeft still at its
// start value) needs none: the settings step saw the settings frame's Accepted, and no block that
// came since takes it back. The frame whose scan passed the last slot is awaited like every other,
// so completion is reported only once the controller has taken all of it. A scan that found no
// number sends nothing and holds no frame (SendLength 0): the write is complete at the next tick
// whatever arrives meanwhile, and no frame without a record is ever sent or resent. A Refused or
// EndOfData halts the resends, but for no longer than the frame's transmissions would have taken:
// then the write fails, as it does after an unanswered frame. A new frame waits while an answer is
// still owed for an earlier transmission: sent earlier, it would be taken for that answer's frame
// and so never have one of its own, and a frame the line lost would pass for acknowledged.
void WritePhonesStep(TForm1& Form) {
  const int lastSlot = Form.Edition().LastSlot;
  const bool goAhead = Form.ReplyKind == ReplyAccepted || Form.TriesLeft == kTransmissionsPerFrame;
  if (NextSlot > lastSlot && (goAhead || Form.SendLength == 0)) {
    End(Form, "Write data complete...");
    return;
  }
  if (!goAhead) {
    if (Form.ReplyKind == ReplyRefused || Form.ReplyKind == ReplyEndOfData) {
      if (++Form.TicksWaited >= kTransmissionsPerFrame) {
        End(Form, "Write data failed, please try again...");
      }
      return;
    }
    if (Form.TriesLeft <= 0) {
      End(Form, "Write data failed, please try again...");
      return;
    }
    Transmit(Form, static_cast<std::size_t>(Form.SendLength));
    --Form.TriesLeft;
    Form.TicksWaited = 0;
    ShowStatus(*Form.StatusBar1, "Repeat write datas:" + IntToStr(Form.PhonesSent));
    return;
  }
  if (Form.AnswersOwed.Owed()) {
    return;
  }
  std::memset(Form.SendBuffer, 0, sizeof(Form.SendBuffer));
  WritePhones frame;
  for (; NextSlot <= lastSlot && !frame.Full(); ++NextSlot) {
    const std::string number = Form.StringGrid1->Cells(1, NextSlot);
    if (!number.empty()) {
      frame.Add(static_cast<std::uint16_t>(NextSlot), number);
      ++Form.PhonesSent;
    }
  }
  if (frame.Count() == 0) {
    Form.SendLength = 0;
    return;
  }
  Hold(Form, frame.Bytes());
  Form.AnswersOwed.HoldNewFrame();
  Form.SendLength = static_cast<std::int32_t>(frame.Bytes().size());
  Transmit(Form, static_cast<std::size_t>(Form.SendLength));
  Form.ReplyKind = ReplyOther;
  Form.TriesLeft = kTransmissionsPerFrame - 1;
  Form.TicksWaited = 0;
  ShowStatus(*Form.StatusBar1, "Write data:" + IntToStr(Form.PhonesSent));
}

void GetPasswordStep(TForm1& Form) {
  Hold(Form, GetPassword());
  Send(Form, kShortFrameLength);
  End(Form, "Get Psaaword......");
}

// Each transmission rebuilds the frame from the password field; all of them are one frame to the
// answers owed. ReplyKind is cleared at the first one only, so an Accepted that answers any of
// them counts, while one owed by an earlier frame never does.
void SetPasswordStep(TForm1& Form) {
  const bool sent = Form.TriesLeft < kTransmissionsPerFrame;
  if (sent && Form.ReplyKind == ReplyAccepted) {
    End(Form, "Set Psaaword Suecced!");
    return;
  }
  if (Form.TriesLeft <= 0) {
    End(Form, "Set Password failed!");
  } else {
    if (!sent) {
      Form.ReplyKind = ReplyOther;
      Form.AnswersOwed.HoldNewFrame();
    }
    Hold(Form, SetPassword(Form.Edit2->Text()));
    Transmit(Form, kSetPasswordLength);
    ShowStatus(*Form.StatusBar1, "Set Password......");
  }
  --Form.TriesLeft;
}

}  // namespace

void TForm1::Timer1Timer(TObject*) {
  AnswersOwed.Tick();
  switch (Phase) {
    case PhaseLoad:
      LoadRequestStep(*this);
      break;
    case PhaseWriteSettings:
      WriteSettingsStep(*this);
      break;
    case PhaseWritePhones:
      WritePhonesStep(*this);
      break;
    case PhaseGetPassword:
      GetPasswordStep(*this);
      break;
    case PhaseSetPassword:
      SetPasswordStep(*this);
      break;
    default:
      break;
  }
}

}  // namespace app
