// The windows of one edition, shown, with a platform that lists only the ports a test publishes:
// silent pseudo-terminals, ports that cannot be opened, and the simulated controller. Each tick
// of the port search is recorded as it ends.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "controller/Pty.h"
#include "controller/SimulatedController.h"
#include "platform/Handles.h"
#include "platform/Serial.h"
#include "tests/app/PortFixture.h"

namespace app_test {

class PortSearchWindows : public PortWindows {
 protected:
  // A tick as it ended: "STATE STATUS", then " [COMMNAME]" while Comm1 is open. STATE names the
  // search's next step: idle, refresh, open, probe or check.
  using Trace = std::vector<std::string>;

  void SetUp() override {
    PortWindows::SetUp();
    Start();
    classlib::TTimer& timer = *Form().Timer2;
    classlib::TNotifyEvent search = timer.OnTimer();
    timer.SetOnTimer([this, search](classlib::TObject* Sender) {
      // Recorded even when the tick raises, so the trace shows where a search stopped.
      struct Record {
        PortSearchWindows& fixture;
        ~Record() { fixture.trace_.push_back(fixture.Now()); }
      } record{*this};
      if (BeforeTick) {
        BeforeTick();
      }
      search(Sender);
    });
  }
  void TearDown() override {
    PortWindows::TearDown();
    controllers_.clear();
    if (busy_ != nullptr) {
      ::CloseHandle(busy_);
    }
  }

  // A pseudo-terminal that nobody answers on; its master end sees what the tool sends.
  controller::PtyPair& AddSilentPort(const std::string& Name) {
    controller::PtyPair& pty = silent_.emplace_back();
    Publish(Name, pty.SlavePath());
    return pty;
  }
  // A listed tty that the user may not open (one whose group they are not in, say).
  void AddRefusedPort(const std::string& Name) {
    AddDevice(Name).SetResult(platform::SerialCall::Open, ERROR_ACCESS_DENIED);
  }
  // A pseudo-terminal that the test holds open, so the tool's open is refused.
  void AddBusyPort(const std::string& Name) {
    controller::PtyPair& pty = silent_.emplace_back();
    Publish(Name, pty.SlavePath());
    busy_ = ::CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(busy_, INVALID_HANDLE_VALUE) << "could not hold " << Name;
  }
  // The simulated controller, listed under Name in the place this call gives it.
  controller::SimulatedController& AddController(const std::string& Name,
                                                 const controller::Knobs& Knobs = {},
                                                 controller::ControllerState State = {},
                                                 controller::SimulatedController::Log Log = {}) {
    Publish(Name, "placeholder");  // Start keeps the entry's place and sets its path
    auto& simulated = controllers_.emplace_back(std::make_unique<controller::SimulatedController>(
        std::move(State), controller::LinkOptions{.name = Name}, std::move(Log)));
    simulated->SetKnobs(Knobs);
    simulated->Start();
    return *simulated;
  }

  // Clicks the speed button and handles events until the search is idle again.
  void RunSearch() {
    Click();
    ASSERT_TRUE(PumpUntil([&] { return Form().SearchState == app::SearchIdle; }, 20000))
        << "the search did not end; ticks so far:\n"
        << testing::PrintToString(trace_);
  }
  void Click() { Form().SpeedButton1->Click(); }

  // Edition 1.4 alone opens names longer than four characters with this before them.
  std::string LongPrefix() const { return &Edition() == &app::Tavkel14 ? "//./" : ""; }

  std::string Now() {
    app::TForm1& form = Form();
    std::string tick = StateName(form.SearchState) + " " + form.StatusBar1->Panel(0).Text();
    if (form.Comm1->PortHandle() != nullptr) {
      tick += " [" + form.Comm1->CommName() + "]";
    }
    return tick;
  }

  // Runs at the start of every tick, before the search's step.
  std::function<void()> BeforeTick;
  Trace trace_;

 private:
  static std::string StateName(app::TSearchState State) {
    switch (State) {
      case app::SearchIdle:
        return "idle";
      case app::SearchRefresh:
        return "refresh";
      case app::SearchOpenNext:
        return "open";
      case app::SearchProbe:
        return "probe";
      case app::SearchCheck:
        return "check";
    }
    return "state " + std::to_string(State);
  }

  std::list<controller::PtyPair> silent_;
  std::vector<std::unique_ptr<controller::SimulatedController>> controllers_;
  HANDLE busy_ = nullptr;
};

// What the master end of Pty has received and not yet been read; the master never blocks.
inline std::string Received(const controller::PtyPair& Pty) {
  std::string bytes;
  char chunk[256];
  for (ssize_t got; (got = ::read(Pty.Master(), chunk, sizeof chunk)) > 0;) {
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

}  // namespace app_test
