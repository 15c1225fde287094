#include "engine/core/file_registry.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/base_file.h"
#include "engine/core/data_engine.h"
#include "engine/core/error_codes.h"
#include "engine/core/physical_file.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/threads.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

using kura::TBaseFile;
using kura::TDataEngine;
using kura_test::TempDir;

constexpr bool kDisk = false;
constexpr bool kMemory = true;

// An open through the registry with its results.
struct Opened {
  int32_t handle = 0;
  TBaseFile* file = nullptr;
  bool marked_read_only = false;
  bool read_only = false;
};

class FileRegistryTest : public testing::Test {
 protected:
  Opened Open(const std::string& name, bool memory = kDisk, bool exclusive = false,
              bool read_only = false, bool temporary = false) {
    return OpenWith(engine_, name, memory, exclusive, read_only, temporary);
  }
  static Opened OpenWith(TDataEngine& engine, const std::string& name, bool memory,
                         bool exclusive = false, bool read_only = false, bool temporary = false) {
    Opened o;
    o.read_only = read_only;
    o.handle = engine.OpenFile(name, memory, &o.file, &o.marked_read_only, &o.read_only,
                               exclusive, temporary, false);
    return o;
  }
  Opened Create(const std::string& name, bool memory = kDisk, bool temporary = false) {
    Opened o;
    o.handle = engine_.CreateFile(name, memory, &o.file, temporary, false);
    return o;
  }
  void Close(const Opened& o, bool memory = kDisk) {
    ASSERT_EQ(engine_.CloseFile(o.file, memory, o.handle), 0);
  }
  // A disk file with content, made outside the engine.
  std::string MakeFile(const std::string& name, const std::string& bytes = "content") {
    kura_test::WriteNativeFile(dir_.NativePath(name), bytes);
    return dir_.EnginePath(name);
  }
  std::string ReadAll(const Opened& o) {
    std::string bytes(1000, '\0');
    o.file->Seek(o.handle, 0, 0);
    int32_t n = o.file->Read(o.handle, bytes.data(), static_cast<int32_t>(bytes.size()));
    bytes.resize(n < 0 ? 0 : n);
    return bytes;
  }

  TempDir dir_;
  TDataEngine engine_;
};

TEST_F(FileRegistryTest, ASecondOpenSharesTheObjectAndItsOSHandle) {
  std::string path = MakeFile("t.dat");
  Opened first = Open(path);
  ASSERT_GT(first.handle, 0);
  Opened second = Open(path);
  ASSERT_GT(second.handle, 0);
  EXPECT_EQ(second.file, first.file);
  EXPECT_EQ(second.handle, first.handle + 1);
  EXPECT_EQ(first.file->UseCount(), 2);
  auto* physical = dynamic_cast<kura::TPhysicalFile*>(first.file);
  ASSERT_NE(physical, nullptr);
  EXPECT_EQ(physical->PhysicalHandle()->access(), platform::FileAccess::kReadWrite);

  Close(first);
  EXPECT_EQ(ReadAll(second), "content") << "the OS handle stays open for the other handle";
  Close(second);
  int32_t index;
  EXPECT_FALSE(engine_.FindFile(path, kDisk, &index)) << "the last close frees the object";
  EXPECT_EQ(engine_.CloseFile(second.file, kDisk, second.handle), -kura::KURA_OSENOENT);
}

// Names are the same registered file whatever their letter case or surrounding blanks.
TEST_F(FileRegistryTest, NamesDifferingInCaseOrBlanksAreOneFile) {
  std::string path = MakeFile("Kamoku.dat");
  Opened first = Open(path);
  ASSERT_GT(first.handle, 0);
  std::string blanks = "  ";
  blanks += path;
  blanks += ' ';
  std::string tab = "\t";
  tab += dir_.EnginePath("kamoku.dat");
  for (const std::string& alias : {dir_.EnginePath("KAMOKU.DAT"), blanks, tab}) {
    Opened other = Open(alias);
    EXPECT_EQ(other.file, first.file) << '"' << alias << '"';
    Close(other);
  }
  Close(first);

  // In memory, where nothing else could join them.
  Opened memory = Create("\\memory\\Table.dat", kMemory);
  ASSERT_GT(memory.handle, 0);
  Close(memory, kMemory);
  Opened alias = Open(" \\MEMORY\\table.DAT", kMemory);
  EXPECT_EQ(alias.file, memory.file);
  Close(alias, kMemory);
  // Different characters stay different files, also where a collation might call them equal.
  Opened wide = Create("\\memory\\\x82\x73\x82\x81\x82\x82\x82\x8c\x82\x85.dat", kMemory);
  ASSERT_GT(wide.handle, 0);
  EXPECT_NE(wide.file, memory.file);
  Close(wide, kMemory);
}

TEST_F(FileRegistryTest, ExclusiveConflictsAreRefusedWithoutTouchingTheDisk) {
  std::string path = MakeFile("t.dat");
  Opened shared = Open(path);
  ASSERT_GT(shared.handle, 0);
  // Gone from the disk: only the registry can answer now.
  std::filesystem::remove(dir_.NativePath("t.dat"));
  EXPECT_EQ(Open(path, kDisk, /*exclusive=*/true).handle, -kura::KURA_OSEACCES);
  EXPECT_EQ(Create(path).handle, -kura::KURA_OSEACCES);
  Close(shared);

  std::string other = MakeFile("u.dat");
  Opened exclusive = Open(other, kDisk, /*exclusive=*/true);
  ASSERT_GT(exclusive.handle, 0);
  EXPECT_EQ(Open(other).handle, -kura::KURA_OSEACCES);
  Close(exclusive);

  // A file just created is exclusive until its creator closes it.
  Opened created = Create(dir_.EnginePath("new.dat"));
  ASSERT_GT(created.handle, 0);
  EXPECT_TRUE(created.file->Exclusive());
  EXPECT_EQ(Open(dir_.EnginePath("new.dat")).handle, -kura::KURA_OSEACCES);
  Close(created);
  Opened reopened = Open(dir_.EnginePath("new.dat"));
  EXPECT_GT(reopened.handle, 0);
  Close(reopened);
}

TEST_F(FileRegistryTest, MissingFilesAndFoldersAreReportedAsMissing) {
  EXPECT_EQ(Open(dir_.EnginePath("none.dat")).handle, -kura::KURA_OSENOENT);
  EXPECT_EQ(Open(dir_.EnginePath("no\\such\\folder.dat")).handle, -kura::KURA_OSENOENT);
  EXPECT_EQ(Open("\\memory\\none.dat", kMemory).handle, -kura::KURA_OSENOENT);
  EXPECT_EQ(Create(dir_.EnginePath("no\\folder.dat")).handle, -kura::KURA_OSENOENT);
  EXPECT_EQ(engine_.CloseFile(nullptr, kDisk, 1), -kura::KURA_OSENOENT);
}

TEST_F(FileRegistryTest, TheReadOnlyAttributeGivesAMarkedReadOnlyHandle) {
  std::string path = MakeFile("r.dat");
  ASSERT_TRUE(platform::SetReadOnlyAttribute(path, true));
  Opened o = Open(path);
  ASSERT_GT(o.handle, 0);
  EXPECT_TRUE(o.read_only);
  EXPECT_TRUE(o.marked_read_only);
  EXPECT_EQ(o.file->Write(o.handle, "x", 1), -1);
  EXPECT_EQ(ReadAll(o), "content");

  // A later caller asking for writing shares the read-only OS handle and is told so.
  Opened second = Open(path, kDisk, false, /*read_only=*/false);
  ASSERT_GT(second.handle, 0);
  EXPECT_TRUE(second.read_only);
  EXPECT_TRUE(second.marked_read_only);
  Close(second);
  Close(o);
}

TEST_F(FileRegistryTest, TemporaryFilesGoAwayWithTheirLastHandle) {
  std::string path = dir_.EnginePath("scratch.dat");
  Opened disk = Create(path, kDisk, /*temporary=*/true);
  ASSERT_GT(disk.handle, 0);
  EXPECT_EQ(disk.file->Write(disk.handle, "abc", 3), 3);
  EXPECT_TRUE(kura_test::NativeFileExists(dir_.NativePath("scratch.dat")));
  Close(disk);
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("scratch.dat")));

  Opened memory = Create("\\memory\\scratch.dat", kMemory, /*temporary=*/true);
  ASSERT_GT(memory.handle, 0);
  Close(memory, kMemory);
  EXPECT_FALSE(engine_.FileExists("\\memory\\scratch.dat", kMemory));
}

TEST_F(FileRegistryTest, MemoryFilesKeepTheirContentsUntilDeleted) {
  const std::string name = "\\memory\\keep.dat";
  Opened created = Create(name, kMemory);
  ASSERT_EQ(created.handle, 1);
  ASSERT_EQ(created.file->Write(created.handle, "kept", 4), 4);
  Close(created, kMemory);
  EXPECT_TRUE(engine_.FileExists(name, kMemory));

  Opened again = Open(name, kMemory);
  ASSERT_GT(again.handle, 0);
  EXPECT_EQ(again.file, created.file);
  EXPECT_EQ(again.handle, 2) << "the object lived on, and so did its handle numbers";
  EXPECT_EQ(ReadAll(again), "kept");
  EXPECT_EQ(engine_.DeleteFile(name, kMemory), -kura::KURA_OSEACCES) << "deleting an open file";
  Close(again, kMemory);
  EXPECT_EQ(engine_.DeleteFile(name, kMemory), 0);
  EXPECT_FALSE(engine_.FileExists(name, kMemory));
  EXPECT_EQ(engine_.DeleteFile(name, kMemory), -kura::KURA_OSENOENT);
  EXPECT_EQ(Open(name, kMemory).handle, -kura::KURA_OSENOENT);
}

TEST_F(FileRegistryTest, RenameAndDeleteRefuseOpenFilesAndTakenNames) {
  std::string a = MakeFile("a.dat"), b = MakeFile("b.dat");
  std::string c = dir_.EnginePath("c.dat");
  Opened open_a = Open(a);
  EXPECT_EQ(engine_.RenameFile(a, kDisk, c), -kura::KURA_OSEACCES);
  EXPECT_EQ(engine_.RenameFile(b, kDisk, a), -kura::KURA_OSEACCES) << "the new name is open";
  EXPECT_EQ(engine_.DeleteFile(a, kDisk), -kura::KURA_OSEACCES);
  Close(open_a);
  EXPECT_EQ(engine_.RenameFile(b, kDisk, a), -kura::KURA_OSEACCES) << "the new name exists";
  EXPECT_EQ(engine_.RenameFile(a, kDisk, c), 0);
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("a.dat")));
  EXPECT_EQ(kura_test::ReadNativeFile(dir_.NativePath("c.dat")), "content");
  EXPECT_EQ(engine_.DeleteFile(c, kDisk), 0);
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("c.dat")));
  EXPECT_EQ(engine_.DeleteFile(c, kDisk), -kura::KURA_OSENOENT);

  Opened m1 = Create("\\memory\\m1.dat", kMemory);
  Opened m2 = Create("\\memory\\m2.dat", kMemory);
  Close(m2, kMemory);
  EXPECT_EQ(engine_.RenameFile("\\memory\\m1.dat", kMemory, "\\memory\\m3.dat"),
            -kura::KURA_OSEACCES);
  Close(m1, kMemory);
  EXPECT_EQ(engine_.RenameFile("\\memory\\m1.dat", kMemory, "\\memory\\m2.dat"),
            -kura::KURA_OSEACCES);
  EXPECT_EQ(engine_.RenameFile("\\memory\\m1.dat", kMemory, "\\memory\\m0.dat"), 0);
  EXPECT_EQ(m1.file->FileName(), "\\memory\\m0.dat");
  int32_t index = -1;
  EXPECT_TRUE(engine_.FindFile("\\memory\\m0.dat", kMemory, &index));
  EXPECT_EQ(index, 0) << "re-inserted at its sorted place";
  EXPECT_FALSE(engine_.FindFile("\\memory\\m1.dat", kMemory, &index));
  EXPECT_EQ(engine_.RenameFile("\\memory\\gone.dat", kMemory, "\\memory\\x.dat"),
            -kura::KURA_OSENOENT);
}

TEST_F(FileRegistryTest, FileNamesComeInEnumerationOrderFromDiskAndSortedFromMemory) {
  for (const char* name : {"b.dat", "a.dat", "c.idx", "d.DAT"}) MakeFile(name);
  std::filesystem::create_directory(dir_.NativePath("e.dat"));

  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::FindFiles(dir_.EnginePath("*.dat"), &entries));
  std::vector<std::string> expected_names, expected_paths;
  for (const auto& e : entries) {
    if (e.is_directory) continue;
    expected_names.push_back(platform::ChangeFileExt(e.name, ""));
    expected_paths.push_back(dir_.EnginePath(e.name));
  }
  ASSERT_EQ(expected_names.size(), 3u);
  std::vector<std::string> list = {"stale"};
  engine_.GetFileNames(kDisk, dir_.EnginePath("*.dat"), false, false, &list);
  EXPECT_EQ(list, expected_names);
  engine_.GetFileNames(kDisk, dir_.EnginePath("*.dat"), true, true, &list);
  EXPECT_EQ(list, expected_paths);
  engine_.GetFileNames(kDisk, dir_.EnginePath("?.idx"), false, true, &list);
  EXPECT_EQ(list, std::vector<std::string>{"c.idx"});

  for (const char* name : {"\\mem\\c.dat", "\\mem\\a.dat", "\\mem\\B.dat", "\\mem\\a.idx",
                           "\\other\\a.dat"}) {
    Opened o = Create(name, kMemory);
    ASSERT_GT(o.handle, 0) << name;
    Close(o, kMemory);
  }
  engine_.GetFileNames(kMemory, "\\MEM\\*.dat", false, false, &list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "B", "c"}));
  engine_.GetFileNames(kMemory, "\\mem\\a.*", true, true, &list);
  EXPECT_EQ(list, (std::vector<std::string>{"\\mem\\a.dat", "\\mem\\a.idx"}));
}

TEST_F(FileRegistryTest, TempFileNamesSkipNamesThatExist) {
  std::string digits = std::to_string(platform::CurrentThreadId()).substr(0, 5);
  std::string first = engine_.GetTempFileName(dir_.engine(), ".tmp", kDisk);
  EXPECT_EQ(first, dir_.engine() + "\\" + digits + "0.tmp");
  MakeFile(digits + "0.tmp");
  EXPECT_EQ(engine_.GetTempFileName(dir_.engine() + "\\", ".tmp", kDisk),
            dir_.engine() + "\\" + digits + "1.tmp");

  Opened m = Create("\\mem\\" + digits + "0.tmp", kMemory);
  Close(m, kMemory);
  EXPECT_EQ(engine_.GetTempFileName("\\mem", ".tmp", kMemory), "\\mem\\" + digits + "1.tmp");
}

TEST_F(FileRegistryTest, FileExistsKnowsRegisteredNamesAndFilesButNotFolders) {
  std::string path = MakeFile("x.dat");
  EXPECT_TRUE(engine_.FileExists(path, kDisk));
  EXPECT_FALSE(engine_.FileExists(dir_.engine(), kDisk));
  EXPECT_FALSE(engine_.FileExists(path, kMemory));
  Opened m = Create(path, kMemory);
  Close(m, kMemory);
  EXPECT_TRUE(engine_.FileExists(path, kMemory));
}

// Two engines in one process hold two OS handles, which exclude each other as two programs do;
// one OS handle refuses a range it already holds.
TEST_F(FileRegistryTest, RangeLocksOfDiskFilesConflictAcrossHandles) {
  std::string path = MakeFile("lock.dat");
  TDataEngine other_engine;
  Opened mine = Open(path);
  Opened theirs = OpenWith(other_engine, path, kDisk);
  ASSERT_GT(mine.handle, 0);
  ASSERT_GT(theirs.handle, 0);
  const int64_t far = 0xFFFFFFFE;
  EXPECT_TRUE(mine.file->Lock(far, 1));
  EXPECT_FALSE(mine.file->Lock(far, 1));
  EXPECT_FALSE(theirs.file->Lock(far - 5, 10));
  EXPECT_TRUE(theirs.file->Lock(far - 5, 5));
  EXPECT_TRUE(mine.file->Unlock(far, 1));
  EXPECT_TRUE(theirs.file->Lock(far, 1));
  Close(mine);
  ASSERT_EQ(other_engine.CloseFile(theirs.file, kDisk, theirs.handle), 0);
}

TEST_F(FileRegistryTest, AnotherProcessCannotOpenAFileHeldExclusively) {
  std::string path = MakeFile("shared.dat");
  Opened held = Open(path, kDisk, /*exclusive=*/true);
  ASSERT_GT(held.handle, 0);
  kura_test::ChildProcess child([&] {
    TDataEngine engine;
    Opened o = OpenWith(engine, path, kDisk);
    return o.handle == -kura::KURA_OSEACCES ? 0 : 1;
  });
  EXPECT_EQ(child.Wait(), 0);
  Close(held);
  kura_test::ChildProcess after([&] {
    TDataEngine engine;
    Opened o = OpenWith(engine, path, kDisk);
    return o.handle > 0 ? 0 : 1;
  });
  EXPECT_EQ(after.Wait(), 0);
}

}  // namespace
