// Text conversion: text to integer, integer to text, trimming. Texts are 8-bit strings.
#pragma once

#include <string>

#include "classlib/Exception.h"

namespace classlib {

// A text that does not convert to a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Converts S to a 32-bit signed integer. Blanks (code 32) at the start are skipped; then either an
// optional "-" or "+" and decimal digits, or, without a sign, hexadecimal digits of either case
// after "$", "x", "X", "0x" or "0X", whose value is taken as a 32-bit pattern. Anything else,
// trailing blanks included, an empty text or a value beyond the range raises EConvertError
// "'S' is not a valid integer value".
int StrToInt(const std::string& S);

// StrToInt without the exception: false leaves Value untouched.
bool TryStrToInt(const std::string& S, int& Value);

// S without its leading and trailing characters of code 32 or below.
std::string Trim(const std::string& S);

// Decimal digits, "-" before a negative value.
std::string IntToStr(int Value);

}  // namespace classlib
