// The reader thread: blocks, port events, and every way it ends.
#include "tests/serial/SerialTestSupport.h"

namespace {

using namespace serial_test;
using platform::FaultPoint;
using platform::SerialCall;

using ReaderTest = ScriptedCommTest;

TEST_F(ReaderTest, CompletedReadBecomesOneZeroTerminatedBlock) {
  OpenAndSettle();
  const std::string reply(84, '\xAA');
  ASSERT_TRUE(device->CompleteRead(reply));
  ASSERT_TRUE(PumpUntilCount(log, 1));
  EXPECT_EQ(log[0], DataNotice(reply));
  ASSERT_TRUE(device->WaitForCalls(SerialCall::ReadFile, 2));
  EXPECT_EQ(device->ReadSizes(), (std::vector<DWORD>{2048, 2048}));
  comm->ClosePort();
}

TEST_F(ReaderTest, ReadsCompletingAtOnceAreEachDeliveredBeforeTheNextRead) {
  device->ReadReturns("first");
  device->ReadReturns("second");
  comm->SetOnSendDataEmpty(nullptr);
  comm->OpenPort();
  ASSERT_TRUE(PumpUntilCount(log, 2));
  EXPECT_EQ(log, (std::vector<Notice>{DataNotice("first"), DataNotice("second")}));
  ASSERT_TRUE(device->WaitForPendingRead());
  EXPECT_EQ(device->Calls(SerialCall::ReadFile), 3);
  comm->ClosePort();
}

// Port events, finished through the wait or at once inside the arming loop.
struct EventCase {
  const char* name;
  DWORD mask;
  DWORD lineErrors;
  std::vector<Notice> expected;
  bool readerEnds;
  friend void PrintTo(const EventCase& row, std::ostream* out) { *out << row.name; }
};

class PortEventTest : public ScriptedCommTest,
                      public ::testing::WithParamInterface<std::tuple<EventCase, bool>> {};

TEST_P(PortEventTest, PostsLineErrorBeforeModemEvent) {
  const auto& [c, atOnce] = GetParam();
  device->AddLineErrors(c.lineErrors);
  if (atOnce) {
    device->EventReturns(c.mask);
  }
  ASSERT_NO_THROW(comm->OpenPort());
  if (!atOnce) {
    ASSERT_TRUE(device->WaitForPendingEvent());
    ASSERT_TRUE(device->CompleteEvent(c.mask));
  }
  ASSERT_TRUE(PumpUntilCount(log, c.expected.size() + 1));
  std::vector<Notice> events;
  for (const Notice& n : log) {
    if (n.kind != Notice::Empty) {
      events.push_back(n);
    }
  }
  EXPECT_EQ(events, c.expected);
  EXPECT_EQ(Ended(comm->ReaderThread(), c.readerEnds ? kBound : 0), c.readerEnds);
  if (!c.readerEnds) {
    EXPECT_TRUE(device->WaitForCalls(SerialCall::WaitCommEvent, 2)) << "event wait not re-armed";
  }
  comm->ClosePort();
}

const EventCase kEventCases[] = {
    {"ErrorAndRing",
     EV_ERR | EV_RING,
     CE_FRAME | CE_RXPARITY,
     {{Notice::LineError, CE_FRAME | CE_RXPARITY}, {Notice::Modem, 4}},
     false},
    {"CarrierAndRing", EV_RLSD | EV_RING, 0, {{Notice::Modem, 12}}, false},
    {"Carrier", EV_RLSD, 0, {{Notice::Modem, 8}}, false},
    {"ErrorOnly", EV_ERR | EV_RXCHAR, CE_OVERRUN, {{Notice::LineError, CE_OVERRUN}}, false},
    {"EmptyMask", 0, 0, {{Notice::Hangup}}, true},
    {"OnlyEventsNotAskedFor", EV_CTS | EV_DSR, 0, {{Notice::Hangup}}, true},
};

INSTANTIATE_TEST_SUITE_P(Table, PortEventTest,
                         ::testing::Combine(::testing::ValuesIn(kEventCases), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "AtOnce" : "ThroughTheWait");
                         });

// Every way the reader ends by itself: after a failure with a hang-up request, quietly otherwise.
struct ReaderEnd {
  const char* name;
  std::function<void(ReaderTest&)> beforeOpen;
  std::function<void(ReaderTest&)> whileOpen;  // runs once both threads have settled
  bool hangup;
  friend void PrintTo(const ReaderEnd& row, std::ostream* out) { *out << row.name; }
};

class ReaderEndTest : public ScriptedCommTest, public ::testing::WithParamInterface<ReaderEnd> {};

TEST_P(ReaderEndTest, EndsTheReaderAndLeavesTheWriterRunning) {
  const ReaderEnd& row = GetParam();
  if (row.beforeOpen) {
    row.beforeOpen(*this);
    ASSERT_NO_THROW(comm->OpenPort());
  } else {
    OpenAndSettle();
    row.whileOpen(*this);
  }
  ASSERT_TRUE(Ended(comm->ReaderThread())) << "the reader goes on";
  if (row.hangup) {
    ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Hangup) == 1; }));
  }
  // The writer still works.
  if (row.beforeOpen) {
    ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Empty) >= 1; }));
  }
  const std::size_t empties = CountOf(log, Notice::Empty);
  ASSERT_TRUE(comm->SendData("still", 5));
  ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Empty) == empties + 1; }));
  EXPECT_EQ(device->Written(), "still");
  EXPECT_EQ(CountOf(log, Notice::Hangup), row.hangup ? 1u : 0u);
  EXPECT_EQ(CountOf(log, Notice::Data), 0u);
  EXPECT_EQ(device->PendingReads() + device->PendingEvents(), 0u) << "left pending";
  comm->ClosePort();
}

void Fail(ReaderTest& t, SerialCall call, DWORD error) {
  t.device->SetResult(call, error);
}

const ReaderEnd kReaderEnds[] = {
    {"SetCommMaskFails", [](ReaderTest& t) { Fail(t, SerialCall::SetCommMask, ERROR_GEN_FAILURE); },
     nullptr, true},
    {"WaitCommEventFails", [](ReaderTest& t) { t.device->EventFails(ERROR_GEN_FAILURE); }, nullptr,
     true},
    {"WaitCommEventInvalidHandle",
     [](ReaderTest& t) { t.device->EventFails(ERROR_INVALID_HANDLE); }, nullptr, false},
    {"ReadFileFails", [](ReaderTest& t) { t.device->ReadFails(ERROR_GEN_FAILURE); }, nullptr, true},
    {"ReadFileInvalidHandle", [](ReaderTest& t) { t.device->ReadFails(ERROR_INVALID_HANDLE); },
     nullptr, false},
    {"ReadOfZeroBytesAtOnce", [](ReaderTest& t) { t.device->ReadReturns(""); }, nullptr, false},
    {"ReadResultFails", nullptr,
     [](ReaderTest& t) { ASSERT_TRUE(t.device->FailRead(ERROR_GEN_FAILURE)); }, true},
    {"ReadResultInvalidHandle", nullptr,
     [](ReaderTest& t) { ASSERT_TRUE(t.device->FailRead(ERROR_INVALID_HANDLE)); }, false},
    {"ReadOfZeroBytes", nullptr, [](ReaderTest& t) { ASSERT_TRUE(t.device->CompleteRead("")); },
     false},
    {"EventResultFails", nullptr,
     [](ReaderTest& t) { ASSERT_TRUE(t.device->FailEvent(ERROR_GEN_FAILURE)); }, true},
    {"EventResultInvalidHandle", nullptr,
     [](ReaderTest& t) { ASSERT_TRUE(t.device->FailEvent(ERROR_INVALID_HANDLE)); }, false},
    {"ClearCommErrorFails", nullptr,
     [](ReaderTest& t) {
       Fail(t, SerialCall::ClearCommError, ERROR_GEN_FAILURE);
       ASSERT_TRUE(t.device->CompleteEvent(EV_ERR));
     },
     true},
    {"ClearCommErrorInvalidHandle", nullptr,
     [](ReaderTest& t) {
       Fail(t, SerialCall::ClearCommError, ERROR_INVALID_HANDLE);
       ASSERT_TRUE(t.device->CompleteEvent(EV_ERR));
     },
     false},
    {"BlockCannotBeAllocated", nullptr,
     [](ReaderTest& t) {
       platform::FailNextCall(FaultPoint::LocalAlloc);
       ASSERT_TRUE(t.device->CompleteRead("lost"));
     },
     true},
    // The writer is idle once settled, so the next post is the reader's.
    {"DataPostFails", nullptr,
     [](ReaderTest& t) {
       platform::FailNextCall(FaultPoint::PostMessageA);
       ASSERT_TRUE(t.device->CompleteRead("lost"));
     },
     true},
    {"LineErrorPostFails", nullptr,
     [](ReaderTest& t) {
       platform::FailNextCall(FaultPoint::PostMessageA);
       ASSERT_TRUE(t.device->CompleteEvent(EV_ERR));
     },
     true},
    {"ModemEventPostFails", nullptr,
     [](ReaderTest& t) {
       platform::FailNextCall(FaultPoint::PostMessageA);
       ASSERT_TRUE(t.device->CompleteEvent(EV_RING));
     },
     true},
};

INSTANTIATE_TEST_SUITE_P(Table, ReaderEndTest, ::testing::ValuesIn(kReaderEnds),
                         [](const auto& info) { return std::string(info.param.name); });

// The idle writer does not touch the port: it ends at its next write.
TEST_F(ReaderTest, InvalidHandleEndsBothThreadsQuietly) {
  OpenAndSettle();
  device->InvalidateHandle();
  ASSERT_TRUE(Ended(comm->ReaderThread()));
  ASSERT_TRUE(comm->SendData("lost", 4));
  ASSERT_TRUE(Ended(comm->WriterThread()));
  EXPECT_FALSE(comm->SendData("gone", 4));
  comm->ClosePort();
  DispatchPending();
  EXPECT_TRUE(log.empty()) << log[0];
}

// The event wait still pending at the end is ended before the reader's records go.
TEST_F(ReaderTest, StopEndsThePendingReadAndEventWaitWithoutAPost) {
  OpenAndSettle();
  ASSERT_EQ(device->PendingReads(), 1u);
  ASSERT_EQ(device->PendingEvents(), 1u);
  comm->ClosePort();
  EXPECT_EQ(device->PendingReads() + device->PendingEvents(), 0u);
  EXPECT_EQ(device->Masks(), (std::vector<DWORD>{0x01A0, 0}));
  DispatchPending();
  EXPECT_TRUE(log.empty()) << log[0];
}

// Only one thread's event creation fails (which one is up to the scheduler); that thread asks for
// a hang-up and ends, the other goes on.
TEST_F(ReaderTest, ThreadWhoseEventCannotBeMadeAsksForAHangup) {
  platform::FailNextCall(FaultPoint::CreateEventA, 1);  // the first is OpenPort's stop event
  ASSERT_NO_THROW(comm->OpenPort());
  ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Hangup) == 1; }));
  const HANDLE threads[] = {comm->ReaderThread()->Handle(), comm->WriterThread()->Handle()};
  const DWORD ended = WaitForMultipleObjects(2, threads, FALSE, kBound);
  ASSERT_LT(ended, 2u) << "neither thread ended";
  if (ended == 0) {  // the reader's
    EXPECT_TRUE(device->Masks().empty());
    ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Empty) == 1; }));
    EXPECT_TRUE(comm->SendData("w", 1));
  } else {
    EXPECT_FALSE(comm->SendData("w", 1));
    ASSERT_TRUE(device->WaitForPendingRead());
  }
  comm->ClosePort();
  DispatchPending();
  EXPECT_EQ(CountOf(log, Notice::Hangup), 1u);
}

}  // namespace
