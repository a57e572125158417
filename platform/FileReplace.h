// Files that several processes share under the platform root: an exclusive lock across processes,
// a replacement that a crash never leaves half-written, and reading a file whole.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "Faults.h"
#include "Types.h"

namespace platform {

// Holds an exclusive flock on the lock file at path (created when missing) for the object's life.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // ERROR_SUCCESS while the lock is held, else why it could not be taken.
  DWORD Error() const { return error_; }

 private:
  int fd_ = -1;
  DWORD error_ = ERROR_SUCCESS;
};

// Puts text in place of target so that a crash at any moment leaves either the old file or the new
// one whole: the text goes to a new file beside it, reaches the disk, and is renamed over it. On
// failure the old file is left as it was and no new file remains. An armed fault fails the
// replacement after the new file is written, before the rename.
DWORD ReplaceFileAtomically(const std::filesystem::path& target, const std::string& text,
                            std::optional<FaultPoint> fault = std::nullopt);

// The bytes of the file at path; nothing when it cannot be opened or read to its end.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace platform
