#include "Framer.h"

namespace controller {

void Framer::Feed(std::span<const std::uint8_t> bytes, Clock::time_point now,
                  std::vector<FramerEvent>& out) {
  Expire(now, out);
  if (!bytes.empty()) {
    last_ = now;
  }
  for (const std::uint8_t byte : bytes) {
    Take(byte, out);
  }
}

void Framer::Expire(Clock::time_point now, std::vector<FramerEvent>& out) {
  const auto deadline = Deadline();
  if (!deadline || now < *deadline) {
    return;
  }
  FlushJunk(out);
  if (!frame_.empty()) {
    Drop("incomplete frame abandoned", out);
  }
}

std::optional<Clock::time_point> Framer::Deadline() const {
  if (frame_.empty() && junk_.empty()) {
    return std::nullopt;
  }
  return last_ + kAbandonAfter + std::chrono::milliseconds(1);
}

void Framer::Reset() {
  frame_.clear();
  junk_.clear();
  expected_ = 0;
}

void Framer::Take(std::uint8_t byte, std::vector<FramerEvent>& out) {
  if (frame_.empty()) {
    if (byte != kStart) {
      junk_.push_back(byte);
      if (junk_.size() == kJunkReportSize) {
        FlushJunk(out);
      }
      return;
    }
    FlushJunk(out);
  }
  frame_.push_back(byte);
  if (frame_.size() == 3) {
    const auto length = RequestLength(frame_[1], frame_[2]);
    if (!length) {
      Drop("unknown code or bad length", out);
      return;
    }
    expected_ = *length;
  }
  if (expected_ != 0 && frame_.size() == expected_) {
    std::string why;
    auto request = ParseRequest(frame_, &why);
    if (!request) {
      Drop(std::move(why), out);
      return;
    }
    out.push_back({FramerEvent::Kind::Request, std::move(frame_), std::move(request), {}});
    frame_.clear();
    expected_ = 0;
  }
}

void Framer::FlushJunk(std::vector<FramerEvent>& out) {
  if (!junk_.empty()) {
    out.push_back({FramerEvent::Kind::Junk, std::move(junk_), std::nullopt, {}});
    junk_.clear();
  }
}

void Framer::Drop(std::string why, std::vector<FramerEvent>& out) {
  out.push_back({FramerEvent::Kind::Malformed, std::move(frame_), std::nullopt, std::move(why)});
  frame_.clear();
  expected_ = 0;
}

}  // namespace controller
