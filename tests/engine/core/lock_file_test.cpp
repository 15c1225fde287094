#include "engine/core/lock_file.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/core/engine_file.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file_list.h"
#include "engine/core/lock_regions.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "tests/support/child_process.h"
#include "tests/support/lock_probe.h"
#include "tests/support/process_identity.h"
#include "tests/support/table_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using kura::TDataDirectoryLocks;
using kura::TDataEngine;
using kura::TDataTableLocks;
using kura::TLockRegion;
using kura_test::ChildProcess;
using kura_test::ProbeRange;
using kura_test::Signal;
using kura_test::TempDir;

std::string LockFileBytes(const std::vector<std::string>& names, int32_t counter) {
  std::vector<uint8_t> list = kura::EncodeLockFileList(names);
  std::string bytes(4, '\0');
  kura::PutI32(reinterpret_cast<uint8_t*>(bytes.data()), counter);
  bytes.append(list.begin(), list.end());
  return bytes;
}

ProbeRange Probe(const TLockRegion& r) { return {r.offset, r.length}; }

class LockFileTest : public testing::Test {
 protected:
  LockFileTest() {
    engine_.Initialize("kura.lck");
    kura_test::UseFastLockRetries(engine_);
  }

  std::string Directory() const { return dir_.engine() + "\\"; }
  std::string LockPath() const { return dir_.EnginePath("kura.lck"); }
  std::string LockNative() const { return dir_.NativePath("kura.lck"); }
  std::unique_ptr<TDataDirectoryLocks> OpenLocks(TDataEngine& engine) const {
    auto locks = std::make_unique<TDataDirectoryLocks>(&engine, Directory(), false);
    locks->Open();
    return locks;
  }
  std::unique_ptr<TDataDirectoryLocks> OpenLocks() { return OpenLocks(engine_); }
  std::vector<bool> HeldElsewhere(const std::vector<TLockRegion>& regions) const {
    std::vector<ProbeRange> ranges;
    for (const TLockRegion& r : regions) ranges.push_back(Probe(r));
    return kura_test::ProbeLocksFromChild(LockPath(), ranges);
  }

  TempDir dir_;
  TDataEngine engine_;
};

TEST_F(LockFileTest, MissingLockFileIsCreatedListingTheTablesInDirectoryOrder) {
  for (const char* name : {"kamoku.dat", "SORAMI.DAT", "kubun.dat", "notes.txt"}) {
    kura_test::WriteNativeFile(dir_.NativePath(name), "x");
  }
  ASSERT_TRUE(platform::MakeDirectory(dir_.EnginePath("folder.dat")));
  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::FindFiles(dir_.EnginePath("*.dat"), &entries));
  std::vector<std::string> expected;
  for (const auto& entry : entries) {
    if (!entry.is_directory) expected.push_back(platform::ChangeFileExt(entry.name, ""));
  }
  ASSERT_EQ(expected.size(), 3u);

  auto locks = OpenLocks();
  EXPECT_FALSE(locks->ReadOnly());
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), LockFileBytes(expected, 1));
  ASSERT_EQ(locks->TableCount(), 3u);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(locks->TableLocks(i)->TableName(), expected[i]);
    EXPECT_EQ(locks->TableLocks(i)->TableID(), static_cast<int32_t>(i + 1));
  }
  // A second opener reads the list without rewriting it.
  auto again = OpenLocks();
  EXPECT_EQ(again->UpdateCount(), 1);
  EXPECT_EQ(again->FindDataTable("sorami"), locks->FindDataTable("SORAMI"));
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), LockFileBytes(expected, 1));
}

TEST_F(LockFileTest, TablesRegisteredByAnotherProcessKeepTheirIDs) {
  auto locks = OpenLocks();
  ASSERT_EQ(locks->TableCount(), 0u);
  Signal registered;
  ChildProcess child([&] {
    TDataEngine engine;
    engine.Initialize("kura.lck");
    auto other = OpenLocks(engine);
    TDataTableLocks* a = other->AddDataTable("Alpha");
    registered.Send();
    return a->TableID() == 1 && other->UpdateCount() == 2 ? 0 : 1;
  });
  ASSERT_EQ(registered.Wait(), '!');
  ASSERT_EQ(child.Wait(), 0);

  // The parent still has the old list; registering its own table teaches it the new entry.
  EXPECT_EQ(locks->FindDataTable("Alpha"), -1);
  TDataTableLocks* beta = locks->AddDataTable("Beta");
  EXPECT_EQ(beta->TableID(), 2);
  EXPECT_EQ(locks->FindDataTable("ALPHA"), 0);
  EXPECT_EQ(locks->UpdateCount(), 3);
  EXPECT_EQ(locks->AddDataTable("alpha")->TableID(), 1);
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), LockFileBytes({"Alpha", "Beta"}, 3));
  // Registration gives the lock-file write lock back.
  EXPECT_EQ(HeldElsewhere({kura::LockFileWriteRegion(engine_)}), std::vector<bool>{false});
}

TEST_F(LockFileTest, UpdateCounterWrapsToOne) {
  kura_test::WriteNativeFile(LockNative(), LockFileBytes({"A"}, 0x7FFFFFFF));
  auto locks = OpenLocks();
  EXPECT_EQ(locks->AddDataTable("B")->TableID(), 2);
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), LockFileBytes({"A", "B"}, 1));
}

// A list whose counter was left at 0 is still read: the known entries must never be lost by
// the next registration.
TEST_F(LockFileTest, ListWithCounterZeroIsReadAndKept) {
  kura_test::WriteNativeFile(LockNative(), LockFileBytes({"A", "B"}, 0));
  auto locks = OpenLocks();
  EXPECT_EQ(locks->FindDataTable("b"), 1);
  EXPECT_EQ(locks->AddDataTable("C")->TableID(), 3);
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), LockFileBytes({"A", "B", "C"}, 1));
}

TEST_F(LockFileTest, RegisteringTable4097RaisesDatabaseFull) {
  std::vector<std::string> names;
  for (int i = 1; i <= 4096; ++i) names.push_back(std::string("T").append(std::to_string(i)));
  std::string bytes = LockFileBytes(names, 7);
  kura_test::WriteNativeFile(LockNative(), bytes);
  auto locks = OpenLocks();
  ASSERT_EQ(locks->TableCount(), 4096u);
  EXPECT_EQ(kura_test::EngineErrorOf([&] { locks->AddDataTable("T4097"); }), kura::KURA_DATABASEFULL);
  EXPECT_EQ(locks->TableCount(), 4096u);
  EXPECT_EQ(locks->AddDataTable("t4096")->TableID(), 4096);
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), bytes);
  EXPECT_EQ(HeldElsewhere({kura::LockFileWriteRegion(engine_)}), std::vector<bool>{false});
}

struct DamagedCase {
  const char* name;
  std::string bytes;
};

std::string Int32Bytes(int32_t v) {
  std::string s(4, '\0');
  kura::PutI32(reinterpret_cast<uint8_t*>(s.data()), v);
  return s;
}

class DamagedLockFileTest : public LockFileTest,
                            public testing::WithParamInterface<DamagedCase> {};

// A lock file whose list cannot be read leaves the directory read-only (no locking, nothing
// written) after a bounded number of attempts; it never crashes, hangs or allocates wildly.
TEST_P(DamagedLockFileTest, OpensReadOnlyWithoutTouchingTheFile) {
  kura_test::WriteNativeFile(LockNative(), GetParam().bytes);
  uint64_t start = platform::TickCount();
  auto locks = OpenLocks();
  EXPECT_LT(platform::TickCount() - start, 10000u);
  EXPECT_TRUE(locks->ReadOnly());
  TDataTableLocks* table = locks->AddDataTable("A");
  EXPECT_TRUE(table->WriteLock(true));
  table->WriteUnlock(true);
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedLockFileTest,
    testing::Values(
        DamagedCase{"Empty", ""}, DamagedCase{"ShortCounter", std::string("\1\0", 2)},
        DamagedCase{"NoListSize", Int32Bytes(3)},
        DamagedCase{"ListSizeBelowFour", Int32Bytes(3) + Int32Bytes(2)},
        DamagedCase{"ImpossibleListSize", Int32Bytes(3) + Int32Bytes(0x7FFFFFFF)},
        DamagedCase{"ListPastTheEnd", Int32Bytes(3) + Int32Bytes(100) + "\3abc"},
        DamagedCase{"NameLongerThanItsBytes", Int32Bytes(3) + Int32Bytes(7) + "\12ab"},
        DamagedCase{"NegativeCounter", Int32Bytes(-5) + Int32Bytes(4)}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

// Two readers of one table hold different bytes of its read region; a writer waits while
// either holds its byte and gets the region once both are gone.
TEST_F(LockFileTest, WriterWaitsForEveryReader) {
  OpenLocks()->AddDataTable("T");
  struct Reader {
    Signal locked, release;
    std::string slot_file;
  };
  Reader readers[2];
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int i = 0; i < 2; ++i) {
    Reader& r = readers[i];
    r.slot_file = dir_.NativePath("slot" + std::to_string(i));
    children.push_back(std::make_unique<ChildProcess>([&] {
      TDataEngine engine;
      engine.Initialize("kura.lck");
      auto locks = OpenLocks(engine);
      TDataTableLocks* t = locks->AddDataTable("T");
      if (!t->ReadLock()) return 1;
      kura_test::WriteNativeFile(r.slot_file, std::to_string(t->ReadLockSlot()));
      r.locked.Send();
      if (r.release.Wait() != '!') return 2;
      t->ReadUnlock();
      return 0;
    }));
  }
  ASSERT_EQ(readers[0].locked.Wait(), '!');
  ASSERT_EQ(readers[1].locked.Wait(), '!');
  int slot0 = std::stoi(kura_test::ReadNativeFile(readers[0].slot_file));
  int slot1 = std::stoi(kura_test::ReadNativeFile(readers[1].slot_file));
  EXPECT_NE(slot0, slot1);
  auto slot_region = [&](int slot) {
    return kura::TableReadSlot(engine_, 1, static_cast<uint16_t>(slot));
  };
  TLockRegion free_byte = slot_region(slot0 % 65534 + 1 == slot1 ? slot1 % 65534 + 1
                                                                  : slot0 % 65534 + 1);
  EXPECT_EQ(HeldElsewhere({slot_region(slot0), slot_region(slot1), free_byte}),
            (std::vector<bool>{true, true, false}));

  // A writer with few retries gives up with 10227 and leaves nothing held.
  auto locks = OpenLocks();
  TDataTableLocks* table = locks->AddDataTable("T");
  EXPECT_EQ(kura_test::EngineErrorOf([&] { table->WriteLock(true); }), kura::KURA_WRITELOCK);
  EXPECT_TRUE(table->LockStates().Empty());
  EXPECT_EQ(HeldElsewhere({kura::TableTransByte(engine_, 1)}), std::vector<bool>{false});

  // A patient writer (another process) gets the lock only after both readers released.
  Signal writer_locked;
  ChildProcess writer([&] {
    TDataEngine engine;
    engine.Initialize("kura.lck");
    engine.SetWriteLockRetries(5000);
    engine.SetWriteLockWaitTime(2);
    auto w = OpenLocks(engine);
    TDataTableLocks* t = w->AddDataTable("T");
    bool took_trans = t->WriteLock(true);
    writer_locked.Send();
    return took_trans ? 0 : 1;
  });
  EXPECT_EQ(writer_locked.Wait(300), 0);
  readers[0].release.Send();
  EXPECT_EQ(children[0]->Wait(), 0);
  EXPECT_EQ(writer_locked.Wait(300), 0);
  readers[1].release.Send();
  EXPECT_EQ(children[1]->Wait(), 0);
  EXPECT_EQ(writer_locked.Wait(), '!');
  EXPECT_EQ(writer.Wait(), 0);
}

// Sessions of one process share the lock file's OS handle: they exclude each other exactly as
// two processes do.
TEST_F(LockFileTest, TwoDirectoryObjectsOfOneProcessConflict) {
  auto first = OpenLocks();
  auto second = OpenLocks();
  TDataTableLocks* a1 = first->AddDataTable("A");
  TDataTableLocks* a2 = second->AddDataTable("A");
  ASSERT_EQ(a1->TableID(), a2->TableID());

  EXPECT_TRUE(a1->WriteLock(true));
  EXPECT_EQ(kura_test::EngineErrorOf([&] { a2->ReadLock(); }), kura::KURA_READLOCK);
  EXPECT_EQ(kura_test::EngineErrorOf([&] { a2->WriteLock(false); }), kura::KURA_WRITELOCK);
  EXPECT_EQ(kura_test::EngineErrorOf([&] { a2->TransLock(); }), kura::KURA_TRANSLOCK);
  EXPECT_TRUE(a2->LockStates().Empty());
  a1->WriteUnlock(true);
  EXPECT_TRUE(a1->LockStates().Empty());
  EXPECT_TRUE(a2->ReadLock());

  // A directory transaction covers every table's transaction byte; its transaction-write
  // region covers every table's write region.
  EXPECT_EQ(kura_test::EngineErrorOf([&] { first->TransWriteLockDataDirectory(); }), kura::KURA_TRANSLOCK);
  a2->ReadUnlock();
  first->TransLockDataDirectory();
  EXPECT_TRUE(a1->LockStates().Contains(kura::lsTransLocked));
  EXPECT_EQ(kura_test::EngineErrorOf([&] { a2->TransLock(); }), kura::KURA_TRANSLOCK);
  first->TransWriteLockDataDirectory();
  EXPECT_TRUE(a1->LockStates().Contains(kura::lsWriteLocked));
  EXPECT_EQ(kura_test::EngineErrorOf([&] { a2->ReadLock(); }), kura::KURA_READLOCK);
  EXPECT_EQ(HeldElsewhere({kura::DirectoryTransRegion(engine_),
                           kura::DirectoryTransWriteRegion(engine_)}),
            (std::vector<bool>{true, true}));
  first->TransWriteUnlockDataDirectory();
  first->TransUnlockDataDirectory();
  EXPECT_TRUE(a1->LockStates().Empty());
  EXPECT_TRUE(a2->WriteLock(true));
  a2->WriteUnlock(true);
}

TEST_F(LockFileTest, LockStatesMakeRepeatedRequestsNoOps) {
  auto locks = OpenLocks();
  TDataTableLocks* t = locks->AddDataTable("A");
  TLockRegion trans = kura::TableTransByte(engine_, 1);
  TLockRegion write = kura::TableWriteRegion(engine_, 1);

  EXPECT_TRUE(t->TransLock());
  EXPECT_FALSE(t->TransLock());
  EXPECT_FALSE(t->ReadLock());  // never while another state is set
  // The transaction byte is already held: the write lock takes only the region and reports
  // nothing new.
  EXPECT_FALSE(t->WriteLock(true));
  EXPECT_FALSE(t->WriteLock(true));
  EXPECT_EQ(HeldElsewhere({trans, write}), (std::vector<bool>{true, true}));
  t->WriteUnlock(false);
  EXPECT_EQ(t->LockStates(), kura::TLockStates(1u << kura::lsTransLocked));
  EXPECT_EQ(HeldElsewhere({trans, write}), (std::vector<bool>{true, false}));
  t->TransUnlock();
  EXPECT_TRUE(t->ReadLock());
  EXPECT_FALSE(t->ReadLock());
  // A read lock is not upgraded: its own byte lies inside the write region.
  EXPECT_EQ(kura_test::EngineErrorOf([&] { t->WriteLock(false); }), kura::KURA_WRITELOCK);
  EXPECT_EQ(t->LockStates(), kura::TLockStates(1u << kura::lsReadLocked));
  t->ReadUnlock();
  EXPECT_EQ(HeldElsewhere({trans, write}), (std::vector<bool>{false, false}));
}

// A write lock refused after its transaction byte was held before the call keeps that byte:
// the failed request leaves the states as they were.
TEST_F(LockFileTest, FailedWriteLockKeepsATransactionByteHeldBefore) {
  auto holder = OpenLocks();
  auto locks = OpenLocks();
  TDataTableLocks* held = holder->AddDataTable("A");
  TDataTableLocks* t = locks->AddDataTable("A");
  ASSERT_TRUE(t->TransLock());
  // Without the transaction byte the result reports nothing new, though the region is held.
  ASSERT_FALSE(held->WriteLock(false));
  ASSERT_TRUE(held->LockStates().Contains(kura::lsWriteLocked));
  EXPECT_EQ(kura_test::EngineErrorOf([&] { t->WriteLock(true); }), kura::KURA_WRITELOCK);
  EXPECT_EQ(t->LockStates(), kura::TLockStates(1u << kura::lsTransLocked));
  EXPECT_EQ(HeldElsewhere({kura::TableTransByte(engine_, 1)}), std::vector<bool>{true});
}

TEST_F(LockFileTest, KilledHolderReleasesItsLocks) {
  OpenLocks()->AddDataTable("A");
  Signal locked;
  ChildProcess child([&] {
    TDataEngine engine;
    engine.Initialize("kura.lck");
    auto locks = OpenLocks(engine);
    locks->AddDataTable("A")->WriteLock(false);
    locks->TransLockDataDirectory();
    locked.Send();
    platform::SleepMilliseconds(60000);
    return 0;
  });
  ASSERT_EQ(locked.Wait(), '!');
  auto locks = OpenLocks();
  TDataTableLocks* t = locks->AddDataTable("A");
  EXPECT_EQ(kura_test::EngineErrorOf([&] { t->WriteLock(true); }), kura::KURA_WRITELOCK);
  child.Kill();
  EXPECT_TRUE(t->WriteLock(true));
  t->WriteUnlock(true);
  auto next = OpenLocks();
  EXPECT_EQ(next->AddDataTable("B")->TableID(), 2);
  next->TransLockDataDirectory();
}

TEST_F(LockFileTest, ReadOnlyLockFileDisablesLockFileLocking) {
  OpenLocks()->AddDataTable("A");
  std::string bytes = kura_test::ReadNativeFile(LockNative());
  ASSERT_TRUE(platform::SetReadOnlyAttribute(LockPath(), true));
  auto locks = OpenLocks();
  ASSERT_TRUE(locks->ReadOnly());
  TDataTableLocks* a = locks->AddDataTable("A");
  TDataTableLocks* b = locks->AddDataTable("B");
  EXPECT_TRUE(a->WriteLock(true));
  EXPECT_TRUE(b->ReadLock());
  locks->TransLockDataDirectory();
  locks->TransWriteLockDataDirectory();
  EXPECT_EQ(HeldElsewhere({kura::TableWriteRegion(engine_, 1), kura::TableTransByte(engine_, 1),
                           kura::DirectoryTransRegion(engine_),
                           kura::DirectoryTransWriteRegion(engine_)}),
            (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(kura_test::ReadNativeFile(LockNative()), bytes);
}

// A directory the user may not write: no lock file can be made, and the directory works
// without locks. Runs as an unprivileged user, since root may write anywhere.
TEST_F(LockFileTest, UnwritableDirectoryWorksWithoutALockFile) {
  if (!kura_test::RunningAsRoot()) GTEST_SKIP() << "needs root to switch to uid 65534";
  kura_test::WriteNativeFile(dir_.NativePath("a.dat"), "x");
  ASSERT_TRUE(kura_test::SetNativeMode(dir_.native(), 0755));
  ChildProcess child([&] {
    if (!kura_test::DropToNobody()) return 100;
    TDataEngine engine;
    engine.Initialize("kura.lck");
    auto locks = OpenLocks(engine);
    if (!locks->ReadOnly()) return 1;
    TDataTableLocks* a = locks->AddDataTable("a");
    if (!a->WriteLock(true) || a->TransLock()) return 2;
    a->WriteUnlock(true);
    return kura_test::NativeFileExists(LockNative()) ? 3 : 0;
  });
  int status = child.Wait();
  if (status == 100) GTEST_SKIP() << "cannot switch to uid 65534";
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(kura_test::NativeFileExists(LockNative()));
}

TEST(LockFileListTest, DecodeRefusesListsThatAreNotWhole) {
  std::vector<std::string> names;
  const std::vector<uint8_t> whole = {2, 'a', 'b', 0, 3, 'x', 'y', 'z'};
  ASSERT_TRUE(kura::DecodeLockFileList(whole.data(), whole.size(), &names));
  EXPECT_EQ(names, (std::vector<std::string>{"ab", "", "xyz"}));
  for (size_t cut = 1; cut < whole.size(); ++cut) {
    if (cut == 3 || cut == 4) continue;  // ends exactly after an entry
    EXPECT_FALSE(kura::DecodeLockFileList(whole.data(), cut, &names)) << cut;
  }
  std::vector<uint8_t> too_many(4097, 0);
  EXPECT_FALSE(kura::DecodeLockFileList(too_many.data(), too_many.size(), &names));
  EXPECT_TRUE(kura::DecodeLockFileList(too_many.data(), 4096, &names));
  EXPECT_EQ(names.size(), 4096u);
}

}  // namespace
