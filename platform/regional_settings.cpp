#include "platform/regional_settings.h"

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

// The first character of the format that can separate numbers: not a letter, not a quote (which
// starts literal text), and a single byte.
char SeparatorOfFormat(const std::string& format) {
  for (char c : format) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) break;
    if (std::isalpha(byte) || c == '\'' || c == '"') continue;
    return c;
  }
  return '/';
}

std::mutex& SettingsMutex() {
  static std::mutex mutex;
  return mutex;
}

RegionalSettings& Storage() {
  static RegionalSettings settings = RegionalSettingsFromEnvironment();
  return settings;
}

}  // namespace

RegionalSettings RegionalSettingsFromEnvironment() {
  RegionalSettings settings;
  if (const char* format = std::getenv("KURA_SHORT_DATE_FORMAT"); format != nullptr && *format)
    settings.short_date_format = format;
  settings.date_separator = SeparatorOfFormat(settings.short_date_format);
  if (const char* separator = std::getenv("KURA_DATE_SEPARATOR");
      separator != nullptr && separator[0] != '\0' && separator[1] == '\0')
    settings.date_separator = separator[0];
  return settings;
}

const RegionalSettings& GetRegionalSettings() {
  std::lock_guard<std::mutex> lock(SettingsMutex());
  return Storage();
}

void SetRegionalSettings(const RegionalSettings& settings) {
  std::lock_guard<std::mutex> lock(SettingsMutex());
  Storage() = settings;
}

}  // namespace platform
