#include "engine/data_bitmap.h"

#include <cstdint>
#include <random>
#include <set>

#include <gtest/gtest.h>

namespace {

using kura::TDataBitmap;

uint32_t ModelNext(const std::set<uint32_t>& model, uint32_t from) {
  auto it = model.lower_bound(from);
  return it == model.end() ? TDataBitmap::kNotFound : *it;
}

uint32_t ModelPrior(const std::set<uint32_t>& model, uint32_t from) {
  auto it = model.upper_bound(from);
  return it == model.begin() ? TDataBitmap::kNotFound : *std::prev(it);
}

// Random sets and clears against a std::set, with numbers around the word boundaries, the initial
// size and far past it, so that growth and the searches at the ends are exercised.
TEST(DataBitmapTest, AgreesWithASetModelUnderRandomOperations) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    const uint32_t kNumbers[] = {0, 1, 63, 64, 65, 127, 128, 8191, 8192, 8193, 100000, 1 << 20};
    auto pick = [&]() -> uint32_t {
      uint32_t base = kNumbers[random() % std::size(kNumbers)];
      return base + random() % 3;
    };
    TDataBitmap bitmap(128);
    std::set<uint32_t> model;
    for (int step = 0; step < 3000; ++step) {
      uint32_t n = pick();
      if (random() % 3 == 0) {
        bitmap.ClearBit(n);
        model.erase(n);
      } else {
        bitmap.SetBit(n);
        model.insert(n);
      }
      uint32_t probe = pick();
      ASSERT_EQ(bitmap.Count(), model.size()) << "seed " << seed << " step " << step;
      ASSERT_EQ(bitmap.TestBit(probe), model.count(probe) == 1) << "seed " << seed;
      ASSERT_EQ(bitmap.FindNext(probe), ModelNext(model, probe)) << "seed " << seed;
      ASSERT_EQ(bitmap.FindPrior(probe), ModelPrior(model, probe)) << "seed " << seed;
    }
  }
}

TEST(DataBitmapTest, GrowsToAFarNumberAndClearsBackToEmpty) {
  TDataBitmap bitmap;
  EXPECT_EQ(bitmap.Size(), 8192u);
  const uint32_t far = (1u << 26) + 5;
  bitmap.SetBit(far);
  EXPECT_TRUE(bitmap.TestBit(far));
  EXPECT_FALSE(bitmap.TestBit(UINT32_MAX));
  EXPECT_EQ(bitmap.FindNext(0), far);
  EXPECT_EQ(bitmap.FindPrior(UINT32_MAX), far);
  bitmap.Clear();
  EXPECT_EQ(bitmap.Count(), 0u);
  EXPECT_EQ(bitmap.Size(), 8192u);
  EXPECT_EQ(bitmap.FindNext(0), TDataBitmap::kNotFound);
  EXPECT_EQ(bitmap.FindPrior(UINT32_MAX), TDataBitmap::kNotFound);
}

}  // namespace
