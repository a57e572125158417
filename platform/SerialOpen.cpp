// CreateFileA: from a device name to the backend that serves it.
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cctype>
#include <mutex>

#include "Errors.h"
#include "Root.h"
#include "SerialDevice.h"
#include "Sys.h"
#include "TermiosDevice.h"

namespace platform {
namespace {

// Constant-initialised, so that it holds null before any static constructor runs.
std::atomic<DeviceOpener> deviceOpener{nullptr};

// A regular file, or a character device that is no tty: it opens, so that GetFileType can tell
// what it is, and every serial call on it fails with ERROR_INVALID_FUNCTION.
class PlainFile : public SerialDevice {
 public:
  PlainFile(int fd, DWORD type) : fd_(fd), type_(type) {}
  ~PlainFile() override { Close(); }
  PlainFile(const PlainFile&) = delete;
  PlainFile& operator=(const PlainFile&) = delete;

  DWORD FileType(DWORD& type) override {
    std::lock_guard guard(lock_);
    type = closed_ ? FILE_TYPE_UNKNOWN : type_;
    return closed_ ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
  }
  void Close() override {
    std::lock_guard guard(lock_);
    if (!closed_) {
      closed_ = true;
      sys::CloseQuietly(fd_);
    }
  }

 private:
  std::mutex lock_;
  bool closed_ = false;
  const int fd_;
  const DWORD type_;
};

std::string WithoutPrefix(const std::string& name) {
  for (const char* prefix : {"\\\\.\\", "//./"}) {
    const std::string p(prefix);
    if (name.compare(0, p.size(), p) == 0) {
      return name.substr(p.size());
    }
  }
  return name;
}

// n of "COMn" (n from 1, any case), or 0.
unsigned long ComNumber(const std::string& name) {
  if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
      std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
      std::toupper(static_cast<unsigned char>(name[2])) != 'M' || name.size() > 7) {
    return 0;
  }
  unsigned long n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
      return 0;
    }
    n = n * 10 + static_cast<unsigned long>(name[i] - '0');
  }
  return n;
}

int OpenFlags(DWORD access) {
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  return read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
}

DWORD OpenPath(const std::string& path, DWORD access, std::shared_ptr<SerialDevice>& device) {
  auto opened = sys::Open(path.c_str(), OpenFlags(access) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (!opened.ok()) {
    return ErrorFromErrno(opened.error);
  }
  const int fd = static_cast<int>(opened.value);
  struct stat status {};
  if (auto stated = sys::Fstat(fd, status); !stated.ok()) {
    sys::CloseQuietly(fd);
    return ErrorFromErrno(stated.error);
  }
  DWORD type = FILE_TYPE_UNKNOWN;
  if (S_ISCHR(status.st_mode)) {
    termios attributes{};
    if (sys::TcGetAttr(fd, attributes).ok()) {
      return TermiosDevice::Open(fd, device);
    }
    type = FILE_TYPE_CHAR;
  } else if (S_ISREG(status.st_mode)) {
    type = FILE_TYPE_DISK;
  } else if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
    type = FILE_TYPE_PIPE;
  }
  try {
    device = std::make_shared<PlainFile>(fd, type);
  } catch (const std::exception&) {
    sys::CloseQuietly(fd);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return ERROR_SUCCESS;
}

}  // namespace

void SetDeviceOpener(DeviceOpener opener) {
  deviceOpener.store(opener);
}

std::string DevicePath(const std::string& name) {
  if (auto mapped = LookupDevice(name)) {
    return *mapped;
  }
  if (const unsigned long n = ComNumber(name); n > 0) {
    return "/dev/ttyS" + std::to_string(n - 1);
  }
  return name;
}

}  // namespace platform

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                   HANDLE) {
  const std::string device = platform::WithoutPrefix(name != nullptr ? name : "");
  if (device.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (creation != OPEN_EXISTING) {
    SetLastError(ERROR_NOT_SUPPORTED);  // the platform opens devices and files; it creates none
    return INVALID_HANDLE_VALUE;
  }
  std::shared_ptr<platform::SerialDevice> opened;
  DWORD error = ERROR_SUCCESS;
  const platform::DeviceOpener opener = platform::deviceOpener.load();
  if (opener == nullptr || !opener(device, opened, error)) {
    error = platform::OpenPath(platform::DevicePath(device), access, opened);
  }
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return platform::InsertHandle(std::move(opened));
}
