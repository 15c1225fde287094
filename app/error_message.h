// The text of an error for the user.
#pragma once

#include <exception>
#include <string>

namespace sorami {

// The message of an error as UTF-8: a database error (an engine error among them) carries 8-bit
// text in the system ANSI code page, which is converted; any other exception's text is UTF-8
// already.
std::string ErrorMessageText(const std::exception& error);

}  // namespace sorami
