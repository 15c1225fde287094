#include "platform/environment.h"

#include <cstdlib>

#include "platform/path.h"

namespace platform {

std::optional<std::string> GetEnv(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool SetEnv(const std::string& name, const std::optional<std::string>& value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  if (value) return setenv(name.c_str(), value->c_str(), 1) == 0;
  return unsetenv(name.c_str()) == 0;
}

std::string ProfileFolder() {
  std::optional<std::string> folder = GetEnv("USERPROFILE");
  if (!folder || folder->empty()) folder = GetEnv("HOME");
  if (!folder || folder->empty()) return std::string();
  return ExcludeTrailingPathDelimiter(FromNativePath(*folder));
}

}  // namespace platform
