#include "engine/format/field_codec.h"

#include <cstring>

#include "engine/byte_order.h"
#include "engine/format/locale_text.h"

namespace kura {

bool GetFieldValue(const TFieldDefinition& field, const uint8_t* record, uint8_t* field_buffer) {
  if (field.IsPseudoField()) {
    if (field_buffer != nullptr) std::memcpy(field_buffer, record + field.Offset, field.DataSize);
    return false;
  }
  bool is_blank = record[field.Offset] != 1;
  if (field_buffer != nullptr) {
    size_t size = field.DataType == dtBlob ? 4 : field.DataSize;
    std::memcpy(field_buffer, record + field.Offset + 1, size);
  }
  return is_blank;
}

void PutFieldValue(const TFieldDefinition& field, int32_t locale_id, uint8_t* record,
                   const uint8_t* field_buffer, bool blob_empty, bool write_to_expressions) {
  if (field.IsPseudoField()) return;
  if (field.ExpressionField && !write_to_expressions) return;
  uint8_t* flag = record + field.Offset;
  uint8_t* value = flag + 1;
  if (field_buffer == nullptr) {
    if (field.DataType != dtBlob) std::memset(value, 0, field.DataSize);
    *flag = 0;
    return;
  }
  switch (field.DataType) {
    case dtString: {
      std::memset(value, 0, field.DataSize);
      size_t capacity = field.DataSize > 0 ? field.DataSize - 1u : 0u;
      size_t n = 0;
      while (n < capacity && field_buffer[n] != 0) ++n;
      if (field.SubType != fsFixed) {
        while (n > 0 && field_buffer[n - 1] == ' ') --n;
      }
      std::memcpy(value, field_buffer, n);
      char* text = reinterpret_cast<char*>(value);
      if (field.CharCase == ccLower) LocaleLowerCase(locale_id, text, n);
      if (field.CharCase == ccUpper) LocaleUpperCase(locale_id, text, n);
      *flag = value[0] != 0 ? 1 : 0;
      break;
    }
    case dtBlob: {
      std::memcpy(value, field_buffer, 4);
      if (GetI32(value) < 0) *flag = blob_empty ? 0 : 1;
      break;
    }
    case dtBoolean: {
      PutU16(value, GetU16(field_buffer) == 0 ? 0 : 1);
      *flag = 1;
      break;
    }
    default:
      std::memcpy(value, field_buffer, field.DataSize);
      *flag = 1;
      break;
  }
}

bool FieldFitsRecord(const TFieldDefinition& field, uint32_t record_length) {
  uint32_t end = static_cast<uint32_t>(field.Offset) + field.DataSize +
                 (field.IsPseudoField() ? 0u : 1u);
  uint32_t minimum_offset = field.IsPseudoField() ? 0u : kRecordHeaderSize;
  if (field.DataType == dtBlob && field.DataSize < 8) return false;
  return field.Offset >= minimum_offset && end <= record_length;
}

}  // namespace kura
