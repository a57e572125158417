// Where the platform root lies for each setting of the environment. The root is only computed
// here, never used, so nothing is made in the user's real home.
#include "platform/Root.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <optional>
#include <string>

#include "tests/support/FaultInjection.h"

namespace {

constexpr std::array kVariables = {"TAVKEL_ROOT", "XDG_CONFIG_HOME", "HOME"};

// Sets the three variables for the life of the object (nullptr: unset), then restores them.
class Environment {
 public:
  explicit Environment(const std::array<const char*, 3>& values) {
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
      if (const char* value = std::getenv(kVariables[i])) {
        saved_[i] = value;
      }
      if (values[i] != nullptr) {
        ::setenv(kVariables[i], values[i], 1);
      } else {
        ::unsetenv(kVariables[i]);
      }
    }
  }
  ~Environment() {
    platform::ClearFaults();
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
      if (saved_[i]) {
        ::setenv(kVariables[i], saved_[i]->c_str(), 1);
      } else {
        ::unsetenv(kVariables[i]);
      }
    }
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

 private:
  std::array<std::optional<std::string>, 3> saved_;
};

// The home directory the password database gives this user, looked up independently.
std::optional<std::filesystem::path> RecordedHome() {
  const passwd* entry = ::getpwuid(::getuid());
  if (entry == nullptr || entry->pw_dir == nullptr || entry->pw_dir[0] != '/') {
    return std::nullopt;
  }
  return entry->pw_dir;
}

TEST(PlatformRoot, FollowsTheEnvironmentAndElseTheUsersRecordedHome) {
  const auto recorded = RecordedHome();
  const auto recordedRoot =
      recorded ? std::optional(*recorded / ".config" / "tavkel") : std::nullopt;
  struct Row {
    std::array<const char*, 3> environment;  // TAVKEL_ROOT, XDG_CONFIG_HOME, HOME
    std::optional<std::filesystem::path> root;
  };
  const Row rows[] = {
      {{"/r", "/x", "/h"}, "/r"},
      {{"", "/x", "/h"}, "/x/tavkel"},
      {{nullptr, "/x", "/h"}, "/x/tavkel"},
      {{nullptr, "relative", "/h"}, "/h/.config/tavkel"},
      {{nullptr, "", "/h"}, "/h/.config/tavkel"},
      {{nullptr, nullptr, "/h"}, "/h/.config/tavkel"},
      {{nullptr, nullptr, nullptr}, recordedRoot},
      {{nullptr, "", ""}, recordedRoot},
      {{nullptr, nullptr, "relative"}, recordedRoot},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.environment));
    const Environment environment(row.environment);
    EXPECT_EQ(platform::PlatformRoot(), row.root);
  }
}

// Without a home directory there is no root at all: never one in a shared directory such as /tmp,
// which another user could make first and fill with a device map of their choosing.
TEST(PlatformRoot, IsNoneWhenTheUserHasNoHome) {
  const Environment environment({nullptr, nullptr, nullptr});
  platform::FailNextCall(platform::FaultPoint::PasswordDatabase);
  EXPECT_EQ(platform::PlatformRoot(), std::nullopt);
}

}  // namespace
