// Read timing over a real pseudo-terminal: the device under test must follow the stored
// time-outs; the test only writes bursts from the master side.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "SerialTestSupport.h"

namespace {

using namespace serialtest;

class ReadTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    device = OpenDevice(pty.SlavePath());
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override { CloseHandle(device); }

  // Starts a read of size bytes into buffer; true when it is left pending.
  bool StartRead(Op& op, std::vector<char>& buffer, DWORD size) {
    buffer.assign(size, 0);
    if (ReadFile(device, buffer.data(), size, nullptr, &op.record)) {
      return false;
    }
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    return true;
  }

  // Reads one block the way the component's reader does (2048 bytes, overlapped) and returns it.
  std::string ReadBlock(std::chrono::milliseconds bound = 5s) {
    Op op;
    std::vector<char> buffer;
    StartRead(op, buffer, 2048);
    if (!op.Finished(bound)) {
      ADD_FAILURE() << "the read did not complete within the bound";
      PurgeComm(device, PURGE_RXABORT);
      return {};
    }
    const Outcome outcome = ResultOf(device, op);
    EXPECT_EQ(outcome.error, ERROR_SUCCESS);
    return std::string(buffer.data(), outcome.bytes);
  }

  TempRoot root;
  Pty pty;
  HANDLE device = INVALID_HANDLE_VALUE;
};

std::string Burst(std::size_t size, char first = 0) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) {
    bytes.push_back(static_cast<char>(first + static_cast<char>(i % 251)));
  }
  return bytes;
}

TEST_F(ReadTiming, BurstFollowedBySilenceCompletesOneReadAfterTheInterval) {
  ASSERT_TRUE(SetTimeouts(device, 100));
  Op op;
  std::vector<char> buffer;
  ASSERT_TRUE(StartRead(op, buffer, 2048));
  EXPECT_FALSE(op.Signalled(150)) << "the read ended before its first byte";
  const std::string burst = Burst(84);
  pty.Send(burst);
  const auto sent = Clock::now();
  ASSERT_TRUE(op.Finished());
  const auto delay = Clock::now() - sent;
  const Outcome outcome = ResultOf(device, op);
  EXPECT_EQ(outcome.error, ERROR_SUCCESS);
  ASSERT_EQ(outcome.bytes, 84u);
  EXPECT_EQ(std::string(buffer.data(), 84), burst);
  EXPECT_GE(delay, 100ms);
  EXPECT_LT(delay, 1s);
}

TEST_F(ReadTiming, LongBurstIsSplitAfterAFullBuffer) {
  ASSERT_TRUE(SetTimeouts(device, 100));
  const std::string burst = Burst(3000);
  pty.Send(burst);
  const std::string first = ReadBlock();
  const std::string second = ReadBlock();
  EXPECT_EQ(first.size(), 2048u);
  EXPECT_EQ(second.size(), 952u);
  EXPECT_EQ(first + second, burst);
}

TEST_F(ReadTiming, BurstsCloserThanTheIntervalCompleteAsOneRead) {
  ASSERT_TRUE(SetTimeouts(device, 100));
  Op op;
  std::vector<char> buffer;
  ASSERT_TRUE(StartRead(op, buffer, 2048));
  const std::string one = Burst(20, 'a');
  const std::string two = Burst(30, 'A');
  std::thread writer([&] {
    pty.Send(one);
    std::this_thread::sleep_until(Clock::now() + 50ms);
    pty.Send(two);
  });
  ASSERT_TRUE(op.Finished());
  writer.join();
  const Outcome outcome = ResultOf(device, op);
  ASSERT_EQ(outcome.bytes, 50u);
  EXPECT_EQ(std::string(buffer.data(), 50), one + two);
}

TEST_F(ReadTiming, BytesArrivingWhileNoReadIsPendingWaitForTheNextRead) {
  ASSERT_TRUE(SetTimeouts(device, 100));
  pty.Send("early");
  EXPECT_EQ(ReadBlock(), "early");
}

TEST_F(ReadTiming, MaximalIntervalWithoutTotalsReturnsAtOnceWithWhatIsBuffered) {
  ASSERT_TRUE(SetTimeouts(device, MAXDWORD));
  char buffer[2048];
  Op op;
  DWORD got = 99;
  ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &got, &op.record)) << GetLastError();
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(op.Signalled());
  EXPECT_EQ(ResultOf(device, op).bytes, 0u);

  pty.Send("xyz");
  // The bytes are in the driver once the master's write returns; the read takes what is there.
  ASSERT_TRUE(SetTimeouts(device, 100));
  Op wait;
  std::vector<char> probe;
  if (StartRead(wait, probe, 3)) {
    ASSERT_TRUE(wait.Finished());
  }
  EXPECT_EQ(std::string(probe.data(), 3), "xyz");
}

struct TotalCase {
  const char* name;
  COMMTIMEOUTS timeouts;
  DWORD size;
  std::string sent;  // sent before the read starts
  DWORD expectBytes;
  std::chrono::milliseconds atLeast;
};

TEST_F(ReadTiming, TotalTimeoutsBoundTheWholeRead) {
  const TotalCase cases[] = {
      {"constant only, silence", {0, 0, 80, 0, 0}, 100, "", 0, 80ms},
      {"multiplier and constant", {0, 2, 40, 0, 0}, 20, "", 0, 80ms},
      {"partial data ends at the total", {0, 0, 80, 0, 0}, 100, "abc", 3, 80ms},
      {"interval with total, silence", {100, 0, 60, 0, 0}, 100, "", 0, 60ms},
      {"any byte: returns on first", {MAXDWORD, MAXDWORD, 2000, 0, 0}, 100, "q", 1, 0ms},
      {"any byte: times out", {MAXDWORD, MAXDWORD, 80, 0, 0}, 100, "", 0, 80ms},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    COMMTIMEOUTS timeouts = c.timeouts;
    ASSERT_TRUE(SetCommTimeouts(device, &timeouts));
    if (!c.sent.empty()) {
      pty.Send(c.sent);
    }
    const auto start = Clock::now();
    Op op;
    std::vector<char> buffer;
    if (StartRead(op, buffer, c.size)) {
      ASSERT_TRUE(op.Finished());
    }
    const auto took = Clock::now() - start;
    const Outcome outcome = ResultOf(device, op);
    EXPECT_EQ(outcome.error, ERROR_SUCCESS);
    EXPECT_EQ(outcome.bytes, c.expectBytes);
    EXPECT_GE(took, c.atLeast);
    EXPECT_LT(took, c.atLeast + 1s);
  }
}

}  // namespace
