#include "classlib/Registry.h"

namespace classlib {
namespace {

[[noreturn]] void RaiseGetFailed(const std::string& name) {
  throw ERegistryException("Failed to get data for '" + name + "'");
}

[[noreturn]] void RaiseSetFailed(const std::string& name) {
  throw ERegistryException("Failed to set data for '" + name + "'");
}

[[noreturn]] void RaiseInvalidType(const std::string& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}

}  // namespace

TRegistry::TRegistry(REGSAM Access) : access_(Access) {}

TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(HKEY Value) {
  CloseKey();
  rootKey_ = Value;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  return Open(Key, CanCreate, access_);
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
  return Open(Key, false, KEY_READ);
}

bool TRegistry::Open(const std::string& Key, bool CanCreate, REGSAM Access) {
  const bool relative = !Key.starts_with('\\');
  const std::string subKey = relative ? Key : Key.substr(1);
  const HKEY base = relative && currentKey_ != nullptr ? currentKey_ : rootKey_;
  HKEY opened = nullptr;
  const LONG result =
      CanCreate ? RegCreateKeyExA(base, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access,
                                  nullptr, &opened, nullptr)
                : RegOpenKeyExA(base, subKey.c_str(), 0, Access, &opened);
  if (result != ERROR_SUCCESS) {
    return false;  // missing and refused alike
  }
  std::string path = relative && currentKey_ != nullptr && !currentPath_.empty()
                         ? currentPath_ + "\\" + subKey
                         : subKey;
  CloseKey();
  currentKey_ = opened;
  currentPath_ = std::move(path);
  return true;
}

void TRegistry::CloseKey() {
  if (currentKey_ != nullptr) {
    RegCloseKey(currentKey_);
    currentKey_ = nullptr;
    currentPath_.clear();
  }
}

bool TRegistry::ValueExists(const std::string& Name) const {
  return currentKey_ != nullptr && RegQueryValueExA(currentKey_, Name.c_str(), nullptr, nullptr,
                                                    nullptr, nullptr) == ERROR_SUCCESS;
}

void TRegistry::GetValueNames(std::vector<std::string>& Strings) const {
  Strings.clear();
  DWORD count = 0;
  DWORD longest = 0;
  if (currentKey_ == nullptr ||
      RegQueryInfoKeyA(currentKey_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                       &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  std::string name(longest + 1, '\0');
  DWORD index = 0;
  for (;;) {
    DWORD length = static_cast<DWORD>(name.size());
    const LONG result =
        RegEnumValueA(currentKey_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);  // a longer name was set since the count was taken
      continue;
    }
    if (result != ERROR_SUCCESS) {
      return;  // ERROR_NO_MORE_ITEMS after the last
    }
    Strings.emplace_back(name.data(), length);
    ++index;
  }
}

int TRegistry::ReadInteger(const std::string& Name) const {
  BYTE data[4] = {};
  DWORD size = sizeof data;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(currentKey_, Name.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS) {
    RaiseGetFailed(Name);
  }
  if (type != REG_DWORD) {
    RaiseInvalidType(Name);
  }
  return static_cast<int>(data[0] | (data[1] << 8) | (data[2] << 16) | (DWORD{data[3]} << 24));
}

void TRegistry::WriteInteger(const std::string& Name, int Value) {
  const auto bits = static_cast<DWORD>(Value);
  const BYTE data[4] = {static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8),
                        static_cast<BYTE>(bits >> 16), static_cast<BYTE>(bits >> 24)};
  if (RegSetValueExA(currentKey_, Name.c_str(), 0, REG_DWORD, data, sizeof data) != ERROR_SUCCESS) {
    RaiseSetFailed(Name);
  }
}

std::string TRegistry::ReadString(const std::string& Name) const {
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::vector<BYTE> data;
  LONG result = RegQueryValueExA(currentKey_, Name.c_str(), nullptr, &type, nullptr, &size);
  while (result == ERROR_SUCCESS) {
    data.resize(size);
    result = RegQueryValueExA(currentKey_, Name.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_SUCCESS) {
      data.resize(size);
      break;
    }
    if (result == ERROR_MORE_DATA) {
      result = ERROR_SUCCESS;  // it grew between the two calls: try again at its new size
    }
  }
  if (result != ERROR_SUCCESS) {
    RaiseGetFailed(Name);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    RaiseInvalidType(Name);
  }
  std::string text(data.begin(), data.end());
  text.resize(text.find('\0') != std::string::npos ? text.find('\0') : text.size());
  return text;
}

}  // namespace classlib
