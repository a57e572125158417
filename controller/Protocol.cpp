#include "Protocol.h"

#include <algorithm>
#include <cstdio>

namespace controller {
namespace {

constexpr std::size_t kShortLength = 4;
constexpr std::uint8_t kSettingsLength = 9;
constexpr std::size_t kSetPasswordLength = kPasswordSize + 3;
constexpr std::size_t kMaxWriteRecords = 5;

std::uint16_t WordAt(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void AppendWord(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// Characters from begin up to the first zero byte, at most limit of them.
std::string TextUpToZero(std::span<const std::uint8_t> bytes, std::size_t limit) {
  const auto stop = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(limit, bytes.size()));
  return std::string(bytes.begin(), std::find(bytes.begin(), stop, std::uint8_t{0}));
}

bool ParsePhones(std::span<const std::uint8_t> frame, Request& request, std::string* why) {
  const std::size_t count = frame[2] / kRecordSize;
  for (std::size_t k = 0; k < count; ++k) {
    const auto record = frame.subspan(3 + k * kRecordSize, kRecordSize);
    PhoneEntry entry{WordAt(record, 0), TextUpToZero(record.subspan(2), kNumberSize)};
    if (entry.slot == 0 || entry.slot > kLastSlot) {
      *why = "slot " + std::to_string(entry.slot) + " out of range";
      return false;
    }
    if (entry.number.empty()) {
      *why = "empty number for slot " + std::to_string(entry.slot);
      return false;
    }
    request.phones.push_back(std::move(entry));
  }
  return true;
}

}  // namespace

std::optional<std::size_t> RequestLength(std::uint8_t code, std::uint8_t third) {
  switch (static_cast<RequestCode>(code)) {
    case RequestCode::ReadRequest:
    case RequestCode::ReadAck:
    case RequestCode::Probe:
    case RequestCode::GetPassword:
      return third == 0 ? std::optional(kShortLength) : std::nullopt;
    case RequestCode::WriteSettings:
      return third == kSettingsLength ? std::optional<std::size_t>(kSettingsLength + 4)
                                      : std::nullopt;
    case RequestCode::WritePhones:
      if (third == 0 || third % kRecordSize != 0 || third / kRecordSize > kMaxWriteRecords) {
        return std::nullopt;
      }
      return std::size_t{third} + 4;
    case RequestCode::SetPassword:
      return kSetPasswordLength;
  }
  return std::nullopt;
}

std::optional<Request> ParseRequest(std::span<const std::uint8_t> frame, std::string* why) {
  std::string ignored;
  if (why == nullptr) {
    why = &ignored;
  }
  if (frame.size() < 3 || frame[0] != kStart) {
    *why = "no frame start";
    return std::nullopt;
  }
  const auto length = RequestLength(frame[1], frame[2]);
  if (!length) {
    *why = "unknown code or bad length";
    return std::nullopt;
  }
  if (frame.size() != *length || frame.back() != kEnd) {
    *why = "bad end byte";
    return std::nullopt;
  }
  Request request;
  request.code = static_cast<RequestCode>(frame[1]);
  switch (request.code) {
    case RequestCode::WriteSettings:
      request.relayTimeout = WordAt(frame, 5);
      request.externalDisconnection = frame[7] != 0;
      break;
    case RequestCode::WritePhones:
      if (!ParsePhones(frame, request, why)) {
        return std::nullopt;
      }
      break;
    case RequestCode::SetPassword:
      request.password = TextUpToZero(frame.subspan(2), kPasswordSize);
      break;
    default:
      break;
  }
  return request;
}

Bytes ShortReply(ReplyCode code) {
  return {kStart, static_cast<std::uint8_t>(code), 0x00, kEnd};
}

Bytes SettingsReply(std::uint16_t count, std::uint16_t relayTimeout, bool externalDisconnection) {
  Bytes out{kStart, static_cast<std::uint8_t>(ReplyCode::SettingsReply), kSettingsLength};
  AppendWord(out, count);
  AppendWord(out, relayTimeout);
  out.push_back(externalDisconnection ? 0x01 : 0x00);
  out.insert(out.end(), 4, 0x00);
  out.push_back(kEnd);
  return out;
}

Bytes PhonesReply(std::span<const PhoneEntry> entries) {
  entries = entries.first(std::min(entries.size(), kRecordsPerReply));
  Bytes out{kStart, static_cast<std::uint8_t>(ReplyCode::PhonesReply),
            static_cast<std::uint8_t>(entries.size() * kRecordSize)};
  for (const auto& entry : entries) {
    AppendWord(out, entry.slot);
    const std::size_t taken = std::min(entry.number.size(), kNumberSize);
    out.insert(out.end(), entry.number.begin(), entry.number.begin() + taken);
    out.insert(out.end(), kRecordSize - 2 - taken, 0x00);
  }
  out.push_back(kEnd);
  return out;
}

Bytes PasswordReply(std::string_view password, bool zeroBeforeEnd) {
  Bytes out;
  out.reserve(password.size() + 4);
  out.push_back(kStart);
  out.push_back(static_cast<std::uint8_t>(ReplyCode::PasswordReply));
  for (const char c : password) {
    out.push_back(static_cast<std::uint8_t>(c));
  }
  if (zeroBeforeEnd) {
    out.push_back(0x00);
  }
  out.push_back(kEnd);
  return out;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  char digits[4];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", byte);
    if (!text.empty()) {
      text += ' ';
    }
    text += digits;
  }
  return text;
}

std::string_view RequestName(RequestCode code) {
  switch (code) {
    case RequestCode::ReadRequest:
      return "ReadRequest";
    case RequestCode::WriteSettings:
      return "WriteSettings";
    case RequestCode::WritePhones:
      return "WritePhones";
    case RequestCode::ReadAck:
      return "ReadAck";
    case RequestCode::Probe:
      return "Probe";
    case RequestCode::GetPassword:
      return "GetPassword";
    case RequestCode::SetPassword:
      return "SetPassword";
  }
  return "?";
}

std::string_view ReplyName(std::span<const std::uint8_t> frame) {
  if (frame.size() < 3 || frame[0] != kStart || frame.back() != kEnd) {
    return "garbage";
  }
  switch (static_cast<ReplyCode>(frame[1])) {
    case ReplyCode::Accepted:
      return "Accepted";
    case ReplyCode::Refused:
      return "Refused";
    case ReplyCode::SettingsReply:
      return "SettingsReply";
    case ReplyCode::PhonesReply:
      return "PhonesReply";
    case ReplyCode::EndOfData:
      return "EndOfData";
    case ReplyCode::PasswordReply:
      return "PasswordReply";
  }
  return "garbage";
}

}  // namespace controller
