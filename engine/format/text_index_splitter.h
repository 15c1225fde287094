// The words of a text as the text index keeps them.
//
// A byte of the space set ends the current word (empty words are dropped); a byte of the include
// set is appended while the word has fewer than 61 characters (further ones are dropped); any
// other byte is skipped; the end of the text ends the last word. Each finished word must pass the
// word filter. Of the words, each is kept once and stop words are dropped, both compared by the
// table's collation without regard to case. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/text_index_words.h"

namespace kura {

constexpr size_t kMaxTextIndexWordLength = 61;

// Returns the distinct words in collation order, each in the spelling of its first occurrence.
// `word_filter` (may be empty: accept all) sees every finished word before the duplicate and
// stop-word tests.
std::vector<AnsiString> SplitTextIndexWords(
    std::string_view text, const TTextIndexParams& rules, int32_t locale_id,
    const std::function<bool(const AnsiString&)>& word_filter = {});

}  // namespace kura
