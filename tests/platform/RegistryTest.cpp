#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <thread>

#include "platform/Handles.h"
#include "platform/Registry.h"
#include "platform/Root.h"
#include "platform/SerialPorts.h"
#include "tests/platform/SerialTestSupport.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/RegistryFixture.h"
#include "tests/support/SerialCommTestValues.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr const char* kTavCom = "\\Software\\Tav\\TavCOM";
constexpr const char* kSerialComm = "hardware\\devicemap\\serialcomm";

Bytes Text(const std::string& text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

Bytes Dword(DWORD value) {
  return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
          static_cast<BYTE>(value >> 24)};
}

struct Value {
  LONG error = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  Bytes data;
};

Value Query(HKEY key, const std::string& name) {
  Value value;
  DWORD size = 0;
  value.error = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (value.error == ERROR_SUCCESS) {
    value.data.resize(size);
    value.error =
        RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
  }
  return value;
}

LONG Set(HKEY key, const std::string& name, DWORD type, const Bytes& data) {
  return RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

HKEY Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, disposition),
            ERROR_SUCCESS);
  return key;
}

LONG Open(HKEY root, const char* path, HKEY& key, REGSAM access = KEY_ALL_ACCESS) {
  return RegOpenKeyExA(root, path, 0, access, &key);
}

// Name and text data of every value of key, by enumeration.
std::vector<std::pair<std::string, std::string>> ListValues(HKEY key) {
  std::vector<std::pair<std::string, std::string>> values;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[256];
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    const LONG error = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size);
    if (error != ERROR_SUCCESS) {
      EXPECT_EQ(error, ERROR_NO_MORE_ITEMS);
      return values;
    }
    EXPECT_EQ(type, REG_SZ) << name;
    values.emplace_back(name, std::string(reinterpret_cast<char*>(data)));
  }
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

using UserStore = tavkel_test::RegistryFixture;

TEST_F(UserStore, CreatedKeyAndValueAreFoundAgainWhateverTheCase) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_CURRENT_USER, kTavCom, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(Set(key, "COM1", REG_DWORD, Dword(3)), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  HKEY again = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "software\\TAV\\tavcom", again), ERROR_SUCCESS);
  const Value value = Query(again, "com1");
  EXPECT_EQ(value.error, ERROR_SUCCESS);
  EXPECT_EQ(value.type, REG_DWORD);
  EXPECT_EQ(value.data, Dword(3));
  RegCloseKey(again);

  RegCloseKey(Create(HKEY_CURRENT_USER, "SOFTWARE\\tav\\TavCom", &disposition));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_NE(ReadFile(StoreFile()).find("[Software\\Tav\\TavCOM]\nCOM1=dword:3\n"),
            std::string::npos);
}

TEST_F(UserStore, EveryKindOfValueSurvivesTheFile) {
  const struct {
    std::string name;
    DWORD type;
    Bytes data;
  } cases[] = {
      {"COM1", REG_DWORD, Dword(0xFFFFFFFF)},
      {"", REG_SZ, Text("unnamed")},
      {"odd = [name] 100%", REG_SZ, Text("a=b [c] 50% \t\xE9\xFF")},
      {"\\Device\\Serial0", REG_SZ, Text("")},
      {"inner zero", REG_SZ, {'a', 0, 'b', 0}},
      {"no zero", REG_SZ, {'a', 'b'}},
      {"long dword", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"short dword", REG_DWORD, {1, 2}},
      {"empty binary", REG_BINARY, {}},
      {"binary", REG_BINARY, {0x00, 0xFF, 0x25, 0x0A}},
      {"other type", 77, {9}},
  };
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Kinds");
  for (const auto& c : cases) {
    ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
  }
  RegCloseKey(key);
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "Software\\Kinds", key), ERROR_SUCCESS);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Value value = Query(key, c.name);
    EXPECT_EQ(value.error, ERROR_SUCCESS);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, c.data);
  }
  RegCloseKey(key);
}

TEST_F(UserStore, QueryReportsSizeAndRefusesShortBuffers) {
  HKEY key = Create(HKEY_CURRENT_USER, kTavCom);
  ASSERT_EQ(Set(key, "name", REG_SZ, Text("COM12")), ERROR_SUCCESS);
  const struct {
    const char* what;
    bool withData;
    DWORD bufferSize;
    LONG error;
  } cases[] = {
      {"size only", false, 0, ERROR_SUCCESS},       {"too small", true, 5, ERROR_MORE_DATA},
      {"no room at all", true, 0, ERROR_MORE_DATA}, {"exact", true, 6, ERROR_SUCCESS},
      {"larger", true, 64, ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BYTE buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), BYTE{0x55});
    DWORD size = c.bufferSize;
    DWORD type = REG_NONE;
    EXPECT_EQ(RegQueryValueExA(key, "NAME", nullptr, &type, c.withData ? buffer : nullptr, &size),
              c.error);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);
    const bool copied = c.withData && c.error == ERROR_SUCCESS;
    EXPECT_EQ(buffer[0], copied ? 'C' : 0x55);
  }
  DWORD size = 4;
  BYTE buffer[4];
  EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, nullptr, buffer, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key, "name", nullptr, nullptr, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST_F(UserStore, EnumerationAndKeyInfoFollowTheOrderValuesWereFirstSet) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Tav");
  RegCloseKey(Create(key, "TavCOM"));
  RegCloseKey(Create(key, "Longer name"));
  ASSERT_EQ(Set(key, "b", REG_SZ, Text("1")), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "a longer one", REG_SZ, Text("2")), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "B", REG_SZ, Text("3")), ERROR_SUCCESS);  // replaces "b" in its place
  EXPECT_EQ(ListValues(key),
            (std::vector<std::pair<std::string, std::string>>{{"b", "3"}, {"a longer one", "2"}}));

  DWORD subKeys = 0, longestSubKey = 0, values = 0, longestName = 0, longestData = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &longestSubKey, nullptr,
                             &values, &longestName, &longestData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(longestSubKey, 11u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(longestName, 12u);
  EXPECT_EQ(longestData, 2u);

  char name[12];  // one short of "a longer one" and its zero
  DWORD length = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(RegDeleteValueA(key, "B"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "b"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ListValues(key),
            (std::vector<std::pair<std::string, std::string>>{{"a longer one", "2"}}));
  RegCloseKey(key);
}

TEST_F(UserStore, PathsStartAtTheGivenKeyOrWithABackslashAtTheRoot) {
  HKEY tav = Create(HKEY_CURRENT_USER, "Software\\Tav\\");
  HKEY key = nullptr;
  EXPECT_EQ(Open(tav, "TavCOM", key), ERROR_FILE_NOT_FOUND);
  RegCloseKey(Create(tav, "TavCOM"));
  EXPECT_EQ(Open(HKEY_CURRENT_USER, kTavCom, key), ERROR_SUCCESS);  // made below tav
  RegCloseKey(key);
  EXPECT_EQ(Open(tav, "\\Software", key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Open(tav, "\\Software\\Tav\\Software", key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\\\Tav", key), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), key), ERROR_INVALID_PARAMETER);
  RegCloseKey(tav);
}

TEST_F(UserStore, MissingKeysAreReportedAndReadsNeverWrite) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, kTavCom, key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "", key), ERROR_SUCCESS);  // the root always exists
  EXPECT_EQ(Query(key, "COM1").error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ListValues(key).size(), 0u);
  RegCloseKey(key);
  EXPECT_FALSE(std::filesystem::exists(StoreFile()));
}

TEST_F(UserStore, HandlesAreCheckedForTheirAccessAndForBeingOpen) {
  RegCloseKey(Create(HKEY_CURRENT_USER, kTavCom));
  const auto handles = platform::OpenHandleCount();
  HKEY reader = nullptr;
  HKEY writer = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, kTavCom, reader, KEY_READ), ERROR_SUCCESS);
  ASSERT_EQ(Open(HKEY_CURRENT_USER, kTavCom, writer, KEY_WRITE), ERROR_SUCCESS);
  EXPECT_EQ(Set(reader, "COM1", REG_DWORD, Dword(1)), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Set(writer, "COM1", REG_DWORD, Dword(1)), ERROR_SUCCESS);
  EXPECT_EQ(Query(writer, "COM1").error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Query(reader, "COM1").data, Dword(1));
  EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(reader), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Query(reader, "COM1").error, ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(writer), ERROR_SUCCESS);
  EXPECT_EQ(platform::OpenHandleCount(), handles);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(UserStore, RefusedOpenIsAccessDenied) {
  RegCloseKey(Create(HKEY_CURRENT_USER, kTavCom));
  HKEY key = nullptr;
  platform::FailNextCall(platform::FaultPoint::RegOpenKeyExA);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, kTavCom, key), ERROR_ACCESS_DENIED);
  platform::FailNextCall(platform::FaultPoint::RegOpenKeyExA);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTavCom, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, nullptr);
}

TEST_F(UserStore, DamagedFileReadsAsEmptyAndIsLeftUntilTheNextWrite) {
  const char* damaged[] = {
      "\x7F\x45LF\x01garbage",
      "tavkel-registry 2\n[Software]\n",
      "tavkel-registry 1\nCOM1=dword:1\n",                        // value outside any key
      "tavkel-registry 1\n[Software\\Tav\\TavCOM]\nCOM1=dword:",  // cut short
      "tavkel-registry 1\n[Software\\Tav\\TavCOM]\nCOM1=dword:99999999999\n",
      "tavkel-registry 1\n[Software\\Tav\\TavCOM]\nCOM1=sz:bad%zzescape\n",
      "tavkel-registry 1\n[Software\\\\TavCOM]\n",
  };
  for (const char* text : damaged) {
    SCOPED_TRACE(text);
    WriteFile(StoreFile(), text);
    HKEY key = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, kTavCom, key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadFile(StoreFile()), text);

    key = Create(HKEY_CURRENT_USER, "Software\\Other");
    ASSERT_EQ(Set(key, "v", REG_DWORD, Dword(7)), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadFile(StoreFile()),
              "tavkel-registry 1\n[Software]\n[Software\\Other]\nv=dword:7\n");
    EXPECT_EQ(FilesIn(Root()), (std::vector<std::string>{"registry", "registry.lock"}));
  }
}

TEST_F(UserStore, FailedWriteLeavesTheOldFileWhole) {
  HKEY key = Create(HKEY_CURRENT_USER, kTavCom);
  ASSERT_EQ(Set(key, "COM1", REG_DWORD, Dword(1)), ERROR_SUCCESS);
  const std::string before = ReadFile(StoreFile());

  platform::FailNextCall(platform::FaultPoint::RegistryFileWrite);
  EXPECT_NE(Set(key, "COM1", REG_DWORD, Dword(2)), ERROR_SUCCESS);
  EXPECT_EQ(ReadFile(StoreFile()), before);
  EXPECT_EQ(FilesIn(Root()), (std::vector<std::string>{"registry", "registry.lock"}));
  EXPECT_EQ(Query(key, "COM1").data, Dword(1));

  platform::FailNextCall(platform::FaultPoint::RegistryFileWrite);
  HKEY other = nullptr;
  EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &other, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(Open(HKEY_CURRENT_USER, "Software\\New", other), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(UserStore, ConcurrentWritersLoseNoUpdate) {
  RegCloseKey(Create(HKEY_CURRENT_USER, kTavCom));
  constexpr int kWrites = 40;
  auto writer = [&](const std::string& prefix) {
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, kTavCom, key), ERROR_SUCCESS);
    for (int i = 0; i < kWrites; ++i) {
      ASSERT_EQ(Set(key, prefix + std::to_string(i), REG_DWORD, Dword(i)), ERROR_SUCCESS);
    }
    RegCloseKey(key);
  };
  std::thread first(writer, "a");
  std::thread second(writer, "b");
  first.join();
  second.join();
  HKEY key = nullptr;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, kTavCom, key), ERROR_SUCCESS);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u * kWrites);
  RegCloseKey(key);
}

using SerialComm = tavkel_test::RegistryFixture;

TEST_F(SerialComm, ListsPortsWithHardwareThenTheDeviceMap) {
  AddTty("ttyS0", true, 4);
  AddTty("ttyS1", true, 0);   // registered, no UART
  AddTty("ttyS2", false, 4);  // no device
  AddTty("ttyS10", true, 4);
  AddTty("ttyS3", true, std::nullopt);  // no type: not known to be a UART
  AddTty("ttyS4", true, 1);
  AddTty("ttyUSB1", true, std::nullopt);
  AddTty("ttyUSB0", true, std::nullopt);
  AddTty("ttyACM0", true, std::nullopt);
  AddTty("ttyACM", true, std::nullopt);  // no number
  AddTty("ttyS1x", true, 4);
  AddTty("tty0", true, 4);
  AddTty("ttyAMA0", true, 4);
  AddTty("console", true, std::nullopt);
  serialtest::Pty line;
  ASSERT_TRUE(line.Ok());
  ASSERT_TRUE(platform::PublishDevice("CONTROLLER", line.SlavePath()));
  ASSERT_TRUE(platform::PublishDevice("COM5", line.SlavePath()));  // takes ttyS4's name

  HKEY key = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kSerialComm, key), ERROR_SUCCESS);
  EXPECT_EQ(ListValues(key), (std::vector<std::pair<std::string, std::string>>{
                                 {"\\Device\\Serial0", "COM1"},
                                 {"\\Device\\Serial4", "/dev/ttyS4"},
                                 {"\\Device\\Serial10", "COM11"},
                                 {"\\Device\\VCP0", "/dev/ttyUSB0"},
                                 {"\\Device\\VCP1", "/dev/ttyUSB1"},
                                 {"\\Device\\USBSER000", "/dev/ttyACM0"},
                                 {"\\Device\\DeviceMap0", "CONTROLLER"},
                                 {"\\Device\\DeviceMap1", "COM5"},
                             }));

  ASSERT_TRUE(platform::PublishDevice("LATER", line.SlavePath()));
  EXPECT_EQ(ListValues(key).size(), 8u) << "the open key keeps what it listed";
  RegCloseKey(key);
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kSerialComm, key), ERROR_SUCCESS);
  EXPECT_EQ(ListValues(key).size(), 9u);
  RegCloseKey(key);
}

// Only entries whose path (links followed) is a tty that is there now are listed. An entry still
// claims its name when it is not listed: the open resolves COM1 through the map, so ttyS0 cannot
// be offered as COM1.
TEST_F(SerialComm, ListsOnlyDeviceMapEntriesWhosePathIsAPresentTty) {
  serialtest::Pty live;
  ASSERT_TRUE(live.Ok());
  WriteFile(Root() / "file", "COM9\n");
  std::filesystem::create_directories(Root() / "directory");
  std::filesystem::create_symlink(live.SlavePath(), Root() / "by-id");
  std::filesystem::create_symlink(Root() / "missing", Root() / "dangling");
  AddTty("ttyS0", true, 4);
  struct Entry {
    const char* name;
    std::string path;
    bool listed;
  };
  const Entry entries[] = {
      {"COM1", (Root() / "missing").string(), false},
      {"FILE", (Root() / "file").string(), false},
      {"DIRECTORY", (Root() / "directory").string(), false},
      {"NULL", "/dev/null", false},
      {"DANGLING", (Root() / "dangling").string(), false},
      {"EMPTY", "", false},
      {"LINKED", (Root() / "by-id").string(), true},
      {"LIVE", live.SlavePath(), true},
  };
  std::vector<std::pair<std::string, std::string>> expected = {{"\\Device\\Serial0", "/dev/ttyS0"}};
  for (const Entry& entry : entries) {
    ASSERT_TRUE(platform::PublishDevice(entry.name, entry.path)) << entry.name;
    if (entry.listed) {
      expected.emplace_back("\\Device\\DeviceMap" + std::to_string(expected.size() - 1),
                            entry.name);
    }
  }
  HKEY key = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kSerialComm, key), ERROR_SUCCESS);
  EXPECT_EQ(ListValues(key), expected);
  RegCloseKey(key);
}

TEST_F(SerialComm, OpensWithFullAccessButRefusesEveryChange) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(Set(key, "x", REG_SZ, Text("COM9")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_ACCESS_DENIED);
  RegCloseKey(key);

  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "HARDWARE", key), ERROR_SUCCESS);
  HKEY below = nullptr;
  EXPECT_EQ(Open(key, "DeviceMap\\SerialComm", below), ERROR_SUCCESS);
  RegCloseKey(below);
  RegCloseKey(key);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "Software\\Tav\\TavCOM", key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tav", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_FALSE(std::filesystem::exists(StoreFile()));
}

TEST_F(SerialComm, TestValueOfAnotherTypeIsListedAfterThePorts) {
  AddTty("ttyS0", true, 4);
  platform::AddSerialCommTestValue("\\Device\\Odd", REG_DWORD, Dword(5));
  HKEY key = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, kSerialComm, key), ERROR_SUCCESS);
  char name[64];
  DWORD length = sizeof name;
  DWORD type = REG_NONE;
  ASSERT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name, length), "\\Device\\Odd");
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Query(key, "\\device\\odd").data, Dword(5));
  RegCloseKey(key);
}

// Lists this machine's ports from the real sysfs (nothing is opened), so that a run shows what the
// tool would offer here.
TEST(SerialCommOnThisMachine, ListsWhatSysfsShows) {
  const char* saved = std::getenv("TAVKEL_SYSFS_TTY");
  const std::string restore = saved != nullptr ? saved : "";
  ::unsetenv("TAVKEL_SYSFS_TTY");
  const auto ports = platform::PresentSerialPorts();
  if (!restore.empty()) {
    ::setenv("TAVKEL_SYSFS_TTY", restore.c_str(), 1);
  }
  std::cout << "serial ports listed from /sys/class/tty: " << ports.size() << '\n';
  for (const auto& port : ports) {
    std::cout << "  " << port.valueName << " = " << port.device << '\n';
    EXPECT_TRUE(port.device.starts_with("COM") || port.device.starts_with("/dev/tty"));
  }
}

}  // namespace
