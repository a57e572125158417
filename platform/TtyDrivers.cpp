#include "TtyDrivers.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "FileReplace.h"

namespace platform {
namespace {

// The whole of text as a decimal number.
std::optional<unsigned> Number(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

}  // namespace

TtyDrivers TtyDrivers::FromKernel() {
  const auto table = ReadWholeFile("/proc/tty/drivers");
  if (!table) {
    return TtyDrivers();
  }
  TtyDrivers drivers = FromTable(*table);
  return drivers.ranges_.empty() ? TtyDrivers() : drivers;
}

TtyDrivers TtyDrivers::FromTable(std::string_view table) {
  TtyDrivers drivers;
  drivers.known_ = true;
  while (!table.empty()) {
    const std::size_t newline = std::min(table.find('\n'), table.size());
    const auto fields = Fields(table.substr(0, newline));
    table.remove_prefix(std::min(newline + 1, table.size()));
    // Counted from the end: the name and the path are the only fields that could hold a blank.
    if (fields.size() < 5 || fields.back().starts_with("system")) {
      continue;
    }
    const auto major = Number(fields[fields.size() - 3]);
    const std::string_view minors = fields[fields.size() - 2];
    const std::size_t dash = minors.find('-');
    const auto first = Number(minors.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : Number(minors.substr(dash + 1));
    if (major && first && last && *first <= *last) {
      drivers.ranges_.push_back({*major, *first, *last});
    }
  }
  return drivers;
}

bool TtyDrivers::IsTty(const std::filesystem::path& path) const {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
    return false;
  }
  if (!known_) {
    return true;
  }
  const unsigned major = ::major(status.st_rdev);
  const unsigned minor = ::minor(status.st_rdev);
  for (const Range& range : ranges_) {
    if (range.major == major && range.firstMinor <= minor && minor <= range.lastMinor) {
      return true;
    }
  }
  return false;
}

}  // namespace platform
