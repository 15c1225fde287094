// The literal texts of a field's `Default`, `Minimum` and `Maximum`, and their values.
//
// The texts do not depend on the regional settings (see date_time.h for dates and times; numbers
// use "." as the decimal separator). The keywords "CURRENT_DATE", "CURRENT_TIME",
// "CURRENT_TIMESTAMP" and "CURRENT_GUID" are compared without regard to case.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/format/field_definition.h"

namespace kura {

// A literal that does not convert to its field's type; the message is the conversion's own
// ("'abc' is not a valid date").
class EConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr const char* kCurrentDate = "CURRENT_DATE";
constexpr const char* kCurrentTime = "CURRENT_TIME";
constexpr const char* kCurrentTimeStamp = "CURRENT_TIMESTAMP";
constexpr const char* kCurrentGuid = "CURRENT_GUID";

bool IsKeyword(std::string_view text, const char* keyword);

// True when the text is empty or a valid literal of the type: strings, bytes and variable bytes
// always; a BLOB only when empty; dates, times and timestamps also as their keywords; booleans,
// integers (16-bit types within their ranges), floating point and BCD when they convert.
bool IsValidFieldLiteral(uint8_t data_type, std::string_view text);

// Conversions; each throws EConversionError with the conversion's message.
bool BooleanLiteral(std::string_view text);
int64_t IntegerLiteral(std::string_view text, int64_t minimum, int64_t maximum);
double FloatLiteral(std::string_view text);
int64_t CurrencyLiteral(std::string_view text);  // rounded to 4 decimal places
int32_t DateLiteral(std::string_view text);
int32_t TimeLiteral(std::string_view text);
double TimeStampLiteral(std::string_view text);

// The value range of an integer field type (dtSmallInt, dtInteger, dtWord, dtLargeInt).
void IntegerRange(uint8_t data_type, int64_t* minimum, int64_t* maximum);

}  // namespace kura
