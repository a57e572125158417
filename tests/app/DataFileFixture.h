// The main window of one edition with data files in a temporary folder: a windows directory that
// holds a copy of the built template, helpers that make, change and read data files beside the
// window, and the window's file buttons driven through scripted dialogs.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "WindowFixture.h"
#include "classlib/ADOQuery.h"
#include "platform/Files.h"
#include "tests/support/FaultInjection.h"

namespace app_test {

// What a data file holds, each table in the order the query returns its rows; NULL reads "".
struct FileContents {
  std::vector<std::pair<int, std::string>> phones;            // id, phone
  std::vector<std::pair<std::string, std::string>> settings;  // time, rec
};

inline bool operator==(const FileContents& a, const FileContents& b) {
  return a.phones == b.phones && a.settings == b.settings;
}

class DataFileWindow : public EditionWindows {
 protected:
  void SetUp() override {
    EditionWindows::SetUp();
    ::unsetenv("TAVKEL_WINDOWS_DIR");  // the template the build made
    const std::string built = platform::TemplateDatabaseName();
    std::filesystem::create_directory(windowsDir_);
    ASSERT_TRUE(CopyFileA(built.c_str(), (windowsDir_ + "/tav.mdb").c_str(), TRUE)) << built;
    ::setenv("TAVKEL_WINDOWS_DIR", windowsDir_.c_str(), 1);
  }
  void TearDown() override {
    platform::ClearFaults();
    ::unsetenv("TAVKEL_WINDOWS_DIR");
    EditionWindows::TearDown();
  }

  static std::string ConnectionStringFor(const std::string& Path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Path + ";Persist Security Info=False";
  }

  // Runs Statements on the data file at Path.
  static void Exec(const std::string& Path, const std::vector<std::string>& Statements) {
    classlib::TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(Path));
    for (const std::string& sql : Statements) {
      connection.Execute(sql);
    }
  }

  // A copy of the template at files_/Name with Statements run on it; gives its path.
  std::string MakeFile(const std::string& Name, const std::vector<std::string>& Statements = {}) {
    const std::string path = files_ / Name;
    EXPECT_TRUE(CopyFileA((windowsDir_ + "/tav.mdb").c_str(), path.c_str(), TRUE)) << path;
    Exec(path, Statements);
    return path;
  }

  static FileContents Read(const std::string& Path) {
    FileContents contents;
    classlib::TADOQuery query(nullptr);
    query.SetConnectionString(ConnectionStringFor(Path));
    query.SetSQL("select * from phone");
    query.Open();
    for (; !query.Eof(); query.Next()) {
      contents.phones.emplace_back(query.FieldByName("id").AsInteger(),
                                   query.FieldByName("phone").AsString());
    }
    query.SetSQL("select * from pcong");
    query.Open();
    for (; !query.Eof(); query.Next()) {
      contents.settings.emplace_back(query.FieldByName("time").AsString(),
                                     query.FieldByName("rec").AsString());
    }
    query.Close();
    return contents;
  }

  // The rows of Table in rowid order as SQLite stores them: rowid and "quote(First)|quote(Second)".
  static std::vector<std::pair<std::int64_t, std::string>> StoredRows(const std::string& Path,
                                                                      const std::string& Table,
                                                                      const std::string& First,
                                                                      const std::string& Second) {
    std::vector<std::pair<std::int64_t, std::string>> rows;
    classlib::TADOQuery query(nullptr);
    query.SetConnectionString(ConnectionStringFor(Path));
    query.SetSQL("select _rowid_ as r, quote(" + First + ") || '|' || quote(" + Second +
                 ") as v from " + Table);
    query.Open();
    for (; !query.Eof(); query.Next()) {
      rows.emplace_back(query.FieldByName("r").AsLargeInt(), query.FieldByName("v").AsString());
    }
    query.Close();
    return rows;
  }
  static std::vector<std::pair<std::int64_t, std::string>> StoredPhones(const std::string& Path) {
    return StoredRows(Path, "phone", "id", "phone");
  }

  // Compared without printing: a data file is kilobytes of mostly zeros.
  static bool Unchanged(const std::string& Path, const std::string& Before) {
    return testsupport::ReadBytes(Path) == Before;
  }

  // "Load From File...", choosing Path (nothing: cancelling).
  void LoadFrom(const std::optional<std::string>& Path) {
    dialogs_.FileAnswers.push_back(Path);
    Form().BitBtn1->Click();
  }
  // "Write To File..."; Name answers the save dialog, if it comes.
  void WriteTo(const std::optional<std::string>& Name) {
    dialogs_.FileAnswers.push_back(Name);
    Form().BitBtn2->Click();
  }
  void WriteToWorkFile() { Form().BitBtn2->Click(); }

  // Puts Numbers (slot, text) into the table, the rest free.
  void Fill(const std::vector<std::pair<int, std::string>>& Numbers) {
    for (int slot = 1; slot <= LastSlot(); ++slot) {
      Form().StringGrid1->SetCells(1, slot, "");
    }
    for (const auto& [slot, number] : Numbers) {
      Form().StringGrid1->SetCells(1, slot, number);
    }
  }
  // The table's numbers, header row included when it holds something other than its title.
  std::vector<std::pair<int, std::string>> Numbers() {
    std::vector<std::pair<int, std::string>> numbers;
    const classlib::TStringGrid& grid = *Form().StringGrid1;
    if (grid.Cells(1, 0) != "Phone Number") {
      numbers.emplace_back(0, grid.Cells(1, 0));
    }
    for (int slot = 1; slot < grid.RowCount(); ++slot) {
      if (!grid.Cells(1, slot).empty()) {
        numbers.emplace_back(slot, grid.Cells(1, slot));
      }
    }
    return numbers;
  }

  void ExpectQueryClosed() {
    EXPECT_FALSE(Form().ADOQuery1->Active());
    EXPECT_FALSE(Form().ADOQuery1->Connection().Connected());
  }

  // The boxes of this Part, and the application's error box.
  void ExpectBox(size_t Index, const std::string& Text, const std::string& Caption, UINT Flags) {
    ASSERT_GT(dialogs_.Boxes.size(), Index) << "no box " << Index << ", expected " << Text;
    const classlib::TScriptedDialogs::Box& box = dialogs_.Boxes[Index];
    EXPECT_EQ(box.Text, Text);
    EXPECT_EQ(box.Caption, Caption);
    EXPECT_EQ(box.Flags, Flags);
    EXPECT_EQ(box.Owner, &Form());
  }
  void ExpectErrorBox(const std::vector<std::string>& AnyOf) {
    ASSERT_EQ(dialogs_.Boxes.size(), 1u);
    const classlib::TScriptedDialogs::Box& box = dialogs_.Boxes[0];
    EXPECT_NE(std::find(AnyOf.begin(), AnyOf.end(), box.Text), AnyOf.end()) << box.Text;
    EXPECT_EQ(box.Caption, "Test Title");
    EXPECT_EQ(box.Flags, MB_OK | MB_ICONERROR);
  }

  testsupport::TempDir files_;
  const std::string windowsDir_ = files_ / "windows";
};

inline constexpr const char* kCopyFailed =
    "Important file is missing, please heavy install software.";

}  // namespace app_test
