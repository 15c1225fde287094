// Display forms of field values and definitions for the command-line tools.
//
// Every text is UTF-8 (strings are converted from the ANSI code page). A stored value that does
// not decode (a date or time out of range, BCD digits that are not decimal) is shown as
// "invalid <raw>", so that a damaged record is visible instead of being hidden.
#pragma once

#include <cstdint>
#include <string>

#include "engine/format/field_definition.h"

namespace kura_tools {

// How a value is written in JSON.
enum class TValueKind { kNull, kString, kNumber, kBoolean, kBlob };

struct TFieldValue {
  TValueKind kind = TValueKind::kNull;
  std::string text;        // string / number / boolean text ("true", "false")
  int32_t blob_block = 0;  // BLOB: first block of the chain
  int32_t blob_signature = 0;
};

// The value of `field` in a record buffer.
TFieldValue DecodeFieldValue(const kura::TFieldDefinition& field, const uint8_t* record);

// The name of a type code ("string", "date", ...; "type N" for an unknown code).
std::string TypeName(uint8_t data_type);

// Lower-case hexadecimal of bytes.
std::string HexText(const uint8_t* bytes, size_t size);

// A JSON string literal (quotes included) of UTF-8 text; invalid UTF-8 bytes become U+FFFD.
std::string JsonString(const std::string& utf8);

// The value as JSON: null, a string, a number, true/false or {"block": n, "signature": s}.
std::string JsonValue(const TFieldValue& value);

// The value as plain text for the text dump: strings quoted, null as "null".
std::string PlainValue(const TFieldValue& value);

}  // namespace kura_tools
