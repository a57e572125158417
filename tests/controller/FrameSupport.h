// Raw frames for the controller tests, written byte by byte from the frame tables, and a
// temporary directory that lives as long as the test.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "controller/Protocol.h"
#include "tests/support/TempDir.h"

namespace frames {

using controller::Bytes;

inline const Bytes kReadRequest = {0xAA, 0x01, 0x00, 0xEE};
inline const Bytes kReadAck = {0xAA, 0x10, 0x00, 0xEE};
inline const Bytes kProbe = {0xAA, 0x11, 0x00, 0xEE};
inline const Bytes kGetPassword = {0xAA, 0x12, 0x00, 0xEE};
inline const Bytes kAccepted = {0xAA, 0x20, 0x00, 0xEE};
inline const Bytes kRefused = {0xAA, 0x21, 0x00, 0xEE};
inline const Bytes kEndOfData = {0xAA, 0x24, 0x00, 0xEE};

inline Bytes WriteSettings(std::uint16_t timeout, bool flag) {
  Bytes frame(13, 0x00);
  frame[0] = 0xAA;
  frame[1] = 0x02;
  frame[2] = 0x09;
  frame[5] = static_cast<std::uint8_t>(timeout >> 8);
  frame[6] = static_cast<std::uint8_t>(timeout & 0xFF);
  frame[7] = flag ? 0x01 : 0x00;
  frame[12] = 0xEE;
  return frame;
}

// Records of up to 13 characters (longer numbers overwrite the zero fill: for malformed cases).
inline Bytes WritePhones(std::initializer_list<std::pair<std::uint16_t, std::string>> rows) {
  Bytes frame(rows.size() * 16 + 4, 0x00);
  frame[0] = 0xAA;
  frame[1] = 0x03;
  frame[2] = static_cast<std::uint8_t>(rows.size() * 16);
  std::size_t at = 3;
  for (const auto& [slot, number] : rows) {
    frame[at] = static_cast<std::uint8_t>(slot >> 8);
    frame[at + 1] = static_cast<std::uint8_t>(slot & 0xFF);
    std::copy(number.begin(), number.end(), frame.begin() + static_cast<long>(at) + 2);
    at += 16;
  }
  frame.back() = 0xEE;
  return frame;
}

// A temporary directory that lives as long as the test (it is also the platform root).
using testsupport::TempDir;

}  // namespace frames
