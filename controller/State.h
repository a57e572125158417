// What the controller keeps, and its state file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace controller {

struct ControllerState {
  std::map<std::uint16_t, std::string> phones;  // slot 1 to 1000 -> 1 to 13 characters, no zero
  std::uint16_t relayTimeout = 1000;            // milliseconds
  bool externalDisconnection = false;
  std::string password = "0000";  // up to 4 characters, no zero byte

  bool operator==(const ControllerState&) const = default;
};

// Slots 1 to count with numbers made from the slot ("0612" and the slot in seven digits).
ControllerState GeneratedState(std::uint16_t count);

// The state file is text, one item a line: "timeout MS", "external 0|1", "password TEXT",
// "phone SLOT TEXT". TEXT is the rest of the line after one blank; a byte outside "!" to "~", and
// the backslash, is written as \xHH (so blanks are \x20). Blank lines and lines starting with "#"
// are skipped. Anything else is an error: Load throws std::runtime_error naming the line.
ControllerState LoadState(const std::filesystem::path& file);

// Writes to a temporary file beside it and renames it into place; throws std::runtime_error.
void SaveState(const ControllerState& state, const std::filesystem::path& file);

}  // namespace controller
