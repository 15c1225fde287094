#include "engine/format/field_literals.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "engine/format/bcd.h"
#include "engine/format/date_time.h"
#include "engine/ansi_string.h"

namespace kura {

namespace {

[[noreturn]] void Fail(std::string_view text, const char* what) {
  throw EConversionError("'" + std::string(text) + "' is not a valid " + what);
}

bool TryInteger(std::string_view text, int64_t minimum, int64_t maximum, int64_t* value) {
  std::string_view s = TrimBlanks(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  int64_t v = 0;
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
  if (error != std::errc() || end != s.data() + s.size()) return false;
  if (v < minimum || v > maximum) return false;
  *value = v;
  return true;
}

bool TryFloat(std::string_view text, double* value) {
  std::string_view s = TrimBlanks(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  // Only decimal notation: no "inf", "nan" or hexadecimal forms.
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E')) return false;
  }
  double v = 0;
  auto [end, error] =
      std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

}  // namespace

bool IsKeyword(std::string_view text, const char* keyword) {
  std::string_view k(keyword);
  if (text.size() != k.size()) return false;
  for (size_t i = 0; i < k.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != k[i]) return false;
  }
  return true;
}

void IntegerRange(uint8_t data_type, int64_t* minimum, int64_t* maximum) {
  switch (data_type) {
    case dtSmallInt:
      *minimum = -32768;
      *maximum = 32767;
      break;
    case dtWord:
      *minimum = 0;
      *maximum = 65535;
      break;
    case dtInteger:
      *minimum = std::numeric_limits<int32_t>::min();
      *maximum = std::numeric_limits<int32_t>::max();
      break;
    default:
      *minimum = std::numeric_limits<int64_t>::min();
      *maximum = std::numeric_limits<int64_t>::max();
      break;
  }
}

bool IsValidFieldLiteral(uint8_t data_type, std::string_view text) {
  if (text.empty()) return true;
  int32_t i32 = 0;
  int64_t i64 = 0;
  double d = 0;
  switch (data_type) {
    case dtBlob:
      return false;
    case dtDate:
      return IsKeyword(text, kCurrentDate) || TryParseDateLiteral(text, &i32);
    case dtTime:
      return IsKeyword(text, kCurrentTime) || TryParseTimeLiteral(text, &i32);
    case dtTimeStamp:
      return IsKeyword(text, kCurrentTimeStamp) || IsKeyword(text, kCurrentDate) ||
             IsKeyword(text, kCurrentTime) || TryParseTimeStampLiteral(text, &d);
    case dtBoolean:
      return IsKeyword(text, "TRUE") || IsKeyword(text, "FALSE");
    case dtSmallInt:
    case dtInteger:
    case dtWord:
    case dtLargeInt: {
      int64_t minimum = 0, maximum = 0;
      IntegerRange(data_type, &minimum, &maximum);
      return TryInteger(text, minimum, maximum, &i64);
    }
    case dtFloat:
      return TryFloat(text, &d);
    case dtBCD:
      return TryParseCurrency(text, &i64);
    default:  // strings, bytes, variable bytes and codes without literals
      return true;
  }
}

bool BooleanLiteral(std::string_view text) {
  if (IsKeyword(text, "TRUE")) return true;
  if (IsKeyword(text, "FALSE")) return false;
  Fail(text, "boolean");
}

int64_t IntegerLiteral(std::string_view text, int64_t minimum, int64_t maximum) {
  int64_t v = 0;
  if (!TryInteger(text, minimum, maximum, &v)) Fail(text, "integer value");
  return v;
}

double FloatLiteral(std::string_view text) {
  double v = 0;
  if (!TryFloat(text, &v)) Fail(text, "floating point value");
  return v;
}

int64_t CurrencyLiteral(std::string_view text) {
  int64_t v = 0;
  if (!TryParseCurrency(text, &v)) Fail(text, "floating point value");
  return v;
}

int32_t DateLiteral(std::string_view text) {
  int32_t v = 0;
  if (!TryParseDateLiteral(text, &v)) Fail(text, "date");
  return v;
}

int32_t TimeLiteral(std::string_view text) {
  int32_t v = 0;
  if (!TryParseTimeLiteral(text, &v)) Fail(text, "time");
  return v;
}

double TimeStampLiteral(std::string_view text) {
  double v = 0;
  if (!TryParseTimeStampLiteral(text, &v)) Fail(text, "date and time");
  return v;
}

}  // namespace kura
