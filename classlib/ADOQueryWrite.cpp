// Writing posted rows back to the query's table: an insert for an appended row, an update by
// rowid for an edited one, then the row as stored is read back; and deleting a row by rowid. Each
// statement is prepared once per connection and kept until Close.
#include <sqlite3.h>

#include "classlib/ADOQuery.h"
#include "classlib/SqliteValues.h"

namespace classlib {

using detail::Bind;
using detail::ColumnValue;
using detail::Quoted;

namespace {

EDatabaseError RowNotLocated(const std::string& prefix) {
  return EDatabaseError(prefix +
                        "Row cannot be located for updating. Some values may have been changed "
                        "since it was last read.");
}

}  // namespace

sqlite3_stmt* TADOQuery::Cached(const std::string& sql) {
  connection_.Open();
  if (connection_.Handle() != statementsDb_) {
    FreeStatements();  // the connection was closed and opened again behind the query
    statementsDb_ = connection_.Handle();
  }
  auto it = statements_.find(sql);
  if (it == statements_.end()) {
    it = statements_.emplace(sql, connection_.Prepare(sql)).first;
  }
  sqlite3_stmt* statement = it->second.get();
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return statement;
}

void TADOQuery::FreeStatements() {
  statements_.clear();
  statementsDb_ = nullptr;
}

void TADOQuery::WriteRow() {
  std::vector<size_t> changed;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i]->Modified()) {
      changed.push_back(i);
    }
  }
  const bool inserting = state_ == TDataSetState::dsInsert;
  if (!inserting && changed.empty()) {
    return;
  }
  std::string sql;
  if (inserting && changed.empty()) {
    sql = "INSERT INTO " + Quoted(table_) + " DEFAULT VALUES";
  } else if (inserting) {
    std::string columns, values;
    for (const size_t i : changed) {
      columns += (columns.empty() ? "" : ", ") + Quoted(fields_[i]->FieldName());
      values += values.empty() ? "?" : ", ?";
    }
    sql = "INSERT INTO " + Quoted(table_) + " (" + columns + ") VALUES (" + values + ")";
  } else {
    std::string assignments;
    for (const size_t i : changed) {
      assignments += (assignments.empty() ? "" : ", ") + Quoted(fields_[i]->FieldName()) + " = ?";
    }
    sql = "UPDATE " + Quoted(table_) + " SET " + assignments + " WHERE _rowid_ = ?";
  }
  sqlite3_stmt* statement = Cached(sql);
  int index = 1;
  for (const size_t i : changed) {
    if (Bind(statement, index++, fields_[i]->Value()) != SQLITE_OK) {
      connection_.RaiseLastError();
    }
  }
  if (!inserting) {
    sqlite3_bind_int64(statement, index, rows_[current_].rowid);
  }
  RunWrite(statement);
  sqlite3* db = connection_.Handle();
  if (!inserting && sqlite3_changes(db) == 0) {
    throw RowNotLocated(ErrorPrefix());
  }
  const std::int64_t rowid = inserting ? sqlite3_last_insert_rowid(db) : rows_[current_].rowid;
  std::vector<TFieldValue> stored = ReadBack(rowid);
  if (inserting) {
    rows_.push_back({rowid, std::move(stored)});
    current_ = rows_.size() - 1;
  } else {
    rows_[current_].values = std::move(stored);
  }
}

void TADOQuery::RunWrite(sqlite3_stmt* statement) {
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (rc != SQLITE_DONE) {
    connection_.RaiseLastError();
  }
}

void TADOQuery::Delete() {
  CheckActive();
  Cancel();
  if (rows_.empty()) {
    throw EDatabaseError(ErrorPrefix() + "Cannot perform this operation on an empty dataset");
  }
  CheckWritable();
  sqlite3_stmt* statement = Cached("DELETE FROM " + Quoted(table_) + " WHERE _rowid_ = ?");
  sqlite3_bind_int64(statement, 1, rows_[current_].rowid);
  RunWrite(statement);
  if (sqlite3_changes(connection_.Handle()) == 0) {
    throw RowNotLocated(ErrorPrefix());
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(current_));
  if (current_ == rows_.size()) {
    eof_ = true;
    current_ = rows_.empty() ? 0 : current_ - 1;
  }
  LoadCurrent();
}

std::vector<TFieldValue> TADOQuery::ReadBack(std::int64_t rowid) {
  sqlite3_stmt* statement = Cached("SELECT * FROM " + Quoted(table_) + " WHERE _rowid_ = ?");
  sqlite3_bind_int64(statement, 1, rowid);
  std::vector<TFieldValue> values;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    const int count = sqlite3_column_count(statement);
    for (int c = 0; c < count; ++c) {
      values.push_back(ColumnValue(statement, c));
    }
  }
  sqlite3_reset(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    connection_.RaiseLastError();
  }
  if (values.size() != fields_.size()) {
    throw EDatabaseError(ErrorPrefix() + "The posted row cannot be read back");
  }
  return values;
}

}  // namespace classlib
