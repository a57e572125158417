#include "Root.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "FileReplace.h"

namespace platform {
namespace {

std::filesystem::path MapFile() {
  return PlatformRoot() / "devicemap";
}

std::vector<DeviceMapEntry> ParseMap() {
  std::vector<DeviceMapEntry> entries;
  std::ifstream in(MapFile());
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

bool WriteMap(const std::vector<DeviceMapEntry>& entries) {
  std::string text;
  for (const auto& [name, path] : entries) {
    text += name + '\t' + path + '\n';
  }
  return ReplaceFileAtomically(MapFile(), text) == ERROR_SUCCESS;
}

}  // namespace

std::filesystem::path PlatformRoot() {
  if (const char* root = std::getenv("TAVKEL_ROOT"); root != nullptr && *root != '\0') {
    return root;
  }
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
    return std::filesystem::path(config) / "tavkel";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "/tmp") / ".config" / "tavkel";
}

std::vector<DeviceMapEntry> ReadDeviceMap() {
  return ParseMap();
}

bool PublishDevice(const std::string& name, const std::string& path) {
  if (name.empty() || name.find_first_of("\t\n") != std::string::npos ||
      path.find('\n') != std::string::npos) {
    return false;
  }
  const FileLock lock(PlatformRoot() / "devicemap.lock");
  if (lock.Error() != ERROR_SUCCESS) {
    return false;
  }
  auto entries = ParseMap();
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
  return WriteMap(entries);
}

bool UnpublishDevice(const std::string& name) {
  const FileLock lock(PlatformRoot() / "devicemap.lock");
  if (lock.Error() != ERROR_SUCCESS) {
    return false;
  }
  auto entries = ParseMap();
  const auto before = entries.size();
  std::erase_if(entries, [&](const DeviceMapEntry& e) { return e.first == name; });
  return entries.size() == before || WriteMap(entries);
}

std::optional<std::string> LookupDevice(const std::string& name) {
  for (const auto& [entryName, path] : ParseMap()) {
    if (entryName == name) {
      return path;
    }
  }
  return std::nullopt;
}

}  // namespace platform
