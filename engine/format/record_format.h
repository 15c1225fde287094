// The record-level rules of a table: new records with their defaults, the validity checks, the
// record ID and auto-increment counters and the record hash.
//
// A `TRecordFormat` borrows a table's field definitions (position i at index i - 1) and knows
// its record length and locale; it is cheap to build and holds no other state. The data file and
// the cursor use it on caller-owned record buffers of exactly `RecordLength` bytes. Errors of the
// checks are returned (the caller raises them with its table's names); literals that do not
// convert throw EConversionError.
#pragma once

#include <cstdint>

#include "engine/format/data_header.h"
#include "engine/format/field_definition.h"
#include "platform/clock.h"

namespace kura {

// The first failing check of CheckRecordValidity: KURA_REQDERR, KURA_MINVALERR or
// KURA_MAXVALERR with the field, or code 0 when the record passes.
struct TValidityResult {
  uint16_t code = 0;
  const TFieldDefinition* field = nullptr;
};

class TRecordFormat {
 public:
  TRecordFormat(const TFieldDefinition* definitions, uint16_t field_count, uint16_t record_length,
                int32_t locale_id)
      : definitions_(definitions),
        field_count_(field_count),
        record_length_(record_length),
        locale_id_(locale_id) {}

  uint16_t FieldCount() const { return field_count_; }
  uint16_t RecordLength() const { return record_length_; }
  int32_t LocaleID() const { return locale_id_; }
  bool HasBlobFields() const;

  // Position 1..FieldCount, or the pseudo-field numbers 65535/65534; nullptr otherwise.
  const TFieldDefinition* FieldByPosition(uint16_t position) const;

  // A new record: all zero, then every non-BLOB field with a non-empty `Default` gets its value
  // (CURRENT_GUID, CURRENT_DATE, CURRENT_TIME, CURRENT_TIMESTAMP from `now` and a new GUID).
  void InitRecord(uint8_t* record) const;
  void InitRecordAt(uint8_t* record, const platform::LocalDateTime& now) const;

  // Required, minimum and maximum checks in definition order; the first failure ends the check.
  TValidityResult CheckRecordValidity(const uint8_t* record) const;

  // Auto-increment fields (32-bit integers of sub-type 29). Before a record is stored
  // (`increment` false) a null field gets LastAutoIncID + 1; afterwards (`increment` true) the
  // counter takes the largest value of the record. Returns true when the header changed.
  bool SetAutoIncFields(uint8_t* record, bool increment, TDataHeader* header) const;

  // The record ID: before a record is stored it gets LastRecordID + 1 (unless `suppress`, which
  // keeps the caller's ID); afterwards the counter takes the record's ID when that is larger.
  // Returns true when the header changed.
  static bool SetRecordID(uint8_t* record, bool increment, bool suppress, TDataHeader* header);

 private:
  void PutDefault(const TFieldDefinition& field, uint8_t* record,
                  const platform::LocalDateTime& now) const;
  // <0, 0, >0 comparing the field's value with the literal.
  int CompareWithLiteral(const TFieldDefinition& field, const uint8_t* record,
                         const AnsiString& literal, bool is_minimum) const;

  const TFieldDefinition* definitions_;
  uint16_t field_count_;
  uint16_t record_length_;
  int32_t locale_id_;
};

}  // namespace kura
