// The controller's side of the frame format: which requests it takes, how a request is checked,
// and the replies it builds. Written apart from the tool's own definition, as the firmware of a
// real controller would be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace controller {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kStart = 0xAA;
inline constexpr std::uint8_t kEnd = 0xEE;

enum class RequestCode : std::uint8_t {
  ReadRequest = 0x01,
  WriteSettings = 0x02,
  WritePhones = 0x03,
  ReadAck = 0x10,
  Probe = 0x11,
  GetPassword = 0x12,
  SetPassword = 0x13,
};

enum class ReplyCode : std::uint8_t {
  Accepted = 0x20,
  Refused = 0x21,
  SettingsReply = 0x22,
  PhonesReply = 0x23,
  EndOfData = 0x24,
  PasswordReply = 0x12,
};

inline constexpr std::uint16_t kLastSlot = 1000;
inline constexpr std::size_t kRecordSize = 16;
inline constexpr std::size_t kNumberSize = 13;  // characters of a number a record carries
inline constexpr std::size_t kPasswordSize = 4;
inline constexpr std::size_t kRecordsPerReply = 15;
inline constexpr std::size_t kLongestRequest = 5 * kRecordSize + 4;  // WritePhones of 5

// The whole length of a request with this code, given its third byte (the length byte, or the
// first password character of SetPassword); nullopt for an unknown code or a length the request
// cannot have. Decidable from the first three bytes, so a framer never waits for bytes that can
// only make a malformed frame.
std::optional<std::size_t> RequestLength(std::uint8_t code, std::uint8_t third);

struct PhoneEntry {
  std::uint16_t slot;
  std::string number;  // 1 to 13 characters, none of them a zero byte
};

// A request that passed every check. Phones for WritePhones, password for SetPassword (the
// characters before the first zero byte of P1 to P4).
struct Request {
  RequestCode code = RequestCode::Probe;
  std::vector<PhoneEntry> phones;
  std::uint16_t relayTimeout = 0;
  bool externalDisconnection = false;
  std::string password;
};

// Checks a whole frame: start and end byte, a known code, the length its code requires, and for
// WritePhones slots 1 to 1000 and non-empty numbers. On failure, why is set to the reason.
std::optional<Request> ParseRequest(std::span<const std::uint8_t> frame, std::string* why);

Bytes ShortReply(ReplyCode code);  // Accepted, Refused, EndOfData: AA code 00 EE
Bytes SettingsReply(std::uint16_t count, std::uint16_t relayTimeout, bool externalDisconnection);
// At most 15 entries; numbers longer than 13 characters are cut.
Bytes PhonesReply(std::span<const PhoneEntry> entries);
Bytes PasswordReply(std::string_view password, bool zeroBeforeEnd);

// "AA 01 00 EE".
std::string Hex(std::span<const std::uint8_t> bytes);
// A short name for a logged frame: the request's or reply's name by its code.
std::string_view RequestName(RequestCode code);
std::string_view ReplyName(std::span<const std::uint8_t> frame);

}  // namespace controller
