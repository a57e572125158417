#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "SerialTestSupport.h"
#include "platform/Errors.h"
#include "platform/Root.h"
#include "platform/SerialDevice.h"

namespace {

using namespace serialtest;

class PtyDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    device = OpenDevice(pty.SlavePath());
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_TRUE(SetTimeouts(device, 100));
  }
  void TearDown() override {
    if (device != INVALID_HANDLE_VALUE) {
      CloseHandle(device);
    }
  }

  TempRoot root;
  Pty pty;
  HANDLE device = INVALID_HANDLE_VALUE;
};

TEST_F(PtyDevice, OpensAsCharacterDeviceThatTakesQueueSizes) {
  EXPECT_EQ(GetFileType(device), FILE_TYPE_CHAR);
  EXPECT_TRUE(SetupComm(device, 4096, 4096));
  EXPECT_TRUE(PurgeComm(device, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));
}

TEST_F(PtyDevice, OpenIsExclusiveWithinAndAcrossProcessesUntilClosed) {
  EXPECT_EQ(OpenDevice(pty.SlavePath()), INVALID_HANDLE_VALUE);
  EXPECT_NE(GetLastError(), ERROR_SUCCESS);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE other = OpenDevice(pty.SlavePath());
    ::_exit(other == INVALID_HANDLE_VALUE ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a second process opened a device that is held";

  ASSERT_TRUE(CloseHandle(device));
  device = OpenDevice(pty.SlavePath());
  EXPECT_NE(device, INVALID_HANDLE_VALUE) << "the device stayed held after CloseHandle";
}

TEST_F(PtyDevice, WriteArrivesWholeAtTheMaster) {
  std::string frame;
  for (int i = 0; i < 300; ++i) {
    frame.push_back(static_cast<char>(i));  // every byte value, \n and \r included
  }
  Op op;
  BOOL done =
      WriteFile(device, frame.data(), static_cast<DWORD>(frame.size()), nullptr, &op.record);
  frame.assign(frame.size(), 'x');  // the device took its own copy
  if (!done) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  ASSERT_TRUE(op.Finished());
  const Outcome outcome = ResultOf(device, op);
  EXPECT_EQ(outcome.error, ERROR_SUCCESS);
  EXPECT_EQ(outcome.bytes, 300u);
  const std::string got = pty.Receive(300);
  ASSERT_EQ(got.size(), 300u);
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(static_cast<unsigned char>(got[i]), i % 256) << "byte " << i;
  }
}

TEST_F(PtyDevice, PurgeAbortsPendingReadAndSetsItsEvent) {
  char buffer[2048];
  Op op;
  ASSERT_FALSE(ReadFile(device, buffer, sizeof buffer, nullptr, &op.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_FALSE(op.Signalled()) << "starting a read must reset its event";
  EXPECT_EQ(ResultOf(device, op).error, ERROR_IO_INCOMPLETE);

  ASSERT_TRUE(PurgeComm(device, PURGE_RXABORT | PURGE_RXCLEAR));
  EXPECT_TRUE(op.Signalled()) << "the purge returned before the aborted read's event was set";
  EXPECT_EQ(ResultOf(device, op).error, ERROR_OPERATION_ABORTED);
  // Bytes that arrive afterwards go to the next read, never into the aborted one's buffer.
  std::memset(buffer, 0, sizeof buffer);
  pty.Send("late");
  Op next;
  char other[16] = {};
  if (!ReadFile(device, other, sizeof other, nullptr, &next.record)) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  ASSERT_TRUE(next.Finished());
  EXPECT_EQ(ResultOf(device, next).bytes, 4u);
  EXPECT_EQ(std::string(other, 4), "late");
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(PtyDevice, CloseUnderPendingOperationsEndsThemAndFreesTheDevice) {
  char buffer[2048];
  Op read;
  Op event;
  DWORD mask = 0xDEAD;
  ASSERT_TRUE(SetCommMask(device, EV_RLSD | EV_ERR | EV_RING));
  ASSERT_FALSE(ReadFile(device, buffer, sizeof buffer, nullptr, &read.record));
  ASSERT_FALSE(WaitCommEvent(device, &mask, &event.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

  // Another thread is inside a call on the device when it is closed.
  std::thread waiter([&] {
    DWORD bytes = 0;
    EXPECT_FALSE(GetOverlappedResult(device, &read.record, &bytes, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  });
  ASSERT_TRUE(CloseHandle(device));
  waiter.join();
  EXPECT_TRUE(read.Signalled());
  EXPECT_TRUE(event.Signalled());
  EXPECT_EQ(read.record.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(event.record.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(ResultOf(device, read).error, ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReadFile(device, buffer, sizeof buffer, nullptr, &read.record));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  const HANDLE again = OpenDevice(pty.SlavePath());
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the device stayed held after CloseHandle";
  device = again;
}

TEST_F(PtyDevice, SettingTheMaskCompletesAPendingEventWaitWithNoEvents) {
  ASSERT_TRUE(SetCommMask(device, EV_RLSD | EV_ERR | EV_RING));
  DWORD mask = 0xDEAD;
  Op event;
  ASSERT_FALSE(WaitCommEvent(device, &mask, &event.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_FALSE(event.Signalled()) << "a pty reports no modem events: the wait stays pending";
  ASSERT_TRUE(SetCommMask(device, EV_RLSD));
  ASSERT_TRUE(event.Finished());
  EXPECT_EQ(ResultOf(device, event).error, ERROR_SUCCESS);
  EXPECT_EQ(mask, 0u);
}

TEST_F(PtyDevice, MasterClosingFailsThePendingRead) {
  char buffer[2048];
  Op op;
  ASSERT_FALSE(ReadFile(device, buffer, sizeof buffer, nullptr, &op.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  pty.CloseMaster();
  ASSERT_TRUE(op.Finished()) << "the read did not end when the far end went away";
  const Outcome outcome = ResultOf(device, op);
  EXPECT_NE(outcome.error, ERROR_SUCCESS);
  EXPECT_NE(outcome.error, ERROR_OPERATION_ABORTED);
}

TEST_F(PtyDevice, StateReadsBackAsLastPutInForceAndOneAndAHalfStopBitsAreRefused) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device, &dcb));
  dcb.BaudRate = 9600;
  dcb.ByteSize = 7;
  dcb.Parity = EVENPARITY;
  dcb.StopBits = TWOSTOPBITS;
  SetDcbFlags(dcb, 0x21);
  ASSERT_TRUE(SetCommState(device, &dcb));

  DCB refused = dcb;
  refused.StopBits = ONE5STOPBITS;
  EXPECT_FALSE(SetCommState(device, &refused));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  DCB back{};
  ASSERT_TRUE(GetCommState(device, &back));
  EXPECT_EQ(back.ByteSize, 7);
  EXPECT_EQ(back.Parity, EVENPARITY);  // though a pty drops PARENB on read-back
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  EXPECT_EQ(DcbFlags(back), 0x21u);
}

TEST(SerialOpen, NoSuchDeviceAndEmptyNameFail) {
  TempRoot root;
  for (const char* name : {"", "/dev/tavkel-no-such-device", "\\\\.\\", "COM250"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(OpenDevice(name), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
  }
}

TEST(SerialOpen, NamesResolveThroughPrefixesTheDeviceMapAndComNumbers) {
  TempRoot root;
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  ASSERT_TRUE(platform::PublishDevice("COM7", pty.SlavePath()));
  for (const char* name : {"COM7", "\\\\.\\COM7", "//./COM7"}) {
    SCOPED_TRACE(name);
    HANDLE device = OpenDevice(name);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetFileType(device), FILE_TYPE_CHAR);
    CloseHandle(device);
  }
  EXPECT_EQ(platform::DevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(platform::DevicePath("COM12"), "/dev/ttyS11");
  EXPECT_EQ(platform::DevicePath("COMX"), "COMX");
  EXPECT_EQ(platform::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(SerialOpen, CharacterDeviceThatIsNoTtyOpensButRefusesSerialCalls) {
  HANDLE device = OpenDevice("/dev/null");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(device), FILE_TYPE_CHAR);
  EXPECT_FALSE(SetupComm(device, 4096, 4096));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  CloseHandle(device);
  // Nothing holds it: it opens again at once.
  device = OpenDevice("/dev/null");
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
  CloseHandle(device);
}

TEST(SerialOpen, RegularFileIsADiskFileAndRefusesSerialCalls) {
  TempRoot root;
  const auto path = root.Dir() / "plain.txt";
  std::ofstream(path) << "not a port";
  HANDLE file = OpenDevice(path.string());
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(file), FILE_TYPE_DISK);
  DCB dcb{};
  EXPECT_FALSE(GetCommState(file, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(GetFileType(file), FILE_TYPE_UNKNOWN);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
