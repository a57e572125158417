#include "classlib/Registry.h"

#include <gtest/gtest.h>

#include "platform/Root.h"
#include "tests/platform/SerialTestSupport.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/RegistryFixture.h"
#include "tests/support/SerialCommTestValues.h"

namespace {

using classlib::ERegistryException;
using classlib::TRegistry;
using Bytes = std::vector<BYTE>;

constexpr const char* kTavCom = "\\Software\\Tav\\TavCOM";

// The message of the ERegistryException that action raises, or "" when it raises none.
template <typename Action>
std::string RegistryError(Action action) {
  try {
    action();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "";
}

class RegistryClass : public tavkel_test::RegistryFixture {
 protected:
  // Stores a raw value under the port dialog's key.
  void SetRaw(const std::string& name, DWORD type, const Bytes& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTavCom, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
  }
};

TEST_F(RegistryClass, IntegerWrittenUnderACreatedKeyIsReadBack) {
  {
    TRegistry registry;
    EXPECT_EQ(registry.RootKey(), HKEY_CURRENT_USER);
    EXPECT_FALSE(registry.OpenKey(kTavCom, false));
    EXPECT_EQ(registry.CurrentKey(), nullptr);
    ASSERT_TRUE(registry.OpenKey(kTavCom, true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Tav\\TavCOM");
    registry.WriteInteger("COM1", -1);
    registry.WriteInteger("Other", 0x7FFFFFFF);
  }
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(kTavCom, false));
  EXPECT_TRUE(registry.ValueExists("COM1"));
  EXPECT_FALSE(registry.ValueExists("COM2"));
  EXPECT_EQ(registry.ReadInteger("COM1"), -1);
  EXPECT_EQ(registry.ReadInteger("other"), 0x7FFFFFFF);
  std::vector<std::string> names{"stale"};
  registry.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"COM1", "Other"}));
  registry.CloseKey();
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  EXPECT_EQ(RegistryError([&] { registry.ReadInteger("COM1"); }), "Failed to get data for 'COM1'");
}

TEST_F(RegistryClass, ReadIntegerChecksSizeBeforeType) {
  const struct {
    const char* what;
    DWORD type;
    Bytes data;
    const char* message;
  } cases[] = {
      {"dword", REG_DWORD, {7, 0, 0, 0}, ""},
      {"short dword", REG_DWORD, {7}, ""},
      {"long dword", REG_DWORD, {7, 0, 0, 0, 0}, "Failed to get data for 'COM1'"},
      {"long binary", REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8}, "Failed to get data for 'COM1'"},
      {"long text", REG_SZ, {'C', 'O', 'M', '1', 0}, "Failed to get data for 'COM1'"},
      {"binary", REG_BINARY, {7, 0, 0, 0}, "Invalid data type for 'COM1'"},
      {"text", REG_SZ, {'7', 0}, "Invalid data type for 'COM1'"},
      {"empty none", REG_NONE, {}, "Invalid data type for 'COM1'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetRaw("COM1", c.type, c.data);
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kTavCom, false));
    int value = 0;
    EXPECT_EQ(RegistryError([&] { value = registry.ReadInteger("COM1"); }), c.message);
    if (*c.message == '\0') {
      EXPECT_EQ(value, 7);
    }
  }
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(kTavCom, false));
  EXPECT_EQ(RegistryError([&] { registry.ReadInteger("COM2"); }), "Failed to get data for 'COM2'");
}

TEST_F(RegistryClass, FailedWriteRaisesSetData) {
  TRegistry registry;
  EXPECT_EQ(RegistryError([&] { registry.WriteInteger("COM1", 1); }),
            "Failed to set data for 'COM1'");  // no key open
  ASSERT_TRUE(registry.OpenKey(kTavCom, true));
  platform::FailNextCall(platform::FaultPoint::RegistryFileWrite);
  EXPECT_EQ(RegistryError([&] { registry.WriteInteger("COM1", 1); }),
            "Failed to set data for 'COM1'");
  EXPECT_FALSE(registry.ValueExists("COM1"));

  ASSERT_TRUE(registry.OpenKeyReadOnly(kTavCom));
  EXPECT_EQ(RegistryError([&] { registry.WriteInteger("COM1", 1); }),
            "Failed to set data for 'COM1'");

  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("hardware\\devicemap\\serialcomm", true));
  EXPECT_EQ(RegistryError([&] { registry.WriteInteger("COM1", 1); }),
            "Failed to set data for 'COM1'");
}

TEST_F(RegistryClass, RefusedKeyIsTreatedAsMissing) {
  SetRaw("COM1", REG_DWORD, {3, 0, 0, 0});
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey("\\Software", false));
  for (const bool canCreate : {false, true}) {
    SCOPED_TRACE(canCreate);
    platform::FailNextCall(platform::FaultPoint::RegOpenKeyExA);
    EXPECT_FALSE(registry.OpenKey(kTavCom, canCreate));
    EXPECT_EQ(registry.CurrentPath(), "Software") << "the open key stays current";
  }
  ASSERT_TRUE(registry.OpenKey("Tav", false));
  ASSERT_TRUE(registry.OpenKey("TavCOM", false));
  EXPECT_EQ(registry.CurrentPath(), "Software\\Tav\\TavCOM");
  EXPECT_EQ(registry.ReadInteger("COM1"), 3);
}

TEST_F(RegistryClass, SerialPortListReadsAsTextUntilAValueIsNot) {
  AddTty("ttyS0", true, 4);
  AddTty("ttyUSB0", true, std::nullopt);
  serialtest::Pty simulated;
  ASSERT_TRUE(simulated.Ok());
  ASSERT_TRUE(platform::PublishDevice("TAVSIM", simulated.SlavePath()));
  platform::AddSerialCommTestValue("\\Device\\Odd", REG_BINARY, {'C', 'O', 'M', '9', 0});

  TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(registry.OpenKey("hardware\\devicemap\\serialcomm", false));
  std::vector<std::string> names;
  registry.GetValueNames(names);
  ASSERT_EQ(names.size(), 4u);
  std::vector<std::string> ports;
  const std::string error = RegistryError([&] {
    for (const auto& name : names) {
      ports.push_back(registry.ReadString(name));
    }
  });
  EXPECT_EQ(ports, (std::vector<std::string>{"COM1", "/dev/ttyUSB0", "TAVSIM"}));
  EXPECT_EQ(error, "Invalid data type for '\\Device\\Odd'");
  EXPECT_EQ(RegistryError([&] { registry.ReadString("\\Device\\Gone"); }),
            "Failed to get data for '\\Device\\Gone'");

  platform::FailNextCall(platform::FaultPoint::RegOpenKeyExA);
  TRegistry refused;
  refused.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(refused.OpenKey("hardware\\devicemap\\serialcomm", false));
  refused.GetValueNames(names);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryClass, ReadStringStopsAtTheFirstZero) {
  SetRaw("text", REG_SZ, {'a', 'b', 0, 'c', 0});
  SetRaw("unterminated", REG_EXPAND_SZ, {'x', 'y'});
  SetRaw("empty", REG_SZ, {});
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(kTavCom, false));
  EXPECT_EQ(registry.ReadString("text"), "ab");
  EXPECT_EQ(registry.ReadString("unterminated"), "xy");
  EXPECT_EQ(registry.ReadString("empty"), "");
}

}  // namespace
