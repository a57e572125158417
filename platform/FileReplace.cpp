#include "FileReplace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "Errors.h"

namespace platform {
namespace {

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

}  // namespace

FileLock::FileLock(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = ErrorFromErrno(errno);
    return;
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      error_ = ErrorFromErrno(errno);
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) {
    ::close(fd_);  // releases the lock
  }
}

DWORD ReplaceFileAtomically(const std::filesystem::path& target, const std::string& text,
                            std::optional<FaultPoint> fault) {
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
  if (error == 0 && fault && ShouldFail(*fault)) {
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

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    return std::nullopt;
  }
  return std::move(text).str();
}

}  // namespace platform
