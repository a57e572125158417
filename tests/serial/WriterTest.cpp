// The writer thread and SendData: what goes out on the line, the empty-queue notice, refusals and
// every way the writer ends.
#include <cstring>

#include "tests/serial/SerialTestSupport.h"

namespace {

using namespace serial_test;
using platform::FaultPoint;
using platform::SerialCall;

class WriterTest : public ScriptedCommTest {
 protected:
  // From now on each OnSendDataEmpty records how many writes the device had seen by then.
  void CountWritesAtEachEmptyNotice() {
    comm->SetOnSendDataEmpty(
        [this](brisko::TObject*) { writesAtEmpty.push_back(device->Writes().size()); });
  }
  std::vector<std::size_t> writesAtEmpty;
};

TEST_F(WriterTest, QueuedRequestsGoOutBackToBackFollowedByOneNotice) {
  OpenAndSettle();
  CountWritesAtEachEmptyNotice();
  device->WritePends();
  ASSERT_TRUE(comm->SendData("first", 5));
  ASSERT_TRUE(device->WaitForPendingWrite());
  ASSERT_TRUE(comm->SendData("second", 6));
  ASSERT_TRUE(comm->SendData("third", 5));
  ASSERT_TRUE(device->CompleteWrite());
  ASSERT_TRUE(PumpUntil([&] { return writesAtEmpty.size() == 1; }));
  ASSERT_TRUE(comm->SendData("fourth", 6));
  ASSERT_TRUE(PumpUntil([&] { return writesAtEmpty.size() == 2; }));
  EXPECT_EQ(writesAtEmpty, (std::vector<std::size_t>{3, 4}));
  EXPECT_EQ(device->Writes(), (std::vector<std::string>{"first", "second", "third", "fourth"}));
  comm->ClosePort();
}

TEST_F(WriterTest, WritesExactlyTheCountFromACopyMadeAtOnce) {
  OpenAndSettle();
  char frame[] =
      "\xAA\x11\x0A"
      "0123456789"
      "\xEE";
  ASSERT_TRUE(comm->SendData(frame, 13));
  std::memset(frame, 'x', sizeof frame);
  ASSERT_TRUE(device->WaitForWritten(13));
  EXPECT_EQ(device->Writes(), (std::vector<std::string>{"\xAA\x11\x0A"
                                                        "0123456789"}));
  comm->ClosePort();
}

TEST_F(WriterTest, PartialWriteIsContinuedFromTheFirstUnwrittenByte) {
  const std::string frame = "ABCDEFGHIJKLM";
  for (const bool atOnce : {true, false}) {
    SCOPED_TRACE(atOnce ? "at once" : "through the wait");
    const std::size_t before = device->Writes().size();
    if (atOnce) {
      device->WriteAccepts(5);
    } else {
      device->WritePends();
    }
    OpenAndSettle();
    CountWritesAtEachEmptyNotice();
    ASSERT_TRUE(comm->SendData(frame.data(), 13));
    if (!atOnce) {
      ASSERT_TRUE(device->WaitForPendingWrite());
      ASSERT_TRUE(device->CompleteWrite(5));
    }
    ASSERT_TRUE(PumpUntil([&] { return writesAtEmpty.size() == 1; }));
    std::vector<std::string> writes = device->Writes();
    writes.erase(writes.begin(), writes.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(writes, (std::vector<std::string>{frame, frame.substr(5)}));
    comm->ClosePort();
    Record(*comm, log);
    writesAtEmpty.clear();
  }
}

TEST_F(WriterTest, SendDataRefusesAndReleasesItsCopy) {
  const std::size_t blocks = platform::LiveLocalBlocks();
  EXPECT_FALSE(comm->SendData("closed", 6));
  EXPECT_FALSE(comm->SendData("", 0));
  OpenAndSettle();
  EXPECT_FALSE(comm->SendData("x", 0));
  platform::FailNextCall(FaultPoint::LocalAlloc);
  EXPECT_FALSE(comm->SendData("no memory", 9));
  platform::FailNextCall(FaultPoint::PostThreadMessageA);
  EXPECT_FALSE(comm->SendData("not queued", 10));
  EXPECT_EQ(platform::LiveLocalBlocks(), blocks);
  ASSERT_TRUE(comm->SendData("queued", 6));
  ASSERT_TRUE(device->WaitForWritten(6));
  EXPECT_EQ(device->Written(), "queued");
  comm->ClosePort();
}

// Until the writer has first looked at its queue its thread has none, so a SendData right after
// OpenPort may be refused; when it is, nothing is written and the copy is released.
TEST_F(WriterTest, SendDataRightAfterOpenIsQueuedOrCleanlyRefused) {
  int refused = 0;
  for (int i = 0; i < 50; ++i) {
    const std::size_t blocks = platform::LiveLocalBlocks();
    const std::size_t written = device->Written().size();
    comm->OpenPort();
    const bool queued = comm->SendData("now", 3);
    if (queued) {
      EXPECT_TRUE(device->WaitForWritten(written + 3));
    } else {
      ++refused;
      EXPECT_EQ(platform::LiveLocalBlocks(), blocks);
    }
    comm->ClosePort();
    EXPECT_EQ(device->Written().size(), written + (queued ? 3 : 0));
  }
  RecordProperty("refused", refused);
  DispatchPending();
  log.clear();
}

TEST_F(WriterTest, OtherThreadMessagesAreDroppedWithoutANotice) {
  OpenAndSettle();
  CountWritesAtEachEmptyNotice();
  ASSERT_TRUE(PostThreadMessageA(comm->WriterThread()->ThreadID(), WM_USER + 2, 1, 2));
  ASSERT_TRUE(comm->SendData("after", 5));
  ASSERT_TRUE(PumpUntil([&] { return writesAtEmpty.size() == 1; }));
  EXPECT_EQ(writesAtEmpty, (std::vector<std::size_t>{1}));
  EXPECT_EQ(device->Writes(), (std::vector<std::string>{"after"}));
  comm->ClosePort();
}

// The stop wins over a pending write; requests still queued are never written but released.
TEST_F(WriterTest, StopWhileAWritePendsEndsQuietlyAndReleasesQueuedRequests) {
  OpenAndSettle();
  device->WritePends();
  ASSERT_TRUE(comm->SendData("pending", 7));
  ASSERT_TRUE(device->WaitForPendingWrite());
  ASSERT_TRUE(comm->SendData("queued1", 7));
  ASSERT_TRUE(comm->SendData("queued2", 7));
  comm->ClosePort();
  EXPECT_EQ(device->Writes(), (std::vector<std::string>{"pending"}));
  EXPECT_EQ(device->PendingWrites(), 0u);
  DispatchPending();
  EXPECT_TRUE(log.empty()) << log[0];
}

struct WriterEnd {
  const char* name;
  std::function<void(WriterTest&)> script;   // before the write
  std::function<void(WriterTest&)> pending;  // ends the pending write, if one is scripted
  bool hangup;
  friend void PrintTo(const WriterEnd& row, std::ostream* out) { *out << row.name; }
};

class WriterEndTest : public WriterTest, public ::testing::WithParamInterface<WriterEnd> {};

TEST_P(WriterEndTest, EndsTheWriterAndLeavesTheReaderRunning) {
  const WriterEnd& row = GetParam();
  OpenAndSettle();
  row.script(*this);
  ASSERT_TRUE(comm->SendData("doomed", 6));
  if (row.pending) {
    ASSERT_TRUE(device->WaitForPendingWrite());
    row.pending(*this);
  }
  ASSERT_TRUE(Ended(comm->WriterThread()));
  EXPECT_FALSE(comm->SendData("late", 4)) << "the ended writer's queue took a request";
  ASSERT_TRUE(device->CompleteRead("reader"));
  ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Data) == 1; }));
  EXPECT_EQ(CountOf(log, Notice::Hangup), row.hangup ? 1u : 0u);
  EXPECT_EQ(CountOf(log, Notice::Empty), 0u);
  comm->ClosePort();
}

const WriterEnd kWriterEnds[] = {
    {"WriteFileFails", [](WriterTest& t) { t.device->WriteFails(ERROR_GEN_FAILURE); }, nullptr,
     true},
    {"WriteFileInvalidHandle", [](WriterTest& t) { t.device->WriteFails(ERROR_INVALID_HANDLE); },
     nullptr, false},
    {"WriteResultFails", [](WriterTest& t) { t.device->WritePends(); },
     [](WriterTest& t) { ASSERT_TRUE(t.device->FailWrite(ERROR_GEN_FAILURE)); }, true},
    {"WriteResultInvalidHandle", [](WriterTest& t) { t.device->WritePends(); },
     [](WriterTest& t) { ASSERT_TRUE(t.device->FailWrite(ERROR_INVALID_HANDLE)); }, false},
};

INSTANTIATE_TEST_SUITE_P(Table, WriterEndTest, ::testing::ValuesIn(kWriterEnds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WriterTest, FailedEmptyNoticeEndsTheWriterWithAHangup) {
  platform::FailNextCall(FaultPoint::PostMessageA);  // the reader posts nothing at start
  ASSERT_NO_THROW(comm->OpenPort());
  ASSERT_TRUE(Ended(comm->WriterThread()));
  EXPECT_FALSE(comm->SendData("late", 4));
  ASSERT_TRUE(PumpUntilCount(log, 1));
  EXPECT_EQ(log, (std::vector<Notice>{{Notice::Hangup}}));
  comm->ClosePort();
}

}  // namespace
