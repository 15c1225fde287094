#include "engine/format/text_index_splitter.h"

#include <algorithm>

#include "engine/format/locale_text.h"

namespace kura {

std::vector<AnsiString> SplitTextIndexWords(
    std::string_view text, const TTextIndexParams& rules, int32_t locale_id,
    const std::function<bool(const AnsiString&)>& word_filter) {
  std::vector<AnsiString> words;
  AnsiString word;
  auto finish = [&] {
    if (!word.empty() && (!word_filter || word_filter(word))) words.push_back(word);
    word.clear();
  };
  for (char ch : text) {
    uint8_t c = static_cast<uint8_t>(ch);
    if (rules.space_chars.test(c)) {
      finish();
    } else if (rules.include_chars.test(c) && word.size() < kMaxTextIndexWordLength) {
      word.push_back(ch);
    }
  }
  finish();

  auto less = [locale_id](const AnsiString& a, const AnsiString& b) {
    return CompareLocaleStrings(locale_id, a, b, true, 0) < 0;
  };
  std::stable_sort(words.begin(), words.end(), less);
  auto same = [&less](const AnsiString& a, const AnsiString& b) {
    return !less(a, b) && !less(b, a);
  };
  words.erase(std::unique(words.begin(), words.end(), same), words.end());

  std::vector<AnsiString> stop_words = rules.stop_words;
  std::sort(stop_words.begin(), stop_words.end(), less);
  std::erase_if(words, [&](const AnsiString& w) {
    return std::binary_search(stop_words.begin(), stop_words.end(), w, less);
  });
  return words;
}

}  // namespace kura
