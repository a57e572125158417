// A shipped program that cannot start, because no eventfd can be made for its message queue, ends
// as a program should: exit status 1, the reason in words on standard error and in a box, and no
// abort.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "ProgramProcess.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using programs_test::DescribeStatus;
using testing::HasSubstr;
using testing::Not;

TEST(StartFailure, WithoutAnEventFdTheProgramSaysWhyAndExitsWithStatusOne) {
  const struct {
    const char* name;
    const char* path;
  } programs[] = {{"tavkel14", TAVKEL14_PROGRAM}, {"tavkel13", TAVKEL13_PROGRAM}};
  const std::string reason = std::string("Message queue error: ") + std::strerror(EMFILE);
  for (const auto& program : programs) {
    SCOPED_TRACE(program.name);
    const testsupport::TempDir home;
    const std::string log = home / "driver.log";
    auto env = programs_test::ProgramEnvironment(home.Path(),
                                                 {FAIL_EVENTFD_LIBRARY, PROGRAM_DRIVER_LIBRARY});
    env.Set("TAVKEL_DRIVER_LOG", log);
    const auto ended = programs_test::RunToEnd({program.path}, env, home.Path(), 30s);
    ASSERT_TRUE(ended.status.has_value()) << "the program did not end\n" << ended.errors;
    EXPECT_TRUE(WIFEXITED(*ended.status) && WEXITSTATUS(*ended.status) == 1)
        << DescribeStatus(*ended.status) << "\n"
        << ended.errors;
    EXPECT_THAT(ended.errors, HasSubstr(std::string(program.name) + ": " + reason + "\n"));
    EXPECT_THAT(ended.errors, Not(HasSubstr("terminate called")));
    EXPECT_EQ(testsupport::ReadBytes(log), "box Tavkel V.1.3: " + reason + ".\n");
  }
}

}  // namespace
