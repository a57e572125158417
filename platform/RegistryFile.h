// The text form of a hive, as the current user's store keeps it on disk:
//
//   tavkel-registry 1
//   [Software\Tav\TavCOM]
//   COM1=dword:3
//   Title=sz:Tavkel%20V.1.3
//   Blob=hex(3):00ff10
//
// A "[path]" line opens a key ("[]" is the root); the value lines below it belong to that key.
// Names and texts escape bytes outside "!" to "~" and the characters %=[] as %XX. "dword:" holds
// a REG_DWORD of exactly 4 bytes, "sz:" a REG_SZ with one terminating zero and no other; every
// other value is written "hex(type):" with its bytes.
#pragma once

#include <optional>
#include <string>

#include "RegistryTree.h"

namespace platform {

std::string FormatHive(const RegistryTree& tree);

// Nothing when the text is not a whole hive in the form above: a damaged file is not half read.
std::optional<RegistryTree> ParseHive(const std::string& text);

}  // namespace platform
