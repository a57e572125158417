#include "RegistryTree.h"

#include <algorithm>
#include <utility>

namespace platform {
namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool PathsEqual(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), NamesEqual);
}

}  // namespace

bool NamesEqual(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

const RegistryValue* RegistryKey::FindValue(const std::string& name) const {
  for (const auto& value : values) {
    if (NamesEqual(value.name, name)) {
      return &value;
    }
  }
  return nullptr;
}

void RegistryKey::SetValue(RegistryValue value) {
  for (auto& existing : values) {
    if (NamesEqual(existing.name, value.name)) {
      existing.type = value.type;
      existing.data = std::move(value.data);
      return;  // keeps its place and the spelling it was first set with
    }
  }
  values.push_back(std::move(value));
}

bool RegistryKey::DeleteValue(const std::string& name) {
  return std::erase_if(values, [&](const RegistryValue& v) { return NamesEqual(v.name, name); }) >
         0;
}

RegistryTree::RegistryTree() {
  keys_.emplace_back();
}

const RegistryKey* RegistryTree::Find(const std::vector<std::string>& path) const {
  for (const auto& key : keys_) {
    if (PathsEqual(key.path, path)) {
      return &key;
    }
  }
  return nullptr;
}

RegistryKey* RegistryTree::Find(const std::vector<std::string>& path) {
  return const_cast<RegistryKey*>(std::as_const(*this).Find(path));
}

RegistryKey& RegistryTree::Create(const std::vector<std::string>& path, bool& created) {
  created = false;
  std::vector<std::string> prefix;
  RegistryKey* key = &keys_.front();
  for (const auto& name : path) {
    prefix.push_back(name);
    key = Find(prefix);
    if (key == nullptr) {
      keys_.push_back(RegistryKey{prefix, {}});
      key = &keys_.back();
      created = true;
    } else {
      prefix = key->path;  // keep the spelling the key was made with
      created = false;
    }
  }
  return *key;
}

void RegistryTree::Children(const std::vector<std::string>& path, DWORD& count,
                            DWORD& longestName) const {
  count = 0;
  longestName = 0;
  for (const auto& key : keys_) {
    if (key.path.size() == path.size() + 1 &&
        std::equal(path.begin(), path.end(), key.path.begin(), NamesEqual)) {
      ++count;
      longestName = std::max(longestName, static_cast<DWORD>(key.path.back().size()));
    }
  }
}

}  // namespace platform
