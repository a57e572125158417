#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "classlib/ADOQuery.h"
#include "tests/classlib/DataFileFixture.h"

namespace {

using classlib::EDatabaseError;
using testsupport::ConnectionStringFor;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

class QueryErrors : public testsupport::DataFile {
 protected:
  // The message of the exception that f raises, or "" when none.
  template <typename F>
  static std::string MessageOf(F f) {
    try {
      f();
    } catch (const EDatabaseError& e) {
      return e.Message();
    }
    return "";
  }
};

TEST_F(QueryErrors, FilesThatAreNoDataFileRaiseTheDatabaseMessage) {
  const std::string missing = temp_ / "missing.mdb";
  const std::string text = temp_ / "notes.mdb";
  WriteBytes(text, std::string(5000, 'x'));
  const std::string corrupt = temp_ / "corrupt.mdb";
  std::string bytes = ReadBytes(path_);
  for (size_t i = 16; i < bytes.size(); i += 7) {
    bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);  // keep the magic, spoil the rest
  }
  WriteBytes(corrupt, bytes);
  std::filesystem::create_directory(temp_ / "folder.mdb");
  struct Case {
    const char* what;
    std::string path;
    std::vector<std::string> messages;  // any of these
  };
  const Case cases[] = {
      {"missing file", missing, {sqlite3_errstr(SQLITE_CANTOPEN)}},
      {"folder", temp_ / "folder.mdb", {sqlite3_errstr(SQLITE_CANTOPEN)}},
      {"text file", text, {sqlite3_errstr(SQLITE_NOTADB)}},
      {"corrupt database",
       corrupt,
       {sqlite3_errstr(SQLITE_NOTADB), sqlite3_errstr(SQLITE_CORRUPT)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = std::filesystem::is_regular_file(c.path) ? ReadBytes(c.path) : "";
    const std::string message = MessageOf([&] { Load(c.path); });
    EXPECT_NE(std::find(c.messages.begin(), c.messages.end(), message), c.messages.end())
        << message;
    EXPECT_FALSE(query_.Active());
    EXPECT_FALSE(query_.Connection().Connected());
    EXPECT_NE(MessageOf([&] { Save({{1, "1"}}, {0, 0}, true, c.path); }), "");
    if (std::filesystem::is_regular_file(c.path)) {
      EXPECT_EQ(ReadBytes(c.path), before);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(QueryErrors, MissingTableOrColumn) {
  Exec({"drop table pcong", "create table pcong (time integer)", "insert into pcong values (1)"});
  EXPECT_EQ(MessageOf([&] { Load(); }), "ADOQuery1: Field 'rec' not found");
  Exec({"drop table phone"});
  EXPECT_EQ(MessageOf([&] { Load(); }), "no such table: phone");
}

TEST_F(QueryErrors, AnIdThatIsNoIntegerRaisesOnAsInteger) {
  struct Case {
    const char* value;
    const char* message;
    std::string text;  // AsString of the value
  };
  const Case cases[] = {
      {"'abc'", "Field 'id' value 'abc' is not an integer", "abc"},
      {"1.5", "Field 'id' value '1.5' is not an integer", "1.5"},
      {"4294967296", "Field 'id' value 4294967296 is out of the integer range", "4294967296"},
      {"x'00ff'", "Field 'id' value is binary data, not an integer", std::string("\0\xff", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Exec({"delete from phone", "insert into phone values (7, 'a')",
          std::string("insert into phone values (") + c.value + ", 'b')"});
    EXPECT_EQ(MessageOf([&] { Load(); }), c.message);
    query_.SetConnectionString(ConnectionStringFor(path_));
    query_.SetSQL("select * from phone");
    query_.Open();
    query_.Next();
    EXPECT_EQ(query_.FieldByName("id").AsString(), c.text);
    query_.Close();
  }
}

TEST_F(QueryErrors, StatementsThatDoNotFitTheCallRaiseAndChangeNothing) {
  Save({{1, "1"}}, {0, 0});
  const std::string before = ReadBytes(path_);
  query_.SetConnectionString(ConnectionStringFor(path_));
  query_.SetSQL("delete from phone");
  EXPECT_EQ(MessageOf([&] { query_.Open(); }),
            "ADOQuery1: The SQL text does not return a result set");
  query_.SetSQL("delete from phone; delete from pcong");
  EXPECT_EQ(MessageOf([&] { query_.ExecSQL(); }), "The SQL text holds more than one statement");
  query_.SetSQL("select * from phone where id > 0");
  query_.Open();
  EXPECT_EQ(MessageOf([&] { query_.Append(); }), "ADOQuery1: Cannot modify a read-only dataset");
  query_.Close();
  EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(QueryErrors, DeleteThatCannotBeDoneRaisesAndChangesNothing) {
  Save({{1, "111"}, {2, "222"}}, {50, 1});
  const std::string before = ReadBytes(path_);
  query_.SetConnectionString(ConnectionStringFor(path_));
  query_.SetSQL("select * from phone where id > 0");
  query_.Open();
  EXPECT_EQ(MessageOf([&] { query_.Delete(); }), "ADOQuery1: Cannot modify a read-only dataset");
  query_.SetSQL("select * from phone");
  query_.Open();
  query_.Connection().BeginTrans();
  query_.Delete();
  query_.Delete();
  EXPECT_EQ(MessageOf([&] { query_.Delete(); }),
            "ADOQuery1: Cannot perform this operation on an empty dataset");
  query_.Close();  // without a commit
  EXPECT_EQ(ReadBytes(path_), before);

  query_.SetConnectionString(ConnectionStringFor(path_));
  query_.SetSQL("select * from phone");
  query_.Open();
  Exec({"delete from phone where id = 1"});  // behind the query's back
  EXPECT_EQ(MessageOf([&] { query_.Delete(); }),
            "ADOQuery1: Row cannot be located for updating. Some values may have been changed "
            "since it was last read.");
  query_.Close();
  EXPECT_EQ(Load().phones, (std::vector<std::pair<int, std::string>>{{2, "222"}}));
}

TEST(ConnectionString, DataSourceRunsToTheLastPersistSecurityInfo) {
  struct Case {
    std::string connection;
    std::string path;
  };
  const Case cases[] = {
      {ConnectionStringFor("/home/u/plan.mdb"), "/home/u/plan.mdb"},
      {ConnectionStringFor("/a;b=c/x;Persist Security Info=;y.mdb"),
       "/a;b=c/x;Persist Security Info=;y.mdb"},
      {"provider=x;data source=/p.mdb;persist security info=false", "/p.mdb"},
      {"Data Source=/no/suffix;x=1", "/no/suffix;x=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connection);
    EXPECT_EQ(classlib::DataSourceOf(c.connection), c.path);
  }
  for (const char* bad :
       {"Provider=Microsoft.Jet.OLEDB.4.0", "Data Source=;Persist Security Info=False"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(classlib::DataSourceOf(bad), EDatabaseError);
  }
}

// The path reaches the file system as the bytes it was given (data files are never created, so a
// path altered on its way would fail): separators of the connection string, UTF-8 beyond ASCII,
// and bytes that are no UTF-8 at all.
TEST_F(QueryErrors, OddPathsAreOpenedByTheirOwnBytes) {
  const struct {
    const char* folder;
    const char* file;
  } cases[] = {
      {"a;b=c", "Data Source=x;y.mdb"},
      {"Données план", "дан.mdb"},
      {"\xe9t\xe9", "pl\xe4n.mdb"},
  };
  int id = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::filesystem::create_directory(temp_.Path() / c.folder);
    const std::string odd = temp_ / (std::string(c.folder) + "/" + c.file);
    ASSERT_TRUE(CopyFileA(path_.c_str(), odd.c_str(), TRUE));
    Save({{++id, "44"}}, {1, 1}, true, odd);
    EXPECT_EQ(Load(odd).phones, (std::vector<std::pair<int, std::string>>{{id, "44"}}));
  }
  EXPECT_EQ(Load().phones.size(), 0u);
}

TEST_F(QueryErrors, ARelativePathThatLooksLikeAUriIsAFileName) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(temp_.Path());
  ASSERT_TRUE(CopyFileA(path_.c_str(), "file:plan.mdb", TRUE));
  Save({{2, "2"}}, {0, 0}, true, "file:plan.mdb");
  EXPECT_EQ(Load("file:plan.mdb").phones.size(), 1u);
  std::filesystem::current_path(previous);
}

}  // namespace
