// The system's ANSI code page and conversions between it and Unicode.
//
// AnsiString, the engine's text type, is a std::string of 8-bit characters in this code page.
// The code page is 932 (Shift_JIS as Windows has it) unless the environment variable
// KURA_CODEPAGE names another Windows code page (1252, 1250, 936, 949, 950, ...) when the process
// first asks for it. Conversions go through ICU converters; characters without a mapping become
// "?" on the way to ANSI and U+FFFD on the way from it. All functions are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using AnsiString = std::string;

// The active code page, and a setter for tests and tools (takes effect for all later calls).
int AnsiCodePage();
// False when the code page is not known to ICU; the previous one stays active.
bool SetAnsiCodePage(int code_page);
// True for the double-byte code pages (932, 936, 949, 950).
bool IsDoubleByteCodePage();
// True when `byte` starts a double-byte character in the active code page (IsDBCSLeadByte).
bool IsLeadByte(uint8_t byte);
// The length in bytes of the character that starts at s[index] (1 or 2; 1 for a lead byte at the
// end of the text or before a zero byte; 0 when index is past the end).
size_t CharLengthAt(std::string_view s, size_t index);

AnsiString Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);
std::u16string AnsiToUtf16(std::string_view ansi);
AnsiString Utf16ToAnsi(std::u16string_view utf16);

// The code page's own upper- and lower-case mapping, as CharUpperA/CharLowerA give it. For 932
// (and the other double-byte code pages) only the ASCII letters change, and a trail byte of a
// double-byte character is never touched. For single-byte code pages every character maps
// through Unicode case mapping when the result is again one character of the code page.
void AnsiUpperBuffer(char* buffer, size_t length);
void AnsiLowerBuffer(char* buffer, size_t length);
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);

// Cuts s to at most max_bytes bytes without splitting a double-byte character (a character that
// would be split is dropped whole).
AnsiString CutAnsi(std::string_view s, size_t max_bytes);

}  // namespace platform
