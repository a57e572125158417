// A field of a query's current row: read as an integer or a text, set while the query edits or
// appends a row.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace classlib {

class TADOQuery;

// One stored value, in SQLite's storage classes. Text holds Latin-1 for Text, SQLite's rendering
// for Real, the bytes for Blob; real holds the number of a Real.
struct TFieldValue {
  enum class Kind { Null, Integer, Real, Text, Blob };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  std::string text;
  double real = 0.0;
};

class TField {
 public:
  TField(TADOQuery& dataSet, std::string fieldName)
      : dataSet_(dataSet), name_(std::move(fieldName)) {}

  const std::string& FieldName() const { return name_; }
  bool IsNull() const { return value_.kind == TFieldValue::Kind::Null; }

  // A NULL reads as 0; a whole number that fits 32 bits reads as itself, whether it is stored as
  // an integer, a real without fraction or a text of decimal digits with an optional sign
  // (SQLite's white space around it taken, as SQLite takes it when it stores such a text in an
  // INTEGER column). Anything else raises EDatabaseError naming the field (and the value, unless
  // it is binary), never a silent 0.
  int AsInteger() const;
  // AsInteger without the 32-bit range: a whole number of any size reads, one beyond 64 bits as
  // the nearest end of the 64-bit range, so that it still compares correctly with any 64-bit
  // bound.
  std::int64_t AsLargeInt() const;
  // A NULL reads as "", an integer or a real without fraction as its decimal digits (no ".0", no
  // exponent, no "-" for a negative zero), another real in SQLite's rendering.
  std::string AsString() const;

  // Setters raise unless the query is editing or appending a row.
  void SetAsInteger(int value);
  void SetAsString(const std::string& value);
  void Clear();

  // For the query.
  const TFieldValue& Value() const { return value_; }
  void Load(const TFieldValue& value) {
    value_ = value;
    modified_ = false;
  }
  bool Modified() const { return modified_; }

 private:
  void Assign(TFieldValue value);

  TADOQuery& dataSet_;
  std::string name_;
  TFieldValue value_;
  bool modified_ = false;  // set since the row was loaded; only these are written by a post
};

}  // namespace classlib
