// Internal to platform/: conversions between UTF-8 and UTF-16 (ill-formed input becomes U+FFFD).
#pragma once

#include <string>
#include <string_view>

namespace platform::internal {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace platform::internal
