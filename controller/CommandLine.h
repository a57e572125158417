// The options of the tavkel-controller program.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SimulatedController.h"

namespace controller {

struct ProgramOptions {
  std::optional<std::filesystem::path> stateFile;  // loaded when it exists, saved on exit
  std::optional<int> generate;                     // start with this many generated numbers
  LinkOptions link;
  Knobs knobs;
  bool help = false;
};

// Throws std::invalid_argument with a message for the user.
ProgramOptions ParseCommandLine(const std::vector<std::string_view>& args);

// The generated table when asked for, else the state file when it exists, else the defaults.
ControllerState InitialState(const ProgramOptions& options);

extern const char kUsage[];

}  // namespace controller
