#include "controller/State.h"

#include <gtest/gtest.h>

#include <fstream>

#include "FrameSupport.h"
#include "controller/CommandLine.h"

namespace {

class StateFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }

  std::filesystem::path Write(const std::string& text) {
    const auto file = dir_ / "state.txt";
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

  frames::TempDir temp_;
  const std::filesystem::path& dir_ = temp_.Path();
};

TEST_F(StateFile, SavesAndLoadsEveryCharacterOfNumbersAndPassword) {
  controller::ControllerState state = controller::GeneratedState(1000);
  state.phones[5] = " \\x\xEE\x01\n 7";
  state.phones[6] = "1234567890123";
  state.password = "a b";
  state.relayTimeout = 65535;
  state.externalDisconnection = true;
  const auto file = dir_ / "saved.txt";
  controller::SaveState(state, file);
  EXPECT_EQ(controller::LoadState(file), state);
  // Saving again replaces the file in place.
  state.phones.clear();
  controller::SaveState(state, file);
  EXPECT_EQ(controller::LoadState(file), state);
}

TEST_F(StateFile, ReadsAHandWrittenFile) {
  const auto state = controller::LoadState(
      Write("# mine\n\ntimeout 2500\r\nexternal 1\npassword 12\nphone 3 555 12\nphone 1000 9\n"));
  EXPECT_EQ(state.relayTimeout, 2500);
  EXPECT_TRUE(state.externalDisconnection);
  EXPECT_EQ(state.password, "12");
  const std::map<std::uint16_t, std::string> phones = {{3, "555 12"}, {1000, "9"}};
  EXPECT_EQ(state.phones, phones);
}

TEST_F(StateFile, RejectsWhatTheControllerCannotHold) {
  const char* lines[] = {
      "timeout 65536", "timeout -1",   "external 2", "password 12345",         "password 1\\x002",
      "phone 0 1",     "phone 1001 1", "phone 5 ",   "phone 5 12345678901234", "phone x 1",
      "phone 5 \\xZZ", "colour red",   "timeout",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    EXPECT_THROW(controller::LoadState(Write(std::string(line) + "\n")), std::runtime_error);
  }
  EXPECT_THROW(controller::LoadState(dir_ / "missing"), std::runtime_error);
}

TEST(CommandLine, ParsesOptionsAndKnobs) {
  const auto options = controller::ParseCommandLine({"--state",
                                                     "s.txt",
                                                     "--name",
                                                     "COM4",
                                                     "--baud",
                                                     "115200",
                                                     "--delay",
                                                     "300",
                                                     "--silent",
                                                     "--refuse",
                                                     "--split",
                                                     "250",
                                                     "--merge",
                                                     "--garbage",
                                                     "--hang-up",
                                                     "3",
                                                     "--no-password-zero",
                                                     "--stray",
                                                     "600",
                                                     "--refuse-phones",
                                                     "--stray-accepted",
                                                     "200",
                                                     "--lose-phones",
                                                     "3",
                                                     "--lose-times",
                                                     "0"});
  EXPECT_EQ(options.stateFile, std::filesystem::path("s.txt"));
  EXPECT_EQ(options.link.name, "COM4");
  EXPECT_EQ(options.link.baud, 115200);
  EXPECT_EQ(options.knobs.delay, std::chrono::milliseconds(300));
  EXPECT_TRUE(options.knobs.silent);
  EXPECT_TRUE(options.knobs.answer.refuse);
  EXPECT_EQ(options.knobs.splitPause, std::chrono::milliseconds(250));
  EXPECT_TRUE(options.knobs.answer.mergeFirstPhones);
  EXPECT_TRUE(options.knobs.garbage);
  EXPECT_EQ(options.knobs.hangUpAt, 3);
  EXPECT_FALSE(options.knobs.answer.passwordZeroByte);
  EXPECT_EQ(options.knobs.strayAfterSettings, std::chrono::milliseconds(600));
  EXPECT_TRUE(options.knobs.answer.refusePhones);
  EXPECT_EQ(options.knobs.strayAfterAccepted, std::chrono::milliseconds(200));
  EXPECT_EQ(options.knobs.losePhonesFrame, 3);
  EXPECT_EQ(options.knobs.loseTimes, 0);

  const auto plain = controller::ParseCommandLine({"--generate", "1000"});
  EXPECT_EQ(controller::InitialState(plain).phones.size(), 1000u);
  EXPECT_EQ(plain.link.baud, 9600);
  EXPECT_EQ(plain.knobs.hangUpAt, 0);
  EXPECT_EQ(plain.knobs.loseTimes, 1);
}

TEST(CommandLine, RejectsBadOptions) {
  const std::vector<std::vector<std::string_view>> cases = {
      {"--generate", "1001"}, {"--baud"},       {"--delay", "soon"},   {"--frobnicate"},
      {"--hang-up", "0"},     {"--stray", "0"}, {"--lose-phones", "0"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.front());
    EXPECT_THROW(controller::ParseCommandLine(args), std::invalid_argument);
  }
}

}  // namespace
