// Telling ttys from other character devices by the kernel's table of tty drivers, without opening
// them.
#include "platform/TtyDrivers.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/platform/SerialTestSupport.h"

namespace {

using platform::TtyDrivers;

// /dev/null is the character device 1:3, which no tty driver serves.
TEST(TtyDrivers, TableRowsNameTheDeviceNumbersOfTerminals) {
  serialtest::Pty pty;
  ASSERT_TRUE(pty.Ok());
  struct Row {
    const char* table;
    bool null;  // whether /dev/null counts as a tty
    bool pty;
  };
  const Row rows[] = {
      {"", false, false},
      {"pty_slave            /dev/pts      136 0-1048575 pty:slave\n", false, true},
      {"mem /dev/null 1 3 serial", true, false},
      {"mem /dev/null 1 3-3 serial\n", true, false},
      {"mem /dev/null 1 0-2 serial\nmem /dev/null 1 4-9 serial\n", false, false},
      {"a driver with blanks   /dev/null  1  2-4  serial\n", true, false},
      {"/dev/null /dev/null 1 3 system:null\n", false, false},
      {"/dev/null 1 3 serial\n", false, false},
      {"mem /dev/null 1 5-3 serial\n", false, false},
      {"mem /dev/null one 3 serial\n", false, false},
      {"mem /dev/null 1 3x serial\n", false, false},
      {"mem /dev/null 1 -3 serial\n", false, false},
      {"mem /dev/null 1 3 serial\npty_slave /dev/pts 136 0-1048575 pty:slave", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.table);
    const auto drivers = TtyDrivers::FromTable(row.table);
    EXPECT_EQ(drivers.IsTty("/dev/null"), row.null);
    EXPECT_EQ(drivers.IsTty(pty.SlavePath()), row.pty);
  }
}

// What is no character device is never a tty, whatever the table says.
TEST(TtyDrivers, OnlyCharacterDevicesCount) {
  serialtest::TempRoot root;
  std::ofstream(root.Dir() / "file") << "x";
  const auto everything = TtyDrivers::FromTable("all /dev/all 0 0-4294967295 serial\n");
  for (const auto& path :
       {root.Dir() / "file", root.Dir(), root.Dir() / "missing", std::filesystem::path()}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(everything.IsTty(path));
  }
}

TEST(TtyDrivers, KernelTableTellsAPseudoTerminalFromOtherCharacterDevices) {
  if (!std::ifstream("/proc/tty/drivers")) {
    GTEST_SKIP() << "/proc/tty/drivers cannot be read here";
  }
  serialtest::Pty pty;
  ASSERT_TRUE(pty.Ok());
  const auto drivers = TtyDrivers::FromKernel();
  EXPECT_TRUE(drivers.IsTty(pty.SlavePath()));
  EXPECT_FALSE(drivers.IsTty("/dev/null"));
  EXPECT_FALSE(drivers.IsTty("/dev/zero"));
  EXPECT_FALSE(drivers.IsTty("/dev/ptmx")) << "a system entry: it makes a new terminal";
}

}  // namespace
