#include "classlib/SqliteVfs.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "platform/Files.h"
#include "platform/SideFile.h"

namespace classlib {
namespace {

// "~", 16 hex digits of the hash, and an extension free of "-": SQLite's unix file system takes
// the part of a journal's name before a "-" in its last extension for the database, to copy its
// permissions, and fails when no such file exists; with no "-" there it uses its default ones.
constexpr size_t kSuffixLength = 1 + 16 + 8;

// FNV-1a, 64 bits: stable across runs and builds, so a journal left by a crash is found again.
uint64_t Hash(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (const unsigned char c : text) {
    hash = (hash ^ c) * 0x100000001b3u;
  }
  return hash;
}

sqlite3_vfs* Base(sqlite3_vfs* vfs) {
  return static_cast<sqlite3_vfs*>(vfs->pAppData);
}

// What the data-file system is opening on this thread: every open(2) that SQLite's unix file
// system makes meanwhile is for that file. Its shared-memory file it opens later, outside any
// open of ours, under the database's name with "-shm" added.
enum class Opening { Nothing, Database, SideFile };
thread_local Opening opening = Opening::Nothing;

class ScopedOpening {
 public:
  explicit ScopedOpening(Opening What) : before_(opening) { opening = What; }
  ~ScopedOpening() { opening = before_; }
  ScopedOpening(const ScopedOpening&) = delete;
  ScopedOpening& operator=(const ScopedOpening&) = delete;

 private:
  Opening before_;
};

using OpenCall = int (*)(const char*, int, int);

// SQLite's own open(2), which the checked one calls through.
OpenCall& UncheckedOpen() {
  static OpenCall call = nullptr;
  return call;
}

bool IsSideFile(const char* path) {
  switch (opening) {
    case Opening::SideFile:
      return true;
    case Opening::Database:
      return false;
    case Opening::Nothing:
      break;
  }
  const std::string_view name(path);
  return name.ends_with("-shm");
}

// The open(2) of SQLite's unix file system, which opens the shared-memory file itself: each side
// file of a database is opened as a plain file or not at all, and checked on the descriptor that
// SQLite goes on to use, so nothing can take the name's place between the check and the use.
int CheckedOpen(const char* path, int flags, int mode) {
  if (path != nullptr && IsSideFile(path)) {
    return platform::OpenPlainSideFile(path, flags, mode, UncheckedOpen());
  }
  return UncheckedOpen()(path, flags, mode);
}

std::string SideFileNameOf(const char* name) {
  const std::string path(name);
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  return SideFileName(path, platform::LongestNameIn(folder));
}

// The name handed to SQLite's file system lives as long as the file, which keeps a pointer to
// it: it is stored after the base file system's own part of each file.
char* NameStore(sqlite3_vfs* vfs, sqlite3_file* file) {
  return reinterpret_cast<char*>(file) + Base(vfs)->szOsFile;
}

// A side file under a shorter name is one that SQLite's unix file system cannot tie to its
// database. A journal gets from here what that file system gives the journals it names itself:
// the database's permissions and, under root, its owner. A WAL is refused before anything is
// made: its shared-memory file, which SQLite names without this file system, cannot be had under
// so long a name either, so the WAL could never be used.
int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  constexpr int kSideFiles = SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_SUPER_JOURNAL | SQLITE_OPEN_WAL;
  std::optional<platform::SideFile> journal;
  // The shared-memory file is opened after the WAL, which would be left behind when that open
  // fails: a WAL is not made while the shared-memory file's name holds something that will fail.
  if (name != nullptr && (flags & SQLITE_OPEN_WAL) != 0) {
    try {
      const std::string shm = std::string(sqlite3_filename_database(name)) + "-shm";
      if (platform::LookAtSideFile(shm) == platform::SideFilePlace::Other) {
        return SQLITE_CANTOPEN;
      }
    } catch (const std::bad_alloc&) {
      return SQLITE_NOMEM;
    }
  }
  if (name != nullptr && (flags & kSideFiles) != 0) {
    try {
      const std::string shorter = SideFileNameOf(name);
      if (shorter != name && shorter.size() <= static_cast<size_t>(vfs->mxPathname)) {
        if ((flags & SQLITE_OPEN_WAL) != 0) {
          return SQLITE_CANTOPEN;
        }
        if ((flags & SQLITE_OPEN_MAIN_JOURNAL) != 0) {
          journal.emplace(shorter, sqlite3_filename_database(name),
                          (flags & SQLITE_OPEN_CREATE) != 0);
          if (!journal->DatabaseFound()) {
            return SQLITE_IOERR_FSTAT;
          }
        }
        char* store = NameStore(vfs, file);
        std::memcpy(store, shorter.c_str(), shorter.size() + 1);
        name = store;
      }
    } catch (const std::bad_alloc&) {
      return SQLITE_NOMEM;
    }
  }
  const ScopedOpening scope((flags & kSideFiles) != 0            ? Opening::SideFile
                            : (flags & SQLITE_OPEN_MAIN_DB) != 0 ? Opening::Database
                                                                 : Opening::Nothing);
  const int result = Base(vfs)->xOpen(Base(vfs), name, file, flags, outFlags);
  if (journal && result == SQLITE_OK) {
    journal->Opened();
  }
  return result;
}

// Deleting and probing map names as opening does, so that SQLite finds and removes the journal
// that it wrote. A name too long to be on disk cannot be a database.
int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) {
  try {
    return Base(vfs)->xDelete(Base(vfs), SideFileNameOf(name).c_str(), syncDir);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

// A link in a side file's place is there even when it leads nowhere, so that SQLite takes it for a
// journal it has to open, and fails on it, rather than passing it by.
int Access(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
  try {
    const std::string mapped = SideFileNameOf(name);
    const int rc = Base(vfs)->xAccess(Base(vfs), mapped.c_str(), flags, result);
    if (rc == SQLITE_OK && flags == SQLITE_ACCESS_EXISTS && *result == 0 &&
        platform::LookAtSideFile(mapped) == platform::SideFilePlace::Other) {
      *result = 1;
    }
    return rc;
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

sqlite3_vfs MakeVfs(sqlite3_vfs* base) {
  sqlite3_vfs vfs{};
  vfs.iVersion = base->iVersion < 3 ? base->iVersion : 3;
  vfs.szOsFile = base->szOsFile + base->mxPathname + 1;
  vfs.mxPathname = base->mxPathname;
  vfs.zName = "tavkel";
  vfs.pAppData = base;
  vfs.xOpen = Open;
  vfs.xDelete = Delete;
  vfs.xAccess = Access;
  vfs.xFullPathname = [](sqlite3_vfs* v, const char* name, int size, char* out) {
    return Base(v)->xFullPathname(Base(v), name, size, out);
  };
  vfs.xDlOpen = [](sqlite3_vfs* v, const char* name) { return Base(v)->xDlOpen(Base(v), name); };
  vfs.xDlError = [](sqlite3_vfs* v, int size, char* out) { Base(v)->xDlError(Base(v), size, out); };
  vfs.xDlSym = [](sqlite3_vfs* v, void* library, const char* symbol) {
    return Base(v)->xDlSym(Base(v), library, symbol);
  };
  vfs.xDlClose = [](sqlite3_vfs* v, void* library) { Base(v)->xDlClose(Base(v), library); };
  vfs.xRandomness = [](sqlite3_vfs* v, int size, char* out) {
    return Base(v)->xRandomness(Base(v), size, out);
  };
  vfs.xSleep = [](sqlite3_vfs* v, int microseconds) {
    return Base(v)->xSleep(Base(v), microseconds);
  };
  vfs.xCurrentTime = [](sqlite3_vfs* v, double* now) {
    return Base(v)->xCurrentTime(Base(v), now);
  };
  vfs.xGetLastError = [](sqlite3_vfs* v, int size, char* out) {
    return Base(v)->xGetLastError(Base(v), size, out);
  };
  if (vfs.iVersion >= 2) {
    vfs.xCurrentTimeInt64 = [](sqlite3_vfs* v, sqlite3_int64* now) {
      return Base(v)->xCurrentTimeInt64(Base(v), now);
    };
  }
  if (vfs.iVersion >= 3) {
    vfs.xSetSystemCall = [](sqlite3_vfs* v, const char* call, sqlite3_syscall_ptr pointer) {
      return Base(v)->xSetSystemCall(Base(v), call, pointer);
    };
    vfs.xGetSystemCall = [](sqlite3_vfs* v, const char* call) {
      return Base(v)->xGetSystemCall(Base(v), call);
    };
    vfs.xNextSystemCall = [](sqlite3_vfs* v, const char* call) {
      return Base(v)->xNextSystemCall(Base(v), call);
    };
  }
  return vfs;
}

}  // namespace

std::string SideFileName(const std::string& name, size_t nameMax) {
  const size_t slash = name.rfind('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  const size_t length = name.size() - start;
  if (length <= nameMax || nameMax <= kSuffixLength) {
    return name;
  }
  // Cut on a character's first byte, so that the name stays readable.
  size_t keep = nameMax - kSuffixLength;
  while (keep > 0 && (static_cast<unsigned char>(name[start + keep]) & 0xC0) == 0x80) {
    --keep;
  }
  char suffix[kSuffixLength + 1];
  std::snprintf(suffix, sizeof suffix, "~%016llx.journal",
                static_cast<unsigned long long>(Hash(name.substr(start))));
  return name.substr(0, start + keep) + suffix;
}

// The checked open(2) is put in before the file system is registered: registered, it can be
// used. Without it the file system is not registered at all, and data files are opened through
// SQLite's default one, whose side files are not checked.
const char* DataFileVfs() {
  static sqlite3_vfs vfs = MakeVfs(sqlite3_vfs_find(nullptr));
  static const bool registered = [] {
    sqlite3_vfs* base = Base(&vfs);
    if (base->iVersion < 3 || base->xGetSystemCall == nullptr) {
      return false;
    }
    UncheckedOpen() = reinterpret_cast<OpenCall>(base->xGetSystemCall(base, "open"));
    if (UncheckedOpen() == nullptr ||
        base->xSetSystemCall(base, "open", reinterpret_cast<sqlite3_syscall_ptr>(CheckedOpen)) !=
            SQLITE_OK) {
      return false;
    }
    return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
  }();
  return registered ? vfs.zName : nullptr;
}

}  // namespace classlib
