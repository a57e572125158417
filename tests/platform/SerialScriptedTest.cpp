#include <gtest/gtest.h>

#include <thread>

#include "SerialTestSupport.h"
#include "platform/Errors.h"
#include "tests/support/ScriptedDevice.h"

namespace {

using namespace serialtest;
using platform::ScriptedDevice;
using platform::SerialCall;

class Scripted : public ::testing::Test {
 protected:
  void SetUp() override {
    device = OpenDevice("\\\\.\\TEST1");
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override { CloseHandle(device); }

  // Starts a read; ERROR_SUCCESS when it ended at once, else the last error.
  DWORD StartRead(Op& op, char* buffer, DWORD size) {
    return ReadFile(device, buffer, size, nullptr, &op.record) ? ERROR_SUCCESS : GetLastError();
  }
  DWORD StartWrite(Op& op, const std::string& bytes) {
    return WriteFile(device, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &op.record)
               ? ERROR_SUCCESS
               : GetLastError();
  }
  DWORD StartEvent(Op& op, DWORD& mask) {
    return WaitCommEvent(device, &mask, &op.record) ? ERROR_SUCCESS : GetLastError();
  }

  std::unique_ptr<ScriptedDevice> dev = ScriptedDevice::Register("TEST1");
  HANDLE device = INVALID_HANDLE_VALUE;
};

TEST_F(Scripted, OpensByNameExclusivelyAndAgainAfterClose) {
  EXPECT_TRUE(dev->IsOpen());
  EXPECT_EQ(GetFileType(device), FILE_TYPE_CHAR);
  EXPECT_EQ(OpenDevice("//./TEST1"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(CloseHandle(device));
  EXPECT_FALSE(dev->IsOpen());
  device = OpenDevice("TEST1");
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(dev->OpenCount(), 2);
  EXPECT_THROW(ScriptedDevice::Register("TEST1"), std::invalid_argument);
}

TEST_F(Scripted, WithoutAScriptReadsPendAndWritesCompleteInFull) {
  char buffer[2048];
  Op read;
  ASSERT_EQ(StartRead(read, buffer, sizeof buffer), ERROR_IO_PENDING);
  EXPECT_FALSE(read.Signalled());
  EXPECT_EQ(ResultOf(device, read).error, ERROR_IO_INCOMPLETE);
  Op write;
  ASSERT_EQ(StartWrite(write, "hello"), ERROR_SUCCESS);
  EXPECT_TRUE(write.Signalled());
  EXPECT_EQ(dev->Written(), "hello");

  // Completed later from another thread, once the test sees the read pending.
  std::thread peer([&] {
    ASSERT_TRUE(dev->WaitForPendingRead());
    EXPECT_TRUE(dev->CompleteRead(std::string("\xAA\x20\xEE", 3)));
  });
  ASSERT_TRUE(read.Finished());
  peer.join();
  const Outcome outcome = ResultOf(device, read);
  EXPECT_EQ(outcome.error, ERROR_SUCCESS);
  ASSERT_EQ(outcome.bytes, 3u);
  EXPECT_EQ(std::string(buffer, 3), "\xAA\x20\xEE");
  EXPECT_EQ(dev->ReadSizes(), std::vector<DWORD>{2048});
  EXPECT_FALSE(dev->CompleteRead("nobody waits")) << "no read is pending any more";
}

TEST_F(Scripted, ReadsFollowTheirScriptInOrder) {
  dev->ReadReturns("abcdef");
  dev->ReadFails(ERROR_GEN_FAILURE);
  char buffer[4];
  Op op;
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(device, buffer, 4, &got, &op.record));
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  ASSERT_TRUE(ReadFile(device, buffer, 4, &got, &op.record));  // the rest of the step
  EXPECT_EQ(std::string(buffer, got), "ef");
  EXPECT_EQ(StartRead(op, buffer, 4), ERROR_GEN_FAILURE);
  ASSERT_EQ(StartRead(op, buffer, 4), ERROR_IO_PENDING);  // script used up: pending
  ASSERT_TRUE(dev->FailRead(ERROR_BROKEN_PIPE));
  EXPECT_TRUE(op.Signalled());
  EXPECT_EQ(ResultOf(device, op).error, ERROR_BROKEN_PIPE);
}

TEST_F(Scripted, WritesCanEndWithPartOfTheirBytesAtOnceOrLater) {
  const std::string frame = "0123456789abc";  // 13 bytes
  dev->WriteAccepts(5);
  dev->WritePends();
  dev->WriteFails(ERROR_GEN_FAILURE);
  Op op;
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(device, frame.data(), 13, &written, &op.record));
  EXPECT_EQ(written, 5u);
  ASSERT_EQ(StartWrite(op, frame.substr(5)), ERROR_IO_PENDING);
  ASSERT_TRUE(dev->WaitForPendingWrite());
  ASSERT_TRUE(dev->CompleteWrite(3));
  EXPECT_EQ(ResultOf(device, op).bytes, 3u);
  EXPECT_EQ(StartWrite(op, "zz"), ERROR_GEN_FAILURE);
  EXPECT_EQ(dev->Written(), "01234567");
  EXPECT_EQ(dev->Writes(), (std::vector<std::string>{frame, frame.substr(5), "zz"}));
  EXPECT_TRUE(dev->WaitForWritten(8));
}

TEST_F(Scripted, EventWaitsCompleteWithTheirMaskTheEmptyOneIncluded) {
  dev->EventReturns(0);
  dev->EventFails(ERROR_GEN_FAILURE);
  DWORD mask = 0xDEAD;
  Op op;
  ASSERT_EQ(StartEvent(op, mask), ERROR_SUCCESS);
  EXPECT_EQ(mask, 0u);
  EXPECT_EQ(StartEvent(op, mask), ERROR_GEN_FAILURE);
  ASSERT_EQ(StartEvent(op, mask), ERROR_IO_PENDING);
  ASSERT_TRUE(dev->CompleteEvent(EV_ERR | EV_RING));
  EXPECT_EQ(ResultOf(device, op).error, ERROR_SUCCESS);
  EXPECT_EQ(mask, EV_ERR | EV_RING);

  ASSERT_EQ(StartEvent(op, mask), ERROR_IO_PENDING);
  ASSERT_TRUE(SetCommMask(device, EV_RLSD));
  EXPECT_TRUE(op.Signalled());
  EXPECT_EQ(ResultOf(device, op).error, ERROR_SUCCESS);
  EXPECT_EQ(mask, 0u) << "a new mask ends the pending wait with no events";
  ASSERT_EQ(StartEvent(op, mask), ERROR_IO_PENDING);
  ASSERT_TRUE(dev->FailEvent(ERROR_OPERATION_ABORTED));
  EXPECT_EQ(ResultOf(device, op).error, ERROR_OPERATION_ABORTED);
}

TEST_F(Scripted, RecordsEveryCallWithItsArguments) {
  ASSERT_TRUE(SetupComm(device, 4096, 4096));
  ASSERT_TRUE(PurgeComm(device, 0x0F));
  COMMTIMEOUTS timeouts{100, 0, 0, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(device, &timeouts));
  DCB dcb{};
  ASSERT_TRUE(GetCommState(device, &dcb));
  SetDcbFlags(dcb, 0x21);
  dcb.XonChar = dcb.XoffChar = '0';
  ASSERT_TRUE(SetCommState(device, &dcb));
  ASSERT_TRUE(SetCommMask(device, 0x01A0));

  EXPECT_EQ(dev->Setups(), (std::vector<std::pair<DWORD, DWORD>>{{4096, 4096}}));
  EXPECT_EQ(dev->PurgeFlags(), std::vector<DWORD>{0x0F});
  ASSERT_EQ(dev->Timeouts().size(), 1u);
  EXPECT_EQ(dev->Timeouts()[0].ReadIntervalTimeout, 100u);
  ASSERT_EQ(dev->States().size(), 1u);
  EXPECT_EQ(DcbFlags(dev->States()[0]), 0x21u);
  EXPECT_EQ(dev->States()[0].XonChar, '0');
  EXPECT_EQ(dev->Masks(), std::vector<DWORD>{0x01A0});
  const std::vector<SerialCall> expected = {SerialCall::Open,         SerialCall::SetupComm,
                                            SerialCall::PurgeComm,    SerialCall::SetCommTimeouts,
                                            SerialCall::GetCommState, SerialCall::SetCommState,
                                            SerialCall::SetCommMask};
  EXPECT_EQ(dev->CallLog(), expected);
}

TEST_F(Scripted, ResultsOfCallsCanBeSet) {
  dev->SetResult(SerialCall::SetupComm, ERROR_INVALID_FUNCTION);
  dev->SetResult(SerialCall::SetCommMask, ERROR_GEN_FAILURE);
  dev->SetFileType(FILE_TYPE_DISK);
  dev->AddLineErrors(CE_FRAME);
  dev->AddLineErrors(CE_OVERRUN);
  EXPECT_FALSE(SetupComm(device, 4096, 4096));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  EXPECT_FALSE(SetCommMask(device, 0x01A0));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_EQ(GetFileType(device), FILE_TYPE_DISK);
  DWORD errors = 0;
  ASSERT_TRUE(ClearCommError(device, &errors, nullptr));
  EXPECT_EQ(errors, CE_FRAME | CE_OVERRUN);
  ASSERT_TRUE(ClearCommError(device, &errors, nullptr));
  EXPECT_EQ(errors, 0u) << "ClearCommError clears what it returned";

  CloseHandle(device);
  dev->SetResult(SerialCall::Open, ERROR_ACCESS_DENIED);
  device = OpenDevice("TEST1");
  EXPECT_EQ(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Scripted, PurgeAbortsOnlyTheSidesItNames) {
  char buffer[16];
  Op read;
  Op write;
  dev->WritePends();
  ASSERT_EQ(StartRead(read, buffer, sizeof buffer), ERROR_IO_PENDING);
  ASSERT_EQ(StartWrite(write, "abc"), ERROR_IO_PENDING);
  ASSERT_TRUE(PurgeComm(device, PURGE_TXABORT | PURGE_TXCLEAR));
  EXPECT_EQ(ResultOf(device, write).error, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(ResultOf(device, read).error, ERROR_IO_INCOMPLETE);
  ASSERT_TRUE(PurgeComm(device, PURGE_RXABORT | PURGE_RXCLEAR));
  EXPECT_TRUE(read.Signalled());
  EXPECT_EQ(ResultOf(device, read).error, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(dev->PurgeFlags(), (std::vector<DWORD>{0x05, 0x0A}));
  EXPECT_EQ(dev->Written(), "");
}

TEST_F(Scripted, InvalidHandleEndsPendingOperationsAndFailsEveryLaterCall) {
  char buffer[16];
  Op read;
  DWORD mask = 0;
  Op event;
  ASSERT_EQ(StartRead(read, buffer, sizeof buffer), ERROR_IO_PENDING);
  ASSERT_EQ(StartEvent(event, mask), ERROR_IO_PENDING);
  dev->InvalidateHandle();
  EXPECT_TRUE(read.Signalled());
  EXPECT_TRUE(event.Signalled());
  EXPECT_EQ(ResultOf(device, read).error, ERROR_INVALID_HANDLE);
  EXPECT_EQ(StartRead(read, buffer, sizeof buffer), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(PurgeComm(device, 0x0A));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(dev->IsOpen());
  EXPECT_TRUE(CloseHandle(device)) << "the handle itself is still in the table";
  device = OpenDevice("TEST1");
  EXPECT_NE(device, INVALID_HANDLE_VALUE);
}

TEST_F(Scripted, UnregisteringInvalidatesTheOpenHandleAndFreesTheName) {
  char buffer[16];
  Op read;
  ASSERT_EQ(StartRead(read, buffer, sizeof buffer), ERROR_IO_PENDING);
  dev.reset();
  EXPECT_TRUE(read.Signalled());
  EXPECT_EQ(StartRead(read, buffer, sizeof buffer), ERROR_INVALID_HANDLE);
  TempRoot root;  // the name now resolves as a path, which does not exist
  EXPECT_EQ(OpenDevice("TEST1"), INVALID_HANDLE_VALUE);
  dev = ScriptedDevice::Register("TEST1");
}

TEST_F(Scripted, WaitsEndAtTheirBoundWhenNothingHappens) {
  const auto start = Clock::now();
  EXPECT_FALSE(dev->WaitForPendingRead(std::chrono::milliseconds(50)));
  EXPECT_GE(Clock::now() - start, 50ms);
  EXPECT_FALSE(dev->WaitForCalls(SerialCall::WriteFile, 1, std::chrono::milliseconds(10)));
}

}  // namespace
