#include "platform/os_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace {

TEST(OsError, TranslatesErrnoToTheWindowsNumbersTheEngineMaps) {
  const struct {
    int posix;
    int windows;
  } cases[] = {
      {ENOENT, platform::kErrorFileNotFound},   {ENOTDIR, platform::kErrorPathNotFound},
      {EMFILE, platform::kErrorTooManyOpenFiles}, {EACCES, platform::kErrorAccessDenied},
      {EPERM, platform::kErrorAccessDenied},    {EISDIR, platform::kErrorAccessDenied},
      {EBADF, platform::kErrorInvalidHandle},   {ENOMEM, platform::kErrorNotEnoughMemory},
      {EXDEV, platform::kErrorNotSameDevice},   {EEXIST, platform::kErrorAlreadyExists},
      {ENOSPC, platform::kErrorDiskFull},       {ENOTEMPTY, platform::kErrorDirNotEmpty},
      {0, platform::kErrorSuccess},
      // Without a counterpart the errno stays visible above the base.
      {EPIPE, platform::kErrorUnmappedBase + EPIPE},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ErrnoToWindowsError(c.posix), c.windows) << c.posix;
}

TEST(OsError, LastErrorIsPerThreadAndSetFromErrno) {
  errno = EACCES;
  EXPECT_EQ(platform::SetLastOsErrorFromErrno(), platform::kErrorAccessDenied);
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAccessDenied);
  int seen_in_thread = -1;
  std::thread([&seen_in_thread] {
    seen_in_thread = platform::LastOsError();
    platform::SetLastOsError(platform::kErrorDiskFull);
  }).join();
  EXPECT_EQ(seen_in_thread, platform::kErrorSuccess);
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAccessDenied);
}

}  // namespace
