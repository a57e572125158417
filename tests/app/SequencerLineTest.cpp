// The sequencer and the reply decoder over a line and a controller simulated in virtual time: a
// tick every 500 ms; each frame crosses the line at 9600 baud (or is lost on it), the controller
// takes it over and answers after its delay, and the answer is decoded once it has crossed back
// and the reader's 100 ms of quiet have passed. On the lines below (answers up to 900 ms late,
// transmissions or whole frames lost, noise after the answers, a Refused followed by an Accepted
// that answers nothing), a write either fails or completes with the controller holding every
// number of the table. Not covered, since no frame carries a number to tell it by: a controller
// that answers one frame twice, or later than the answer ledger waits (three ticks).
#include <map>
#include <optional>
#include <queue>

#include "DeviceFixture.h"
#include "app/Operation.h"

namespace {

using namespace app_test;

constexpr double kByteMs = 10.0 * 1000.0 / 9600;  // start bit, 8 data bits, stop bit
constexpr double kReadQuietMs = 100;              // the reader delivers after this much quiet
constexpr double kAnswerGapMs = 110;              // the controller's quiet between two answers
constexpr double kTickMs = 500;

// Lost on the line, for LineBehaviour::lostTransmissions: every transmission of the frame.
constexpr int kEveryTransmission = 1000;

struct LineBehaviour {
  int delayMs = 0;  // from a frame's last byte to the answer's first
  // The frame the line loses transmissions of: the settings frame (0) or the nth phone frame the
  // controller would see (1, 2, ...); and how many of its first transmissions it loses.
  int lostFrame = -1;
  int lostTransmissions = 0;
  int noiseAfterAcceptedMs = 0;  // > 0: a noise byte this long after each Accepted
  // > 0: the first transmission of this phone frame is refused, not taken over, and 700 ms
  // after the Refused the controller sends an Accepted that answers nothing.
  int refuseThenStrayAccepted = 0;
};

// The controller's end of the line: what it holds, and the blocks it has sent, by the time the
// tool's reader delivers them.
class SimulatedLine {
 public:
  explicit SimulatedLine(LineBehaviour Behaviour) : behaviour_(Behaviour) {}

  void Transmit(const std::string& Frame, double SentAt) {
    const double arrived = SentAt + static_cast<double>(Frame.size()) * kByteMs;
    const auto code = static_cast<std::uint8_t>(Frame.at(1));
    int frame = -1;
    if (code == app::kWriteSettingsCode) {
      frame = 0;
    } else if (code == app::kWritePhonesCode) {
      if (Frame != lastPhones_) {
        ++phoneFrames_;
        lastPhones_ = Frame;
        transmissionsOfFrame_ = 0;
      }
      frame = phoneFrames_;
    }
    if (frame == behaviour_.lostFrame && transmissionsOfFrame_++ < behaviour_.lostTransmissions) {
      return;
    }
    double start = arrived + behaviour_.delayMs;
    if (frame > 0 && frame == behaviour_.refuseThenStrayAccepted && !refused_) {
      refused_ = true;
      start = Answer(kRefused, start);
      Answer(kAccepted, start + 4 * kByteMs + 700);
      return;
    }
    TakeOver(Frame);
    start = Answer(kAccepted, start);
    if (behaviour_.noiseAfterAcceptedMs > 0) {
      Answer(Hex({0xFF}), start + 4 * kByteMs + behaviour_.noiseAfterAcceptedMs);
    }
  }

  // The next block the reader delivers, if it is due before Until.
  std::optional<std::string> Delivered(double Until) {
    if (blocks_.empty() || blocks_.top().at >= Until) {
      return std::nullopt;
    }
    std::string block = blocks_.top().bytes;
    blocks_.pop();
    return block;
  }

  std::map<int, std::string> phones;
  std::string settings;  // the last WriteSettings taken over
  std::string password;

 private:
  struct Block {
    double at;
    std::string bytes;
    bool operator>(const Block& Other) const { return at > Other.at; }
  };

  // Queues Bytes to start no earlier than Earliest and after the quiet that follows the last
  // block; returns when it starts.
  double Answer(const std::string& Bytes, double Earliest) {
    const double start = std::max(Earliest, lineFreeAt_);
    const double end = start + static_cast<double>(Bytes.size()) * kByteMs;
    lineFreeAt_ = end + kAnswerGapMs;
    blocks_.push({end + kReadQuietMs, Bytes});
    return start;
  }

  void TakeOver(const std::string& Frame) {
    switch (static_cast<std::uint8_t>(Frame[1])) {
      case app::kWriteSettingsCode:
        phones.clear();  // a write starts a new table
        settings = Frame;
        break;
      case app::kWritePhonesCode:
        for (std::size_t at = 3; at + 16 < Frame.size(); at += 16) {
          const int slot =
              static_cast<std::uint8_t>(Frame[at]) * 256 + static_cast<std::uint8_t>(Frame[at + 1]);
          phones[slot] = Frame.substr(at + 2, 13).c_str();
        }
        break;
      case app::kSetPasswordCode:
        password = Frame.substr(2, 4);
        break;
      default:
        break;
    }
  }

  const LineBehaviour behaviour_;
  std::priority_queue<Block, std::vector<Block>, std::greater<>> blocks_;
  double lineFreeAt_ = 0;
  std::string lastPhones_;
  int phoneFrames_ = 0;
  int transmissionsOfFrame_ = 0;
  bool refused_ = false;
};

enum class Outcome { Completed, Failed };

struct Result {
  Outcome outcome;
  int ticks;  // from the click to the tick that showed the outcome
};

class SequencerOnALine : public DeviceWindows {
 protected:
  // Clicks Button, then lets ticks and delivered blocks take turns in virtual time until the
  // status shows one of Ends.
  Result RunOn(SimulatedLine& Line, classlib::TBitBtn* Button, const std::string& Completed,
               const std::string& Failed) {
    Form().StatusBar1->Panel(0).SetText("");
    Click(Button);
    double now = 0;
    for (int tick = 1; tick <= 200; ++tick) {
      now += kTickMs;
      while (const auto block = Line.Delivered(now)) {
        Receive(*block);
      }
      Tick();
      for (const std::string& frame : Sent()) {
        Line.Transmit(frame, now);
      }
      if (Status() == Completed) {
        return {Outcome::Completed, tick};
      }
      if (Status() == Failed) {
        return {Outcome::Failed, tick};
      }
    }
    ADD_FAILURE() << "no outcome after 200 ticks; the status shows \"" << Status() << "\"";
    return {Outcome::Failed, 0};
  }

  // Slots 1 to 23: five phone frames, the last of three numbers.
  std::map<int, std::string> FillTable() {
    std::map<int, std::string> table;
    for (int slot = 1; slot <= 23; ++slot) {
      table[slot] = "0612" + std::to_string(100 + slot);
      Form().StringGrid1->SetCells(1, slot, table[slot]);
    }
    Form().Edit1->SetText("2500");
    return table;
  }
};

struct WriteCase {
  const char* name;
  LineBehaviour line;
  Outcome outcome;
};

// Every answer delay, with no loss, with the first transmission of a frame lost and with a whole
// frame lost; noise after the answers; a Refused followed by an Accepted that answers nothing.
TEST_P(SequencerOnALine, AWriteCompletesOnlyWithEveryNumberOnTheController) {
  const WriteCase cases[] = {
      {"prompt", {}, Outcome::Completed},
      {"prompt, first transmission lost",
       {.lostFrame = 3, .lostTransmissions = 1},
       Outcome::Completed},
      {"prompt, settings frame's first transmission lost",
       {.lostFrame = 0, .lostTransmissions = 1},
       Outcome::Completed},
      {"prompt, whole frame lost",
       {.lostFrame = 3, .lostTransmissions = kEveryTransmission},
       Outcome::Failed},
      {"300 ms", {.delayMs = 300}, Outcome::Completed},
      {"300 ms, first transmission lost",
       {.delayMs = 300, .lostFrame = 3, .lostTransmissions = 1},
       Outcome::Completed},
      {"300 ms, whole frame lost",
       {.delayMs = 300, .lostFrame = 3, .lostTransmissions = kEveryTransmission},
       Outcome::Failed},
      {"400 ms", {.delayMs = 400}, Outcome::Completed},
      {"400 ms, first transmission lost",
       {.delayMs = 400, .lostFrame = 3, .lostTransmissions = 1},
       Outcome::Completed},
      {"400 ms, settings frame's first transmission lost",
       {.delayMs = 400, .lostFrame = 0, .lostTransmissions = 1},
       Outcome::Completed},
      {"400 ms, whole frame lost",
       {.delayMs = 400, .lostFrame = 3, .lostTransmissions = kEveryTransmission},
       Outcome::Failed},
      {"600 ms", {.delayMs = 600}, Outcome::Completed},
      {"600 ms, first transmission lost",
       {.delayMs = 600, .lostFrame = 3, .lostTransmissions = 1},
       Outcome::Completed},
      {"600 ms, whole frame lost",
       {.delayMs = 600, .lostFrame = 3, .lostTransmissions = kEveryTransmission},
       Outcome::Failed},
      {"900 ms", {.delayMs = 900}, Outcome::Completed},
      {"900 ms, first transmission lost",
       {.delayMs = 900, .lostFrame = 3, .lostTransmissions = 1},
       Outcome::Failed},
      {"900 ms, whole frame lost",
       {.delayMs = 900, .lostFrame = 3, .lostTransmissions = kEveryTransmission},
       Outcome::Failed},
      {"prompt, noise 150 ms after each Accepted",
       {.noiseAfterAcceptedMs = 150},
       Outcome::Completed},
      {"prompt, noise 200 ms after each Accepted",
       {.noiseAfterAcceptedMs = 200},
       Outcome::Completed},
      {"prompt, noise 350 ms after each Accepted",
       {.noiseAfterAcceptedMs = 350},
       Outcome::Completed},
      {"400 ms, noise 200 ms after each Accepted, first transmission lost",
       {.delayMs = 400, .lostFrame = 3, .lostTransmissions = 1, .noiseAfterAcceptedMs = 200},
       Outcome::Completed},
      {"Refused, then an Accepted 700 ms later", {.refuseThenStrayAccepted = 3}, Outcome::Failed},
  };
  const std::map<int, std::string> table = FillTable();
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Whatever the last case left owed is given up while the window is idle.
    Ticks(app::TAnswerLedger::kWaitTicks);
    SimulatedLine line(c.line);
    const Result run = RunOn(line, Form().BitBtn4, "Write data complete...",
                             "Write data failed, please try again...");
    EXPECT_EQ(run.outcome, c.outcome);
    if (run.outcome == Outcome::Completed) {
      EXPECT_EQ(line.phones, table);
      EXPECT_EQ(line.settings, AsText(app::WriteSettings(2500, false)));
    }
  }
}

// A controller that answers before the next tick costs one tick a frame: the settings frame, the
// move to the numbers, five phone frames (the last one's scan reaches the last slot) and the
// completion.
TEST_P(SequencerOnALine, APromptControllerTakesOneTickAFrame) {
  for (const int noise : {0, 200}) {
    SCOPED_TRACE(noise);
    FillTable();
    Ticks(app::TAnswerLedger::kWaitTicks);
    SimulatedLine line({.noiseAfterAcceptedMs = noise});
    const Result run = RunOn(line, Form().BitBtn4, "Write data complete...",
                             "Write data failed, please try again...");
    EXPECT_EQ(run.outcome, Outcome::Completed);
    EXPECT_EQ(run.ticks, 8);
  }
}

TEST_P(SequencerOnALine, ASetSucceedsOnlyWithThePasswordOnTheController) {
  const struct {
    const char* name;
    LineBehaviour line;
    Outcome outcome;
  } cases[] = {
      {"prompt, noise 150 ms after the Accepted",
       {.noiseAfterAcceptedMs = 150},
       Outcome::Completed},
      {"prompt, noise 200 ms after the Accepted",
       {.noiseAfterAcceptedMs = 200},
       Outcome::Completed},
      {"prompt, noise 350 ms after the Accepted",
       {.noiseAfterAcceptedMs = 350},
       Outcome::Completed},
      {"400 ms", {.delayMs = 400}, Outcome::Completed},
      {"900 ms", {.delayMs = 900}, Outcome::Completed},
  };
  Form().Edit2->SetText("2468");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ticks(app::TAnswerLedger::kWaitTicks);
    SimulatedLine line(c.line);
    const Result run = RunOn(line, Form().BitBtn7, "Set Psaaword Suecced!", "Set Password failed!");
    EXPECT_EQ(run.outcome, c.outcome);
    EXPECT_EQ(line.password, "2468");
  }
}

INSTANTIATE_TEST_SUITE_P(Editions, SequencerOnALine,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), EditionName);

}  // namespace
