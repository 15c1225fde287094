// Splitting texts into the words of a full-text index, and the default text-index parameters.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/ansi_string.h"

namespace kura {

// A set of byte values.
using TCharSet = std::bitset<256>;

// One word of a word list with its value: the byte position where it started (0-based), or,
// in occurrences mode, the number of times it occurred.
struct TWordListEntry {
  AnsiString word;
  uint32_t value = 0;

  friend bool operator==(const TWordListEntry&, const TWordListEntry&) = default;
};
using TWordList = std::vector<TWordListEntry>;

// Words are cut to this many characters.
inline constexpr size_t kMaxWordListWordLength = 60;
// Occurrence counts stop at this value.
inline constexpr uint32_t kMaxWordOccurrences = 65535;

struct TTextIndexParams {
  std::vector<AnsiString> stop_words;
  TCharSet space_chars;
  TCharSet include_chars;
};

// The parameters of a new full-text index: 22 English stop words; spaces: bytes 1..32 and
// * + , - . / : ; < = > \ and the backquote; include: A-Z, a-z, 0-9, _ and bytes 128..254.
TTextIndexParams DefaultTextIndexParams();

// Splits `size` bytes of `buffer` into words. A byte that is in `space_chars` (except "*" when
// `partial_words` is set, which then belongs to words) ends the current word; other bytes are
// appended while the word has fewer than 60 characters if they are in `include_chars`, and are
// dropped otherwise. Each finished non-empty word is offered to `include_word` (none: include).
// Without `occurrences` the list holds the words in text order with their start positions; with
// it, each distinct word once (ordered and compared by the user's locale without regard to case,
// keeping the first spelling) with its count.
void SplitWords(const char* buffer, size_t size, const TCharSet& space_chars,
                const TCharSet& include_chars, bool occurrences, bool partial_words,
                const std::function<bool(const AnsiString&)>& include_word, TWordList* list);

}  // namespace kura
