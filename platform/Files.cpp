#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "Errors.h"

// Where the template database lives; set by the build for this file.
#ifndef TAVKEL_BUILD_DIR
#error "TAVKEL_BUILD_DIR must name the build tree"
#endif
#ifndef TAVKEL_BUILD_DATA_DIR
#error "TAVKEL_BUILD_DATA_DIR must name the build tree's data directory"
#endif
#ifndef TAVKEL_INSTALL_DATA_DIR
#error "TAVKEL_INSTALL_DATA_DIR must name the installed data directory"
#endif
#ifndef TAVKEL_DATA_DIR_FROM_BIN_DIR
#error "TAVKEL_DATA_DIR_FROM_BIN_DIR must lead from the installed programs to the data directory"
#endif

namespace {

namespace fs = std::filesystem;

// True when path lies inside dir (both resolved).
bool IsInside(const fs::path& path, const fs::path& dir) {
  std::error_code ec;
  const fs::path resolvedDir = fs::weakly_canonical(dir, ec);
  if (ec || resolvedDir.empty()) {
    return false;
  }
  auto p = path.begin();
  for (auto d = resolvedDir.begin(); d != resolvedDir.end(); ++d, ++p) {
    if (d->empty()) {
      continue;  // the empty element after a trailing separator
    }
    if (p == path.end() || *p != *d) {
      return false;
    }
  }
  return true;
}

std::string WindowsDirectory() {
  if (const char* dir = std::getenv("TAVKEL_WINDOWS_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    return TAVKEL_INSTALL_DATA_DIR;
  }
  if (IsInside(exe, TAVKEL_BUILD_DIR)) {
    return TAVKEL_BUILD_DATA_DIR;
  }
  // The install keeps the programs and the data directory together under whatever prefix it was
  // given; exe is resolved, so ".." from its folder is its real parent.
  const fs::path beside = (exe.parent_path() / TAVKEL_DATA_DIR_FROM_BIN_DIR).lexically_normal();
  if (fs::is_directory(beside, ec)) {
    return beside.string();
  }
  return TAVKEL_INSTALL_DATA_DIR;
}

struct FdCloser {
  void operator()(const int* fd) const {
    ::close(*fd);
    delete fd;
  }
};
using UniqueFd = std::unique_ptr<int, FdCloser>;

UniqueFd Own(int fd) {
  return fd >= 0 ? UniqueFd(new int(fd)) : UniqueFd();
}

bool WriteAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd, data, count);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

// Copies the rest of in to out; errno tells why on false.
bool CopyContents(int in, int out) {
  char block[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(in, block, sizeof block);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (got == 0) {
      return true;
    }
    if (!WriteAll(out, block, static_cast<size_t>(got))) {
      return false;
    }
  }
}

// Why a file that is no regular file cannot be copied.
int NotARegularFile(const struct stat& status) {
  return S_ISDIR(status.st_mode) ? EACCES : EINVAL;
}

BOOL FailWith(int errnoValue) {
  platform::SetLastErrorFromErrno(errnoValue);
  return FALSE;
}

}  // namespace

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  const std::string dir = WindowsDirectory();
  if (buffer == nullptr || dir.size() + 1 > size) {
    if (buffer != nullptr && size > 0) {
      buffer[0] = '\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<UINT>(dir.size());
}

BOOL CopyFileA(LPCSTR existingName, LPCSTR newName, BOOL failIfExists) {
  if (existingName == nullptr || newName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Anything but a regular file is refused before it is opened, since opening a device or a FIFO
  // can block or act on it; the open itself never waits, and what it opened is checked again.
  struct stat source {};
  if (::stat(existingName, &source) != 0) {
    return FailWith(errno);
  }
  if (!S_ISREG(source.st_mode)) {
    return FailWith(NotARegularFile(source));
  }
  const UniqueFd in = Own(::open(existingName, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!in) {
    return FailWith(errno);
  }
  if (::fstat(*in, &source) != 0) {
    return FailWith(errno);
  }
  if (!S_ISREG(source.st_mode)) {
    return FailWith(NotARegularFile(source));
  }
  // The copy is the user's own data file: writable whatever the source's permissions.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  const UniqueFd out = Own(::open(newName, flags, 0666));
  if (!out) {
    return FailWith(errno);
  }
  struct stat target {};
  if (::fstat(*out, &target) != 0) {
    return FailWith(errno);
  }
  if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
    SetLastError(ERROR_SHARING_VIOLATION);  // truncating would destroy the source
    return FALSE;
  }
  if (::ftruncate(*out, 0) != 0 || !CopyContents(*in, *out) || ::fsync(*out) != 0) {
    const int error = errno;
    ::unlink(newName);
    return FailWith(error);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD length, LPSTR buffer) {
  std::error_code ec;
  const std::string dir = std::filesystem::current_path(ec).string();
  if (ec) {
    platform::SetLastErrorFromErrno(ec.value());
    return 0;
  }
  if (buffer == nullptr || dir.size() + 1 > length) {
    return static_cast<DWORD>(dir.size() + 1);
  }
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<DWORD>(dir.size());
}

namespace platform {

size_t LongestNameIn(const std::string& dir) {
  const long limit = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<size_t>(limit) : 255;
}

std::string TemplateDatabaseName() {
  char dir[256];
  if (GetWindowsDirectoryA(dir, sizeof dir) == 0) {
    return {};
  }
  return std::string(dir) + "/tav.mdb";
}

}  // namespace platform
