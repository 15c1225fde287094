#include "engine/format/record_format.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/error_codes.h"
#include "engine/format/bcd.h"
#include "engine/format/date_time.h"
#include "engine/format/field_codec.h"
#include "engine/format/field_literals.h"
#include "engine/format/locale_text.h"
#include "platform/random_source.h"

namespace kura {

namespace {

int Sign(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }
int Sign(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int32_t TodayOf(const platform::LocalDateTime& now) {
  int32_t day = kDayOf18991230;
  TryEncodeDate(now.year, now.month, now.day, &day);
  return day;
}

int32_t TimeOf(const platform::LocalDateTime& now) {
  int32_t ms = 0;
  TryEncodeTime(now.hour, now.minute, now.second, now.millisecond, &ms);
  return ms;
}

// A counter takes a stored value when it is larger, or when it is the value that follows the
// counter after its wrap from 2147483647 to 1 (otherwise a wrapped counter would stick at the
// maximum and hand out the same number again and again).
bool AdvanceCounter(int32_t* counter, int32_t value) {
  if (value > *counter || (value == NextCounterValue(*counter) && value != *counter)) {
    *counter = value;
    return true;
  }
  return false;
}

}  // namespace

bool TRecordFormat::HasBlobFields() const {
  for (uint16_t i = 0; i < field_count_; ++i) {
    if (definitions_[i].DataType == dtBlob) return true;
  }
  return false;
}

const TFieldDefinition* TRecordFormat::FieldByPosition(uint16_t position) const {
  if (position == kRecordIDFieldNum) return &RecordIDFieldDefinition();
  if (position == kRecordHashFieldNum) return &RecordHashFieldDefinition();
  if (position == 0 || position > field_count_) return nullptr;
  return &definitions_[position - 1];
}

void TRecordFormat::InitRecord(uint8_t* record) const {
  InitRecordAt(record, platform::LocalNow());
}

void TRecordFormat::InitRecordAt(uint8_t* record, const platform::LocalDateTime& now) const {
  std::memset(record, 0, record_length_);
  for (uint16_t i = 0; i < field_count_; ++i) {
    const TFieldDefinition& field = definitions_[i];
    if (field.Default.empty() || field.DataType == dtBlob) continue;
    PutDefault(field, record, now);
  }
}

void TRecordFormat::PutDefault(const TFieldDefinition& field, uint8_t* record,
                               const platform::LocalDateTime& now) const {
  const AnsiString& text = field.Default;
  std::vector<uint8_t> value(field.DataSize > 8 ? field.DataSize : 8, 0);
  uint8_t* v = value.data();
  switch (field.DataType) {
    case dtString: {
      AnsiString s = text;
      if (IsKeyword(text, kCurrentGuid)) {
        uint8_t guid[16];
        platform::CreateGuid(guid);
        s = platform::GuidToString(guid);
      }
      size_t n = field.DataSize > 0 ? std::min<size_t>(s.size(), field.DataSize - 1u) : 0;
      std::memcpy(v, s.data(), n);
      break;
    }
    case dtBytes:
    case dtVarBytes:
      // No conversion is defined for bytes: the text's own bytes, cut to the field.
      std::memcpy(v, text.data(), std::min<size_t>(text.size(), field.DataSize));
      break;
    case dtDate:
      PutI32(v, IsKeyword(text, kCurrentDate) ? TodayOf(now) : DateLiteral(text));
      break;
    case dtTime:
      PutI32(v, IsKeyword(text, kCurrentTime) ? TimeOf(now) : TimeLiteral(text));
      break;
    case dtTimeStamp: {
      double ts = 0;
      if (IsKeyword(text, kCurrentTimeStamp)) {
        ts = EncodeTimeStamp(TodayOf(now), TimeOf(now));
      } else if (IsKeyword(text, kCurrentDate)) {
        ts = EncodeTimeStamp(TodayOf(now), 0);
      } else if (IsKeyword(text, kCurrentTime)) {
        ts = EncodeTimeStamp(kDayOf18991230, TimeOf(now));
      } else {
        ts = TimeStampLiteral(text);
      }
      PutF64(v, ts);
      break;
    }
    case dtBoolean:
      PutU16(v, BooleanLiteral(text) ? 1 : 0);
      break;
    case dtSmallInt:
    case dtWord:
    case dtInteger:
    case dtLargeInt: {
      int64_t minimum = 0, maximum = 0;
      IntegerRange(field.DataType, &minimum, &maximum);
      int64_t n = IntegerLiteral(text, minimum, maximum);
      if (field.DataType == dtSmallInt) PutI16(v, static_cast<int16_t>(n));
      if (field.DataType == dtWord) PutU16(v, static_cast<uint16_t>(n));
      if (field.DataType == dtInteger) PutI32(v, static_cast<int32_t>(n));
      if (field.DataType == dtLargeInt) PutI64(v, n);
      break;
    }
    case dtFloat:
      PutF64(v, FloatLiteral(text));
      break;
    case dtBCD:
      if (!EncodeBcd(CurrencyLiteral(text), field.Decimals, v)) {
        throw EConversionError("'" + text + "' is not a valid floating point value");
      }
      break;
    default:
      return;  // a type without literals
  }
  PutFieldValue(field, locale_id_, record, v);
}

int TRecordFormat::CompareWithLiteral(const TFieldDefinition& field, const uint8_t* record,
                                      const AnsiString& literal, bool is_minimum) const {
  const uint8_t* v = record + field.Offset + 1;
  switch (field.DataType) {
    case dtString:
      return CompareLocaleStrings(locale_id_,
                                  std::string_view(reinterpret_cast<const char*>(v), field.DataSize),
                                  literal, false, 0);
    case dtSmallInt:
    case dtWord:
    case dtInteger:
    case dtLargeInt: {
      int64_t minimum = 0, maximum = 0;
      IntegerRange(field.DataType, &minimum, &maximum);
      int64_t limit = IntegerLiteral(literal, minimum, maximum);
      int64_t value = field.DataType == dtSmallInt ? GetI16(v)
                      : field.DataType == dtWord   ? GetU16(v)
                      : field.DataType == dtInteger ? GetI32(v)
                                                    : GetI64(v);
      return Sign(value, limit);
    }
    case dtFloat: {
      double limit = FloatLiteral(literal);
      double value = GetF64(v);
      // A value that is not a number fails a minimum and passes a maximum.
      if (std::isnan(value)) return is_minimum ? -1 : 0;
      return Sign(value, limit);
    }
    case dtBCD: {
      int64_t limit = CurrencyLiteral(literal);
      int64_t value = 0;
      if (!BcdToCurrency(v, &value)) return is_minimum ? -1 : 1;
      return Sign(value, limit);
    }
    case dtDate:
      return Sign(static_cast<int64_t>(GetI32(v)), DateLiteral(literal));
    case dtTime:
      return Sign(static_cast<int64_t>(GetI32(v)), TimeLiteral(literal));
    case dtTimeStamp: {
      double value = GetF64(v);
      if (std::isnan(value)) return is_minimum ? -1 : 0;
      return Sign(std::round(value), std::round(TimeStampLiteral(literal)));
    }
    case dtBoolean:  // false before true, as in index keys
      return Sign(static_cast<int64_t>(GetU16(v) != 0), BooleanLiteral(literal) ? 1 : 0);
    case dtBytes:
    case dtVarBytes:
      for (size_t i = 0; i < field.DataSize; ++i) {
        uint8_t limit = i < literal.size() ? static_cast<uint8_t>(literal[i]) : 0;
        if (v[i] != limit) return v[i] < limit ? -1 : 1;
      }
      return 0;
    default:
      return 0;
  }
}

TValidityResult TRecordFormat::CheckRecordValidity(const uint8_t* record) const {
  for (uint16_t i = 0; i < field_count_; ++i) {
    const TFieldDefinition& field = definitions_[i];
    if (!field.Required && field.Minimum.empty() && field.Maximum.empty()) continue;
    bool is_null = record[field.Offset] != 1;
    if (field.Required && is_null) return {KURA_REQDERR, &field};
    if (field.DataType == dtBlob) continue;
    if (is_null && field.DataType != dtString) continue;
    if (!field.Minimum.empty() && CompareWithLiteral(field, record, field.Minimum, true) < 0) {
      return {KURA_MINVALERR, &field};
    }
    if (!field.Maximum.empty() && CompareWithLiteral(field, record, field.Maximum, false) > 0) {
      return {KURA_MAXVALERR, &field};
    }
  }
  return {};
}

bool TRecordFormat::SetAutoIncFields(uint8_t* record, bool increment, TDataHeader* header) const {
  bool changed = false;
  for (uint16_t i = 0; i < field_count_; ++i) {
    const TFieldDefinition& field = definitions_[i];
    if (field.DataType != dtInteger || field.SubType != fsAutoInc) continue;
    uint8_t* value = record + field.Offset + 1;
    if (!increment) {
      if (record[field.Offset] != 1) {
        uint8_t next[4];
        PutI32(next, NextCounterValue(header->LastAutoIncID));
        PutFieldValue(field, locale_id_, record, next);
      }
    } else if (record[field.Offset] == 1) {
      changed |= AdvanceCounter(&header->LastAutoIncID, GetI32(value));
    }
  }
  return changed;
}

bool TRecordFormat::SetRecordID(uint8_t* record, bool increment, bool suppress,
                                TDataHeader* header) {
  uint8_t* id = record + kRecordIDOffset;
  if (!increment) {
    if (!suppress) PutI32(id, NextCounterValue(header->LastRecordID));
    return false;
  }
  return AdvanceCounter(&header->LastRecordID, GetI32(id));
}

}  // namespace kura
