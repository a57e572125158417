// Data files whose names take every byte their folder allows: SQLite names the journal by adding
// "-journal" to the file's name, which would pass the limit, so the journal is kept under a
// shorter name beside the file. Saves into such files commit, roll back and recover after a crash
// like any other.
#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <set>
#include <string>

#include "classlib/SqliteVfs.h"
#include "tests/classlib/DataFileFixture.h"

namespace {

using classlib::SideFileName;
using testsupport::ReadBytes;
using Phones = std::vector<std::pair<int, std::string>>;

// The names in a folder.
std::set<std::string> Entries(const std::filesystem::path& Folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(SideFileName, OnlyANameTooLongForItsFolderIsShortenedAlwaysAlikeAndApart) {
  const std::string folder = "/data/plans/";
  const std::string fits = folder + std::string(247, 'p') + "-journal";
  EXPECT_EQ(SideFileName(fits, 255), fits);
  EXPECT_EQ(SideFileName("plan.mdb-journal", 255), "plan.mdb-journal");

  const struct {
    const char* what;
    std::string name;
  } cases[] = {
      {"one byte over", folder + std::string(248, 'p') + "-journal"},
      {"the longest file's journal", folder + std::string(255, 'p') + "-journal"},
      {"its WAL", folder + std::string(255, 'p') + "-wal"},
      // Two-byte characters: the cut falls on a character's first byte.
      {"beyond ASCII", folder + "x" +
                           [] {
                             std::string name;
                             for (int i = 0; i < 127; ++i) {
                               name += "д";
                             }
                             return name;
                           }() +
                           "-journal"},
      {"no folder", std::string(250, 'q') + "-journal"},
  };
  std::set<std::string> made;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string shorter = SideFileName(c.name, 255);
    EXPECT_EQ(SideFileName(c.name, 255), shorter);
    const size_t slash = c.name.rfind('/') == std::string::npos ? 0 : folder.size();
    EXPECT_EQ(shorter.substr(0, slash), c.name.substr(0, slash)) << "not in the same folder";
    const std::string component = shorter.substr(slash);
    EXPECT_LE(component.size(), 255u);
    EXPECT_GE(component.size(), 230u) << "more of the name than needed is lost";
    EXPECT_EQ(component.substr(0, 10), c.name.substr(slash, 10));
    ASSERT_TRUE(component.ends_with(".journal")) << component;
    // SQLite's unix file system would look for a database before a "-" in the last extension.
    EXPECT_EQ(component.find('-', component.rfind('.')), std::string::npos);
    EXPECT_TRUE(QString::fromUtf8(component.c_str()).toUtf8().toStdString() == component)
        << "a character was cut";
    made.insert(shorter);
  }
  EXPECT_EQ(made.size(), std::size(cases));
}

class LongNames : public testsupport::DataFile {
 protected:
  // A copy of the template whose name is Name in a folder of its own.
  std::string CopyAs(const std::string& Folder, const std::string& Name) {
    std::filesystem::create_directory(temp_.Path() / Folder);
    const std::string path = temp_ / (Folder + "/" + Name);
    EXPECT_TRUE(CopyFileA(path_.c_str(), path.c_str(), TRUE)) << path;
    return path;
  }
};

TEST_F(LongNames, SavesCommitAndRollBackUpToTheLongestName) {
  std::string cyrillic;
  for (int i = 0; i < 125; ++i) {
    cyrillic += "д";
  }
  const std::string names[] = {std::string(247, 'p'),  // the journal's name just fits
                               std::string(248, 'p'), std::string(255, 'p'),
                               cyrillic + ".mdb"};  // 254 bytes
  for (const std::string& name : names) {
    SCOPED_TRACE(testing::Message() << name.size() << " bytes");
    const std::string folder = "f" + std::to_string(name.size());
    const std::string path = CopyAs(folder, name);
    Save({{1, "111"}, {1000, "999"}}, {2500, 1}, true, path);
    const auto loaded = Load(path);
    EXPECT_EQ(loaded.phones, (Phones{{1, "111"}, {1000, "999"}}));
    EXPECT_EQ(loaded.time, "2500");

    const std::string before = ReadBytes(path);
    platform::FailNextCall(platform::FaultPoint::DatabasePost, 1);
    EXPECT_THROW(Save({{2, "2"}, {3, "3"}}, {1, 0}, true, path), classlib::EDatabaseError);
    EXPECT_EQ(ReadBytes(path), before) << "the failed save was not rolled back";
    EXPECT_EQ(Entries(temp_.Path() / folder), std::set<std::string>{name})
        << "a journal was left behind";
  }
}

// A save that dies with pages of the file already overwritten leaves its journal; the next open
// finds it under its shorter name and puts the file back as it was before that save.
TEST_F(LongNames, AJournalLeftByACrashIsFoundAndRolledBack) {
  const std::string name(255, 'p');
  const std::string path = CopyAs("live", name);
  Save({{1, "111"}}, {2500, 1}, true, path);
  const std::string before = ReadBytes(path);
  {
    classlib::TADOConnection connection;
    connection.SetConnectionString(testsupport::ConnectionStringFor(path));
    // A small cache makes the transaction write pages into the file before it commits.
    connection.Execute("pragma cache_size = 1");
    connection.BeginTrans();
    connection.Execute("delete from phone");
    connection.Execute(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
        "insert into phone select i, hex(zeroblob(1000)) from n");
    // The state a crash leaves: the file half-written and the journal beside it.
    const std::set<std::string> left = Entries(temp_.Path() / "live");
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(left.contains(name));
    const std::string journal = SideFileName(path + "-journal", 255);
    ASSERT_TRUE(left.contains(std::filesystem::path(journal).filename().string()));
    std::filesystem::create_directory(temp_.Path() / "crashed");
    for (const std::string& entry : left) {
      std::filesystem::copy_file(temp_.Path() / "live" / entry, temp_.Path() / "crashed" / entry);
    }
    connection.RollbackTrans();
  }
  const std::string crashed = temp_ / ("crashed/" + name);
  ASSERT_NE(ReadBytes(crashed), before) << "nothing reached the file before the crash";
  EXPECT_EQ(Load(crashed).phones, (Phones{{1, "111"}}));
  EXPECT_EQ(Entries(temp_.Path() / "crashed"), std::set<std::string>{name});
  EXPECT_EQ(ReadBytes(path), before);
}

}  // namespace
