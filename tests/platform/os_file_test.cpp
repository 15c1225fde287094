#include "platform/os_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "platform/file_system.h"
#include "platform/os_error.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::FileAccess;
using platform::FileShare;
using platform::OsFile;
using platform::SeekOrigin;

constexpr int64_t kTop = INT64_MAX;  // 0x7FFFFFFFFFFFFFFF, the large-file lock byte

std::unique_ptr<OsFile> Open(const std::string& path, FileShare share = FileShare::kReadWrite,
                             FileAccess access = FileAccess::kReadWrite) {
  return OsFile::OpenExisting(path, access, share);
}

class OsFileTest : public testing::Test {
 protected:
  void SetUp() override {
    kura_test::WriteNativeFile(native_, "");
  }
  kura_test::TempDir dir_;
  std::string path_ = dir_.EnginePath("table.dat");
  std::string native_ = dir_.NativePath("table.dat");
};

// ---------------------------------------------------------------------------------------------
// Byte-range locks within one process: every step runs on handle 0 or 1 of the same file.

struct LockStep {
  int handle;
  bool lock;  // false: unlock
  int64_t offset;
  int64_t length;
  int expected_error;  // kErrorSuccess when the step must succeed
};

struct LockScenario {
  const char* name;
  std::vector<LockStep> steps;
};

class LockScenarios : public OsFileTest, public testing::WithParamInterface<LockScenario> {};

TEST_P(LockScenarios, FollowTheWindowsRules) {
  std::unique_ptr<OsFile> handles[2] = {Open(path_), Open(path_)};
  ASSERT_TRUE(handles[0] && handles[1]);
  int index = 0;
  for (const LockStep& step : GetParam().steps) {
    SCOPED_TRACE("step " + std::to_string(index++));
    platform::SetLastOsError(platform::kErrorSuccess);
    OsFile& file = *handles[step.handle];
    const bool ok = step.lock ? file.LockRange(step.offset, step.length)
                              : file.UnlockRange(step.offset, step.length);
    EXPECT_EQ(ok, step.expected_error == platform::kErrorSuccess);
    if (!ok) {
      EXPECT_EQ(platform::LastOsError(), step.expected_error);
    }
  }
  EXPECT_EQ(handles[0]->Size(), 0);  // locks never touch the file
}

constexpr int kOk = platform::kErrorSuccess;
constexpr int kViolation = platform::kErrorLockViolation;
constexpr int kNotLocked = platform::kErrorNotLocked;
constexpr int kInvalid = platform::kErrorInvalidParameter;

INSTANTIATE_TEST_SUITE_P(
    OneProcess, LockScenarios,
    testing::Values(
        LockScenario{"TwoHandlesConflict",
                     {{0, true, 100, 10, kOk},
                      {1, true, 105, 10, kViolation},
                      {1, true, 100, 1, kViolation},
                      {1, true, 91, 10, kViolation},
                      {1, true, 110, 10, kOk},
                      {0, true, 119, 1, kViolation},
                      {1, true, 90, 10, kOk}}},
        LockScenario{"SameHandleRefusesOverlap",
                     {{0, true, 100, 10, kOk},
                      {0, true, 100, 10, kViolation},
                      {0, true, 105, 10, kViolation},
                      {0, true, 109, 1, kViolation},
                      {0, true, 50, 51, kViolation},
                      {0, true, 0, 1000, kViolation},
                      {0, true, 110, 5, kOk},
                      {0, true, 90, 10, kOk}}},
        LockScenario{"UnlockByFirstByte",
                     {{0, true, 100, 10, kOk},
                      {0, false, 105, 1, kNotLocked},
                      {1, false, 100, 10, kNotLocked},  // not locked through that handle
                      {0, false, 100, 1, kOk},          // the length is not compared
                      {1, true, 100, 10, kOk},
                      {0, false, 100, 10, kNotLocked}}},
        // The OS merges adjacent ranges of one handle; releasing one must keep the other.
        LockScenario{"AdjacentRangesOfOneHandleStaySeparate",
                     {{0, true, 0, 10, kOk},
                      {0, true, 10, 10, kOk},
                      {0, false, 0, 10, kOk},
                      {1, true, 10, 1, kViolation},
                      {1, true, 0, 10, kOk},
                      {0, false, 10, 10, kOk},
                      {1, true, 10, 10, kOk}}},
        LockScenario{"TopOfTheLargeFileProfile",
                     {{0, true, kTop - 1, 1, kOk},
                      {0, true, kTop - 65535, 65535, kViolation},  // ends at kTop - 1
                      {1, true, kTop - 65535, 65535, kViolation},
                      {1, true, kTop - 65535, 65534, kOk},
                      {1, true, kTop, 1, kOk},
                      {0, true, 0xFFFFFFFF, 1, kOk},
                      {0, false, kTop - 1, 1, kOk},
                      {0, true, kTop - 65535, 65535, kViolation},
                      {1, false, kTop - 65535, 0, kOk},
                      {0, true, kTop - 65535, 65535, kOk}}},
        LockScenario{"InvalidRanges",
                     {{0, true, 0, 0, kInvalid},
                      {0, true, 10, -1, kInvalid},
                      {0, true, -1, 2, kInvalid},
                      {0, true, kTop, 2, kInvalid},
                      {0, true, kTop - 1, 3, kInvalid},
                      {0, true, 0, kTop, kOk},
                      {1, true, kTop, 1, kOk}}}),
    [](const testing::TestParamInfo<LockScenario>& info) { return info.param.name; });

TEST_F(OsFileTest, ClosingAHandleReleasesItsLocksAndShareMode) {
  auto first = Open(path_, FileShare::kNone);
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->LockRange(kTop - 1, 1));
  EXPECT_FALSE(Open(path_));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorSharingViolation);
  first.reset();
  auto second = Open(path_, FileShare::kNone);
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->LockRange(kTop - 1, 1));
}

// ---------------------------------------------------------------------------------------------
// Byte-range locks between processes.

TEST_F(OsFileTest, LocksConflictWithAnotherProcessAndDieWithIt) {
  kura_test::Signal to_child, to_parent;
  kura_test::ChildProcess child([&] {
    auto file = Open(path_);
    if (!file) return 1;
    if (!file->LockRange(kTop - 1, 1)) return 2;                // record 1 of the large profile
    if (!file->LockRange(kTop - 65535, 65534)) return 3;        // ends just below it
    if (!file->LockRange(0xFFFEF000 - 65535, 65535)) return 4;  // a table write region
    to_parent.Send('L');
    if (to_child.Wait() != 'U') return 5;
    if (!file->UnlockRange(0xFFFEF000 - 65535, 0)) return 6;
    to_parent.Send('R');
    to_child.Wait(60000);  // hold the rest until killed
    return 0;
  });
  ASSERT_EQ(to_parent.Wait(), 'L');
  auto file = Open(path_);
  ASSERT_TRUE(file);
  const struct {
    int64_t offset;
    int64_t length;
    bool free;
  } probes[] = {
      {kTop - 1, 1, false},         {kTop - 65535, 65535, false}, {kTop - 2, 1, false},
      {kTop - 65535, 1, false},     {kTop - 65536, 1, true},      {kTop, 1, true},
      {0xFFFEF000 - 1, 1, false},   {0xFFFEF000, 1, true},        {0, 1, true},
  };
  for (const auto& probe : probes) {
    SCOPED_TRACE(probe.offset);
    const bool locked = file->LockRange(probe.offset, probe.length);
    EXPECT_EQ(locked, probe.free);
    if (locked) {
      EXPECT_TRUE(file->UnlockRange(probe.offset, probe.length));
    } else {
      EXPECT_EQ(platform::LastOsError(), platform::kErrorLockViolation);
    }
  }
  to_child.Send('U');
  ASSERT_EQ(to_parent.Wait(), 'R');
  EXPECT_TRUE(file->LockRange(0xFFFEF000 - 65535, 65535));
  EXPECT_FALSE(file->LockRange(kTop - 1, 1));
  child.Kill();  // as a crash would end it
  EXPECT_TRUE(file->LockRange(kTop - 1, 1));
  EXPECT_TRUE(file->LockRange(kTop - 65535, 65534));
  EXPECT_EQ(file->Size(), 0);
}

// ---------------------------------------------------------------------------------------------
// Share modes, with the holder in this process or in another one.

enum class Opener { kOpenReadWrite, kOpenRead, kCreateAlways };

struct ShareCase {
  const char* name;
  FileShare held;
  Opener opener;
  FileShare requested;
  bool succeeds;
};

struct ShareParam {
  ShareCase c;
  bool other_process;
};

class ShareModes : public OsFileTest, public testing::WithParamInterface<ShareParam> {};

std::unique_ptr<OsFile> OpenAs(const std::string& path, Opener opener, FileShare share) {
  switch (opener) {
    case Opener::kOpenReadWrite:
      return OsFile::OpenExisting(path, FileAccess::kReadWrite, share);
    case Opener::kOpenRead:
      return OsFile::OpenExisting(path, FileAccess::kRead, share);
    case Opener::kCreateAlways:
      return OsFile::CreateAlways(path, FileAccess::kReadWrite, share);
  }
  return nullptr;
}

TEST_P(ShareModes, ConflictOrCoexist) {
  const ShareCase& c = GetParam().c;
  kura_test::WriteNativeFile(native_, "lock file contents");
  std::unique_ptr<OsFile> local_holder;
  std::unique_ptr<kura_test::ChildProcess> child;
  kura_test::Signal ready, done;
  if (GetParam().other_process) {
    child = std::make_unique<kura_test::ChildProcess>([&] {
      auto holder = Open(path_, c.held);
      if (!holder) return 1;
      ready.Send();
      done.Wait();
      return 0;
    });
    ASSERT_EQ(ready.Wait(), '!');
  } else {
    local_holder = Open(path_, c.held);
    ASSERT_TRUE(local_holder);
  }
  auto opened = OpenAs(path_, c.opener, c.requested);
  EXPECT_EQ(opened != nullptr, c.succeeds);
  if (!opened) {
    EXPECT_EQ(platform::LastOsError(), platform::kErrorSharingViolation);
  }
  // A create-always that fails leaves the holder's contents as they were.
  const bool truncated = opened && c.opener == Opener::kCreateAlways;
  EXPECT_EQ(kura_test::ReadNativeFile(native_), truncated ? "" : "lock file contents");
  if (child) {
    done.Send();
    EXPECT_EQ(child->Wait(), 0);
  }
}

const ShareCase kShareCases[] = {
    {"ExclusiveRefusesShared", FileShare::kNone, Opener::kOpenReadWrite, FileShare::kReadWrite, false},
    {"ExclusiveRefusesExclusive", FileShare::kNone, Opener::kOpenReadWrite, FileShare::kNone, false},
    {"ExclusiveRefusesReaders", FileShare::kNone, Opener::kOpenRead, FileShare::kReadWrite, false},
    {"ExclusiveRefusesCreate", FileShare::kNone, Opener::kCreateAlways, FileShare::kReadWrite, false},
    {"SharedCoexist", FileShare::kReadWrite, Opener::kOpenReadWrite, FileShare::kReadWrite, true},
    {"SharedReaderCoexists", FileShare::kReadWrite, Opener::kOpenRead, FileShare::kReadWrite, true},
    {"SharedRefusesExclusive", FileShare::kReadWrite, Opener::kOpenReadWrite, FileShare::kNone, false},
    {"SharedRefusesExclusiveCreate", FileShare::kReadWrite, Opener::kCreateAlways, FileShare::kNone, false},
    {"SharedAllowsSharedCreate", FileShare::kReadWrite, Opener::kCreateAlways, FileShare::kReadWrite, true},
};

std::vector<ShareParam> AllShareParams() {
  std::vector<ShareParam> params;
  for (bool other_process : {false, true}) {
    for (const ShareCase& c : kShareCases) params.push_back({c, other_process});
  }
  return params;
}

INSTANTIATE_TEST_SUITE_P(Holders, ShareModes, testing::ValuesIn(AllShareParams()),
                         [](const testing::TestParamInfo<ShareParam>& info) {
                           return std::string(info.param.other_process ? "OtherProcess_"
                                                                       : "SameProcess_") +
                                  info.param.c.name;
                         });

// ---------------------------------------------------------------------------------------------
// Attributes and open failures.

TEST_F(OsFileTest, ReadOnlyAttributeRefusesWritingEvenToRoot) {
  kura_test::WriteNativeFile(native_, "keep");
  ASSERT_TRUE(platform::SetReadOnlyAttribute(path_, true));
  struct stat st;
  ASSERT_EQ(stat(native_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  platform::FileAttributes attributes;
  ASSERT_TRUE(platform::QueryFileAttributes(path_, &attributes));
  EXPECT_TRUE(attributes.read_only);

  EXPECT_FALSE(Open(path_));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(OsFile::CreateAlways(path_, FileAccess::kReadWrite, FileShare::kReadWrite));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAccessDenied);
  EXPECT_EQ(kura_test::ReadNativeFile(native_), "keep");

  auto reader = Open(path_, FileShare::kReadWrite, FileAccess::kRead);
  ASSERT_TRUE(reader);
  char buffer[8] = {};
  EXPECT_EQ(reader->Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(reader->Write("x", 1), -1);
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(reader->SetEndOfFile());
  // Locks work through a read-only handle too.
  EXPECT_TRUE(reader->LockRange(kTop - 1, 1));
  reader.reset();

  ASSERT_TRUE(platform::SetReadOnlyAttribute(path_, false));
  EXPECT_TRUE(Open(path_));
}

TEST_F(OsFileTest, OpenFailuresCarryTheWindowsErrors) {
  ASSERT_TRUE(platform::MakeDirectory(dir_.EnginePath("folder")));
  const struct {
    std::string path;
    Opener opener;
    int error;
  } cases[] = {
      {dir_.EnginePath("missing.dat"), Opener::kOpenReadWrite, platform::kErrorFileNotFound},
      {dir_.EnginePath("missing.dat"), Opener::kOpenRead, platform::kErrorFileNotFound},
      {dir_.EnginePath("nofolder\\x.dat"), Opener::kOpenRead, platform::kErrorPathNotFound},
      {dir_.EnginePath("nofolder\\x.dat"), Opener::kCreateAlways, platform::kErrorPathNotFound},
      {dir_.EnginePath("table.dat\\x.dat"), Opener::kOpenRead, platform::kErrorPathNotFound},
      {dir_.EnginePath("folder"), Opener::kOpenRead, platform::kErrorAccessDenied},
      {dir_.EnginePath("folder"), Opener::kOpenReadWrite, platform::kErrorAccessDenied},
      {dir_.EnginePath("folder"), Opener::kCreateAlways, platform::kErrorAccessDenied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    platform::SetLastOsError(platform::kErrorSuccess);
    EXPECT_FALSE(OpenAs(c.path, c.opener, FileShare::kReadWrite));
    EXPECT_EQ(platform::LastOsError(), c.error);
  }
}

TEST_F(OsFileTest, FindsANameThatDiffersInCaseOnly) {
  kura_test::WriteNativeFile(dir_.NativePath("Kura.LCK"), "abc");
  auto file = Open(dir_.EnginePath("kura.lck"));
  ASSERT_TRUE(file);
  char buffer[4] = {};
  EXPECT_EQ(file->Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer), "abc");
  file.reset();
  // Create-always reuses the existing entry instead of adding a second one.
  file = OsFile::CreateAlways(dir_.EnginePath("KURA.lck"), FileAccess::kReadWrite, FileShare::kNone);
  ASSERT_TRUE(file);
  EXPECT_EQ(kura_test::ReadNativeFile(dir_.NativePath("Kura.LCK")), "");
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("KURA.lck")));
}

// ---------------------------------------------------------------------------------------------
// Reading, writing, positioning.

TEST_F(OsFileTest, SequentialTransfersMoveTheFilePointer) {
  auto file = OsFile::CreateAlways(path_, FileAccess::kReadWrite, FileShare::kNone);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Write("hello world", 11), 11);
  EXPECT_EQ(file->Seek(0, SeekOrigin::kCurrent), 11);
  EXPECT_EQ(file->Seek(-5, SeekOrigin::kEnd), 6);
  char buffer[16] = {};
  EXPECT_EQ(file->Read(buffer, sizeof buffer), 5);  // shortened at the end
  EXPECT_EQ(std::string(buffer), "world");
  EXPECT_EQ(file->Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(file->Seek(100, SeekOrigin::kBegin), 100);
  EXPECT_EQ(file->Read(buffer, 1), 0);  // past the end
  EXPECT_EQ(file->Seek(-1, SeekOrigin::kBegin), -1);
  EXPECT_EQ(platform::LastOsError(), platform::kErrorInvalidParameter);
  EXPECT_EQ(file->Read(buffer, -1), -1);
  // Positioned transfers leave the pointer alone.
  EXPECT_EQ(file->Seek(2, SeekOrigin::kBegin), 2);
  EXPECT_EQ(file->WriteAt(0, "J", 1), 1);
  EXPECT_EQ(file->ReadAt(0, buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "Jello");
  EXPECT_EQ(file->Seek(0, SeekOrigin::kCurrent), 2);
  EXPECT_TRUE(file->Flush());
}

TEST_F(OsFileTest, PositionedIoPastFourGigabytesOnASparseFile) {
  auto file = OsFile::CreateAlways(path_, FileAccess::kReadWrite, FileShare::kNone);
  ASSERT_TRUE(file);
  const int64_t far = (int64_t{5} << 30) + 12345;  // past 2^32
  ASSERT_EQ(file->WriteAt(far, "tail", 4), 4);
  EXPECT_EQ(file->Size(), far + 4);
  EXPECT_EQ(file->Seek(0, SeekOrigin::kEnd), far + 4);
  char buffer[8] = {};
  EXPECT_EQ(file->ReadAt(far, buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "tail");
  EXPECT_EQ(file->ReadAt(far - 4, buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));
  // The same through the file pointer, at an offset whose low 32 bits are small.
  EXPECT_EQ(file->Seek(int64_t{1} << 32, SeekOrigin::kBegin), int64_t{1} << 32);
  EXPECT_EQ(file->Write("mid", 3), 3);
  EXPECT_EQ(file->ReadAt(int64_t{1} << 32, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "mid");
  EXPECT_EQ(file->ReadAt(3, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), std::string(3, '\0'));
}

TEST_F(OsFileTest, SetEndOfFileCutsAndExtendsAtThePointer) {
  auto file = OsFile::CreateAlways(path_, FileAccess::kReadWrite, FileShare::kNone);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->Write(std::string(100, 'x').data(), 100), 100);
  ASSERT_EQ(file->Seek(40, SeekOrigin::kBegin), 40);
  ASSERT_TRUE(file->SetEndOfFile());
  EXPECT_EQ(file->Size(), 40);
  ASSERT_EQ(file->Seek(1000, SeekOrigin::kBegin), 1000);
  ASSERT_TRUE(file->SetEndOfFile());
  EXPECT_EQ(file->Size(), 1000);
  char buffer[2] = {};
  EXPECT_EQ(file->ReadAt(39, buffer, 2), 2);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(buffer[1], '\0');  // the cut bytes do not come back
  EXPECT_TRUE(file->Flush());
  file.reset();
  EXPECT_EQ(kura_test::ReadNativeFile(native_).size(), 1000u);
}

TEST_F(OsFileTest, CreateAlwaysTruncatesAnUnheldFile) {
  kura_test::WriteNativeFile(native_, "old contents");
  auto file = OsFile::CreateAlways(path_, FileAccess::kReadWrite, FileShare::kNone);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 0);
  EXPECT_EQ(file->access(), FileAccess::kReadWrite);
  EXPECT_EQ(file->share(), FileShare::kNone);
  EXPECT_EQ(file->path(), path_);
}

}  // namespace
