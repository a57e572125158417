// Data files from the other edition and from other programs, in both editions: a save replaces
// only the rows the window holds, and values stored in another of SQLite's types load and save.
#include <gtest/gtest.h>

#include <algorithm>

#include "DataFileFixture.h"

namespace {

using app_test::DataFileWindow;
using Numbers = std::vector<std::pair<int, std::string>>;
using Stored = std::vector<std::pair<std::int64_t, std::string>>;

// The tables as another program may make them: columns without a type, which keep every value in
// the type it was written in.
const std::vector<std::string> kUntypedTables = {
    "drop table phone", "create table phone (id, phone)", "drop table pcong",
    "create table pcong (time, rec)"};

std::vector<std::string> Lines(const Stored& Rows) {
  std::vector<std::string> lines;
  for (const auto& row : Rows) {
    lines.push_back(row.second);
  }
  return lines;
}

class DataFileOtherFiles : public DataFileWindow {};

// Slots 1 to 1000 in a shuffled row order; without column types their ids are stored as
// integers, texts and reals in turn. The rows above the edition's last slot keep their rowid and
// their stored values; the window's numbers follow them as integer ids in slot order.
TEST_P(DataFileOtherFiles, ASaveKeepsTheRowsAboveTheLastSlotByteForByte) {
  for (const bool typed : {true, false}) {
    SCOPED_TRACE(typed ? "declared column types" : "no column types");
    std::vector<std::string> sql = typed ? std::vector<std::string>{} : kUntypedTables;
    sql.push_back(
        "with recursive s(n) as (select 1 union all select n + 1 from s where n < 1000) "
        "insert into phone select case n % 3 when 0 then n when 1 then cast(n as text) "
        "else n * 1.0 end, 'n' || n from s order by n * 389 % 1000");
    sql.push_back("insert into pcong values (2000, 1)");
    const std::string path = MakeFile(typed ? "typed.mdb" : "untyped.mdb", sql);
    const Stored before = StoredPhones(path);
    ASSERT_EQ(before.size(), 1000u);
    const std::vector<std::string> lines = Lines(before);
    EXPECT_NE(std::find(lines.begin(), lines.end(), typed ? "1|'n1'" : "'1'|'n1'"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), typed ? "2|'n2'" : "2.0|'n2'"), lines.end());

    Form().BitBtn5->Click();
    dialogs_.Boxes.clear();
    LoadFrom(path);
    ASSERT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes[0].Text;
    ASSERT_EQ(Numbers().size(), static_cast<size_t>(LastSlot()));
    EXPECT_EQ(Numbers().back(), std::make_pair(LastSlot(), "n" + std::to_string(LastSlot())));
    Form().StringGrid1->SetCells(1, 1, "changed");
    Form().StringGrid1->SetCells(1, 2, "");
    const ::Numbers numbers = Numbers();
    WriteToWorkFile();
    ExpectBox(0, "Saved successfully", "message", MB_OK);

    Stored expected;
    for (const auto& row : before) {
      const size_t n = row.second.find("|'n");
      if (std::stoi(row.second.substr(n + 3)) > LastSlot()) {
        expected.push_back(row);
      }
    }
    EXPECT_EQ(expected.size(), 1000u - static_cast<size_t>(LastSlot()));
    for (const auto& [slot, number] : numbers) {
      expected.emplace_back(0, std::to_string(slot) + "|'" + number + "'");
    }
    const Stored after = StoredPhones(path);
    ASSERT_EQ(after.size(), expected.size());
    for (size_t i = 0; i < after.size(); ++i) {
      SCOPED_TRACE(expected[i].second);
      EXPECT_EQ(after[i].second, expected[i].second);
      if (expected[i].first != 0) {
        EXPECT_EQ(after[i].first, expected[i].first) << "a kept row moved";
      }
    }
    Form().BitBtn5->Click();
    LoadFrom(path);
    EXPECT_EQ(Numbers(), numbers);
  }
}

// Load results and the outcome of the save that follows them.
struct Outcome {
  std::string error;  // the error box of the load; "" for none
  ::Numbers numbers;
  std::string time;
  std::vector<std::string> saved;  // the phone rows after the save; empty: the save failed
};

class DataFileOtherValues : public DataFileOtherFiles {
 protected:
  // Loads a file that holds the phone rows (Id, 'odd') and (3, '33') and the settings (Time, 1),
  // then saves into it; checks what the load showed and what the save did.
  void LoadThenSave(bool Typed, const std::string& Id, const std::string& Time,
                    const Outcome& Expected) {
    std::vector<std::string> sql = Typed ? std::vector<std::string>{} : kUntypedTables;
    sql.push_back("insert into phone values (" + Id + ", 'odd')");
    sql.push_back("insert into phone values (3, '33')");
    sql.push_back("insert into pcong values (" + Time + ", 1)");
    const std::string path = MakeFile("values" + std::to_string(++made_) + ".mdb", sql);
    const std::string before = testsupport::ReadBytes(path);
    Form().StringGrid1->SetCells(1, 0, "Phone Number");
    dialogs_.Boxes.clear();
    LoadFrom(path);
    if (Expected.error.empty()) {
      EXPECT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes[0].Text;
    } else {
      ExpectErrorBox({Expected.error});
    }
    EXPECT_EQ(Numbers(), Expected.numbers);
    EXPECT_EQ(Form().Edit1->Text(), Expected.time);

    dialogs_.Boxes.clear();
    WriteToWorkFile();
    if (Expected.saved.empty()) {
      EXPECT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes[0].Text;
      EXPECT_TRUE(Unchanged(path, before)) << "the file changed";
    } else {
      ExpectBox(0, "Saved successfully", "message", MB_OK);
      EXPECT_EQ(Lines(StoredPhones(path)), Expected.saved);
      EXPECT_EQ(Lines(StoredRows(path, "pcong", "time", "rec")),
                std::vector<std::string>{Expected.time + "|1"});
    }
    ExpectQueryClosed();
  }

  int made_ = 0;  // files made so far, for their names
};

// An id that another program stored in another type: a whole number reads as the slot, one above
// the last slot is skipped and kept however large, anything else ends the load.
TEST_P(DataFileOtherValues, IdsStoredInOtherTypes) {
  const std::string digits30 = "123456789012345678901234567890";
  const struct {
    bool typed;
    std::string id;
    Outcome outcome;
  } cases[] = {
      // The text '7' is no integer to SQL; the save replaces it all the same.
      {false, "'7'", {"", {{3, "33"}, {7, "odd"}}, "1500", {"3|'33'", "7|'odd'"}}},
      {false, "8.0", {"", {{3, "33"}, {8, "odd"}}, "1500", {"3|'33'", "8|'odd'"}}},
      {false, "' +9 '", {"", {{3, "33"}, {9, "odd"}}, "1500", {"3|'33'", "9|'odd'"}}},
      {false, "'0'", {"", {{0, "odd"}, {3, "33"}}, "1500", {"3|'33'"}}},
      {false, "1099511627776", {"", {{3, "33"}}, "1500", {"1099511627776|'odd'", "3|'33'"}}},
      {true, "1099511627776", {"", {{3, "33"}}, "1500", {"1099511627776|'odd'", "3|'33'"}}},
      {true, "1e300", {"", {{3, "33"}}, "1500", {"1.0e+300|'odd'", "3|'33'"}}},
      {false,
       "'" + digits30 + "'",
       {"", {{3, "33"}}, "1500", {"'" + digits30 + "'|'odd'", "3|'33'"}}},
      // Loads that end in the error box; the save then stays out of the file.
      {false, "'x'", {"Field 'id' value 'x' is not an integer.", {}, "0", {}}},
      {false, "7.5", {"Field 'id' value '7.5' is not an integer.", {}, "0", {}}},
      {false, "-1099511627776", {"List index out of bounds (-1099511627776)", {}, "0", {}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id + (c.typed ? " in a typed column" : ""));
    LoadThenSave(c.typed, c.id, "1500", c.outcome);
  }
}

// A timeout that another program stored in another type shows as its digits; the save takes it
// when it is a 32-bit integer.
TEST_P(DataFileOtherValues, TimesStoredInOtherTypes) {
  const struct {
    std::string time;
    Outcome outcome;
  } cases[] = {
      {"1500.0", {"", {{3, "33"}, {5, "odd"}}, "1500", {"3|'33'", "5|'odd'"}}},
      {"'1500'", {"", {{3, "33"}, {5, "odd"}}, "1500", {"3|'33'", "5|'odd'"}}},
      {"1e20", {"", {{3, "33"}, {5, "odd"}}, "100000000000000000000", {}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.time);
    LoadThenSave(false, "5", c.time, c.outcome);
  }
}

// A row that the load would end on, written into the work file after the load, keeps every save
// out of the file, as a load that ended does: the window never held what that row means.
TEST_P(DataFileOtherFiles, ARowTheLoadWouldEndOnFailsTheSaveSilently) {
  int n = 0;
  for (const char* id : {"'x'", "-1", "x'07'"}) {
    SCOPED_TRACE(id);
    const std::string path =
        MakeFile("later" + std::to_string(++n) + ".mdb", {"insert into phone values (3, '33')"});
    LoadFrom(path);
    Exec(path, {std::string("insert into phone values (") + id + ", 'odd')"});
    const std::string before = testsupport::ReadBytes(path);
    dialogs_.Boxes.clear();
    Form().StringGrid1->SetCells(1, 4, "44");
    WriteToWorkFile();
    EXPECT_TRUE(dialogs_.Boxes.empty()) << dialogs_.Boxes[0].Text;
    EXPECT_TRUE(Unchanged(path, before)) << "the file changed";
    ExpectQueryClosed();
  }
}

INSTANTIATE_TEST_SUITE_P(Editions, DataFileOtherFiles,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), app_test::EditionName);
INSTANTIATE_TEST_SUITE_P(Editions, DataFileOtherValues,
                         testing::Values(&app::Tavkel14, &app::Tavkel13), app_test::EditionName);

}  // namespace
