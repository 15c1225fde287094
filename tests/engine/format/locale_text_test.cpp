#include "engine/format/locale_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kura {
namespace {

constexpr int32_t kEnglishUS = 0x0409;

TEST(LocaleTextTest, StringComparisonByLocale) {
  struct Case {
    const char* name;
    int32_t locale;
    std::string a;
    std::string b;
    bool case_insensitive;
    size_t max_length;
    int expected;
  };
  const Case cases[] = {
      {"byte order puts capitals first", 0, "abc", "ABD", false, 0, 1},
      {"upper-cased first when case is ignored", 0, "abc", "ABD", true, 0, -1},
      {"a text sorts before its extensions", 0, "ab", "abc", false, 0, -1},
      {"and after its prefixes", 0, "abc", "ab", false, 0, 1},
      {"equal texts", 0, "same", "same", false, 0, 0},
      {"bytes are unsigned", 0, "\x82\xa0", "A", false, 0, 1},
      {"only the first M bytes count", 0, "abX", "abY", false, 2, 0},
      {"the M-th byte counts", 0, "abX", "abY", false, 3, -1},
      {"the stored terminator ends a text", 0, std::string("ab\0zz", 5), "ab", false, 0, 0},
      {"collation keeps cases together", kEnglishUS, "abc", "ABD", false, 0, -1},
      {"collation sees case", kEnglishUS, "a", "A", false, 0, -1},
      {"collation ignoring case", kEnglishUS, "a", "A", true, 0, 0},
      {"collation cut to M characters", kEnglishUS, "abX", "abY", false, 2, 0},
      {"collation of a prefix", kEnglishUS, "ab", "abc", false, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CompareLocaleStrings(c.locale, c.a, c.b, c.case_insensitive, c.max_length),
              c.expected);
    EXPECT_EQ(CompareLocaleStrings(c.locale, c.b, c.a, c.case_insensitive, c.max_length),
              -c.expected);
  }
}

// Code page 932: only ASCII letters change, never the trail byte of a double-byte character.
TEST(LocaleTextTest, CaseConversionByLocale) {
  struct Case {
    const char* name;
    int32_t locale;
    bool upper;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"ANSI upper case", 0, true, "ab\x83\x61z", "AB\x83\x61Z"},
      {"ANSI lower case", 0, false, "AB\x83\x41Z", "ab\x83\x41z"},
      {"linguistic upper case", kEnglishUS, true, "mixed Case", "MIXED CASE"},
      {"linguistic lower case", kEnglishUS, false, "MIXED Case", "mixed case"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.text;
    if (c.upper) {
      LocaleUpperCase(c.locale, text.data(), text.size());
    } else {
      LocaleLowerCase(c.locale, text.data(), text.size());
    }
    EXPECT_EQ(text, c.expected);
  }
}

}  // namespace
}  // namespace kura
