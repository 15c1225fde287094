#include "app/directory_name.h"

#include "platform/path.h"

namespace sorami {

std::string NormaliseDirectoryName(const std::string& directory) {
  std::string result = directory;
  for (size_t i = 0; i < result.size(); ++i) {
    if (platform::IsPathDelimiterAt(result, i)) result[i] = platform::kPathDelimiter;
  }
  const std::string trimmed = platform::ExcludeTrailingPathDelimiter(result);
  if (trimmed.empty() && !result.empty()) return std::string(1, platform::kPathDelimiter);
  return trimmed;
}

}  // namespace sorami
