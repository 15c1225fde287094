// Field type codes and field definitions of a table's data file.
//
// A data file stores one 768-byte definition per field right after its 512-byte header. The
// in-memory `TFieldDefinition` holds the stored fields by name; `Decode`/`Encode` move it to and
// from the 768 bytes, field by field at the offsets below. Bytes past a string's length and the
// reserved areas are written as zero.
//
// Names and codes here are shared by the records, the index keys and the tools: keep them stable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ansi_string.h"

namespace kura {

// Field type codes (`DataType`).
constexpr uint8_t dtString = 1;
constexpr uint8_t dtDate = 2;
constexpr uint8_t dtBlob = 3;
constexpr uint8_t dtBoolean = 4;
constexpr uint8_t dtSmallInt = 5;  // 16-bit signed
constexpr uint8_t dtInteger = 6;   // 32-bit signed
constexpr uint8_t dtFloat = 7;
constexpr uint8_t dtBCD = 8;
constexpr uint8_t dtBytes = 9;
constexpr uint8_t dtTime = 10;
constexpr uint8_t dtTimeStamp = 11;
constexpr uint8_t dtWord = 12;  // 16-bit unsigned
constexpr uint8_t dtVarBytes = 15;
constexpr uint8_t dtLargeInt = 18;  // 64-bit signed

// Sub-type codes (`SubType`); 0 is "none" for every type.
constexpr uint8_t fsNone = 0;
constexpr uint8_t fsCurrency = 21;     // dtFloat
constexpr uint8_t fsMemo = 22;         // dtBlob, text
constexpr uint8_t fsFormattedMemo = 24;  // dtBlob, read as memo by the dataset layer
constexpr uint8_t fsGraphic = 26;      // dtBlob
constexpr uint8_t fsAutoInc = 29;      // dtInteger
constexpr uint8_t fsFixed = 31;        // dtString, trailing blanks kept
constexpr uint8_t fsWide = 32;         // dtString (2 bytes per character), dtBytes, dtVarBytes
constexpr uint8_t fsWideMemo = 33;     // dtBlob, read as memo by the dataset layer
constexpr uint8_t fsGuid = 50;         // dtString of 38 characters
constexpr uint8_t fsRecordHash = 100;  // the "RecordHash" pseudo-field

// `CharCase` of string fields.
constexpr uint8_t ccNone = 0;
constexpr uint8_t ccLower = 1;
constexpr uint8_t ccUpper = 2;

// Limits of the format.
constexpr size_t kFieldDefinitionSize = 768;
constexpr size_t kFieldNameLength = 60;
constexpr size_t kFieldTextLength = 100;  // descriptions and literals
constexpr uint16_t kMaxFieldCount = 1024;
constexpr uint16_t kMaxBlobFieldCount = 128;
constexpr uint16_t kMaxRecordLength = 65534;
constexpr uint16_t kMaxStringLength = 512;
constexpr uint16_t kMaxWideLength = 256;

// The fixed record header that precedes the fields (status, number or free link, ID, hash).
constexpr uint16_t kRecordHeaderSize = 25;
constexpr uint16_t kRecordStatusOffset = 0;
constexpr uint16_t kRecordNumberOffset = 1;
constexpr uint16_t kRecordIDOffset = 5;
constexpr uint16_t kRecordHashOffset = 9;

// Field numbers of the pseudo-fields, which address the record header like fields.
constexpr uint16_t kRecordIDFieldNum = 65535;    // -1 as a signed 16-bit number
constexpr uint16_t kRecordHashFieldNum = 65534;  // -2
constexpr const char* kRecordIDFieldName = "RecordID";
constexpr const char* kRecordHashFieldName = "RecordHash";

struct TFieldDefinition {
  uint16_t FieldNum = 0;
  AnsiString FieldName;    // string[60]
  AnsiString Description;  // string[100]
  uint8_t DataType = 0;
  uint8_t SubType = 0;
  uint16_t Length = 0;
  uint8_t Decimals = 0;
  uint16_t DataSize = 0;
  uint8_t DataDecimals = 0;
  uint16_t Offset = 0;
  bool Required = false;
  uint8_t CharCase = ccNone;
  AnsiString Minimum;  // string[100]
  AnsiString Maximum;  // string[100]
  AnsiString Default;  // string[100]
  uint8_t Compression = 0;
  bool ExpressionField = false;
  // The parsed expression of a computed column lives only in memory; the file stores 0.
  bool Hidden = false;
  AnsiString FieldOrigin;  // string[100]
  uint16_t OriginFieldNum = 0;
  uint16_t FieldPos = 0;  // in memory: the definition's position, set by the look-ups
  AnsiString FieldDatabaseOrigin;  // string[100]

  // Reads the 768 bytes at `bytes`. Length bytes beyond a string's capacity are clamped, so a
  // damaged definition never reads past its block; the stored `FieldPos` is kept as it stands.
  static TFieldDefinition Decode(const uint8_t* bytes);
  // Writes all 768 bytes at `bytes` (reserved areas and `ExpressionTokens` as zero).
  void Encode(uint8_t* bytes) const;

  bool IsPseudoField() const {
    return FieldNum == kRecordIDFieldNum || FieldNum == kRecordHashFieldNum;
  }
};

// Byte offsets inside a stored definition.
namespace field_definition_offsets {
constexpr size_t kFieldNum = 0;
constexpr size_t kFieldName = 2;
constexpr size_t kDescription = 63;
constexpr size_t kDataType = 164;
constexpr size_t kSubType = 165;
constexpr size_t kLength = 166;
constexpr size_t kDecimals = 168;
constexpr size_t kDataSize = 169;
constexpr size_t kDataDecimals = 171;
constexpr size_t kOffset = 172;
constexpr size_t kRequired = 174;
constexpr size_t kCharCase = 175;
constexpr size_t kMinimum = 176;
constexpr size_t kMaximum = 277;
constexpr size_t kDefault = 378;
constexpr size_t kCompression = 479;
constexpr size_t kExpressionField = 480;
constexpr size_t kExpressionTokens = 481;
constexpr size_t kHidden = 485;
constexpr size_t kFieldOrigin = 486;
constexpr size_t kOriginFieldNum = 587;
constexpr size_t kFieldPos = 589;
constexpr size_t kFieldDatabaseOrigin = 591;
constexpr size_t kEmptySpace = 692;
}  // namespace field_definition_offsets

// Bytes a value of the type occupies in a record, without its null flag. A code outside the type
// table takes `Length`.
uint16_t FieldDataSize(uint8_t data_type, uint8_t sub_type, uint16_t length);

// Recomputes `DataSize` and `DataDecimals` from the type, sub-type, length and decimals.
void PrepareFieldDefinition(TFieldDefinition* definition);

// The largest `Length` the type allows (0 for the types without a length).
uint16_t MaxFieldLength(uint8_t data_type, uint8_t sub_type);

// The two pseudo-field definitions.
const TFieldDefinition& RecordIDFieldDefinition();
const TFieldDefinition& RecordHashFieldDefinition();

// A valid first character of a field name: A..Z, a..z, "_" or a byte 128..254.
bool IsValidFieldNameStart(uint8_t c);

// The record length for fields whose `DataSize` is known: 25 + the sum of (`DataSize` + 1) over
// the fields that are not computed columns, rounded up to a multiple of 8. Computed in 64 bits
// so that the caller can compare it with the format's limit.
uint64_t ComputeRecordLength(const TFieldDefinition* definitions, size_t count);

// Lays the fields out one after another: sets every `Offset` (from 25) and recomputes every
// `DataSize`; returns the record length as ComputeRecordLength does.
uint64_t LayOutFields(TFieldDefinition* definitions, size_t count);

}  // namespace kura
