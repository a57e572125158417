// The local machine's serial ports, as the registry key "hardware\devicemap\serialcomm" lists
// them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "RegistryTree.h"

namespace platform {

// $TAVKEL_SYSFS_TTY when set (tests point it at a fixture), else /sys/class/tty.
std::filesystem::path SysfsTtyDirectory();

struct SerialPort {
  std::string valueName;  // "\Device\Serial0", "\Device\VCP0", "\Device\USBSER000"
  std::string device;     // the name CreateFileA opens: "COM1", "/dev/ttyUSB0"
};

// The ports present now, from the sysfs tty directory: ttyS<n> with a UART behind it (a device
// link and a non-zero port type), then ttyUSB<n>, then ttyACM<n> (each with a device link), each
// kind in numeric order. ttyS<n> is named "COM<n+1>", which the open call maps to /dev/ttyS<n>,
// unless the device map claims that name; then, and for the other kinds, the /dev path.
std::vector<SerialPort> PresentSerialPorts();

// The values of the serialcomm key: the present ports, then one value per device-map entry whose
// path names a tty that is there now ("\Device\DeviceMap<i>", i counting the listed entries,
// data = the entry's name), all REG_SZ, then what the serialcomm source appends. Every entry of
// the map still claims its name, listed or not, since the open call resolves names through the
// whole map.
std::vector<RegistryValue> SerialCommValues();

// A serialcomm source: appends values of any type to those listed before it. It may be called from
// any thread.
using SerialCommSource = void (*)(std::vector<RegistryValue>& values);

// Makes SerialCommValues ask source for more values; null asks none. Thread-safe. Tests install
// one to list data that no port gives; the programs install none.
void SetSerialCommSource(SerialCommSource source);

}  // namespace platform
