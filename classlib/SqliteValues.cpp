#include "classlib/SqliteValues.h"

#include <sqlite3.h>

#include "classlib/Latin1.h"

namespace classlib::detail {

std::string Quoted(const std::string& identifier) {
  std::string out = "\"";
  for (const char c : identifier) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  return out + "\"";
}

TFieldValue ColumnValue(sqlite3_stmt* statement, int column) {
  TFieldValue value;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      value.kind = TFieldValue::Kind::Integer;
      value.integer = sqlite3_column_int64(statement, column);
      break;
    case SQLITE_FLOAT:
      value.kind = TFieldValue::Kind::Real;
      value.real = sqlite3_column_double(statement, column);
      value.text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      break;
    case SQLITE_TEXT:
      value.kind = TFieldValue::Kind::Text;
      value.text =
          Utf8ToLatin1({reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                        static_cast<size_t>(sqlite3_column_bytes(statement, column))});
      break;
    case SQLITE_BLOB: {
      value.kind = TFieldValue::Kind::Blob;
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      value.text.assign(bytes != nullptr ? bytes : "",
                        static_cast<size_t>(sqlite3_column_bytes(statement, column)));
      break;
    }
    default:
      break;
  }
  return value;
}

int Bind(sqlite3_stmt* statement, int index, const TFieldValue& value) {
  switch (value.kind) {
    case TFieldValue::Kind::Null:
      return sqlite3_bind_null(statement, index);
    case TFieldValue::Kind::Integer:
      return sqlite3_bind_int64(statement, index, value.integer);
    case TFieldValue::Kind::Real:
      return sqlite3_bind_double(statement, index, value.real);
    case TFieldValue::Kind::Text: {
      const std::string utf8 = Latin1ToUtf8(value.text);
      return sqlite3_bind_text(statement, index, utf8.data(), static_cast<int>(utf8.size()),
                               SQLITE_TRANSIENT);
    }
    case TFieldValue::Kind::Blob:
      return sqlite3_bind_blob(statement, index, value.text.data(),
                               static_cast<int>(value.text.size()), SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

}  // namespace classlib::detail
