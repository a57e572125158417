// A query over a data file: set the connection string and the SQL text, then either run a
// statement (ExecSQL) or open its rows, walk them, read fields by name, and append, edit or delete
// rows.
//
// Opening reads every row into the query (a client-side cursor); rows come in the order SQLite
// returns them, the first current. A result is updatable when its SQL text is
// "select * from TABLE" and the table has rowids: a posted or deleted row is written to the file
// at once (or at the commit of the connection's transaction). The connection opens when first
// needed and stays open until Close, which ends the result and the connection, rolling back a
// transaction that was not committed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "classlib/ADOConnection.h"
#include "classlib/DBField.h"
#include "classlib/Object.h"

namespace classlib {

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TADOQuery : public TComponent {
 public:
  explicit TADOQuery(TComponent* Owner);
  ~TADOQuery() override;

  const std::string& ConnectionString() const { return connection_.ConnectionString(); }
  // A changed string closes the query.
  void SetConnectionString(const std::string& connectionString);
  const std::string& SQL() const { return sql_; }
  // Closes an open result; the connection stays.
  void SetSQL(const std::string& sql);
  // The query's own connection, for its transactions.
  TADOConnection& Connection() { return connection_; }

  // Runs the SQL text as a statement that returns no rows; gives the number of rows changed.
  int ExecSQL();
  // Opens the rows of the SQL text. A failure leaves the result closed.
  void Open();
  void Close();
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  TDataSetState State() const { return state_; }

  // Moving posts a pending edit first.
  void First();
  void Next();
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return rows_.empty(); }
  int RecordCount() const { return static_cast<int>(rows_.size()); }

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int index) { return *fields_.at(index); }
  // Field names match regardless of ASCII case; an unknown name raises.
  TField& FieldByName(const std::string& name);
  TField* FindField(const std::string& name);

  // Starts a new row after the last; its fields are empty until set.
  void Append();
  // Starts editing the current row; on an empty result starts a new row instead.
  void Edit();
  // Writes the row being edited or appended; on failure the query stays in that state.
  void Post();
  // Drops the pending changes.
  void Cancel();
  // Drops a pending append or edit, then deletes the current row from the table at once (or at
  // the commit of the connection's transaction). The row after it becomes current; when it was the
  // last, Eof holds. So a walk can delete the rows it chooses: "if chosen, Delete, else Next".
  void Delete();

  // "NAME: " for messages, or "" for a query without a name.
  std::string ErrorPrefix() const;

 private:
  struct Row {
    std::int64_t rowid = 0;
    std::vector<TFieldValue> values;
  };

  void CheckActive() const;
  void CheckWritable() const;
  void CheckBrowseMode();
  void LoadCurrent();
  void ReadRows(sqlite3_stmt* statement, bool withRowid);
  void WriteRow();
  // Steps a write statement that returns no rows; raises the connection's error.
  void RunWrite(sqlite3_stmt* statement);
  std::vector<TFieldValue> ReadBack(std::int64_t rowid);
  sqlite3_stmt* Cached(const std::string& sql);
  void FreeStatements();

  TADOConnection connection_;
  std::string sql_;
  TDataSetState state_ = TDataSetState::dsInactive;
  std::string table_;  // the table rows are written to; empty for a read-only result
  std::vector<std::unique_ptr<TField>> fields_;
  std::vector<Row> rows_;
  size_t current_ = 0;  // index into rows_ when not empty
  bool eof_ = true;
  std::map<std::string, StatementPtr> statements_;  // prepared writes, freed on Close
  sqlite3* statementsDb_ = nullptr;                 // the connection statements_ belong to
};

}  // namespace classlib
