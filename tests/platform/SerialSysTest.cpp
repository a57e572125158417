// Faults injected under the termios device through the system-call table.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <utility>
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
std::atomic<unsigned long> refusedModemRequest{0};  // TIOCMBIS or TIOCMBIC; 0 = the pty answers
std::atomic<int> modemRequestErrno{0};

// Each TIOCMBIS and TIOCMBIC made, with the modem-line bits it carried.
using ModemRequest = std::pair<unsigned long, int>;
std::mutex modemRequestsLock;
std::vector<ModemRequest> modemRequests;

std::vector<ModemRequest> TakeModemRequests() {
  std::lock_guard guard(modemRequestsLock);
  return std::exchange(modemRequests, {});
}

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
    if (request == TIOCMBIS || request == TIOCMBIC) {
      {
        std::lock_guard guard(modemRequestsLock);
        modemRequests.emplace_back(request, *static_cast<int*>(argument));
      }
      if (request == refusedModemRequest) {
        errno = modemRequestErrno;
        return -1;
      }
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
    refusedModemRequest = 0;
    modemRequestErrno = 0;
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

// A driver that refuses a modem-line request (a pseudo-terminal has no modem control, a USB
// adapter's failed control request gives EPIPE or EIO) leaves only those lines alone: the other
// request is still made, and the new line state is in force and reported.
TEST_F(InjectedFaults, RefusedModemLinesLeaveTheNewLineStateInForce) {
  const struct {
    unsigned long request;
    int errnoValue;
    DWORD baud;
  } cases[] = {
      {TIOCMBIS, EPIPE, 19200}, {TIOCMBIS, EIO, 9600},     {TIOCMBIS, ENOTTY, 19200},
      {TIOCMBIC, EPIPE, 9600},  {TIOCMBIC, EINVAL, 19200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << (c.request == TIOCMBIS ? "TIOCMBIS " : "TIOCMBIC ") << c.errnoValue);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(device, &dcb));
    ASSERT_NE(dcb.BaudRate, c.baud);
    dcb.BaudRate = c.baud;
    SetDcbFlags(dcb, 0x21);  // DTR under handshake (held asserted), RTS disabled
    (void)TakeModemRequests();
    refusedModemRequest = c.request;
    modemRequestErrno = c.errnoValue;
    SetLastError(ERROR_SUCCESS);
    EXPECT_TRUE(SetCommState(device, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    refusedModemRequest = 0;
    const std::vector<ModemRequest> both = {{TIOCMBIS, TIOCM_DTR}, {TIOCMBIC, TIOCM_RTS}};
    EXPECT_EQ(TakeModemRequests(), both);
    DCB now{};
    ASSERT_TRUE(GetCommState(device, &now));
    EXPECT_EQ(now.BaudRate, c.baud);
    EXPECT_EQ(DcbFlags(now), 0x21u);
  }
}

}  // namespace
