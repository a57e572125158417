#include "app/AnswerLedger.h"

namespace app {

void TAnswerLedger::Transmitted(std::uint32_t Tick) {
  GiveUp(Tick);
  owed_.push_back({held_, Tick});
}

TAnswerLedger::TAnswerFor TAnswerLedger::Answer(std::uint32_t Tick) {
  GiveUp(Tick);
  if (owed_.empty()) {
    return TAnswerFor::Nothing;
  }
  const std::uint32_t frame = owed_.front().frame;
  owed_.pop_front();
  return frame == held_ ? TAnswerFor::HeldFrame : TAnswerFor::EarlierFrame;
}

bool TAnswerLedger::Owed(std::uint32_t Tick) {
  GiveUp(Tick);
  return !owed_.empty();
}

// Unsigned differences keep the age right across a wrap of the tick count.
void TAnswerLedger::GiveUp(std::uint32_t Tick) {
  while (!owed_.empty() && Tick - owed_.front().tick >= kWaitTicks) {
    owed_.pop_front();
  }
}

}  // namespace app
