// A file that a database engine opens beside a database under a name from which it cannot tell the
// database (a journal kept under a shorter name), given what the engine gives the side files it
// names itself: the database's permissions and, when the process runs as root, the database's
// owner and group, so that the database's owner can still roll back a write that root began.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// Opens path as openCall (an open(2)) does with flags and mode, for a side file of a database
// (its journal, WAL or shared-memory file): without following a link in its place or waiting on a
// FIFO, and taking only a regular file with a single link. Anything else is closed again at once
// and refused (-1 with errno EPERM): a FIFO would block the engine's reads for good, and a second
// link names a file elsewhere that the engine would write, truncate, chmod or (under root) chown
// as if it were its own. What the open fails with itself it returns as it is, errno included.
int OpenPlainSideFile(const char* path, int flags, int mode,
                      int (*openCall)(const char* path, int flags, int mode));

// What stands at a side file's name, looked at without following a link: nothing, a regular file
// with a single link, or anything else (which OpenPlainSideFile refuses). A name that cannot be
// looked at for another reason counts as anything else.
enum class SideFilePlace { Empty, PlainFile, Other };
SideFilePlace LookAtSideFile(const std::string& path);

// Made just before the engine opens the side file path of database, and kept until that open has
// ended. Meanwhile it holds the file open itself, so that it sets the permissions and the owner of
// the very file that the engine opened.
class SideFile {
 public:
  // Looks at database, then opens path, making it when create is set and it is not there: readable
  // and writable by this user alone until Opened, so that it holds nothing under looser
  // permissions. Nothing is made when database cannot be looked at.
  SideFile(const std::string& path, const std::string& database, bool create);
  // Removes the file it made, unless Opened was called.
  ~SideFile();
  SideFile(const SideFile&) = delete;
  SideFile& operator=(const SideFile&) = delete;

  // False when database could not be looked at.
  bool DatabaseFound() const { return found_; }

  // Once the engine has opened the file: an empty file takes the database's permissions and, under
  // root, any file its owner and group, as the engine's own files do. A file that cannot take them
  // (another user's, say) is used as it is, as the engine uses its own. Nothing is changed on what
  // is no regular file with a single link: it may have taken the name's place since the engine's
  // open looked at it.
  void Opened();

 private:
  std::string path_;
  bool found_ = false;
  mode_t mode_ = 0;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  int fd_ = -1;
  bool made_ = false;
};

}  // namespace platform
