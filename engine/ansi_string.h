// The engine's text type: 8-bit characters in the system ANSI code page (platform/ansi_text.h).
// Names, paths and string values are AnsiString everywhere in the engine; conversion to UTF-8
// happens only at the dataset layer's boundary.
#pragma once

#include <string>
#include <string_view>

namespace kura {

using AnsiString = std::string;

// The text without the blanks and control characters (bytes up to 32) at both ends. No byte of
// that range is ever the trail byte of a double-byte character, so this is safe in every code
// page.
inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace kura
