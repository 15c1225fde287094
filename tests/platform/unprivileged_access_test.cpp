// What the OS itself refuses, seen from a process that is not root: CI runs as root, where
// permission bits alone never refuse anything, so these cases run in a child that drops to the
// unprivileged "nobody" account.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/os_error.h"
#include "platform/os_file.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::FileAccess;
using platform::FileShare;
using platform::OsFile;

constexpr uid_t kNobody = 65534;

bool DropToNobody() {
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0 &&
         geteuid() == kNobody;
}

class UnprivilegedAccess : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged account";
    // The folder is readable and searchable by everyone but writable only by root.
    ASSERT_EQ(chmod(dir_.native().c_str(), 0755), 0);
    kura_test::WriteNativeFile(dir_.NativePath("table.dat"), "contents");
    ASSERT_EQ(chmod(dir_.NativePath("table.dat").c_str(), 0644), 0);
  }

  // Runs `body` as nobody; the body returns 0 or the number of the check that failed.
  void RunAsNobody(const std::function<int()>& body) {
    kura_test::ChildProcess child([&body] {
      if (!DropToNobody()) return 100;
      return body();
    });
    const int status = child.Wait();
    if (status == 100) GTEST_SKIP() << "cannot switch to uid " << kNobody;
    EXPECT_EQ(status, 0) << "check " << status << " failed in the unprivileged child";
  }

  kura_test::TempDir dir_;
};

TEST_F(UnprivilegedAccess, FileRefusedForWritingOpensForReading) {
  const std::string path = dir_.EnginePath("table.dat");
  RunAsNobody([&path] {
    if (OsFile::OpenExisting(path, FileAccess::kReadWrite, FileShare::kReadWrite)) return 1;
    if (platform::LastOsError() != platform::kErrorAccessDenied) return 2;
    auto reader = OsFile::OpenExisting(path, FileAccess::kRead, FileShare::kReadWrite);
    if (!reader) return 3;
    char buffer[8];
    if (reader->Read(buffer, 8) != 8 || std::string(buffer, 8) != "contents") return 4;
    // The OS refuses writing, yet the file carries no read-only attribute.
    platform::FileAttributes attributes;
    if (!platform::QueryFileAttributes(path, &attributes) || attributes.read_only) return 5;
    // Locks through a read-only handle still work.
    if (!reader->LockRange(INT64_MAX - 1, 1)) return 6;
    if (OsFile::CreateAlways(path, FileAccess::kReadWrite, FileShare::kReadWrite)) return 7;
    if (platform::LastOsError() != platform::kErrorAccessDenied) return 8;
    return 0;
  });
  EXPECT_EQ(kura_test::ReadNativeFile(dir_.NativePath("table.dat")), "contents");
}

TEST_F(UnprivilegedAccess, ForceDirectoriesFailsInAReadOnlyPlace) {
  const std::string path = dir_.EnginePath("SoramiV8\\Table");
  RunAsNobody([&path] {
    if (platform::ForceDirectories(path)) return 1;
    if (platform::LastOsError() != platform::kErrorAccessDenied) return 2;
    return 0;
  });
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("SoramiV8")));
}

}  // namespace
