#include "Root.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

std::filesystem::path MapFile() {
  return PlatformRoot() / "devicemap";
}

// Holds the map's lock file locked for the life of the object.
class MapLock {
 public:
  MapLock() {
    std::error_code ec;
    std::filesystem::create_directories(PlatformRoot(), ec);
    fd_ = ::open((PlatformRoot() / "devicemap.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~MapLock() {
    if (fd_ >= 0) {
      ::close(fd_);  // releases the lock
    }
  }
  MapLock(const MapLock&) = delete;
  MapLock& operator=(const MapLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

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
  const auto target = MapFile();
  auto temp = target;
  temp += ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::trunc);
    for (const auto& [name, path] : entries) {
      out << name << '\t' << path << '\n';
    }
    out.flush();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
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
  MapLock lock;
  if (!lock.Held()) {
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
  MapLock lock;
  if (!lock.Held()) {
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
