// A fixture for registry tests: a temporary platform root (TAVKEL_ROOT) and a temporary sysfs tty
// directory (TAVKEL_SYSFS_TTY), both removed afterwards, with faults and test values cleared.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/Registry.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/SerialCommTestValues.h"

namespace tavkel_test {

class RegistryFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavkel-reg-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(Sysfs());
    Save("TAVKEL_ROOT", savedRoot_);
    Save("TAVKEL_SYSFS_TTY", savedSysfs_);
    ::setenv("TAVKEL_ROOT", Root().c_str(), 1);
    ::setenv("TAVKEL_SYSFS_TTY", Sysfs().c_str(), 1);
  }

  void TearDown() override {
    platform::ClearFaults();
    platform::ClearSerialCommTestValues();
    Restore("TAVKEL_ROOT", savedRoot_);
    Restore("TAVKEL_SYSFS_TTY", savedSysfs_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::filesystem::path Root() const { return dir_ / "root"; }
  std::filesystem::path Sysfs() const { return dir_ / "sysfs"; }
  std::filesystem::path StoreFile() const { return Root() / "registry"; }

  // A tty entry; withDevice adds its device link, uartType (when given) its "type" attribute.
  void AddTty(const std::string& name, bool withDevice, std::optional<int> uartType) const {
    const auto entry = Sysfs() / name;
    std::filesystem::create_directories(entry);
    if (withDevice) {
      std::filesystem::create_directories(entry / "device");
    }
    if (uartType) {
      std::ofstream(entry / "type") << *uartType << '\n';
    }
  }

  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

 private:
  static void Save(const char* name, std::optional<std::string>& saved) {
    if (const char* value = std::getenv(name)) {
      saved = value;
    }
  }
  static void Restore(const char* name, const std::optional<std::string>& saved) {
    if (saved) {
      ::setenv(name, saved->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  std::filesystem::path dir_;
  std::optional<std::string> savedRoot_;
  std::optional<std::string> savedSysfs_;
};

}  // namespace tavkel_test
