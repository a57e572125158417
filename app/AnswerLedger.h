// The answers that the controller still owes the sequencer: one for each transmission of a frame
// that it answers with Accepted or Refused (the settings frame, each phone frame, each password
// frame). The protocol numbers no frame, so an answer names nothing it answers. The controller
// answers in the order in which the frames reached it, so each answer is taken as the one owed
// longest; it acknowledges the frame the sequencer now holds only when no transmission of an
// earlier frame still waits for its answer. A controller that answers after the next tick (which
// resends the frame) answers both transmissions: the second answer is then owed by the frame that
// went out before, not by the next one, which may have been lost on the line.
#pragma once

#include <cstdint>
#include <deque>

namespace app {

class TAnswerLedger {
 public:
  // Ticks of Timer1 that the tool waits for the answer to one transmission: as many as a frame
  // waits for its answer before it is given up. An answer owed longer counts as lost.
  static constexpr std::uint32_t kWaitTicks = 3;

  enum class TAnswerFor {
    HeldFrame,     // a transmission of the frame now held
    EarlierFrame,  // a transmission of a frame held before it
    Nothing,       // no transmission waits for an answer: not one the controller owed
  };

  // Timer1 ticked: every transmission owed an answer has waited one tick more.
  void Tick() { ++now_; }
  // From now on the sequencer holds a new frame; transmissions of earlier frames stay owed.
  void HoldNewFrame() { ++held_; }
  // The held frame went out.
  void Transmitted();
  // An Accepted or Refused arrived: what it answers. Each transmission is owed one answer, so the
  // transmission it is taken for waits no more.
  TAnswerFor Answer();
  // True while a transmission still waits for its answer.
  bool Owed();

 private:
  struct Transmission {
    std::uint32_t frame;
    std::uint32_t tick;
  };
  // Forgets the transmissions that have waited kWaitTicks ticks or more.
  void GiveUp();

  std::deque<Transmission> owed_;  // oldest first
  std::uint32_t held_ = 0;         // number of the frame now held
  std::uint32_t now_ = 0;          // ticks of Timer1 so far
};

}  // namespace app
