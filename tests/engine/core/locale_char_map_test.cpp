#include "engine/core/locale_char_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "engine/core/data_engine.h"
#include "platform/system_locale.h"

namespace kura {
namespace {

TEST(LocaleCharMapTest, AnsiStandardIsTheIdentity) {
  TLocaleCharMap map(0);
  EXPECT_FALSE(map.Built());
  const TLocaleCharMapArray& m = map.GetCharMap();
  EXPECT_TRUE(map.Built());
  for (int i = 0; i < 256; ++i) EXPECT_EQ(m[i], i);
}

// Entries 31..255 are a permutation of 31..255 in the collation's order; 0..30 stay.
TEST(LocaleCharMapTest, LocaleMapSortsTheCharactersByCollation) {
  constexpr int32_t kEnglishUS = 0x0409;
  TLocaleCharMap map(kEnglishUS);
  const TLocaleCharMapArray& m = map.GetCharMap();
  for (int i = 0; i <= 30; ++i) EXPECT_EQ(m[i], i);
  std::vector<int> rest(m.begin() + 31, m.end());
  std::vector<int> sorted = rest;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 225; ++i) ASSERT_EQ(sorted[i], 31 + i);
  for (int i = 31; i < 255; ++i) {
    char a = static_cast<char>(m[i]), b = static_cast<char>(m[i + 1]);
    EXPECT_NE(platform::CompareStringLocale(kEnglishUS, 0x1002, &a, 1, &b, 1),
              platform::kCompareGreaterThan)
        << i;
  }
  // Letters of both cases sort together, unlike the byte order.
  auto position = [&m](char c) {
    return std::find(m.begin(), m.end(), static_cast<uint8_t>(c)) - m.begin();
  };
  EXPECT_LT(position('a'), position('B'));
}

TEST(LocaleCharMapTest, ConcurrentFirstUseBuildsOneMap) {
  TLocaleCharMap map(0x0409);
  std::vector<std::thread> threads;
  std::vector<TLocaleCharMapArray> seen(4);
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&map, &seen, i] { seen[i] = map.GetCharMap(); });
  }
  for (std::thread& t : threads) t.join();
  for (const TLocaleCharMapArray& s : seen) EXPECT_EQ(s, map.GetCharMap());
}

// The engine's locales carry their maps; an unknown identifier gets the "ANSI Standard" one.
TEST(LocaleCharMapTest, EngineLocalesHoldTheirMaps) {
  TDataEngine engine;
  engine.Initialize("kura.lck");
  TDataLocale* unknown = engine.GetLocaleCharMap(0x7FFF);
  EXPECT_EQ(unknown->ID(), 0);
  EXPECT_FALSE(unknown->CharMapBuilt());
  EXPECT_EQ(unknown->GetCharMap()['a'], 'a');
  EXPECT_TRUE(unknown->CharMapBuilt());
}

}  // namespace
}  // namespace kura
