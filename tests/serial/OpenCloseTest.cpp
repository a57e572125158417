// Opening and closing the port: the seven open failures, closing, notices that outlive a close,
// closing from inside handlers, and the notification window's procedure.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>

#include "platform/Heap.h"
#include "tests/serial/SerialTestSupport.h"

namespace {

using namespace serial_test;
using brisko::ECommsError;
using platform::FaultPoint;
using platform::SerialCall;

class OpenFailureTest;

struct OpenFailure {
  const char* name;
  const char* message;
  std::function<void(OpenFailureTest&)> arrange;  // makes the next OpenPort fail
  DWORD atLeastMs = 0;                            // how long OpenPort takes before it raises
  friend void PrintTo(const OpenFailure& row, std::ostream* out) { *out << row.name; }
};

class OpenFailureTest : public ScriptedCommTest, public ::testing::WithParamInterface<OpenFailure> {
 protected:
  void TearDown() override {
    if (held != nullptr) {
      CloseHandle(held);
    }
    ScriptedCommTest::TearDown();
  }

 public:
  HANDLE held = nullptr;  // another opening of the device
};

TEST_P(OpenFailureTest, LeavesTheComponentAsItWasAndTheDeviceFree) {
  const OpenFailure& row = GetParam();
  row.arrange(*this);
  const bool wasOpen = comm->PortHandle() != nullptr;
  const HANDLE port = comm->PortHandle();
  const auto started = std::chrono::steady_clock::now();
  try {
    comm->OpenPort();
    FAIL() << "OpenPort did not raise";
  } catch (const ECommsError& error) {
    EXPECT_EQ(error.Message(), row.message);
  }
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(row.atLeastMs));
  platform::ClearFaults();

  if (wasOpen) {  // the open port stays open and keeps working
    EXPECT_EQ(comm->PortHandle(), port);
    ASSERT_TRUE(comm->SendData("ping", 4));
    EXPECT_TRUE(device->WaitForWritten(4));
    EXPECT_EQ(device->Written(), "ping");
    comm->ClosePort();
    return;
  }
  EXPECT_EQ(comm->PortHandle(), nullptr);
  EXPECT_EQ(comm->StopEvent(), nullptr);
  EXPECT_EQ(comm->ReaderThread(), nullptr);
  EXPECT_EQ(comm->WriterThread(), nullptr);
  EXPECT_FALSE(comm->SendData("x", 1));
  EXPECT_EQ(device->Calls(SerialCall::SetCommMask), 0) << "a reader body ran";
  const int purges = device->Calls(SerialCall::PurgeComm);
  comm->ClosePort();
  EXPECT_EQ(device->Calls(SerialCall::PurgeComm), purges) << "ClosePort on a closed port acted";

  // The device is free for the next opening.
  if (held != nullptr) {
    CloseHandle(held);
    held = nullptr;
  }
  EXPECT_FALSE(device->IsOpen());
  device->SetResult(SerialCall::SetupComm, ERROR_SUCCESS);
  comm->SetCommName(kScriptedName);
  OpenAndSettle();
  comm->ClosePort();
  EXPECT_FALSE(device->IsOpen());
}

const OpenFailure kOpenFailures[] = {
    {"AlreadyOpen", "This serial port already opened",
     [](OpenFailureTest& t) { t.OpenAndSettle(); }},
    {"NoSuchDevice", "Error opening serial port",
     [](OpenFailureTest& t) { t.comm->SetCommName("/dev/tavkel-no-such-port"); }},
    {"EmptyName", "Error opening serial port", [](OpenFailureTest& t) { t.comm->SetCommName(""); }},
    {"HeldElsewhere", "Error opening serial port",
     [](OpenFailureTest& t) {
       t.held = CreateFileA(kScriptedName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
       ASSERT_NE(t.held, INVALID_HANDLE_VALUE);
     }},
    {"OrdinaryFile", "File handle is not a comm handle ",
     [](OpenFailureTest& t) {
       const auto path = t.Root() / "plain.txt";
       std::ofstream(path) << "not a port";
       t.comm->SetCommName(path.string());
     }},
    {"NotASerialPort", "Cannot setup comm buffer",
     [](OpenFailureTest& t) {
       t.device->SetResult(SerialCall::SetupComm, ERROR_INVALID_FUNCTION);
     }},
    {"NoStopEvent", "Unable to create event",
     [](OpenFailureTest&) { platform::FailNextCall(FaultPoint::CreateEventA); }},
    {"NoReadThread", "Unable to create read thread",
     [](OpenFailureTest&) { platform::FailNextCall(FaultPoint::CreateThread); }},
    // The reader was made but never started: StopReader's first wait runs out its 10 s.
    {"NoWriteThread", "Unable to create write thread",
     [](OpenFailureTest&) { platform::FailNextCall(FaultPoint::CreateThread, 1); }, 10000},
};

INSTANTIATE_TEST_SUITE_P(Table, OpenFailureTest, ::testing::ValuesIn(kOpenFailures),
                         [](const auto& info) { return std::string(info.param.name); });

using CloseTest = ScriptedCommTest;

TEST_F(CloseTest, StopsReaderThenWriterPurgingEachSideAndClosesTheDevice) {
  OpenAndSettle();
  ASSERT_EQ(device->PurgeFlags(), (std::vector<DWORD>{0x0F}));
  comm->ClosePort();
  // StopReader's and the reader's receive purges, StopWriter's and the writer's transmit purges
  // (the writer sees the stop event as soon as StopReader sets it, so the order varies).
  auto purges = device->PurgeFlags();
  std::sort(purges.begin() + 1, purges.end());
  EXPECT_EQ(purges, (std::vector<DWORD>{0x0F, 0x05, 0x05, 0x0A, 0x0A}));
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(comm->PortHandle(), nullptr);
  EXPECT_EQ(comm->ReaderThread(), nullptr);
  EXPECT_EQ(comm->WriterThread(), nullptr);
  EXPECT_EQ(device->PendingReads() + device->PendingEvents(), 0u);
  const int calls = static_cast<int>(device->CallLog().size());
  comm->ClosePort();
  EXPECT_EQ(static_cast<int>(device->CallLog().size()), calls);
  EXPECT_TRUE(log.empty()) << "a stopped thread posted " << log[0];
}

TEST_F(CloseTest, NoticesPostedBeforeCloseAreDeliveredAfterIt) {
  OpenAndSettle();
  ASSERT_TRUE(device->CompleteRead("abc"));
  ASSERT_TRUE(device->WaitForCalls(SerialCall::ReadFile, 2));  // re-armed: the block is posted
  ASSERT_TRUE(device->CompleteEvent(EV_RING));
  ASSERT_TRUE(device->WaitForCalls(SerialCall::WaitCommEvent, 2));
  comm->ClosePort();
  EXPECT_TRUE(log.empty());
  ASSERT_TRUE(PumpUntilCount(log, 2));
  EXPECT_EQ(log, (std::vector<Notice>{DataNotice("abc"), {Notice::Modem, 4}}));
}

TEST_F(CloseTest, HangupPostedBeforeCloseFiresAfterTheNextOpen) {
  OpenAndSettle();
  ASSERT_TRUE(device->CompleteEvent(0));
  ASSERT_TRUE(Ended(comm->ReaderThread()));
  comm->ClosePort();
  comm->OpenPort();
  ASSERT_TRUE(PumpUntilCount(log, 2));
  EXPECT_EQ(log, (std::vector<Notice>{{Notice::Hangup}, {Notice::Empty}}));
  EXPECT_NE(comm->PortHandle(), nullptr);
  comm->ClosePort();
}

TEST_F(CloseTest, HandlersMayCloseThePort) {
  OpenAndSettle();
  bool closedInHangup = false;
  comm->SetOnRequestHangup([&](brisko::TObject*) {
    comm->ClosePort();
    closedInHangup = true;
  });
  ASSERT_TRUE(device->CompleteEvent(0));
  ASSERT_TRUE(PumpUntil([&] { return closedInHangup; }));
  EXPECT_EQ(comm->PortHandle(), nullptr);
  EXPECT_EQ(comm->ReaderThread(), nullptr);
  EXPECT_EQ(comm->WriterThread(), nullptr);

  OpenAndSettle();
  int received = 0;
  comm->SetOnReceiveData([&](brisko::TObject*, const void*, std::uint16_t) {
    comm->ClosePort();
    ++received;
  });
  ASSERT_TRUE(device->CompleteRead("reply"));
  ASSERT_TRUE(PumpUntil([&] { return received == 1; }));
  EXPECT_EQ(comm->PortHandle(), nullptr);
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(CloseTest, HandlerMaySendAReply) {
  OpenAndSettle();
  comm->SetOnReceiveData([&](brisko::TObject*, const void*, std::uint16_t) {
    EXPECT_TRUE(comm->SendData("pong", 4));
  });
  ASSERT_TRUE(device->CompleteRead("ping"));
  ASSERT_TRUE(PumpUntil([&] { return device->Written() == "pong"; }));
  comm->ClosePort();
}

TEST_F(CloseTest, BlockIsReleasedWhenTheDataHandlerRaises) {
  OpenAndSettle();
  comm->SetOnReceiveData([](brisko::TObject*, const void*, std::uint16_t) {
    throw classlib::Exception("handler failed");
  });
  ASSERT_TRUE(device->CompleteRead("abc"));
  EXPECT_THROW(PumpUntil([] { return false; }), classlib::Exception);
  comm->ClosePort();  // the fixture finds the block gone
}

TEST_F(CloseTest, DestroyingAnOpenComponentEndsItsThreadsAndFreesQueuedBlocks) {
  OpenAndSettle();
  ASSERT_TRUE(device->CompleteRead("left in the queue"));
  ASSERT_TRUE(device->WaitForCalls(SerialCall::ReadFile, 2));
  comm.reset();
  EXPECT_FALSE(device->IsOpen());
  EXPECT_TRUE(log.empty());
}

TEST_F(CloseTest, ComponentOpenWhenItsOwnerIsFreedGoesWithIt) {
  {
    brisko::TComponent owner(nullptr);
    auto* owned = new TComm(&owner);
    owned->SetCommName(kScriptedName);
    owned->OpenPort();
    ASSERT_TRUE(device->WaitForPendingRead());
    EXPECT_EQ(owner.ComponentCount(), 1);
  }
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(CloseTest, NewNameTakesEffectAtTheNextOpen) {
  auto other = platform::ScriptedDevice::Register("TESTPORT2");
  OpenAndSettle();
  comm->SetCommName("TESTPORT2");
  ASSERT_TRUE(comm->SendData("a", 1));
  ASSERT_TRUE(device->WaitForWritten(1));
  comm->ClosePort();
  comm->OpenPort();
  EXPECT_TRUE(other->IsOpen());
  EXPECT_FALSE(device->IsOpen());
  comm->ClosePort();
}

using NotifyWindowTest = ScriptedCommTest;

TEST_F(NotifyWindowTest, EachNoticeFiresItsEventOnceAndOtherNumbersNone) {
  HWND window = comm->NotifyWindow();
  auto* block = static_cast<char*>(LocalAlloc(LPTR, 4));
  std::memcpy(block, "xyz", 3);
  const struct {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } posts[] = {
      {WM_USER, 0, 0},
      {brisko::MsgDataReceived, 0x10003, reinterpret_cast<LPARAM>(block)},  // low 16 bits count
      {brisko::MsgLineError, 0, CE_FRAME | CE_OVERRUN},
      {brisko::MsgModemEvent, 0, 12},
      {WM_USER + 6, 0, 0},
      {brisko::MsgHangupRequest, 0, 0},
      {brisko::MsgSendQueueEmpty, 0, 0},
  };
  for (const auto& post : posts) {
    ASSERT_TRUE(PostMessageA(window, post.message, post.wParam, post.lParam));
  }
  ASSERT_TRUE(PumpUntilCount(log, 5));
  EXPECT_EQ(log, (std::vector<Notice>{DataNotice("xyz"),
                                      {Notice::LineError, CE_FRAME | CE_OVERRUN},
                                      {Notice::Modem, 12},
                                      {Notice::Hangup},
                                      {Notice::Empty}}));
}

TEST_F(NotifyWindowTest, DataBlockIsReleasedWithoutAHandler) {
  comm->SetOnReceiveData(nullptr);
  auto* block = LocalAlloc(LPTR, 2);
  ASSERT_TRUE(PostMessageA(comm->NotifyWindow(), brisko::MsgDataReceived, 1,
                           reinterpret_cast<LPARAM>(block)));
  ASSERT_TRUE(PostMessageA(comm->NotifyWindow(), brisko::MsgSendQueueEmpty, 0, 0));
  ASSERT_TRUE(PumpUntilCount(log, 1));
  EXPECT_EQ(log, (std::vector<Notice>{{Notice::Empty}}));
}

}  // namespace
