#include "SideFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// Never follows a link in the file's place (as the engine does not), and never waits on a FIFO.
constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// A regular file that no other name leads to (none at all, once it is removed).
bool IsPlainFile(const struct stat& status) {
  return S_ISREG(status.st_mode) && status.st_nlink <= 1;
}

}  // namespace

int OpenPlainSideFile(const char* path, int flags, int mode,
                      int (*openCall)(const char* path, int flags, int mode)) {
  const int fd = openCall(path, flags | O_NOFOLLOW | O_NONBLOCK, mode);
  if (fd < 0) {
    return fd;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !IsPlainFile(status)) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  // Blocking as asked: O_NONBLOCK only kept the open itself from waiting.
  if ((flags & O_NONBLOCK) == 0) {
    const int fileFlags = ::fcntl(fd, F_GETFL);
    if (fileFlags < 0 || ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return -1;
    }
  }
  return fd;
}

SideFilePlace LookAtSideFile(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    return errno == ENOENT ? SideFilePlace::Empty : SideFilePlace::Other;
  }
  return IsPlainFile(status) ? SideFilePlace::PlainFile : SideFilePlace::Other;
}

SideFile::SideFile(const std::string& path, const std::string& database, bool create)
    : path_(path) {
  struct stat status {};
  found_ = ::stat(database.c_str(), &status) == 0;
  if (!found_) {
    return;
  }
  mode_ = status.st_mode & 0777;
  owner_ = status.st_uid;
  group_ = status.st_gid;
  fd_ = ::open(path_.c_str(), kFlags);
  if (fd_ < 0 && errno == ENOENT && create) {
    fd_ = ::open(path_.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
    made_ = fd_ >= 0;
  }
  // When it cannot be opened here, the engine's own open meets the same reason and reports it.
}

SideFile::~SideFile() {
  if (fd_ < 0) {
    return;
  }
  if (made_) {
    ::unlink(path_.c_str());
  }
  ::close(fd_);
}

void SideFile::Opened() {
  made_ = false;
  if (fd_ < 0) {
    return;
  }
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || !IsPlainFile(status)) {
    return;
  }
  // A failure leaves the file as it is and in use, as the engine leaves its own: another user's
  // file keeps that user's permissions, and a file system without owners keeps its owner.
  if (status.st_size == 0 && (status.st_mode & 0777) != mode_) {
    [[maybe_unused]] const int changed = ::fchmod(fd_, mode_);
  }
  if (::geteuid() == 0) {
    [[maybe_unused]] const int chowned = ::fchown(fd_, owner_, group_);
  }
}

}  // namespace platform
