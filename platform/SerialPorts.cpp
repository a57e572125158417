#include "SerialPorts.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "Registry.h"
#include "Root.h"
#include "TtyDrivers.h"

namespace platform {
namespace {

// Constant-initialised, so that it holds null before any static constructor runs.
std::atomic<SerialCommSource> serialCommSource{nullptr};

struct TtyKind {
  std::string_view prefix;
  bool needsUart;  // ttyS entries exist for every possible port; only some have a UART
};
constexpr TtyKind kKinds[] = {{"ttyS", true}, {"ttyUSB", false}, {"ttyACM", false}};

// n when name is prefix followed by decimal digits only.
std::optional<unsigned> PortNumber(const std::string& name, std::string_view prefix) {
  if (!name.starts_with(prefix) || name.size() == prefix.size() ||
      name.size() > prefix.size() + 6) {
    return std::nullopt;
  }
  unsigned number = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') {
      return std::nullopt;
    }
    number = number * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return number;
}

// The serial core reports PORT_UNKNOWN (0) in "type" for a port without a UART.
bool HasUart(const std::filesystem::path& entry) {
  std::ifstream in(entry / "type");
  long type = 0;
  return static_cast<bool>(in >> type) && type != 0;
}

std::vector<BYTE> TextData(const std::string& text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

std::string ValueName(std::string_view prefix, unsigned number) {
  char name[32];
  if (prefix == "ttyS") {
    std::snprintf(name, sizeof name, "\\Device\\Serial%u", number);
  } else if (prefix == "ttyUSB") {
    std::snprintf(name, sizeof name, "\\Device\\VCP%u", number);
  } else {
    std::snprintf(name, sizeof name, "\\Device\\USBSER%03u", number);
  }
  return name;
}

// The present ports, named so that none is hidden by an entry of map.
std::vector<SerialPort> PortsBeside(const std::vector<DeviceMapEntry>& map) {
  const auto sysfs = SysfsTtyDirectory();
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(sysfs, ec)) {
    names.push_back(entry.path().filename().string());
  }
  const auto mapped = [&](const std::string& name) {
    return std::any_of(map.begin(), map.end(), [&](const auto& e) { return e.first == name; });
  };
  std::vector<SerialPort> ports;
  for (const auto& kind : kKinds) {
    std::vector<std::pair<unsigned, std::string>> found;
    for (const auto& name : names) {
      const auto number = PortNumber(name, kind.prefix);
      if (!number || !std::filesystem::exists(sysfs / name / "device", ec) ||
          (kind.needsUart && !HasUart(sysfs / name))) {
        continue;
      }
      found.emplace_back(*number, name);
    }
    std::sort(found.begin(), found.end());
    for (const auto& [number, name] : found) {
      std::string device = "/dev/" + name;
      if (kind.prefix == "ttyS" && !mapped("COM" + std::to_string(number + 1))) {
        device = "COM" + std::to_string(number + 1);
      }
      ports.push_back({ValueName(kind.prefix, number), std::move(device)});
    }
  }
  return ports;
}

}  // namespace

std::filesystem::path SysfsTtyDirectory() {
  if (const char* dir = std::getenv("TAVKEL_SYSFS_TTY"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  return "/sys/class/tty";
}

std::vector<SerialPort> PresentSerialPorts() {
  return PortsBeside(ReadDeviceMap());
}

std::vector<RegistryValue> SerialCommValues() {
  const auto map = ReadDeviceMap();
  std::vector<RegistryValue> values;
  for (const auto& port : PortsBeside(map)) {
    values.push_back({port.valueName, REG_SZ, TextData(port.device)});
  }
  const auto drivers = TtyDrivers::FromKernel();
  int index = 0;
  for (const auto& [name, path] : map) {
    if (!drivers.IsTty(path)) {
      continue;  // left behind by a program that ended without removing it, or a mistake
    }
    values.push_back({"\\Device\\DeviceMap" + std::to_string(index++), REG_SZ, TextData(name)});
  }
  if (const SerialCommSource source = serialCommSource.load(); source != nullptr) {
    source(values);
  }
  return values;
}

void SetSerialCommSource(SerialCommSource source) {
  serialCommSource.store(source);
}

}  // namespace platform
