// Internal to platform/: the wildcard rules of directory listings.
#pragma once

#include <string_view>

namespace platform::internal {

// MatchesMask (file_system.h) on UTF-8 texts.
bool MatchesMaskUtf8(std::string_view name, std::string_view mask);

}  // namespace platform::internal
