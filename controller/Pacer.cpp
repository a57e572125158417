#include "Pacer.h"

#include <algorithm>

namespace controller {

Pacer::Pacer(int baud)
    : byteTime_(std::chrono::duration_cast<Clock::duration>(
          std::chrono::nanoseconds(10'000'000'000LL / std::max(baud, 1)))),
      group_(std::max<std::size_t>(1, static_cast<std::size_t>(std::max(baud, 1)) / 2000)) {}

void Pacer::Queue(Bytes bytes, Clock::time_point earliest, Clock::duration gap) {
  if (bytes.empty()) {
    return;
  }
  Clock::time_point start = earliest;
  if (lastEnd_) {
    start = std::max(start, *lastEnd_ + gap);
  }
  lastEnd_ = start + byteTime_ * static_cast<long>(bytes.size());
  bursts_.push_back({std::move(bytes), start});
}

std::span<const std::uint8_t> Pacer::Due(Clock::time_point now) const {
  if (bursts_.empty()) {
    return {};
  }
  const Burst& burst = bursts_.front();
  if (now < burst.start) {
    return {};
  }
  const auto elapsed = static_cast<std::size_t>((now - burst.start) / byteTime_) + 1;
  const std::size_t due = std::min(elapsed, burst.bytes.size());
  if (due <= burst.sent) {
    return {};
  }
  return std::span(burst.bytes).subspan(burst.sent, due - burst.sent);
}

void Pacer::Consume(std::size_t n) {
  Burst& burst = bursts_.front();
  burst.sent += n;
  if (burst.sent >= burst.bytes.size()) {
    bursts_.pop_front();
  }
}

std::optional<Clock::time_point> Pacer::NextWake() const {
  if (bursts_.empty()) {
    return std::nullopt;
  }
  const Burst& burst = bursts_.front();
  const std::size_t last = std::min(burst.sent + group_ - 1, burst.bytes.size() - 1);
  return DueAt(burst, last);
}

}  // namespace controller
