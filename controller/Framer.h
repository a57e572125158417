// Cuts the byte stream from the line into requests. A frame starts at AA; its first three bytes
// decide its whole length (RequestLength), so a complete frame is taken the moment its last byte
// arrives. A frame left incomplete for longer than the line's quiet time, a frame of the wrong
// shape, and bytes outside any frame are reported for the log and otherwise dropped.
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Protocol.h"

namespace controller {

using Clock = std::chrono::steady_clock;

struct FramerEvent {
  enum class Kind { Request, Malformed, Junk };
  Kind kind;
  Bytes bytes;                     // the bytes this event covers, as received
  std::optional<Request> request;  // set for Kind::Request
  std::string why;                 // set for Kind::Malformed
};

class Framer {
 public:
  // The tool sends each request in one go; a frame idle this long is abandoned.
  static constexpr std::chrono::milliseconds kAbandonAfter{100};

  // Takes bytes that arrived at now; appends what they completed to out.
  void Feed(std::span<const std::uint8_t> bytes, Clock::time_point now,
            std::vector<FramerEvent>& out);

  // Gives up an incomplete frame, and reports pending stray bytes, once the line has been idle
  // for longer than kAbandonAfter.
  void Expire(Clock::time_point now, std::vector<FramerEvent>& out);

  // When Expire next has something to do; nullopt when nothing is pending.
  std::optional<Clock::time_point> Deadline() const;

  void Reset();

 private:
  static constexpr std::size_t kJunkReportSize = 64;  // bounds one log line of stray bytes

  void Take(std::uint8_t byte, std::vector<FramerEvent>& out);
  void FlushJunk(std::vector<FramerEvent>& out);
  void Drop(std::string why, std::vector<FramerEvent>& out);

  Bytes frame_;               // the frame in progress, from its AA on
  std::size_t expected_ = 0;  // its whole length once three bytes are in, else 0
  Bytes junk_;                // stray bytes not yet reported
  Clock::time_point last_{};  // when the last byte arrived
};

}  // namespace controller
