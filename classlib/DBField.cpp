#include "classlib/DBField.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "classlib/ADOQuery.h"

namespace classlib {
namespace {

// White space as SQLite sees it around a number.
bool IsSqlSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Whether a real is a whole number: finite and without fraction.
bool IsWhole(double real) {
  return std::isfinite(real) && std::trunc(real) == real;
}

// Magnitudes are counted up to 2^63, which stands for itself and every larger one.
constexpr std::uint64_t kTop = std::uint64_t{1} << 63;

// The 64-bit value nearest to a signed magnitude.
std::int64_t Clamped(std::uint64_t magnitude, bool negative) {
  if (negative) {
    return magnitude >= kTop ? std::numeric_limits<std::int64_t>::min()
                             : -static_cast<std::int64_t>(magnitude);
  }
  return magnitude >= kTop ? std::numeric_limits<std::int64_t>::max()
                           : static_cast<std::int64_t>(magnitude);
}

// A decimal integer with an optional sign, white space around it taken, clamped to the 64-bit
// range; false for any other text.
bool DecimalText(const std::string& text, std::int64_t& number) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsSqlSpace(text[first])) {
    ++first;
  }
  while (last > first && IsSqlSpace(text[last - 1])) {
    --last;
  }
  const bool negative = first < last && text[first] == '-';
  if (first < last && (text[first] == '-' || text[first] == '+')) {
    ++first;
  }
  if (first == last) {
    return false;
  }
  std::uint64_t magnitude = 0;
  for (size_t i = first; i < last; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    magnitude = magnitude > (kTop - digit) / 10 ? kTop : magnitude * 10 + digit;
  }
  number = Clamped(magnitude, negative);
  return true;
}

// The whole number that value holds, clamped to the 64-bit range; false when it holds none.
bool WholeNumber(const TFieldValue& value, std::int64_t& number) {
  switch (value.kind) {
    case TFieldValue::Kind::Null:
      number = 0;
      return true;
    case TFieldValue::Kind::Integer:
      number = value.integer;
      return true;
    case TFieldValue::Kind::Real:
      if (!IsWhole(value.real)) {
        return false;
      }
      number = Clamped(static_cast<std::uint64_t>(std::min(std::fabs(value.real), 0x1p63)),
                       value.real < 0);
      return true;
    case TFieldValue::Kind::Text:
      return DecimalText(value.text, number);
    case TFieldValue::Kind::Blob:
      break;
  }
  return false;
}

}  // namespace

int TField::AsInteger() const {
  const std::int64_t number = AsLargeInt();
  if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
    throw EDatabaseError("Field '" + name_ + "' value " + AsString() +
                         " is out of the integer range");
  }
  return static_cast<int>(number);
}

std::int64_t TField::AsLargeInt() const {
  if (value_.kind == TFieldValue::Kind::Blob) {
    throw EDatabaseError("Field '" + name_ + "' value is binary data, not an integer");
  }
  std::int64_t number = 0;
  if (!WholeNumber(value_, number)) {
    throw EDatabaseError("Field '" + name_ + "' value '" + value_.text + "' is not an integer");
  }
  return number;
}

std::string TField::AsString() const {
  switch (value_.kind) {
    case TFieldValue::Kind::Null:
      return {};
    case TFieldValue::Kind::Integer:
      return std::to_string(value_.integer);
    case TFieldValue::Kind::Real:
      if (IsWhole(value_.real)) {
        if (value_.real == 0) {
          return "0";
        }
        // Every digit of the whole number the real is: positional notation without a fraction
        // comes out exact (a double has at most 309 integer digits).
        char digits[400];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), value_.real,
                                          std::chars_format::fixed);
        return std::string(digits, result.ptr);
      }
      break;
    case TFieldValue::Kind::Text:
    case TFieldValue::Kind::Blob:
      break;
  }
  return value_.text;
}

void TField::SetAsInteger(int value) {
  Assign({TFieldValue::Kind::Integer, value, {}});
}

void TField::SetAsString(const std::string& value) {
  Assign({TFieldValue::Kind::Text, 0, value});
}

void TField::Clear() {
  Assign({});
}

void TField::Assign(TFieldValue value) {
  const TDataSetState state = dataSet_.State();
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) {
    throw EDatabaseError(dataSet_.ErrorPrefix() + "Dataset not in edit or insert mode");
  }
  value_ = std::move(value);
  modified_ = true;
}

}  // namespace classlib
