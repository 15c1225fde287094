#include "engine/format/text_index_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/format/index_key.h"

namespace kura {
namespace {

using Words = std::vector<AnsiString>;

TTextIndexParams DefaultRules() { return DefaultTextIndexParams(); }

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

// The words of a record go into the index upper-cased.
TEST(TextIndexSplitterTest, IndexedWordsAreUpperCased) {
  std::vector<std::string> keyed;
  for (const AnsiString& word : SplitTextIndexWords("the cat the CAT, and dogs", DefaultRules(), 0)) {
    uint8_t key[kTextIndexKeySize];
    BuildTextIndexKey(1, word, 1, 0, key);
    keyed.emplace_back(reinterpret_cast<const char*>(key + kTextKeyWordOffset));
  }
  EXPECT_EQ(keyed, (std::vector<std::string>{"CAT", "DOGS"}));
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
