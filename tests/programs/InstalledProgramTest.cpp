// The programs installed under a prefix other than the one the build was configured with, as
// `cmake --install <build> --prefix <dir>` puts them: each finds the template installed beside it,
// so that "Write To File..." to a new name copies it and saves into the copy. The save is driven
// through the installed program's own window and Qt's file dialog.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <filesystem>

#include "ProgramProcess.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using programs_test::DescribeStatus;

// Marks the template so that a copy of it can be told from a copy of any other: a user version
// that the build's template does not have.
constexpr int kMark = 5301;

// Runs Sql on the database File; the first column of the first row as an integer, -1 when there
// is none or the statement fails.
int Query(const std::string& File, const std::string& Sql) {
  sqlite3* db = nullptr;
  int value = -1;
  if (sqlite3_open_v2(File.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      value = sqlite3_column_int(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return value;
}

TEST(InstalledProgram, SaveToANewNameCopiesTheTemplateInstalledBesideIt) {
  const testsupport::TempDir temp;
  const std::string prefix = temp / "prefix";
  programs_test::Environment installEnv;
  const auto installed =
      programs_test::RunToEnd({CMAKE_PROGRAM, "--install", TAVKEL_BUILD_DIR, "--prefix", prefix},
                              installEnv, temp.Path(), 60s);
  ASSERT_TRUE(installed.status.has_value());
  ASSERT_TRUE(WIFEXITED(*installed.status) && WEXITSTATUS(*installed.status) == 0)
      << DescribeStatus(*installed.status) << "\n"
      << installed.output << installed.errors;
  const std::string installedTemplate = prefix + "/" INSTALL_DATA_DIR "/tav.mdb";
  ASSERT_EQ(Query(installedTemplate, "pragma user_version = " + std::to_string(kMark)), -1);
  ASSERT_EQ(Query(installedTemplate, "pragma user_version"), kMark);

  for (const char* program : {"tavkel14", "tavkel13"}) {
    SCOPED_TRACE(program);
    const std::string home = temp / (std::string("home-") + program);
    const std::string work = home + "/work";
    std::filesystem::create_directories(work);
    auto env = programs_test::ProgramEnvironment(home, {PROGRAM_DRIVER_LIBRARY});
    const std::string log = home + "/driver.log";
    env.Set("TAVKEL_DRIVER_LOG", log);
    env.Set("TAVKEL_DRIVER_SAVE_AS", work + "/plan");
    const auto ended =
        programs_test::RunToEnd({prefix + "/" INSTALL_BIN_DIR "/" + program}, env, home, 30s);
    ASSERT_TRUE(ended.status.has_value()) << "the program did not end\n" << ended.errors;
    EXPECT_TRUE(WIFEXITED(*ended.status) && WEXITSTATUS(*ended.status) == 0)
        << DescribeStatus(*ended.status) << "\n"
        << ended.errors;
    // The save, then the question on closing and the save it asks for.
    EXPECT_EQ(testsupport::ReadBytes(log),
              "box message: Saved successfully\n"
              "box Message: save data\n"
              "box message: Data saved successfully\n");
    const std::string saved = work + "/plan.mdb";
    EXPECT_EQ(Query(saved, "pragma user_version"), kMark) << "not a copy of the installed template";
    EXPECT_EQ(Query(saved, "select time from pcong"), 1000);
  }
}

}  // namespace
