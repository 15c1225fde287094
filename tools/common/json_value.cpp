#include "tools/common/json_value.h"

#include <charconv>
#include <limits>

namespace kura_tools {

namespace {

constexpr int kMaxDepth = 64;

std::string PositionText(const TJsonPosition& p) {
  return "line " + std::to_string(p.line) + ", column " + std::to_string(p.column);
}

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace

EJsonError::EJsonError(const TJsonPosition& position, const std::string& what)
    : std::runtime_error(PositionText(position) + ": " + what), position_(position) {}

bool TJsonValue::AsInteger(int64_t* value) const {
  if (kind_ != Kind::kNumber) return false;
  if (text_.find_first_of(".eE") != std::string::npos) return false;
  int64_t v = 0;
  auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), v);
  if (error != std::errc() || end != text_.data() + text_.size()) return false;
  *value = v;
  return true;
}

const TJsonValue* TJsonValue::Find(std::string_view key) const {
  for (const auto& member : members_) {
    if (member.first == key) return &member.second;
  }
  return nullptr;
}

class TJsonParser {
 public:
  explicit TJsonParser(std::string_view text) : text_(text) {}

  TJsonValue Document() {
    SkipSpace();
    TJsonValue value = Value(0);
    SkipSpace();
    if (pos_ < text_.size()) Fail("unexpected text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw EJsonError(Here(), what); }

  TJsonPosition Here() const { return position_; }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Advance() {
    if (text_[pos_] == '\n') {
      ++position_.line;
      position_.column = 1;
    } else {
      ++position_.column;
    }
    ++pos_;
  }
  void Expect(char c, const char* what) {
    if (Peek() != c || AtEnd()) Fail(std::string("expected ") + what);
    Advance();
  }
  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      Advance();
    }
  }

  TJsonValue Value(int depth) {
    if (depth >= kMaxDepth) Fail("values nested too deeply");
    TJsonValue value;
    value.position_ = Here();
    if (AtEnd()) Fail("expected a value");
    char c = Peek();
    if (c == '{') {
      value.kind_ = TJsonValue::Kind::kObject;
      Object(depth, &value);
    } else if (c == '[') {
      value.kind_ = TJsonValue::Kind::kArray;
      Array(depth, &value);
    } else if (c == '"') {
      value.kind_ = TJsonValue::Kind::kString;
      value.text_ = String();
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      value.kind_ = TJsonValue::Kind::kNumber;
      value.text_ = Number();
    } else if (Word("true")) {
      value.kind_ = TJsonValue::Kind::kBoolean;
      value.boolean_ = true;
    } else if (Word("false")) {
      value.kind_ = TJsonValue::Kind::kBoolean;
    } else if (Word("null")) {
      value.kind_ = TJsonValue::Kind::kNull;
    } else {
      Fail("expected a value");
    }
    return value;
  }

  bool Word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    for (size_t i = 0; i < word.size(); ++i) Advance();
    return true;
  }

  void Object(int depth, TJsonValue* value) {
    Advance();  // {
    SkipSpace();
    if (Peek() == '}' && !AtEnd()) {
      Advance();
      return;
    }
    while (true) {
      SkipSpace();
      if (Peek() != '"' || AtEnd()) Fail("expected a key in quotes");
      TJsonPosition key_position = Here();
      std::string key = String();
      if (value->Find(key) != nullptr)
        throw EJsonError(key_position, "duplicate key \"" + key + "\"");
      SkipSpace();
      Expect(':', "\":\" after a key");
      SkipSpace();
      TJsonValue member = Value(depth + 1);
      value->members_.emplace_back(std::move(key), std::move(member));
      SkipSpace();
      if (Peek() == ',' && !AtEnd()) {
        Advance();
        continue;
      }
      Expect('}', "\",\" or \"}\"");
      return;
    }
  }

  void Array(int depth, TJsonValue* value) {
    Advance();  // [
    SkipSpace();
    if (Peek() == ']' && !AtEnd()) {
      Advance();
      return;
    }
    while (true) {
      SkipSpace();
      value->items_.push_back(Value(depth + 1));
      SkipSpace();
      if (Peek() == ',' && !AtEnd()) {
        Advance();
        continue;
      }
      Expect(']', "\",\" or \"]\"");
      return;
    }
  }

  std::string Number() {
    size_t start = pos_;
    if (Peek() == '-') Advance();
    if (Peek() == '0') {
      Advance();
      if (Peek() >= '0' && Peek() <= '9') Fail("a number may not start with 0");
    } else if (Peek() >= '1' && Peek() <= '9') {
      Digits();
    } else {
      Fail("expected a digit");
    }
    if (Peek() == '.') {
      Advance();
      if (!(Peek() >= '0' && Peek() <= '9')) Fail("expected a digit after \".\"");
      Digits();
    }
    if (Peek() == 'e' || Peek() == 'E') {
      Advance();
      if (Peek() == '+' || Peek() == '-') Advance();
      if (!(Peek() >= '0' && Peek() <= '9')) Fail("expected a digit in the exponent");
      Digits();
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  void Digits() {
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') Advance();
  }

  uint32_t Hex4() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = Peek();
      uint32_t d;
      if (c >= '0' && c <= '9') {
        d = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        d = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        d = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        Fail("expected four hexadecimal digits after \\u");
      }
      v = v * 16 + d;
      Advance();
    }
    return v;
  }

  // One UTF-8 character of the text, checked (no overlong forms, no surrogates).
  void Utf8Character(std::string* out) {
    const unsigned char lead = static_cast<unsigned char>(Peek());
    size_t length;
    uint32_t minimum;
    uint32_t code_point;
    if (lead < 0x80) {
      length = 1, minimum = 0, code_point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, minimum = 0x80, code_point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, minimum = 0x800, code_point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, minimum = 0x10000, code_point = lead & 0x07;
    } else {
      Fail("invalid UTF-8");
    }
    if (pos_ + length > text_.size()) Fail("invalid UTF-8");
    for (size_t i = 1; i < length; ++i) {
      unsigned char c = static_cast<unsigned char>(text_[pos_ + i]);
      if ((c & 0xC0) != 0x80) Fail("invalid UTF-8");
      code_point = (code_point << 6) | (c & 0x3F);
    }
    if (code_point < minimum || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      Fail("invalid UTF-8");
    }
    out->append(text_.substr(pos_, length));
    for (size_t i = 0; i < length; ++i) Advance();
  }

  std::string String() {
    Advance();  // "
    std::string out;
    while (true) {
      if (AtEnd()) Fail("unterminated string");
      char c = Peek();
      if (c == '"') {
        Advance();
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
      if (c != '\\') {
        Utf8Character(&out);
        continue;
      }
      Advance();
      if (AtEnd()) Fail("unterminated string");
      char e = Peek();
      Advance();
      switch (e) {
        case '"':
          out.push_back('"');
          break;
        case '\\':
          out.push_back('\\');
          break;
        case '/':
          out.push_back('/');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          uint32_t code_point = Hex4();
          if (code_point >= 0xDC00 && code_point <= 0xDFFF) Fail("lone low surrogate");
          if (code_point >= 0xD800 && code_point <= 0xDBFF) {
            if (!Word("\\u")) Fail("high surrogate without its low surrogate");
            uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("high surrogate without its low surrogate");
            code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(code_point, &out);
          break;
        }
        default:
          Fail("unknown escape");
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  TJsonPosition position_;
};

TJsonValue ParseJson(std::string_view text) {
  // A byte-order mark, as some editors write one, is not part of the text.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return TJsonParser(text).Document();
}

}  // namespace kura_tools
