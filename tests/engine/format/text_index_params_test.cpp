#include "engine/format/text_index_params.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/byte_order.h"

namespace kura {
namespace {

using Areas = std::vector<std::vector<uint8_t>>;

const uint8_t* AreaOf(const Areas& areas, size_t i) {
  return i < areas.size() ? areas[i].data() : nullptr;
}

// With 40-byte areas the word's bytes, the first set and the second set each move on to a
// fresh page: no item is ever split.
TEST(TextIndexParamsTest, ItemsThatDoNotFitStartTheNextPage) {
  TTextIndexParams params;
  params.stop_words = {"ABCDEFGHIJ"};
  params.space_chars.set(' ');
  params.space_chars.set(255);
  params.include_chars.set('A');
  Areas areas;
  ASSERT_TRUE(PackTextIndexParams(params, 40, &areas));
  ASSERT_EQ(areas.size(), 3u);
  EXPECT_EQ(GetI32(areas[0].data()), 1);
  EXPECT_EQ(GetI32(areas[0].data() + 4), 10);
  EXPECT_EQ(std::string(areas[0].begin() + 8, areas[0].begin() + 18), "ABCDEFGHIJ");
  EXPECT_EQ(GetI32(areas[0].data() + 18), 32);
  EXPECT_EQ(areas[1][' ' / 8], 1u << (' ' % 8));
  EXPECT_EQ(areas[1][31], 0x80);
  EXPECT_EQ(GetI32(areas[1].data() + 32), 32);
  EXPECT_EQ(areas[2]['A' / 8], 1u << ('A' % 8));

  TTextIndexParams read;
  ASSERT_TRUE(UnpackTextIndexParams(40, [&](size_t i) { return AreaOf(areas, i); }, &read));
  EXPECT_EQ(read.stop_words, params.stop_words);
  EXPECT_EQ(read.space_chars, params.space_chars);
  EXPECT_EQ(read.include_chars, params.include_chars);
}

TEST(TextIndexParamsTest, RefusedStreams) {
  TTextIndexParams too_long;
  too_long.stop_words = {std::string(41, 'x')};
  Areas areas;
  EXPECT_FALSE(PackTextIndexParams(too_long, 40, &areas));

  TTextIndexParams defaults = DefaultTextIndexParams();
  ASSERT_TRUE(PackTextIndexParams(defaults, 1011, &areas));
  ASSERT_EQ(areas.size(), 1u);
  struct Case {
    const char* name;
    size_t offset;
    int32_t value;
  };
  const Case cases[] = {
      {"negative count", 0, -5},
      {"word longer than a page", 4, 1012},
      {"more words than the chain holds", 0, 1000},
      {"set length other than 32", 4 + 22 * 4 + 62, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Areas bad = areas;
    PutI32(bad[0].data() + c.offset, c.value);
    TTextIndexParams read;
    EXPECT_FALSE(UnpackTextIndexParams(1011, [&](size_t i) { return AreaOf(bad, i); }, &read));
  }
}

}  // namespace
}  // namespace kura
