#include "SimulatedController.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "platform/Root.h"

namespace controller {
namespace {

// Ends in no EE and holds no reply: the tool's decoder takes it for no frame.
const Bytes kGarbage = {0x55, 0xAA, 0x20, 0x00, 0x5A, 0xA5};
// Line noise: alone in its block it is no frame either.
const Bytes kStray = {0xFF};

timespec Until(Clock::time_point deadline, Clock::time_point now) {
  const auto left = std::max(Clock::duration::zero(), deadline - now);
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

SimulatedController::SimulatedController(ControllerState state, LinkOptions options, Log log)
    : options_(std::move(options)),
      log_(std::move(log)),
      responder_(std::move(state)),
      pacer_(options_.baud) {}

SimulatedController::~SimulatedController() {
  Stop();
}

void SimulatedController::Start() {
  if (thread_.joinable()) {
    return;
  }
  pty_.emplace();
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) {
    pty_.reset();
    throw std::system_error(errno, std::generic_category(), "eventfd");
  }
  {
    std::lock_guard guard(lock_);
    devicePath_ = pty_->SlavePath();
    lineCount_ = 1;
  }
  Publish();
  thread_ = std::thread([this] { Run(); });
}

void SimulatedController::Stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
    thread_.join();
  }
  if (wake_ >= 0) {
    ::close(wake_);
    wake_ = -1;
  }
  if (pty_) {
    pty_.reset();
    if (options_.publish) {
      platform::UnpublishDevice(options_.name);
    }
  }
}

std::string SimulatedController::DevicePath() const {
  std::lock_guard guard(lock_);
  return devicePath_;
}

int SimulatedController::LineCount() const {
  std::lock_guard guard(lock_);
  return lineCount_;
}

bool SimulatedController::WaitForLineCount(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock guard(lock_);
  return lineChanged_.wait_for(guard, timeout, [&] { return lineCount_ >= count; });
}

void SimulatedController::SetKnobs(const Knobs& knobs) {
  std::lock_guard guard(lock_);
  knobs_ = knobs;
  requestsSinceKnobs_ = 0;
  phoneFramesSinceKnobs_ = 0;
  lastPhonesFrame_.clear();
  lastPhonesFrameTimes_ = 0;
}

bool SimulatedController::LosePhones(const Bytes& frame) {
  if (frame != lastPhonesFrame_) {
    lastPhonesFrame_ = frame;
    lastPhonesFrameTimes_ = 0;
    ++phoneFramesSinceKnobs_;
  }
  ++lastPhonesFrameTimes_;
  return phoneFramesSinceKnobs_ == knobs_.losePhonesFrame &&
         (knobs_.loseTimes == 0 || lastPhonesFrameTimes_ <= knobs_.loseTimes);
}

ControllerState SimulatedController::State() const {
  std::lock_guard guard(lock_);
  return responder_.State();
}

void SimulatedController::Publish() {
  if (!options_.publish) {
    return;
  }
  const std::string path = DevicePath();
  if (!platform::PublishDevice(options_.name, path)) {
    const auto root = platform::PlatformRoot();
    throw std::runtime_error(
        "cannot publish " + options_.name + " in the device map " +
        (root ? "under " + root->string() : "(no home directory: set TAVKEL_ROOT)"));
  }
  Emit("device " + options_.name + " on " + path);
}

void SimulatedController::Emit(const std::string& line) const {
  if (!log_) {
    return;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - born_).count();
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "[%9.3f] ", seconds);
  log_(stamp + line);
}

void SimulatedController::Run() {
  std::vector<FramerEvent> events;
  for (;;) {
    auto now = Clock::now();
    std::optional<Clock::time_point> wake = framer_.Deadline();
    if (const auto next = pacer_.NextWake(); next && !writeBlocked_) {
      wake = wake ? std::min(*wake, *next) : *next;
    }
    pollfd fds[2] = {
        {wake_, POLLIN, 0},
        {pty_->Master(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0}};
    timespec timeout{};
    if (wake) {
      timeout = Until(*wake, now);
    }
    if (::ppoll(fds, 2, wake ? &timeout : nullptr, nullptr) < 0) {
      if (errno == EINTR) {
        continue;
      }
      Emit(std::string("ppoll failed: ") + std::strerror(errno));
      return;
    }
    if (fds[0].revents != 0) {
      return;
    }
    now = Clock::now();
    if (fds[1].revents & POLLOUT) {
      writeBlocked_ = false;
    }
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      ReadLine(now, events);
    }
    framer_.Expire(now, events);
    bool dropLine = false;
    for (const auto& event : events) {
      if (Handle(event, now)) {
        dropLine = true;  // what came after the hang-up went down with the old line
        break;
      }
    }
    events.clear();
    if (dropLine) {
      try {
        Reopen();
      } catch (const std::exception& error) {
        Emit(std::string("cannot reopen the line: ") + error.what());
        return;
      }
      continue;
    }
    WriteDue(now);
  }
}

void SimulatedController::ReadLine(Clock::time_point now, std::vector<FramerEvent>& events) {
  std::uint8_t buffer[512];
  for (;;) {
    const ssize_t got = ::read(pty_->Master(), buffer, sizeof buffer);
    if (got > 0) {
      framer_.Feed(std::span(buffer, static_cast<std::size_t>(got)), now, events);
      continue;
    }
    if (got < 0 && errno == EINTR) {
      continue;
    }
    return;  // EAGAIN: drained; EIO cannot last, since the slave is held open
  }
}

bool SimulatedController::Handle(const FramerEvent& event, Clock::time_point now) {
  switch (event.kind) {
    case FramerEvent::Kind::Junk:
      Emit("?? " + Hex(event.bytes) + "  (no frame)");
      return false;
    case FramerEvent::Kind::Malformed:
      Emit("!! " + Hex(event.bytes) + "  malformed: " + event.why);
      return false;
    case FramerEvent::Kind::Request:
      break;
  }
  const Request& request = *event.request;
  bool lost = false;
  {
    std::lock_guard guard(lock_);
    lost = request.code == RequestCode::WritePhones && LosePhones(event.bytes);
  }
  if (lost) {
    Emit("   (lost on the line: " + Hex(event.bytes) + ")");
    return false;
  }
  Emit("<- " + Hex(event.bytes) + "  " + std::string(RequestName(request.code)));
  Knobs knobs;
  {
    std::lock_guard guard(lock_);
    if (knobs_.hangUpAt > 0 && ++requestsSinceKnobs_ == knobs_.hangUpAt) {
      knobs_.hangUpAt = 0;
      return true;
    }
    knobs = knobs_;
  }
  if (knobs.silent) {
    Emit("   (silent: no answer)");
    return false;
  }
  Answer(request, knobs, now);
  return false;
}

void SimulatedController::Answer(const Request& request, const Knobs& knobs,
                                 Clock::time_point now) {
  controller::Answer answer;
  {
    std::lock_guard guard(lock_);
    answer = responder_.Handle(request, knobs.answer);
  }
  if (answer.frames.empty()) {
    Emit("   no answer: " + answer.note);
    return;
  }
  Bytes burst;
  if (knobs.garbage) {
    burst = kGarbage;
  } else {
    for (const auto& frame : answer.frames) {
      burst.insert(burst.end(), frame.begin(), frame.end());
    }
  }
  // Logged whole, as the frames it is made of.
  for (const auto& frame : knobs.garbage ? std::vector<Bytes>{burst} : answer.frames) {
    Emit("-> " + Hex(frame) + "  " + std::string(ReplyName(frame)));
  }
  const auto start = now + knobs.delay;
  if (knobs.splitPause > std::chrono::milliseconds::zero() && burst.size() >= 2) {
    const auto half = static_cast<std::ptrdiff_t>(burst.size() / 2);
    pacer_.Queue(Bytes(burst.begin(), burst.begin() + half), start, kQuietBetweenAnswers);
    pacer_.Queue(Bytes(burst.begin() + half, burst.end()), start, knobs.splitPause);
  } else {
    pacer_.Queue(std::move(burst), start, kQuietBetweenAnswers);
  }
  auto stray = std::chrono::milliseconds::zero();
  if (request.code == RequestCode::WriteSettings) {
    stray = knobs.strayAfterSettings;
  }
  if (!knobs.garbage && answer.frames.back() == ShortReply(ReplyCode::Accepted)) {
    stray = std::max(stray, knobs.strayAfterAccepted);
  }
  if (stray > std::chrono::milliseconds::zero()) {
    Emit("-> " + Hex(kStray) + "  (stray byte, " + std::to_string(stray.count()) +
         " ms after the answer)");
    pacer_.Queue(kStray, start, stray);
  }
}

void SimulatedController::WriteDue(Clock::time_point now) {
  while (!writeBlocked_) {
    const auto due = pacer_.Due(now);
    if (due.empty()) {
      return;
    }
    const ssize_t wrote = ::write(pty_->Master(), due.data(), due.size());
    if (wrote > 0) {
      pacer_.Consume(static_cast<std::size_t>(wrote));
    } else if (wrote < 0 && errno == EINTR) {
      continue;
    } else {
      writeBlocked_ = true;  // the tool is not reading: wait until the line takes bytes again
    }
  }
}

void SimulatedController::Reopen() {
  // The new pair opens before the old one closes, so the new device has another path.
  PtyPair fresh;
  pacer_.Clear();
  framer_.Reset();
  writeBlocked_ = false;
  pty_ = std::move(fresh);
  {
    std::lock_guard guard(lock_);
    responder_.EndConversation();
    devicePath_ = pty_->SlavePath();
  }
  Emit("line dropped");
  Publish();
  {
    std::lock_guard guard(lock_);
    ++lineCount_;  // only now: a waiter that sees the count finds the new device published
  }
  lineChanged_.notify_all();
}

}  // namespace controller
