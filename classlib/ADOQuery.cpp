#include "classlib/ADOQuery.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "classlib/SqliteValues.h"
#include "platform/Faults.h"

namespace classlib {
namespace {

using detail::ColumnValue;
using detail::Quoted;

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool IsIdentifier(const std::string& word) {
  if (word.empty() || std::isdigit(static_cast<unsigned char>(word[0])) != 0) {
    return false;
  }
  return std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  });
}

// The table of "select * from TABLE" (blanks between the words, a ";" at the end allowed), or ""
// for any other text.
std::string UpdatableTable(const std::string& sql) {
  std::istringstream in(sql);
  std::vector<std::string> words;
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  if (!words.empty() && words.back() == ";") {
    words.pop_back();
  } else if (!words.empty() && words.back().size() > 1 && words.back().back() == ';') {
    words.back().pop_back();
  }
  if (words.size() != 4 || !SameName(words[0], "select") || words[1] != "*" ||
      !SameName(words[2], "from") || !IsIdentifier(words[3])) {
    return {};
  }
  return words[3];
}

}  // namespace

TADOQuery::TADOQuery(TComponent* Owner) : TComponent(Owner) {}

TADOQuery::~TADOQuery() {
  Close();
}

std::string TADOQuery::ErrorPrefix() const {
  return Name().empty() ? "" : Name() + ": ";
}

void TADOQuery::SetConnectionString(const std::string& connectionString) {
  if (connectionString != connection_.ConnectionString()) {
    Close();
    connection_.SetConnectionString(connectionString);
  }
}

void TADOQuery::SetSQL(const std::string& sql) {
  if (Active()) {
    Cancel();
    state_ = TDataSetState::dsInactive;
    fields_.clear();
    rows_.clear();
  }
  sql_ = sql;
}

int TADOQuery::ExecSQL() {
  if (Active()) {
    SetSQL(sql_);  // ends the open result
  }
  return connection_.Execute(sql_);
}

void TADOQuery::Open() {
  if (Active()) {
    return;
  }
  const std::string table = UpdatableTable(sql_);
  StatementPtr statement;
  bool withRowid = false;
  if (!table.empty()) {
    // Rows are written back by rowid; a table without one (or a view) stays read-only.
    try {
      statement = connection_.Prepare("SELECT _rowid_, * FROM " + Quoted(table));
      withRowid = true;
    } catch (const EDatabaseError&) {
    }
  }
  if (!withRowid) {
    statement = connection_.Prepare(sql_);
  }
  if (sqlite3_column_count(statement.get()) == 0) {
    throw EDatabaseError(ErrorPrefix() + "The SQL text does not return a result set");
  }
  ReadRows(statement.get(), withRowid);
  table_ = withRowid ? table : std::string();
  state_ = TDataSetState::dsBrowse;
  current_ = 0;
  eof_ = rows_.empty();
  LoadCurrent();
}

void TADOQuery::ReadRows(sqlite3_stmt* statement, bool withRowid) {
  const int first = withRowid ? 1 : 0;
  const int count = sqlite3_column_count(statement);
  std::vector<std::unique_ptr<TField>> fields;
  for (int c = first; c < count; ++c) {
    fields.push_back(std::make_unique<TField>(*this, sqlite3_column_name(statement, c)));
  }
  std::vector<Row> rows;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    Row row;
    row.rowid = withRowid ? sqlite3_column_int64(statement, 0) : 0;
    row.values.reserve(fields.size());
    for (int c = first; c < count; ++c) {
      row.values.push_back(ColumnValue(statement, c));
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    connection_.RaiseLastError();
  }
  fields_ = std::move(fields);
  rows_ = std::move(rows);
}

void TADOQuery::Close() {
  if (Active()) {
    Cancel();
  }
  state_ = TDataSetState::dsInactive;
  fields_.clear();
  rows_.clear();
  table_.clear();
  eof_ = true;
  FreeStatements();
  connection_.Close();
}

void TADOQuery::CheckActive() const {
  if (!Active()) {
    throw EDatabaseError(ErrorPrefix() + "Cannot perform this operation on a closed dataset");
  }
}

void TADOQuery::CheckWritable() const {
  if (table_.empty()) {
    throw EDatabaseError(ErrorPrefix() + "Cannot modify a read-only dataset");
  }
}

void TADOQuery::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    Post();
  }
}

void TADOQuery::LoadCurrent() {
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->Load(rows_.empty() ? TFieldValue{} : rows_[current_].values[i]);
  }
}

void TADOQuery::First() {
  CheckBrowseMode();
  current_ = 0;
  eof_ = rows_.empty();
  LoadCurrent();
}

void TADOQuery::Next() {
  CheckBrowseMode();
  if (current_ + 1 < rows_.size()) {
    ++current_;
    LoadCurrent();
  } else {
    eof_ = true;
  }
}

TField* TADOQuery::FindField(const std::string& name) {
  for (const auto& field : fields_) {
    if (SameName(field->FieldName(), name)) {
      return field.get();
    }
  }
  return nullptr;
}

TField& TADOQuery::FieldByName(const std::string& name) {
  TField* field = FindField(name);
  if (field == nullptr) {
    throw EDatabaseError(ErrorPrefix() + "Field '" + name + "' not found");
  }
  return *field;
}

void TADOQuery::Append() {
  CheckBrowseMode();
  CheckWritable();
  state_ = TDataSetState::dsInsert;
  for (const auto& field : fields_) {
    field->Load({});
  }
}

void TADOQuery::Edit() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    return;
  }
  if (rows_.empty()) {
    Append();
    return;
  }
  CheckWritable();
  state_ = TDataSetState::dsEdit;
}

void TADOQuery::Post() {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    throw EDatabaseError(ErrorPrefix() + "Dataset not in edit or insert mode");
  }
  if (platform::ShouldFail(platform::FaultPoint::DatabasePost)) {
    throw EDatabaseError(ErrorPrefix() + "Injected failure of a post");
  }
  WriteRow();
  state_ = TDataSetState::dsBrowse;
  eof_ = false;
  LoadCurrent();
}

void TADOQuery::Cancel() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    state_ = TDataSetState::dsBrowse;
    LoadCurrent();
  }
}

}  // namespace classlib
