// The 34-byte BCD value of a record field, and decimal numbers with 4 decimal places
// ("currency": an Int64 count of ten-thousandths) through which BCD values are compared and keyed.
//
// Layout: byte 0 precision (32); byte 1 the scale in bits 0..5 and bit 7 set for a negative
// value; bytes 2..17 thirty-two decimal digits of |value| x 10^scale, truncated, two per byte,
// high nibble first, padded with zero digits on the left; bytes 18..33 zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kura {

constexpr size_t kBcdSize = 34;
constexpr uint8_t kBcdPrecision = 32;
constexpr uint8_t kMaxBcdScale = 32;

// Encodes a currency value with `scale` decimals (truncating digits past the scale). False when
// the scale exceeds 32 or the scaled value needs more than 32 digits.
bool EncodeBcd(int64_t currency, uint8_t scale, uint8_t* bcd);

// The value rounded to 4 decimal places (half away from zero). False when it does not fit in an
// Int64 count of ten-thousandths or the stored digits are not decimal.
bool BcdToCurrency(const uint8_t* bcd, int64_t* currency);

// The value as decimal text with the stored scale ("-12.50", "0"); empty when a digit is not
// decimal.
std::string BcdToText(const uint8_t* bcd);

// A decimal literal ("[-+]digits[.digits][e[-+]digits]", blanks around it ignored) rounded to 4
// decimal places, half away from zero. False for other texts or values outside the Int64 range.
bool TryParseCurrency(std::string_view text, int64_t* currency);

// Currency value as decimal text with 4 decimals ("-12.5000").
std::string CurrencyToText(int64_t currency);

}  // namespace kura
