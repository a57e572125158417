// The simulated relay controller on a pseudo-terminal: it answers each request as one burst paced
// at the line speed, and publishes its device in the platform root's device map under a name so
// the tool lists it among the serial ports. One thread serves the line; the methods below may be
// called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Framer.h"
#include "Pacer.h"
#include "Pty.h"
#include "Responder.h"
#include "State.h"

namespace controller {

struct LinkOptions {
  std::string name = "COM9";  // the device-map name; COMn names are what the tool looks up
  int baud = 9600;            // the line speed whose byte timing the answers keep
  bool publish = true;
};

// Knobs for tests; each is off by default.
struct Knobs {
  AnswerKnobs answer;
  std::chrono::milliseconds delay{0};       // extra wait before each answer starts
  bool silent = false;                      // requests are taken and logged, never answered
  std::chrono::milliseconds splitPause{0};  // > 0: each answer goes out in two halves this apart
  bool garbage = false;                     // a burst that forms no frame in place of each answer
  // > 0: one stray byte this long after each answer to WriteSettings, a block of its own
  std::chrono::milliseconds strayAfterSettings{0};
  // > 0: one stray byte this long after each Accepted, a block of its own
  std::chrono::milliseconds strayAfterAccepted{0};
  // > 0: the line loses the first loseTimes transmissions (every one when 0) of the
  // losePhonesFrame-th WritePhones frame from now; a resend, the same bytes, is the same frame.
  // The controller neither takes nor answers what the line lost.
  int losePhonesFrame = 0;
  int loseTimes = 1;
  int hangUpAt = 0;  // > 0: the hangUpAt-th request from now drops the line instead of an answer;
                     // a fresh pty is then published under the same name (once per setting)
};

class SimulatedController {
 public:
  using Log = std::function<void(const std::string&)>;

  // A separate answer starts only once the line has been quiet this long after the previous one,
  // so the tool's 100 ms read interval never joins two answers into one block.
  static constexpr std::chrono::milliseconds kQuietBetweenAnswers{110};

  SimulatedController(ControllerState state, LinkOptions options, Log log = {});
  ~SimulatedController();
  SimulatedController(const SimulatedController&) = delete;
  SimulatedController& operator=(const SimulatedController&) = delete;

  // Opens the pty, publishes it and starts serving. Throws std::system_error or
  // std::runtime_error (the device map cannot be written).
  void Start();
  // Stops serving, hangs up and removes the name from the device map. Idempotent.
  void Stop();

  std::string DevicePath() const;
  // How many ptys have been opened: 1 after Start, one more after each hang-up.
  int LineCount() const;
  // Waits until LineCount() reaches count; false when timeout passes first.
  bool WaitForLineCount(int count, std::chrono::milliseconds timeout) const;

  void SetKnobs(const Knobs& knobs);
  ControllerState State() const;

 private:
  void Run();
  // Returns true when the request drops the line.
  bool Handle(const FramerEvent& event, Clock::time_point now);
  // Counts a WritePhones frame; true when the line loses it. Called under lock_.
  bool LosePhones(const Bytes& frame);
  void Answer(const Request& request, const Knobs& knobs, Clock::time_point now);
  void Reopen();
  void ReadLine(Clock::time_point now, std::vector<FramerEvent>& events);
  void WriteDue(Clock::time_point now);
  void Publish();
  void Emit(const std::string& line) const;

  const LinkOptions options_;
  const Log log_;
  const Clock::time_point born_ = Clock::now();

  mutable std::mutex lock_;
  mutable std::condition_variable lineChanged_;
  Responder responder_;  // guarded by lock_
  Knobs knobs_;          // guarded by lock_
  int requestsSinceKnobs_ = 0;
  // WritePhones frames since the knobs were set, the last one, and how often it came.
  int phoneFramesSinceKnobs_ = 0;
  Bytes lastPhonesFrame_;
  int lastPhonesFrameTimes_ = 0;
  std::string devicePath_;
  int lineCount_ = 0;

  // The serving thread's own, once started.
  std::optional<PtyPair> pty_;
  Framer framer_;
  Pacer pacer_;
  bool writeBlocked_ = false;  // the master refused a write; wait for it to be writable

  int wake_ = -1;  // eventfd that tells the serving thread to stop
  std::thread thread_;
};

}  // namespace controller
