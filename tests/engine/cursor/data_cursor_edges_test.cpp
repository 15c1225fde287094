// The edges of navigation: an empty table, stepping past both ends, record numbers outside the
// order, a range over the 3rd to 5th keys, bookmarks of equal values and of deleted records, and
// physical order over deleted slots.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/core/error_codes.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/record.h"
#include "tests/support/cursor_fixture.h"

namespace kura_test {
namespace {

using kura::KURA_BOF;
using kura::KURA_EOF;
using kura::KURA_NOCURRREC;
using kura::TDataCursor;

class CursorEdgesTest : public CursorFixture {
 protected:
  // Rows with amounts 10, 20, ... in ID order.
  std::vector<StoredRow> Tens(int count) {
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i) rows.push_back({std::string("C").append(std::to_string(i)), i * 10, "n"});
    return writer_->AppendAll(rows);
  }
  static bool AllBytes(const std::vector<uint8_t>& bytes, uint8_t value) {
    for (uint8_t b : bytes) {
      if (b != value) return false;
    }
    return true;
  }
};

TEST_F(CursorEdgesTest, AnEmptyTableHasNoCurrentRecordAnywhere) {
  MakeTable();
  auto cursor = NewCursor();
  std::vector<uint8_t> record = Buffer(*cursor);
  for (uint8_t index : {kPrimary, kByAmount, uint8_t(kura::kNoIndexPos)}) {
    SCOPED_TRACE(int(index));
    cursor->SetIndexPos(index);
    cursor->SetToBegin();
    EXPECT_TRUE(cursor->IsBOF() && cursor->IsEOF());
    EXPECT_EQ(cursor->GetNextRecord(record.data()), KURA_EOF);
    EXPECT_TRUE(AllBytes(record, 0));
    record.assign(record.size(), 0xAA);
    EXPECT_EQ(cursor->GetCurrentRecord(record.data()), KURA_NOCURRREC);
    EXPECT_TRUE(AllBytes(record, 0));
    EXPECT_EQ(cursor->GetPriorRecord(record.data()), KURA_BOF);
    cursor->SetToEnd();
    EXPECT_EQ(cursor->GetPriorRecord(record.data()), KURA_BOF);
    EXPECT_EQ(cursor->RecordNumber(), 0);
    EXPECT_EQ(cursor->RecordCount(), 0);
    EXPECT_FALSE(cursor->SetToRecordNumber(1));
  }
}

TEST_F(CursorEdgesTest, SteppingPastBothEndsKeepsTheEdgeRecord) {
  MakeTable();
  const std::vector<StoredRow> rows = Tens(3);
  auto cursor = NewCursor();
  cursor->SetIndexName("ByAmount");
  std::vector<uint8_t> record = Buffer(*cursor);
  cursor->SetToBegin();
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
    EXPECT_EQ(RecordIDOf(record.data()), rows[i].id);
    EXPECT_EQ(cursor->RecordNumber(), i + 1);
  }
  record.assign(record.size(), 0xAA);
  EXPECT_EQ(cursor->GetNextRecord(record.data()), KURA_EOF);
  EXPECT_TRUE(AllBytes(record, 0));
  EXPECT_EQ(cursor->RecordNumber(), 3);
  EXPECT_EQ(cursor->GetCurrentRecord(record.data()), KURA_EOF);
  ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(RecordIDOf(record.data()), rows[2].id);
  ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(RecordIDOf(record.data()), rows[1].id);

  cursor->SetToEnd();
  ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(RecordIDOf(record.data()), rows[2].id);
  cursor->SetToBegin();
  EXPECT_EQ(cursor->GetCurrentRecord(record.data()), KURA_BOF);
  EXPECT_EQ(cursor->GetPriorRecord(record.data()), KURA_BOF);
  ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
  EXPECT_EQ(RecordIDOf(record.data()), rows[0].id);
}

TEST_F(CursorEdgesTest, RecordNumbersOutsideTheOrderLeaveTheCursorAtAnEdge) {
  MakeTable();
  const std::vector<StoredRow> rows = Tens(4);
  auto cursor = NewCursor();
  std::vector<uint8_t> record = Buffer(*cursor);
  EXPECT_FALSE(cursor->SetToRecordNumber(0));
  EXPECT_TRUE(cursor->IsBOF());
  EXPECT_FALSE(cursor->IsEOF());
  ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
  EXPECT_EQ(RecordIDOf(record.data()), rows[0].id);

  EXPECT_FALSE(cursor->SetToRecordNumber(5));
  EXPECT_TRUE(cursor->IsEOF());
  EXPECT_FALSE(cursor->IsBOF());
  ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(RecordIDOf(record.data()), rows[3].id);
}

TEST_F(CursorEdgesTest, ARangeOverTheThirdToFifthKeysNumbersFromOne) {
  MakeTable();
  const std::vector<StoredRow> rows = Tens(7);
  auto cursor = NewCursor();
  cursor->SetIndexName("ByAmount");
  struct RangeCase {
    int32_t from, to;
  };
  // Bounds on the keys themselves and between them select the same three keys.
  for (RangeCase r : {RangeCase{30, 50}, RangeCase{25, 55}}) {
    SCOPED_TRACE(r.from);
    const std::vector<uint8_t> begin = Image({"", r.from, ""}), end = Image({"", r.to, ""});
    cursor->SetRange(false, begin.data(), 1, end.data(), 1);
    EXPECT_EQ(cursor->RecordCount(), 3);
    EXPECT_EQ(ScanIDs(*cursor), (std::vector<int32_t>{rows[2].id, rows[3].id, rows[4].id}));
    cursor->SetToBegin();
    std::vector<uint8_t> record = Buffer(*cursor);
    ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
    EXPECT_EQ(cursor->RecordNumber(), 1);
    EXPECT_EQ(cursor->GetPriorRecord(record.data()), KURA_BOF);
    cursor->SetToEnd();
    ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
    EXPECT_EQ(RecordIDOf(record.data()), rows[4].id);
    EXPECT_EQ(cursor->RecordNumber(), 3);
    EXPECT_EQ(cursor->GetNextRecord(record.data()), KURA_EOF);
    // A bookmark outside the range lands on the nearest record inside it.
    cursor->ResetRange();
    ASSERT_TRUE(cursor->SetToRecordNumber(7));
    std::vector<uint8_t> outside(cursor->BookmarkSize());
    cursor->GetBookmark(outside.data());
    cursor->SetRange(false, begin.data(), 1, end.data(), 1);
    EXPECT_FALSE(cursor->SetToBookmark(outside.data(), false));
    EXPECT_EQ(cursor->GetPriorRecord(record.data()), 0);
    EXPECT_EQ(RecordIDOf(record.data()), rows[4].id);
  }
  // A range whose begin sorts after its end is empty.
  const std::vector<uint8_t> begin = Image({"", 50, ""}), end = Image({"", 30, ""});
  cursor->SetRange(false, begin.data(), 1, end.data(), 1);
  EXPECT_EQ(cursor->RecordCount(), 0);
  std::vector<uint8_t> record = Buffer(*cursor);
  EXPECT_EQ(cursor->GetNextRecord(record.data()), KURA_EOF);
  // Changing the index drops the range.
  cursor->SetIndexName("");
  EXPECT_FALSE(cursor->RangeInEffect());
  EXPECT_EQ(cursor->RecordCount(), 7);
}

TEST_F(CursorEdgesTest, EqualValuesKeepDistinctBookmarksOrderedByRecordID) {
  MakeTable({4096, kura::icNone, false});
  const std::vector<StoredRow> rows =
      writer_->AppendAll({{"X", 5, "a"}, {"Y", 5, "b"}, {"Z", 4, "c"}});
  auto cursor = NewCursor();
  cursor->SetIndexName("ByAmount");
  std::vector<std::vector<uint8_t>> marks;
  for (int32_t k = 1; k <= 3; ++k) {
    ASSERT_TRUE(cursor->SetToRecordNumber(k));
    marks.emplace_back(cursor->BookmarkSize());
    cursor->GetBookmark(marks.back().data());
  }
  EXPECT_EQ(ScanIDs(*cursor), (std::vector<int32_t>{rows[2].id, rows[0].id, rows[1].id}));
  EXPECT_NE(marks[1], marks[2]);
  EXPECT_EQ(cursor->CompareBookmarks(marks[1].data(), marks[2].data()), -1);
  EXPECT_EQ(cursor->CompareBookmarks(marks[2].data(), marks[1].data()), 1);
  EXPECT_EQ(cursor->CompareBookmarks(marks[0].data(), marks[0].data()), 0);
  ASSERT_TRUE(cursor->SetToBookmark(marks[2].data(), false));
  EXPECT_EQ(Current(*cursor).id, rows[1].id);
}

TEST_F(CursorEdgesTest, ABookmarkOfADeletedRecordFindsTheNextOne) {
  MakeTable();
  const std::vector<StoredRow> rows = Tens(5);
  auto cursor = NewCursor();
  cursor->SetIndexName("ByAmount");
  for (bool near_set : {false, true}) {
    SCOPED_TRACE(near_set);
    ASSERT_TRUE(cursor->SetToRecordNumber(near_set ? 3 : 2));
    std::vector<uint8_t> mark(cursor->BookmarkSize());
    cursor->GetBookmark(mark.data());
    writer_->Delete(rows[near_set ? 3 : 1]);
    cursor->SetToBegin();
    EXPECT_EQ(cursor->SetToBookmark(mark.data(), near_set), near_set);
    EXPECT_EQ(Current(*cursor).id, rows[near_set ? 4 : 2].id);
  }
}

TEST_F(CursorEdgesTest, PhysicalOrderShowsEverySlotDeletedOnesIncluded) {
  MakeTable();
  const std::vector<StoredRow> rows = Tens(5);
  writer_->Delete(rows[1]);
  writer_->Delete(rows[3]);
  auto cursor = NewCursor();
  cursor->SetIndexName("ByAmount");
  ASSERT_TRUE(cursor->SetToRecordNumber(2));  // amount 30, slot 3
  cursor->SetIndexPos(kura::kNoIndexPos);
  EXPECT_TRUE(cursor->IsPhysicalNavigation());
  EXPECT_EQ(Current(*cursor).slot, 3) << "the current record stays current";
  EXPECT_EQ(cursor->RecordCount(), 5);
  EXPECT_EQ(cursor->TotalRecordCount(), 3);
  std::vector<uint8_t> record = Buffer(*cursor);
  cursor->SetToBegin();
  for (int32_t slot = 1; slot <= 5; ++slot) {
    ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
    EXPECT_EQ(cursor->PhysicalRecordNumber(), slot);
    EXPECT_EQ(cursor->RecordNumber(), slot);
    EXPECT_EQ(record[0], slot % 2 == 0 ? kura::kRecordDeleted : kura::kRecordLive);
  }
  EXPECT_EQ(cursor->GetNextRecord(record.data()), KURA_EOF);
  ASSERT_EQ(cursor->GetPriorRecord(record.data()), 0);
  EXPECT_EQ(cursor->PhysicalRecordNumber(), 5);

  ASSERT_TRUE(cursor->SetToRecordNumber(4));
  EXPECT_EQ(cursor->PhysicalRecordNumber(), 4);
  ASSERT_EQ(cursor->BookmarkSize(), 4);
  std::vector<uint8_t> mark(4);
  cursor->GetBookmark(mark.data());
  EXPECT_EQ(kura::GetI32(mark.data()), 4);
  struct BookmarkCase {
    int32_t bookmark;
    int32_t slot;
  };
  for (BookmarkCase b : {BookmarkCase{2, 2}, BookmarkCase{-3, 1}, BookmarkCase{99, 5}}) {
    kura::PutI32(mark.data(), b.bookmark);
    cursor->SetToBookmark(mark.data(), true);
    EXPECT_EQ(cursor->PhysicalRecordNumber(), b.slot) << b.bookmark;
  }
  // Back to an index from a deleted slot: the next key in order.
  kura::PutI32(mark.data(), 4);
  ASSERT_TRUE(cursor->SetToBookmark(mark.data(), false));
  cursor->SetIndexName("ByAmount");
  EXPECT_EQ(Current(*cursor).id, rows[4].id);
}

}  // namespace
}  // namespace kura_test
