// Which device numbers belong to terminals, from the kernel's table of tty drivers, so that a path
// can be judged a tty without opening it. Opening would not be harmless: it raises DTR and RTS on
// a serial port (which resets many boards), may wake or connect a device, and fails on a tty that
// is held exclusively or that the user may not open, though the tty is there all the same.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace platform {

class TtyDrivers {
 public:
  // The kernel's table, /proc/tty/drivers. When it cannot be read or lists no driver, every
  // character device counts as a tty: a missing table must not hide a port.
  static TtyDrivers FromKernel();
  // A table in the format of /proc/tty/drivers: per line the driver's name, its device path, its
  // major number, its minors ("N" or "N-M") and its type. Lines that do not parse are skipped,
  // and so are drivers of type "system" (/dev/tty, /dev/console, /dev/ptmx): each stands for some
  // other terminal or makes a new one, and is no line of its own.
  static TtyDrivers FromTable(std::string_view table);

  // True when path (links followed) is a character device that a listed driver serves.
  bool IsTty(const std::filesystem::path& path) const;

 private:
  struct Range {
    unsigned major;
    unsigned firstMinor;
    unsigned lastMinor;
  };

  bool known_ = false;  // false: the table could not be read
  std::vector<Range> ranges_;
};

}  // namespace platform
