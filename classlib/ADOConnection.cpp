#include "classlib/ADOConnection.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "classlib/SqliteVfs.h"

namespace classlib {
namespace {

// Position of the first (or last) occurrence of key in text, regardless of ASCII case.
size_t FindKey(const std::string& text, const std::string& key, bool last) {
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  if (last) {
    const auto it = std::find_end(text.begin(), text.end(), key.begin(), key.end(), same);
    return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
  }
  const auto it = std::search(text.begin(), text.end(), key.begin(), key.end(), same);
  return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
}

bool IsBlank(const char* text) {
  return std::all_of(text, text + std::char_traits<char>::length(text),
                     [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::string DataSourceOf(const std::string& connectionString) {
  static const std::string kDataSource = "Data Source=";
  static const std::string kPersist = ";Persist Security Info=";
  const size_t key = FindKey(connectionString, kDataSource, false);
  if (key == std::string::npos) {
    throw EDatabaseError("The connection string names no data source");
  }
  const size_t begin = key + kDataSource.size();
  size_t end = FindKey(connectionString, kPersist, true);
  if (end == std::string::npos || end < begin) {
    end = connectionString.size();
  }
  std::string path = connectionString.substr(begin, end - begin);
  if (path.empty()) {
    throw EDatabaseError("The connection string names no data source");
  }
  return path;
}

void StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

TADOConnection::~TADOConnection() {
  Close();
}

void TADOConnection::SetConnectionString(const std::string& connectionString) {
  if (connectionString != connectionString_) {
    Close();
    connectionString_ = connectionString;
  }
}

void TADOConnection::Open() {
  if (db_ != nullptr) {
    return;
  }
  std::string path = DataSourceOf(connectionString_);
  if (path.rfind("file:", 0) == 0) {
    path = "./" + path;  // a plain file name, never a URI
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, DataFileVfs());
  if (rc == SQLITE_OK) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);
    // Reading the schema finds a file that is no database now rather than at the first statement.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    const std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw EDatabaseError(message);
  }
  db_ = db;
}

void TADOConnection::Close() {
  if (db_ == nullptr) {
    return;
  }
  if (inTransaction_) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction_ = false;
  }
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

int TADOConnection::BeginTrans() {
  Open();
  if (inTransaction_) {
    throw EDatabaseError("A transaction is already in progress");
  }
  // IMMEDIATE takes the write lock now, so a save never fails half-way for a lock.
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    RaiseLastError();
  }
  inTransaction_ = true;
  return 1;
}

void TADOConnection::CommitTrans() {
  if (!inTransaction_) {
    throw EDatabaseError("No transaction is in progress");
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db_);
    // A failed commit may leave the transaction open; end it so the file stays as it was.
    if (sqlite3_get_autocommit(db_) == 0) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    inTransaction_ = false;
    throw EDatabaseError(message);
  }
  inTransaction_ = false;
}

void TADOConnection::RollbackTrans() {
  if (!inTransaction_) {
    throw EDatabaseError("No transaction is in progress");
  }
  inTransaction_ = false;
  // SQLite may have rolled back already (after some errors it does so itself).
  if (sqlite3_get_autocommit(db_) == 0 &&
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK) {
    RaiseLastError();
  }
}

int TADOConnection::Execute(const std::string& sql) {
  const StatementPtr statement = Prepare(sql);
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    RaiseLastError();
  }
  return sqlite3_changes(db_);
}

StatementPtr TADOConnection::Prepare(const std::string& sql) {
  Open();
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size() + 1), &raw, &tail) !=
      SQLITE_OK) {
    RaiseLastError();
  }
  StatementPtr statement(raw);
  if (statement == nullptr) {
    throw EDatabaseError("The SQL text holds no statement");
  }
  if (tail != nullptr && !IsBlank(tail)) {
    throw EDatabaseError("The SQL text holds more than one statement");
  }
  return statement;
}

void TADOConnection::RaiseLastError() const {
  throw EDatabaseError(sqlite3_errmsg(db_));
}

}  // namespace classlib
