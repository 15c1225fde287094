#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>

#include "platform/os_error.h"
#include "platform/os_file.h"
#include "tests/support/scoped_code_page.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::FileAccess;
using platform::FileShare;
using platform::OsFile;

class FileSystemTest : public testing::Test {
 protected:
  std::string Engine(const std::string& name) const { return dir_.EnginePath(name); }
  std::string Native(const std::string& name) const { return dir_.NativePath(name); }
  kura_test::TempDir dir_;
};

TEST_F(FileSystemTest, AttributesAndExistence) {
  kura_test::WriteNativeFile(Native("Data.Dat"), "12345");
  ASSERT_TRUE(platform::MakeDirectory(Engine("Sub")));
  platform::FileAttributes attributes;
  ASSERT_TRUE(platform::QueryFileAttributes(Engine("data.dat"), &attributes));
  EXPECT_FALSE(attributes.is_directory);
  EXPECT_FALSE(attributes.read_only);
  EXPECT_EQ(attributes.size, 5);
  ASSERT_TRUE(platform::QueryFileAttributes(Engine("SUB"), &attributes));
  EXPECT_TRUE(attributes.is_directory);

  EXPECT_TRUE(platform::FileExists(Engine("DATA.DAT")));
  EXPECT_FALSE(platform::FileExists(Engine("sub")));  // a folder is not a file
  EXPECT_TRUE(platform::DirectoryExists(Engine("sub")));
  EXPECT_FALSE(platform::DirectoryExists(Engine("data.dat")));
  EXPECT_FALSE(platform::FileExists(Engine("other.dat")));

  EXPECT_FALSE(platform::QueryFileAttributes(Engine("other.dat"), &attributes));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(platform::QueryFileAttributes(Engine("none\\other.dat"), &attributes));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorPathNotFound);
}

TEST_F(FileSystemTest, RemoveFileRefusesWhatWindowsRefuses) {
  kura_test::WriteNativeFile(Native("ro.dat"), "x");
  kura_test::WriteNativeFile(Native("open.dat"), "x");
  kura_test::WriteNativeFile(Native("plain.dat"), "x");
  ASSERT_TRUE(platform::SetReadOnlyAttribute(Engine("ro.dat"), true));
  ASSERT_TRUE(platform::MakeDirectory(Engine("folder")));
  auto holder = OsFile::OpenExisting(Engine("open.dat"), FileAccess::kRead, FileShare::kReadWrite);
  ASSERT_TRUE(holder);

  const struct {
    const char* name;
    int error;
  } refused[] = {
      {"ro.dat", platform::kErrorAccessDenied},
      {"folder", platform::kErrorAccessDenied},
      {"open.dat", platform::kErrorSharingViolation},
      {"missing.dat", platform::kErrorFileNotFound},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(platform::RemoveFile(Engine(c.name)));
    EXPECT_EQ(platform::LastOsError(), c.error);
    EXPECT_TRUE(std::string(c.name) == "missing.dat" || kura_test::NativeFileExists(Native(c.name)));
  }
  EXPECT_TRUE(platform::RemoveFile(Engine("PLAIN.dat")));
  EXPECT_FALSE(kura_test::NativeFileExists(Native("plain.dat")));
  holder.reset();
  EXPECT_TRUE(platform::RemoveFile(Engine("open.dat")));
}

TEST_F(FileSystemTest, RenameNeverReplacesAnExistingName) {
  kura_test::WriteNativeFile(Native("a.dat"), "A");
  kura_test::WriteNativeFile(Native("b.dat"), "B");
  EXPECT_FALSE(platform::RenameFile(Engine("a.dat"), Engine("b.dat")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAlreadyExists);
  EXPECT_FALSE(platform::RenameFile(Engine("a.dat"), Engine("B.DAT")));  // same name to Windows
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAlreadyExists);
  EXPECT_EQ(kura_test::ReadNativeFile(Native("a.dat")), "A");
  EXPECT_EQ(kura_test::ReadNativeFile(Native("b.dat")), "B");

  EXPECT_FALSE(platform::RenameFile(Engine("none.dat"), Engine("c.dat")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorFileNotFound);

  ASSERT_TRUE(platform::RenameFile(Engine("a.dat"), Engine("c.dat")));
  EXPECT_FALSE(kura_test::NativeFileExists(Native("a.dat")));
  EXPECT_EQ(kura_test::ReadNativeFile(Native("c.dat")), "A");

  // A change of letter case only is a rename of the file onto itself.
  ASSERT_TRUE(platform::RenameFile(Engine("c.dat"), Engine("C.DAT")));
  EXPECT_EQ(kura_test::ReadNativeFile(Native("C.DAT")), "A");
  EXPECT_FALSE(kura_test::NativeFileExists(Native("c.dat")));

  auto holder = OsFile::OpenExisting(Engine("b.dat"), FileAccess::kRead, FileShare::kReadWrite);
  ASSERT_TRUE(holder);
  EXPECT_FALSE(platform::RenameFile(Engine("b.dat"), Engine("d.dat")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorSharingViolation);
}

TEST_F(FileSystemTest, DirectoriesAreMadeAndRemoved) {
  EXPECT_TRUE(platform::MakeDirectory(Engine("one")));
  EXPECT_FALSE(platform::MakeDirectory(Engine("ONE")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAlreadyExists);
  EXPECT_FALSE(platform::MakeDirectory(Engine("none\\two")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorPathNotFound);

  kura_test::WriteNativeFile(Native("one/file"), "");
  EXPECT_FALSE(platform::RemoveEmptyDirectory(Engine("one")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorDirNotEmpty);
  ASSERT_TRUE(platform::RemoveFile(Engine("one\\file")));
  EXPECT_TRUE(platform::RemoveEmptyDirectory(Engine("One")));
  EXPECT_FALSE(platform::DirectoryExists(Engine("one")));
}

TEST_F(FileSystemTest, ForceDirectoriesCreatesEveryMissingLevel) {
  ASSERT_TRUE(platform::MakeDirectory(Engine("Documents")));
  // The existing level is found without regard to case; the rest is created below it.
  ASSERT_TRUE(platform::ForceDirectories(Engine("documents\\SoramiV8\\Table\\")));
  EXPECT_TRUE(kura_test::NativeFileExists(Native("Documents/SoramiV8/Table")));
  EXPECT_FALSE(kura_test::NativeFileExists(Native("documents")));
  EXPECT_TRUE(platform::ForceDirectories(Engine("Documents\\SoramiV8\\Table")));  // exists: fine
  EXPECT_TRUE(platform::ForceDirectories(dir_.engine() + "\\\\x\\\\y"));          // repeated separators
  EXPECT_TRUE(kura_test::NativeFileExists(Native("x/y")));

  kura_test::WriteNativeFile(Native("plain"), "");
  EXPECT_FALSE(platform::ForceDirectories(Engine("plain\\a\\b")));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorAlreadyExists);
  EXPECT_FALSE(platform::ForceDirectories(""));
}

TEST_F(FileSystemTest, ForceDirectoriesHandlesDoubleByteNames) {
  kura_test::ScopedCodePage page(932);
  const std::string so = "\x83\x5C";  // trail byte 0x5C must not split the name
  ASSERT_TRUE(platform::ForceDirectories(Engine(so + "\\" + so)));
  EXPECT_TRUE(kura_test::NativeFileExists(Native("ソ/ソ")));
  EXPECT_TRUE(platform::DirectoryExists(Engine(so)));
}

// ---------------------------------------------------------------------------------------------
// Directory listings.

struct MaskCase {
  const char* mask;
  const char* name;
  bool matches;
};

TEST(MatchesMask, FollowsTheWindowsWildcardRules) {
  const MaskCase cases[] = {
      {"*", "anything.at.all", true},
      {"*.*", "noextension", true},
      {"*.*", ".hidden", true},
      {"*.dat", "table.dat", true},
      {"*.dat", "TABLE.DAT", true},
      {"*.DAT", "x.dat", true},
      {"*.dat", "table.data", false},
      {"*.dat", "table.dat.bak", false},
      {"*.dat", "a.b.dat", true},
      {"*.dat", "dat", false},
      {"t*", "table.dat", true},
      {"t*", "xt", false},
      {"*e*", "table", true},
      {"t?ble.dat", "table.dat", true},
      {"t?ble.dat", "tble.dat", false},
      {"a?b", "a.b", false},        // "?" never matches the period
      {"ab?.dat", "ab.dat", true},  // ... but matches nothing in front of it
      {"ab??", "ab", true},         // ... and at the end
      {"ab?", "abcd", false},
      {"*.", "noextension", true},
      {"*.", "with.ext", false},
      {"name.*", "name", true},
      {"name.*", "name.txt", true},
      {"name.*", "names.txt", false},
      {"kura.lck", "KURA.LCK", true},
      {"kura.lck", "kura.lck2", false},
      {"", "x", false},
      {"*.d*", "a.dat.x", true},
      {"**.*t", "a.dat", true},
  };
  for (const MaskCase& c : cases) {
    EXPECT_EQ(platform::MatchesMask(c.name, c.mask), c.matches) << c.mask << " / " << c.name;
  }
}

TEST(MatchesMask, IsDoubleByteAwareAndCostsNoBacktracking) {
  kura_test::ScopedCodePage page(932);
  EXPECT_TRUE(platform::MatchesMask("\x83\x5C.dat", "?.dat"));  // one character, two bytes
  EXPECT_TRUE(platform::MatchesMask("\x82\x81", "\x82\x60"));   // full-width a and A
  const std::string long_name(4000, 'a');
  EXPECT_FALSE(platform::MatchesMask(long_name, std::string(200, '*') + "b"));
}

std::vector<std::string> NativeOrder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

TEST_F(FileSystemTest, FindFilesListsInEnumerationOrder) {
  const char* files[] = {"SORAMI.dat", "SORAMI.idx", "KAMOKU.DAT", "kubun.dat", "kura.lck", "note"};
  for (const char* name : files) kura_test::WriteNativeFile(Native(name), name);
  ASSERT_TRUE(platform::MakeDirectory(Engine("sub.dat")));
  ASSERT_TRUE(platform::SetReadOnlyAttribute(Engine("note"), true));

  const struct {
    const char* mask;
    std::set<std::string> expected;
  } cases[] = {
      {"*.dat", {"SORAMI.dat", "KAMOKU.DAT", "kubun.dat", "sub.dat"}},
      {"*.*", {"SORAMI.dat", "SORAMI.idx", "KAMOKU.DAT", "kubun.dat", "kura.lck", "note", "sub.dat"}},
      {"SORAMI.*", {"SORAMI.dat", "SORAMI.idx"}},
      {"k?????.dat", {"KAMOKU.DAT", "kubun.dat"}},
      {"*.", {"note"}},
      {"*.blb", {}},
  };
  const std::vector<std::string> order = NativeOrder(dir_.native());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(platform::FindFiles(Engine(c.mask), &entries));
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    std::vector<std::string> expected_order;
    for (const auto& name : order) {
      if (c.expected.count(name)) expected_order.push_back(name);
    }
    EXPECT_EQ(names, expected_order);
  }

  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::FindFiles(Engine("*"), &entries));
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(entry.is_directory, entry.name == "sub.dat");
    EXPECT_EQ(entry.read_only, entry.name == "note");
    if (!entry.is_directory) {
      EXPECT_EQ(entry.size, static_cast<int64_t>(entry.name.size()));
    }
  }
  EXPECT_FALSE(platform::FindFiles(Engine("missing\\*.dat"), &entries));
  EXPECT_EQ(platform::LastOsError(), platform::kErrorPathNotFound);
  EXPECT_TRUE(entries.empty());
}

TEST_F(FileSystemTest, FindFilesGivesAnsiNames) {
  kura_test::ScopedCodePage page(932);
  kura_test::WriteNativeFile(Native("ソラミ.dat"), "");
  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::FindFiles(dir_.engine() + "\\*.DAT", &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "\x83\x5C\x83\x89\x83\x7E.dat");
}

// ---------------------------------------------------------------------------------------------
// Folders of the process.

TEST(Folders, TempFolderEndsInTheSeparator) {
  {
    kura_test::ScopedEnv tmp("TMPDIR", "/var/tmp/");
    EXPECT_EQ(platform::TempFolder(), "\\var\\tmp\\");
  }
  kura_test::ScopedEnv tmp("TMPDIR", nullptr);
  EXPECT_EQ(platform::TempFolder(), "\\tmp\\");
}

TEST(Folders, ExpandFileNameResolvesAgainstTheCurrentFolder) {
  const std::string cwd = platform::CurrentDirectory();
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(cwd[0], '\\');
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {"x.dat", cwd + "\\x.dat"},
      {".\\a\\..\\b\\", cwd + "\\b\\"},
      {"\\db\\.\\t\\..\\u", "\\db\\u"},
      {"/db//t", "\\db\\t"},
      {"\\..\\..", "\\"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ExpandFileName(c.path), c.expected) << c.path;
}

}  // namespace
