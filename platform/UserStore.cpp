#include "UserStore.h"

#include <filesystem>
#include <string>

#include "Errors.h"
#include "FileReplace.h"
#include "RegistryFile.h"
#include "Root.h"

namespace platform {
namespace {

std::optional<std::filesystem::path> StoreFile() {
  auto root = PlatformRoot();
  return root ? std::optional(*root / "registry") : std::nullopt;
}

}  // namespace

RegistryTree LoadUserHive() {
  const auto file = StoreFile();
  if (!file) {
    return RegistryTree();
  }
  const auto text = ReadWholeFile(*file);
  if (!text) {
    return RegistryTree();
  }
  auto hive = ParseHive(*text);
  return hive ? std::move(*hive) : RegistryTree();
}

DWORD ChangeUserHive(const std::function<DWORD(RegistryTree& hive, bool& changed)>& change) {
  const auto file = StoreFile();
  if (!file) {
    return ERROR_PATH_NOT_FOUND;
  }
  const FileLock lock(file->parent_path() / "registry.lock");
  if (lock.Error() != ERROR_SUCCESS) {
    return lock.Error();
  }
  RegistryTree hive = LoadUserHive();
  bool changed = false;
  const DWORD result = change(hive, changed);
  if (result != ERROR_SUCCESS || !changed) {
    return result;
  }
  return ReplaceFileAtomically(*file, FormatHive(hive), FaultPoint::RegistryFileWrite);
}

}  // namespace platform
