#include "platform/ansi_text.h"
#include "platform/unicode_text.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace platform {

namespace {

constexpr int kDefaultCodePage = 932;

// ICU's names for the Windows code pages. The aliases "windows-932" and the like are ambiguous in
// ICU's alias table, so the exact tables are named: ibm-943_P15A-2003 is Shift_JIS with the
// NEC and IBM extensions of Windows (0x5C stays "\", 0x8160 is U+FF5E).
struct CodePageName {
  int number;
  const char* icu_name;
};
constexpr CodePageName kCodePageNames[] = {
    {932, "ibm-943_P15A-2003"},   {936, "windows-936-2000"},    {949, "windows-949-2000"},
    {950, "windows-950-2000"},    {874, "windows-874-2000"},    {437, "ibm-437_P100-1995"},
    {850, "ibm-850_P100-1995"},   {1250, "windows-1250"},       {1251, "windows-1251"},
    {1252, "windows-1252"},       {1253, "windows-1253"},       {1254, "windows-1254"},
    {1255, "windows-1255"},       {1256, "windows-1256"},       {1257, "windows-1257"},
    {1258, "windows-1258"},
};

// Everything the byte-level functions need, computed once per code page and never changed.
struct CodePage {
  int number = 0;
  std::string icu_name;
  bool double_byte = false;
  std::array<bool, 256> lead{};
  std::array<uint8_t, 256> upper{};
  std::array<uint8_t, 256> lower{};
};

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Undecodable bytes become U+FFFD. ICU's own substitute would give U+001A for code pages whose
// substitution byte is 0x1A, which could not be told from a real 0x1A.
void ToUnicodeReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;
  *error = U_ZERO_ERROR;
  static const UChar kReplacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

ConverterPtr OpenConverter(const std::string& icu_name) {
  UErrorCode error = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(icu_name.c_str(), &error));
  if (U_FAILURE(error) || !converter) return nullptr;
  // No best-fit mappings: a character without its own code becomes "?", so that for example a
  // yen sign never turns into the path separator 0x5C.
  ucnv_setFallback(converter.get(), false);
  ucnv_setSubstChars(converter.get(), "?", 1, &error);
  ucnv_setToUCallBack(converter.get(), ToUnicodeReplacement, nullptr, nullptr, nullptr, &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// Converts one character (one or two bytes) to a code point; -1 when it has no mapping.
UChar32 DecodeOne(UConverter* converter, const char* bytes, int length) {
  UChar buffer[4];
  UErrorCode error = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(converter, buffer, 4, bytes, length, &error);
  if (U_FAILURE(error) || n <= 0) return -1;
  UChar32 c;
  int32_t i = 0;
  U16_NEXT(buffer, i, n, c);
  if (i != n || c == 0xFFFD) return -1;
  return c;
}

// Converts one code point to the code page; the bytes, or "" when it has no exact mapping.
std::string EncodeOne(UConverter* converter, UChar32 c) {
  UChar units[2];
  int32_t length = 0;
  UBool unused = false;
  U16_APPEND(units, length, 2, c, unused);
  (void)unused;
  char out[8];
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  const int32_t n = ucnv_fromUChars(converter, out, sizeof out, units, length, &error);
  if (U_FAILURE(error) || n <= 0) return std::string();
  return std::string(out, static_cast<size_t>(n));
}

void SetDoubleByteLeads(CodePage& page) {
  auto set_range = [&page](int first, int last) {
    for (int b = first; b <= last; ++b) page.lead[static_cast<size_t>(b)] = true;
  };
  switch (page.number) {
    case 932:
      set_range(0x81, 0x9F);
      set_range(0xE0, 0xFC);
      break;
    case 936:
    case 949:
    case 950:
      set_range(0x81, 0xFE);
      break;
    default:
      break;
  }
}

std::unique_ptr<CodePage> BuildCodePage(int number) {
  std::string icu_name;
  for (const CodePageName& entry : kCodePageNames) {
    if (entry.number == number) icu_name = entry.icu_name;
  }
  if (icu_name.empty()) icu_name = "windows-" + std::to_string(number);
  ConverterPtr converter = OpenConverter(icu_name);
  if (!converter) return nullptr;

  auto page = std::make_unique<CodePage>();
  page->number = number;
  page->icu_name = icu_name;
  const int max_bytes = ucnv_getMaxCharSize(converter.get());
  page->double_byte = max_bytes > 1;
  if (page->double_byte) {
    SetDoubleByteLeads(*page);
    bool any_lead = false;
    for (bool lead : page->lead) any_lead = any_lead || lead;
    // Multi-byte code pages other than the four double-byte ones have no lead-byte rule here.
    if (!any_lead || max_bytes > 2) return nullptr;
  }

  for (int b = 0; b < 256; ++b) {
    page->upper[static_cast<size_t>(b)] = static_cast<uint8_t>(b);
    page->lower[static_cast<size_t>(b)] = static_cast<uint8_t>(b);
  }
  if (page->double_byte) {
    // CharUpperA of a double-byte code page changes only the ASCII letters.
    for (int b = 'a'; b <= 'z'; ++b) page->upper[static_cast<size_t>(b)] = static_cast<uint8_t>(b - 32);
    for (int b = 'A'; b <= 'Z'; ++b) page->lower[static_cast<size_t>(b)] = static_cast<uint8_t>(b + 32);
    return page;
  }
  for (int b = 0x20; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const UChar32 c = DecodeOne(converter.get(), &byte, 1);
    if (c < 0) continue;
    auto map = [&](UChar32 mapped) -> int {
      if (mapped == c) return b;
      const std::string encoded = EncodeOne(converter.get(), mapped);
      if (encoded.size() != 1) return b;
      // Only a mapping that converts back to the same character counts.
      if (DecodeOne(converter.get(), encoded.data(), 1) != mapped) return b;
      return static_cast<uint8_t>(encoded[0]);
    };
    page->upper[static_cast<size_t>(b)] = static_cast<uint8_t>(map(u_toupper(c)));
    page->lower[static_cast<size_t>(b)] = static_cast<uint8_t>(map(u_tolower(c)));
  }
  return page;
}

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

// Code pages stay alive for the life of the process, so that a pointer taken by one thread stays
// valid while another switches the active page.
const CodePage* FindOrBuildCodePage(int number) {
  static std::map<int, std::unique_ptr<CodePage>> pages;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto it = pages.find(number);
  if (it != pages.end()) return it->second.get();
  std::unique_ptr<CodePage> page = BuildCodePage(number);
  if (!page) return nullptr;
  const CodePage* result = page.get();
  pages.emplace(number, std::move(page));
  return result;
}

std::atomic<const CodePage*> active_page{nullptr};

const CodePage* InitialCodePage() {
  if (const char* value = std::getenv("KURA_CODEPAGE"); value != nullptr && *value != '\0') {
    char* end = nullptr;
    const long number = std::strtol(value, &end, 10);
    if (end != nullptr && *end == '\0' && number > 0 && number < 65536) {
      if (const CodePage* page = FindOrBuildCodePage(static_cast<int>(number))) return page;
    }
  }
  return FindOrBuildCodePage(kDefaultCodePage);
}

const CodePage& Active() {
  const CodePage* page = active_page.load(std::memory_order_acquire);
  if (page == nullptr) {
    static std::once_flag once;
    std::call_once(once, [] {
      const CodePage* expected = nullptr;
      active_page.compare_exchange_strong(expected, InitialCodePage(), std::memory_order_acq_rel);
    });
    page = active_page.load(std::memory_order_acquire);
  }
  return *page;
}

// One converter per thread for the active code page: ICU converters keep state and must not be
// shared between threads.
UConverter* ThreadConverter(const CodePage& page) {
  struct Cached {
    int number = 0;
    ConverterPtr converter;
  };
  thread_local Cached cached;
  if (!cached.converter || cached.number != page.number) {
    cached.converter = OpenConverter(page.icu_name);
    cached.number = page.number;
  }
  return cached.converter.get();
}


}  // namespace

namespace internal {

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return std::u16string();
  std::u16string out(utf8.size(), u'\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr,
                       &error);
  if (U_FAILURE(error)) return std::u16string();
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  if (utf16.empty()) return std::string();
  std::string out(utf16.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(utf16.data()),
                     static_cast<int32_t>(utf16.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return std::string();
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace internal

using internal::Utf16ToUtf8;
using internal::Utf8ToUtf16;

int AnsiCodePage() { return Active().number; }

bool SetAnsiCodePage(int code_page) {
  Active();  // the environment's choice must not overwrite this one later
  const CodePage* page = FindOrBuildCodePage(code_page);
  if (page == nullptr) return false;
  active_page.store(page, std::memory_order_release);
  return true;
}

bool IsDoubleByteCodePage() { return Active().double_byte; }

bool IsLeadByte(uint8_t byte) { return Active().lead[byte]; }

size_t CharLengthAt(std::string_view s, size_t index) {
  if (index >= s.size()) return 0;
  const CodePage& page = Active();
  if (page.lead[static_cast<uint8_t>(s[index])] && index + 1 < s.size() && s[index + 1] != '\0')
    return 2;
  return 1;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  if (ansi.empty()) return std::u16string();
  UConverter* converter = ThreadConverter(Active());
  std::u16string out(ansi.size() * 2, u'\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length =
      ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()),
                    static_cast<int32_t>(out.size()), ansi.data(),
                    static_cast<int32_t>(ansi.size()), &error);
  if (U_FAILURE(error)) return std::u16string();
  out.resize(static_cast<size_t>(length));
  return out;
}

AnsiString Utf16ToAnsi(std::u16string_view utf16) {
  if (utf16.empty()) return AnsiString();
  UConverter* converter = ThreadConverter(Active());
  std::string out(utf16.size() * static_cast<size_t>(ucnv_getMaxCharSize(converter)) + 1, '\0');
  UErrorCode error = U_ZERO_ERROR;
  const int32_t length =
      ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                      reinterpret_cast<const UChar*>(utf16.data()),
                      static_cast<int32_t>(utf16.size()), &error);
  if (U_FAILURE(error)) return AnsiString();
  out.resize(static_cast<size_t>(length));
  return out;
}

AnsiString Utf8ToAnsi(std::string_view utf8) { return Utf16ToAnsi(Utf8ToUtf16(utf8)); }

std::string AnsiToUtf8(std::string_view ansi) { return Utf16ToUtf8(AnsiToUtf16(ansi)); }

namespace {

void MapBuffer(char* buffer, size_t length, const std::array<uint8_t, 256> CodePage::*table) {
  const CodePage& page = Active();
  const std::array<uint8_t, 256>& map = page.*table;
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<uint8_t>(buffer[i]);
    if (page.lead[byte] && i + 1 < length && buffer[i + 1] != '\0') {
      ++i;  // the trail byte belongs to the character and is never mapped on its own
      continue;
    }
    buffer[i] = static_cast<char>(map[byte]);
  }
}

}  // namespace

void AnsiUpperBuffer(char* buffer, size_t length) { MapBuffer(buffer, length, &CodePage::upper); }

void AnsiLowerBuffer(char* buffer, size_t length) { MapBuffer(buffer, length, &CodePage::lower); }

AnsiString AnsiUpperCase(std::string_view s) {
  AnsiString result(s);
  AnsiUpperBuffer(result.data(), result.size());
  return result;
}

AnsiString AnsiLowerCase(std::string_view s) {
  AnsiString result(s);
  AnsiLowerBuffer(result.data(), result.size());
  return result;
}

AnsiString CutAnsi(std::string_view s, size_t max_bytes) {
  if (s.size() <= max_bytes) return AnsiString(s);
  size_t end = 0;
  while (end < s.size()) {
    const size_t next = end + CharLengthAt(s, end);
    if (next > max_bytes) break;
    end = next;
  }
  return AnsiString(s.substr(0, end));
}

}  // namespace platform
