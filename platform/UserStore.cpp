#include "UserStore.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Errors.h"
#include "FileReplace.h"
#include "RegistryFile.h"
#include "Root.h"

namespace platform {
namespace {

std::filesystem::path StoreFile() {
  return PlatformRoot() / "registry";
}

}  // namespace

RegistryTree LoadUserHive() {
  std::ifstream in(StoreFile(), std::ios::binary);
  if (!in) {
    return RegistryTree();
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    return RegistryTree();
  }
  auto hive = ParseHive(text.str());
  return hive ? std::move(*hive) : RegistryTree();
}

DWORD ChangeUserHive(const std::function<DWORD(RegistryTree& hive, bool& changed)>& change) {
  const FileLock lock(PlatformRoot() / "registry.lock");
  if (lock.Error() != ERROR_SUCCESS) {
    return lock.Error();
  }
  RegistryTree hive = LoadUserHive();
  bool changed = false;
  const DWORD result = change(hive, changed);
  if (result != ERROR_SUCCESS || !changed) {
    return result;
  }
  return ReplaceFileAtomically(StoreFile(), FormatHive(hive), FaultPoint::RegistryFileWrite);
}

}  // namespace platform
