// A side file under a name from which the database engine cannot tell its database: made before
// the engine opens it, readable by this user alone until the open is over, then given the
// database's permissions; removed when the engine's open failed; never waited on.
#include "platform/SideFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/support/FifoWatchdog.h"
#include "tests/support/TempDir.h"

namespace {

using platform::SideFile;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

class SideFiles : public testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(database_, "data");
    ASSERT_EQ(::chmod(database_.c_str(), 0640), 0);
  }

  testsupport::TempDir temp_;
  const std::string database_ = temp_ / "plan.mdb";
  const std::string side_ = temp_ / "plan.journal";
};

TEST_F(SideFiles, AFileMadeForTheEngineTakesTheDatabasesPermissionsOnceOpened) {
  const mode_t umaskBefore = ::umask(0);
  {
    SideFile side(side_, database_, true);
    EXPECT_TRUE(side.DatabaseFound());
    EXPECT_EQ(ModeOf(side_), 0600u) << "readable by others before the engine's open was over";
    side.Opened();
    EXPECT_EQ(ModeOf(side_), 0640u);
  }
  ::umask(umaskBefore);
  EXPECT_TRUE(std::filesystem::exists(side_));

  // One that already holds something keeps its permissions, as the engine's own files do.
  ASSERT_EQ(::chmod(side_.c_str(), 0600), 0);
  WriteBytes(side_, "journal");
  SideFile(side_, database_, true).Opened();
  EXPECT_EQ(ModeOf(side_), 0600u);
  EXPECT_EQ(ReadBytes(side_), "journal");
}

// When the engine's open fails, only what was made for it goes.
TEST_F(SideFiles, WithoutTheEnginesOpenOnlyWhatWasMadeGoes) {
  { SideFile side(side_, database_, true); }
  EXPECT_FALSE(std::filesystem::exists(side_));
  { SideFile side(side_, database_, false); }
  EXPECT_FALSE(std::filesystem::exists(side_)) << "made without being asked to";

  WriteBytes(side_, "journal");
  { SideFile side(side_, database_, true); }
  EXPECT_EQ(ReadBytes(side_), "journal");

  // Nothing is made for a database that is not there, and a FIFO in the file's place is never
  // waited on.
  const std::string other = temp_ / "other.journal";
  {
    SideFile side(other, temp_ / "none.mdb", true);
    EXPECT_FALSE(side.DatabaseFound());
  }
  EXPECT_FALSE(std::filesystem::exists(other));
  ASSERT_EQ(::mkfifo(other.c_str(), 0600), 0);
  const testsupport::FifoWatchdog watchdog(other, 1000);
  SideFile(other, database_, true).Opened();
  EXPECT_FALSE(watchdog.Fired()) << "the FIFO was waited on";
  EXPECT_EQ(ModeOf(other), 0600u);
}

// A second link names a file elsewhere: it keeps its permissions and owner, though it is empty and
// the engine's open (had it taken it) would be over.
TEST_F(SideFiles, AFileWithASecondLinkIsLeftAsItIs) {
  const std::string other = temp_ / "other";
  WriteBytes(other, "");
  ASSERT_EQ(::chmod(other.c_str(), 0604), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(other.c_str(), 4711, 4712), 0);
  }
  ASSERT_EQ(::link(other.c_str(), side_.c_str()), 0);
  SideFile(side_, database_, true).Opened();
  struct stat status {};
  ASSERT_EQ(::stat(other.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0604u);
  if (::geteuid() == 0) {
    EXPECT_EQ(status.st_uid, 4711u);
    EXPECT_EQ(status.st_gid, 4712u);
  }
}

}  // namespace
