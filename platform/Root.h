// The platform root: one directory that holds what the platform keeps on disk for the tool (the
// device map, the current user's registry file). It is $TAVKEL_ROOT when set and not empty, else
// $XDG_CONFIG_HOME/tavkel, else $HOME/.config/tavkel (each only when the variable holds an absolute
// path), else .config/tavkel in the home directory that the password database gives the user. Tests
// and the demo point TAVKEL_ROOT at a temporary directory, so nothing touches the user's real
// files. The variables are read at every call, so a test may switch roots.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Nothing when no home directory can be found: then the tool runs without a root (nothing is
// stored, the device map is empty) rather than in a directory that other users could make first.
std::optional<std::filesystem::path> PlatformRoot();

// The device map names devices for the platform's open call and lists them among the serial ports:
// one entry per line, "NAME<TAB>PATH", in the file "devicemap" under the root. Writers take an
// exclusive lock on "devicemap.lock" and replace the file atomically, so several processes (the
// simulated controller, the tool) can share it.
using DeviceMapEntry = std::pair<std::string, std::string>;

// Entries in the order they were published; empty when there is no map or it cannot be read.
std::vector<DeviceMapEntry> ReadDeviceMap();

// Adds name, or changes its path when it is listed already (keeping its place). False when the
// map cannot be written.
bool PublishDevice(const std::string& name, const std::string& path);

// Removes name; true when it is no longer listed.
bool UnpublishDevice(const std::string& name);

std::optional<std::string> LookupDevice(const std::string& name);

}  // namespace platform
