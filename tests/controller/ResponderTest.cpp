#include "controller/Responder.h"

#include <gtest/gtest.h>

#include "FrameSupport.h"

namespace {

using controller::Bytes;

using namespace frames;

controller::Request Parse(const Bytes& frame) {
  auto request = controller::ParseRequest(frame, nullptr);
  EXPECT_TRUE(request) << controller::Hex(frame);
  return request.value_or(controller::Request{});
}

// One answer of exactly one frame.
Bytes Only(const controller::Answer& answer) {
  EXPECT_EQ(answer.frames.size(), 1u) << answer.note;
  return answer.frames.empty() ? Bytes{} : answer.frames.front();
}

TEST(Responder, LoadSendsTheTableInSlotOrderFifteenAFrame) {
  controller::ControllerState state = controller::GeneratedState(31);
  state.phones.erase(2);
  state.phones[1000] = "1234567890123";
  state.relayTimeout = 0xEA5F;
  state.externalDisconnection = true;
  controller::Responder responder(state);
  const controller::AnswerKnobs knobs;

  EXPECT_EQ(Only(responder.Handle(Parse(kReadRequest), knobs)),
            controller::SettingsReply(31, 0xEA5F, true));
  std::vector<std::uint16_t> slots;
  std::vector<std::size_t> sizes;
  for (int frame = 0; frame < 3; ++frame) {
    const Bytes reply = Only(responder.Handle(Parse(kReadAck), knobs));
    ASSERT_EQ(reply[1], 0x23);
    sizes.push_back(reply[2] / 16);
    for (std::size_t k = 0; k < reply[2] / 16u; ++k) {
      slots.push_back(static_cast<std::uint16_t>(reply[3 + 16 * k] << 8 | reply[4 + 16 * k]));
    }
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{15, 15, 1}));
  ASSERT_EQ(slots.size(), 31u);
  EXPECT_TRUE(std::is_sorted(slots.begin(), slots.end()));
  EXPECT_EQ(slots.front(), 1);
  EXPECT_EQ(slots[1], 3);
  EXPECT_EQ(slots.back(), 1000);
  EXPECT_EQ(Only(responder.Handle(Parse(kReadAck), knobs)), kEndOfData);
  // The load is over: a stray acknowledgement gets nothing.
  const auto stray = responder.Handle(Parse(kReadAck), knobs);
  EXPECT_TRUE(stray.frames.empty());
  EXPECT_FALSE(stray.note.empty());
}

TEST(Responder, EmptyTableLoadEndsAtTheFirstAck) {
  controller::Responder responder(controller::ControllerState{});
  EXPECT_EQ(Only(responder.Handle(Parse(kReadRequest), {})),
            controller::SettingsReply(0, 1000, false));
  EXPECT_EQ(Only(responder.Handle(Parse(kReadAck), {})), kEndOfData);
}

TEST(Responder, MergeSendsTheFirstPhonesReplyWithTheSettings) {
  controller::Responder responder(controller::GeneratedState(20));
  controller::AnswerKnobs knobs;
  knobs.mergeFirstPhones = true;
  const auto answer = responder.Handle(Parse(kReadRequest), knobs);
  ASSERT_EQ(answer.frames.size(), 2u);
  EXPECT_EQ(answer.frames[0][1], 0x22);
  EXPECT_EQ(answer.frames[1][1], 0x23);
  EXPECT_EQ(answer.frames[1][2], 15 * 16);
  const Bytes second = Only(responder.Handle(Parse(kReadAck), knobs));
  EXPECT_EQ(second[2], 5 * 16);
}

TEST(Responder, WriteStartsAfreshAndHoldsExactlyWhatWasWritten) {
  controller::Responder responder(controller::GeneratedState(10));
  EXPECT_EQ(Only(responder.Handle(Parse(WriteSettings(2500, true)), {})), kAccepted);
  EXPECT_TRUE(responder.State().phones.empty());
  EXPECT_EQ(responder.State().relayTimeout, 2500);
  EXPECT_TRUE(responder.State().externalDisconnection);
  EXPECT_EQ(Only(responder.Handle(Parse(WritePhones({{7, "5551234"}})), {})), kAccepted);
  EXPECT_EQ(Only(responder.Handle(Parse(WritePhones({{3, " "}})), {})), kAccepted);
  const std::map<std::uint16_t, std::string> expected = {{3, " "}, {7, "5551234"}};
  EXPECT_EQ(responder.State().phones, expected);
}

TEST(Responder, RefuseTakesNothingOver) {
  const controller::ControllerState before = controller::GeneratedState(4);
  controller::Responder responder(before);
  controller::AnswerKnobs knobs;
  knobs.refuse = true;
  const Bytes requests[] = {WriteSettings(3000, true),
                            WritePhones({{9, "1"}}),
                            {0xAA, 0x13, '4', '3', '2', '1', 0xEE},
                            kProbe};
  for (const auto& request : requests) {
    SCOPED_TRACE(controller::Hex(request));
    EXPECT_EQ(Only(responder.Handle(Parse(request), knobs)), kRefused);
  }
  EXPECT_EQ(responder.State(), before);
}

// The settings frame is taken over and so empties the table; every phone frame is refused.
TEST(Responder, RefusePhonesTakesTheSettingsAndNoNumber) {
  controller::Responder responder(controller::GeneratedState(4));
  controller::AnswerKnobs knobs;
  knobs.refusePhones = true;
  EXPECT_EQ(Only(responder.Handle(Parse(WriteSettings(3000, true)), knobs)), kAccepted);
  EXPECT_EQ(Only(responder.Handle(Parse(WritePhones({{9, "1"}})), knobs)), kRefused);
  EXPECT_EQ(Only(responder.Handle(Parse(kProbe), knobs)), kAccepted);
  EXPECT_TRUE(responder.State().phones.empty());
  EXPECT_EQ(responder.State().relayTimeout, 3000);
}

TEST(Responder, PasswordIsSetAndReadBack) {
  controller::Responder responder(controller::ControllerState{});
  EXPECT_EQ(Only(responder.Handle(Parse({0xAA, 0x13, '4', '2', 0x00, 0x00, 0xEE}), {})), kAccepted);
  EXPECT_EQ(responder.State().password, "42");
  EXPECT_EQ(Only(responder.Handle(Parse(kGetPassword), {})),
            (Bytes{0xAA, 0x12, '4', '2', 0x00, 0xEE}));
  controller::AnswerKnobs bare;
  bare.passwordZeroByte = false;
  EXPECT_EQ(Only(responder.Handle(Parse(kGetPassword), bare)), (Bytes{0xAA, 0x12, '4', '2', 0xEE}));
}

}  // namespace
