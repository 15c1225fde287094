// Navigation over trees built by the index upkeep, compared with the rows sorted in memory:
// scans in both directions, record numbers, bookmarks and ranges on every index, for several
// page sizes and key compressions, with a unique and a non-unique index.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/error_codes.h"
#include "engine/cursor/data_cursor.h"
#include "engine/maint/table_checker.h"
#include "tests/support/cursor_fixture.h"
#include "tests/support/tree_snapshot.h"

namespace kura_test {
namespace {

using kura::TDataCursor;

struct NavigationCase {
  const char* name;
  CursorTableShape shape;
  int rows;
};

const NavigationCase kCases[] = {
    {"SmallPagesPlain", {1024, kura::icNone, true}, 1200},
    {"SmallPagesDuplicateBytes", {1024, kura::icDuplicateByte, false}, 1500},
    {"SmallPagesTrailingBytes", {1024, kura::icTrailingByte, true}, 1500},
    {"SmallPagesFullCompression", {1024, kura::icFull, false}, 4000},
    {"LargePagesPlain", {4096, kura::icNone, false}, 1500},
    {"LargePagesFullCompression", {4096, kura::icFull, true}, 1500},
};

class CursorNavigationTest : public CursorFixture,
                             public testing::WithParamInterface<NavigationCase> {
 protected:
  void SetUp() override {
    const NavigationCase& c = GetParam();
    MakeTable(c.shape);
    std::mt19937 random(20240131);
    // Unique amounts are a shuffled run; non-unique ones repeat a few values many times.
    std::vector<int32_t> amounts(c.rows);
    for (int i = 0; i < c.rows; ++i) amounts[i] = c.shape.unique_amount ? i * 3 - 900 : i % 17;
    std::shuffle(amounts.begin(), amounts.end(), random);
    const std::string codes[] = {"", "A", "AB", "B", "BA", "C", "CCCCCCCCCCCC", "Z"};
    std::vector<Row> rows;
    for (int i = 0; i < c.rows; ++i) {
      Row row;
      row.code = codes[random() % 8];
      row.amount = amounts[i];
      row.name = random() % 10 == 0 ? "" : std::string("n").append(std::to_string(random() % 500));
      rows.push_back(row);
    }
    rows_ = writer_->AppendAll(rows);
    // Deletes thin the trees out unevenly (leaves removed, internal pages merged).
    std::vector<StoredRow> kept;
    for (const StoredRow& row : rows_) {
      if (random() % 4 == 0 || (row.row.amount > 100 && row.row.amount < 400)) {
        writer_->Delete(row);
      } else {
        kept.push_back(row);
      }
    }
    rows_ = kept;
    ASSERT_TRUE(kura::CheckTable(writer_->table()).Clean());
    // Small pages give trees of three levels and more.
    if (c.shape.page_size == 1024) {
      ASSERT_GE(SnapshotTree(writer_->table(), kByCodeName).size(), 3u);
    }
    cursor_ = NewCursor();
  }

  void Select(uint8_t index) { cursor_->SetIndexPos(index); }

  // The row's values must be the ones the table holds for its ID.
  void ExpectRow(const StoredRow& expected, const std::vector<uint8_t>& record) {
    EXPECT_EQ(RecordIDOf(record.data()), expected.id);
    Row row = RowOf(*writer_->file(), record.data());
    EXPECT_EQ(row.code, expected.row.code);
    EXPECT_EQ(row.amount, expected.row.amount);
    EXPECT_EQ(row.name, expected.row.name);
  }

  std::vector<StoredRow> rows_;
  std::unique_ptr<TDataCursor> cursor_;
};

const uint8_t kIndexes[] = {kPrimary, kByAmount, kByCodeName};

TEST_P(CursorNavigationTest, ScansFollowTheIndexOrderBothWaysWithRecordNumbers) {
  for (uint8_t index : kIndexes) {
    SCOPED_TRACE(testing::Message() << "index " << int(index));
    Select(index);
    const std::vector<StoredRow> order = InIndexOrder(rows_, index);
    const int32_t n = static_cast<int32_t>(order.size());
    ASSERT_EQ(cursor_->RecordCount(), n);
    std::vector<uint8_t> record = Buffer(*cursor_);

    cursor_->SetToBegin();
    for (int32_t i = 0; i < n; ++i) {
      ASSERT_EQ(cursor_->GetNextRecord(record.data()), 0) << "at " << i;
      ExpectRow(order[i], record);
      ASSERT_EQ(cursor_->RecordNumber(), i + 1);
    }
    EXPECT_EQ(cursor_->GetNextRecord(record.data()), kura::KURA_EOF);
    EXPECT_EQ(cursor_->RecordNumber(), n);
    ASSERT_EQ(cursor_->GetPriorRecord(record.data()), 0);
    ExpectRow(order[n - 1], record);

    cursor_->SetToEnd();
    for (int32_t i = n - 1; i >= 0; --i) {
      ASSERT_EQ(cursor_->GetPriorRecord(record.data()), 0) << "at " << i;
      ExpectRow(order[i], record);
      ASSERT_EQ(cursor_->RecordNumber(), i + 1);
    }
    EXPECT_EQ(cursor_->GetPriorRecord(record.data()), kura::KURA_BOF);
    ASSERT_EQ(cursor_->GetNextRecord(record.data()), 0);
    ExpectRow(order[0], record);
  }
}

TEST_P(CursorNavigationTest, RecordNumbersAndBookmarksFindTheRecordsAgain) {
  std::mt19937 random(7);
  for (uint8_t index : kIndexes) {
    SCOPED_TRACE(testing::Message() << "index " << int(index));
    Select(index);
    const std::vector<StoredRow> order = InIndexOrder(rows_, index);
    const int32_t n = static_cast<int32_t>(order.size());
    std::vector<uint8_t> record = Buffer(*cursor_);
    std::vector<int32_t> numbers = {1, n, n / 2};
    for (int i = 0; i < 40; ++i) numbers.push_back(1 + static_cast<int32_t>(random() % n));

    std::vector<std::vector<uint8_t>> bookmarks;
    for (int32_t k : numbers) {
      ASSERT_TRUE(cursor_->SetToRecordNumber(k)) << k;
      EXPECT_EQ(cursor_->RecordNumber(), k);
      ASSERT_EQ(cursor_->GetCurrentRecord(record.data()), 0);
      ExpectRow(order[k - 1], record);
      bookmarks.emplace_back(cursor_->BookmarkSize());
      cursor_->GetBookmark(bookmarks.back().data());
    }
    cursor_->SetToBegin();
    for (size_t i = 0; i < numbers.size(); ++i) {
      ASSERT_TRUE(cursor_->SetToBookmark(bookmarks[i].data(), false));
      EXPECT_EQ(cursor_->RecordNumber(), numbers[i]);
      ASSERT_EQ(cursor_->GetCurrentRecord(record.data()), 0);
      ExpectRow(order[numbers[i] - 1], record);
      const size_t j = (i * 7 + 3) % numbers.size();
      const int expected = numbers[i] < numbers[j] ? -1 : numbers[i] > numbers[j] ? 1 : 0;
      EXPECT_EQ(cursor_->CompareBookmarks(bookmarks[i].data(), bookmarks[j].data()), expected);
    }
  }
}

TEST_P(CursorNavigationTest, RangesShowExactlyTheKeysInsideThem) {
  struct RangeCase {
    uint8_t index;
    Row begin, end;
    int begin_fields, end_fields;
  };
  const RangeCase ranges[] = {
      {kByAmount, {"", -200, ""}, {"", 700, ""}, 1, 1},
      {kByAmount, {"", 3, ""}, {"", 3, ""}, 1, 1},
      {kByAmount, {"", -5000, ""}, {"", -4000, ""}, 1, 1},  // below every key: empty
      {kByCodeName, {"B", 0, ""}, {"B", 0, ""}, 1, 1},      // one code, every name
      {kByCodeName, {"AB", 0, ""}, {"C", 0, ""}, 1, 1},
      {kByCodeName, {"", 0, ""}, {"", 0, ""}, 1, 1},        // the null codes
      {kByCodeName, {"C", 0, "n400"}, {"C", 0, "n100"}, 2, 2},  // descending names
  };
  for (const RangeCase& r : ranges) {
    SCOPED_TRACE(testing::Message() << "index " << int(r.index) << " from " << r.begin.code
                                    << r.begin.amount << " to " << r.end.code << r.end.amount);
    Select(r.index);
    std::vector<StoredRow> inside;
    for (const StoredRow& row : InIndexOrder(rows_, r.index)) {
      bool in = false;
      if (r.index == kByAmount) {
        in = row.row.amount >= r.begin.amount && row.row.amount <= r.end.amount;
      } else if (r.begin_fields == 1) {
        in = row.row.code >= r.begin.code && row.row.code <= r.end.code;
      } else {
        in = row.row.code == r.begin.code && row.row.name <= r.begin.name &&
             row.row.name >= r.end.name;
      }
      if (in) inside.push_back(row);
    }
    const std::vector<uint8_t> begin = Image(r.begin), end = Image(r.end);
    cursor_->SetRange(false, begin.data(), r.begin_fields, end.data(), r.end_fields);
    ASSERT_TRUE(cursor_->RangeInEffect());
    const int32_t n = static_cast<int32_t>(inside.size());
    EXPECT_EQ(cursor_->RecordCount(), n);
    EXPECT_EQ(ScanIDs(*cursor_), IDs(inside));
    std::vector<int32_t> backward = ScanIDs(*cursor_, false);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, IDs(inside));
    for (int32_t k = 1; k <= n; k += std::max(1, n / 7)) {
      ASSERT_TRUE(cursor_->SetToRecordNumber(k));
      EXPECT_EQ(Current(*cursor_).id, inside[k - 1].id);
    }
    EXPECT_FALSE(cursor_->SetToRecordNumber(n + 1));
    EXPECT_TRUE(cursor_->IsEOF());
    cursor_->ResetRange();
    EXPECT_EQ(cursor_->RecordCount(), static_cast<int32_t>(rows_.size()));
  }
}

TEST_P(CursorNavigationTest, OrderHoldsAfterKeysMoveAndTheCursorRepositions) {
  std::mt19937 random(99);
  Select(kByAmount);
  ASSERT_TRUE(cursor_->SetToRecordNumber(static_cast<int32_t>(rows_.size() / 2)));
  const int32_t standing = Current(*cursor_).id;
  // Another cursor of the session moves keys of every index; this one follows at its next read.
  for (int i = 0; i < 150; ++i) {
    StoredRow& row = rows_[random() % rows_.size()];
    if (row.id == standing) continue;
    Row changed = row.row;
    changed.code = std::string(1, static_cast<char>('A' + random() % 26));
    changed.name = std::string("m").append(std::to_string(random() % 50));
    if (!GetParam().shape.unique_amount) changed.amount = static_cast<int32_t>(random() % 9);
    writer_->Change(&row, changed);
  }
  ASSERT_TRUE(kura::CheckTable(writer_->table()).Clean());
  EXPECT_EQ(Current(*cursor_).id, standing);
  for (uint8_t index : {kByCodeName, kPrimary, kByAmount}) {
    Select(index);
    EXPECT_EQ(Current(*cursor_).id, standing) << "the current record stays current";
  }
  for (uint8_t index : kIndexes) {
    SCOPED_TRACE(testing::Message() << "index " << int(index));
    Select(index);
    EXPECT_EQ(ScanIDs(*cursor_), IDs(InIndexOrder(rows_, index)));
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, CursorNavigationTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<NavigationCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace kura_test
