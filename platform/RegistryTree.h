// One hive of the registry in memory: its keys and their typed values. Both the current user's
// store and the local machine's serial-port key are held in this form.
#pragma once

#include <string>
#include <vector>

#include "Types.h"

namespace platform {

// Key and value names compare without regard to ASCII case.
bool NamesEqual(const std::string& a, const std::string& b);

struct RegistryValue {
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct RegistryKey {
  std::vector<std::string> path;      // components below the hive's root; empty for the root
  std::vector<RegistryValue> values;  // in the order they were first set

  const RegistryValue* FindValue(const std::string& name) const;
  // Replaces the value of that name in place, or appends it.
  void SetValue(RegistryValue value);
  // True when there was such a value.
  bool DeleteValue(const std::string& name);
};

// Keys in creation order; a parent always comes before its children, and the root is first.
class RegistryTree {
 public:
  RegistryTree();

  const std::vector<RegistryKey>& Keys() const { return keys_; }
  const RegistryKey* Find(const std::vector<std::string>& path) const;
  RegistryKey* Find(const std::vector<std::string>& path);
  // The key at path, made first together with its missing parents; created tells whether the key
  // itself was missing.
  RegistryKey& Create(const std::vector<std::string>& path, bool& created);

  // Number of direct children of path and the length of the longest child name.
  void Children(const std::vector<std::string>& path, DWORD& count, DWORD& longestName) const;

 private:
  std::vector<RegistryKey> keys_;
};

}  // namespace platform
