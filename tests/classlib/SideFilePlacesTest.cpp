// What may stand at the name of a data file's journal, WAL or shared-memory file in place of a
// plain file: anyone who may write the folder can put a FIFO, a folder, a symbolic link or a
// second link to another file there. Loads and saves then fail with the database's message, at
// once; nothing is waited on, made, followed or changed, the linked file least of all, whether the
// journal keeps SQLite's own name or the shorter one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "classlib/SqliteVfs.h"
#include "tests/classlib/DataFileFixture.h"
#include "tests/support/FifoWatchdog.h"

namespace {

using testsupport::EntriesOf;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

enum class Planted { Fifo, Folder, DanglingLink, HardLink };

const char* NameOf(Planted What) {
  switch (What) {
    case Planted::Fifo:
      return "a FIFO";
    case Planted::Folder:
      return "a folder";
    case Planted::DanglingLink:
      return "a dangling symbolic link";
    case Planted::HardLink:
      return "a second link to another file";
  }
  return "?";
}

// What lstat tells of a file, as far as a load or save may change it.
struct Looks {
  mode_t mode;
  uid_t owner;
  gid_t group;
  nlink_t links;
  bool operator==(const Looks&) const = default;
};

Looks LooksOf(const std::string& Path) {
  struct stat status {};
  EXPECT_EQ(::lstat(Path.c_str(), &status), 0) << Path;
  return {status.st_mode, status.st_uid, status.st_gid, status.st_nlink};
}

class SideFilePlaces : public testsupport::DataFile {
 protected:
  // Under root, the other file belongs to another user, and the data file to a third: root's
  // SQLite would give a journal it opens the data file's owner.
  static constexpr uid_t kOtherUser = 4711;
  static constexpr gid_t kOtherGroup = 4712;
  static constexpr uid_t kDataFileUser = 4713;
  static constexpr gid_t kDataFileGroup = 4714;

  struct Case {
    std::string name;    // the data file's
    std::string suffix;  // SQLite's name of the side file: the data file's and this
    bool wal = false;    // the data file is in WAL mode
    Planted planted = Planted::Fifo;
    bool save = false;  // a save, else a load
  };

  // Runs c in a folder of its own and checks that it failed and left everything as it was.
  void Run(const Case& c, int Number) {
    SCOPED_TRACE(testing::Message()
                 << (c.save ? "save" : "load") << " of a " << c.name.size() << "-byte name, "
                 << NameOf(c.planted) << " at its " << c.suffix);
    const std::string folder = temp_ / ("case" + std::to_string(Number));
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/" + c.name;
    ASSERT_TRUE(CopyFileA(path_.c_str(), path.c_str(), TRUE));
    Save({{1, "111"}}, {2500, 1}, true, path);
    if (c.wal) {
      Exec({"pragma journal_mode = wal"}, path);
    }
    ASSERT_EQ(EntriesOf(folder), std::set<std::string>{c.name});
    const std::string side = classlib::SideFileName(path + c.suffix, 255);
    const std::string other = temp_ / ("other" + std::to_string(Number));
    const std::string nowhere = temp_ / ("nowhere" + std::to_string(Number));
    WriteBytes(other, "another user's file");
    ASSERT_EQ(::chmod(other.c_str(), 0604), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(other.c_str(), kOtherUser, kOtherGroup), 0);
      ASSERT_EQ(::chown(path.c_str(), kDataFileUser, kDataFileGroup), 0);
    }
    switch (c.planted) {
      case Planted::Fifo:
        ASSERT_EQ(::mkfifo(side.c_str(), 0600), 0);
        break;
      case Planted::Folder:
        ASSERT_EQ(::mkdir(side.c_str(), 0700), 0);
        break;
      case Planted::DanglingLink:
        ASSERT_EQ(::symlink(nowhere.c_str(), side.c_str()), 0);
        break;
      case Planted::HardLink:
        ASSERT_EQ(::link(other.c_str(), side.c_str()), 0);
        break;
    }
    const std::string before = ReadBytes(path);
    const Looks sideBefore = LooksOf(side);
    const Looks otherBefore = LooksOf(other);
    std::optional<testsupport::FifoWatchdog> watchdog;
    if (c.planted == Planted::Fifo) {
      watchdog.emplace(side, 3000);
    }

    try {
      if (c.save) {
        Save({{2, "222"}}, {1000, 0}, true, path);
      } else {
        Load(path);
      }
      ADD_FAILURE() << "it did not fail";
    } catch (const classlib::EDatabaseError& e) {
      EXPECT_NE(std::string(e.what()), "");
    }
    if (watchdog) {
      EXPECT_FALSE(watchdog->Fired()) << "the FIFO was waited on";
      watchdog.reset();
    }
    EXPECT_TRUE(ReadBytes(path) == before) << "the data file changed";
    EXPECT_EQ(EntriesOf(folder),
              (std::set<std::string>{c.name, std::filesystem::path(side).filename().string()}));
    EXPECT_TRUE(LooksOf(side) == sideBefore) << "what stood at the name changed";
    EXPECT_TRUE(LooksOf(other) == otherBefore) << "the linked file's owner or mode changed";
    EXPECT_EQ(ReadBytes(other), "another user's file");
    EXPECT_FALSE(std::filesystem::exists(nowhere)) << "the link was followed";
    if (c.planted == Planted::Folder) {
      EXPECT_TRUE(std::filesystem::is_empty(side));
    }
  }
};

// A journal under SQLite's own name and under the shorter one (a name of 251 bytes leaves no room
// for "-journal"), for loads and saves.
TEST_F(SideFilePlaces, AnythingButAPlainFileAtTheJournalsNameFailsTheLoadAndTheSave) {
  int number = 0;
  for (const std::string& name : {std::string("plan.mdb"), std::string(251, 'p')}) {
    for (const Planted planted :
         {Planted::Fifo, Planted::Folder, Planted::DanglingLink, Planted::HardLink}) {
      for (const bool save : {false, true}) {
        Run({.name = name, .suffix = "-journal", .planted = planted, .save = save}, ++number);
      }
    }
  }
}

// A file in WAL mode opens its WAL and then its shared-memory file at every load and save; any
// file opens a WAL that it finds beside it, to recover what it holds.
TEST_F(SideFilePlaces, AnythingButAPlainFileAtTheWalsOrSharedMemoryFilesNameFailsTheLoadAndSave) {
  const struct {
    const char* suffix;
    bool wal;
  } places[] = {{"-wal", true}, {"-shm", true}, {"-wal", false}};
  int number = 0;
  for (const auto& place : places) {
    for (const Planted planted :
         {Planted::Fifo, Planted::Folder, Planted::DanglingLink, Planted::HardLink}) {
      for (const bool save : {false, true}) {
        Run({.name = "plan.mdb",
             .suffix = place.suffix,
             .wal = place.wal,
             .planted = planted,
             .save = save},
            ++number);
      }
    }
  }
}

// Plain side files are used as ever: a WAL-mode file loads and saves, and leaves nothing behind.
TEST_F(SideFilePlaces, PlainSideFilesAreUsedAsEver) {
  Exec({"pragma journal_mode = wal"});
  Save({{7, "777"}}, {1200, 0});
  EXPECT_EQ(Load().phones, (std::vector<std::pair<int, std::string>>{{7, "777"}}));
  EXPECT_EQ(EntriesOf(temp_.Path()), std::set<std::string>{"work.mdb"});
}

}  // namespace
