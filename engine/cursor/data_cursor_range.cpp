// TDataCursor: the key range on the active index and the key filling it needs (see
// data_cursor.h).
#include <algorithm>
#include <cstring>

#include "engine/core/data_table.h"
#include "engine/cursor/data_cursor.h"
#include "engine/cursor/read_operation.h"
#include "engine/format/data_file.h"

namespace kura {

size_t TDataCursor::KeyLengthOfFields(int FieldCount) const {
  size_t length = 0;
  const std::vector<TKeyField>& fields = FKeyLayout.Fields();
  const size_t count = std::min(static_cast<size_t>(std::max(FieldCount, 0)), fields.size());
  for (size_t i = 0; i < count; ++i) length += fields[i].ValueSize + 1u;
  return length;
}

namespace {

// Fills key bytes from `length` on so that the key sorts lowest (high false) or highest among
// the keys sharing its first `length` bytes, field by field: strings with the collation's lowest
// or highest character, other values with 00 or FF, both the other way round for a descending
// field; the record-ID suffix with 00 or FF.
void FillKey(const TIndexKeyLayout& layout, const TLocaleCharMapArray* char_map,
             uint16_t key_size, uint8_t* key, size_t length, bool high) {
  size_t offset = 0;
  for (const TKeyField& field : layout.Fields()) {
    const size_t end = offset + field.ValueSize + 1u;
    if (end > key_size) break;
    if (end > length) {
      const bool fill_high = high != field.Descending;
      uint8_t value;
      if (field.DataType == dtString && char_map != nullptr) {
        value = fill_high ? (*char_map)[255] : (*char_map)[0];
      } else {
        value = fill_high ? 0xFF : 0x00;
      }
      const size_t from = std::max(length, offset);
      std::memset(key + from, value, end - from);
    }
    offset = end;
  }
  if (offset < key_size) {
    const size_t from = std::max(length, offset);
    if (from < key_size) std::memset(key + from, high ? 0xFF : 0x00, key_size - from);
  }
}

}  // namespace

void TDataCursor::FillKeyLow(uint8_t* KeyBuffer, size_t Length) const {
  FillKey(FKeyLayout, FCharMap, FKeySize, KeyBuffer, Length, false);
}

void TDataCursor::FillKeyHigh(uint8_t* KeyBuffer, size_t Length) const {
  FillKey(FKeyLayout, FCharMap, FKeySize, KeyBuffer, Length, true);
}

void TDataCursor::SetRange(bool KeysProvided, const uint8_t* BeginBuffer, int BeginFieldCount,
                           const uint8_t* EndBuffer, int EndFieldCount) {
  TReadOperation operation(this);
  // Physical order has no keys to range over.
  if (IsPhysicalNavigation() || FIndexPos == kIndexNotSelected) return;
  const auto build = [&](std::vector<uint8_t>& key, const uint8_t* source, int field_count,
                         bool high) {
    std::fill(key.begin(), key.end(), 0);
    if (source != nullptr) {
      if (KeysProvided) {
        std::memcpy(key.data(), source, FKeySize);
      } else {
        GetKeyValues(source, key.data());
      }
    }
    field_count = std::clamp(field_count, 0, static_cast<int>(FKeyFieldCount));
    if (!FKeyUnique && field_count == 0) field_count = FKeyFieldCount;
    if ((field_count >= 1 && field_count < FKeyFieldCount) || !FKeyUnique) {
      const size_t length = KeyLengthOfFields(field_count);
      high ? FillKeyHigh(key.data(), length) : FillKeyLow(key.data(), length);
    }
  };
  build(FBeginBuffer, BeginBuffer, BeginFieldCount, false);
  build(FEndBuffer, EndBuffer, EndFieldCount, true);
  FRangeInEffect = true;
  RefreshRangeAndFilters();
  RepositionCurrentRecord();
}

void TDataCursor::ResetRange() {
  TReadOperation operation(this);
  ClearRange();
  RefreshRangeAndFilters();
  RepositionCurrentRecord();
}

void TDataCursor::ClearRange() {
  std::fill(FBeginBuffer.begin(), FBeginBuffer.end(), 0);
  std::fill(FEndBuffer.begin(), FEndBuffer.end(), 0);
  FBeginSequenceNumber = 1;
  FEndSequenceNumber = TotalRecordCount();
  FRangeInEffect = false;
}

bool TDataCursor::RefreshRange() {
  if (FFiltersInEffect) {
    // No filter subsystem: every slot of the data file passes (physical order shows them all).
    FFilterBitmap.SetAll(FDataTable->DataFile()->IOBlocksUsed());
    FFilterRecordCount = FFilterBitmap.Count();
  }
  if (IsPhysicalNavigation() || !FRangeInEffect || FFiltersInEffect) {
    FBeginSequenceNumber = 1;
    FEndSequenceNumber = TotalRecordCount();
    return true;
  }
  TIndexWalker walker = Walker();
  if (walker.Compare(FBeginBuffer.data(), FEndBuffer.data()) > 0) {
    FBeginSequenceNumber = FEndSequenceNumber = 0;
    return true;
  }
  TIndexPlace place;
  bool exact = false, past_end = false;
  TWalkResult result = walker.LowerBound(FBeginBuffer.data(), &place, &exact, &past_end);
  if (result == wrChanged) return false;
  const int32_t begin = result == wrFound && !past_end ? place.sequence : 0;
  result = walker.LastNotAbove(FEndBuffer.data(), &place);
  if (result == wrChanged) return false;
  FBeginSequenceNumber = begin;
  FEndSequenceNumber = result == wrFound ? place.sequence : 0;
  return true;
}

}  // namespace kura
