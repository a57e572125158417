// Faults injected under the termios device through the system-call table.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "SerialTestSupport.h"
#include "platform/Sys.h"

namespace {

using namespace serialtest;
namespace sys = platform::sys;

std::atomic<int> pollInterruptions{0};
std::atomic<bool> ttyReadFails{false};
std::atomic<int> ttyWriteLimit{0};  // 0 = no limit
std::atomic<int> ttyWrites{0};
std::atomic<int> modemLinesErrno{0};  // 0 = the pty's own answer

sys::Calls FaultyCalls() {
  sys::Calls calls = sys::RealCalls();
  calls.poll = [](pollfd* fds, nfds_t count, int timeoutMs) {
    // Only a poll that waits on the tty is interrupted: that is where a read sleeps.
    if (count > 1 && fds[1].fd >= 0 && pollInterruptions.fetch_sub(1) > 0) {
      errno = EINTR;
      return -1;
    }
    return sys::RealCalls().poll(fds, count, timeoutMs);
  };
  calls.read = [](int fd, void* buffer, std::size_t count) -> ssize_t {
    if (ttyReadFails && ::isatty(fd)) {
      errno = EIO;
      return -1;
    }
    return sys::RealCalls().read(fd, buffer, count);
  };
  calls.write = [](int fd, const void* buffer, std::size_t count) -> ssize_t {
    const int limit = ttyWriteLimit;
    if (limit > 0 && ::isatty(fd)) {
      ++ttyWrites;
      count = std::min<std::size_t>(count, static_cast<std::size_t>(limit));
    }
    return sys::RealCalls().write(fd, buffer, count);
  };
  calls.ioctl = [](int fd, unsigned long request, void* argument) {
    if ((request == TIOCMBIS || request == TIOCMBIC) && modemLinesErrno != 0) {
      errno = modemLinesErrno;
      return -1;
    }
    return sys::RealCalls().ioctl(fd, request, argument);
  };
  return calls;
}

class InjectedFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    pollInterruptions = 0;
    ttyReadFails = false;
    ttyWriteLimit = 0;
    ttyWrites = 0;
    modemLinesErrno = 0;
    ASSERT_TRUE(pty.Ok());
    device = OpenDevice(pty.SlavePath());
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_TRUE(SetTimeouts(device, 100));
  }
  void TearDown() override { CloseHandle(device); }  // before the table goes

  TempRoot root;
  Pty pty;
  sys::ScopedCalls faults{FaultyCalls()};
  HANDLE device = INVALID_HANDLE_VALUE;
};

TEST_F(InjectedFaults, InterruptedPollIsRetriedAndTheReadKeepsItsTiming) {
  std::vector<char> buffer(2048);
  Op op;
  pollInterruptions = 3;
  ASSERT_FALSE(ReadFile(device, buffer.data(), 2048, nullptr, &op.record));
  pty.Send(std::string(84, 'r'));
  ASSERT_TRUE(op.Finished());
  const Outcome outcome = ResultOf(device, op);
  EXPECT_EQ(outcome.error, ERROR_SUCCESS);
  EXPECT_EQ(outcome.bytes, 84u);
  EXPECT_LE(pollInterruptions.load(), 0) << "the injected interruptions were not all met";
}

TEST_F(InjectedFaults, ReadErrorFailsThePendingRead) {
  std::vector<char> buffer(2048);
  Op op;
  ASSERT_FALSE(ReadFile(device, buffer.data(), 2048, nullptr, &op.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  ttyReadFails = true;
  pty.Send("x");
  ASSERT_TRUE(op.Finished());
  EXPECT_EQ(ResultOf(device, op).error, ERROR_GEN_FAILURE);
  ttyReadFails = false;
}

TEST_F(InjectedFaults, ShortWritesAreContinuedUntilTheBlockIsOut) {
  ttyWriteLimit = 7;
  std::string block;
  for (int i = 0; i < 300; ++i) {
    block.push_back(static_cast<char>('A' + i % 26));
  }
  Op op;
  if (!WriteFile(device, block.data(), 300, nullptr, &op.record)) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  ASSERT_TRUE(op.Finished());
  const Outcome outcome = ResultOf(device, op);
  EXPECT_EQ(outcome.error, ERROR_SUCCESS);
  EXPECT_EQ(outcome.bytes, 300u);
  EXPECT_EQ(pty.Receive(300), block);
  EXPECT_GE(ttyWrites.load(), 300 / 7);
}

// A port without modem control takes the rest of the line state; a port that fails to set its
// modem lines fails the call.
TEST_F(InjectedFaults, SetCommStateFailsOnlyWhenThePortFailsItsModemLines) {
  const struct {
    int errnoValue;
    BOOL accepted;
    DWORD error;
  } cases[] = {
      {ENOTTY, TRUE, ERROR_SUCCESS},
      {EINVAL, TRUE, ERROR_SUCCESS},
      {EIO, FALSE, ERROR_GEN_FAILURE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.errnoValue);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(device, &dcb));
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    modemLinesErrno = c.errnoValue;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(SetCommState(device, &dcb), c.accepted);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

}  // namespace
