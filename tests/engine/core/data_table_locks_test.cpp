#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_directory.h"
#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file.h"
#include "engine/core/lock_regions.h"
#include "engine/format/data_file.h"
#include "engine/format/index_file.h"
#include "platform/clock.h"
#include "tests/support/child_process.h"
#include "tests/support/lock_probe.h"
#include "tests/support/session_fixture.h"

namespace {

using kura::TDataDirectory;
using kura::TDataTable;
using kura::TLockRegion;
using kura_test::ChildProcess;
using kura_test::EngineErrorOf;
using kura_test::SeparateTable;
using kura_test::Signal;

class TableLockTest : public kura_test::SessionFixture {
 protected:
  TableLockTest() {
    CreateTable("T");
    directory_ = OpenDirectory();
    table_ = OpenTable(directory_, "T");
  }

  // Which of the regions of the data file another process finds locked.
  std::vector<bool> DataFileHeld(const std::vector<TLockRegion>& regions) const {
    std::vector<kura_test::ProbeRange> ranges;
    for (const TLockRegion& r : regions) ranges.push_back({r.offset, r.length});
    return kura_test::ProbeLocksFromChild(DataPath("T"), ranges);
  }
  TLockRegion Record(int32_t r) const { return kura::RecordLockByte(engine_, r); }

  TDataDirectory* directory_ = nullptr;
  TDataTable* table_ = nullptr;
};

TEST_F(TableLockTest, RecordLockTakesExactlyItsByteAndIsRefusedToEveryoneElse) {
  EXPECT_EQ(EngineErrorOf([&] { table_->LockRecord(0); }), kura::KURA_RECLOCKFAILED);
  EXPECT_EQ(EngineErrorOf([&] { table_->LockRecord(engine_.MaximumNumRecords() + 1); }),
            kura::KURA_RECLOCKFAILED);

  table_->LockRecord(5);
  // The read lock taken on the way stays with the caller.
  EXPECT_TRUE(table_->DataTableLocks()->LockStates().Contains(kura::lsReadLocked));
  table_->ReadUnlockTable();
  EXPECT_TRUE(table_->CheckForRecordLock(5));
  EXPECT_EQ(DataFileHeld({Record(4), Record(5), Record(6)}),
            (std::vector<bool>{false, true, false}));

  // A second cursor of the session shares the table object: refused at once, without the
  // session's retries (15 x 100 ms).
  session_->SetLockRetries(15);
  session_->SetLockWait(100);
  uint64_t start = platform::TickCount();
  EXPECT_EQ(EngineErrorOf([&] { OpenTable(directory_, "T")->LockRecord(5); }),
            kura::KURA_RECLOCKFAILED);
  EXPECT_LT(platform::TickCount() - start, 100u);
  session_->SetLockRetries(2);
  session_->SetLockWait(1);

  // Another session of the process competes through the same OS locks.
  SeparateTable other(dir_.engine(), "T");
  EXPECT_EQ(EngineErrorOf([&] { other.table->LockRecord(5); }), kura::KURA_RECLOCKFAILED);
  EXPECT_FALSE(other.table->CheckForRecordLock(5));
  EXPECT_TRUE(other.table->DataTableLocks()->LockStates().Empty());
  EXPECT_TRUE(other.table->RecordIsLocked(5));
  EXPECT_FALSE(other.table->RecordIsLocked(6));
  EXPECT_EQ(EngineErrorOf([&] { other.table->UnlockRecord(5); }), kura::KURA_UNLOCKFAILED);

  table_->UnlockRecord(5);
  EXPECT_EQ(DataFileHeld({Record(5)}), std::vector<bool>{false});
  EXPECT_EQ(EngineErrorOf([&] { table_->UnlockRecord(5); }), kura::KURA_UNLOCKFAILED);
  EXPECT_NO_THROW(other.table->LockRecord(5));
}

TEST_F(TableLockTest, TableLockExcludesRecordLocks) {
  table_->LockRecord(2);
  table_->ReadUnlockTable();
  EXPECT_EQ(EngineErrorOf([&] { table_->LockTable(); }), kura::KURA_LOCKED);
  EXPECT_FALSE(table_->TableLock());

  SeparateTable other(dir_.engine(), "T");
  EXPECT_EQ(EngineErrorOf([&] { other.table->LockTable(); }), kura::KURA_LOCKED);
  EXPECT_TRUE(other.table->TableIsLocked());

  table_->UnlockRecord(2);
  table_->LockTable();
  EXPECT_EQ(DataFileHeld({kura::TableLockRegion(engine_),
                          kura::SemaphoreLockByte(engine_, 1)}),
            (std::vector<bool>{true, false}));
  // Under the table lock a record lock is a no-op: nothing is recorded, nothing is locked.
  EXPECT_FALSE(table_->LockRecord(9));
  EXPECT_FALSE(table_->CheckForRecordLock(9));
  EXPECT_TRUE(table_->RecordIsLocked(9));
  EXPECT_EQ(EngineErrorOf([&] { other.table->LockRecord(9); }), kura::KURA_RECLOCKFAILED);
  EXPECT_EQ(EngineErrorOf([&] { table_->LockTable(); }), kura::KURA_LOCKED);

  table_->UnlockTable();
  EXPECT_EQ(EngineErrorOf([&] { table_->UnlockTable(); }), kura::KURA_UNLOCKFAILED);
  EXPECT_FALSE(other.table->TableIsLocked());
  EXPECT_NO_THROW(other.table->LockTable());
}

TEST_F(TableLockTest, SemaphoresBelongToTheirHolder) {
  EXPECT_FALSE(table_->LockSemaphore(0));
  EXPECT_FALSE(table_->LockSemaphore(1025));
  EXPECT_TRUE(table_->LockSemaphore(1));
  EXPECT_TRUE(table_->LockSemaphore(1024));
  EXPECT_FALSE(table_->LockSemaphore(1));

  SeparateTable other(dir_.engine(), "T");
  EXPECT_FALSE(other.table->LockSemaphore(1));
  // Another session of the process shares the OS lock table: it must not release ours.
  EXPECT_FALSE(other.table->UnlockSemaphore(1));
  EXPECT_EQ(DataFileHeld({kura::SemaphoreLockByte(engine_, 1),
                          kura::SemaphoreLockByte(engine_, 1024)}),
            (std::vector<bool>{true, true}));
  table_->UnlockAllSemaphores();
  EXPECT_FALSE(table_->SemaphoreIsLocked(1));
  EXPECT_TRUE(other.table->LockSemaphore(1));
  EXPECT_TRUE(other.table->UnlockSemaphore(1));
  EXPECT_FALSE(other.table->UnlockSemaphore(1));
}

TEST_F(TableLockTest, UnlockAllGivesBackEveryRecordAndTheTableLock) {
  for (int32_t r : {3, 70000, 8}) {
    table_->LockRecord(r);
    table_->ReadUnlockTable();
  }
  table_->UnlockAll(false);
  EXPECT_EQ(table_->RecordLocks().Count(), 0u);
  EXPECT_EQ(DataFileHeld({Record(3), Record(70000), Record(8)}),
            (std::vector<bool>{false, false, false}));
  table_->LockTable();
  table_->UnlockAll(false);
  EXPECT_FALSE(table_->TableLock());
  EXPECT_EQ(DataFileHeld({kura::TableLockRegion(engine_)}), std::vector<bool>{false});
}

// Inside a transaction, unlocked records and the unlocked table keep their OS locks until the
// transaction ends, whether it is committed or rolled back.
class TransactionLockTest : public TableLockTest, public testing::WithParamInterface<bool> {};

TEST_P(TransactionLockTest, UnlocksKeepTheirOsLocksUntilTheTransactionEnds) {
  directory_->StartTransaction({"T"});
  ASSERT_TRUE(table_->InTransaction());
  table_->LockRecord(4);
  table_->ReadUnlockTable();
  table_->UnlockRecord(4);
  EXPECT_FALSE(table_->CheckForRecordLock(4));
  EXPECT_TRUE(table_->CheckForTransactionRecordLock(4));
  EXPECT_EQ(DataFileHeld({Record(4)}), std::vector<bool>{true});
  // Locking it again takes no new OS lock (the OS would refuse the byte this object holds).
  EXPECT_NO_THROW(table_->LockRecord(4));
  EXPECT_TRUE(table_->CheckForRecordLock(4));
  EXPECT_FALSE(table_->CheckForTransactionRecordLock(4));
  table_->UnlockRecord(4);
  EXPECT_EQ(EngineErrorOf([&] { table_->LockTable(); }), kura::KURA_LOCKED);

  if (GetParam()) {
    directory_->CommitTransaction(false, true);
  } else {
    directory_->RollbackTransaction();
  }
  EXPECT_FALSE(table_->InTransaction());
  EXPECT_EQ(table_->TransactionRecordLocks().Count(), 0u);
  EXPECT_EQ(DataFileHeld({Record(4)}), std::vector<bool>{false});

  directory_->StartTransaction({"T"});
  table_->LockTable();
  table_->UnlockTable();
  EXPECT_TRUE(table_->TransactionTableLock());
  EXPECT_EQ(DataFileHeld({kura::TableLockRegion(engine_)}), std::vector<bool>{true});
  directory_->CommitTransaction(false, true);
  EXPECT_FALSE(table_->TransactionTableLock());
  EXPECT_EQ(DataFileHeld({kura::TableLockRegion(engine_)}), std::vector<bool>{false});
}

INSTANTIATE_TEST_SUITE_P(Ends, TransactionLockTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Commit" : "Rollback";
                         });

// What another program wrote is seen at the next newly taken lock, with every cache dropped;
// a read served by the cache needs no lock, and the first miss notices the change.
TEST_F(TableLockTest, WriteOfAnotherProcessIsSeenAtTheNextLock) {
  int32_t slot = kura_test::AppendAmount(table_, 10);
  kura_test::AppendAmount(table_, 20);
  table_->FreeBuffers(false, false, false);
  ASSERT_EQ(kura_test::ReadAmount(table_, slot), 10);
  table_->ReadUnlockTable();
  EXPECT_FALSE(table_->ReadLockTable());  // nothing changed
  table_->ReadUnlockTable();

  auto other_process_writes = [&](const std::function<void(TDataTable*)>& write) {
    ChildProcess child([&] {
      SeparateTable other(dir_.engine(), "T");
      write(other.table);
      return 0;
    });
    ASSERT_EQ(child.Wait(), 0);
  };
  other_process_writes([&](TDataTable* t) {
    kura_test::ChangeAmount(t, slot, 11);
    kura_test::ChangeAmount(t, slot + 1, 21);
    kura_test::AppendAmount(t, 30);
  });
  // Still the cached image: no lock, no disk access.
  EXPECT_EQ(kura_test::ReadAmount(table_, slot), 10);
  EXPECT_EQ(table_->DataFile()->RecordCount(), 2);
  EXPECT_TRUE(table_->DataTableLocks()->LockStates().Empty());
  // A miss takes the read lock, finds the change and asks the caller to start over.
  EXPECT_EQ(kura_test::ReadAmount(table_, slot + 1), INT32_MIN);
  EXPECT_EQ(table_->DataFile()->BufferCount(), 0);
  EXPECT_EQ(table_->IndexFile()->BufferCount(), 0);
  EXPECT_EQ(table_->DataFile()->RecordCount(), 3);
  EXPECT_EQ(kura_test::ReadAmount(table_, slot), 11);
  EXPECT_EQ(kura_test::ReadAmount(table_, slot + 1), 21);
  EXPECT_FALSE(table_->ReadLockTable());  // already held: nothing new
  table_->ReadUnlockTable();

  // The write lock and a record lock notice a change the same way.
  other_process_writes([](TDataTable* t) { kura_test::AppendAmount(t, 40); });
  EXPECT_TRUE(table_->WriteLockTable());
  EXPECT_EQ(table_->DataFile()->RecordCount(), 4);
  table_->WriteUnlockTable();
  other_process_writes([](TDataTable* t) { kura_test::AppendAmount(t, 50); });
  EXPECT_TRUE(table_->LockRecord(1));
  table_->ReadUnlockTable();
  EXPECT_EQ(table_->DataFile()->RecordCount(), 5);
}

TEST_F(TableLockTest, WriterGivesUpWithinItsRetriesWhileAnotherProcessReads) {
  Signal locked, release;
  ChildProcess reader([&] {
    SeparateTable other(dir_.engine(), "T");
    other.table->ReadLockTable();
    locked.Send();
    release.Wait();
    other.table->ReadUnlockTable();
    return 0;
  });
  ASSERT_EQ(locked.Wait(), '!');
  EXPECT_EQ(EngineErrorOf([&] { table_->WriteLockTable(); }), kura::KURA_WRITELOCK);
  EXPECT_TRUE(table_->DataTableLocks()->LockStates().Empty());
  // Readers do not exclude each other.
  EXPECT_FALSE(table_->ReadLockTable());
  table_->ReadUnlockTable();
  release.Send();
  ASSERT_EQ(reader.Wait(), 0);
  table_->WriteLockTable();
  EXPECT_TRUE(table_->DataTableLocks()->LockStates().Contains(kura::lsWriteLocked));
  table_->WriteUnlockTable();
}

TEST_F(TableLockTest, LocksOfAKilledProcessAreGone) {
  Signal locked;
  ChildProcess holder([&] {
    SeparateTable other(dir_.engine(), "T");
    other.table->WriteLockTable();
    other.table->LockRecord(1);
    other.table->LockSemaphore(7);
    locked.Send();
    platform::SleepMilliseconds(60000);
    return 0;
  });
  ASSERT_EQ(locked.Wait(), '!');
  EXPECT_EQ(EngineErrorOf([&] { table_->WriteLockTable(); }), kura::KURA_WRITELOCK);
  holder.Kill();
  EXPECT_NO_THROW(table_->WriteLockTable());
  EXPECT_NO_THROW(table_->LockRecord(1));
  EXPECT_TRUE(table_->LockSemaphore(7));
  table_->UnlockRecord(1);
  table_->WriteUnlockTable();
  SeparateTable next(dir_.engine(), "T");
  EXPECT_NO_THROW(kura_test::AppendAmount(next.table, 1));
}

// A written index header rewrites the data header too: other programs compare only its stamp.
TEST_F(TableLockTest, IndexHeaderChangeMovesTheDataStamp) {
  int32_t stamp = table_->DataFile()->LastUpdateStamp();
  table_->IndexFile()->SetRootPageNumber(0, 0);
  table_->IndexFile()->UpdateHeaderStamp();
  EXPECT_TRUE(table_->FlushBuffers(false, false, false, false, false));
  SeparateTable other(dir_.engine(), "T");
  EXPECT_EQ(other.table->DataFile()->LastUpdateStamp(), stamp + 1);
  EXPECT_FALSE(table_->FlushBuffers(false, false, false, false, false));
}

}  // namespace
