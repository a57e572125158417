// tavkel-controller: the simulated relay controller on a pseudo-terminal, until SIGINT, SIGTERM,
// SIGHUP (its terminal closed) or SIGQUIT; then it removes its device-map entry and saves its
// state into the state file, when one was named. A signal that was ignored when the program
// started (SIGHUP under nohup) stays ignored.
#include <signal.h>

#include <iostream>
#include <string_view>
#include <vector>

#include "controller/CommandLine.h"
#include "controller/SimulatedController.h"
#include "controller/State.h"

int main(int argc, char** argv) {
  try {
    const auto options =
        controller::ParseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    if (options.help) {
      std::cout << controller::kUsage;
      return 0;
    }
    // Blocked before the serving thread starts, so only sigwait below takes them. A blocked
    // signal stays pending even when ignored, so one the starter chose to ignore is left out.
    sigset_t stop;
    sigemptyset(&stop);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      struct sigaction inherited {};
      if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN) {
        sigaddset(&stop, signal);
      }
    }
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    controller::SimulatedController simulated(
        controller::InitialState(options), options.link,
        [](const std::string& line) { std::cout << line << std::endl; });
    simulated.SetKnobs(options.knobs);
    simulated.Start();
    int signal = 0;
    sigwait(&stop, &signal);
    simulated.Stop();
    if (options.stateFile) {
      controller::SaveState(simulated.State(), *options.stateFile);
      std::cout << "state saved to " << options.stateFile->string() << std::endl;
    }
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "tavkel-controller: " << error.what() << '\n' << controller::kUsage;
    return 1;
  }
}
