// The index definitions of a table's index file.
//
// The index file keeps 32 definition slots of 768 bytes after its 512-byte header: slot 0 is the
// primary index, slots 1..IndexCount the secondary indexes in creation order, slot 31 the text
// index. `TIndexDefinition` holds the stored fields by name; `Decode`/`Encode` move it to and from
// the 768 bytes field by field. Key-field arrays are 0-based here: entry i - 1 is key field i.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ansi_string.h"

namespace kura {

constexpr size_t kIndexDefinitionSize = 768;
constexpr size_t kIndexDefinitionSlots = 32;
constexpr size_t kIndexDefinitionsAreaSize = kIndexDefinitionSize * kIndexDefinitionSlots;
constexpr size_t kIndexNameLength = 60;

// Index positions.
constexpr uint8_t kPrimaryIndexPos = 0;
constexpr uint8_t kMaxSecondaryIndexes = 30;
constexpr uint8_t kTextIndexPos = 31;
constexpr uint8_t kNoIndexPos = 255;

// Key limits.
constexpr uint8_t kMaxKeyFields = 128;
constexpr uint16_t kMaxKeySize = 4106;
constexpr uint16_t kRecordIDSuffixSize = 4;  // the record-ID suffix of a non-unique key

// The text index in slot 31.
constexpr const char* kTextIndexName = "Sys Text";
constexpr uint16_t kTextIndexKeySize = 68;

// `KeyCompressionType`.
constexpr uint8_t icNone = 0;
constexpr uint8_t icDuplicateByte = 1;
constexpr uint8_t icTrailingByte = 2;
constexpr uint8_t icFull = 3;

struct TIndexDefinition {
  AnsiString IndexName;  // string[60]
  uint16_t KeySize = 0;
  bool KeyForeign = false;
  uint8_t KeyForeignRule = 0;
  AnsiString KeyForeignTable;  // string[60]
  bool KeyDescending = false;
  bool KeyCaseInsensitive = false;
  bool KeyUnique = false;
  uint8_t KeyCompressionType = icNone;
  uint8_t KeyFieldCount = 0;
  std::array<bool, kMaxKeyFields> KeyDescendingFields{};
  // Field numbers; 65535 is "RecordID", 65534 "RecordHash".
  std::array<uint16_t, kMaxKeyFields> KeyFields{};
  bool NoKeyStatistics = false;
  bool IndexChanged = false;
  bool RemoveIndex = false;

  // Reads the 768 bytes at `bytes`; a length byte beyond a name's capacity is clamped.
  static TIndexDefinition Decode(const uint8_t* bytes);
  // Writes all 768 bytes (the reserved tail as zero).
  void Encode(uint8_t* bytes) const;

  friend bool operator==(const TIndexDefinition&, const TIndexDefinition&) = default;
};

namespace index_definition_offsets {
constexpr size_t kIndexName = 0;
constexpr size_t kKeySize = 61;
constexpr size_t kKeyForeign = 63;
constexpr size_t kKeyForeignRule = 64;
constexpr size_t kKeyForeignTable = 65;
constexpr size_t kKeyDescending = 126;
constexpr size_t kKeyCaseInsensitive = 127;
constexpr size_t kKeyUnique = 128;
constexpr size_t kKeyCompressionType = 129;
constexpr size_t kKeyFieldCount = 130;
constexpr size_t kKeyDescendingFields = 131;
constexpr size_t kKeyFields = 259;
constexpr size_t kNoKeyStatistics = 515;
constexpr size_t kIndexChanged = 516;
constexpr size_t kRemoveIndex = 517;
constexpr size_t kEmptySpace = 518;
}  // namespace index_definition_offsets

// The primary index of a table without primary-key fields: one key field "RecordID", 5-byte keys,
// unique, uncompressed, with statistics.
TIndexDefinition AutoPrimaryIndexDefinition();

// The text-index definition of slot 31 over the given field numbers (none when the table has no
// text-indexed field).
TIndexDefinition TextIndexDefinition(const std::vector<uint16_t>& field_numbers);

// True when slot 0's definition is the automatic primary index.
inline bool IsAutoPrimaryIndex(const TIndexDefinition& definition) {
  return definition.KeyFields[0] == 65535;
}

}  // namespace kura
