// File calls of the configurator's data file: the windows directory (where the template database
// is installed), copying the template, and the current directory. Paths are 8-bit byte strings,
// passed to the file system unchanged.
#pragma once

#include <cstddef>
#include <string>

#include "Types.h"

inline constexpr UINT MAX_PATH = 260;

// Copies the windows directory, without a trailing separator, into buffer (size characters with
// the terminating zero) and returns its length. When it does not fit, buffer gets an empty text
// and the result is 0 (ERROR_INSUFFICIENT_BUFFER).
//
// The directory is $TAVKEL_WINDOWS_DIR when set; else, when the running program lies inside the
// build tree, the build tree's data directory; else the installed data directory: the one beside
// the program's own folder (share/tavkel beside bin) when it is there, wherever the programs were
// installed, else the one the build was configured to install into.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

// Copies the file existingName to newName. With failIfExists a newName that exists already makes
// the call fail (ERROR_FILE_EXISTS) and leaves that file untouched; without it newName is
// replaced. A copy that fails half-way removes what it wrote. Only regular files are copied: any
// other existingName (a folder, a FIFO, a device, a socket) fails at once, without being opened.
BOOL CopyFileA(LPCSTR existingName, LPCSTR newName, BOOL failIfExists);

// The process's current directory. Returns its length when it fits into buffer (length + 1
// characters); else the size needed, terminating zero included, leaving buffer alone; 0 on
// failure.
DWORD GetCurrentDirectoryA(DWORD length, LPSTR buffer);

namespace platform {

// The longest name, in bytes, that an entry of the folder dir may have; 255, the common limit,
// when the folder cannot tell.
size_t LongestNameIn(const std::string& dir);

// Name of the template database: the windows directory (fetched into 256 characters), the path
// separator and "tav.mdb". Empty when the directory does not fit, so that copying it fails like a
// missing template.
std::string TemplateDatabaseName();

}  // namespace platform
