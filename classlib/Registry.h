// TRegistry: access to one registry key at a time, raising ERegistryException when a value
// cannot be read or written.
#pragma once

#include <string>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/Object.h"
#include "platform/Registry.h"

namespace classlib {

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class TRegistry : public TObject {
 public:
  // Root HKEY_CURRENT_USER; keys are opened with Access (full access unless told otherwise).
  explicit TRegistry(REGSAM Access = KEY_ALL_ACCESS);
  ~TRegistry() override;

  HKEY RootKey() const { return rootKey_; }
  // Closes the current key.
  void SetRootKey(HKEY Value);
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM Value) { access_ = Value; }
  // The open key, or null.
  HKEY CurrentKey() const { return currentKey_; }
  // The open key's path below the root, without a leading backslash.
  const std::string& CurrentPath() const { return currentPath_; }

  // Makes Key the current key: from the root when it starts with a backslash or no key is open,
  // else below the current key; with CanCreate, made when missing. False, with the current key
  // unchanged, when the key is missing or the platform refuses it.
  bool OpenKey(const std::string& Key, bool CanCreate);
  // OpenKey without creating and with read access only.
  bool OpenKeyReadOnly(const std::string& Key);
  void CloseKey();

  bool ValueExists(const std::string& Name) const;
  // The names of the current key's values in the platform's order (empty when none is open).
  void GetValueNames(std::vector<std::string>& Strings) const;

  // A REG_DWORD. "Failed to get data for '<Name>'" when missing or longer than 4 bytes, "Invalid
  // data type for '<Name>'" when of another type.
  int ReadInteger(const std::string& Name) const;
  // "Failed to set data for '<Name>'" when it cannot be stored.
  void WriteInteger(const std::string& Name, int Value);
  // A REG_SZ or REG_EXPAND_SZ, up to its first zero. "Failed to get data for '<Name>'" when
  // missing, "Invalid data type for '<Name>'" when of another type.
  std::string ReadString(const std::string& Name) const;

 private:
  bool Open(const std::string& Key, bool CanCreate, REGSAM Access);

  HKEY rootKey_ = HKEY_CURRENT_USER;
  REGSAM access_;
  HKEY currentKey_ = nullptr;
  std::string currentPath_;
};

}  // namespace classlib
