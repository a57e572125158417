// The registry calls, over a typed store.
//
// HKEY_CURRENT_USER is kept in the file "registry" under the platform root. Every call reads the
// file afresh; every change replaces it atomically (a new file written aside, then renamed over
// the old one), under an exclusive lock so that several processes can share it. A file that
// cannot be parsed reads as an empty store and is left as it is until the next change replaces it.
//
// HKEY_LOCAL_MACHINE holds only "hardware\devicemap\serialcomm" (with its two parent keys, which
// have no values). The key may be opened with any access, KEY_ALL_ACCESS included, but every
// change to it fails with ERROR_ACCESS_DENIED. Its values are taken when the key is opened: the
// present serial ports (see SerialPorts.h) followed by one value per entry of the platform root's
// device map whose device is a tty that is there; each value's data is a REG_SZ name that
// CreateFileA opens as it stands.
//
// Key paths are relative to the key given; a leading backslash makes them start at the root of
// its hive. Key and value names are case-insensitive (ASCII). The calls return an error code. Key
// handles come from the table of kernel handles; RegCloseKey is the way to close them.
#pragma once

#include <cstdint>

#include "Types.h"

using HKEY = struct HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;

inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0000;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Missing key: ERROR_FILE_NOT_FOUND. A key that cannot be created: ERROR_ACCESS_DENIED.
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);

// Opens the key, creating it and its missing parents. lpdwDisposition (optional) receives
// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);

// Closing a predefined key does nothing and succeeds.
LONG RegCloseKey(HKEY hKey);

// Type and data of a value (null lpValueName: the unnamed value). lpType and lpcbData are
// optional; with lpData null only the type and size are reported. When *lpcbData is too small
// for the data: ERROR_MORE_DATA, with the needed size in *lpcbData and nothing copied. Missing
// value: ERROR_FILE_NOT_FOUND.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      BYTE* lpData, LPDWORD lpcbData);

// Stores the bytes as given (REG_SZ data should include its terminating zero).
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

// The value at dwIndex (0 upward, in the order the values were first set); ERROR_NO_MORE_ITEMS
// past the last. *lpcchValueName: in, the name buffer's size with room for the zero; out, the
// name's length without it. A name or data buffer that is too small: ERROR_MORE_DATA.
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, BYTE* lpData, LPDWORD lpcbData);

// Counts and longest lengths (names without their zero); every output is optional. Keys have no
// class and no security descriptor here: those report 0.
LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime);
