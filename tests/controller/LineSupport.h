// The tool's end of the line in tests: the pty slave opened as a plain raw descriptor, read the
// way the tool's serial port reads (a block ends when the line has been quiet for 100 ms). Every
// wait has a deadline.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "controller/Protocol.h"

namespace testline {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Block {
  controller::Bytes bytes;
  Clock::time_point first;  // when the first byte was read
  Clock::time_point last;   // when the last byte was read
  Clock::duration widestGap{};
};

class TestLine {
 public:
  explicit TestLine(const std::string& path);
  ~TestLine();
  TestLine(const TestLine&) = delete;
  TestLine& operator=(const TestLine&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  // Writes all of bytes; sentAt() is when the last byte was handed to the line.
  void Send(const controller::Bytes& bytes);
  Clock::time_point SentAt() const { return sentAt_; }

  // Waits up to firstByte for a byte, then reads until the line is quiet for longer than quiet.
  // nullopt when nothing came in time.
  std::optional<Block> ReadBlock(milliseconds firstByte, milliseconds quiet = milliseconds(100));

  // Sends request and reads its answer as one block; empty when none came within a second.
  controller::Bytes Exchange(const controller::Bytes& request);

  // Waits until the far end hangs up; false when timeout passes first.
  bool WaitForHangUp(milliseconds timeout);

 private:
  int fd_ = -1;
  Clock::time_point sentAt_{};
};

}  // namespace testline
