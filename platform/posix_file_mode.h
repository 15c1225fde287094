// Internal to platform/: the POSIX stand-ins for the Windows read-only attribute, and the common
// failure return of the file calls.
#pragma once

#include <sys/stat.h>

#include "platform/os_error.h"

namespace platform::internal {

// A file carries the read-only attribute when no write permission bit is set in its mode.
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
inline bool IsReadOnlyMode(mode_t mode) { return (mode & kAnyWriteBit) == 0; }

// Records `error` as the calling thread's last OS error and returns false.
inline bool Fail(int error) {
  SetLastOsError(error);
  return false;
}

}  // namespace platform::internal
