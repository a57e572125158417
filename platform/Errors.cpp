#include "Errors.h"

#include <cerrno>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() {
  return lastError;
}

void SetLastError(DWORD error) {
  lastError = error;
}

namespace platform {

DWORD ErrorFromErrno(int errnoValue) {
  switch (errnoValue) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
    case EWOULDBLOCK:
      return ERROR_SHARING_VIOLATION;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EINVAL:
    case ENAMETOOLONG:
      return ERROR_INVALID_PARAMETER;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EPIPE:
    case EHOSTDOWN:
      return ERROR_BROKEN_PIPE;
    case ETIMEDOUT:
      return ERROR_TIMEOUT;
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    default:
      return ERROR_GEN_FAILURE;  // EIO and the rest: the device failed
  }
}

DWORD SetLastErrorFromErrno(int errnoValue) {
  const DWORD error = ErrorFromErrno(errnoValue);
  SetLastError(error);
  return error;
}

}  // namespace platform
