// The reply decoder: each block that Comm1 delivers is taken apart by itself as one frame and
// turned into changes of the operation state and of the window. A frame split over two blocks, or
// two frames in one, is not put together or apart. It keeps no state of its own: what lasts from
// block to block is in the operation state and in the answer ledger, which tells it what an
// Accepted or Refused answers. It does not look at Phase: every reply acts whatever operation
// runs, except that an Accepted during a port search counts for the search alone.
#include <array>
#include <cstring>
#include <span>

#include "app/Frames.h"
#include "app/Operation.h"
#include "app/Unit1.h"
#include "classlib/SysUtils.h"

namespace app {
namespace {

// Built in a buffer of its own, so the frame the sequencer holds for a resend stays intact.
void Acknowledge(TForm1& Form) {
  const ShortFrame ack = ReadAck();
  Form.Comm1->SendData(ack.data(), static_cast<std::uint16_t>(ack.size()));
}

// Takes over the controller's count, relay timeout and flag and ends whatever operation runs;
// from here on the controller paces the load. A count above the last slot is kept as it came:
// it marks a load that no count bounds (see TakePhones).
void TakeSettings(TForm1& Form, const ReplyView& Reply) {
  Form.Phase = PhaseIdle;
  Form.PhonesExpected = Reply.StoredCount();
  Form.Edit1->SetText(classlib::IntToStr(Reply.RelayTimeout()));
  Form.CheckBox1->SetChecked(Reply.ExternalDisconnection());
  Acknowledge(Form);
}

// Slot 0 is the header row; a slot beyond the last changes no row but is counted like any other.
// A count within the table bounds the load: once it is used up, the record in hand is still
// stored and the rest dropped. A controller that announced more numbers than the table holds
// has every record taken, so none that fits the table is lost.
void TakePhones(TForm1& Form, const ReplyView& Reply) {
  const int lastSlot = Form.Edition().LastSlot;
  const bool bounded = Form.PhonesExpected <= lastSlot;
  for (std::size_t k = 0; k < Reply.RecordCount(); ++k) {
    const std::uint16_t slot = Reply.RecordSlot(k);
    if (slot <= lastSlot) {
      Form.StringGrid1->SetCells(1, slot, Reply.RecordText(k));
    }
    if (bounded) {
      if (Form.PhonesExpected == 0) {
        break;
      }
      --Form.PhonesExpected;
    }
    ++Form.PhonesReceived;
  }
  Acknowledge(Form);
  ShowStatus(*Form.StatusBar1, "Receiving datas:" + classlib::IntToStr(Form.PhonesReceived));
}

// An Accepted or Refused tells the sequencer about the frame it holds only when it answers one of
// that frame's transmissions; one owed by an earlier frame, or by nothing, leaves ReplyKind as it
// was.
void TakeAnswer(TForm1& Form, TReplyKind Kind) {
  if (Form.AnswersOwed.Answer() == TAnswerLedger::TAnswerFor::HeldFrame) {
    Form.ReplyKind = Kind;
  }
}

// Line noise answers nothing: an Accepted taken for the held frame stands (through its resends too,
// until the sequencer clears ReplyKind for a new frame), while a Refused or EndOfData no longer
// halts the resends.
void TakeNoise(TForm1& Form) {
  if (Form.ReplyKind != ReplyAccepted) {
    Form.ReplyKind = ReplyOther;
  }
}

}  // namespace

// A block longer than ReplyBuffer cannot be one frame of the protocol (the longest is 244 bytes)
// and is ignored like any block that passes no test: decoding a cut-off copy would judge it by a
// last byte that was never copied.
void TForm1::Comm1ReceiveData(TObject*, const void* Buffer, std::uint16_t BufferLength) {
  std::array<BYTE, kMaxFrameLength> ReplyBuffer{};
  const std::size_t length = BufferLength;
  if (Buffer == nullptr || length == 0 || length > ReplyBuffer.size()) {
    TakeNoise(*this);
    return;
  }
  std::memcpy(ReplyBuffer.data(), Buffer, length);
  const ReplyView reply(std::span<const BYTE>(ReplyBuffer).first(length));
  switch (reply.Kind()) {
    case ReplyFrame::Accepted:
      // While a search runs, an Accepted is the probe's: a frame of a command that went to a
      // candidate, or to a port the search then closed, cannot be told from it and is not
      // acknowledged by it.
      DeviceAnswered = TRUE;
      if (SearchState == SearchIdle) {
        TakeAnswer(*this, ReplyAccepted);
      }
      break;
    case ReplyFrame::Refused:
      TakeAnswer(*this, ReplyRefused);
      break;
    case ReplyFrame::EndOfData:
      ReplyKind = ReplyEndOfData;
      ShowStatus(*StatusBar1, "Receiving completed.");
      break;
    case ReplyFrame::PasswordReply:
      ReplyKind = ReplyOther;
      Edit2->SetText(reply.PasswordText());
      ShowStatus(*StatusBar1, "Password Receiving completed.");
      break;
    case ReplyFrame::SettingsReply:
      ReplyKind = ReplyOther;
      TakeSettings(*this, reply);
      break;
    case ReplyFrame::PhonesReply:
      ReplyKind = ReplyOther;
      TakePhones(*this, reply);
      break;
    case ReplyFrame::None:
      TakeNoise(*this);
      break;
  }
}

}  // namespace app
