#include "platform/system_locale.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ansi_text.h"
#include "tests/support/scoped_code_page.h"

namespace {

using kura_test::ScopedCodePage;
using platform::kCompareEqual;
using platform::kCompareGreaterThan;
using platform::kCompareLessThan;

constexpr uint32_t kStringSortIgnoreNonSpace = 0x1002;  // the flags of a table's collation
constexpr uint32_t kCaseInsensitive = 0x1003;           // ... and of a case-insensitive index

TEST(LocaleList, HasUniqueValidEntriesWithWindowsNames) {
  const std::vector<platform::SystemLocale> locales = platform::EnumerateSystemLocales();
  ASSERT_GT(locales.size(), 50u);
  std::set<uint32_t> ids;
  std::set<std::string> names;
  for (const auto& locale : locales) {
    SCOPED_TRACE(locale.name);
    EXPECT_TRUE(ids.insert(locale.id).second) << "duplicate id " << locale.id;
    EXPECT_TRUE(names.insert(locale.name).second) << "duplicate name";
    EXPECT_EQ(locale.id >> 16, 0u);
    EXPECT_TRUE(platform::IsValidLocale(locale.id));
    // "Language (Region)", plain ASCII so that it survives every ANSI code page.
    ASSERT_FALSE(locale.name.empty());
    EXPECT_EQ(locale.name.back(), ')');
    EXPECT_NE(locale.name.find(" ("), std::string::npos);
    for (char c : locale.name) EXPECT_TRUE(c > 31 && c < 127);
    ASSERT_EQ(locale.short_name.size(), 3u);
    for (char c : locale.short_name) EXPECT_TRUE(std::isupper(static_cast<unsigned char>(c)));
  }
  auto find = [&locales](uint32_t id) -> const platform::SystemLocale* {
    for (const auto& locale : locales) {
      if (locale.id == id) return &locale;
    }
    return nullptr;
  };
  const struct {
    uint32_t id;
    const char* name;
    const char* short_name;
  } expected[] = {
      {0x0411, "Japanese (Japan)", "JPN"},       {0x0407, "German (Germany)", "DEU"},
      {0x0409, "English (United States)", "ENU"}, {0x040C, "French (France)", "FRA"},
      {0x0804, "Chinese (Simplified, PRC)", "CHS"}, {0x0412, "Korean (Korea)", "KOR"},
      {0x0401, "Arabic (Saudi Arabia)", "ARA"},  {0x040D, "Hebrew (Israel)", "HEB"},
      {0x0439, "Hindi (India)", "HIN"},          {0x0419, "Russian (Russia)", "RUS"},
  };
  for (const auto& e : expected) {
    const platform::SystemLocale* locale = find(e.id);
    ASSERT_NE(locale, nullptr) << e.name;
    EXPECT_EQ(locale->name, e.name);
    EXPECT_EQ(locale->short_name, e.short_name);
  }
  // The phone-book order is a sort order of German, not a locale of its own.
  EXPECT_EQ(find(0x10407), nullptr);
}

TEST(LocaleList, ValidityCoversSortOrdersButNotUnknownIds) {
  const struct {
    uint32_t lcid;
    bool valid;
  } cases[] = {
      {0x0411, true},  {0x0407, true},  {0x10407, true},  // German phone book
      {0, false},      {0x20407, false}, {0x10409, false}, {0x7F, false},
      {0x0999, false}, {0x100411, false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::IsValidLocale(c.lcid), c.valid) << c.lcid;
}

struct CompareCase {
  int code_page;
  uint32_t lcid;
  uint32_t flags;
  const char* a_utf8;
  const char* b_utf8;
  int expected;
};

class LocaleComparison : public testing::TestWithParam<CompareCase> {};

TEST_P(LocaleComparison, FollowsTheWindowsFlags) {
  const CompareCase& c = GetParam();
  ScopedCodePage page(c.code_page);
  const std::string a = platform::Utf8ToAnsi(c.a_utf8);
  const std::string b = platform::Utf8ToAnsi(c.b_utf8);
  ASSERT_EQ(platform::AnsiToUtf8(a), c.a_utf8) << "text not in the code page";
  EXPECT_EQ(platform::CompareStringLocale(c.lcid, c.flags, a.c_str(), -1, b.c_str(), -1), c.expected);
  // The comparison is antisymmetric.
  EXPECT_EQ(platform::CompareStringLocale(c.lcid, c.flags, b.data(), static_cast<int>(b.size()),
                                          a.data(), static_cast<int>(a.size())),
            4 - c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocaleComparison,
    testing::Values(
        // Letters first, case second: "abc" before "ABD" with or without case.
        CompareCase{1252, 0x0409, kStringSortIgnoreNonSpace, "abc", "ABD", kCompareLessThan},
        CompareCase{1252, 0x0409, kCaseInsensitive, "abc", "ABD", kCompareLessThan},
        CompareCase{1252, 0x0409, kCaseInsensitive, "abc", "ABC", kCompareEqual},
        CompareCase{1252, 0x0409, kStringSortIgnoreNonSpace, "abc", "ABC", kCompareLessThan},
        CompareCase{1252, 0x0409, 0x1000, "a", "A", kCompareLessThan},
        // Diacritics count unless ignore-nonspace is given.
        CompareCase{1252, 0x0409, kStringSortIgnoreNonSpace, "a", "á", kCompareEqual},
        CompareCase{1252, 0x0409, 0x1000, "a", "á", kCompareLessThan},
        CompareCase{1252, 0x0409, 0x1001, "a", "á", kCompareLessThan},
        CompareCase{1252, 0x0409, kStringSortIgnoreNonSpace, "Á", "a", kCompareGreaterThan},
        CompareCase{1252, 0x0409, kCaseInsensitive, "Á", "a", kCompareEqual},
        CompareCase{1252, 0x0409, kStringSortIgnoreNonSpace, "résumé", "resume", kCompareEqual},
        // The string sort orders punctuation as symbols; the word sort lets it only break ties.
        CompareCase{1252, 0x0409, 0x1000, "co-op", "coo", kCompareLessThan},
        CompareCase{1252, 0x0409, 0x0000, "co-op", "coo", kCompareGreaterThan},
        CompareCase{1252, 0x0409, 0x0000, "co-op", "coop", kCompareLessThan},
        CompareCase{1252, 0x0409, 0x0004, "co-op", "coop", kCompareEqual},
        CompareCase{1252, 0x0409, 0x1000, "a b", "ab", kCompareLessThan},
        // German: the umlaut is a variant of its vowel; the phone book reads it as vowel + e.
        CompareCase{1252, 0x0407, kStringSortIgnoreNonSpace, "Ärger", "Affe", kCompareGreaterThan},
        CompareCase{1252, 0x10407, kStringSortIgnoreNonSpace, "Ärger", "Affe", kCompareLessThan},
        CompareCase{1252, 0x0407, kStringSortIgnoreNonSpace, "ä", "a", kCompareEqual},
        CompareCase{1252, 0x10407, kStringSortIgnoreNonSpace, "Müller", "Mueller", kCompareEqual},
        // Swedish: å, ä, ö are letters of their own after z, diacritics or not.
        CompareCase{1252, 0x041D, kStringSortIgnoreNonSpace, "ä", "a", kCompareGreaterThan},
        CompareCase{1252, 0x041D, kStringSortIgnoreNonSpace, "å", "z", kCompareGreaterThan},
        // Turkish: dotted and dotless i are different letters, also ignoring case.
        CompareCase{1254, 0x041F, kCaseInsensitive, "I", "i", kCompareLessThan},
        CompareCase{1254, 0x041F, kCaseInsensitive, "İ", "i", kCompareEqual},
        CompareCase{1251, 0x0419, kCaseInsensitive, "ёж", "ЁЖ", kCompareEqual},
        // Case alone ignored: diacritics, kana type and width still count.
        CompareCase{1252, 0x0409, 0x1001, "Abc", "aBC", kCompareEqual},
        CompareCase{1254, 0x041F, 0x1001, "İ", "i", kCompareEqual},
        CompareCase{1254, 0x041F, 0x1001, "I", "ı", kCompareEqual},
        CompareCase{932, 0x0411, 0x1001, "ｂ", "Ｂ", kCompareEqual},
        CompareCase{932, 0x0411, 0x1001, "か", "が", kCompareLessThan},
        // Japanese: kana order, voiced marks as diacritics, kana type and width always count.
        CompareCase{932, 0x0411, kStringSortIgnoreNonSpace, "あ", "い", kCompareLessThan},
        CompareCase{932, 0x0411, kStringSortIgnoreNonSpace, "か", "が", kCompareEqual},
        CompareCase{932, 0x0411, 0x1000, "か", "が", kCompareLessThan},
        CompareCase{932, 0x0411, kCaseInsensitive, "あ", "ア", kCompareLessThan},
        CompareCase{932, 0x0411, kCaseInsensitive, "ア", "ｱ", kCompareLessThan},
        CompareCase{932, 0x0411, kStringSortIgnoreNonSpace, "a", "ａ", kCompareLessThan},
        CompareCase{932, 0x0411, kCaseInsensitive, "ａ", "Ａ", kCompareEqual},
        CompareCase{932, 0x0411, kStringSortIgnoreNonSpace, "ソラミ", "ソラ", kCompareGreaterThan},
        CompareCase{932, 0x0411, kStringSortIgnoreNonSpace, "", "a", kCompareLessThan}));

TEST(LocaleComparisonArguments, LengthsInvalidLocalesAndNulls) {
  ScopedCodePage page(1252);
  const char* text = "abcX";
  EXPECT_EQ(platform::CompareStringLocale(0x0409, 0x1002, text, 3, "abc", -1), kCompareEqual);
  EXPECT_EQ(platform::CompareStringLocale(0x0409, 0x1002, text, -1, "abc", -1), kCompareGreaterThan);
  EXPECT_EQ(platform::CompareStringLocale(0x0409, 0x1002, text, 0, "", 0), kCompareEqual);
  EXPECT_EQ(platform::CompareStringLocale(0, 0x1002, "a", -1, "b", -1), 0);
  EXPECT_EQ(platform::CompareStringLocale(0x0999, 0x1002, "a", -1, "b", -1), 0);
  EXPECT_EQ(platform::CompareStringLocale(0x0409, 0x1002, nullptr, -1, "b", -1), 0);
}

TEST(LocaleComparisonThreads, CachedCollatorsGiveTheSameResultsInEveryThread) {
  ScopedCodePage page(1252);
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"abc", "ABD"}, {"a", "\xE1"}, {"\xC4rger", "Affe"}, {"co-op", "coo"}, {"Z", "a"}};
  const uint32_t lcids[] = {0x0409, 0x0407, 0x10407, 0x041D};
  const uint32_t flag_sets[] = {0, 0x1000, 0x1002, 0x1003};
  std::vector<int> expected;
  for (uint32_t lcid : lcids)
    for (uint32_t flags : flag_sets)
      for (const auto& p : pairs)
        expected.push_back(platform::CompareStringLocale(lcid, flags, p.first.c_str(), -1,
                                                         p.second.c_str(), -1));
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        size_t k = 0;
        for (uint32_t lcid : lcids)
          for (uint32_t flags : flag_sets)
            for (const auto& p : pairs)
              if (platform::CompareStringLocale(lcid, flags, p.first.c_str(), -1,
                                                p.second.c_str(), -1) != expected[k++])
                ++mismatches[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

struct MapCase {
  int code_page;
  uint32_t lcid;
  uint32_t flags;
  const char* input_utf8;
  const char* expected_utf8;
};

class LocaleCaseMapping : public testing::TestWithParam<MapCase> {};

TEST_P(LocaleCaseMapping, KeepsTheByteLength) {
  const MapCase& c = GetParam();
  ScopedCodePage page(c.code_page);
  const std::string input = platform::Utf8ToAnsi(c.input_utf8);
  ASSERT_EQ(platform::AnsiToUtf8(input), c.input_utf8) << "text not in the code page";
  const std::string mapped = platform::MapStringLocale(c.lcid, c.flags, input);
  EXPECT_EQ(mapped.size(), input.size());
  EXPECT_EQ(platform::AnsiToUtf8(mapped), c.expected_utf8);
}

constexpr uint32_t kUpper = platform::kLcmapUppercase | platform::kLcmapLinguisticCasing;
constexpr uint32_t kLower = platform::kLcmapLowercase | platform::kLcmapLinguisticCasing;

INSTANTIATE_TEST_SUITE_P(
    Cases, LocaleCaseMapping,
    testing::Values(
        // Unlike the ANSI mapping, full-width, Greek and Cyrillic letters of 932 are mapped too;
        // kana, kanji and the trail byte 0x5C of ソ are not letters with case.
        MapCase{932, 0x0411, kUpper, "abcａｂソ表ｱ", "ABCＡＢソ表ｱ"},
        MapCase{932, 0x0411, kLower, "ABCＡＢΑДソ", "abcａｂαдソ"},
        MapCase{932, 0x0411, kUpper, "αд", "ΑД"},
        // ß would become SS and µ has no upper case in 1252: both stay.
        MapCase{1252, 0x0407, kUpper, "straße ÿ µ", "STRAßE Ÿ µ"},
        MapCase{1252, 0x0407, kLower, "ÄÖÜ SS", "äöü ss"},
        // Linguistic casing of Turkish, and the common rules without it.
        MapCase{1254, 0x041F, kUpper, "ikı", "İKI"},
        MapCase{1254, 0x041F, kLower, "IİK", "ıik"},
        MapCase{1254, 0x041F, platform::kLcmapUppercase, "ik", "IK"},
        MapCase{1254, 0x0409, kUpper, "ik", "IK"},
        MapCase{1251, 0x0419, kUpper, "ёлка", "ЁЛКА"},
        // Neither or both directions: unchanged.
        MapCase{1252, 0x0409, platform::kLcmapLinguisticCasing, "aB", "aB"},
        MapCase{1252, 0x0409, platform::kLcmapUppercase | platform::kLcmapLowercase, "aB", "aB"},
        // A locale that is not valid cases by the common rules.
        MapCase{1252, 0x0999, kUpper, "abä", "ABÄ"}));

TEST(LocaleCaseMapping, LeavesBrokenDoubleByteTextAsItIs) {
  ScopedCodePage page(932);
  const std::string text = "a\x83";  // a lone lead byte at the end
  EXPECT_EQ(platform::MapStringLocale(0x0411, kUpper, text), "A\x83");
  EXPECT_EQ(platform::MapStringLocale(0x0411, kUpper, std::string("\xA0z", 2)), "\xA0Z");
}

TEST(UserDefaultComparison, FollowsTheLocaleOfTheCodePage) {
  {
    ScopedCodePage page(932);
    EXPECT_EQ(platform::UserDefaultLocale(), 0x0411u);
    const std::string so = platform::Utf8ToAnsi("ソラミ");
    EXPECT_EQ(platform::CompareTextUserDefault("kura.LCK", "KURA.lck"), 0);
    EXPECT_EQ(platform::CompareStrUserDefault("kura.LCK", "KURA.lck"), -1);
    EXPECT_EQ(platform::CompareTextUserDefault("a.dat", "b.dat"), -1);
    EXPECT_EQ(platform::CompareTextUserDefault(so + "2", so + "1"), 1);
  }
  ScopedCodePage page(1252);
  EXPECT_EQ(platform::UserDefaultLocale(), 0x0409u);
  EXPECT_EQ(platform::CompareTextUserDefault("\xC4pfel", "\xE4PFEL"), 0);
  EXPECT_EQ(platform::CompareStrUserDefault("abc", "abc"), 0);
  EXPECT_EQ(platform::CompareStrUserDefault("Zebra", "apple"), 1);
}

}  // namespace
