#include "platform/file_mask.h"

#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "platform/ansi_text.h"
#include "platform/file_system.h"

namespace platform::internal {

namespace {

// The mask's tokens as the Windows file system reads them: a "*" before a "." may not eat the
// name's last period, a "?" also matches nothing at a period or at the end, and a "." before a
// wildcard or at the end also matches the end of the name ("*." lists names without extension,
// "name.*" also lists "name").
enum class Token { kLiteral, kStar, kDosStar, kDosQuestion, kDosDot };

struct MaskItem {
  Token token;
  UChar32 folded = 0;
};

std::vector<UChar32> CodePoints(std::string_view utf8) {
  std::vector<UChar32> out;
  int32_t i = 0;
  const auto length = static_cast<int32_t>(utf8.size());
  while (i < length) {
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, length, c);
    out.push_back(c < 0 ? 0xFFFD : c);
  }
  return out;
}

std::vector<MaskItem> Tokenize(const std::vector<UChar32>& mask) {
  std::vector<MaskItem> items;
  for (size_t i = 0; i < mask.size(); ++i) {
    const UChar32 c = mask[i];
    const bool has_next = i + 1 < mask.size();
    const UChar32 next = has_next ? mask[i + 1] : 0;
    if (c == '*') {
      items.push_back({next == '.' ? Token::kDosStar : Token::kStar});
    } else if (c == '?') {
      items.push_back({Token::kDosQuestion});
    } else if (c == '.' && (!has_next || next == '*' || next == '?')) {
      items.push_back({Token::kDosDot});
    } else {
      items.push_back({Token::kLiteral, u_foldCase(c, U_FOLD_CASE_DEFAULT)});
    }
  }
  return items;
}

}  // namespace

bool MatchesMaskUtf8(std::string_view name_utf8, std::string_view mask_utf8) {
  if (mask_utf8 == "*" || mask_utf8 == "*.*") return true;
  const std::vector<UChar32> name = CodePoints(name_utf8);
  const std::vector<MaskItem> mask = Tokenize(CodePoints(mask_utf8));
  const size_t n = name.size();
  const size_t m = mask.size();
  size_t last_dot = n;  // index of the name's last period, n when it has none
  for (size_t j = 0; j < n; ++j) {
    if (name[j] == '.') last_dot = j;
  }
  // below[j]: mask items i + 1.. match name characters j..; row[j] the same for items i.. .
  // Filled from the ends without backtracking, so any mask costs at most (m + 1) * (n + 1) steps.
  std::vector<char> below(n + 1, 0), row(n + 1, 0);
  below[n] = 1;
  for (size_t i = m; i-- > 0;) {
    const MaskItem& item = mask[i];
    for (size_t j = n + 1; j-- > 0;) {
      const bool at_end = j == n;
      bool result = false;
      switch (item.token) {
        case Token::kLiteral:
          result = !at_end && u_foldCase(name[j], U_FOLD_CASE_DEFAULT) == item.folded && below[j + 1];
          break;
        case Token::kStar:
          // Matches nothing here, or one more character and goes on matching.
          result = below[j] || (!at_end && row[j + 1]);
          break;
        case Token::kDosStar:
          result = below[j] || (!at_end && j != last_dot && row[j + 1]);
          break;
        case Token::kDosQuestion:
          result = (at_end || name[j] == '.') ? below[j] : below[j + 1];
          break;
        case Token::kDosDot:
          result = at_end ? below[j] : (name[j] == '.' && below[j + 1]);
          break;
      }
      row[j] = result ? 1 : 0;
    }
    below.swap(row);
  }
  return below[0] != 0;
}

}  // namespace platform::internal

namespace platform {

bool MatchesMask(const std::string& name, const std::string& mask) {
  return internal::MatchesMaskUtf8(AnsiToUtf8(name), AnsiToUtf8(mask));
}

}  // namespace platform
