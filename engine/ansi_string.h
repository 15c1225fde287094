// The engine's text type: 8-bit characters in the system ANSI code page (platform/ansi_text.h).
// Names, paths and string values are AnsiString everywhere in the engine; conversion to UTF-8
// happens only at the dataset layer's boundary.
#pragma once

#include <string>

namespace kura {

using AnsiString = std::string;

}  // namespace kura
