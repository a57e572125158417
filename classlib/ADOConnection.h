// The connection behind a database query: an OLE DB style connection string naming a data file,
// opened over SQLite, with transactions. Data files are only ever opened, never created. Every
// error is raised as EDatabaseError; those that SQLite reports carry SQLite's message.
#pragma once

#include <memory>
#include <string>

#include "classlib/Exception.h"
#include "classlib/Object.h"

struct sqlite3;
struct sqlite3_stmt;

namespace classlib {

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// The data source of a connection string such as
// "Provider=...;Data Source=PATH;Persist Security Info=False". PATH is taken unquoted and may
// itself hold ";" and "=": it runs from after the first "Data Source=" to the last
// ";Persist Security Info=" or the end. Keys are matched regardless of case. Raises when there is
// no data source or it is empty.
std::string DataSourceOf(const std::string& connectionString);

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const;
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

class TADOConnection : public TObject {
 public:
  TADOConnection() = default;
  // Closes, rolling back a transaction that was not committed.
  ~TADOConnection() override;

  const std::string& ConnectionString() const { return connectionString_; }
  // A changed string closes an open connection first.
  void SetConnectionString(const std::string& connectionString);

  bool Connected() const { return db_ != nullptr; }
  // Opens the data source for reading and writing, handing its bytes to the file system unaltered
  // (only a relative name that starts like a URI gets "./" before it). A file that does not exist
  // stays uncreated; a file that is no database fails here, not at the first statement. Opened
  // through DataFileVfs, so a file whose name takes every byte its folder allows can be written.
  void Open();
  // Rolls back a transaction that was not committed, then closes. Statements prepared on the
  // connection must have been freed.
  void Close();

  // Transactions, opening the connection when needed. A connection holds at most one: BeginTrans
  // inside one raises. Its writes reach the file at CommitTrans; RollbackTrans leaves the file as
  // it was before BeginTrans.
  int BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const { return inTransaction_; }

  // Runs one statement that returns no rows and gives the number of rows it changed.
  int Execute(const std::string& sql);

  // For the query: prepares one statement (more than one in sql raises). Opens when needed.
  StatementPtr Prepare(const std::string& sql);
  sqlite3* Handle() const { return db_; }
  // Raises the connection's last error.
  [[noreturn]] void RaiseLastError() const;

 private:
  std::string connectionString_;
  sqlite3* db_ = nullptr;
  bool inTransaction_ = false;
};

}  // namespace classlib
