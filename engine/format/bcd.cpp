#include "engine/format/bcd.h"

#include <cstring>
#include <limits>

namespace kura {

namespace {

using u128 = unsigned __int128;

constexpr u128 kInt64Limit = static_cast<u128>(std::numeric_limits<int64_t>::max());

std::string UnsignedToText(u128 value) {
  char buffer[48];
  char* end = buffer + sizeof buffer;
  char* p = end;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  } while (value != 0);
  return std::string(p, end);
}

// The 32 stored digits as a number; false when a nibble is not a decimal digit.
bool StoredDigits(const uint8_t* bcd, u128* value) {
  u128 v = 0;
  for (int i = 0; i < 16; ++i) {
    int high = bcd[2 + i] >> 4, low = bcd[2 + i] & 0x0F;
    if (high > 9 || low > 9) return false;
    v = v * 100 + static_cast<unsigned>(high * 10 + low);
  }
  *value = v;
  return true;
}

// |currency| x 10^(scale - 4), truncated, as digits; false beyond 32 digits.
bool ScaledMagnitude(int64_t currency, uint8_t scale, std::string* digits) {
  uint64_t magnitude = currency < 0 ? 0 - static_cast<uint64_t>(currency)
                                    : static_cast<uint64_t>(currency);
  std::string d = UnsignedToText(magnitude);
  if (scale >= 4) {
    if (d != "0") d.append(scale - 4u, '0');
  } else {
    size_t drop = 4u - scale;
    d = d.size() > drop ? d.substr(0, d.size() - drop) : "0";
  }
  if (d.size() > kBcdPrecision) return false;
  *digits = d;
  return true;
}

}  // namespace

bool EncodeBcd(int64_t currency, uint8_t scale, uint8_t* bcd) {
  if (scale > kMaxBcdScale) return false;
  std::string digits;
  if (!ScaledMagnitude(currency, scale, &digits)) return false;
  std::memset(bcd, 0, kBcdSize);
  bcd[0] = kBcdPrecision;
  bool negative = currency < 0 && digits != "0";
  bcd[1] = static_cast<uint8_t>((scale & 0x3F) | (negative ? 0x80 : 0));
  std::string padded = std::string(kBcdPrecision - digits.size(), '0') + digits;
  for (int i = 0; i < 16; ++i) {
    bcd[2 + i] = static_cast<uint8_t>(((padded[2 * i] - '0') << 4) | (padded[2 * i + 1] - '0'));
  }
  return true;
}

bool BcdToCurrency(const uint8_t* bcd, int64_t* currency) {
  u128 digits = 0;
  if (!StoredDigits(bcd, &digits)) return false;
  int scale = bcd[1] & 0x3F;
  bool negative = (bcd[1] & 0x80) != 0;
  u128 value = digits;
  if (scale <= 4) {
    for (int i = scale; i < 4; ++i) {
      if (value > kInt64Limit) return false;
      value *= 10;
    }
  } else {
    u128 divisor = 1;
    for (int i = 4; i < scale; ++i) divisor *= 10;
    u128 quotient = value / divisor, remainder = value % divisor;
    value = quotient + (remainder * 2 >= divisor ? 1 : 0);
  }
  if (value > kInt64Limit + (negative ? 1 : 0)) return false;
  *currency = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(value))
                       : static_cast<int64_t>(value);
  return true;
}

std::string BcdToText(const uint8_t* bcd) {
  u128 digits = 0;
  if (!StoredDigits(bcd, &digits)) return std::string();
  int scale = bcd[1] & 0x3F;
  std::string magnitude = UnsignedToText(digits);
  size_t width = static_cast<size_t>(scale) + 1;
  if (magnitude.size() < width) magnitude = std::string(width - magnitude.size(), '0') + magnitude;
  std::string text;
  if ((bcd[1] & 0x80) != 0 && digits != 0) text.push_back('-');
  text.append(magnitude, 0, magnitude.size() - static_cast<size_t>(scale));
  if (scale > 0) {
    text.push_back('.');
    text.append(magnitude, magnitude.size() - static_cast<size_t>(scale), std::string::npos);
  }
  return text;
}

bool TryParseCurrency(std::string_view text, int64_t* currency) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 400) return false;
  size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::string digits;
  long fraction_digits = 0;
  bool any_digit = false, seen_point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      any_digit = true;
      if (!digits.empty() || c != '0') digits.push_back(c);
      if (seen_point) ++fraction_digits;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!any_digit) return false;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponent_negative = text[i++] == '-';
    bool exponent_digit = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      exponent_digit = true;
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (!exponent_digit) return false;
    if (exponent_negative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  // value = digits x 10^(exponent - fraction_digits); we want it x 10^4, rounded.
  long shift = exponent - fraction_digits + 4;
  u128 value = 0;
  if (digits.empty()) {
    value = 0;
  } else if (shift >= 0) {
    if (static_cast<long>(digits.size()) + shift > 20) return false;
    for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
    for (long k = 0; k < shift; ++k) value *= 10;
  } else {
    long drop = -shift;
    if (drop > static_cast<long>(digits.size())) {
      value = 0;
    } else {
      size_t keep = digits.size() - static_cast<size_t>(drop);
      if (keep > 20) return false;
      for (size_t k = 0; k < keep; ++k) value = value * 10 + static_cast<unsigned>(digits[k] - '0');
      if (digits[keep] >= '5') ++value;
    }
  }
  if (value > kInt64Limit + (negative ? 1 : 0)) return false;
  *currency = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(value))
                       : static_cast<int64_t>(value);
  return true;
}

std::string CurrencyToText(int64_t currency) {
  uint64_t magnitude = currency < 0 ? 0 - static_cast<uint64_t>(currency)
                                    : static_cast<uint64_t>(currency);
  std::string fraction = UnsignedToText(magnitude % 10000);
  std::string text = currency < 0 ? "-" : "";
  text += UnsignedToText(magnitude / 10000);
  text.push_back('.');
  text.append(4 - fraction.size(), '0');
  text += fraction;
  return text;
}

}  // namespace kura
