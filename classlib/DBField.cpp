#include "classlib/DBField.h"

#include <limits>

#include "classlib/ADOQuery.h"

namespace classlib {

int TField::AsInteger() const {
  switch (value_.kind) {
    case TFieldValue::Kind::Null:
      return 0;
    case TFieldValue::Kind::Integer:
      if (value_.integer < std::numeric_limits<int>::min() ||
          value_.integer > std::numeric_limits<int>::max()) {
        throw EDatabaseError("Field '" + name_ + "' value " + std::to_string(value_.integer) +
                             " is out of the integer range");
      }
      return static_cast<int>(value_.integer);
    case TFieldValue::Kind::Blob:
      throw EDatabaseError("Field '" + name_ + "' value is binary data, not an integer");
    case TFieldValue::Kind::Real:
    case TFieldValue::Kind::Text:
      break;
  }
  throw EDatabaseError("Field '" + name_ + "' value '" + value_.text + "' is not an integer");
}

std::string TField::AsString() const {
  switch (value_.kind) {
    case TFieldValue::Kind::Null:
      return {};
    case TFieldValue::Kind::Integer:
      return std::to_string(value_.integer);
    case TFieldValue::Kind::Real:
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
