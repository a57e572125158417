#include "Root.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "Faults.h"
#include "FileReplace.h"

namespace platform {
namespace {

// The variable's value when it is set to an absolute path.
std::optional<std::filesystem::path> AbsoluteFrom(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || value[0] != '/') {
    return std::nullopt;
  }
  return value;
}

// The user's home directory as the password database has it; nothing when the user has no entry
// there or the entry names no absolute directory.
std::optional<std::filesystem::path> HomeOfUser() {
  if (ShouldFail(FaultPoint::PasswordDatabase)) {
    return std::nullopt;
  }
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
  passwd entry{};
  passwd* found = nullptr;
  for (;;) {
    const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
      buffer.resize(buffer.size() * 2);
    } else if (error != EINTR) {
      break;
    }
  }
  if (found == nullptr || entry.pw_dir == nullptr || entry.pw_dir[0] != '/') {
    return std::nullopt;
  }
  return entry.pw_dir;
}

std::optional<std::filesystem::path> MapFile() {
  auto root = PlatformRoot();
  return root ? std::optional(*root / "devicemap") : std::nullopt;
}

std::vector<DeviceMapEntry> ParseMap(const std::filesystem::path& file) {
  std::vector<DeviceMapEntry> entries;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
      continue;  // not an entry: skipped, never fatal
    }
    entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return entries;
}

bool WriteMap(const std::filesystem::path& file, const std::vector<DeviceMapEntry>& entries) {
  std::string text;
  for (const auto& [name, path] : entries) {
    text += name + '\t' + path + '\n';
  }
  return ReplaceFileAtomically(file, text) == ERROR_SUCCESS;
}

}  // namespace

std::optional<std::filesystem::path> PlatformRoot() {
  if (const char* root = std::getenv("TAVKEL_ROOT"); root != nullptr && *root != '\0') {
    return root;
  }
  // A relative value would make the root depend on the working directory, so it is passed over.
  if (auto config = AbsoluteFrom("XDG_CONFIG_HOME")) {
    return *config / "tavkel";
  }
  auto home = AbsoluteFrom("HOME");
  if (!home) {
    home = HomeOfUser();
  }
  return home ? std::optional(*home / ".config" / "tavkel") : std::nullopt;
}

std::vector<DeviceMapEntry> ReadDeviceMap() {
  const auto file = MapFile();
  return file ? ParseMap(*file) : std::vector<DeviceMapEntry>();
}

bool PublishDevice(const std::string& name, const std::string& path) {
  if (name.empty() || name.find_first_of("\t\n") != std::string::npos ||
      path.find('\n') != std::string::npos) {
    return false;
  }
  const auto file = MapFile();
  if (!file) {
    return false;
  }
  const FileLock lock(file->parent_path() / "devicemap.lock");
  if (lock.Error() != ERROR_SUCCESS) {
    return false;
  }
  auto entries = ParseMap(*file);
  bool found = false;
  for (auto& entry : entries) {
    if (entry.first == name) {
      entry.second = path;
      found = true;
    }
  }
  if (!found) {
    entries.emplace_back(name, path);
  }
  return WriteMap(*file, entries);
}

bool UnpublishDevice(const std::string& name) {
  const auto file = MapFile();
  if (!file) {
    return true;  // without a root nothing is listed
  }
  const FileLock lock(file->parent_path() / "devicemap.lock");
  if (lock.Error() != ERROR_SUCCESS) {
    return false;
  }
  auto entries = ParseMap(*file);
  const auto before = entries.size();
  std::erase_if(entries, [&](const DeviceMapEntry& e) { return e.first == name; });
  return entries.size() == before || WriteMap(*file, entries);
}

std::optional<std::string> LookupDevice(const std::string& name) {
  for (const auto& [entryName, path] : ReadDeviceMap()) {
    if (entryName == name) {
      return path;
    }
  }
  return std::nullopt;
}

}  // namespace platform
