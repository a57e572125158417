// A field of a query's current row: read as an integer or a text, set while the query edits or
// appends a row.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace classlib {

class TADOQuery;

// One stored value, in SQLite's storage classes. Text holds Latin-1 for Text, SQLite's rendering
// for Real, the bytes for Blob.
struct TFieldValue {
  enum class Kind { Null, Integer, Real, Text, Blob };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  std::string text;
};

class TField {
 public:
  TField(TADOQuery& dataSet, std::string fieldName)
      : dataSet_(dataSet), name_(std::move(fieldName)) {}

  const std::string& FieldName() const { return name_; }
  bool IsNull() const { return value_.kind == TFieldValue::Kind::Null; }

  // A NULL reads as 0. Only an integer that fits 32 bits reads; a text, a real number or binary
  // data raises EDatabaseError naming the field and the value, never a silent 0.
  int AsInteger() const;
  // A NULL reads as "", a number as its decimal text.
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
