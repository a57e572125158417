// The windows of one edition under a temporary platform root and a temporary sysfs tty directory,
// so that the platform lists only the ports a test publishes. The windows are made by Start, once
// the test has set up the ports and the registry that start-up reads.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Edition.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "controller/Pty.h"
#include "platform/Registry.h"
#include "platform/Root.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/ScriptedDevice.h"
#include "tests/support/SerialCommTestValues.h"
#include "tests/support/TempDir.h"

namespace app_test {

// The value that keeps the port dialog's last confirmed index.
inline constexpr char kSettingsKey[] = "Software\\Tav\\TavCOM";
inline constexpr char kIndexValue[] = "COM1";

class PortWindows : public classlib_test::WindowTest,
                    public testing::WithParamInterface<const app::TEdition*> {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (const char* sysfs = std::getenv("TAVKEL_SYSFS_TTY")) {
      savedSysfs_ = sysfs;
    }
    std::filesystem::create_directories(Sysfs());
    ::setenv("TAVKEL_SYSFS_TTY", Sysfs().c_str(), 1);
  }
  void TearDown() override {
    Stop();
    devices_.clear();
    platform::ClearFaults();
    platform::ClearSerialCommTestValues();
    if (savedSysfs_) {
      ::setenv("TAVKEL_SYSFS_TTY", savedSysfs_->c_str(), 1);
    } else {
      ::unsetenv("TAVKEL_SYSFS_TTY");
    }
    WindowTest::TearDown();
  }

  const app::TEdition& Edition() const { return *GetParam(); }
  app::TForm1& Form() { return *form1_; }
  app::TForm2& Dialog() { return *form2_; }
  classlib::TComboBox& Detected() { return *form2_->ComboBox1; }

  // Makes both windows as the program does (the main window first) and shows the main window.
  void Start() {
    form1_ = std::make_unique<app::TForm1>(nullptr, Edition());
    app::Form1 = form1_.get();
    form2_ = std::make_unique<app::TForm2>(nullptr, Edition());
    app::Form2 = form2_.get();
    ShowActive(*form1_);
  }
  void Stop() {
    app::Form2 = nullptr;
    app::Form1 = nullptr;
    form2_.reset();
    form1_.reset();
  }

  std::filesystem::path Root() const { return root_.Path(); }
  std::filesystem::path Sysfs() const { return root_.Path() / "sysfs"; }
  // A tty of the sysfs directory; Uart is its "type" attribute (0: no UART behind it).
  void AddTty(const std::string& Name, std::optional<int> Uart = std::nullopt) const {
    const auto entry = Sysfs() / Name;
    std::filesystem::create_directories(entry / "device");
    if (Uart) {
      std::ofstream(entry / "type") << *Uart << '\n';
    }
  }

  // A scripted device under Name; when Listed, the platform lists it through the device map.
  platform::ScriptedDevice& AddDevice(const std::string& Name, bool Listed = true) {
    devices_.push_back(platform::ScriptedDevice::Register(Name));
    if (Listed) {
      Publish(Name);
    }
    return *devices_.back();
  }
  // Lists Name through the device map under Path, where an open goes when no scripted device has
  // the name. The platform lists only entries whose path is a tty that is there, so by default
  // the path is a pseudo-terminal that the fixture holds.
  void Publish(const std::string& Name, const std::string& Path = {}) const {
    ASSERT_TRUE(platform::PublishDevice(Name, Path.empty() ? line_.SlavePath() : Path)) << Name;
  }
  static void Unpublish(const std::string& Name) {
    ASSERT_TRUE(platform::UnpublishDevice(Name)) << Name;
  }

  static std::vector<std::string> Entries(classlib::TComboBox& Box) {
    std::vector<std::string> entries;
    for (int i = 0; i < Box.Items().Count(); ++i) {
      entries.push_back(Box.Items()[i]);
    }
    return entries;
  }

  // Stores the saved index's value as the user's registry would hold it.
  static void StoreIndexValue(DWORD Type, const std::vector<BYTE>& Data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(key, kIndexValue, 0, Type, Data.data(), static_cast<DWORD>(Data.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void StoreIndex(int Index) {
    const auto bits = static_cast<DWORD>(Index);
    StoreIndexValue(REG_DWORD, {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                                static_cast<BYTE>(bits >> 16), static_cast<BYTE>(bits >> 24)});
  }
  static bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }
  // The saved index, or nothing when the key or the value is missing.
  static std::optional<int> SavedIndex() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    BYTE data[4] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExA(key, kIndexValue, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4) {
      return std::nullopt;
    }
    return static_cast<int>(data[0] | (data[1] << 8) | (data[2] << 16) | (DWORD{data[3]} << 24));
  }

  // A device command's port step: the reopen inside a protected block that shows the failure box.
  void PortStep() {
    try {
      Form().EnsurePortOpen();
    } catch (...) {
      Form().ShowPortOpenFailure();
    }
  }

  // Clicks "Configure Port..." and runs Action inside the dialog's modal showing. Fails, and
  // closes the dialog, when the showing has not ended within the bound.
  void InDialog(const std::function<void()>& Action) {
    bool ran = false;
    bool overran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      EXPECT_TRUE(Dialog().Visible()) << "the dialog is not shown";
      Action();
    });
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [&] {
      overran = true;
      Dialog().Hide();
    });
    bound.start(5000);
    Form().BitBtn6->Click();
    bound.stop();
    EXPECT_TRUE(ran) << "the dialog's loop never ran";
    EXPECT_FALSE(overran) << "the dialog stayed open";
    EXPECT_FALSE(Dialog().Visible());
  }

  // Texts of the boxes shown so far.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : dialogs_.Boxes) {
      texts.push_back(box.Text);
    }
    return texts;
  }

 private:
  testsupport::TempDir root_;
  controller::PtyPair line_;
  std::optional<std::string> savedSysfs_;
  std::vector<std::unique_ptr<platform::ScriptedDevice>> devices_;
  std::unique_ptr<app::TForm1> form1_;
  std::unique_ptr<app::TForm2> form2_;
};

}  // namespace app_test
