// Environment variables and the user's profile folder.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The raw value of an environment variable (UTF-8 on POSIX), or nothing when it is not set.
std::optional<std::string> GetEnv(const std::string& name);
// Sets or removes (value nothing) a variable of this process.
bool SetEnv(const std::string& name, const std::optional<std::string>& value);

// The profile folder as an engine path without trailing separator: USERPROFILE, else (POSIX
// stand-in) HOME, else the empty text.
std::string ProfileFolder();

}  // namespace platform
