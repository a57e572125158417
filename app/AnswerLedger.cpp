#include "app/AnswerLedger.h"

namespace app {

void TAnswerLedger::Transmitted() {
  GiveUp();
  owed_.push_back({held_, now_});
}

TAnswerLedger::TAnswerFor TAnswerLedger::Answer() {
  GiveUp();
  if (owed_.empty()) {
    return TAnswerFor::Nothing;
  }
  const std::uint32_t frame = owed_.front().frame;
  owed_.pop_front();
  return frame == held_ ? TAnswerFor::HeldFrame : TAnswerFor::EarlierFrame;
}

bool TAnswerLedger::Owed() {
  GiveUp();
  return !owed_.empty();
}

// Unsigned differences keep the age right across a wrap of the tick count.
void TAnswerLedger::GiveUp() {
  while (!owed_.empty() && now_ - owed_.front().tick >= kWaitTicks) {
    owed_.pop_front();
  }
}

}  // namespace app
