// Reading and writing one field of a record buffer.
//
// A record buffer is `RecordLength` bytes: the 25-byte record header, then per field one null
// flag (1 = a value is present) at the field's `Offset` followed by its `DataSize` value bytes.
// The pseudo-fields "RecordID" and "RecordHash" have no flag: their `Offset` is the value.
// Value bytes by type (little-endian):
//   string        ANSI characters, a zero byte, zeros up to DataSize
//   date, time    Int32 day number / milliseconds of the day
//   BLOB          Int32 first block (or a negative open-BLOB handle), Int32 signature
//   boolean       UInt16 0 or 1        16-bit integer  Int16      16-bit unsigned  UInt16
//   32-bit int    Int32                64-bit integer  Int64      float, timestamp double
//   BCD           34 bytes (bcd.h)     bytes, variable bytes      Length raw bytes
//
// The caller guarantees that the field lies inside the record (the data file refuses
// definitions that do not).
#pragma once

#include <cstdint>

#include "engine/format/field_definition.h"

namespace kura {

// Returns IsBlank: true for a null field (never for a pseudo-field). When `field_buffer` is given
// the value bytes are copied to it whether or not the field is null: `DataSize` bytes, but only
// the first 4 (block number or handle) of a BLOB.
bool GetFieldValue(const TFieldDefinition& field, const uint8_t* record, uint8_t* field_buffer);

// Stores a value (`field_buffer` of `DataSize` bytes, or null to set the field to null):
//   null: value bytes zeroed (a BLOB keeps its block number and signature), flag 0;
//   string: up to DataSize - 1 bytes up to the first zero byte; trailing blanks removed unless the
//       sub-type is fixed; `CharCase` applied with the table's locale; flag 1 only when the text
//       is not empty (an empty or all-blank text is stored as null);
//   BLOB: the 4-byte block number or handle; a negative handle sets the flag to !blob_empty, a
//       block number leaves the flag as it was;
//   any other type: DataSize bytes, booleans normalised to 0/1, flag 1.
// Pseudo-fields are never written, nor computed columns unless write_to_expressions.
void PutFieldValue(const TFieldDefinition& field, int32_t locale_id, uint8_t* record,
                   const uint8_t* field_buffer, bool blob_empty = false,
                   bool write_to_expressions = true);

// True when the field (flag and value) lies inside a record of `record_length` bytes.
bool FieldFitsRecord(const TFieldDefinition& field, uint32_t record_length);

}  // namespace kura
