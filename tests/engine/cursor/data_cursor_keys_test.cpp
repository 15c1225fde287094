// Keys of the cursor's active index: building and filling them, the index upkeep that works on
// the active index, and copying the current record.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/field_codec.h"
#include "engine/maint/table_checker.h"
#include "tests/support/cursor_fixture.h"
#include "tests/support/data_file_builder.h"

namespace kura_test {
namespace {

using kura::TDataCursor;

class CursorKeysTest : public CursorFixture {};

// ByCodeName is Code (flag + 13 bytes) ascending, Name (flag + 17 bytes) descending and the
// 4-byte record ID: filling after the code sorts the key before or after every key of that code.
TEST_F(CursorKeysTest, FillingSortsAKeyAtEitherEndOfItsPrefix) {
  MakeTable();
  auto cursor = NewCursor();
  cursor->SetIndexName("ByCodeName");
  ASSERT_EQ(cursor->KeySize(), 14 + 18 + 4);
  ASSERT_EQ(cursor->KeyLengthOfFields(1), 14u);
  ASSERT_EQ(cursor->KeyLengthOfFields(2), 32u);
  const std::vector<uint8_t> image = Image({"AB", 0, "zz"});
  struct FillCase {
    bool high;
    size_t length;
    uint8_t name_byte, suffix_byte;
  };
  for (FillCase c : {FillCase{false, 14, 0xFF, 0x00}, FillCase{true, 14, 0x00, 0xFF},
                     FillCase{false, 32, 0, 0x00}, FillCase{true, 32, 0, 0xFF}}) {
    SCOPED_TRACE(testing::Message() << c.high << " " << c.length);
    std::vector<uint8_t> key(cursor->KeySize(), 0x55);
    cursor->GetKeyValues(image.data(), key.data());
    const std::vector<uint8_t> built = key;
    c.high ? cursor->FillKeyHigh(key.data(), c.length) : cursor->FillKeyLow(key.data(), c.length);
    EXPECT_TRUE(std::equal(key.begin(), key.begin() + c.length, built.begin()));
    for (size_t i = c.length; i < 32; ++i) EXPECT_EQ(key[i], c.name_byte) << i;
    for (size_t i = 32; i < 36; ++i) EXPECT_EQ(key[i], c.suffix_byte) << i;
  }
}

TEST_F(CursorKeysTest, TheIndexUpkeepWorksOnTheActiveIndex) {
  MakeTable();
  const std::vector<StoredRow> rows = writer_->AppendAll({{"A", 10, "x"}, {"B", 20, "y"}});
  auto cursor = NewCursor();
  struct UpkeepCase {
    uint8_t index;
    const char* violation_name;
  };
  for (UpkeepCase c : {UpkeepCase{kPrimary, "Primary"}, UpkeepCase{kByAmount, "ByAmount"}}) {
    SCOPED_TRACE(c.violation_name);
    cursor->SetIndexPos(c.index);
    std::vector<uint8_t> present(cursor->KeySize()), absent(cursor->KeySize());
    cursor->GetKeyValues(writer_->RecordOf(rows[1].row, rows[1].id).data(), present.data());
    cursor->GetKeyValues(writer_->RecordOf({"C", 30, "z"}, 3).data(), absent.data());
    EXPECT_TRUE(cursor->KeyExists(present.data()));
    EXPECT_FALSE(cursor->KeyExists(absent.data()));
    try {
      cursor->RaiseKeyViolation();
    } catch (const kura::EKuraEngineError& e) {
      EXPECT_EQ(e.ErrorCode(), kura::KURA_KEYVIOL);
      EXPECT_EQ(e.ErrorIndexName(), c.violation_name);
      EXPECT_EQ(e.ErrorTableName(), kTable);
    }
    cursor->WriteLockTable();
    EXPECT_EQ(EngineErrorOf([&] { cursor->DeleteIndexKey(absent.data()); }),
              kura::KURA_INDEXCORRUPT);
    cursor->WriteUnlockTable();
  }
  // A key changed in one index only: the other indexes and the records are untouched.
  cursor->SetIndexPos(kByAmount);
  std::vector<uint8_t> from(cursor->KeySize()), to(cursor->KeySize());
  cursor->GetKeyValues(writer_->RecordOf(rows[0].row, rows[0].id).data(), from.data());
  cursor->GetKeyValues(writer_->RecordOf({"A", 25, "x"}, rows[0].id).data(), to.data());
  cursor->WriteLockTable();
  cursor->ChangeIndexKey(from.data(), to.data(), rows[0].slot);
  cursor->FlushBuffers(false, false, true, true, false);
  cursor->WriteUnlockTable();
  EXPECT_TRUE(cursor->KeyExists(to.data()));
  EXPECT_FALSE(cursor->KeyExists(from.data()));
  EXPECT_EQ(ScanIDs(*cursor), (std::vector<int32_t>{rows[1].id, rows[0].id}));
  cursor->SetIndexPos(kPrimary);
  EXPECT_EQ(ScanIDs(*cursor), (std::vector<int32_t>{rows[0].id, rows[1].id}));
  // The file's ByAmount entry now disagrees with its record.
  EXPECT_FALSE(kura::CheckTable(cursor->DataTable()).Clean());
}

// The copy holds the current record's values without its identity and auto-increment value.
TEST_F(CursorKeysTest, ACloneCopiesTheValuesButNotTheIdentity) {
  directory_ = OpenDirectory();
  TableDefinition table;
  table.fields = {MakeField("Name", kura::dtString, 0, 8),
                  MakeField("Serial", kura::dtInteger, kura::fsAutoInc),
                  MakeField("Amount", kura::dtFloat)};
  const std::vector<kura::TFieldDefinition> fields = PreparedFields(table.fields);
  const uint16_t length =
      static_cast<uint16_t>(kura::ComputeRecordLength(fields.data(), fields.size()));
  std::vector<uint8_t> record = RecordBuilder(fields, length)
                                    .SetText(1, "kept")
                                    .Set(2, int32_t{41})
                                    .Set(3, 2.5)
                                    .SetID(9)
                                    .bytes();
  // Only a data file: the cursor rebuilds the primary index when it opens.
  WriteDataFile(&engine_, dir_.EnginePath("Clone.dat"), table, {record});
  TDataCursor cursor(directory_);
  cursor.SetTableName("Clone");
  cursor.OpenCursor();
  std::vector<uint8_t> clone(cursor.RecordSize(), 0xAA);
  EXPECT_EQ(cursor.CloneCurrentRecord(clone.data()), kura::KURA_BOF);
  ASSERT_TRUE(cursor.SetToRecordNumber(1));
  ASSERT_EQ(cursor.CloneCurrentRecord(clone.data()), 0);
  uint8_t value[16] = {};
  EXPECT_FALSE(kura::GetFieldValue(fields[0], clone.data(), value));
  EXPECT_STREQ(reinterpret_cast<const char*>(value), "kept");
  EXPECT_TRUE(kura::GetFieldValue(fields[1], clone.data(), nullptr)) << "auto-increment left out";
  EXPECT_FALSE(kura::GetFieldValue(fields[2], clone.data(), value));
  EXPECT_EQ(kura::GetF64(value), 2.5);
  EXPECT_EQ(kura::GetI32(clone.data() + kura::kRecordIDOffset), 0);
}

}  // namespace
}  // namespace kura_test
