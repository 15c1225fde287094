// A small, strict JSON reader for the tools' input files (RFC 8259 and nothing more).
//
// Refused, with the line and column where reading stopped: comments, trailing commas, single
// quotes, unquoted keys, leading zeros, "+" signs, "NaN"/"Infinity", control characters and
// invalid UTF-8 or lone surrogates in strings, duplicate keys in an object, nesting deeper than
// 64 levels, and anything after the top-level value. Strings are UTF-8 with their escapes
// resolved; numbers keep their text, so that integers are read exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kura_tools {

// Where something lies in the text: 1-based line and column (in bytes).
struct TJsonPosition {
  size_t line = 1;
  size_t column = 1;
};

// A refusal of the text: "line L, column C: what".
class EJsonError : public std::runtime_error {
 public:
  EJsonError(const TJsonPosition& position, const std::string& what);
  const TJsonPosition& Position() const { return position_; }

 private:
  TJsonPosition position_;
};

class TJsonValue {
 public:
  enum class Kind { kNull, kBoolean, kNumber, kString, kArray, kObject };

  Kind kind() const { return kind_; }
  const TJsonPosition& position() const { return position_; }

  bool boolean() const { return boolean_; }
  // A number's text as it stood; strings' contents.
  const std::string& text() const { return text_; }
  // A number without fraction or exponent that fits: true and *value.
  bool AsInteger(int64_t* value) const;
  const std::vector<TJsonValue>& items() const { return items_; }
  const std::vector<std::pair<std::string, TJsonValue>>& members() const { return members_; }
  // The member of that key, or nullptr.
  const TJsonValue* Find(std::string_view key) const;

 private:
  friend class TJsonParser;

  Kind kind_ = Kind::kNull;
  TJsonPosition position_;
  bool boolean_ = false;
  std::string text_;
  std::vector<TJsonValue> items_;
  std::vector<std::pair<std::string, TJsonValue>> members_;
};

// Reads a whole text (a leading UTF-8 byte-order mark is skipped); throws EJsonError.
TJsonValue ParseJson(std::string_view text);

}  // namespace kura_tools
