// The user's regional settings that date and number parsing and display need.
//
// The defaults are those of a Japanese Windows system. The environment can change them when the
// process first asks: KURA_SHORT_DATE_FORMAT (for example "dd.MM.yyyy"; UTF-8) and
// KURA_DATE_SEPARATOR (one character; when unset or not a single character, the first character
// of the short date format that is not a letter or quote, else "/").
#pragma once

#include <string>

namespace platform {

struct RegionalSettings {
  std::string short_date_format = "yyyy/MM/dd";
  char date_separator = '/';
  std::string long_time_format = "H:mm:ss";
  char time_separator = ':';
  char decimal_separator = '.';
  char thousand_separator = ',';
  std::string currency_string = "\\";  // the yen sign of code page 932
};

// The settings as they stood when the process first asked (read once, thread-safe).
const RegionalSettings& GetRegionalSettings();
// The settings the environment gives now (the defaults changed by the variables above).
RegionalSettings RegionalSettingsFromEnvironment();
// Replaces the settings for the rest of the process (tests).
void SetRegionalSettings(const RegionalSettings& settings);

}  // namespace platform
