#include "engine/format/field_definition.h"

#include <cstring>

#include "engine/byte_order.h"

namespace kura {

namespace fo = field_definition_offsets;

TFieldDefinition TFieldDefinition::Decode(const uint8_t* bytes) {
  TFieldDefinition d;
  d.FieldNum = GetU16(bytes + fo::kFieldNum);
  d.FieldName = GetShortString(bytes + fo::kFieldName, kFieldNameLength);
  d.Description = GetShortString(bytes + fo::kDescription, kFieldTextLength);
  d.DataType = GetU8(bytes + fo::kDataType);
  d.SubType = GetU8(bytes + fo::kSubType);
  d.Length = GetU16(bytes + fo::kLength);
  d.Decimals = GetU8(bytes + fo::kDecimals);
  d.DataSize = GetU16(bytes + fo::kDataSize);
  d.DataDecimals = GetU8(bytes + fo::kDataDecimals);
  d.Offset = GetU16(bytes + fo::kOffset);
  d.Required = GetU8(bytes + fo::kRequired) != 0;
  d.CharCase = GetU8(bytes + fo::kCharCase);
  d.Minimum = GetShortString(bytes + fo::kMinimum, kFieldTextLength);
  d.Maximum = GetShortString(bytes + fo::kMaximum, kFieldTextLength);
  d.Default = GetShortString(bytes + fo::kDefault, kFieldTextLength);
  d.Compression = GetU8(bytes + fo::kCompression);
  d.ExpressionField = GetU8(bytes + fo::kExpressionField) != 0;
  d.Hidden = GetU8(bytes + fo::kHidden) != 0;
  d.FieldOrigin = GetShortString(bytes + fo::kFieldOrigin, kFieldTextLength);
  d.OriginFieldNum = GetU16(bytes + fo::kOriginFieldNum);
  d.FieldPos = GetU16(bytes + fo::kFieldPos);
  d.FieldDatabaseOrigin = GetShortString(bytes + fo::kFieldDatabaseOrigin, kFieldTextLength);
  return d;
}

void TFieldDefinition::Encode(uint8_t* bytes) const {
  std::memset(bytes, 0, kFieldDefinitionSize);
  PutU16(bytes + fo::kFieldNum, FieldNum);
  PutShortString(bytes + fo::kFieldName, kFieldNameLength, FieldName);
  PutShortString(bytes + fo::kDescription, kFieldTextLength, Description);
  PutU8(bytes + fo::kDataType, DataType);
  PutU8(bytes + fo::kSubType, SubType);
  PutU16(bytes + fo::kLength, Length);
  PutU8(bytes + fo::kDecimals, Decimals);
  PutU16(bytes + fo::kDataSize, DataSize);
  PutU8(bytes + fo::kDataDecimals, DataDecimals);
  PutU16(bytes + fo::kOffset, Offset);
  PutU8(bytes + fo::kRequired, Required ? 1 : 0);
  PutU8(bytes + fo::kCharCase, CharCase);
  PutShortString(bytes + fo::kMinimum, kFieldTextLength, Minimum);
  PutShortString(bytes + fo::kMaximum, kFieldTextLength, Maximum);
  PutShortString(bytes + fo::kDefault, kFieldTextLength, Default);
  PutU8(bytes + fo::kCompression, Compression);
  PutU8(bytes + fo::kExpressionField, ExpressionField ? 1 : 0);
  PutU32(bytes + fo::kExpressionTokens, 0);
  PutU8(bytes + fo::kHidden, Hidden ? 1 : 0);
  PutShortString(bytes + fo::kFieldOrigin, kFieldTextLength, FieldOrigin);
  PutU16(bytes + fo::kOriginFieldNum, OriginFieldNum);
  PutU16(bytes + fo::kFieldPos, FieldPos);
  PutShortString(bytes + fo::kFieldDatabaseOrigin, kFieldTextLength, FieldDatabaseOrigin);
}

uint16_t FieldDataSize(uint8_t data_type, uint8_t sub_type, uint16_t length) {
  switch (data_type) {
    case dtString:
      // Computed in 32 bits: a damaged length must not wrap to a small size.
      return static_cast<uint16_t>(
          sub_type == fsWide ? (2u * length + 1 > 0xFFFF ? 0xFFFF : 2u * length + 1)
                             : (length + 1u > 0xFFFF ? 0xFFFF : length + 1u));
    case dtDate:
    case dtInteger:
    case dtTime:
      return 4;
    case dtBlob:
    case dtFloat:
    case dtTimeStamp:
    case dtLargeInt:
      return 8;
    case dtBoolean:
    case dtSmallInt:
    case dtWord:
      return 2;
    case dtBCD:
      return 34;
    default:  // bytes, variable bytes and unknown codes
      return length;
  }
}

void PrepareFieldDefinition(TFieldDefinition* definition) {
  definition->DataSize =
      FieldDataSize(definition->DataType, definition->SubType, definition->Length);
  definition->DataDecimals = definition->Decimals;
}

uint16_t MaxFieldLength(uint8_t data_type, uint8_t sub_type) {
  switch (data_type) {
    case dtString:
    case dtBytes:
    case dtVarBytes:
      return sub_type == fsWide ? kMaxWideLength : kMaxStringLength;
    default:
      return 0;
  }
}

namespace {

TFieldDefinition MakePseudoField(uint16_t number, const char* name, uint8_t type, uint8_t sub_type,
                                 uint16_t length, uint16_t size, uint16_t offset) {
  TFieldDefinition d;
  d.FieldNum = number;
  d.FieldName = name;
  d.DataType = type;
  d.SubType = sub_type;
  d.Length = length;
  d.DataSize = size;
  d.Offset = offset;
  d.FieldPos = number;
  return d;
}

}  // namespace

const TFieldDefinition& RecordIDFieldDefinition() {
  static const TFieldDefinition definition = MakePseudoField(
      kRecordIDFieldNum, kRecordIDFieldName, dtInteger, fsNone, 0, 4, kRecordIDOffset);
  return definition;
}

const TFieldDefinition& RecordHashFieldDefinition() {
  static const TFieldDefinition definition = MakePseudoField(
      kRecordHashFieldNum, kRecordHashFieldName, dtBytes, fsRecordHash, 16, 16, kRecordHashOffset);
  return definition;
}

bool IsValidFieldNameStart(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

uint64_t ComputeRecordLength(const TFieldDefinition* definitions, size_t count) {
  uint64_t end = kRecordHeaderSize;
  for (size_t i = 0; i < count; ++i) {
    if (!definitions[i].ExpressionField) end += static_cast<uint64_t>(definitions[i].DataSize) + 1;
  }
  return (end + 7) / 8 * 8;
}

uint64_t LayOutFields(TFieldDefinition* definitions, size_t count) {
  uint64_t offset = kRecordHeaderSize;
  for (size_t i = 0; i < count; ++i) {
    PrepareFieldDefinition(&definitions[i]);
    definitions[i].Offset = static_cast<uint16_t>(offset > 0xFFFF ? 0xFFFF : offset);
    offset += static_cast<uint64_t>(definitions[i].DataSize) + 1;
  }
  return ComputeRecordLength(definitions, count);
}

}  // namespace kura
