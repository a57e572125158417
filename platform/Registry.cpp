#include "Registry.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include "Faults.h"
#include "Handles.h"
#include "RegistryTree.h"
#include "SerialPorts.h"
#include "UserStore.h"

namespace platform {
namespace {

enum class Hive { User, Machine };

constexpr std::size_t kMaxKeyNameLength = 255;

// What a key handle names. A machine key carries the hive as it was when the key was opened, so
// that its values keep their indexes while they are enumerated.
struct OpenKey {
  Hive hive;
  std::vector<std::string> path;
  REGSAM access;
  std::shared_ptr<const RegistryTree> machine;
};

// A key handle is a kernel handle of the one table, so that leaks show in OpenHandleCount.
struct KeyObject : KernelObject {
  explicit KeyObject(OpenKey key) : key(std::move(key)) {}
  const OpenKey key;
};

RegistryTree MachineHive() {
  RegistryTree hive;
  bool created = false;
  hive.Create({"hardware", "devicemap", "serialcomm"}, created).values = SerialCommValues();
  return hive;
}

std::optional<OpenKey> Resolve(HKEY key) {
  if (key == HKEY_CURRENT_USER) {
    return OpenKey{Hive::User, {}, KEY_ALL_ACCESS, nullptr};
  }
  if (key == HKEY_LOCAL_MACHINE) {
    return OpenKey{Hive::Machine, {}, KEY_ALL_ACCESS, nullptr};
  }
  const auto object = LookupHandleAs<KeyObject>(key);
  if (!object) {
    return std::nullopt;
  }
  return object->key;
}

// The path that subKey names from base: a leading backslash starts at the hive's root; a
// trailing one is ignored. Nothing for an empty or overlong name inside the path.
std::optional<std::vector<std::string>> JoinPath(std::vector<std::string> base, LPCSTR subKey) {
  std::string_view rest = subKey != nullptr ? subKey : "";
  if (rest.starts_with('\\')) {
    base.clear();
    rest.remove_prefix(1);
  }
  if (rest.ends_with('\\')) {
    rest.remove_suffix(1);
  }
  while (!rest.empty()) {
    const auto end = rest.find('\\');
    const auto name = rest.substr(0, end);
    if (name.empty() || name.size() > kMaxKeyNameLength) {
      return std::nullopt;
    }
    base.emplace_back(name);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return base;
}

// Opens (or with create, makes) subKey below key. The user hive's keys are checked against the
// file now; the machine hive is taken whole at this moment.
LONG Open(HKEY key, LPCSTR subKey, REGSAM access, bool create, HKEY* result, DWORD* disposition) {
  if (result == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  *result = nullptr;
  const auto base = Resolve(key);
  if (!base) {
    return ERROR_INVALID_HANDLE;
  }
  auto path = JoinPath(base->path, subKey);
  if (!path) {
    return ERROR_INVALID_PARAMETER;
  }
  if (ShouldFail(FaultPoint::RegOpenKeyExA)) {
    return ERROR_ACCESS_DENIED;
  }
  OpenKey opened{base->hive, std::move(*path), access, nullptr};
  bool created = false;
  if (opened.hive == Hive::Machine) {
    auto hive = std::make_shared<RegistryTree>(MachineHive());
    if (hive->Find(opened.path) == nullptr) {
      return create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    }
    opened.machine = std::move(hive);
  } else if (create) {
    const LONG error = ChangeUserHive([&](RegistryTree& hive, bool& changed) {
      opened.path = hive.Create(opened.path, created).path;
      changed = created;
      return ERROR_SUCCESS;
    });
    if (error != ERROR_SUCCESS) {
      return error;
    }
  } else if (LoadUserHive().Find(opened.path) == nullptr) {
    return ERROR_FILE_NOT_FOUND;
  }
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  *result = static_cast<HKEY>(InsertHandle(std::make_shared<KeyObject>(std::move(opened))));
  return ERROR_SUCCESS;
}

// Runs read on the key's values as they are now, after checking that the handle may query.
template <typename Read>
LONG ReadKey(HKEY key, Read read) {
  const auto open = Resolve(key);
  if (!open) {
    return ERROR_INVALID_HANDLE;
  }
  if ((open->access & KEY_QUERY_VALUE) == 0) {
    return ERROR_ACCESS_DENIED;
  }
  const RegistryTree hive = open->hive == Hive::User ? LoadUserHive()
                            : open->machine          ? *open->machine
                                                     : MachineHive();
  const RegistryKey* found = hive.Find(open->path);
  if (found == nullptr) {
    return ERROR_FILE_NOT_FOUND;  // the key went away from the user's file
  }
  return read(hive, *found);
}

// Runs change on the key in the user's store; the local machine's keys are read-only.
LONG ChangeKey(HKEY key, const std::function<LONG(RegistryKey&, bool&)>& change) {
  const auto open = Resolve(key);
  if (!open) {
    return ERROR_INVALID_HANDLE;
  }
  if ((open->access & KEY_SET_VALUE) == 0 || open->hive == Hive::Machine) {
    return ERROR_ACCESS_DENIED;
  }
  return ChangeUserHive([&](RegistryTree& hive, bool& changed) -> DWORD {
    RegistryKey* found = hive.Find(open->path);
    return found != nullptr ? change(*found, changed) : ERROR_FILE_NOT_FOUND;
  });
}

// Copies data out as RegQueryValueExA does; size is optional unless data is given.
LONG CopyData(const RegistryValue& value, LPDWORD type, BYTE* data, LPDWORD size) {
  if (type != nullptr) {
    *type = value.type;
  }
  const auto needed = static_cast<DWORD>(value.data.size());
  LONG result = ERROR_SUCCESS;
  if (data != nullptr) {
    if (*size < needed) {
      result = ERROR_MORE_DATA;
    } else if (needed > 0) {
      std::memcpy(data, value.data.data(), needed);
    }
  }
  if (size != nullptr) {
    *size = needed;
  }
  return result;
}

void Put(LPDWORD out, DWORD value) {
  if (out != nullptr) {
    *out = value;
  }
}

}  // namespace
}  // namespace platform

using platform::RegistryKey;
using platform::RegistryTree;
using platform::RegistryValue;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return platform::Open(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return platform::Open(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LONG RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) {
    return ERROR_SUCCESS;
  }
  if (!platform::LookupHandleAs<platform::KeyObject>(hKey)) {
    return ERROR_INVALID_HANDLE;
  }
  return CloseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, BYTE* lpData,
                      LPDWORD lpcbData) {
  if (lpData != nullptr && lpcbData == nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::string name = lpValueName != nullptr ? lpValueName : "";
  return platform::ReadKey(hKey, [&](const RegistryTree&, const RegistryKey& key) -> LONG {
    const RegistryValue* value = key.FindValue(name);
    return value != nullptr ? platform::CopyData(*value, lpType, lpData, lpcbData)
                            : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
  if (lpData == nullptr && cbData > 0) {
    return ERROR_INVALID_PARAMETER;
  }
  RegistryValue value{lpValueName != nullptr ? lpValueName : "", dwType, {}};
  if (cbData > 0) {
    value.data.assign(lpData, lpData + cbData);
  }
  return platform::ChangeKey(hKey, [&](RegistryKey& key, bool& changed) -> LONG {
    key.SetValue(std::move(value));
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  const std::string name = lpValueName != nullptr ? lpValueName : "";
  return platform::ChangeKey(hKey, [&](RegistryKey& key, bool& changed) -> LONG {
    changed = key.DeleteValue(name);
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                   LPDWORD lpType, BYTE* lpData, LPDWORD lpcbData) {
  if (lpValueName == nullptr || lpcchValueName == nullptr ||
      (lpData != nullptr && lpcbData == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  return platform::ReadKey(hKey, [&](const RegistryTree&, const RegistryKey& key) -> LONG {
    if (dwIndex >= key.values.size()) {
      return ERROR_NO_MORE_ITEMS;
    }
    const RegistryValue& value = key.values[dwIndex];
    if (value.name.size() >= *lpcchValueName) {
      return ERROR_MORE_DATA;
    }
    std::memcpy(lpValueName, value.name.c_str(), value.name.size() + 1);
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    return platform::CopyData(value, lpType, lpData, lpcbData);
  });
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  return platform::ReadKey(hKey, [&](const RegistryTree& hive, const RegistryKey& key) -> LONG {
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
      lpClass[0] = '\0';
    }
    DWORD subKeys = 0;
    DWORD longestSubKey = 0;
    hive.Children(key.path, subKeys, longestSubKey);
    DWORD longestName = 0;
    DWORD longestData = 0;
    for (const auto& value : key.values) {
      longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
      longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
    platform::Put(lpcchClass, 0);
    platform::Put(lpcSubKeys, subKeys);
    platform::Put(lpcbMaxSubKeyLen, longestSubKey);
    platform::Put(lpcbMaxClassLen, 0);
    platform::Put(lpcValues, static_cast<DWORD>(key.values.size()));
    platform::Put(lpcbMaxValueNameLen, longestName);
    platform::Put(lpcbMaxValueLen, longestData);
    platform::Put(lpcbSecurityDescriptor, 0);
    if (lpftLastWriteTime != nullptr) {
      *lpftLastWriteTime = FILETIME{0, 0};
    }
    return ERROR_SUCCESS;
  });
}
