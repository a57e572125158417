#include "classlib/ADOQuery.h"

#include <gtest/gtest.h>

#include "tests/classlib/DataFileFixture.h"

namespace {

using classlib::EDatabaseError;
using classlib::TDataSetState;
using Phones = std::vector<std::pair<int, std::string>>;
using testsupport::ReadBytes;

class Query : public testsupport::DataFile {};

TEST_F(Query, SaveThenLoadRestoresEveryRowInSlotOrder) {
  std::string everyByte;
  for (int c = 1; c < 256; ++c) {
    everyByte += static_cast<char>(c);
  }
  const std::map<int, std::string> phones = {
      {1, "+79001234567"}, {2, "\xE9\xFF\x80 tel"}, {500, everyByte}, {1000, "1000"}};
  Save(phones, {12345, 1});
  const auto loaded = Load();
  EXPECT_EQ(loaded.phones, Phones(phones.begin(), phones.end()));
  EXPECT_TRUE(loaded.hasSettings);
  EXPECT_EQ(loaded.time, "12345");
  EXPECT_EQ(loaded.rec, 1);
  EXPECT_FALSE(query_.Active());
  EXPECT_FALSE(query_.Connection().Connected());

  // The second save replaces the rows and updates the one settings row.
  Save({{7, "7"}}, {0, 0});
  const auto again = Load();
  EXPECT_EQ(again.phones, (Phones{{7, "7"}}));
  EXPECT_EQ(again.time, "0");
  EXPECT_EQ(again.rec, 0);
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select * from pcong");
  query_.Open();
  EXPECT_EQ(query_.RecordCount(), 1);
  query_.Close();
}

TEST_F(Query, TextsAreStoredAsUtf8) {
  Save({{1, "\xE9"}}, {0, 0});
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select hex(phone) as h from phone");
  query_.Open();
  EXPECT_EQ(query_.FieldByName("H").AsString(), "C3A9");
  query_.Close();
}

TEST_F(Query, RowsComeInRowidOrderWithDuplicatesAndOddIds) {
  Exec({"insert into phone values (900, 'a')", "insert into phone values (-3, 'b')",
        "insert into phone values (900, 'c')", "insert into phone values (NULL, 'd')",
        "insert into phone values (0, NULL)"});
  EXPECT_EQ(Load().phones, (Phones{{900, "a"}, {-3, "b"}, {900, "c"}, {0, "d"}, {0, ""}}));
}

TEST_F(Query, SettingsRowReadsTimeAsTextAndRecAsInteger) {
  struct Case {
    const char* time;
    const char* rec;
    std::string expectedTime;
    int expectedRec;
  };
  const Case cases[] = {{"60000", "2", "60000", 2},
                        {"0", "0", "0", 0},
                        {"-1", "-7", "-1", -7},
                        {"NULL", "NULL", "", 0},
                        {"2147483647", "1", "2147483647", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("time ") + c.time + ", rec " + c.rec);
    Exec({"delete from pcong",
          std::string("insert into pcong values (") + c.time + ", " + c.rec + ")",
          "insert into pcong values (5, 5)"});
    const auto loaded = Load();
    EXPECT_TRUE(loaded.hasSettings);
    EXPECT_EQ(loaded.time, c.expectedTime);
    EXPECT_EQ(loaded.rec, c.expectedRec);
  }
}

TEST_F(Query, EditChangesOnlyTheFirstSettingsRowOrStartsOneInAnEmptyTable) {
  EXPECT_FALSE(Load().hasSettings);  // the template has no settings row
  Save({}, {300, 1});
  auto loaded = Load();
  EXPECT_EQ(loaded.time, "300");
  EXPECT_EQ(loaded.rec, 1);
  EXPECT_TRUE(loaded.phones.empty());

  Exec({"insert into pcong values (9, 9)"});
  Save({}, {400, std::nullopt});
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select * from pcong");
  query_.Open();
  ASSERT_EQ(query_.RecordCount(), 2);
  EXPECT_EQ(query_.FieldByName("time").AsInteger(), 400);
  EXPECT_EQ(query_.FieldByName("rec").AsInteger(), 1);  // not set: kept
  query_.Next();
  EXPECT_EQ(query_.FieldByName("time").AsInteger(), 9);
  query_.Close();
}

TEST_F(Query, APostWithoutTransactionIsInTheFileAtOnce) {
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select * from phone");
  query_.Open();
  query_.Append();
  query_.FieldByName("id").SetAsInteger(3);
  query_.FieldByName("phone").SetAsString("333");
  query_.Post();
  EXPECT_EQ(query_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(query_.FieldByName("id").AsInteger(), 3);

  // Another connection sees the row while this query still holds its result.
  classlib::TADOQuery other(nullptr);
  other.SetConnectionString(testsupport::ConnectionStringFor(path_));
  other.SetSQL("select * from phone");
  other.Open();
  ASSERT_EQ(other.RecordCount(), 1);
  EXPECT_EQ(other.FieldByName("phone").AsString(), "333");
  query_.Close();
}

// A save that fails anywhere leaves the file byte for byte as it was.
TEST_F(Query, FailedSaveInATransactionLeavesTheFileUnchanged) {
  Save({{1, "111"}, {2, "222"}}, {50, 1});
  const std::string before = ReadBytes(path_);
  std::map<int, std::string> many;
  for (int slot = 1; slot <= 20; ++slot) {
    many[slot] = "new" + std::to_string(slot);
  }
  for (const int skip : {0, 10, 20}) {  // first phone row, a middle one, the settings row
    SCOPED_TRACE(testing::Message() << "posts before the failure: " << skip);
    platform::FailNextCall(platform::FaultPoint::DatabasePost, skip);
    EXPECT_THROW(Save(many, {99, 0}), EDatabaseError);
    EXPECT_FALSE(query_.Active());
    EXPECT_FALSE(query_.Connection().Connected());
    EXPECT_EQ(ReadBytes(path_), before);
  }
  const auto loaded = Load();
  EXPECT_EQ(loaded.phones, (Phones{{1, "111"}, {2, "222"}}));
  EXPECT_EQ(loaded.time, "50");
}

TEST_F(Query, CloseWithoutCommitRollsBack) {
  Save({{1, "111"}}, {50, 1});
  const std::string before = ReadBytes(path_);
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.Connection().BeginTrans();
  query_.SetSQL("delete from phone");
  EXPECT_EQ(query_.ExecSQL(), 1);
  query_.Close();
  EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(Query, WithoutTransactionAFailedSaveKeepsWhatWasPosted) {
  Save({{1, "111"}, {2, "222"}}, {50, 1});
  platform::FailNextCall(platform::FaultPoint::DatabasePost, 1);
  EXPECT_THROW(Save({{5, "5"}, {6, "6"}}, {0, 0}, false), EDatabaseError);
  EXPECT_EQ(Load().phones, (Phones{{5, "5"}}));
}

// A walk deletes the rows it chooses: the row after a deleted one becomes current, and deleting
// the last one ends the walk. Without a transaction each deletion is in the file at once.
TEST_F(Query, DeleteInAWalkRemovesTheChosenRowsAndMovesOn) {
  Exec({"insert into phone values (1, 'a')", "insert into phone values (2, 'b')",
        "insert into phone values (2, 'c')", "insert into phone values (3, 'd')",
        "insert into phone values (4, 'e')"});
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select * from phone");
  query_.Open();
  std::vector<std::string> walked;
  while (!query_.Eof()) {
    walked.push_back(query_.FieldByName("phone").AsString());
    if (query_.FieldByName("id").AsInteger() % 2 == 0) {
      query_.Delete();
    } else {
      query_.Next();
    }
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(query_.RecordCount(), 2);
  EXPECT_EQ(Load().phones, (Phones{{1, "a"}, {3, "d"}}));

  // A pending append is dropped, not written; then the current row goes.
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select * from phone");
  query_.Open();
  query_.Append();
  query_.FieldByName("id").SetAsInteger(9);
  query_.Delete();
  EXPECT_EQ(query_.FieldByName("phone").AsString(), "d");
  query_.Delete();
  EXPECT_TRUE(query_.IsEmpty());
  EXPECT_TRUE(query_.Eof());
  query_.Close();
  EXPECT_EQ(Load().phones, Phones{});
}

TEST_F(Query, AFieldIsSetOnlyWhileEditingOrAppending) {
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("select * from phone");
  query_.Open();
  auto& id = query_.FieldByName("ID");  // names match regardless of case
  EXPECT_THROW(id.SetAsInteger(1), EDatabaseError);
  EXPECT_THROW(query_.Post(), EDatabaseError);
  query_.Append();
  id.SetAsInteger(1);
  query_.Cancel();
  EXPECT_TRUE(query_.IsEmpty());
  try {
    query_.FieldByName("number");
    FAIL() << "an unknown field was found";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "ADOQuery1: Field 'number' not found");
  }
  query_.Close();
  EXPECT_EQ(Load().phones, Phones{});
}

TEST_F(Query, PostsStillWorkWhenTheConnectionWasClosedBehindTheQuery) {
  query_.SetConnectionString(testsupport::ConnectionStringFor(path_));
  query_.SetSQL("  SELECT *\tFROM phone;");  // still the plain select of one table
  query_.Open();
  for (const int slot : {1, 2}) {
    query_.Append();
    query_.FieldByName("id").SetAsInteger(slot);
    query_.Post();
    query_.Connection().Close();
  }
  query_.Close();
  EXPECT_EQ(Load().phones, (Phones{{1, ""}, {2, ""}}));
}

}  // namespace
