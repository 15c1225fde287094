#include "platform/ansi_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scoped_code_page.h"
#include "tests/support/scoped_env.h"

namespace {

using platform::AnsiString;
using kura_test::ScopedCodePage;

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// "83 5C" -> the two bytes.
std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    i += 2;
  }
  return out;
}

struct RoundTripCase {
  int code_page;
  const char* utf8;
  const char* ansi_hex;
};

class CodePageRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(CodePageRoundTrip, ConvertsBothWaysByteExact) {
  const RoundTripCase& c = GetParam();
  ScopedCodePage page(c.code_page);
  const AnsiString ansi = platform::Utf8ToAnsi(c.utf8);
  EXPECT_EQ(Hex(ansi), c.ansi_hex);
  EXPECT_EQ(platform::AnsiToUtf8(ansi), c.utf8);
  EXPECT_EQ(platform::Utf16ToAnsi(platform::AnsiToUtf16(ansi)), ansi);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsCodePages, CodePageRoundTrip,
    testing::Values(
        // "ソ" has the trail byte 0x5C; "～" and "－" are the Windows forms (U+FF5E, U+FF0D).
        RoundTripCase{932, "ソラミ", "83 5C 83 89 83 7E"},
        RoundTripCase{932, "a\\b~", "61 5C 62 7E"},
        RoundTripCase{932, "～－∥￢", "81 60 81 7C 81 61 81 CA"},
        // NEC row 13 and IBM extensions, present only in the Windows form of Shift_JIS.
        RoundTripCase{932, "①Ⅰ髙", "87 40 87 54 FB FC"},
        RoundTripCase{932, "ｱｲｳ", "B1 B2 B3"},
        RoundTripCase{1252, "Größe €", "47 72 F6 DF 65 20 80"},
        RoundTripCase{1250, "Łódź", "A3 F3 64 9F"},
        RoundTripCase{1251, "Привет", "CF F0 E8 E2 E5 F2"},
        RoundTripCase{936, "中文", "D6 D0 CE C4"},
        RoundTripCase{949, "한국", "C7 D1 B1 B9"},
        RoundTripCase{950, "中文", "A4 A4 A4 E5"}));

TEST(CodePageConversion, UnmappableCharactersBecomeQuestionMarkOrReplacement) {
  {
    ScopedCodePage page(932);
    EXPECT_EQ(platform::Utf8ToAnsi("caf\xC3\xA9"), "caf?");
    // The yen sign must not fall back to 0x5C, the path separator.
    EXPECT_EQ(platform::Utf8ToAnsi("\xC2\xA5"), "?");
    EXPECT_EQ(platform::Utf16ToAnsi(std::u16string(1, char16_t{0xD800})), "?");
    // A lead byte at the end and a byte without a character decode to U+FFFD.
    EXPECT_EQ(platform::AnsiToUtf8(Bytes("61 83")), "a\xEF\xBF\xBD");
    EXPECT_EQ(platform::AnsiToUtf16(Bytes("A0")), std::u16string(1, char16_t{0xFFFD}));
    // An embedded zero byte is text like any other.
    EXPECT_EQ(platform::AnsiToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  }
  {
    ScopedCodePage page(1252);
    EXPECT_EQ(platform::Utf8ToAnsi("日本"), "??");
    EXPECT_EQ(platform::Utf8ToAnsi("ok\xFF"), "ok?");  // invalid UTF-8
  }
}

TEST(CodePageConversion, DecodesExtensionCodesThatShareACharacter) {
  ScopedCodePage page(932);
  // 0xED40 (NEC-selected IBM extension) and 0xFA5C (IBM extension) are both U+7E8A.
  EXPECT_EQ(platform::AnsiToUtf8(Bytes("ED 40")), "纊");
  EXPECT_EQ(platform::AnsiToUtf8(Bytes("FA 5C")), "纊");
}

TEST(CodePageSelection, UnknownCodePageIsRefusedAndTheActiveOneKept) {
  ScopedCodePage page(1252);
  EXPECT_FALSE(platform::SetAnsiCodePage(12345));
  EXPECT_FALSE(platform::SetAnsiCodePage(65001));  // UTF-8 has no lead-byte rule of its own here
  EXPECT_EQ(platform::AnsiCodePage(), 1252);
  EXPECT_FALSE(platform::IsDoubleByteCodePage());
}

TEST(CodePageSelection, FirstUseReadsTheEnvironment) {
  // A fresh process is needed: the code page is fixed at first use.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  kura_test::ScopedEnv env("KURA_CODEPAGE", "1251");
  EXPECT_EXIT(std::exit(platform::AnsiCodePage() == 1251 ? 0 : 1), testing::ExitedWithCode(0), "");
  kura_test::ScopedEnv bad("KURA_CODEPAGE", "banana");
  EXPECT_EXIT(std::exit(platform::AnsiCodePage() == 932 ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(CodePageSelection, ConvertsConsistentlyFromSeveralThreads) {
  ScopedCodePage page(932);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (platform::AnsiToUtf8(platform::Utf8ToAnsi("表ソ" + std::to_string(i))) !=
            "表ソ" + std::to_string(i))
          ++failures[static_cast<size_t>(t)];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

struct LeadByteCase {
  int code_page;
  std::vector<int> leads;
  std::vector<int> not_leads;
};

TEST(LeadBytes, FollowTheWindowsRanges) {
  const LeadByteCase cases[] = {
      {932, {0x81, 0x9F, 0xE0, 0xFC}, {0x00, 0x5C, 0x7F, 0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0xFF}},
      {936, {0x81, 0xA4, 0xFE}, {0x5C, 0x80, 0xFF}},
      {949, {0x81, 0xC7, 0xFE}, {0x41, 0x80, 0xFF}},
      {950, {0x81, 0xA4, 0xFE}, {0x7E, 0x80, 0xFF}},
      {1252, {}, {0x41, 0x81, 0x9F, 0xE0, 0xFC}},
  };
  for (const LeadByteCase& c : cases) {
    SCOPED_TRACE(c.code_page);
    ScopedCodePage page(c.code_page);
    for (int b : c.leads) EXPECT_TRUE(platform::IsLeadByte(static_cast<uint8_t>(b))) << b;
    for (int b : c.not_leads) EXPECT_FALSE(platform::IsLeadByte(static_cast<uint8_t>(b))) << b;
  }
}

TEST(LeadBytes, CharLengthCountsDoubleByteCharacters) {
  ScopedCodePage page(932);
  const std::string s = Bytes("61 83 5C 5C 83");  // a, ソ, "\", a lone lead byte at the end
  EXPECT_EQ(platform::CharLengthAt(s, 0), 1u);
  EXPECT_EQ(platform::CharLengthAt(s, 1), 2u);
  EXPECT_EQ(platform::CharLengthAt(s, 3), 1u);
  EXPECT_EQ(platform::CharLengthAt(s, 4), 1u);
  EXPECT_EQ(platform::CharLengthAt(s, 5), 0u);
  EXPECT_EQ(platform::CharLengthAt(Bytes("83 00"), 0), 1u);  // a zero byte ends the text
}

struct CaseMappingCase {
  int code_page;
  const char* input_hex;
  const char* upper_hex;
  const char* lower_hex;
};

class AnsiCaseMapping : public testing::TestWithParam<CaseMappingCase> {};

TEST_P(AnsiCaseMapping, MapsLikeCharUpperAndCharLower) {
  const CaseMappingCase& c = GetParam();
  ScopedCodePage page(c.code_page);
  const std::string input = Bytes(c.input_hex);
  EXPECT_EQ(Hex(platform::AnsiUpperCase(input)), c.upper_hex);
  EXPECT_EQ(Hex(platform::AnsiLowerCase(input)), c.lower_hex);
  std::string buffer = input;
  platform::AnsiUpperBuffer(buffer.data(), buffer.size());
  EXPECT_EQ(Hex(buffer), c.upper_hex);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnsiCaseMapping,
    testing::Values(
        CaseMappingCase{932, "61 7A 41 5A 31", "41 5A 41 5A 31", "61 7A 61 7A 31"},
        // "ソ" (83 5C), "ア" (83 41, trail byte "A") and "ツ" (83 63, trail byte "c") stay.
        CaseMappingCase{932, "83 5C 83 41 83 63", "83 5C 83 41 83 63", "83 5C 83 41 83 63"},
        // Full-width "ａ" and "Ａ" are not ASCII letters.
        CaseMappingCase{932, "82 81 82 60", "82 81 82 60", "82 81 82 60"},
        // Half-width katakana, then a lead byte left at the end.
        CaseMappingCase{932, "B1 62 83", "B1 42 83", "B1 62 83"},
        CaseMappingCase{936, "D6 61 62", "D6 61 42", "D6 61 62"},
        // ä ö ü ß ÿ µ: ß and µ have no upper case in 1252, ÿ's is Ÿ (9F).
        CaseMappingCase{1252, "E4 F6 FC DF FF B5", "C4 D6 DC DF 9F B5", "E4 F6 FC DF FF B5"},
        CaseMappingCase{1252, "C4 8A 9F 61", "C4 8A 9F 41", "E4 9A FF 61"},
        CaseMappingCase{1251, "EF D0 E8 B8", "CF D0 C8 A8", "EF F0 E8 B8"},
        CaseMappingCase{1250, "B3 9F A3", "A3 8F A3", "B3 9F B3"}));

struct CutCase {
  int code_page;
  const char* input_hex;
  size_t max_bytes;
  const char* expected_hex;
};

TEST(CutAnsi, NeverSplitsADoubleByteCharacter) {
  const CutCase cases[] = {
      {932, "61 83 5C 62", 2, "61"},        // ソ would be split: dropped whole
      {932, "61 83 5C 62", 3, "61 83 5C"},
      {932, "61 83 5C 62", 4, "61 83 5C 62"},
      {932, "61 83 5C 62", 10, "61 83 5C 62"},
      {932, "83 5C", 1, ""},
      {932, "83 5C", 0, ""},
      {932, "61 62 83", 3, "61 62 83"},     // a lone lead byte at the end is one byte
      {1252, "E4 83 5C", 2, "E4 83"},       // single-byte: every byte is a character
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(std::string(c.input_hex) + " / " + std::to_string(c.max_bytes));
    ScopedCodePage page(c.code_page);
    EXPECT_EQ(Hex(platform::CutAnsi(Bytes(c.input_hex), c.max_bytes)), c.expected_hex);
  }
}

}  // namespace
