#include "platform/regional_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/scoped_env.h"

namespace {

using kura_test::ScopedEnv;

TEST(RegionalSettings, DefaultsAreThoseOfAJapaneseSystem) {
  ScopedEnv format("KURA_SHORT_DATE_FORMAT", nullptr);
  ScopedEnv separator("KURA_DATE_SEPARATOR", nullptr);
  const platform::RegionalSettings settings = platform::RegionalSettingsFromEnvironment();
  EXPECT_EQ(settings.short_date_format, "yyyy/MM/dd");
  EXPECT_EQ(settings.date_separator, '/');
  EXPECT_EQ(settings.time_separator, ':');
  EXPECT_EQ(settings.decimal_separator, '.');
}

TEST(RegionalSettings, EnvironmentSetsFormatAndSeparator) {
  const struct {
    const char* format;
    const char* separator;
    const char* expected_format;
    char expected_separator;
  } cases[] = {
      {"dd.MM.yyyy", nullptr, "dd.MM.yyyy", '.'},
      {"d-M-yy", nullptr, "d-M-yy", '-'},
      {"dd.MM.yyyy", "/", "dd.MM.yyyy", '/'},
      {"yyyyMMdd", nullptr, "yyyyMMdd", '/'},          // no separator in the format
      {"yyyy'x'MM x dd", nullptr, "yyyy'x'MM x dd", ' '},  // quotes start literal text
      {"MM/dd/yyyy", "--", "MM/dd/yyyy", '/'},         // not one character: ignored
      {"", "", "yyyy/MM/dd", '/'},                     // empty: the defaults
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    ScopedEnv format("KURA_SHORT_DATE_FORMAT", c.format);
    ScopedEnv separator("KURA_DATE_SEPARATOR", c.separator);
    const platform::RegionalSettings settings = platform::RegionalSettingsFromEnvironment();
    EXPECT_EQ(settings.short_date_format, c.expected_format);
    EXPECT_EQ(settings.date_separator, c.expected_separator);
  }
}

TEST(RegionalSettings, AreReadOnceAtFirstUseAndCanBeReplaced) {
  // A fresh process is needed: the settings are fixed at first use.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScopedEnv format("KURA_SHORT_DATE_FORMAT", "dd.MM.yyyy");
  ScopedEnv separator("KURA_DATE_SEPARATOR", nullptr);
  EXPECT_EXIT(
      {
        const platform::RegionalSettings& first = platform::GetRegionalSettings();
        setenv("KURA_SHORT_DATE_FORMAT", "MM/dd/yyyy", 1);
        const bool read_once = platform::GetRegionalSettings().short_date_format == "dd.MM.yyyy" &&
                               first.date_separator == '.';
        platform::RegionalSettings replaced;
        replaced.short_date_format = "yyyy-MM-dd";
        platform::SetRegionalSettings(replaced);
        const bool set = platform::GetRegionalSettings().short_date_format == "yyyy-MM-dd";
        std::exit(read_once && set ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
