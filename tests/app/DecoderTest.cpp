// The reply decoder, fed blocks by hand: what each reply changes in the operation state and the
// window, what it acknowledges, and the blocks it must leave alone.
#include "DeviceFixture.h"
#include "app/Operation.h"

namespace {

using namespace app_test;

std::string Settings(int CountHigh, int CountLow, int TimeoutHigh, int TimeoutLow, int Flag,
                     int LengthByte = 0x09) {
  return Hex({0xAA, 0x22, LengthByte, CountHigh, CountLow, TimeoutHigh, TimeoutLow, Flag, 0, 0, 0,
              0, 0xEE});
}

struct Record {
  int slot;
  std::string text;  // up to 14 bytes; the rest of the 14 is zero
};

// A PhonesReply with the given length byte (16 per record unless given) and records.
std::string Phones(const std::vector<Record>& Records, int LengthByte = -1) {
  std::string block = Hex({0xAA, 0x23, LengthByte < 0 ? 16 * int(Records.size()) : LengthByte});
  for (const Record& r : Records) {
    std::string record = Hex({r.slot >> 8, r.slot & 0xFF}) + r.text;
    record.resize(16, '\0');
    block += record;
  }
  return block + Hex({0xEE});
}

class Decoder : public DeviceWindows {
 protected:
  void SetUp() override {
    DeviceWindows::SetUp();
    Form().StatusBar1->Panel(0).SetText("before");
  }
  std::string Cell(int Row) { return Form().StringGrid1->Cells(1, Row); }
  // A few fields the decoder must not touch when a block passes no test.
  struct Snapshot {
    app::TPhase phase;
    std::uint16_t expected;
    std::string edit1, edit2, status, header;
    bool checked;
    BOOL answered;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot Take() {
    app::TForm1& f = Form();
    return {f.Phase,  f.PhonesExpected, f.Edit1->Text(),        f.Edit2->Text(),
            Status(), Cell(0),          f.CheckBox1->Checked(), f.DeviceAnswered};
  }
};

TEST_P(Decoder, AcceptedIsTestedByCodeAndEndByteOnly) {
  for (const std::string& block : {kAccepted, Hex({0x00, 0x20, 0xEE}), Hex({0x55, 0x20, 0xEE})}) {
    Form().ReplyKind = app::ReplyOther;
    Form().DeviceAnswered = FALSE;
    OweAnswer();
    Receive(block);
    EXPECT_EQ(Form().ReplyKind, app::ReplyAccepted);
    EXPECT_TRUE(Form().DeviceAnswered);
  }
  EXPECT_EQ(Sent(), Frames{});
}

// The held frame hears only answers to its own transmissions; the port search hears every
// Accepted.
TEST_P(Decoder, AnAnswerOwedByNoTransmissionOfTheHeldFrameLeavesReplyKind) {
  for (const bool earlierFrame : {false, true}) {
    SCOPED_TRACE(earlierFrame ? "owed by an earlier frame" : "owed by nothing");
    if (earlierFrame) {
      OweAnswer();
      Form().AnswersOwed.HoldNewFrame();
    }
    for (const std::string& block : {kAccepted, kRefused}) {
      Form().ReplyKind = app::ReplyOther;
      Form().DeviceAnswered = FALSE;
      Receive(block);
      EXPECT_EQ(Form().ReplyKind, app::ReplyOther);
      EXPECT_EQ(Form().DeviceAnswered, block == kAccepted ? TRUE : FALSE);
    }
  }
}

// While a search runs, an Accepted is the probe's answer alone: the frame owed an answer still
// waits for its own, which counts once the search is over.
TEST_P(Decoder, AnAcceptedDuringASearchAcknowledgesNoFrame) {
  OweAnswer();
  Form().ReplyKind = app::ReplyOther;
  for (const app::TSearchState state : {app::SearchRefresh, app::SearchProbe, app::SearchCheck}) {
    Form().SearchState = state;
    Form().DeviceAnswered = FALSE;
    Receive(kAccepted);
    EXPECT_EQ(Form().ReplyKind, app::ReplyOther) << "search state " << state;
    EXPECT_TRUE(Form().DeviceAnswered);
  }
  Form().SearchState = app::SearchIdle;
  Receive(kAccepted);
  EXPECT_EQ(Form().ReplyKind, app::ReplyAccepted);
}

TEST_P(Decoder, BlocksThatPassNoTestLeaveAnAcceptedAndClearTheRest) {
  Form().Phase = app::PhaseWritePhones;
  Form().PhonesExpected = 9;
  const std::string blocks[] = {
      Hex({0xAA, 0x20, 0x00, 0xEF}),  // wrong end byte
      Hex({0xEE}),                    // one byte
      Hex({0xAA, 0x30, 0x00, 0xEE}),  // unknown code
      Settings(0, 5, 3, 0xE8, 1, 8),  // settings with a wrong length byte
      Hex({0xAA, 0x23, 0x10, 0x00}),  // phones without the end byte
      std::string(600, '\xEE'),       // longer than the reply buffer
      Hex({0xAA, 0x20}) + std::string(599, '\xEE'),
  };
  for (const std::string& block : blocks) {
    SCOPED_TRACE(block.size());
    for (const app::TReplyKind kind :
         {app::ReplyAccepted, app::ReplyRefused, app::ReplyEndOfData, app::ReplyOther}) {
      SCOPED_TRACE(kind);
      Form().ReplyKind = kind;
      const Snapshot before = Take();
      Receive(block);
      EXPECT_EQ(Form().ReplyKind, kind == app::ReplyAccepted ? kind : app::ReplyOther);
      EXPECT_TRUE(Take() == before);
    }
  }
  EXPECT_EQ(Sent(), Frames{});
}

TEST_P(Decoder, BlockOfExactlyTheBufferSizeIsDecoded) {
  OweAnswer();
  Receive(Hex({0xAA, 0x20}) + std::string(498, '\xEE'));
  EXPECT_EQ(Form().ReplyKind, app::ReplyAccepted);
}

TEST_P(Decoder, RefusedAndEndOfDataSetTheirKind) {
  OweAnswer();
  Receive(kRefused);
  EXPECT_EQ(Form().ReplyKind, app::ReplyRefused);
  EXPECT_EQ(Status(), "before");
  Receive(kEndOfData);
  EXPECT_EQ(Form().ReplyKind, app::ReplyEndOfData);
  EXPECT_EQ(Status(), "Receiving completed.");
  EXPECT_FALSE(Form().DeviceAnswered);
  EXPECT_EQ(Sent(), Frames{});
}

TEST_P(Decoder, SettingsReplyTakesCountTimeoutAndFlagAndIsAcknowledged) {
  struct Case {
    int countHigh, countLow, timeoutHigh, timeoutLow, flag;
    int expected14, expected13;  // PhonesExpected per edition
    const char* timeout;
    bool checked;
  };
  const Case cases[] = {
      {0x03, 0xE8, 0xFF, 0xFF, 0x02, 1000, 1000, "65535", true},
      {0x03, 0xE9, 0x03, 0xE8, 0x00, 1001, 1001, "1000", false},
      {0x01, 0xF4, 0x00, 0x00, 0x01, 500, 500, "0", true},
      {0x01, 0xF5, 0x00, 0x07, 0x00, 501, 501, "7", false},
      {0xFF, 0xFF, 0xEA, 0x5F, 0x80, 0xFFFF, 0xFFFF, "59999", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeout);
    Form().Phase = app::PhaseLoad;
    Receive(Settings(c.countHigh, c.countLow, c.timeoutHigh, c.timeoutLow, c.flag));
    EXPECT_EQ(Form().Phase, app::PhaseIdle);
    EXPECT_EQ(Form().PhonesExpected, LastSlot() == 1000 ? c.expected14 : c.expected13);
    EXPECT_EQ(Form().Edit1->Text(), c.timeout);
    EXPECT_EQ(Form().CheckBox1->Checked(), c.checked);
    EXPECT_EQ(Form().ReplyKind, app::ReplyOther);
    EXPECT_EQ(Sent(), Frames{AsText(app::ReadAck())});
  }
}

TEST_P(Decoder, PhonesReplyStoresCountsAndAcknowledgesEachRecord) {
  Form().PhonesExpected = 10;
  Form().PhonesReceived = 4;
  Receive(Phones({{1, "0612"}, {2, "0613"}}));
  EXPECT_EQ(Cell(1), "0612");
  EXPECT_EQ(Cell(2), "0613");
  EXPECT_EQ(Form().PhonesExpected, 8);
  EXPECT_EQ(Form().PhonesReceived, 6);
  EXPECT_EQ(Status(), "Receiving datas:6");
  EXPECT_EQ(Sent(), Frames{AsText(app::ReadAck())});
}

TEST_P(Decoder, LengthByteCountsWholeRecordsOnly) {
  Form().PhonesExpected = 10;
  Receive(Phones({{1, "111"}}, 0x0F));
  EXPECT_EQ(Cell(1), "");
  EXPECT_EQ(Status(), "Receiving datas:0");
  Receive(Phones({{1, "111"}, {2, "222"}}, 0x1F));
  EXPECT_EQ(Cell(1), "111");
  EXPECT_EQ(Cell(2), "");
  EXPECT_EQ(Form().PhonesReceived, 1);
  EXPECT_EQ(Sent(), (Frames{AsText(app::ReadAck()), AsText(app::ReadAck())}));
}

TEST_P(Decoder, AnnouncedCountUsedUpStoresOneMoreRecordUncounted) {
  Form().PhonesExpected = 1;
  Receive(Phones({{1, "111"}, {2, "222"}, {3, "333"}}));
  EXPECT_EQ(Cell(1), "111");
  EXPECT_EQ(Cell(2), "222");
  EXPECT_EQ(Cell(3), "");
  EXPECT_EQ(Form().PhonesExpected, 0);
  EXPECT_EQ(Form().PhonesReceived, 1);
  EXPECT_EQ(Status(), "Receiving datas:1");
}

// A controller holding more numbers than the table: every record that fits is stored and every
// record is counted, however many frames come.
TEST_P(Decoder, CountAboveTheTableBoundsNothing) {
  for (const int announced : {LastSlot() + 100, LastSlot() + 200, 0xFFFF}) {
    SCOPED_TRACE(announced);
    Form().BitBtn5->Click();  // "Crear All"
    Form().PhonesReceived = 0;
    Receive(Settings(announced >> 8, announced & 0xFF, 0x03, 0xE8, 0));
    Sent();
    int slot = 1;
    const int frames = (LastSlot() + 100 + 14) / 15;
    for (int f = 0; f < frames; ++f) {
      std::vector<Record> records;
      for (int k = 0; k < 15 && slot <= LastSlot() + 100; ++k, ++slot) {
        records.push_back({slot, "0" + std::to_string(slot)});
      }
      Receive(Phones(records));
    }
    for (const int row : {1, 2, 15, 16, LastSlot() - 1, LastSlot()}) {
      EXPECT_EQ(Cell(row), "0" + std::to_string(row));
    }
    EXPECT_EQ(Form().StringGrid1->RowCount(), LastSlot() + 1);
    EXPECT_EQ(Form().PhonesReceived, LastSlot() + 100);
    EXPECT_EQ(Status(), "Receiving datas:" + std::to_string(LastSlot() + 100));
    EXPECT_EQ(Sent().size(), static_cast<std::size_t>(frames));
  }
}

TEST_P(Decoder, SlotNumbersOutsideTheTable) {
  Form().PhonesExpected = 10;
  Receive(Phones({{0, "header"}, {1000, "thousand"}, {501, "over"}, {0xFFFF, "max"}}));
  EXPECT_EQ(Cell(0), "header");
  EXPECT_EQ(Form().StringGrid1->RowCount(), LastSlot() + 1);
  if (LastSlot() == 1000) {
    EXPECT_EQ(Cell(1000), "thousand");
    EXPECT_EQ(Cell(501), "over");
  } else {
    EXPECT_EQ(Cell(500), "");
  }
  EXPECT_EQ(Form().PhonesReceived, 4);  // every record is counted
}

TEST_P(Decoder, TextsRunToTheFirstZeroByteAndNeverPastTheBlock) {
  Form().PhonesExpected = 10;
  // Record 0 fills its 14 text bytes: it runs on into record 1's slot bytes and text.
  std::string block = Hex({0xAA, 0x23, 0x20}) + Hex({0, 1}) + "ABCDEFGHIJKLMN" + Hex({0, 2}) +
                      "xy" + std::string(12, '\0') + Hex({0xEE});
  Receive(block);
  EXPECT_EQ(Cell(1), "ABCDEFGHIJKLMN");  // stops at the high byte of record 1's slot
  EXPECT_EQ(Cell(2), "xy");
  // The end byte is framing: a last record that fills its 14 bytes stops before it.
  Receive(Hex({0xAA, 0x23, 0x10, 0, 3}) + "12345678901234" + Hex({0xEE}));
  EXPECT_EQ(Cell(3), "12345678901234");
  // A length byte that promises more than the block holds: missing records read as zero.
  Form().StringGrid1->SetCells(1, 0, "Phone Number");
  Receive(Hex({0xAA, 0x23, 0x30, 0, 4, '7', 0xEE}));
  EXPECT_EQ(Cell(4), "7");
  EXPECT_EQ(Cell(0), "");
  EXPECT_EQ(Form().PhonesReceived, 6);  // records 1 and 2 lie wholly beyond it: counted too
}

TEST_P(Decoder, PasswordReplySetsTheFieldAsItComes) {
  struct Case {
    std::string block;
    std::string password;
  };
  const Case cases[] = {
      {Hex({0xAA, 0x12, '1', '2', '3', '4', 0x00, 0xEE}), "1234"},
      {Hex({0xAA, 0x12, '1', '2', '3', '4', 0xEE}), "1234"},
      {Hex({0xAA, 0x12, '4', '3', '2', 0xEE}), "432"},
      {Hex({0xAA, 0x12, 0x00, 0xEE}), ""},
      {Hex({0xAA, 0x12, 0xEE}), ""},
      {Hex({0xAA, 0x12, '9', '8', '7', '6', '5', 0x00, 0xEE}), "98765"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.password);
    Form().StatusBar1->Panel(0).SetText("before");
    Receive(c.block);
    EXPECT_EQ(Form().Edit2->Text(), c.password);
    EXPECT_EQ(Status(), "Password Receiving completed.");
  }
  EXPECT_EQ(Sent(), Frames{});
}

// The acknowledgement has a buffer of its own: the frame held for a resend is not disturbed.
TEST_P(Decoder, AcknowledgementLeavesTheHeldFrameAlone) {
  SetNumber(1, "0612");
  Click(Form().BitBtn4);
  Tick();
  const Frames settings{AsText(app::WriteSettings(1000, false))};
  EXPECT_EQ(Sent(), settings);
  Receive(Phones({{2, "0613"}}));
  EXPECT_EQ(Sent(), Frames{AsText(app::ReadAck())});
  Tick();
  EXPECT_EQ(Sent(), settings);
}

INSTANTIATE_TEST_SUITE_P(Editions, Decoder, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         EditionName);

}  // namespace
