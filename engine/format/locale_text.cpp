#include "engine/format/locale_text.h"

#include <cstring>
#include <string>

#include "platform/ansi_text.h"
#include "platform/system_locale.h"

namespace kura {

namespace {

// Collation flags of table comparisons: string sort, ignoring non-spacing marks.
constexpr uint32_t kCollationFlags = platform::kSortStringSort | platform::kNormIgnoreNonSpace;

void MapCase(int32_t locale_id, char* text, size_t length, bool upper) {
  if (length == 0) return;
  if (locale_id == 0) {
    if (upper) {
      platform::AnsiUpperBuffer(text, length);
    } else {
      platform::AnsiLowerBuffer(text, length);
    }
    return;
  }
  uint32_t flags = (upper ? platform::kLcmapUppercase : platform::kLcmapLowercase) |
                   platform::kLcmapLinguisticCasing;
  std::string mapped =
      platform::MapStringLocale(static_cast<uint32_t>(locale_id), flags,
                                std::string_view(text, length));
  if (mapped.size() == length) std::memcpy(text, mapped.data(), length);
}

std::string_view UpToTerminator(std::string_view s) {
  size_t zero = s.find('\0');
  return zero == std::string_view::npos ? s : s.substr(0, zero);
}

int CompareBytes(std::string_view a, std::string_view b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace

void LocaleUpperCase(int32_t locale_id, char* text, size_t length) {
  MapCase(locale_id, text, length, true);
}

void LocaleLowerCase(int32_t locale_id, char* text, size_t length) {
  MapCase(locale_id, text, length, false);
}

int CompareLocaleStrings(int32_t locale_id, std::string_view a, std::string_view b,
                         bool case_insensitive, size_t max_length) {
  a = UpToTerminator(a);
  b = UpToTerminator(b);
  if (max_length > 0) {
    a = a.substr(0, max_length);
    b = b.substr(0, max_length);
  }
  if (locale_id != 0) {
    uint32_t flags = kCollationFlags | (case_insensitive ? platform::kNormIgnoreCase : 0);
    int r = platform::CompareStringLocale(static_cast<uint32_t>(locale_id), flags, a.data(),
                                          static_cast<int>(a.size()), b.data(),
                                          static_cast<int>(b.size()));
    if (r == platform::kCompareLessThan) return -1;
    if (r == platform::kCompareEqual) return 0;
    if (r == platform::kCompareGreaterThan) return 1;
    // A locale the system cannot collate: fall back to the byte order rather than fail.
  }
  std::string upper_a, upper_b;
  if (case_insensitive) {
    upper_a = platform::AnsiUpperCase(a);
    upper_b = platform::AnsiUpperCase(b);
    a = upper_a;
    b = upper_b;
  }
  return CompareBytes(a, b, max_length > 0 ? max_length : a.size() + 1);
}

}  // namespace kura
