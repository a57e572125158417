// Moving field values in and out of SQLite statements, inside the class library's query. Texts
// cross as UTF-8 on the SQLite side and Latin-1 on ours.
#pragma once

#include <string>

#include "classlib/DBField.h"

struct sqlite3_stmt;

namespace classlib::detail {

// identifier as a quoted SQL identifier.
std::string Quoted(const std::string& identifier);

TFieldValue ColumnValue(sqlite3_stmt* statement, int column);

// Binds value to parameter index; gives SQLite's result code.
int Bind(sqlite3_stmt* statement, int index, const TFieldValue& value);

}  // namespace classlib::detail
