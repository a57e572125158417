// Data files whose names take every byte their folder allows: SQLite names the journal by adding
// "-journal" to the file's name, which would pass the limit, so the journal is kept under a
// shorter name beside the file. Saves into such files commit, roll back and recover after a crash
// like any other.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "classlib/SqliteVfs.h"
#include "tests/classlib/DataFileFixture.h"

namespace {

using classlib::SideFileName;
using testsupport::EntriesOf;
using testsupport::ReadBytes;
using Phones = std::vector<std::pair<int, std::string>>;

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

  // A save-like transaction on Path that has written pages into the file (a small cache makes it
  // do so before it commits): the state a crash leaves, the file half-written and its journal
  // beside it. Rolled back when the connection goes.
  static std::unique_ptr<classlib::TADOConnection> Interrupted(const std::string& Path) {
    auto connection = std::make_unique<classlib::TADOConnection>();
    connection->SetConnectionString(testsupport::ConnectionStringFor(Path));
    connection->Execute("pragma cache_size = 1");
    connection->BeginTrans();
    connection->Execute("delete from phone");
    connection->Execute(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
        "insert into phone select i, hex(zeroblob(1000)) from n");
    return connection;
  }

  static std::string JournalOf(const std::string& Path) {
    return SideFileName(Path + "-journal", 255);
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
    EXPECT_EQ(EntriesOf(temp_.Path() / folder), std::set<std::string>{name})
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
    const auto save = Interrupted(path);
    const std::set<std::string> left = EntriesOf(temp_.Path() / "live");
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(left.contains(name));
    ASSERT_TRUE(left.contains(std::filesystem::path(JournalOf(path)).filename().string()));
    std::filesystem::create_directory(temp_.Path() / "crashed");
    for (const std::string& entry : left) {
      std::filesystem::copy_file(temp_.Path() / "live" / entry, temp_.Path() / "crashed" / entry);
    }
  }
  const std::string crashed = temp_ / ("crashed/" + name);
  ASSERT_NE(ReadBytes(crashed), before) << "nothing reached the file before the crash";
  EXPECT_EQ(Load(crashed).phones, (Phones{{1, "111"}}));
  EXPECT_EQ(EntriesOf(temp_.Path() / "crashed"), std::set<std::string>{name});
  EXPECT_EQ(ReadBytes(path), before);
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t Mask) : before_(::umask(Mask)) {}
  ~ScopedUmask() { ::umask(before_); }

 private:
  mode_t before_;
};

// The journal gets the data file's permissions, whatever the process's umask, under its own name
// as SQLite makes it and under the shorter one alike.
TEST_F(LongNames, TheJournalTakesTheDataFilesPermissions) {
  const ScopedUmask umask(022);
  for (const std::string& name : {std::string("plan.mdb"), std::string(251, 'p')}) {
    for (const mode_t mode : {mode_t{0600}, mode_t{0660}}) {
      SCOPED_TRACE(testing::Message() << name.size() << " bytes, mode 0" << std::oct << mode);
      const std::string folder = "f" + std::to_string(name.size()) + "-" + std::to_string(mode);
      const std::string path = CopyAs(folder, name);
      ASSERT_EQ(::chmod(path.c_str(), mode), 0);
      const auto save = Interrupted(path);
      struct stat journal {};
      ASSERT_EQ(::stat(JournalOf(path).c_str(), &journal), 0) << "no journal while saving";
      EXPECT_EQ(journal.st_mode & 07777, mode);
    }
  }
}

// Runs Work in a child process, as User (with its group alone) when given, and gives back the text
// it returns, or "error: " and the message of what it raised. The child ends without unwinding
// anything, as a crash does, and cannot outlive an alarm.
std::string InChild(const std::function<std::string()>& Work,
                    std::optional<std::pair<uid_t, gid_t>> User = std::nullopt) {
  int out[2];
  if (::pipe(out) != 0) {
    ADD_FAILURE() << "no pipe";
    return {};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    ::alarm(30);
    std::string result;
    if (User && (::setgroups(0, nullptr) != 0 || ::setgid(User->second) != 0 ||
                 ::setuid(User->first) != 0)) {
      result = "error: cannot become the user";
    } else {
      try {
        result = Work();
      } catch (const std::exception& e) {
        result = std::string("error: ") + e.what();
      }
    }
    const ssize_t written = ::write(out[1], result.data(), result.size());
    ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  ::close(out[1]);
  std::string result;
  char buffer[256];
  for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (got > 0) {
      result.append(buffer, static_cast<size_t>(got));
    } else if (errno != EINTR) {
      break;
    }
  }
  ::close(out[0]);
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed: " << status;
  return result;
}

std::string Describe(const Phones& phones) {
  std::string text;
  for (const auto& [id, phone] : phones) {
    text += std::to_string(id) + "=" + phone + ";";
  }
  return text;
}

// Root's save into another user's file dies half-way: the journal it leaves belongs to the file's
// owner, as SQLite gives the journals it names itself, so the owner loads the file afterwards,
// rolled back, and saves into it again.
TEST_F(LongNames, UnderRootTheJournalBelongsToTheDataFilesOwner) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root: only root's saves can leave a journal to another user";
  }
  constexpr uid_t kUser = 4711;
  constexpr gid_t kGroup = 4712;
  ASSERT_EQ(::chmod(temp_.Path().c_str(), 0711), 0) << "the user cannot reach its folder";
  for (const std::string& name : {std::string("plan.mdb"), std::string(251, 'p')}) {
    SCOPED_TRACE(testing::Message() << name.size() << " bytes");
    const std::string folder = "u" + std::to_string(name.size());
    const std::string path = CopyAs(folder, name);
    Save({{1, "111"}}, {2500, 1}, true, path);
    for (const std::string& owned : {temp_ / folder, path}) {
      ASSERT_EQ(::chown(owned.c_str(), kUser, kGroup), 0) << owned;
    }
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const std::string before = ReadBytes(path);

    EXPECT_EQ(InChild([&] {
                (void)Interrupted(path).release();  // never rolled back: the process dies
                return std::string("crashed");
              }),
              "crashed");
    struct stat journal {};
    ASSERT_EQ(::stat(JournalOf(path).c_str(), &journal), 0) << "the crash left no journal";
    EXPECT_EQ(journal.st_uid, kUser);
    EXPECT_EQ(journal.st_gid, kGroup);
    EXPECT_EQ(journal.st_mode & 07777, 0600u);
    // Compared without printing: a data file is kilobytes of mostly zeros.
    ASSERT_FALSE(ReadBytes(path) == before) << "nothing reached the file before the crash";

    const std::pair<uid_t, gid_t> user{kUser, kGroup};
    EXPECT_EQ(InChild([&] { return Describe(Load(path).phones); }, user), "1=111;");
    EXPECT_TRUE(ReadBytes(path) == before) << "the owner's load did not roll the save back";
    EXPECT_EQ(EntriesOf(temp_.Path() / folder), std::set<std::string>{name});
    EXPECT_EQ(InChild(
                  [&] {
                    Save({{2, "222"}}, {1000, 0}, true, path);
                    return Describe(Load(path).phones);
                  },
                  user),
              "2=222;");
  }
}

// A file in WAL mode whose name leaves no room for its shared-memory file, which SQLite names
// without this file system, cannot be opened; trying leaves nothing beside it.
TEST_F(LongNames, AWalModeFileWithTheLongestNameLeavesNothingBehind) {
  Exec({"pragma journal_mode = wal", "insert into phone values (1, '111')"});
  std::filesystem::create_directory(temp_.Path() / "wal");
  const std::string name(255, 'p');
  const std::string path = temp_ / ("wal/" + name);
  std::filesystem::rename(path_, path);
  const std::string before = ReadBytes(path);
  EXPECT_THROW(Load(path), classlib::EDatabaseError);
  EXPECT_THROW(Save({{2, "222"}}, {1000, 0}, true, path), classlib::EDatabaseError);
  EXPECT_EQ(EntriesOf(temp_.Path() / "wal"), std::set<std::string>{name});
  EXPECT_TRUE(ReadBytes(path) == before);
}

}  // namespace
