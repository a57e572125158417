// The answers that the controller still owes the sequencer: one for each transmission of a frame
// that it answers with Accepted or Refused (the settings frame, each phone frame, each password
// frame) and that went out to an open port. The protocol numbers no frame, so an answer names
// nothing it answers. The controller answers in the order in which the frames reached it, so each
// answer is taken as the one owed longest; it acknowledges the frame the sequencer now holds only
// when no transmission of an earlier frame still waits for its answer. A controller that answers
// after the next tick (which resends the frame) answers both transmissions: the second answer is
// then owed by the frame that went out before, not by the next one, which may have been lost on
// the line. What this cannot tell apart: a controller that answers one transmission twice, or
// later than kWaitTicks ticks, has its extra or late answer taken for a later transmission.
#pragma once

#include <cstdint>
#include <deque>

namespace app {

class TAnswerLedger {
 public:
  // Ticks of Timer1 that a transmission stays owed an answer: it is forgotten at the third tick
  // after the one that sent it. The sequencer gives a frame up one tick after its last
  // transmission; the ledger goes on waiting, so that a late answer to that transmission is not
  // taken for the next operation's first frame.
  static constexpr std::uint32_t kWaitTicks = 3;

  enum class TAnswerFor {
    HeldFrame,     // a transmission of the frame now held
    EarlierFrame,  // a transmission of a frame held before it
    Nothing,       // no transmission waits for an answer: not one the controller owed
  };

  // Timer1 ticked: every transmission owed an answer has waited one tick more, and those that
  // have waited kWaitTicks are forgotten.
  void Tick();
  // From now on the sequencer holds a new frame; transmissions of earlier frames stay owed.
  void HoldNewFrame() { ++held_; }
  // The held frame went out.
  void Transmitted() { owed_.push_back({held_, now_}); }
  // The port closed: nothing that went out on it will be answered any more.
  void Forget() { owed_.clear(); }
  // An Accepted or Refused arrived: what it answers. Each transmission is owed one answer, so the
  // transmission it is taken for waits no more.
  TAnswerFor Answer();
  // True while a transmission still waits for its answer.
  bool Owed() const { return !owed_.empty(); }

 private:
  struct Transmission {
    std::uint32_t frame;
    std::uint32_t tick;
  };

  std::deque<Transmission> owed_;  // oldest first
  std::uint32_t held_ = 0;         // number of the frame now held
  std::uint32_t now_ = 0;          // ticks of Timer1 so far
};

}  // namespace app
