#include "platform/Files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/Errors.h"
#include "tests/support/FifoWatchdog.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

// Sets TAVKEL_WINDOWS_DIR (or removes it for nullptr) for one test.
class WindowsDirOverride {
 public:
  explicit WindowsDirOverride(const char* dir) {
    if (dir != nullptr) {
      ::setenv("TAVKEL_WINDOWS_DIR", dir, 1);
    } else {
      ::unsetenv("TAVKEL_WINDOWS_DIR");
    }
  }
  ~WindowsDirOverride() { ::unsetenv("TAVKEL_WINDOWS_DIR"); }
};

TEST(WindowsDirectory, OverrideIsReturnedWhenItFitsAndEmptyWhenItDoesNot) {
  struct Case {
    size_t length;
    UINT size;
    bool fits;
  };
  const Case cases[] = {{10, 256, true},   {255, 256, true}, {256, 256, false},
                        {300, 256, false}, {5, 6, true},     {5, 5, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "length " << c.length << ", buffer " << c.size);
    const std::string dir = "/" + std::string(c.length - 1, 'd');
    WindowsDirOverride override(dir.c_str());
    std::string buffer(c.size, 'x');
    const UINT result = GetWindowsDirectoryA(buffer.data(), c.size);
    if (c.fits) {
      EXPECT_EQ(result, c.length);
      EXPECT_EQ(std::string(buffer.c_str()), dir);
    } else {
      EXPECT_EQ(result, 0u);
      EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
      EXPECT_EQ(buffer[0], '\0');
    }
  }
}

TEST(WindowsDirectory, TemplateNameIsTheDirectoryAndTavMdbOrEmptyWhenTooLong) {
  {
    WindowsDirOverride override("/opt/tav");
    EXPECT_EQ(platform::TemplateDatabaseName(), "/opt/tav/tav.mdb");
  }
  const std::string tooLong = "/" + std::string(255, 'd');
  WindowsDirOverride override(tooLong.c_str());
  EXPECT_EQ(platform::TemplateDatabaseName(), "");
  EXPECT_FALSE(CopyFileA(platform::TemplateDatabaseName().c_str(), "/tmp/never-made", TRUE));
}

TEST(WindowsDirectory, ProgramInTheBuildTreeFindsTheBuiltTemplate) {
  WindowsDirOverride none(nullptr);
  char dir[256];
  ASSERT_GT(GetWindowsDirectoryA(dir, sizeof dir), 0u);
  EXPECT_EQ(std::filesystem::path(dir).filename(), "tavkel");
  EXPECT_TRUE(std::filesystem::is_regular_file(platform::TemplateDatabaseName()))
      << platform::TemplateDatabaseName();
}

class CopyFile : public testing::Test {
 protected:
  void SetUp() override {
    // Larger than one copy block, with every byte value.
    for (int i = 0; i < 200000; ++i) {
      content_ += static_cast<char>(i * 7 % 256);
    }
    WriteBytes(source_, content_);
  }
  TempDir temp_;
  std::string source_ = temp_ / "tav.mdb";
  std::string content_;
};

TEST_F(CopyFile, CopiesEveryByteIntoAWritableNewFile) {
  const std::string target = temp_ / "plan.mdb";
  ASSERT_TRUE(CopyFileA(source_.c_str(), target.c_str(), TRUE));
  EXPECT_EQ(ReadBytes(target), content_);
  EXPECT_EQ(::access(target.c_str(), W_OK), 0);
}

TEST_F(CopyFile, RefusesAnExistingTargetAndLeavesItUntouched) {
  const std::string target = temp_ / "plan.mdb";
  WriteBytes(target, "mine");
  EXPECT_FALSE(CopyFileA(source_.c_str(), target.c_str(), TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadBytes(target), "mine");

  EXPECT_TRUE(CopyFileA(source_.c_str(), target.c_str(), FALSE));
  EXPECT_EQ(ReadBytes(target), content_);
}

// A source that is no regular file fails at once: a FIFO without a writer would block an open
// for reading, a device would never end.
TEST_F(CopyFile, FailsWithoutATraceForAMissingSourceOrAnUnwritableFolder) {
  WriteBytes(temp_ / "file", "x");
  std::filesystem::create_directory(temp_ / "folder");
  const std::string fifo = temp_ / "fifo.mdb";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const testsupport::FifoWatchdog watchdog(fifo, 1000);
  const std::string socket = temp_ / "socket.mdb";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  struct Case {
    const char* what;
    std::string source;
    std::string target;
  };
  const Case cases[] = {
      {"missing template", temp_ / "none.mdb", temp_ / "a.mdb"},
      {"template is a folder", temp_ / "folder", temp_ / "b.mdb"},
      {"template is a FIFO", fifo, temp_ / "e.mdb"},
      {"template is a socket", socket, temp_ / "f.mdb"},
      {"template is a device", "/dev/zero", temp_ / "g.mdb"},
      {"target under a regular file", source_, temp_ / "file/c.mdb"},
      {"target in a folder that does not exist", source_, temp_ / "nowhere/d.mdb"},
      {"target is a folder", source_, temp_ / "folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CopyFileA(c.source.c_str(), c.target.c_str(), TRUE));
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(std::filesystem::is_regular_file(c.target));
  }
  EXPECT_FALSE(watchdog.Fired()) << "the copy waited for a writer of the FIFO";
  ::close(listener);
  EXPECT_EQ(ReadBytes(source_), content_);
}

TEST_F(CopyFile, CopyOntoItselfFailsAndKeepsTheFile) {
  EXPECT_FALSE(CopyFileA(source_.c_str(), source_.c_str(), FALSE));
  EXPECT_EQ(ReadBytes(source_), content_);
}

TEST(CurrentDirectory, ReportsTheProcessDirectoryOrTheSizeNeeded) {
  TempDir temp;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(temp.Path());
  const std::string expected = std::filesystem::current_path().string();

  char buffer[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), expected.size());
  EXPECT_EQ(std::string(buffer), expected);

  char small[4] = "abc";
  EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), expected.size() + 1);
  EXPECT_STREQ(small, "abc");
  std::filesystem::current_path(previous);
}

}  // namespace
