// A data file for query tests: a fresh copy of the built template in a temporary directory, and
// save-like and load-like sequences written the way the main window uses the query.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "classlib/ADOQuery.h"
#include "platform/Files.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/TempDir.h"

namespace testsupport {

inline std::string ConnectionStringFor(const std::string& path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
}

struct Settings {
  std::optional<int> time;  // nullopt: leave the value as it is
  std::optional<int> rec;
};

struct Loaded {
  std::vector<std::pair<int, std::string>> phones;  // in the order the query returned them
  std::string time;
  int rec = 0;
  bool hasSettings = false;
};

class DataFile : public testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("TAVKEL_WINDOWS_DIR");  // the template the build made
    ASSERT_TRUE(CopyFileA(platform::TemplateDatabaseName().c_str(), path_.c_str(), TRUE))
        << platform::TemplateDatabaseName();
    query_.SetName("ADOQuery1");
  }
  void TearDown() override { platform::ClearFaults(); }

  // Runs statements on the file directly, to prepare a case.
  void Exec(const std::vector<std::string>& statements, const std::string& path = {}) {
    classlib::TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path.empty() ? path_ : path));
    for (const auto& sql : statements) {
      connection.Execute(sql);
    }
  }

  // A save-like sequence: delete every phone row, append one per number, then edit the first
  // settings row (or start one). In a transaction when asked; always ends with the query closed.
  void Save(const std::map<int, std::string>& phones, Settings settings, bool transaction = true,
            const std::string& path = {}) {
    query_.SetConnectionString(ConnectionStringFor(path.empty() ? path_ : path));
    try {
      if (transaction) {
        query_.Connection().BeginTrans();
      }
      query_.SetSQL("delete from phone");
      query_.ExecSQL();
      query_.SetSQL("select * from phone");
      query_.Open();
      for (const auto& [slot, number] : phones) {
        query_.Append();
        query_.FieldByName("id").SetAsInteger(slot);
        query_.FieldByName("phone").SetAsString(number);
        query_.Post();
      }
      query_.SetSQL("select * from pcong");
      query_.Open();
      query_.Edit();
      if (settings.rec) {
        query_.FieldByName("rec").SetAsInteger(*settings.rec);
      }
      if (settings.time) {
        query_.FieldByName("time").SetAsInteger(*settings.time);
      }
      query_.Post();
      if (transaction) {
        query_.Connection().CommitTrans();
      }
      query_.Close();
    } catch (...) {
      if (query_.Connection().InTransaction()) {
        query_.Connection().RollbackTrans();
      }
      query_.Close();
      throw;
    }
  }

  // The load's sequence; always ends with the query closed.
  Loaded Load(const std::string& path = {}) {
    Loaded loaded;
    query_.SetConnectionString(ConnectionStringFor(path.empty() ? path_ : path));
    try {
      query_.SetSQL("select * from phone");
      query_.Open();
      for (; !query_.Eof(); query_.Next()) {
        loaded.phones.emplace_back(query_.FieldByName("id").AsInteger(),
                                   query_.FieldByName("phone").AsString());
      }
      query_.SetSQL("select * from pcong");
      query_.Open();
      if (!query_.Eof()) {
        loaded.hasSettings = true;
        loaded.time = query_.FieldByName("time").AsString();
        loaded.rec = query_.FieldByName("rec").AsInteger();
      }
      query_.Close();
    } catch (...) {
      query_.Close();
      throw;
    }
    return loaded;
  }

  TempDir temp_;
  std::string path_ = temp_ / "work.mdb";
  classlib::TADOQuery query_{nullptr};
};

}  // namespace testsupport
