// The locale list and locale-aware string comparison and case mapping, the equivalent of the
// Windows locale API (EnumSystemLocales, GetLocaleInfo, IsValidLocale, CompareString,
// LCMapString), built on ICU.
//
// Locales are identified by Windows locale identifiers (LCID): the 16-bit language identifier
// (primary language in the low 10 bits, sub-language above it), with a sort identifier in bits
// 16-19 (0x10407 is German with the phone-book sort order). Text arguments are ANSI text in the
// system code page (ansi_text.h). All functions are thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct SystemLocale {
  uint32_t id = 0;         // LCID with sort identifier 0
  std::string name;        // full language name, as LOCALE_SLANGUAGE: "German (Germany)"
  std::string short_name;  // abbreviated language name, as LOCALE_SABBREVLANGNAME: "DEU"
};

// The supported and installed locales, in no particular order (the engine sorts them). The
// German phone-book order is not listed here; it is a sort order of 0x0407, not a locale.
std::vector<SystemLocale> EnumerateSystemLocales();

// True when the LCID (sort identifier included) can be used for collation; 0 is not a locale.
bool IsValidLocale(uint32_t lcid);

// Flags of CompareStringLocale, with the Windows values.
constexpr uint32_t kNormIgnoreCase = 0x00000001;
constexpr uint32_t kNormIgnoreNonSpace = 0x00000002;
constexpr uint32_t kNormIgnoreSymbols = 0x00000004;
constexpr uint32_t kSortStringSort = 0x00001000;

// Results of CompareStringLocale, with the Windows values.
constexpr int kCompareLessThan = 1;
constexpr int kCompareEqual = 2;
constexpr int kCompareGreaterThan = 3;

// Compares two ANSI texts with the collation of a locale. A negative length means "up to the
// first zero byte". Returns kCompareLessThan, kCompareEqual or kCompareGreaterThan, or 0 when the
// locale is not valid. The flags act as on Windows: kNormIgnoreNonSpace ignores diacritics (not
// case), kNormIgnoreCase ignores case (not width or kana type), kSortStringSort sorts punctuation
// as symbols (without it, the word sort, hyphens and the like only break ties), and
// kNormIgnoreSymbols ignores punctuation and symbols.
int CompareStringLocale(uint32_t lcid, uint32_t flags, const char* a, int a_length, const char* b,
                        int b_length);

// Flags of MapStringLocale, with the Windows values.
constexpr uint32_t kLcmapLowercase = 0x00000100;
constexpr uint32_t kLcmapUppercase = 0x00000200;
constexpr uint32_t kLcmapLinguisticCasing = 0x01000000;

// Upper- or lower-cases an ANSI text (exactly one of kLcmapUppercase and kLcmapLowercase; else
// the text is returned as it is). With kLcmapLinguisticCasing the locale's own rules apply (the
// Turkish dotted and dotless i, ...); without it, or for a locale that is not valid, the rules
// common to all languages. Full-width and other double-byte letters are mapped as well. The
// result has the same length in bytes as the input: a character whose mapping would change its
// byte length, or has no form in the code page, is left as it is.
std::string MapStringLocale(uint32_t lcid, uint32_t flags, std::string_view text);

// The user's default locale (LOCALE_USER_DEFAULT), the usual locale of a system that has the
// active ANSI code page: 0x0411 Japanese for 932, 0x0409 English (United States) for 1252, ...
uint32_t UserDefaultLocale();

// Comparisons with the user's default locale, ignoring case (as AnsiCompareText): -1, 0 or 1.
int CompareTextUserDefault(std::string_view a, std::string_view b);
// The same comparison with case (as AnsiCompareStr).
int CompareStrUserDefault(std::string_view a, std::string_view b);

}  // namespace platform
