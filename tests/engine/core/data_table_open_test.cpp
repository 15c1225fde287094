#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/core/data_directory.h"
#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file.h"
#include "engine/core/lock_regions.h"
#include "engine/format/data_file.h"
#include "engine/format/data_header.h"
#include "engine/format/index_file.h"
#include "engine/format/index_header.h"
#include "engine/format/index_page.h"
#include "engine/format/record.h"
#include "platform/file_system.h"
#include "tests/support/child_process.h"
#include "tests/support/lock_probe.h"
#include "tests/support/session_fixture.h"

namespace {

using kura::TDataDirectory;
using kura::TDataTable;
using kura_test::EngineErrorOf;
using kura_test::SessionFixture;
using kura_test::TempDir;

// Overwrites bytes of a native file in place.
void Patch(const std::string& native, size_t offset, const std::string& bytes) {
  std::string contents = kura_test::ReadNativeFile(native);
  ASSERT_LE(offset + bytes.size(), contents.size());
  contents.replace(offset, bytes.size(), bytes);
  kura_test::WriteNativeFile(native, contents);
}

void Truncate(const std::string& native, size_t size) {
  kura_test::WriteNativeFile(native, kura_test::ReadNativeFile(native).substr(0, size));
}

std::string I32(int32_t v) {
  std::string s(4, '\0');
  kura::PutI32(reinterpret_cast<uint8_t*>(s.data()), v);
  return s;
}

struct OpenCase {
  const char* name;
  std::function<void(const TempDir&)> damage;
  uint16_t error;  // 0: the table opens
  bool missing_index = false;
};

const std::string kData = "T.dat";
const std::string kIndex = "T.idx";

std::vector<OpenCase> OpenCases() {
  namespace d = kura::data_header_offsets;
  namespace i = kura::index_header_offsets;
  auto data = [](const TempDir& dir) { return dir.NativePath(kData); };
  auto index = [](const TempDir& dir) { return dir.NativePath(kIndex); };
  return {
      {"Intact", [](const TempDir&) {}, 0},
      {"NoDataFile", [=](const TempDir& dir) { platform::RemoveFile(dir.EnginePath(kData)); },
       kura::KURA_OSENOENT},
      {"ShortDataHeader", [=](const TempDir& dir) { Truncate(data(dir), 100); },
       kura::KURA_READERR},
      {"OldDataVersion", [=](const TempDir& dir) { Patch(data(dir), d::kVersionNum, "\5"); },
       kura::KURA_OLDVERSION},
      {"NewerDataVersion", [=](const TempDir& dir) { Patch(data(dir), d::kVersionNum, "\7"); },
       kura::KURA_BADSIGNATURE},
      {"ForeignDataSignature",
       [=](const TempDir& dir) { Patch(data(dir), d::kFileSignature, std::string(16, 'S')); },
       kura::KURA_BADSIGNATURE},
      {"TooManyFields", [=](const TempDir& dir) { Patch(data(dir), d::kFieldCount, "\x01\x04"); },
       kura::KURA_HEADERCORRUPT},
      {"EncryptedWithoutPassword",
       [=](const TempDir& dir) {
         Patch(data(dir), d::kEncrypted, "\1" + std::string(16, 'P'));
       },
       kura::KURA_NOTSUFFTABLERIGHTS},
      // Found only by the header checks made under the table read lock.
      {"UnknownLocale",
       [=](const TempDir& dir) { Patch(data(dir), d::kLocaleID, I32(0x7FFF0000)); },
       kura::KURA_CANNOTLOADLDDRV},
      {"NoIndexFile", [=](const TempDir& dir) { platform::RemoveFile(dir.EnginePath(kIndex)); },
       0, true},
      {"ShortIndexFile", [=](const TempDir& dir) { Truncate(index(dir), 100); }, 0, true},
      {"OldIndexVersion", [=](const TempDir& dir) { Patch(index(dir), i::kVersionNum, "\4"); },
       kura::KURA_OLDVERSION},
      {"ForeignIndexSignature",
       [=](const TempDir& dir) { Patch(index(dir), i::kFileSignature, std::string(16, 'S')); },
       kura::KURA_BADSIGNATURE},
      {"IndexFreeChainOutsideTheFile",
       [=](const TempDir& dir) { Patch(index(dir), i::kNextFreePage, I32(999)); },
       kura::KURA_HEADERCORRUPT},
  };
}

class OpenOrderTest : public SessionFixture, public testing::WithParamInterface<OpenCase> {};

// Every check of the open, file by file; a failed open leaves no table object, no open file
// and no lock behind.
TEST_P(OpenOrderTest, OpensOrFailsWithTheFirstCheckThatFails) {
  const OpenCase& c = GetParam();
  CreateTable("T");
  TDataDirectory* directory = OpenDirectory();
  c.damage(dir_);
  TDataTable* table = nullptr;
  EXPECT_EQ(EngineErrorOf([&] { table = OpenTable(directory, "T"); }), c.error);
  if (c.error != 0) {
    EXPECT_EQ(directory->DataTableCount(), 0u);
    for (const std::string& path : {DataPath("T"), IndexPath("T")}) {
      if (!engine_.FileExists(path, false)) continue;
      kura::TBaseFile* file = nullptr;
      bool marked = false, read_only = false;
      int32_t handle = engine_.OpenFile(path, false, &file, &marked, &read_only, true, false, false);
      EXPECT_GT(handle, 0) << path << " is still open";
      if (handle > 0) engine_.CloseFile(file, false, handle);
    }
  } else {
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->IsOpen());
    EXPECT_EQ(table->MissingIndex(), c.missing_index);
    EXPECT_EQ(table->IndexFile()->Header().VersionNum, kura::kIndexFileVersion);
    EXPECT_GE(kura_test::ReadNativeFile(dir_.NativePath(kIndex)).size(),
              static_cast<size_t>(kura::kIndexFileHeaderSize));
    EXPECT_NE(table->DataTableLocks(), nullptr);
  }
  // The open's read lock is given back in every case.
  EXPECT_EQ(kura_test::ProbeLocksFromChild(LockPath(), {{kura::TableWriteRegion(engine_, 1).offset,
                                                         kura::TableWriteRegion(engine_, 1).length}}),
            std::vector<bool>{false});
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenOrderTest, testing::ValuesIn(OpenCases()),
                         [](const testing::TestParamInfo<OpenCase>& info) {
                           return info.param.name;
                         });

class SharedTableTest : public SessionFixture {};

TEST_F(SharedTableTest, CursorsOfASessionShareOneTableObject) {
  CreateTable("Kamoku");
  TDataDirectory* directory = OpenDirectory();
  TDataTable* first = OpenTable(directory, "Kamoku");
  TDataTable* second = OpenTable(directory, "KAMOKU.dat");
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->UseCount(), 2);
  EXPECT_EQ(first->ClientUseCount(), 2);
  EXPECT_EQ(first->TableID(), 1);
  CloseTable(directory, first);
  EXPECT_EQ(directory->FindDataTable("kamoku"), first);
  EXPECT_TRUE(first->IsOpen());
  CloseTable(directory, second);
  EXPECT_EQ(directory->DataTableCount(), 0u);
  EXPECT_EQ(EngineErrorOf([&] { CloseTable(directory, first); }), kura::KURA_OSENOENT);
}

struct ExclusiveCase {
  const char* name;
  bool first_exclusive;
  bool second_exclusive;
  bool second_in_other_session;
};

class ExclusiveOpenTest : public SessionFixture,
                          public testing::WithParamInterface<ExclusiveCase> {};

// Exclusive opens conflict with every other open, inside the session (11013 from the
// directory) and across sessions (11013 from the share modes of the files).
TEST_P(ExclusiveOpenTest, ConflictingOpenIsRefusedWithAccessDenied) {
  const ExclusiveCase& c = GetParam();
  CreateTable("T");
  TDataTable* first = OpenTable(OpenDirectory(), "T", c.first_exclusive);
  TDataDirectory* other = OpenDirectory(c.second_in_other_session ? NewSession() : session_);
  EXPECT_EQ(EngineErrorOf([&] { OpenTable(other, "T", c.second_exclusive); }),
            kura::KURA_OSEACCES);
  EXPECT_EQ(first->UseCount(), 1);
  EXPECT_TRUE(first->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExclusiveOpenTest,
    testing::Values(ExclusiveCase{"SharedThenExclusive", false, true, false},
                    ExclusiveCase{"ExclusiveThenShared", true, false, false},
                    ExclusiveCase{"ExclusiveThenExclusive", true, true, false},
                    ExclusiveCase{"OtherSessionShared", true, false, true},
                    ExclusiveCase{"OtherSessionExclusive", false, true, true}),
    [](const testing::TestParamInfo<ExclusiveCase>& info) { return info.param.name; });

class ReadOnlyFileTest : public SessionFixture, public testing::WithParamInterface<const char*> {};

// A table with the read-only attribute on any of its files opens read-only, takes no lock-file
// lock and is not registered in the lock file.
TEST_P(ReadOnlyFileTest, MarkedTableOpensReadOnlyWithoutRegistering) {
  TDataDirectory* directory = OpenDirectory();  // the lock file exists before the table
  CreateTable("T");
  std::string lock_file = kura_test::ReadNativeFile(dir_.NativePath("kura.lck"));
  ASSERT_TRUE(platform::SetReadOnlyAttribute(dir_.EnginePath(GetParam()), true));
  TDataTable* table = OpenTable(directory, "T");
  EXPECT_TRUE(table->ReadOnly());
  EXPECT_TRUE(table->MarkedReadOnly());
  EXPECT_EQ(table->DataTableLocks(), nullptr);
  EXPECT_EQ(directory->Locks()->FindDataTable("T"), -1);
  EXPECT_EQ(kura_test::ReadNativeFile(dir_.NativePath("kura.lck")), lock_file);
  // Lock calls do nothing on such a table; semaphores still work.
  EXPECT_FALSE(table->ReadLockTable());
  EXPECT_FALSE(table->LockRecord(1));
  EXPECT_FALSE(table->CheckForRecordLock(1));
  EXPECT_TRUE(table->LockSemaphore(3));
  EXPECT_FALSE(table->FlushBuffers(false, true, true, false, false));
}

INSTANTIATE_TEST_SUITE_P(Files, ReadOnlyFileTest, testing::Values("T.dat", "T.idx"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param).substr(2);
                         });

// With KeepTablesOpen the last close keeps the files and caches but gives every lock back; a
// reopen reads nothing, and the next lock still notices what others changed meanwhile.
TEST_F(SharedTableTest, KeptTableReleasesItsLocksAndReadsNothingWhenReopened) {
  CreateTable("T");
  TDataDirectory* directory = OpenDirectory(nullptr, true);
  TDataTable* table = OpenTable(directory, "T");
  kura_test::AppendAmount(table, 5);
  table->LockRecord(1);
  table->ReadUnlockTable();
  ASSERT_TRUE(table->CheckForRecordLock(1));
  CloseTable(directory, table);
  ASSERT_EQ(directory->FindDataTable("T"), table);
  EXPECT_TRUE(table->IsOpen());
  EXPECT_FALSE(table->CheckForRecordLock(1));
  EXPECT_TRUE(table->DataTableLocks()->LockStates().Empty());
  EXPECT_EQ(kura_test::ProbeLocksFromChild(DataPath("T"), {{kura::RecordLockByte(engine_, 1).offset, 1}}),
            std::vector<bool>{false});

  kura_test::ChildProcess writer([&] {
    kura::TDataEngine engine;
    engine.Initialize("kura.lck");
    kura::TDataSession* session = engine.StartDataSession();
    TDataDirectory* d = session->OpenDataDirectory("db", dir_.engine(), false);
    kura_test::AppendAmount(OpenTable(d, "T"), 6);
    return 0;
  });
  ASSERT_EQ(writer.Wait(), 0);

  EXPECT_EQ(OpenTable(directory, "T"), table);
  EXPECT_EQ(table->DataFile()->RecordCount(), 1);
  EXPECT_TRUE(table->ReadLockTable());
  EXPECT_EQ(table->DataFile()->RecordCount(), 2);
  table->ReadUnlockTable();
}

// A table opened read-only may not write: a missing index file is not made anew, the records
// stay readable, and the table still takes part in the locking.
TEST_F(SharedTableTest, ReadOnlyOpenLeavesAMissingIndexMissing) {
  CreateTable("T");
  ASSERT_TRUE(platform::RemoveFile(IndexPath("T")));
  TDataDirectory* directory = OpenDirectory();
  directory->SetTablesReadOnly(true);
  TDataTable* table = OpenTable(directory, "T");
  EXPECT_TRUE(table->ReadOnly());
  EXPECT_FALSE(table->MarkedReadOnly());
  EXPECT_TRUE(table->MissingIndex());
  EXPECT_FALSE(table->IndexFile()->IsOpen());
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("T.idx")));
  EXPECT_EQ(table->TableID(), 1);
  EXPECT_FALSE(table->ReadLockTable());
  EXPECT_TRUE(table->DataTableLocks()->LockStates().Contains(kura::lsReadLocked));
  table->ReadUnlockTable();
}

// Private buffers for a cursor: sized like the table's blocks, never part of a cache.
TEST_F(SharedTableTest, PrivateBuffersStayOutOfTheCaches) {
  CreateTable("T");
  TDataTable* table = OpenTable(OpenDirectory(), "T");
  std::unique_ptr<kura::TRecord> record = table->CreateRecord();
  std::unique_ptr<kura::TPage> page = table->CreatePage(0);
  EXPECT_EQ(record->Size(), table->DataFile()->RecordLength());
  EXPECT_EQ(page->KeySize(), table->IndexFile()->GetIndexDefinition(0)->KeySize);
  EXPECT_EQ(table->DataFile()->BufferCount(), 0);
  EXPECT_EQ(table->IndexFile()->BufferCount(), 0);
}

// The in-memory directory keeps its lock file in the engine's memory registry; its sessions
// lock against each other as disk directories do.
TEST_F(SharedTableTest, InMemoryDirectoryLocksInMemory) {
  TDataDirectory* first = session_->OpenDataDirectory("memory", "", false);
  TDataDirectory* second = NewSession()->OpenDataDirectory("Memory", "", false);
  ASSERT_TRUE(first->InMemory());
  EXPECT_FALSE(first->ReadOnly());
  EXPECT_TRUE(engine_.FileExists("kura.lck", true));
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("kura.lck")));
  kura::TDataTableLocks* a = first->Locks()->AddDataTable("A");
  EXPECT_EQ(second->Locks()->AddDataTable("a")->TableID(), a->TableID());
  EXPECT_TRUE(a->WriteLock(true));
  EXPECT_EQ(EngineErrorOf([&] { second->Locks()->TableLocks(0)->ReadLock(); }),
            kura::KURA_READLOCK);
  a->WriteUnlock(true);
}

TEST_F(SharedTableTest, DirectoryObjectsAreSharedPerPathInASession) {
  TDataDirectory* first = session_->OpenDataDirectory("db", dir_.engine(), false);
  TDataDirectory* second = session_->OpenDataDirectory("other", "  " + dir_.engine() + "\\ ", false);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->UseCount(), 2);
  EXPECT_EQ(first->Directory(), dir_.engine() + "\\");
  EXPECT_EQ(first->GetProperDataDirectoryName(), dir_.engine());
  TDataDirectory* named = session_->OpenDataDirectory("other", dir_.engine(), false, true, true);
  EXPECT_NE(named, first);
  // Another session gets its own object for the same path.
  EXPECT_NE(NewSession()->OpenDataDirectory("db", dir_.engine(), false), first);
  session_->CloseDataDirectory(first);
  EXPECT_EQ(session_->DataDirectoryCount(), 2u);
  session_->CloseDataDirectory(first);
  EXPECT_EQ(session_->DataDirectoryCount(), 1u);
}

}  // namespace
