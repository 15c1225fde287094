#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"
#include "engine/core/text_index_words.h"

namespace {

using kura::TWordList;

class WordListTest : public testing::Test {
 protected:
  TWordList Build(const std::string& text, bool occurrences = false, bool partial = false) {
    TWordList list = {{"stale", 9}};
    engine_.BuildWordList("T", "F", text.data(), text.size(), &list, params_.space_chars,
                          params_.include_chars, occurrences, partial);
    return list;
  }

  kura::TDataEngine engine_;
  kura::TTextIndexParams params_ = kura::TDataEngine::GetDefaultTextIndexParams();
};

TEST_F(WordListTest, SplitsAtSpacesAndKeepsTextOrderWithStartPositions) {
  struct Case {
    const char* text;
    TWordList words;
  };
  const Case kCases[] = {
      {"Apple, banana cherry  date", {{"Apple", 0}, {"banana", 7}, {"cherry", 14}, {"date", 22}}},
      // Stop words are the caller's business.
      {"the cat and THE dog", {{"the", 0}, {"cat", 4}, {"and", 8}, {"THE", 12}, {"dog", 16}}},
      // Bytes outside both sets are dropped; a word starts at its first kept byte.
      {"ab#cd @x", {{"abcd", 0}, {"x", 7}}},
      {"x-y/z\\w`v", {{"x", 0}, {"y", 2}, {"z", 4}, {"w", 6}, {"v", 8}}},
      {"", {}},
      {" ,;", {}},
  };
  for (const auto& c : kCases) EXPECT_EQ(Build(c.text), c.words) << '"' << c.text << '"';
}

TEST_F(WordListTest, WordsStopAtSixtyCharacters) {
  TWordList list = Build(std::string(70, 'a') + " b");
  EXPECT_EQ(list, (TWordList{{std::string(60, 'a'), 0}, {"b", 71}}));
}

TEST_F(WordListTest, PartialWordsKeepTheirWildcard) {
  EXPECT_EQ(Build("data* base", false, true), (TWordList{{"data*", 0}, {"base", 6}}));
  EXPECT_EQ(Build("data* base", false, false), (TWordList{{"data", 0}, {"base", 6}}));
}

TEST_F(WordListTest, OccurrencesCountEachWordOnceInOrder) {
  EXPECT_EQ(Build("b a b A c b", true), (TWordList{{"a", 2}, {"b", 3}, {"c", 1}}));
  std::string many;
  for (int i = 0; i < 70000; ++i) many += "x ";
  EXPECT_EQ(Build(many, true), (TWordList{{"x", 65535}}));
}

TEST_F(WordListTest, TheTokenHookDecidesAndAFailingHookIncludes) {
  engine_.SetTextIndexTokenFilterHook(
      [](const std::string& table, const std::string& field, const std::string& token) {
        if (token == "boom") throw std::runtime_error("hook failure");
        return table == "T" && field == "F" && token[0] != 'x';
      });
  EXPECT_EQ(Build("xray yes boom"), (TWordList{{"yes", 5}, {"boom", 9}}));
}

TEST_F(WordListTest, TheTextFilterHookRewritesAndAFailingHookPassesThrough) {
  EXPECT_EQ(engine_.TextIndexFilter("T", "F", "plain"), "plain");
  engine_.SetTextIndexFilterHook([](const std::string&, const std::string&, const std::string& t) {
    if (t.empty()) throw std::runtime_error("hook failure");
    return t + "!";
  });
  EXPECT_EQ(engine_.TextIndexFilter("T", "F", "plain"), "plain!");
  EXPECT_EQ(engine_.TextIndexFilter("T", "F", ""), "");
}

TEST_F(WordListTest, DefaultParameters) {
  EXPECT_EQ(params_.stop_words,
            (std::vector<std::string>{"A", "AN", "AND", "BE", "FOR", "HOW", "IN", "IS",
                                      "IT", "OF", "ON", "OR", "THAT", "THE", "THIS", "TO",
                                      "WAS", "WHAT", "WHEN", "WHICH", "WHY", "WILL"}));
  std::string spaces, includes;
  for (int c = 0; c < 256; ++c) {
    if (params_.space_chars.test(c)) spaces += static_cast<char>(c);
    if (params_.include_chars.test(c)) includes += static_cast<char>(c);
  }
  std::string expected_spaces;
  for (int c = 1; c <= 32; ++c) expected_spaces += static_cast<char>(c);
  expected_spaces += "*+,-./:;<=>\\`";
  EXPECT_EQ(spaces, expected_spaces);
  std::string expected_includes = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
  for (int c = 128; c <= 254; ++c) expected_includes += static_cast<char>(c);
  EXPECT_EQ(includes, expected_includes);
}

}  // namespace
