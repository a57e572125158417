#include "app/AnswerLedger.h"

namespace app {

// Unsigned differences keep the age right across a wrap of the tick count.
void TAnswerLedger::Tick() {
  ++now_;
  while (!owed_.empty() && now_ - owed_.front().tick >= kWaitTicks) {
    owed_.pop_front();
  }
}

TAnswerLedger::TAnswerFor TAnswerLedger::Answer() {
  if (owed_.empty()) {
    return TAnswerFor::Nothing;
  }
  const std::uint32_t frame = owed_.front().frame;
  owed_.pop_front();
  return frame == held_ ? TAnswerFor::HeldFrame : TAnswerFor::EarlierFrame;
}

}  // namespace app
