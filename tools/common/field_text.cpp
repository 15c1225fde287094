#include "tools/common/field_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/format/bcd.h"
#include "engine/format/date_time.h"
#include "engine/format/field_codec.h"
#include "platform/ansi_text.h"

namespace kura_tools {

using namespace kura;

namespace {

std::string Invalid(const std::string& raw) { return "invalid " + raw; }

TFieldValue Text(const std::string& s) { return {TValueKind::kString, s, 0, 0}; }
TFieldValue Number(const std::string& s) { return {TValueKind::kNumber, s, 0, 0}; }

std::string DoubleText(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string TypeName(uint8_t data_type) {
  switch (data_type) {
    case dtString: return "string";
    case dtDate: return "date";
    case dtBlob: return "blob";
    case dtBoolean: return "boolean";
    case dtSmallInt: return "smallint";
    case dtInteger: return "integer";
    case dtFloat: return "float";
    case dtBCD: return "bcd";
    case dtBytes: return "bytes";
    case dtTime: return "time";
    case dtTimeStamp: return "timestamp";
    case dtWord: return "word";
    case dtVarBytes: return "varbytes";
    case dtLargeInt: return "largeint";
    default: return "type " + std::to_string(data_type);
  }
}

std::string HexText(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    s.push_back(kDigits[bytes[i] >> 4]);
    s.push_back(kDigits[bytes[i] & 15]);
  }
  return s;
}

TFieldValue DecodeFieldValue(const TFieldDefinition& field, const uint8_t* record) {
  if (!field.IsPseudoField() && record[field.Offset] != 1) return {};
  const uint8_t* v = record + field.Offset + (field.IsPseudoField() ? 0 : 1);
  switch (field.DataType) {
    case dtString: {
      size_t n = 0;
      while (n < field.DataSize && v[n] != 0) ++n;
      return Text(platform::AnsiToUtf8(std::string(reinterpret_cast<const char*>(v), n)));
    }
    case dtDate: {
      std::string s = FormatDate(GetI32(v));
      return Text(s.empty() ? Invalid(std::to_string(GetI32(v))) : s);
    }
    case dtTime: {
      std::string s = FormatTime(GetI32(v));
      return Text(s.empty() ? Invalid(std::to_string(GetI32(v))) : s);
    }
    case dtTimeStamp: {
      std::string s = FormatTimeStamp(GetF64(v));
      return Text(s.empty() ? Invalid(DoubleText(GetF64(v))) : s);
    }
    case dtBlob:
      return {TValueKind::kBlob, "", GetI32(v), GetI32(v + 4)};
    case dtBoolean:
      return {TValueKind::kBoolean, GetU16(v) != 0 ? "true" : "false", 0, 0};
    case dtSmallInt: return Number(std::to_string(GetI16(v)));
    case dtInteger: return Number(std::to_string(GetI32(v)));
    case dtWord: return Number(std::to_string(GetU16(v)));
    case dtLargeInt: return Number(std::to_string(GetI64(v)));
    case dtFloat: {
      double d = GetF64(v);
      return std::isfinite(d) ? Number(DoubleText(d)) : Text(DoubleText(d));
    }
    case dtBCD: {
      std::string s = BcdToText(v);
      return s.empty() ? Text(Invalid(HexText(v, kBcdSize))) : Number(s);
    }
    default:  // bytes, variable bytes, the record hash and unknown codes
      return Text(HexText(v, field.DataSize));
  }
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      ++i;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else {
      // Keep a well-formed UTF-8 sequence as it is; anything else becomes U+FFFD.
      size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
      bool ok = n > 0 && i + n <= utf8.size();
      for (size_t k = 1; ok && k < n; ++k) {
        ok = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
      }
      if (ok) {
        out.append(utf8, i, n);
        i += n;
      } else {
        out += "\xEF\xBF\xBD";
        ++i;
      }
    }
  }
  out.push_back('"');
  return out;
}

std::string JsonValue(const TFieldValue& value) {
  switch (value.kind) {
    case TValueKind::kNull: return "null";
    case TValueKind::kString: return JsonString(value.text);
    case TValueKind::kNumber:
    case TValueKind::kBoolean: return value.text;
    case TValueKind::kBlob:
      return "{\"block\": " + std::to_string(value.blob_block) +
             ", \"signature\": " + std::to_string(value.blob_signature) + "}";
  }
  return "null";
}

std::string PlainValue(const TFieldValue& value) {
  switch (value.kind) {
    case TValueKind::kNull: return "null";
    case TValueKind::kString: return JsonString(value.text);
    case TValueKind::kNumber:
    case TValueKind::kBoolean: return value.text;
    case TValueKind::kBlob:
      return "blob(block " + std::to_string(value.blob_block) + ", signature " +
             std::to_string(value.blob_signature) + ")";
  }
  return "null";
}

}  // namespace kura_tools
