// Index keys: how a key is built from a record and how two keys are ordered.
//
// An ordinary key (primary and secondary indexes) is, per key field, a presence flag (1 = value,
// 0 = null) and the value in an order-preserving encoding of S bytes (S = the field's DataSize,
// 8 for BCD); a non-unique index appends the record ID as a 4-byte suffix, so that equal values
// order by record ID. Multi-byte values are big-endian:
//   string                 characters (upper-cased for a case-insensitive index), zero-padded
//   date, Int32, time      Int32 with the sign bit inverted        Int16  the same in 2 bytes
//   boolean, UInt16        UInt16                                  Int64  sign bit inverted
//   float, timestamp       the double's bits; sign bit set for values >= 0, all bits inverted
//                          for negative values (and NaN)
//   BCD                    the value as an Int64 count of ten-thousandths, sign bit inverted
//   anything else          the value bytes as stored
// so that, except for strings of a table with a locale, unsigned byte order is index order.
//
// A text-index key (slot 31, 68 bytes) is 01, the field number (UInt16 big-endian), the word
// upper-cased and zero-padded to 61 bytes, and the record-ID suffix.
//
// `TIndexKeyLayout` is a small value built from an index definition and the table's field
// definitions; it copies what it needs and borrows nothing. Building and comparing keys are pure
// functions of their inputs: any thread may call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/format/field_definition.h"
#include "engine/format/index_definition.h"
#include "engine/format/record_format.h"

namespace kura {

// Offsets inside a text-index key.
constexpr size_t kTextKeyFieldOffset = 1;
constexpr size_t kTextKeyWordOffset = 3;
constexpr size_t kTextKeyWordLength = 61;
constexpr size_t kTextKeySuffixOffset = 64;

// One key field as the key sees it.
struct TKeyField {
  uint16_t FieldNum = 0;
  uint8_t DataType = 0;
  uint16_t Offset = 0;     // of the null flag in a record (of the value for a pseudo-field)
  uint16_t ValueSize = 0;  // S: bytes of the encoded value
  bool Pseudo = false;     // "RecordID" or "RecordHash": no null flag, always present
  bool Descending = false;
};

// S for a field: its DataSize, or 8 for a BCD field.
uint16_t KeyValueSize(const TFieldDefinition& field);

// Encodes a field's value bytes (as they lie in a record, `DataSize` bytes) into its S key bytes.
// A case-insensitive string is upper-cased with the table's locale.
void EncodeKeyValue(const TKeyField& field, const uint8_t* value, bool case_insensitive,
                    int32_t locale_id, uint8_t* key);

// The record-ID suffix: the Int32 in its key encoding.
void EncodeKeyRecordID(int32_t record_id, uint8_t* key);
int32_t DecodeKeyRecordID(const uint8_t* key);

// The outcome of building a layout: `code` 0, or the engine error of the definition's fault with
// the key field number it concerns (0 when none).
struct TKeyLayoutError {
  uint16_t code = 0;
  uint16_t field_num = 0;
};

class TIndexKeyLayout {
 public:
  TIndexKeyLayout() = default;

  // Resolves an index definition against the table's fields. Errors: KURA_INDEXLIMIT when the
  // definition has no key field (outside slot 31) or more than 128; KURA_INVALIDIDXDESC for a
  // field number the table does not have; KURA_SEARCHCOLREQD for a BLOB key field (or, in the
  // text index, a field that is neither a string nor a memo); KURA_INVALIDKEY when the key would
  // be longer than 4106 bytes. `key_size` is computed; the definition's stored KeySize is not used.
  static TKeyLayoutError Build(const TIndexDefinition& definition, uint8_t index_pos,
                               const TRecordFormat& fields, TIndexKeyLayout* layout);

  uint16_t KeySize() const { return key_size_; }
  bool Unique() const { return unique_; }
  bool CaseInsensitive() const { return case_insensitive_; }
  bool TextIndex() const { return text_index_; }
  int32_t LocaleID() const { return locale_id_; }
  const std::vector<TKeyField>& Fields() const { return fields_; }

  // Builds the key of a record (`RecordLength` bytes) into `key` (KeySize bytes). Not for the
  // text index, whose keys are built per word (BuildTextIndexKey).
  void GetKeyValues(const uint8_t* record, uint8_t* key) const;

  // Orders the first `length` bytes of two keys (clamped to KeySize): -1, 0 or 1. Field by field
  // while bytes of `length` remain: a component is compared as unsigned bytes (cut to what is
  // left of `length`), a descending field inverts the result; in a table with a locale, a string
  // component compares its flag bytes and then its texts with the locale's collation. Bytes left
  // after the last field (the record-ID suffix) compare ascending. The text index compares the
  // field number bytes, then the words by collation, then the suffix.
  int CompareKeys(const uint8_t* a, const uint8_t* b, size_t length) const;

 private:
  int CompareTextKeys(const uint8_t* a, const uint8_t* b, size_t length) const;

  std::vector<TKeyField> fields_;
  uint16_t key_size_ = 0;
  bool unique_ = true;
  bool case_insensitive_ = false;
  bool text_index_ = false;
  int32_t locale_id_ = 0;
};

// The text-index key of one word of a record's field (68 bytes into `key`). The word is
// upper-cased with the table's locale and cut to 61 bytes.
void BuildTextIndexKey(uint16_t field_num, std::string_view word, int32_t record_id,
                       int32_t locale_id, uint8_t* key);

// A key fits a page when it is 1..4106 bytes long and at most a third of the page's data area.
bool KeySizeFitsPage(uint32_t key_size, int32_t index_page_size);

}  // namespace kura
