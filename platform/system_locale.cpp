#include "platform/system_locale.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include "platform/ansi_text.h"
#include "platform/locale_table.h"

namespace platform {

namespace {

struct CollatorCloser {
  void operator()(UCollator* collator) const { ucol_close(collator); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// True when ICU has collation data of its own for the locale (not only the root order it falls
// back to for languages it does not know).
bool IcuKnowsLocale(const char* icu_locale) {
  UErrorCode error = U_ZERO_ERROR;
  CollatorPtr collator(ucol_open(icu_locale, &error));
  if (U_FAILURE(error) || !collator) return false;
  const char* valid = ucol_getLocaleByType(collator.get(), ULOC_VALID_LOCALE, &error);
  return U_SUCCESS(error) && valid != nullptr && std::strcmp(valid, "root") != 0 && *valid != '\0';
}

// Every usable LCID (sort variants included) with its ICU locale; built once.
const std::map<uint32_t, std::string>& UsableLocales() {
  static const std::map<uint32_t, std::string> locales = [] {
    std::map<uint32_t, std::string> result;
    for (auto* entry = internal::LocaleTableBegin(); entry != internal::LocaleTableEnd(); ++entry) {
      if (IcuKnowsLocale(entry->icu_locale)) result.emplace(entry->lcid, entry->icu_locale);
    }
    for (auto* variant = internal::SortVariantsBegin(); variant != internal::SortVariantsEnd();
         ++variant) {
      // A sort order is usable when its language is and ICU has that order.
      if (result.count(variant->lcid & 0xFFFF) && IcuKnowsLocale(variant->icu_locale))
        result.emplace(variant->lcid, variant->icu_locale);
    }
    return result;
  }();
  return locales;
}

const std::string* IcuLocaleOf(uint32_t lcid) {
  const auto& locales = UsableLocales();
  auto it = locales.find(lcid);
  return it == locales.end() ? nullptr : &it->second;
}

// The locale whose special case rules apply: only Turkish, Azeri and Lithuanian have them in
// the Windows linguistic casing; every other language cases like the root locale.
std::string CasingLocale(const std::string& icu_locale) {
  char language[16] = {};
  UErrorCode error = U_ZERO_ERROR;
  uloc_getLanguage(icu_locale.c_str(), language, sizeof language, &error);
  if (U_FAILURE(error)) return std::string();
  const std::string result = language;
  return result == "tr" || result == "az" || result == "lt" ? result : std::string();
}

constexpr uint32_t kCollatorFlags =
    kNormIgnoreCase | kNormIgnoreNonSpace | kNormIgnoreSymbols | kSortStringSort;

bool LowercasesFirst(uint32_t flags) {
  return (flags & kNormIgnoreCase) != 0 && (flags & kNormIgnoreNonSpace) == 0;
}

// The ICU settings closest to the Windows flags:
//   NORM_IGNORENONSPACE: primary strength (diacritics ignored), with the case level kept unless
//     case is ignored too;
//   NORM_IGNORECASE alone: both texts are lower-cased first and compared at tertiary strength, so
//     that width and kana differences still count, as they do on Windows;
//   without SORT_STRINGSORT (the word sort) punctuation only breaks ties; with it punctuation
//     sorts as symbols; NORM_IGNORESYMBOLS ignores punctuation and symbols altogether.
CollatorPtr MakeCollator(const std::string& icu_locale, uint32_t flags) {
  UErrorCode error = U_ZERO_ERROR;
  CollatorPtr collator(ucol_open(icu_locale.c_str(), &error));
  if (U_FAILURE(error) || !collator) return nullptr;
  UCollator* c = collator.get();
  const bool primary = (flags & kNormIgnoreNonSpace) != 0;
  ucol_setStrength(c, primary ? UCOL_PRIMARY : UCOL_TERTIARY);
  ucol_setAttribute(c, UCOL_CASE_LEVEL,
                    primary && (flags & kNormIgnoreCase) == 0 ? UCOL_ON : UCOL_OFF, &error);
  if (flags & kNormIgnoreSymbols) {
    ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &error);
    ucol_setMaxVariable(c, UCOL_REORDER_CODE_SYMBOL, &error);
  } else if ((flags & kSortStringSort) == 0) {
    ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &error);
    if (!primary) ucol_setStrength(c, UCOL_QUATERNARY);
  } else {
    ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &error);
  }
  if (U_FAILURE(error)) return nullptr;
  return collator;
}

// ICU collators keep no state between comparisons, but are not documented as safe to share
// between threads; each thread keeps its own, one per locale and flag set.
UCollator* CachedCollator(uint32_t lcid, uint32_t flags, const std::string& icu_locale) {
  thread_local std::unordered_map<uint64_t, CollatorPtr> cache;
  const uint64_t key = static_cast<uint64_t>(lcid) << 32 | (flags & kCollatorFlags);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, MakeCollator(icu_locale, flags)).first;
  return it->second.get();
}

std::u16string MapCase(const std::u16string& text, const std::string& casing_locale, bool upper) {
  if (text.empty()) return text;
  using CaseFunction = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*,
                                   UErrorCode*);
  const CaseFunction map_case = upper ? u_strToUpper : u_strToLower;
  std::u16string out(text.size() + 16, u'\0');
  // A second attempt with the size the first one reported is always enough.
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length = map_case(
        reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
        reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
        casing_locale.c_str(), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<size_t>(length));
      continue;
    }
    if (U_FAILURE(error)) return text;
    out.resize(static_cast<size_t>(length));
    return out;
  }
  return text;
}

// The case mapping of one ANSI character; the character itself when its mapping has no exact
// form in the code page or would change its length in bytes.
std::string MapCharacter(std::string_view character, const std::string& casing_locale, bool upper) {
  const std::u16string wide = AnsiToUtf16(character);
  if (wide.empty() || wide.find(u'\uFFFD') != std::u16string::npos) return std::string(character);
  const std::u16string mapped = MapCase(wide, casing_locale, upper);
  if (mapped == wide) return std::string(character);
  const std::string back = Utf16ToAnsi(mapped);
  if (back.size() != character.size() || AnsiToUtf16(back) != mapped) return std::string(character);
  return back;
}

// Single-byte characters are mapped through a table per code page, casing locale and direction.
using ByteTable = std::array<uint8_t, 256>;

const ByteTable& SingleByteTable(const std::string& casing_locale, bool upper) {
  static std::mutex mutex;
  static std::map<std::tuple<int, std::string, bool>, std::unique_ptr<ByteTable>> tables;
  const auto key = std::make_tuple(AnsiCodePage(), casing_locale, upper);
  std::lock_guard<std::mutex> guard(mutex);
  auto& table = tables[key];
  if (!table) {
    table = std::make_unique<ByteTable>();
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      (*table)[static_cast<size_t>(b)] = static_cast<uint8_t>(b);
      if (b == 0 || IsLeadByte(static_cast<uint8_t>(b))) continue;
      const std::string mapped = MapCharacter(std::string_view(&byte, 1), casing_locale, upper);
      (*table)[static_cast<size_t>(b)] = static_cast<uint8_t>(mapped[0]);
    }
  }
  return *table;
}

// Windows tells hiragana from katakana and full-width from half-width forms unless asked not
// to (flags this layer does not offer), where ICU's Japanese order and its primary strength do
// not. Texts that ICU finds equal are therefore told apart by these classes of their characters.
int WidthKanaClass(UChar32 c) {
  if (c >= 0x3041 && c <= 0x309F) return 1;  // hiragana
  if (c >= 0x30A0 && c <= 0x30FF) return 2;  // katakana
  if (c >= 0xFF66 && c <= 0xFF9F) return 3;  // half-width katakana
  if ((c >= 0xFF01 && c <= 0xFF5E) || (c >= 0xFFE0 && c <= 0xFFE6)) return 4;  // full-width forms
  return 0;
}

int CompareWidthKana(const std::u16string& a, const std::u16string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    UChar32 ca, cb;
    U16_NEXT(a.data(), i, a.size(), ca);
    U16_NEXT(b.data(), j, b.size(), cb);
    const int class_a = WidthKanaClass(ca), class_b = WidthKanaClass(cb);
    if (class_a != class_b) return class_a < class_b ? kCompareLessThan : kCompareGreaterThan;
  }
  return kCompareEqual;
}

uint32_t UserDefaultLocaleId() {
  switch (AnsiCodePage()) {
    case 932: return 0x0411;
    case 936: return 0x0804;
    case 949: return 0x0412;
    case 950: return 0x0404;
    case 874: return 0x041E;
    case 1250: return 0x0405;
    case 1251: return 0x0419;
    case 1253: return 0x0408;
    case 1254: return 0x041F;
    case 1255: return 0x040D;
    case 1256: return 0x0401;
    case 1257: return 0x0425;
    case 1258: return 0x042A;
    default: return 0x0409;
  }
}

int CompareUserDefault(std::string_view a, std::string_view b, uint32_t flags) {
  const int result = CompareStringLocale(UserDefaultLocale(), flags, a.data(),
                                         static_cast<int>(a.size()), b.data(),
                                         static_cast<int>(b.size()));
  if (result != 0) return result - kCompareEqual;
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

}  // namespace

std::vector<SystemLocale> EnumerateSystemLocales() {
  std::vector<SystemLocale> result;
  const auto& usable = UsableLocales();
  for (auto* entry = internal::LocaleTableBegin(); entry != internal::LocaleTableEnd(); ++entry) {
    if (usable.count(entry->lcid)) result.push_back({entry->lcid, entry->name, entry->short_name});
  }
  return result;
}

bool IsValidLocale(uint32_t lcid) { return IcuLocaleOf(lcid) != nullptr; }

uint32_t UserDefaultLocale() { return UserDefaultLocaleId(); }

int CompareStringLocale(uint32_t lcid, uint32_t flags, const char* a, int a_length, const char* b,
                        int b_length) {
  const std::string* icu_locale = IcuLocaleOf(lcid);
  if (icu_locale == nullptr || a == nullptr || b == nullptr) return 0;
  UCollator* collator = CachedCollator(lcid, flags, *icu_locale);
  if (collator == nullptr) return 0;
  const size_t a_size = a_length < 0 ? std::strlen(a) : static_cast<size_t>(a_length);
  const size_t b_size = b_length < 0 ? std::strlen(b) : static_cast<size_t>(b_length);
  std::u16string wa = AnsiToUtf16(std::string_view(a, a_size));
  std::u16string wb = AnsiToUtf16(std::string_view(b, b_size));
  if (LowercasesFirst(flags)) {
    const std::string casing = CasingLocale(*icu_locale);
    wa = MapCase(wa, casing, false);
    wb = MapCase(wb, casing, false);
  }
  switch (ucol_strcoll(collator, reinterpret_cast<const UChar*>(wa.data()),
                       static_cast<int32_t>(wa.size()), reinterpret_cast<const UChar*>(wb.data()),
                       static_cast<int32_t>(wb.size()))) {
    case UCOL_LESS:
      return kCompareLessThan;
    case UCOL_EQUAL:
      return CompareWidthKana(wa, wb);
    default:
      return kCompareGreaterThan;
  }
}

std::string MapStringLocale(uint32_t lcid, uint32_t flags, std::string_view text) {
  const bool upper = (flags & kLcmapUppercase) != 0;
  const bool lower = (flags & kLcmapLowercase) != 0;
  if (upper == lower) return std::string(text);
  std::string casing;
  if (flags & kLcmapLinguisticCasing) {
    if (const std::string* icu_locale = IcuLocaleOf(lcid)) casing = CasingLocale(*icu_locale);
  }
  const ByteTable& table = SingleByteTable(casing, upper);
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = CharLengthAt(text, i);
    if (length == 1) {
      result += static_cast<char>(table[static_cast<uint8_t>(text[i])]);
    } else {
      result += MapCharacter(text.substr(i, length), casing, upper);
    }
    i += length;
  }
  return result;
}

int CompareTextUserDefault(std::string_view a, std::string_view b) {
  return CompareUserDefault(a, b, kNormIgnoreCase);
}

int CompareStrUserDefault(std::string_view a, std::string_view b) {
  return CompareUserDefault(a, b, 0);
}

}  // namespace platform
