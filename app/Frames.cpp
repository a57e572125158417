#include "Frames.h"

#include <algorithm>
#include <cassert>

namespace app {
namespace {

ShortFrame ShortRequest(std::uint8_t code) {
  return {kStartByte, code, 0x00, kEndByte};
}

void PutWord(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

ShortFrame ReadRequest() {
  return ShortRequest(kReadRequestCode);
}
ShortFrame ReadAck() {
  return ShortRequest(kReadAckCode);
}
ShortFrame Probe() {
  return ShortRequest(kProbeCode);
}
ShortFrame GetPassword() {
  return ShortRequest(kGetPasswordCode);
}

SettingsFrame WriteSettings(std::int32_t relayTimeout, bool externalDisconnection) {
  SettingsFrame frame{};
  frame[0] = kStartByte;
  frame[kCodeOffset] = kWriteSettingsCode;
  frame[kLengthOffset] = kSettingsPayloadLength;
  // Offsets 3 and 4 stay zero: the controller's count of stored numbers in a SettingsReply.
  PutWord(&frame[5], static_cast<std::uint16_t>(relayTimeout & 0xFFFF));
  frame[7] = externalDisconnection ? 0x01 : 0x00;
  frame.back() = kEndByte;
  return frame;
}

SetPasswordFrame SetPassword(std::string_view password) {
  SetPasswordFrame frame{};
  frame[0] = kStartByte;
  frame[kCodeOffset] = kSetPasswordCode;
  const std::size_t taken = std::min(password.size(), kPasswordLength);
  std::copy_n(password.begin(), taken, frame.begin() + kLengthOffset);
  frame.back() = kEndByte;
  return frame;
}

PhoneRecord MakePhoneRecord(std::uint16_t slot, std::string_view number) {
  PhoneRecord record{};
  PutWord(record.data(), slot);
  const std::size_t taken = std::min(number.size(), kPhoneTextLength);
  std::copy_n(number.begin(), taken, record.begin() + kPhoneTextOffset);
  return record;
}

WritePhones::WritePhones() {
  bytes_[0] = kStartByte;
  bytes_[kCodeOffset] = kWritePhonesCode;
  bytes_[kLengthOffset + 1] = kEndByte;  // the frame of no records, until one is added
}

void WritePhones::Add(std::uint16_t slot, std::string_view number) {
  assert(!Full());
  const PhoneRecord record = MakePhoneRecord(slot, number);
  std::copy(record.begin(), record.end(), bytes_.begin() + ReplyView::RecordOffset(count_));
  ++count_;
  bytes_[kLengthOffset] = static_cast<std::uint8_t>(count_ * kPhoneRecordLength);
  bytes_[ReplyView::RecordOffset(count_)] = kEndByte;
}

std::span<const std::uint8_t> WritePhones::Bytes() const {
  return std::span(bytes_).first(ReplyView::RecordOffset(count_) + 1);
}

std::uint8_t ReplyView::At(std::size_t offset) const {
  return offset < block_.size() ? block_[offset] : 0;
}

std::uint16_t ReplyView::WordAt(std::size_t offset) const {
  return static_cast<std::uint16_t>(At(offset) << 8 | At(offset + 1));
}

// The block's last byte is its end byte, framing and never a character: a text stops before it.
std::string ReplyView::TextAt(std::size_t offset) const {
  if (offset + 1 >= block_.size()) {
    return {};
  }
  const auto begin = block_.begin() + static_cast<std::ptrdiff_t>(offset);
  const auto last = block_.end() - 1;
  return std::string(begin, std::find(begin, last, std::uint8_t{0}));
}

ReplyFrame ReplyView::Kind() const {
  if (!EndsWithEndByte()) {
    return ReplyFrame::None;
  }
  switch (Code()) {
    case kAcceptedCode:
      return ReplyFrame::Accepted;
    case kRefusedCode:
      return ReplyFrame::Refused;
    case kEndOfDataCode:
      return ReplyFrame::EndOfData;
    case kPasswordReplyCode:
      return ReplyFrame::PasswordReply;
    case kSettingsReplyCode:
      return LengthByte() == kSettingsPayloadLength ? ReplyFrame::SettingsReply : ReplyFrame::None;
    case kPhonesReplyCode:
      return ReplyFrame::PhonesReply;
    default:
      return ReplyFrame::None;
  }
}

}  // namespace app
