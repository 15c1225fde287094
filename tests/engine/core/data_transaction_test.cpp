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
#include "platform/clock.h"
#include "platform/os_file.h"
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

class TransactionTest : public kura_test::SessionFixture {
 protected:
  // Tables registered as Mid (ID 1), Zed (ID 2), Alpha (ID 3): neither name order nor the order
  // of the transaction lists below is ID order.
  void RegisterThreeTables() {
    directory_ = OpenDirectory();
    for (const char* name : {"Mid", "Zed", "Alpha"}) {
      CreateTable(name);
      CloseTable(directory_, OpenTable(directory_, name));
    }
    ASSERT_EQ(directory_->Locks()->FindDataTable("Alpha"), 2);
  }
  std::vector<bool> LockFileHeld(const std::vector<TLockRegion>& regions) const {
    std::vector<kura_test::ProbeRange> ranges;
    for (const TLockRegion& r : regions) ranges.push_back({r.offset, r.length});
    return kura_test::ProbeLocksFromChild(LockPath(), ranges);
  }
  std::vector<TLockRegion> TransBytes() const {
    return {kura::TableTransByte(engine_, 1), kura::TableTransByte(engine_, 2),
            kura::TableTransByte(engine_, 3)};
  }
  // The amount another process reads from disk.
  int32_t AmountOnDisk(const std::string& table, int32_t slot) {
    Signal answer;
    ChildProcess reader([&] {
      SeparateTable other(dir_.engine(), table);
      int32_t amount = kura_test::ReadAmount(other.table, slot);
      other.table->ReadUnlockTable();
      answer.Send(static_cast<char>(amount));
      return 0;
    });
    char c = answer.Wait();
    reader.Wait();
    return c;
  }

  TDataDirectory* directory_ = nullptr;
};

// Transaction bytes are taken in ascending table-ID order whatever order the list gives:
// while the second table's byte is held by another process, a third process finds the first
// table's byte taken and the third's still free.
TEST_F(TransactionTest, RestrictedTransactionLocksInAscendingTableIDOrder) {
  RegisterThreeTables();
  Signal blocked, release, answers;
  ChildProcess blocker([&] {
    SeparateTable other(dir_.engine(), "Zed");
    other.table->DataTableLocks()->TransLock();
    blocked.Send();
    release.Wait();
    other.table->DataTableLocks()->TransUnlock();
    return 0;
  });
  ASSERT_EQ(blocked.Wait(), '!');
  ChildProcess probe([&] {
    platform::SleepMilliseconds(300);
    auto file = platform::OsFile::OpenExisting(LockPath(), platform::FileAccess::kReadWrite,
                                               platform::FileShare::kReadWrite);
    if (!file) return 1;
    for (const TLockRegion& r : TransBytes()) {
      bool free = file->LockRange(r.offset, r.length);
      if (free) file->UnlockRange(r.offset, r.length);
      answers.Send(free ? 'F' : 'H');
    }
    release.Send();
    return 0;
  });
  engine_.SetTransLockRetries(5000);
  engine_.SetTransLockWaitTime(2);
  directory_->StartTransaction({"Zed", "alpha.dat", "Mid"});
  std::string seen;
  for (int i = 0; i < 3; ++i) seen += answers.Wait();
  EXPECT_EQ(seen, "HHF");
  ASSERT_EQ(probe.Wait(), 0);
  ASSERT_EQ(blocker.Wait(), 0);

  std::vector<std::string> order;
  for (TDataTable* t : directory_->TransactionDataTables()) order.push_back(t->TableName());
  EXPECT_EQ(order, (std::vector<std::string>{"Mid", "Zed", "alpha"}));  // as the list spells it
  EXPECT_EQ(LockFileHeld(TransBytes()), (std::vector<bool>{true, true, true}));
  directory_->CommitTransaction(false, true);
  EXPECT_EQ(LockFileHeld(TransBytes()), (std::vector<bool>{false, false, false}));
  // The tables opened for the transaction alone are closed with it.
  EXPECT_EQ(directory_->DataTableCount(), 0u);
}

TEST_F(TransactionTest, FailedStartRollsBackWhatItStarted) {
  RegisterThreeTables();
  SeparateTable other(dir_.engine(), "Zed");
  ASSERT_TRUE(other.table->DataTableLocks()->TransLock());
  TDataTable* mid = OpenTable(directory_, "Mid");
  EXPECT_EQ(EngineErrorOf([&] { directory_->StartTransaction({"Alpha", "Zed", "Mid"}); }),
            kura::KURA_TRANSLOCK);
  EXPECT_FALSE(directory_->InTransaction());
  EXPECT_FALSE(mid->InTransaction());
  EXPECT_TRUE(mid->DataTableLocks()->LockStates().Empty());
  EXPECT_EQ(directory_->DataTableCount(), 1u);
  EXPECT_EQ(LockFileHeld({kura::TableTransByte(engine_, 1)}), std::vector<bool>{false});
}

struct EndCase {
  const char* name;
  bool commit;
  bool release_locks;
  int32_t amount_after;  // what the table shows after the end
  bool still_in_transaction;
};

class TransactionEndTest : public TransactionTest, public testing::WithParamInterface<EndCase> {};

// Changes of a transaction stay in the caches until commit; a rollback discards them; a
// commit without releasing the locks writes them and keeps the transaction running.
TEST_P(TransactionEndTest, ChangesReachTheFilesOnlyAtCommit) {
  const EndCase& c = GetParam();
  CreateTable("T");
  directory_ = OpenDirectory();
  TDataTable* table = OpenTable(directory_, "T");
  int32_t slot = kura_test::AppendAmount(table, 1);
  directory_->StartTransaction({"T"});
  kura_test::ChangeAmount(table, slot, 2);
  EXPECT_EQ(kura_test::ReadAmount(table, slot), 2);
  EXPECT_EQ(AmountOnDisk("T", slot), 1);

  if (c.commit) {
    directory_->CommitTransaction(false, c.release_locks);
  } else {
    directory_->RollbackTransaction();
  }
  EXPECT_EQ(directory_->InTransaction(), c.still_in_transaction);
  EXPECT_EQ(table->InTransaction(), c.still_in_transaction);
  EXPECT_EQ(kura_test::ReadAmount(table, slot), c.amount_after);
  table->ReadUnlockTable();
  EXPECT_EQ(AmountOnDisk("T", slot), c.amount_after);
  EXPECT_EQ(LockFileHeld({kura::TableTransByte(engine_, 1)}),
            std::vector<bool>{c.still_in_transaction});
}

INSTANTIATE_TEST_SUITE_P(Ends, TransactionEndTest,
                         testing::Values(EndCase{"Commit", true, true, 2, false},
                                         EndCase{"CommitKeepingLocks", true, false, 2, true},
                                         EndCase{"Rollback", false, false, 1, false}),
                         [](const testing::TestParamInfo<EndCase>& info) {
                           return info.param.name;
                         });

// An unrestricted transaction holds the directory transaction region: no other program can
// write any table of the directory until it ends; tables opened meanwhile join it.
TEST_F(TransactionTest, UnrestrictedTransactionCoversTheWholeDirectory) {
  RegisterThreeTables();
  TDataTable* mid = OpenTable(directory_, "Mid");
  int32_t slot = kura_test::AppendAmount(mid, 1);
  directory_->StartTransaction();
  EXPECT_FALSE(directory_->RestrictedTransaction());
  EXPECT_TRUE(mid->InTransaction());
  TDataTable* zed = OpenTable(directory_, "Zed");
  EXPECT_TRUE(zed->InTransaction());
  EXPECT_EQ(LockFileHeld({kura::DirectoryTransRegion(engine_)}), std::vector<bool>{true});

  ChildProcess writer([&] {
    SeparateTable other(dir_.engine(), "Alpha");
    return EngineErrorOf([&] { kura_test::AppendAmount(other.table, 5); }) ==
                   kura::KURA_WRITELOCK
               ? 0
               : 1;
  });
  EXPECT_EQ(writer.Wait(), 0);

  kura_test::ChangeAmount(mid, slot, 3);
  EXPECT_EQ(AmountOnDisk("Mid", slot), 1);
  directory_->CommitTransaction(false, true);
  EXPECT_EQ(AmountOnDisk("Mid", slot), 3);
  EXPECT_FALSE(zed->InTransaction());
  EXPECT_TRUE(mid->DataTableLocks()->LockStates().Empty());
  EXPECT_EQ(LockFileHeld({kura::DirectoryTransRegion(engine_),
                          kura::DirectoryTransWriteRegion(engine_)}),
            (std::vector<bool>{false, false}));
}

}  // namespace
