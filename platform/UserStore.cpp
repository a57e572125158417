#include "UserStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Errors.h"
#include "Faults.h"
#include "RegistryFile.h"
#include "Root.h"

namespace platform {
namespace {

std::filesystem::path StoreFile() {
  return PlatformRoot() / "registry";
}

// A descriptor closed with the object.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Puts text in place of target so that a crash at any moment leaves either the old file or the
// new one whole: the text goes to a new file beside it, reaches the disk, and is renamed over it.
DWORD ReplaceFile(const std::filesystem::path& target, const std::string& text) {
  static std::atomic<unsigned> serial{0};
  auto temp = target;
  temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial++);
  int error = 0;
  {
    Descriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.Get() < 0) {
      return ErrorFromErrno(errno);
    }
    if (!WriteAll(fd.Get(), text) || ::fsync(fd.Get()) != 0) {
      error = errno;
    }
  }
  if (error == 0 && ShouldFail(FaultPoint::RegistryFileWrite)) {
    error = EIO;
  }
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    return ErrorFromErrno(error);
  }
  Descriptor dir(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) {
    ::fsync(dir.Get());  // makes the rename itself durable; the data is safe either way
  }
  return ERROR_SUCCESS;
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
  std::error_code ec;
  std::filesystem::create_directories(PlatformRoot(), ec);
  Descriptor lock(
      ::open((PlatformRoot() / "registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0) {
    return ErrorFromErrno(errno);
  }
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      return ErrorFromErrno(errno);
    }
  }
  RegistryTree hive = LoadUserHive();
  bool changed = false;
  const DWORD result = change(hive, changed);
  if (result != ERROR_SUCCESS || !changed) {
    return result;
  }
  return ReplaceFile(StoreFile(), FormatHive(hive));
}

}  // namespace platform
