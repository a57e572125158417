#include "controller/Protocol.h"

#include <gtest/gtest.h>

#include "FrameSupport.h"

namespace {

using controller::Bytes;
using controller::RequestCode;

using frames::WritePhones;

TEST(ParseRequest, TakesEveryWellFormedRequest) {
  struct Case {
    Bytes frame;
    RequestCode code;
  } cases[] = {
      {{0xAA, 0x01, 0x00, 0xEE}, RequestCode::ReadRequest},
      {{0xAA, 0x10, 0x00, 0xEE}, RequestCode::ReadAck},
      {{0xAA, 0x11, 0x00, 0xEE}, RequestCode::Probe},
      {{0xAA, 0x12, 0x00, 0xEE}, RequestCode::GetPassword},
      {{0xAA, 0x02, 0x09, 0x00, 0x00, 0x03, 0xE8, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEE},
       RequestCode::WriteSettings},
      {WritePhones({{1, "1234567890123"}}), RequestCode::WritePhones},
      {{0xAA, 0x13, '1', '2', 0x00, 0x00, 0xEE}, RequestCode::SetPassword},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(controller::Hex(c.frame));
    const auto request = controller::ParseRequest(c.frame, nullptr);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->code, c.code);
  }
}

TEST(ParseRequest, ReadsTheFieldsOfDataRequests) {
  const Bytes settings = {0xAA, 0x02, 0x09, 0x00, 0x00, 0xEA, 0x5F, 0x01, 0, 0, 0, 0, 0xEE};
  const auto parsed = controller::ParseRequest(settings, nullptr);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->relayTimeout, 59999);
  EXPECT_TRUE(parsed->externalDisconnection);

  const auto phones =
      controller::ParseRequest(WritePhones({{3, "555"}, {1000, "1234567890123"}}), nullptr);
  ASSERT_TRUE(phones);
  ASSERT_EQ(phones->phones.size(), 2u);
  EXPECT_EQ(phones->phones[0].slot, 3);
  EXPECT_EQ(phones->phones[0].number, "555");
  EXPECT_EQ(phones->phones[1].slot, 1000);
  EXPECT_EQ(phones->phones[1].number, "1234567890123");

  const Bytes password = {0xAA, 0x13, '9', '8', 0x00, '7', 0xEE};
  EXPECT_EQ(controller::ParseRequest(password, nullptr)->password, "98");
}

TEST(ParseRequest, RejectsMalformedFrames) {
  Bytes noZero = WritePhones({{1, "1"}});
  std::fill(noZero.begin() + 5, noZero.begin() + 19, '7');  // 14 characters, no zero byte
  const Bytes cases[] = {
      {0xAA, 0x11, 0x00, 0xEF},                          // bad end byte
      {0xAB, 0x11, 0x00, 0xEE},                          // no start byte
      {0xAA, 0x77, 0x00, 0xEE},                          // unknown code
      {0xAA, 0x20, 0x00, 0xEE},                          // a reply, not a request
      {0xAA, 0x11, 0x01, 0x00, 0xEE},                    // length where none may be
      {0xAA, 0x02, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0xEE},  // settings of 8
      {0xAA, 0x03, 0x11},                                // records of 17 bytes
      {0xAA, 0x03, 0x60},                                // six records
      {0xAA, 0x03, 0x00, 0xEE},                          // no record
      WritePhones({{0, "1"}}),                           // slot 0
      WritePhones({{1001, "1"}}),                        // beyond the last slot
      WritePhones({{5, ""}}),                            // empty number
      {0xAA, 0x11, 0x00},                                // truncated
      {0xAA, 0x13, '1', '2', '3', '4', '5', 0xEE},       // password frame too long
  };
  for (const auto& frame : cases) {
    SCOPED_TRACE(controller::Hex(frame));
    std::string why;
    EXPECT_FALSE(controller::ParseRequest(frame, &why));
    EXPECT_FALSE(why.empty());
  }
  // 14 characters without zero: the controller takes the 13 a record can carry.
  const auto taken = controller::ParseRequest(noZero, nullptr);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->phones[0].number, "7777777777777");
}

TEST(Replies, AreLaidOutForTheTool) {
  EXPECT_EQ(controller::SettingsReply(1000, 59999, true),
            (Bytes{0xAA, 0x22, 0x09, 0x03, 0xE8, 0xEA, 0x5F, 0x01, 0, 0, 0, 0, 0xEE}));
  EXPECT_EQ(controller::ShortReply(controller::ReplyCode::Accepted),
            (Bytes{0xAA, 0x20, 0x00, 0xEE}));
  EXPECT_EQ(controller::PasswordReply("1234", true),
            (Bytes{0xAA, 0x12, '1', '2', '3', '4', 0x00, 0xEE}));
  EXPECT_EQ(controller::PasswordReply("12", false), (Bytes{0xAA, 0x12, '1', '2', 0xEE}));

  std::vector<controller::PhoneEntry> entries;
  for (std::uint16_t slot = 1; slot <= 16; ++slot) {
    entries.push_back({slot, std::string(slot, '5')});  // the longer ones are cut at 13
  }
  const Bytes phones = controller::PhonesReply(entries);
  ASSERT_EQ(phones.size(), 244u);  // 15 records at most
  EXPECT_EQ(phones[2], 240);
  EXPECT_EQ(phones.back(), 0xEE);
  for (std::size_t k = 0; k < 15; ++k) {
    SCOPED_TRACE(k);
    const std::size_t at = 3 + 16 * k;
    EXPECT_EQ(phones[at] << 8 | phones[at + 1], static_cast<int>(k + 1));
    EXPECT_EQ(phones[at + 15], 0x00);
    const std::size_t length = std::min<std::size_t>(k + 1, 13);
    EXPECT_EQ(std::count(phones.begin() + at + 2, phones.begin() + at + 15, '5'),
              static_cast<long>(length));
  }
}

}  // namespace
