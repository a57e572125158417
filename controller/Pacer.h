// Paces outgoing bursts at the line's speed: byte i of a burst is due at the burst's start plus i
// byte times (10 bits a byte: start, 8 data, stop). Bytes are handed out in small groups, about
// 5 ms of line time each, so a burst has no pause inside it near the tool's 100 ms read interval
// and the link never busy-waits. Pure: the caller supplies the time.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <span>

#include "Framer.h"
#include "Protocol.h"

namespace controller {

class Pacer {
 public:
  explicit Pacer(int baud);

  Clock::duration ByteTime() const { return byteTime_; }

  // Queues a burst that starts no earlier than earliest and no earlier than gap after the end of
  // the burst queued before it.
  void Queue(Bytes bytes, Clock::time_point earliest, Clock::duration gap);

  // The bytes of the current burst that are due by now and not yet consumed; empty when none.
  std::span<const std::uint8_t> Due(Clock::time_point now) const;

  // n bytes of Due() went out.
  void Consume(std::size_t n);

  // When the next group of bytes becomes due; nullopt when nothing is queued.
  std::optional<Clock::time_point> NextWake() const;

  bool Empty() const { return bursts_.empty(); }
  void Clear() { bursts_.clear(); }

 private:
  struct Burst {
    Bytes bytes;
    Clock::time_point start;
    std::size_t sent = 0;
  };

  Clock::time_point DueAt(const Burst& burst, std::size_t index) const {
    return burst.start + byteTime_ * static_cast<long>(index);
  }

  Clock::duration byteTime_;
  std::size_t group_;  // bytes handed out per wake
  std::deque<Burst> bursts_;
  std::optional<Clock::time_point> lastEnd_;  // nominal end of the last queued burst
};

}  // namespace controller
