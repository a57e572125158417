#include "classlib/SysUtils.h"

#include <cstdint>

namespace classlib {

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

bool TryStrToInt(const std::string& S, int& Value) {
  std::size_t i = 0;
  while (i < S.size() && S[i] == ' ') {
    ++i;
  }
  bool negative = false;
  bool hex = false;
  if (i < S.size() && (S[i] == '-' || S[i] == '+')) {
    negative = S[i] == '-';
    ++i;
  } else if (i < S.size() && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == S.size()) {
    return false;
  }
  const int base = hex ? 16 : 10;
  // Decimal magnitudes go up to 2^31 (for the negative end), hexadecimal patterns to 2^32 - 1.
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : 0x80000000ull;
  std::uint64_t magnitude = 0;
  for (; i < S.size(); ++i) {
    const int digit = DigitValue(S[i]);
    if (digit < 0 || digit >= base) {
      return false;
    }
    magnitude = magnitude * base + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) {
      return false;
    }
  }
  if (hex) {
    Value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  } else if (negative) {
    Value = static_cast<int>(-static_cast<std::int64_t>(magnitude));
  } else if (magnitude > 0x7FFFFFFFull) {
    return false;
  } else {
    Value = static_cast<int>(magnitude);
  }
  return true;
}

int StrToInt(const std::string& S) {
  int value = 0;
  if (!TryStrToInt(S, value)) {
    throw EConvertError("'" + S + "' is not a valid integer value");
  }
  return value;
}

std::string Trim(const std::string& S) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t first = 0;
  std::size_t last = S.size();
  while (first < last && blank(S[first])) {
    ++first;
  }
  while (last > first && blank(S[last - 1])) {
    --last;
  }
  return S.substr(first, last - first);
}

std::string IntToStr(int Value) {
  return std::to_string(Value);
}

}  // namespace classlib
