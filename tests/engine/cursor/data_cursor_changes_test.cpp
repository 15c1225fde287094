// Other programs' changes as a cursor sees them (real second processes), the locks every read
// takes and gives back, editing a record another program changed, and damaged index pages.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file.h"
#include "engine/core/lock_regions.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/index_file.h"
#include "engine/format/index_page.h"
#include "tests/support/child_process.h"
#include "tests/support/cursor_fixture.h"
#include "tests/support/lock_probe.h"

namespace kura_test {
namespace {

using kura::TDataCursor;

// The amount a ByAmount key (a bookmark of that index) holds.
int32_t AmountOfKey(const std::vector<uint8_t>& key) {
  uint32_t v = (uint32_t(key[1]) << 24) | (uint32_t(key[2]) << 16) | (uint32_t(key[3]) << 8) |
               uint32_t(key[4]);
  return static_cast<int32_t>(v ^ 0x80000000u);
}

// Runs `change` on the cursor table in a forked child, as another program: its own engine,
// session and files, opened after the fork. Returns the child's exit status.
int InOtherProgram(const std::string& directory,
                   const std::function<void(CursorTableWriter&)>& change) {
  ChildProcess child([&] {
    kura::TDataEngine engine;
    engine.Initialize("kura.lck");
    kura::TDataSession* session = engine.StartDataSession("Other");
    CursorTableWriter writer(session->OpenDataDirectory("db", directory, false),
                             kCursorTable);
    change(writer);
    return 0;
  });
  return child.Wait();
}

class CursorChangesTest : public CursorFixture {
 protected:
  // Caches of 64 records (read 16 at a time) and three index pages: a scan misses every few
  // records.
  void UseSmallCaches() {
    engine_.SetMaxDataBufferSize(64 * (64 + 44));
    engine_.SetMaxIndexBufferSize(3 * (1011 + 64));
  }
  bool ReadLocked(TDataCursor& cursor) {
    kura::TDataTableLocks* locks = cursor.DataTable()->DataTableLocks();
    return locks != nullptr && !locks->LockStates().Empty();
  }
};

struct ForeignChangeCase {
  const char* name;
  bool strict;
};

class ForeignChangeTest : public CursorChangesTest,
                          public testing::WithParamInterface<ForeignChangeCase> {};

// Another program rewrites every record (reversing the order of the keys) and appends more
// while a cursor is half-way through a scan. The cursor goes on in the old state until a read
// misses its cache (in strict change detection: at its next read), then in the new state only,
// from where its record now belongs; every record it returns agrees with the index entry it
// stands on.
TEST_P(ForeignChangeTest, AScanSwitchesToTheNewStateOnceAndNeverMixesThem) {
  UseSmallCaches();
  MakeTable({1024, kura::icNone, true});
  session_->SetStrictChangeDetection(GetParam().strict);
  std::vector<Row> rows;
  for (int i = 1; i <= 300; ++i) rows.push_back({"c", i * 10, "g1"});
  std::vector<StoredRow> stored = writer_->AppendAll(rows);
  auto cursor = NewCursor();
  cursor->SetIndexName("ByAmount");
  // Writing grew the caches past their limits: back to them.
  cursor->FreeBuffers(true, true, false);
  std::vector<uint8_t> record = Buffer(*cursor);
  std::vector<uint8_t> key(cursor->BookmarkSize());
  cursor->SetToBegin();
  for (int i = 1; i <= 40; ++i) ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);

  ASSERT_EQ(InOtherProgram(dir_.engine(),
                           [&](CursorTableWriter& other) {
                             for (StoredRow& row : stored) {
                               other.Change(&row, {"c", 5005 - row.row.amount, "g2"});
                             }
                             std::vector<Row> more;
                             for (int j = 0; j < 100; ++j) more.push_back({"c", 7 + 30 * j, "g2"});
                             other.AppendAll(more);
                           }),
            0);
  std::vector<int32_t> after;  // the new state's amounts, in order
  for (const StoredRow& row : stored) after.push_back(5005 - row.row.amount);
  for (int j = 0; j < 100; ++j) after.push_back(7 + 30 * j);
  std::sort(after.begin(), after.end());

  std::vector<int32_t> old_seen, new_seen;
  while (cursor->GetNextRecord(record.data()) == 0) {
    const Row row = RowOf(*writer_->file(), record.data());
    cursor->GetBookmark(key.data());
    ASSERT_EQ(AmountOfKey(key), row.amount) << "the record is the one its index entry names";
    if (row.name == "g1") {
      ASSERT_TRUE(new_seen.empty()) << "an old record after a new one";
      old_seen.push_back(row.amount);
    } else {
      new_seen.push_back(row.amount);
    }
  }
  // The old records continue the old order; the new ones are a closing run of the new order.
  for (size_t i = 0; i < old_seen.size(); ++i) EXPECT_EQ(old_seen[i], int32_t(410 + 10 * i));
  ASSERT_FALSE(new_seen.empty());
  // Strict change detection sees the change at the next read; otherwise the records still
  // cached come first.
  EXPECT_EQ(old_seen.empty(), GetParam().strict);
  const auto start = std::find(after.begin(), after.end(), new_seen.front());
  ASSERT_NE(start, after.end());
  EXPECT_EQ(new_seen, std::vector<int32_t>(start, after.end()));
  EXPECT_EQ(cursor->RecordCount(), 400);
  EXPECT_FALSE(ReadLocked(*cursor));
}

INSTANTIATE_TEST_SUITE_P(Modes, ForeignChangeTest,
                         testing::Values(ForeignChangeCase{"CacheMisses", false},
                                         ForeignChangeCase{"Strict", true}),
                         [](const testing::TestParamInfo<ForeignChangeCase>& info) {
                           return info.param.name;
                         });

struct AppendCase {
  const char* name;
  bool strict;
  int32_t count_after_cached_read;
};

class ForeignAppendTest : public CursorChangesTest,
                          public testing::WithParamInterface<AppendCase> {};

// A record another program appends shows in the count once the cursor reads the files: at the
// next cache miss (or the explicit refresh), or at once with strict change detection.
TEST_P(ForeignAppendTest, TheNewCountShowsOnceTheCursorLooksAtTheFiles) {
  MakeTable();
  session_->SetStrictChangeDetection(GetParam().strict);
  writer_->AppendAll({{"a", 1, "x"}, {"b", 2, "y"}, {"c", 3, "z"}});
  auto cursor = NewCursor();
  EXPECT_EQ(ScanIDs(*cursor).size(), 3u);
  ASSERT_EQ(InOtherProgram(dir_.engine(),
                           [](CursorTableWriter& other) { other.Append({"d", 4, "w"}); }),
            0);
  // A read that needs nothing from the files.
  std::vector<uint8_t> record = Buffer(*cursor);
  cursor->GetCurrentRecord(record.data());
  EXPECT_EQ(cursor->RecordCount(), GetParam().count_after_cached_read);
  cursor->Refresh();
  EXPECT_EQ(cursor->RecordCount(), 4);
  EXPECT_EQ(ScanIDs(*cursor).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Modes, ForeignAppendTest,
                         testing::Values(AppendCase{"CacheMisses", false, 3},
                                         AppendCase{"Strict", true, 4}),
                         [](const testing::TestParamInfo<AppendCase>& info) {
                           return info.param.name;
                         });

struct EditCase {
  const char* name;
  kura::TLockProtocol protocol;
};

class EditCheckTest : public CursorChangesTest, public testing::WithParamInterface<EditCase> {};

// Beginning an edit of a record that another program changed meanwhile fails, and leaves the
// record unlocked; an unchanged record can be edited (locked first with the pessimistic
// protocol).
TEST_P(EditCheckTest, EditingARecordAnotherProgramChangedFails) {
  MakeTable();
  session_->SetLockProtocol(GetParam().protocol);
  std::vector<StoredRow> rows = writer_->AppendAll({{"a", 1, "x"}, {"b", 2, "y"}});
  auto cursor = NewCursor();
  ASSERT_TRUE(cursor->SetToRecordNumber(2));
  std::vector<uint8_t> image = Buffer(*cursor);
  ASSERT_EQ(cursor->GetCurrentRecord(image.data()), 0);
  const bool pessimistic = GetParam().protocol == kura::lpPessimistic;
  const kura::TLockRegion record_byte = kura::RecordLockByte(engine_, rows[1].slot);
  const std::string data_path = dir_.EnginePath(std::string(kTable) + ".dat");

  ASSERT_EQ(cursor->GetCurrentRecord(image.data(), true), 0);
  EXPECT_EQ(cursor->RecordIsLocked(), pessimistic);
  EXPECT_EQ(ProbeLocksFromChild(data_path, {{record_byte.offset, 1}})[0], pessimistic);
  EXPECT_FALSE(ReadLocked(*cursor));
  if (pessimistic) cursor->UnlockRecord();

  ASSERT_EQ(InOtherProgram(dir_.engine(),
                           [&](CursorTableWriter& other) {
                             other.Change(&rows[1], {"b", 2, "changed"});
                           }),
            0);
  // The optimistic protocol takes no lock, so it learns of the change when the cursor looks.
  if (!pessimistic) cursor->Refresh();
  EXPECT_EQ(EngineErrorOf([&] { cursor->GetCurrentRecord(image.data(), true); }),
            kura::KURA_KEYORRECDELETED);
  EXPECT_FALSE(cursor->RecordIsLocked());
  EXPECT_FALSE(ProbeLocksFromChild(data_path, {{record_byte.offset, 1}})[0]);
  EXPECT_FALSE(ReadLocked(*cursor));
  // With the image as it is now the edit may begin.
  ASSERT_EQ(cursor->GetCurrentRecord(image.data()), 0);
  EXPECT_EQ(RowOf(*writer_->file(), image.data()).name, "changed");
  EXPECT_EQ(cursor->GetCurrentRecord(image.data(), true), 0);
  // Off a record there is nothing to lock.
  cursor->SetToEnd();
  EXPECT_EQ(cursor->GetCurrentRecord(image.data(), true), kura::KURA_EOF);
}

INSTANTIATE_TEST_SUITE_P(Protocols, EditCheckTest,
                         testing::Values(EditCase{"Pessimistic", kura::lpPessimistic},
                                         EditCase{"Optimistic", kura::lpOptimistic}),
                         [](const testing::TestParamInfo<EditCase>& info) {
                           return info.param.name;
                         });

// Every read operation gives back the table read lock it took, whether it took it up front
// (strict change detection) or on a cache miss, also when it fails; a lock the caller held
// before stays held.
TEST_F(CursorChangesTest, EveryReadGivesBackTheLocksItTook) {
  MakeTable({1024, kura::icNone, true});
  std::vector<Row> rows;
  for (int i = 1; i <= 200; ++i) rows.push_back({"c", i, "n"});
  writer_->AppendAll(rows);
  auto cursor = NewCursor();
  std::vector<uint8_t> record = Buffer(*cursor);
  std::vector<uint8_t> mark(64);
  const std::vector<uint8_t> low = Image({"", 20, ""}), high = Image({"", 80, ""});
  struct Operation {
    const char* name;
    std::function<void()> run;
  };
  const Operation operations[] = {
      {"SetToBegin", [&] { cursor->SetToBegin(); }},
      {"SetToEnd", [&] { cursor->SetToEnd(); }},
      {"GetNextRecord", [&] { cursor->GetNextRecord(record.data()); }},
      {"GetPriorRecord", [&] { cursor->GetPriorRecord(record.data()); }},
      {"SetToRecordNumber", [&] { cursor->SetToRecordNumber(150); }},
      {"GetBookmark", [&] { cursor->GetBookmark(mark.data()); }},
      {"SetToBookmark", [&] { cursor->SetToBookmark(mark.data(), false); }},
      {"SetIndexName", [&] { cursor->SetIndexName("ByAmount"); }},
      {"SetRange", [&] { cursor->SetRange(false, low.data(), 1, high.data(), 1); }},
      {"ResetRange", [&] { cursor->ResetRange(); }},
      {"SetIndexPos", [&] { cursor->SetIndexPos(kura::kNoIndexPos); }},
      {"Refresh", [&] { cursor->Refresh(); }},
      {"ForceRefresh", [&] { cursor->ForceRefresh(); }},
      {"RefreshCurrentRecord", [&] { cursor->RefreshCurrentRecord(1); }},
      {"GetCurrentRecordLocked",
       [&] {
         if (cursor->GetCurrentRecord(record.data()) != 0) cursor->SetToRecordNumber(9);
         cursor->GetCurrentRecord(record.data());
         ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
         cursor->UnlockRecord();
       }},
  };
  for (bool strict : {false, true}) {
    session_->SetStrictChangeDetection(strict);
    for (const Operation& operation : operations) {
      SCOPED_TRACE(testing::Message() << operation.name << (strict ? " strict" : ""));
      // An empty cache makes the reads miss and take the read lock themselves.
      cursor->FreeBuffers(false, false, false);
      operation.run();
      EXPECT_FALSE(ReadLocked(*cursor));
    }
  }
  session_->SetStrictChangeDetection(false);
  cursor->SetIndexPos(kByAmount);
  cursor->ReadLockTable();
  cursor->FreeBuffers(false, false, false);
  cursor->SetToEnd();
  EXPECT_TRUE(ReadLocked(*cursor)) << "the caller's lock";
  cursor->ReadUnlockTable();
  EXPECT_FALSE(ReadLocked(*cursor));
}

// Damaged index pages end a read with KURA_INDEXCORRUPT, never a hang or a read outside the
// files, and the read lock is given back.
TEST_F(CursorChangesTest, DamagedIndexPagesRaiseIndexCorrupt) {
  MakeTable({1024, kura::icNone, true});
  std::vector<Row> rows;
  for (int i = 1; i <= 300; ++i) rows.push_back({"c", i, "n"});
  writer_->AppendAll(rows);
  writer_.reset();
  struct Damage {
    const char* name;
    std::function<void(kura::TPage& root, kura::TPage& first_leaf, kura::TPage& last_leaf)> apply;
  };
  const Damage damages[] = {
      {"RootOfALeafType", [](kura::TPage& root, kura::TPage&, kura::TPage&) {
         root.SetPageType(kura::ptExternal);
       }},
      {"ChildPastTheFile", [](kura::TPage& root, kura::TPage&, kura::TPage&) {
         root.SetRecordNumber(1, 100000);
       }},
      {"LeafChainBackToTheStart", [](kura::TPage&, kura::TPage& first, kura::TPage& last) {
         last.SetRightNumber(first.Number());
         first.SetLeftNumber(last.Number());
       }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    auto cursor = NewCursor();
    cursor->SetIndexName("ByAmount");
    kura::TDataTable& table = *cursor->DataTable();
    kura::TIndexFile& index = *table.IndexFile();
    // The damage goes into the cache under the read lock, as a reader would fetch the pages.
    table.ReadLockTable();
    kura::TPage* root = nullptr;
    kura::TPage* first = nullptr;
    kura::TPage* last = nullptr;
    ASSERT_TRUE(table.GetPage(nullptr, kByAmount, index.GetRootPageNumber(kByAmount), &root));
    ASSERT_TRUE(root->IsInternal());
    ASSERT_TRUE(table.GetPage(nullptr, kByAmount, root->GetRecordNumber(1), &first));
    ASSERT_TRUE(
        table.GetPage(nullptr, kByAmount, root->GetRecordNumber(root->NumberOfKeys()), &last));
    ASSERT_TRUE(first->IsExternal() && last->IsExternal());
    damage.apply(*root, *first, *last);
    table.PutPage(last);
    table.PutPage(first);
    table.PutPage(root);
    table.ReadUnlockTable();
    // A scan over a cycle would never end; record numbers far beyond the keys walk it too.
    std::vector<uint8_t> record = Buffer(*cursor);
    EXPECT_EQ(EngineErrorOf([&] {
                cursor->SetToBegin();
                for (int i = 0; i < 1000 && cursor->GetNextRecord(record.data()) == 0; ++i) {
                }
                cursor->SetToEnd();
                cursor->SetToRecordNumber(299);
              }),
              kura::KURA_INDEXCORRUPT);
    EXPECT_FALSE(ReadLocked(*cursor));
    // The damage lives only in the cache: drop it.
    cursor->FreeBuffers(false, true, false);
  }
}

// Forward and backward reads in an order that follows the record slots fetch several records
// per read of the data file.
TEST_F(CursorChangesTest, ScansInSlotOrderReadSeveralRecordsAtOnce) {
  MakeTable();
  std::vector<Row> rows;
  for (int i = 1; i <= 400; ++i) rows.push_back({"c", i, "n"});
  writer_->AppendAll(rows);
  auto cursor = NewCursor();
  struct ScanCase {
    uint8_t index;
    bool forward;
  };
  for (ScanCase c : {ScanCase{kByAmount, true}, ScanCase{kByAmount, false},
                     ScanCase{kura::kNoIndexPos, true}, ScanCase{kura::kNoIndexPos, false}}) {
    SCOPED_TRACE(testing::Message() << int(c.index) << c.forward);
    cursor->SetIndexPos(c.index);
    cursor->FreeBuffers(false, false, false);
    const int32_t reads = cursor->DataTable()->DataFile()->Reads();
    EXPECT_EQ(ScanIDs(*cursor, c.forward).size(), 400u);
    EXPECT_LT(cursor->DataTable()->DataFile()->Reads() - reads, 400 / 4);
  }
  EXPECT_GT(cursor->TotalReadAheads(), 0);
}

}  // namespace
}  // namespace kura_test
