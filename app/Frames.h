// The controller's frame format as the tool speaks it: builders for the seven requests and a view
// that names the parts of a reply. One definition for the sequencer, the reply decoder and the
// port search; nothing here knows about windows or the serial port.
//
// A frame is AA, a code, for most frames a payload-length byte, the payload, EE. No checksum, no
// escaping; two-byte numbers are unsigned and big-endian; texts are 8-bit, one byte a character.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace app {

inline constexpr std::uint8_t kStartByte = 0xAA;
inline constexpr std::uint8_t kEndByte = 0xEE;

// Request codes (tool to controller).
inline constexpr std::uint8_t kReadRequestCode = 0x01;
inline constexpr std::uint8_t kWriteSettingsCode = 0x02;
inline constexpr std::uint8_t kWritePhonesCode = 0x03;
inline constexpr std::uint8_t kReadAckCode = 0x10;
inline constexpr std::uint8_t kProbeCode = 0x11;
inline constexpr std::uint8_t kGetPasswordCode = 0x12;
inline constexpr std::uint8_t kSetPasswordCode = 0x13;

// Reply codes (controller to tool). PasswordReply reuses the code of GetPassword.
inline constexpr std::uint8_t kAcceptedCode = 0x20;
inline constexpr std::uint8_t kRefusedCode = 0x21;
inline constexpr std::uint8_t kSettingsReplyCode = 0x22;
inline constexpr std::uint8_t kPhonesReplyCode = 0x23;
inline constexpr std::uint8_t kEndOfDataCode = 0x24;
inline constexpr std::uint8_t kPasswordReplyCode = kGetPasswordCode;

// Offsets common to all frames. SetPassword and PasswordReply have no length byte: their payload
// starts at kLengthOffset.
inline constexpr std::size_t kCodeOffset = 1;
inline constexpr std::size_t kLengthOffset = 2;
inline constexpr std::size_t kPayloadOffset = 3;

inline constexpr std::size_t kShortFrameLength = 4;  // AA code 00 EE
inline constexpr std::uint8_t kSettingsPayloadLength = 9;
inline constexpr std::size_t kSettingsFrameLength = kSettingsPayloadLength + 4;
inline constexpr std::size_t kPasswordLength = 4;  // P1 to P4 of SetPassword
inline constexpr std::size_t kSetPasswordLength = kPasswordLength + 3;

// PhoneRecord: slot high byte, slot low byte, up to 13 characters, zero fill; byte 15 is zero in
// every record the tool sends.
inline constexpr std::size_t kPhoneRecordLength = 16;
inline constexpr std::size_t kPhoneTextOffset = 2;
inline constexpr std::size_t kPhoneTextLength = 13;
inline constexpr std::size_t kMaxWriteRecords = 5;
inline constexpr std::size_t kMaxReplyRecords = 15;
inline constexpr std::size_t kMaxWritePhonesLength = kMaxWriteRecords * kPhoneRecordLength + 4;

// The size of the sequencer's send buffer and of the decoder's reply buffer: the longest frame
// the tool takes apart. The longest one the protocol uses, a PhonesReply of 15 records, has 244.
inline constexpr std::size_t kMaxFrameLength = 500;

using ShortFrame = std::array<std::uint8_t, kShortFrameLength>;
using SettingsFrame = std::array<std::uint8_t, kSettingsFrameLength>;
using SetPasswordFrame = std::array<std::uint8_t, kSetPasswordLength>;
using PhoneRecord = std::array<std::uint8_t, kPhoneRecordLength>;

ShortFrame ReadRequest();
ShortFrame ReadAck();
ShortFrame Probe();
ShortFrame GetPassword();

// relayTimeout: only its low 16 bits travel, high byte first.
SettingsFrame WriteSettings(std::int32_t relayTimeout, bool externalDisconnection);

// P1 to P4 are the first four characters of password; places the text does not reach are zero
// bytes. No character beyond password's end is read.
SetPasswordFrame SetPassword(std::string_view password);

// The slot, high byte first, then the first 13 characters of number (all of them when shorter)
// and zero bytes up to the record's end, so the record always ends with a zero byte.
PhoneRecord MakePhoneRecord(std::uint16_t slot, std::string_view number);

// A WritePhones frame built up record by record, 1 to 5 records. Bytes() is the finished frame
// of 16n + 4 bytes at every moment, so the caller may stop adding at any point.
class WritePhones {
 public:
  WritePhones();

  std::size_t Count() const { return count_; }
  bool Full() const { return count_ == kMaxWriteRecords; }

  // Appends a record in the next place. Requires !Full().
  void Add(std::uint16_t slot, std::string_view number);

  // The frame for the records added so far: AA 03 16n, the records, EE.
  std::span<const std::uint8_t> Bytes() const;

 private:
  std::array<std::uint8_t, kMaxWritePhonesLength> bytes_{};
  std::size_t count_ = 0;
};

// The reply the decoder recognises a block as, tested in this order; every one also needs EE as
// the block's last byte. None when no test passes.
enum class ReplyFrame {
  None,
  Accepted,
  Refused,
  EndOfData,
  PasswordReply,
  SettingsReply,
  PhonesReply
};

// Names the parts of one received block. Bytes beyond the block read as zero, as they do in the
// decoder's zero-filled reply buffer, so no accessor reads outside it; a text runs to its first
// zero byte or to the block's last byte (the end byte), whichever comes first, and never takes
// that byte in. The view does not own the bytes.
class ReplyView {
 public:
  explicit ReplyView(std::span<const std::uint8_t> block) : block_(block) {}

  std::size_t Size() const { return block_.size(); }
  std::uint8_t At(std::size_t offset) const;
  std::uint16_t WordAt(std::size_t offset) const;  // big-endian
  std::string TextAt(std::size_t offset) const;

  std::uint8_t Code() const { return At(kCodeOffset); }
  std::uint8_t LengthByte() const { return At(kLengthOffset); }
  bool EndsWithEndByte() const { return !block_.empty() && block_.back() == kEndByte; }
  ReplyFrame Kind() const;

  // SettingsReply.
  std::uint16_t StoredCount() const { return WordAt(3); }
  std::uint16_t RelayTimeout() const { return WordAt(5); }
  bool ExternalDisconnection() const { return At(7) != 0; }

  // PhonesReply: LEN div 16 records (the low four bits ignored), record k at 3 + 16k. A text with
  // no zero byte in its record runs on into the next.
  std::size_t RecordCount() const { return LengthByte() / kPhoneRecordLength; }
  static constexpr std::size_t RecordOffset(std::size_t k) {
    return kPayloadOffset + k * kPhoneRecordLength;
  }
  std::uint16_t RecordSlot(std::size_t k) const { return WordAt(RecordOffset(k)); }
  std::string RecordText(std::size_t k) const { return TextAt(RecordOffset(k) + kPhoneTextOffset); }

  // PasswordReply: the characters from offset 2 up to the first zero byte or the end byte,
  // whether or not the controller puts a zero byte before its end byte.
  std::string PasswordText() const { return TextAt(kLengthOffset); }

 private:
  std::span<const std::uint8_t> block_;
};

}  // namespace app
