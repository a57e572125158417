#include "app/Frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Range>
Bytes ToBytes(const Range& range) {
  return Bytes(range.begin(), range.end());
}

Bytes TextBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

struct RequestCase {
  const char* name;
  Bytes built;
  Bytes expected;
};

TEST(RequestFrames, BuildTheBytesOfEachRequest) {
  // A password taken from a longer buffer: the view ends at 2, the byte after it must not leak.
  const std::string buffer = "12X";
  const RequestCase cases[] = {
      {"ReadRequest", ToBytes(app::ReadRequest()), {0xAA, 0x01, 0x00, 0xEE}},
      {"ReadAck", ToBytes(app::ReadAck()), {0xAA, 0x10, 0x00, 0xEE}},
      {"Probe", ToBytes(app::Probe()), {0xAA, 0x11, 0x00, 0xEE}},
      {"GetPassword", ToBytes(app::GetPassword()), {0xAA, 0x12, 0x00, 0xEE}},
      {"WriteSettings 1000, flag on",
       ToBytes(app::WriteSettings(1000, true)),
       {0xAA, 0x02, 0x09, 0x00, 0x00, 0x03, 0xE8, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEE}},
      {"WriteSettings 59999, flag off",
       ToBytes(app::WriteSettings(59999, false)),
       {0xAA, 0x02, 0x09, 0x00, 0x00, 0xEA, 0x5F, 0x00, 0x00, 0x00, 0x00, 0x00, 0xEE}},
      {"WriteSettings keeps the low 16 bits",
       ToBytes(app::WriteSettings(0x12345, false)),
       {0xAA, 0x02, 0x09, 0x00, 0x00, 0x23, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0xEE}},
      {"SetPassword of 3",
       ToBytes(app::SetPassword("123")),
       {0xAA, 0x13, '1', '2', '3', 0x00, 0xEE}},
      {"SetPassword of 5",
       ToBytes(app::SetPassword("12345")),
       {0xAA, 0x13, '1', '2', '3', '4', 0xEE}},
      {"SetPassword of 2",
       ToBytes(app::SetPassword(std::string_view(buffer).substr(0, 2))),
       {0xAA, 0x13, '1', '2', 0x00, 0x00, 0xEE}},
      {"SetPassword of 0",
       ToBytes(app::SetPassword("")),
       {0xAA, 0x13, 0x00, 0x00, 0x00, 0x00, 0xEE}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.built, c.expected);
  }
}

TEST(WritePhonesFrame, FifteenCharacterNumberInRowOneGivesTwentyBytes) {
  app::WritePhones frame;
  frame.Add(1, "123456789012345");
  const Bytes expected =
      Concat({{0xAA, 0x03, 0x10, 0x00, 0x01}, TextBytes("1234567890123"), {0x00, 0xEE}});
  EXPECT_EQ(ToBytes(frame.Bytes()), expected);
}

TEST(WritePhonesFrame, FiveRecordsInOrderWithZeroFillAndBigEndianSlots) {
  app::WritePhones frame;
  const std::pair<std::uint16_t, std::string> rows[] = {
      {3, "5551234"}, {10, ""}, {0x0100, "1234567890123"}, {500, " "}, {1000, "x"}};
  for (const auto& [slot, number] : rows) {
    ASSERT_FALSE(frame.Full());
    frame.Add(slot, number);
  }
  EXPECT_TRUE(frame.Full());
  const auto bytes = ToBytes(frame.Bytes());
  ASSERT_EQ(bytes.size(), 84u);
  EXPECT_EQ(bytes[2], 0x50);
  EXPECT_EQ(bytes.back(), 0xEE);
  for (std::size_t k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    const auto record = app::MakePhoneRecord(rows[k].first, rows[k].second);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), bytes.begin() + 3 + 16 * k));
    EXPECT_EQ(record[15], 0x00);
  }
  EXPECT_EQ(bytes[3 + 32], 0x01);  // slot 256: high byte first
  EXPECT_EQ(bytes[3 + 32 + 1], 0x00);
  EXPECT_EQ(bytes[3 + 64], 0x03);  // slot 1000 = 03 E8
  EXPECT_EQ(bytes[3 + 64 + 1], 0xE8);
}

TEST(WritePhonesFrame, LengthFollowsTheRecordCount) {
  app::WritePhones frame;
  for (std::size_t n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    frame.Add(static_cast<std::uint16_t>(n), "1");
    const auto bytes = frame.Bytes();
    EXPECT_EQ(bytes.size(), 16 * n + 4);
    EXPECT_EQ(bytes[2], 16 * n);
    EXPECT_EQ(bytes.back(), 0xEE);
  }
}

struct KindCase {
  const char* name;
  Bytes block;
  app::ReplyFrame kind;
};

TEST(ReplyViewKind, RecognisesByCodeAndLastByteOnly) {
  const KindCase cases[] = {
      {"Accepted", {0xAA, 0x20, 0x00, 0xEE}, app::ReplyFrame::Accepted},
      {"Accepted without start or length", {0x00, 0x20, 0xEE}, app::ReplyFrame::Accepted},
      {"wrong end byte", {0xAA, 0x20, 0x00, 0xEF}, app::ReplyFrame::None},
      {"one byte", {0xEE}, app::ReplyFrame::None},
      {"empty", {}, app::ReplyFrame::None},
      {"Refused", {0xAA, 0x21, 0x00, 0xEE}, app::ReplyFrame::Refused},
      {"EndOfData", {0xAA, 0x24, 0x00, 0xEE}, app::ReplyFrame::EndOfData},
      {"PasswordReply", {0xAA, 0x12, '1', '2', 0xEE}, app::ReplyFrame::PasswordReply},
      {"SettingsReply",
       {0xAA, 0x22, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE},
       app::ReplyFrame::SettingsReply},
      {"SettingsReply needs length 9",
       {0xAA, 0x22, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE},
       app::ReplyFrame::None},
      {"PhonesReply", {0xAA, 0x23, 0x00, 0xEE}, app::ReplyFrame::PhonesReply},
      {"merged Settings and Phones go by the first code",
       {0xAA, 0x22, 0x09, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xEE, 0xAA, 0x23, 0x00, 0xEE},
       app::ReplyFrame::SettingsReply},
      {"unknown code", {0xAA, 0x25, 0x00, 0xEE}, app::ReplyFrame::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(app::ReplyView(c.block).Kind(), c.kind);
  }
}

TEST(ReplyViewParts, SettingsReplyFields) {
  const Bytes block = {0xAA, 0x22, 0x09, 0x03, 0xE8, 0xFF, 0xFF, 0x02, 0, 0, 0, 0, 0xEE};
  const app::ReplyView view(block);
  EXPECT_EQ(view.StoredCount(), 1000);
  EXPECT_EQ(view.RelayTimeout(), 65535);
  EXPECT_TRUE(view.ExternalDisconnection());
  const Bytes off = {0xAA, 0x22, 0x09, 0, 0, 0x03, 0xE8, 0x00, 0, 0, 0, 0, 0xEE};
  EXPECT_EQ(app::ReplyView(off).RelayTimeout(), 1000);
  EXPECT_FALSE(app::ReplyView(off).ExternalDisconnection());
}

TEST(ReplyViewParts, PhonesReplyRecordsAndTheirTexts) {
  // Record 0 is zero-terminated; record 1 fills all 14 bytes and stops at the end byte.
  Bytes block = {0xAA, 0x23, 0x2F};
  const auto first = app::MakePhoneRecord(0x03E8, "5551234");
  block.insert(block.end(), first.begin(), first.end());
  block.insert(block.end(), {0x00, 0x07});
  const auto full = TextBytes("ABCDEFGHIJKLMN");
  block.insert(block.end(), full.begin(), full.end());
  block.push_back(0xEE);
  const app::ReplyView view(block);
  ASSERT_EQ(view.RecordCount(), 2u);  // 0x2F div 16
  EXPECT_EQ(view.RecordSlot(0), 1000);
  EXPECT_EQ(view.RecordText(0), "5551234");
  EXPECT_EQ(view.RecordSlot(1), 7);
  EXPECT_EQ(view.RecordText(1), "ABCDEFGHIJKLMN");
}

TEST(ReplyViewParts, BytesBeyondTheBlockReadAsZero) {
  // Announces three records but holds one: the missing ones read as slot 0 with an empty text.
  Bytes block = {0xAA, 0x23, 0x30};
  const auto record = app::MakePhoneRecord(2, "42");
  block.insert(block.end(), record.begin(), record.end());
  block.push_back(0xEE);
  const app::ReplyView view(block);
  EXPECT_EQ(view.RecordCount(), 3u);
  EXPECT_EQ(view.RecordText(0), "42");
  EXPECT_EQ(view.RecordSlot(2), 0);
  EXPECT_EQ(view.RecordText(2), "");
  EXPECT_EQ(view.At(block.size() + 100), 0);
  // A text that reaches the block's last byte stops before it: that byte is the frame's end.
  const Bytes noZero = {0xAA, 0x23, 0x10, 0x00, 0x01, 'A', 'B'};
  EXPECT_EQ(app::ReplyView(noZero).RecordText(0), "A");
  // A text that starts at or beyond the last byte is empty.
  const Bytes endOnly = {0xAA, 0x23, 0x10, 0x00, 0x01, 0xEE};
  EXPECT_EQ(app::ReplyView(endOnly).RecordText(0), "");
}

TEST(ReplyViewParts, PasswordTextWithAndWithoutZeroByte) {
  const Bytes withZero = {0xAA, 0x12, '1', '2', '3', '4', 0x00, 0xEE};
  const Bytes withoutZero = {0xAA, 0x12, '1', '2', '3', '4', 0xEE};
  const Bytes empty = {0xAA, 0x12, 0x00, 0xEE};
  EXPECT_EQ(app::ReplyView(withZero).PasswordText(), "1234");
  EXPECT_EQ(app::ReplyView(withoutZero).PasswordText(), "1234");
  EXPECT_EQ(app::ReplyView(empty).PasswordText(), "");
}

}  // namespace
