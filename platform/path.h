// Paths as the engine keeps them, and their native form.
//
// Engine paths are 8-bit text in the system ANSI code page with "\" separators (an absolute POSIX
// path "/home/u/x" is "\home\u\x" there). Every platform call that takes a path takes the engine
// form, accepts "/" as a separator as well, and converts at the OS call: the text is converted to
// UTF-8 first and only then are separators translated, because in double-byte code pages such as
// 932 the byte 0x5C ("\") also occurs as the trail byte of a character.
#pragma once

#include <string>

namespace platform {

// Engine path (ANSI, "\" or "/") -> native POSIX path (UTF-8, "/"). Repeated separators are kept
// as they are; the OS treats them as one.
std::string ToNativePath(const std::string& engine_path);

// Native POSIX path (UTF-8) -> engine path (ANSI, "\").
std::string FromNativePath(const std::string& native_path);

// The engine's separator.
constexpr char kPathDelimiter = '\\';

// True when byte `index` of the ANSI text `s` is a path separator ("\" or "/") and not the trail
// byte of a double-byte character.
bool IsPathDelimiterAt(const std::string& s, size_t index);

// The ANSI path with exactly one trailing "\" (added when missing; double-byte aware).
std::string IncludeTrailingPathDelimiter(const std::string& path);
// The ANSI path without trailing separators (double-byte aware).
std::string ExcludeTrailingPathDelimiter(const std::string& path);

// Splits an ANSI path at its last separator (double-byte aware): the directory part keeps its
// trailing "\"; the name part is what follows.
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
// The extension with its dot ("" when the name has none); ChangeFileExt replaces or appends it.
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& extension);

}  // namespace platform
