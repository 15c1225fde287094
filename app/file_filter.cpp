#include "app/file_filter.h"

#include <sstream>

namespace sorami {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

}  // namespace

std::vector<std::string> ToQtNameFilters(const std::string& filter) {
  const std::vector<std::string> parts = Split(filter, '|');
  std::vector<std::string> result;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string patterns;
    for (const std::string& pattern : Split(parts[i + 1], ';')) {
      if (pattern.empty()) continue;
      if (!patterns.empty()) patterns += ' ';
      patterns += pattern == "*.*" ? "*" : pattern;
    }
    result.push_back(parts[i] + " (" + patterns + ")");
  }
  return result;
}

std::string ToQtDefaultSuffix(const std::string& extension) {
  return !extension.empty() && extension.front() == '.' ? extension.substr(1) : extension;
}

}  // namespace sorami
