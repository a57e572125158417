// The component on a real tty: a pseudo-terminal whose master side the test plays.
#include "tests/platform/SerialTestSupport.h"
#include "tests/serial/SerialTestSupport.h"

namespace {

using namespace serial_test;
using namespace brisko;

class PtyTest : public SerialTest {
 public:
  void SetUp() override {
    SerialTest::SetUp();
    pty = std::make_unique<serialtest::Pty>();
    ASSERT_TRUE(pty->Ok()) << "no pseudo-terminal";
    comm = std::make_unique<TComm>(nullptr);
    // The stored settings of Comm1, on the pty's slave.
    comm->SetCommName(pty->SlavePath());
    comm->SetDtrControl(TDtrControl::DtrHandshake);
    comm->SetTxContinueOnXoff(false);
    comm->SetOutx_XonXoffFlow(false);
    comm->SetInx_XonXoffFlow(false);
    comm->SetRtsControl(TRtsControl::RtsDisable);
    comm->SetXonChar('0');
    comm->SetXoffChar('0');
    Record(*comm, log);
  }
  void TearDown() override {
    DispatchPending();
    comm.reset();
    pty.reset();
    SerialTest::TearDown();
  }

  // Opens and waits for the writer's first look at its queue.
  void Open() {
    DispatchPending();  // notices of an earlier opening
    log.clear();
    ASSERT_NO_THROW(comm->OpenPort());
    ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Empty) == 1; }));
    log.clear();
  }

  std::unique_ptr<serialtest::Pty> pty;
  std::unique_ptr<TComm> comm;
  std::vector<Notice> log;
};

TEST_F(PtyTest, FrameGoesOutWholeAndAReplyComesBackAsOneBlock) {
  Open();
  const std::string frame =
      "\xAA\x11\x09"
      "012345678"
      "\xEE";
  ASSERT_TRUE(comm->SendData(frame.data(), 13));
  EXPECT_EQ(pty->Receive(13), frame);
  const std::string reply(84, '\x5A');
  pty->Send(reply);
  ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Data) == 1; }));
  DispatchPending();
  std::vector<Notice> data;
  for (const Notice& n : log) {
    if (n.kind == Notice::Data) {
      data.push_back(n);
    }
  }
  EXPECT_EQ(data, (std::vector<Notice>{DataNotice(reply)}));
  comm->ClosePort();
}

TEST_F(PtyTest, LongBurstIsSplitAfterItsFullBuffer) {
  Open();
  std::string burst(3000, '\0');
  for (std::size_t i = 0; i < burst.size(); ++i) {
    burst[i] = static_cast<char>(i * 7);
  }
  pty->Send(burst);
  ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Data) == 2; }));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], DataNotice(burst.substr(0, 2048)));
  EXPECT_EQ(log[1], DataNotice(burst.substr(2048)));
  comm->ClosePort();
}

// The Linux driver has no 1.5 stop bits: the line state is refused quietly and the port works on.
TEST_F(PtyTest, SettingsTheDriverCannotTakeAreRefusedQuietly) {
  comm->SetStopBits(TStopBits::_1_5);
  Open();
  comm->SetByteSize(TByteSize::_7);  // re-applied with the 1.5 stop bits: refused again
  DCB dcb{};
  ASSERT_TRUE(GetCommState(comm->PortHandle(), &dcb));
  EXPECT_NE(dcb.StopBits, ONE5STOPBITS);
  EXPECT_NE(dcb.ByteSize, 7);
  ASSERT_TRUE(comm->SendData("ping", 4));
  EXPECT_EQ(pty->Receive(4), "ping");
  pty->Send("pong");
  ASSERT_TRUE(PumpUntil([&] { return CountOf(log, Notice::Data) == 1; }));
  EXPECT_EQ(log.back(), DataNotice("pong"));
  comm->ClosePort();
}

TEST_F(PtyTest, ThousandCyclesLeaveNothingBehind) {
  for (int cycle = 0; cycle < 1000; ++cycle) {
    SCOPED_TRACE(cycle);
    Open();
    ASSERT_TRUE(comm->SendData("\xAA\x15\x00\xEE", 4));
    ASSERT_EQ(pty->Receive(4), std::string("\xAA\x15\x00\xEE", 4));
    comm->ClosePort();
  }
  EXPECT_EQ(comm->PortHandle(), nullptr);
}

}  // namespace
