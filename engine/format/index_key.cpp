#include "engine/format/index_key.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/core/error_codes.h"
#include "engine/format/bcd.h"
#include "engine/format/locale_text.h"
#include "engine/format/page_contents.h"

namespace kura {

namespace {

void PutBigEndian(uint8_t* out, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
  }
}

int CompareBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

std::string_view Text(const uint8_t* p, size_t n) {
  return std::string_view(reinterpret_cast<const char*>(p), n);
}

uint64_t FloatKeyBits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  // value >= 0 holds for -0.0 too, so both zeros key alike; NaN takes the negative branch.
  if (value >= 0) return bits | 0x8000000000000000ull;
  return ~bits;
}

// A BCD value that is damaged or too large for the currency range still gets a key in the right
// place: damaged digits key as 0, out-of-range values as the nearest end of the range.
int64_t BcdKeyValue(const uint8_t* bcd) {
  int64_t currency = 0;
  if (BcdToCurrency(bcd, &currency)) return currency;
  bool negative = (bcd[1] & 0x80) != 0;
  for (size_t i = 2; i < 18; ++i) {
    uint8_t hi = bcd[i] >> 4, lo = bcd[i] & 0x0F;
    if (hi > 9 || lo > 9) return 0;
  }
  return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

}  // namespace

uint16_t KeyValueSize(const TFieldDefinition& field) {
  return field.DataType == dtBCD ? 8 : field.DataSize;
}

void EncodeKeyValue(const TKeyField& field, const uint8_t* value, bool case_insensitive,
                    int32_t locale_id, uint8_t* key) {
  const size_t size = field.ValueSize;
  switch (field.DataType) {
    case dtString: {
      std::memset(key, 0, size);
      size_t n = 0;
      while (n < size && value[n] != 0) ++n;
      std::memcpy(key, value, n);
      if (case_insensitive) LocaleUpperCase(locale_id, reinterpret_cast<char*>(key), n);
      return;
    }
    case dtDate:
    case dtInteger:
    case dtTime:
      PutBigEndian(key, GetU32(value) ^ 0x80000000u, 4);
      return;
    case dtSmallInt:
      PutBigEndian(key, GetU16(value) ^ 0x8000u, 2);
      return;
    case dtBoolean:
    case dtWord:
      PutBigEndian(key, GetU16(value), 2);
      return;
    case dtFloat:
    case dtTimeStamp:
      PutBigEndian(key, FloatKeyBits(GetF64(value)), 8);
      return;
    case dtBCD:
      PutBigEndian(key, static_cast<uint64_t>(BcdKeyValue(value)) ^ 0x8000000000000000ull, 8);
      return;
    case dtLargeInt:
      PutBigEndian(key, GetU64(value) ^ 0x8000000000000000ull, 8);
      return;
    default:
      std::memcpy(key, value, size);
      return;
  }
}

void EncodeKeyRecordID(int32_t record_id, uint8_t* key) {
  PutBigEndian(key, static_cast<uint32_t>(record_id) ^ 0x80000000u, 4);
}

int32_t DecodeKeyRecordID(const uint8_t* key) {
  uint32_t v = (static_cast<uint32_t>(key[0]) << 24) | (static_cast<uint32_t>(key[1]) << 16) |
               (static_cast<uint32_t>(key[2]) << 8) | key[3];
  return static_cast<int32_t>(v ^ 0x80000000u);
}

TKeyLayoutError TIndexKeyLayout::Build(const TIndexDefinition& definition, uint8_t index_pos,
                                       const TRecordFormat& fields, TIndexKeyLayout* layout) {
  TIndexKeyLayout result;
  result.text_index_ = index_pos == kTextIndexPos;
  result.unique_ = result.text_index_ ? false : definition.KeyUnique;
  result.case_insensitive_ = definition.KeyCaseInsensitive;
  result.locale_id_ = fields.LocaleID();
  if (definition.KeyFieldCount > kMaxKeyFields ||
      (definition.KeyFieldCount == 0 && !result.text_index_)) {
    return {KURA_INDEXLIMIT, 0};
  }
  uint32_t size = 0;
  for (size_t i = 0; i < definition.KeyFieldCount; ++i) {
    uint16_t number = definition.KeyFields[i];
    const TFieldDefinition* field = fields.FieldByPosition(number);
    if (field == nullptr) return {KURA_INVALIDIDXDESC, number};
    if (result.text_index_) {
      bool memo = field->DataType == dtBlob && field->SubType == fsMemo;
      if (field->DataType != dtString && !memo) return {KURA_SEARCHCOLREQD, number};
    } else if (field->DataType == dtBlob) {
      return {KURA_SEARCHCOLREQD, number};
    }
    TKeyField key_field;
    key_field.FieldNum = number;
    key_field.DataType = field->DataType;
    key_field.Offset = field->Offset;
    key_field.ValueSize = KeyValueSize(*field);
    key_field.Pseudo = field->IsPseudoField();
    key_field.Descending = definition.KeyDescendingFields[i];
    result.fields_.push_back(key_field);
    size += key_field.ValueSize + 1u;
  }
  if (result.text_index_) {
    size = kTextIndexKeySize;
  } else if (!result.unique_) {
    size += kRecordIDSuffixSize;
  }
  if (size > kMaxKeySize) return {KURA_INVALIDKEY, 0};
  result.key_size_ = static_cast<uint16_t>(size);
  *layout = std::move(result);
  return {};
}

void TIndexKeyLayout::GetKeyValues(const uint8_t* record, uint8_t* key) const {
  std::memset(key, 0, key_size_);
  size_t p = 0;
  for (const TKeyField& field : fields_) {
    const uint8_t* value = record + field.Offset;
    if (field.Pseudo) {
      key[p] = 1;
    } else {
      key[p] = value[0] == 1 ? 1 : 0;
      ++value;
    }
    EncodeKeyValue(field, value, case_insensitive_, locale_id_, key + p + 1);
    p += field.ValueSize + 1u;
  }
  if (!unique_) EncodeKeyRecordID(GetI32(record + kRecordIDOffset), key + p);
}

int TIndexKeyLayout::CompareKeys(const uint8_t* a, const uint8_t* b, size_t length) const {
  length = std::min<size_t>(length, key_size_);
  if (text_index_) return CompareTextKeys(a, b, length);
  size_t p = 0;
  for (const TKeyField& field : fields_) {
    if (p >= length) return 0;
    const size_t left = length - p;
    const size_t component = field.ValueSize + 1u;
    int r;
    if (locale_id_ != 0 && field.DataType == dtString) {
      r = CompareBytes(a + p, b + p, 1);
      // With no text bytes left inside `length` the texts take no part.
      if (r == 0 && left > 1) {
        size_t m = std::min<size_t>(field.ValueSize, left - 1);
        r = CompareLocaleStrings(locale_id_, Text(a + p + 1, m), Text(b + p + 1, m), false, m);
      }
    } else {
      r = CompareBytes(a + p, b + p, std::min(component, left));
    }
    if (r != 0) return field.Descending ? -r : r;
    p += component;
  }
  return p < length ? CompareBytes(a + p, b + p, length - p) : 0;
}

int TIndexKeyLayout::CompareTextKeys(const uint8_t* a, const uint8_t* b, size_t length) const {
  int r = CompareBytes(a, b, std::min(length, kTextKeyWordOffset));
  if (r != 0 || length <= kTextKeyWordOffset) return r;
  size_t m = std::min(length - kTextKeyWordOffset, kTextKeyWordLength);
  r = CompareLocaleStrings(locale_id_, Text(a + kTextKeyWordOffset, m),
                           Text(b + kTextKeyWordOffset, m), false, m);
  if (r != 0 || length <= kTextKeySuffixOffset) return r;
  return CompareBytes(a + kTextKeySuffixOffset, b + kTextKeySuffixOffset,
                      length - kTextKeySuffixOffset);
}

void BuildTextIndexKey(uint16_t field_num, std::string_view word, int32_t record_id,
                       int32_t locale_id, uint8_t* key) {
  std::memset(key, 0, kTextIndexKeySize);
  key[0] = 1;
  PutBigEndian(key + kTextKeyFieldOffset, field_num, 2);
  size_t n = std::min(word.size(), kTextKeyWordLength);
  std::memcpy(key + kTextKeyWordOffset, word.data(), n);
  LocaleUpperCase(locale_id, reinterpret_cast<char*>(key + kTextKeyWordOffset), n);
  EncodeKeyRecordID(record_id, key + kTextKeySuffixOffset);
}

bool KeySizeFitsPage(uint32_t key_size, int32_t index_page_size) {
  if (key_size == 0 || key_size > kMaxKeySize) return false;
  int64_t buffer_size =
      static_cast<int64_t>(index_page_size) - static_cast<int64_t>(kPageHeaderSize);
  return buffer_size > 0 && static_cast<int64_t>(key_size) * 3 <= buffer_size;
}

}  // namespace kura
