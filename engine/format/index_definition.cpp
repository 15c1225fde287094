#include "engine/format/index_definition.h"

#include <cstring>

#include "engine/byte_order.h"

namespace kura {

namespace o = index_definition_offsets;

TIndexDefinition TIndexDefinition::Decode(const uint8_t* bytes) {
  TIndexDefinition d;
  d.IndexName = GetShortString(bytes + o::kIndexName, kIndexNameLength);
  d.KeySize = GetU16(bytes + o::kKeySize);
  d.KeyForeign = bytes[o::kKeyForeign] != 0;
  d.KeyForeignRule = bytes[o::kKeyForeignRule];
  d.KeyForeignTable = GetShortString(bytes + o::kKeyForeignTable, kIndexNameLength);
  d.KeyDescending = bytes[o::kKeyDescending] != 0;
  d.KeyCaseInsensitive = bytes[o::kKeyCaseInsensitive] != 0;
  d.KeyUnique = bytes[o::kKeyUnique] != 0;
  d.KeyCompressionType = bytes[o::kKeyCompressionType];
  d.KeyFieldCount = bytes[o::kKeyFieldCount];
  for (size_t i = 0; i < kMaxKeyFields; ++i) {
    d.KeyDescendingFields[i] = bytes[o::kKeyDescendingFields + i] != 0;
    d.KeyFields[i] = GetU16(bytes + o::kKeyFields + 2 * i);
  }
  d.NoKeyStatistics = bytes[o::kNoKeyStatistics] != 0;
  d.IndexChanged = bytes[o::kIndexChanged] != 0;
  d.RemoveIndex = bytes[o::kRemoveIndex] != 0;
  return d;
}

void TIndexDefinition::Encode(uint8_t* bytes) const {
  std::memset(bytes, 0, kIndexDefinitionSize);
  PutShortString(bytes + o::kIndexName, kIndexNameLength, IndexName);
  PutU16(bytes + o::kKeySize, KeySize);
  bytes[o::kKeyForeign] = KeyForeign ? 1 : 0;
  bytes[o::kKeyForeignRule] = KeyForeignRule;
  PutShortString(bytes + o::kKeyForeignTable, kIndexNameLength, KeyForeignTable);
  bytes[o::kKeyDescending] = KeyDescending ? 1 : 0;
  bytes[o::kKeyCaseInsensitive] = KeyCaseInsensitive ? 1 : 0;
  bytes[o::kKeyUnique] = KeyUnique ? 1 : 0;
  bytes[o::kKeyCompressionType] = KeyCompressionType;
  bytes[o::kKeyFieldCount] = KeyFieldCount;
  for (size_t i = 0; i < kMaxKeyFields; ++i) {
    bytes[o::kKeyDescendingFields + i] = KeyDescendingFields[i] ? 1 : 0;
    PutU16(bytes + o::kKeyFields + 2 * i, KeyFields[i]);
  }
  bytes[o::kNoKeyStatistics] = NoKeyStatistics ? 1 : 0;
  bytes[o::kIndexChanged] = IndexChanged ? 1 : 0;
  bytes[o::kRemoveIndex] = RemoveIndex ? 1 : 0;
}

TIndexDefinition AutoPrimaryIndexDefinition() {
  TIndexDefinition d;
  d.KeyFieldCount = 1;
  d.KeyFields[0] = 65535;
  d.KeySize = 5;
  d.KeyUnique = true;
  return d;
}

TIndexDefinition TextIndexDefinition(const std::vector<uint16_t>& field_numbers) {
  TIndexDefinition d;
  d.IndexName = kTextIndexName;
  d.KeySize = kTextIndexKeySize;
  d.KeyCompressionType = icFull;
  d.NoKeyStatistics = true;
  size_t count = field_numbers.size() < kMaxKeyFields ? field_numbers.size() : kMaxKeyFields;
  d.KeyFieldCount = static_cast<uint8_t>(count);
  for (size_t i = 0; i < count; ++i) d.KeyFields[i] = field_numbers[i];
  return d;
}

}  // namespace kura
