#include "engine/core/text_index_words.h"

#include <algorithm>

#include "platform/system_locale.h"

namespace kura {
namespace {

void AddWord(const AnsiString& word, size_t start, bool occurrences, TWordList* list) {
  if (!occurrences) {
    list->push_back({word, static_cast<uint32_t>(start)});
    return;
  }
  auto it = std::lower_bound(list->begin(), list->end(), word,
                             [](const TWordListEntry& e, const AnsiString& w) {
                               return platform::CompareTextUserDefault(e.word, w) < 0;
                             });
  if (it != list->end() && platform::CompareTextUserDefault(it->word, word) == 0) {
    if (it->value < kMaxWordOccurrences) ++it->value;
  } else {
    list->insert(it, {word, 1});
  }
}

}  // namespace

TTextIndexParams DefaultTextIndexParams() {
  TTextIndexParams params;
  params.stop_words = {"A",   "AN", "AND",  "BE",  "FOR",  "HOW",  "IN",   "IS",
                       "IT",  "OF", "ON",   "OR",  "THAT", "THE",  "THIS", "TO",
                       "WAS", "WHAT", "WHEN", "WHICH", "WHY", "WILL"};
  for (int c = 1; c <= 32; ++c) params.space_chars.set(c);
  for (unsigned char c : AnsiString("*+,-./:;<=>\\`")) params.space_chars.set(c);
  for (int c = 'A'; c <= 'Z'; ++c) params.include_chars.set(c);
  for (int c = 'a'; c <= 'z'; ++c) params.include_chars.set(c);
  for (int c = '0'; c <= '9'; ++c) params.include_chars.set(c);
  params.include_chars.set('_');
  for (int c = 128; c <= 254; ++c) params.include_chars.set(c);
  return params;
}

void SplitWords(const char* buffer, size_t size, const TCharSet& space_chars,
                const TCharSet& include_chars, bool occurrences, bool partial_words,
                const std::function<bool(const AnsiString&)>& include_word, TWordList* list) {
  list->clear();
  AnsiString word;
  size_t start = 0;
  auto finish_word = [&] {
    if (word.empty()) return;
    if (!include_word || include_word(word)) AddWord(word, start, occurrences, list);
    word.clear();
  };
  for (size_t i = 0; i < size; ++i) {
    unsigned char c = static_cast<unsigned char>(buffer[i]);
    bool wildcard = partial_words && c == '*';
    if (!space_chars.test(c) || wildcard) {
      if ((include_chars.test(c) || wildcard) && word.size() < kMaxWordListWordLength) {
        if (word.empty()) start = i;
        word += static_cast<char>(c);
      }
    } else {
      finish_word();
    }
  }
  finish_word();
}

}  // namespace kura
