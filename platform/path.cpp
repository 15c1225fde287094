#include "platform/path.h"

#include "platform/ansi_text.h"

namespace platform {

namespace {

bool IsDelimiterByte(char c) { return c == '\\' || c == '/'; }

// Index of the last separator that is a character of its own, or npos.
size_t LastDelimiter(const std::string& s) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < s.size(); i += CharLengthAt(s, i)) {
    if (IsDelimiterByte(s[i])) last = i;
  }
  return last;
}

// Length of s without its trailing separators.
size_t LengthWithoutTrailingDelimiters(const std::string& s) {
  size_t keep = 0;
  for (size_t i = 0; i < s.size();) {
    const size_t length = CharLengthAt(s, i);
    if (!(length == 1 && IsDelimiterByte(s[i]))) keep = i + length;
    i += length;
  }
  return keep;
}

}  // namespace

std::string ToNativePath(const std::string& engine_path) {
  // Convert first: in UTF-8 every 0x5C byte is a real "\".
  std::string native = AnsiToUtf8(engine_path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::string FromNativePath(const std::string& native_path) {
  std::string utf8 = native_path;
  for (char& c : utf8) {
    if (c == '/') c = '\\';
  }
  return Utf8ToAnsi(utf8);
}

bool IsPathDelimiterAt(const std::string& s, size_t index) {
  if (index >= s.size()) return false;
  size_t i = 0;
  while (i < index) i += CharLengthAt(s, i);
  return i == index && IsDelimiterByte(s[index]);
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  return path.substr(0, LengthWithoutTrailingDelimiters(path)) + kPathDelimiter;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  return path.substr(0, LengthWithoutTrailingDelimiters(path));
}

std::string ExtractFilePath(const std::string& path) {
  const size_t last = LastDelimiter(path);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string ExtractFileName(const std::string& path) {
  const size_t last = LastDelimiter(path);
  return last == std::string::npos ? path : path.substr(last + 1);
}

namespace {

// Index of the extension's dot in path, or npos.
size_t ExtensionStart(const std::string& path) {
  const size_t last = LastDelimiter(path);
  const size_t name_start = last == std::string::npos ? 0 : last + 1;
  size_t dot = std::string::npos;
  for (size_t i = name_start; i < path.size(); i += CharLengthAt(path, i)) {
    if (path[i] == '.') dot = i;
  }
  return dot;
}

}  // namespace

std::string ExtractFileExt(const std::string& path) {
  const size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  const size_t dot = ExtensionStart(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + extension;
}

}  // namespace platform
