#include "platform/os_error.h"

#include <cerrno>

namespace platform {

namespace {
thread_local int last_os_error = kErrorSuccess;
}  // namespace

int LastOsError() { return last_os_error; }

void SetLastOsError(int error) { last_os_error = error; }

int ErrnoToWindowsError(int posix_errno) {
  switch (posix_errno) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
    case ELOOP:
      return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kErrorAccessDenied;
    case EBADF:
      return kErrorInvalidHandle;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case ENODEV:
    case ENXIO:
      return kErrorInvalidDrive;
    case EXDEV:
      return kErrorNotSameDevice;
    case EROFS:
      return kErrorWriteProtect;
    case ETXTBSY:
      return kErrorSharingViolation;
    case EAGAIN:
    case EDEADLK:
      return kErrorLockViolation;
    case ENOTSUP:
      return kErrorNotSupported;
    case EINVAL:
    case EOVERFLOW:
      return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrorDiskFull;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case EBUSY:
      return kErrorBusy;
    case EEXIST:
      return kErrorAlreadyExists;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EIO:
      return kErrorIoDevice;
    default:
      return kErrorUnmappedBase + posix_errno;
  }
}

int SetLastOsErrorFromErrno() {
  const int error = ErrnoToWindowsError(errno);
  SetLastOsError(error);
  return error;
}

}  // namespace platform
