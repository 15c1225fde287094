#include "engine/format/text_index_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kura {
namespace {

using Words = std::vector<AnsiString>;

// The rules a new table starts with.
TTextIndexWordRules DefaultRules() {
  TTextIndexWordRules r;
  r.stop_words = {"A",  "AN", "AND",  "BE",  "FOR", "HOW", "IN",   "IS",    "IT",  "OF",  "ON",
                  "OR", "THAT", "THE", "THIS", "TO", "WAS", "WHAT", "WHEN", "WHICH", "WHY", "WILL"};
  for (int c = 1; c <= 32; ++c) r.space_chars.set(c);
  for (int c = '*'; c <= '/'; ++c) r.space_chars.set(c);
  for (int c = ':'; c <= '>'; ++c) r.space_chars.set(c);
  r.space_chars.set('\\');
  r.space_chars.set('`');
  for (int c = 'A'; c <= 'Z'; ++c) r.include_chars.set(c);
  for (int c = 'a'; c <= 'z'; ++c) r.include_chars.set(c);
  for (int c = '0'; c <= '9'; ++c) r.include_chars.set(c);
  r.include_chars.set('_');
  for (int c = 128; c <= 254; ++c) r.include_chars.set(c);
  return r;
}

TEST(TextIndexSplitterTest, WordsOfTexts) {
  struct Case {
    const char* name;
    std::string text;
    Words words;
  };
  const Case cases[] = {
      {"stop words go, case variants count once", "the cat the CAT, and dogs", {"cat", "dogs"}},
      {"other bytes are skipped inside a word", "ab!c d\"e", {"abc", "de"}},
      {"separators of every kind", "x1*y2+z3:w4\\v5`u6", {"u6", "v5", "w4", "x1", "y2", "z3"}},
      {"words are cut at 61 characters", std::string(70, 'q') + " r", {std::string(61, 'q'), "r"}},
      {"high bytes belong to words", "\x8A\xBF\x8E\x9A zz", {"zz", "\x8A\xBF\x8E\x9A"}},
      {"nothing but separators", " ,;. ", {}},
      {"empty text", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitTextIndexWords(c.text, DefaultRules(), 0), c.words);
  }
}

TEST(TextIndexSplitterTest, WordFilterSeesEveryWordAndMayVetoIt) {
  Words seen;
  auto filter = [&seen](const AnsiString& w) {
    seen.push_back(w);
    return w != "skip";
  };
  EXPECT_EQ(SplitTextIndexWords("keep skip the keep", DefaultRules(), 0, filter), Words{"keep"});
  EXPECT_EQ(seen, (Words{"keep", "skip", "the", "keep"}));
}

}  // namespace
}  // namespace kura
