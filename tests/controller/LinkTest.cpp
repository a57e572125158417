// The simulated controller over a real pseudo-terminal, driven with raw frames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

#include "FrameSupport.h"
#include "LineSupport.h"
#include "controller/SimulatedController.h"
#include "platform/Root.h"

namespace {

using namespace std::chrono_literals;
using controller::Bytes;
using testline::TestLine;

using namespace frames;

const Bytes kWriteSettings = WriteSettings(2500, true);

constexpr const char* kName = "COM7";

class Link : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.Path().empty());
    ::setenv("TAVKEL_ROOT", root_.Path().c_str(), 1);
  }

  void TearDown() override {
    simulated_.reset();
    EXPECT_FALSE(platform::LookupDevice(kName)) << "name left in the device map";
    ::unsetenv("TAVKEL_ROOT");
  }

  void Start(controller::ControllerState state, int baud = 9600) {
    controller::LinkOptions options;
    options.name = kName;
    options.baud = baud;
    simulated_ = std::make_unique<controller::SimulatedController>(
        std::move(state), options, [this](const std::string& line) {
          std::lock_guard guard(logLock_);
          log_.push_back(line);
        });
    simulated_->Start();
  }

  // Opens the device the way the tool finds it: by its name in the device map.
  std::unique_ptr<TestLine> Open() {
    const auto path = platform::LookupDevice(kName);
    EXPECT_TRUE(path.has_value());
    auto line = std::make_unique<TestLine>(path.value_or(""));
    EXPECT_TRUE(line->IsOpen());
    return line;
  }

  void SetKnobs(auto&& change) {
    controller::Knobs knobs;
    change(knobs);
    simulated_->SetKnobs(knobs);
  }

  std::size_t LogLinesWith(const std::string& text) {
    std::lock_guard guard(logLock_);
    return std::count_if(log_.begin(), log_.end(),
                         [&](const std::string& line) { return line.find(text) != line.npos; });
  }

  TempDir root_;
  std::unique_ptr<controller::SimulatedController> simulated_;
  std::mutex logLock_;
  std::vector<std::string> log_;
};

TEST_F(Link, AnswersEachRequestAsOneBurstAtOnce) {
  controller::ControllerState state = controller::GeneratedState(3);
  state.password = "1234";
  Start(state);
  auto line = Open();
  const struct {
    const char* name;
    Bytes request;
    Bytes reply;
  } steps[] = {
      {"probe", kProbe, kAccepted},
      {"password", kGetPassword, {0xAA, 0x12, '1', '2', '3', '4', 0x00, 0xEE}},
      {"set password", {0xAA, 0x13, '9', '8', 0x00, 0x00, 0xEE}, kAccepted},
      {"password again", kGetPassword, {0xAA, 0x12, '9', '8', 0x00, 0xEE}},
      {"settings", kWriteSettings, kAccepted},
      {"phones 1", WritePhones({{2, "555"}, {4, "1234567890123"}, {9, "7"}, {10, "8"}, {11, "9"}}),
       kAccepted},
      {"phones 2", WritePhones({{1000, " "}}), kAccepted},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    line->Send(step.request);
    const auto block = line->ReadBlock(1s);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->bytes, step.reply);
    EXPECT_LT(block->first - line->SentAt(), 60ms);
  }
  const auto held = simulated_->State();
  const std::map<std::uint16_t, std::string> phones = {
      {2, "555"}, {4, "1234567890123"}, {9, "7"}, {10, "8"}, {11, "9"}, {1000, " "}};
  EXPECT_EQ(held.phones, phones);  // the write started afresh: slots 1 and 3 are gone
  EXPECT_EQ(held.relayTimeout, 2500);
  EXPECT_TRUE(held.externalDisconnection);
  EXPECT_EQ(held.password, "98");
  EXPECT_GE(LogLinesWith("<- AA 11 00 EE"), 1u);
  EXPECT_GE(LogLinesWith("-> AA 20 00 EE"), 1u);
}

TEST_F(Link, FullLoadOfAThousandNumbers) {
  controller::ControllerState state = controller::GeneratedState(1000);
  state.phones[1000] = "1234567890123";
  state.relayTimeout = 59999;
  Start(state, 115200);
  auto line = Open();
  ASSERT_EQ(line->Exchange(kReadRequest),
            (Bytes{0xAA, 0x22, 0x09, 0x03, 0xE8, 0xEA, 0x5F, 0x00, 0, 0, 0, 0, 0xEE}));
  std::map<std::uint16_t, std::string> loaded;
  int frames = 0;
  for (;;) {
    const Bytes reply = line->Exchange(kReadAck);
    ASSERT_GE(reply.size(), 4u) << "no answer after frame " << frames;
    if (reply == kEndOfData) {
      break;
    }
    ASSERT_EQ(reply[1], 0x23);
    ASSERT_EQ(reply.size(), reply[2] + 4u);
    ASSERT_LE(reply[2] / 16, 15);
    for (std::size_t at = 3; at + 16 < reply.size(); at += 16) {
      const auto text = reinterpret_cast<const char*>(&reply[at + 2]);
      loaded[static_cast<std::uint16_t>(reply[at] << 8 | reply[at + 1])] = std::string(text);
      EXPECT_EQ(reply[at + 15], 0x00);
    }
    ASSERT_LT(++frames, 100) << "the load does not end";
  }
  EXPECT_EQ(frames, 67);  // 66 of 15 and one of 10
  EXPECT_EQ(loaded, state.phones);
  EXPECT_TRUE(line->ReadBlock(200ms) == std::nullopt) << "something after EndOfData";
}

TEST_F(Link, LongestReplyKeepsTheByteTimingOfNineThousandSixHundredBaud) {
  Start(controller::GeneratedState(15));
  auto line = Open();
  ASSERT_EQ(line->Exchange(kReadRequest).size(), 13u);
  line->Send(kReadAck);
  const auto block = line->ReadBlock(1s);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->bytes.size(), 244u);
  const auto span = block->last - block->first;
  EXPECT_GT(span, 230ms);  // 243 byte times of 1.04 ms
  EXPECT_LT(span, 320ms);
  EXPECT_LT(block->widestGap, 50ms);
  EXPECT_LT(block->first - line->SentAt(), 60ms);
}

TEST_F(Link, MalformedRequestsAreLoggedAndGetNoAnswer) {
  Start(controller::ControllerState{});
  auto line = Open();
  const Bytes bad[] = {{0xAA, 0x77, 0x00, 0xEE},
                       {0xAA, 0x11, 0x00, 0xEF},
                       {0x01, 0x02, 0x03},
                       WritePhones({{0, "1"}}),
                       {0xAA, 0x02, 0x09, 0x00}};
  for (const auto& frame : bad) {
    SCOPED_TRACE(controller::Hex(frame));
    line->Send(frame);
    EXPECT_EQ(line->ReadBlock(250ms), std::nullopt);
  }
  EXPECT_EQ(line->Exchange(kProbe), kAccepted);
  EXPECT_EQ(LogLinesWith("!!"), 4u);
  EXPECT_EQ(LogLinesWith("?? 01 02 03"), 1u);
}

TEST_F(Link, DelayKnobHoldsTheAnswerBack) {
  Start(controller::ControllerState{});
  SetKnobs([](controller::Knobs& k) { k.delay = 300ms; });
  auto line = Open();
  line->Send(kProbe);
  const auto block = line->ReadBlock(1s);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->bytes, kAccepted);
  EXPECT_GE(block->first - line->SentAt(), 295ms);
  EXPECT_LT(block->first - line->SentAt(), 450ms);
}

TEST_F(Link, SilentKnobAnswersNothingUntilLifted) {
  Start(controller::ControllerState{});
  SetKnobs([](controller::Knobs& k) { k.silent = true; });
  auto line = Open();
  line->Send(kProbe);
  EXPECT_EQ(line->ReadBlock(400ms), std::nullopt);
  SetKnobs([](controller::Knobs&) {});
  EXPECT_EQ(line->Exchange(kProbe), kAccepted);
}

TEST_F(Link, RefuseKnobRefusesAndTakesNothingOver) {
  const auto before = controller::GeneratedState(5);
  Start(before);
  SetKnobs([](controller::Knobs& k) { k.answer.refuse = true; });
  auto line = Open();
  EXPECT_EQ(line->Exchange(kWriteSettings), kRefused);
  EXPECT_EQ(line->Exchange(kProbe), kRefused);
  EXPECT_EQ(simulated_->State(), before);
}

// Each knob sends a second block after a pause longer than the tool's read interval: the second
// half of the answer, or a stray byte that follows the answer to WriteSettings, or every
// Accepted, alone.
TEST_F(Link, SplitAndStrayKnobsSendASecondBlockAfterTheirPause) {
  Start(controller::ControllerState{});
  auto line = Open();
  const struct {
    const char* name;
    void (*knob)(controller::Knobs&);
    Bytes request;
    Bytes first;
    Bytes second;
  } cases[] = {
      {"stray after Accepted",
       [](controller::Knobs& k) { k.strayAfterAccepted = 250ms; },
       kProbe,
       kAccepted,
       {0xFF}},
      {"split",
       [](controller::Knobs& k) { k.splitPause = 250ms; },
       kWriteSettings,
       {0xAA, 0x20},
       {0x00, 0xEE}},
      {"stray",
       [](controller::Knobs& k) { k.strayAfterSettings = 250ms; },
       kWriteSettings,
       kAccepted,
       {0xFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetKnobs(c.knob);
    line->Send(c.request);
    const auto first = line->ReadBlock(1s);
    const auto second = line->ReadBlock(1s);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->bytes, c.first);
    EXPECT_EQ(second->bytes, c.second);
    EXPECT_GT(second->first - first->last, 200ms);
  }
  EXPECT_EQ(line->Exchange(kProbe), kAccepted);
  // The last knob set sends its stray byte after answers to WriteSettings alone.
  EXPECT_EQ(line->ReadBlock(400ms), std::nullopt) << "a stray byte after a Probe's answer";
}

// The lost frame is told by its bytes: a resend is the same frame, the next numbers another.
TEST_F(Link, LoseKnobLosesTheFirstTransmissionsOfOnePhoneFrame) {
  const Bytes first = WritePhones({{1, "111"}});
  const Bytes second = WritePhones({{2, "222"}});
  const struct {
    int times;
    std::vector<bool> answered;  // first, first again, first a third time, second
  } cases[] = {{1, {false, true, true, true}}, {0, {false, false, false, true}}};
  Start(controller::ControllerState{});
  auto line = Open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.times);
    SetKnobs([&](controller::Knobs& k) {
      k.losePhonesFrame = 1;
      k.loseTimes = c.times;
    });
    const Bytes sent[] = {first, first, first, second};
    for (std::size_t i = 0; i < 4; ++i) {
      SCOPED_TRACE(i);
      line->Send(sent[i]);
      const auto block = line->ReadBlock(400ms);
      EXPECT_EQ(block.has_value(), c.answered[i]);
    }
  }
  EXPECT_EQ(LogLinesWith("lost on the line"), 4u);
  EXPECT_EQ(simulated_->State().phones.size(), 2u);
}

TEST_F(Link, MergeKnobSendsSettingsAndFirstPhonesAsOneBurst) {
  Start(controller::GeneratedState(20));
  SetKnobs([](controller::Knobs& k) { k.answer.mergeFirstPhones = true; });
  auto line = Open();
  const Bytes merged = line->Exchange(kReadRequest);
  ASSERT_EQ(merged.size(), 13u + 244u);
  EXPECT_EQ(merged[1], 0x22);
  EXPECT_EQ(merged[12], 0xEE);
  EXPECT_EQ(merged[14], 0x23);
  const Bytes next = line->Exchange(kReadAck);
  ASSERT_EQ(next.size(), 5u * 16 + 4);
  EXPECT_EQ(next[3] << 8 | next[4], 16);  // slots 1 to 15 came with the settings
  EXPECT_EQ(line->Exchange(kReadAck), kEndOfData);
}

TEST_F(Link, GarbageKnobSendsABurstThatFormsNoFrame) {
  Start(controller::ControllerState{});
  SetKnobs([](controller::Knobs& k) { k.garbage = true; });
  auto line = Open();
  const Bytes reply = line->Exchange(kProbe);
  ASSERT_FALSE(reply.empty());
  EXPECT_NE(reply.back(), 0xEE);
}

TEST_F(Link, HangUpKnobDropsTheLineAndPublishesAFreshOne) {
  Start(controller::ControllerState{});
  SetKnobs([](controller::Knobs& k) { k.hangUpAt = 2; });
  const std::string before = simulated_->DevicePath();
  auto line = Open();
  EXPECT_EQ(line->Exchange(kProbe), kAccepted);
  line->Send(kProbe);
  EXPECT_TRUE(line->WaitForHangUp(2s));
  ASSERT_TRUE(simulated_->WaitForLineCount(2, 2s));
  const std::string after = simulated_->DevicePath();
  EXPECT_NE(after, before);
  EXPECT_EQ(platform::LookupDevice(kName), after);
  auto fresh = Open();
  EXPECT_EQ(fresh->Exchange(kProbe), kAccepted);  // the knob fires once
  EXPECT_EQ(fresh->Exchange(kProbe), kAccepted);
}

}  // namespace
