// The visible slots of physical order: every slot without a filter, a filter's bits with one.
// Both forms must answer the walk's questions alike.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "engine/cursor/filter_bitmap.h"
#include "engine/data_bitmap.h"

namespace {

using kura::TFilterBitmap;

struct VisibleCase {
  const char* name;
  std::vector<int32_t> slots;  // ascending
  bool as_bits;
};

class FilterBitmapTest : public testing::TestWithParam<VisibleCase> {
 protected:
  TFilterBitmap Make() const {
    TFilterBitmap set;
    const std::vector<int32_t>& slots = GetParam().slots;
    if (GetParam().as_bits) {
      kura::TDataBitmap bits(64);
      for (int32_t s : slots) bits.SetBit(static_cast<uint32_t>(s));
      set.Assign(bits);
    } else {
      set.SetAll(static_cast<int32_t>(slots.size()));
    }
    return set;
  }
};

// Every question answered from the list of visible slots itself.
TEST_P(FilterBitmapTest, AnswersAsTheListOfVisibleSlots) {
  const TFilterBitmap set = Make();
  const std::vector<int32_t>& slots = GetParam().slots;
  const int32_t n = static_cast<int32_t>(slots.size());
  const int32_t last = slots.empty() ? 0 : slots.back();
  EXPECT_EQ(set.Count(), n);
  EXPECT_EQ(set.Last(), slots.empty() ? TFilterBitmap::kNotFound : last);
  for (int32_t slot = -1; slot <= last + 2; ++slot) {
    SCOPED_TRACE(slot);
    int32_t next = TFilterBitmap::kNotFound, prior = TFilterBitmap::kNotFound, rank = 0;
    for (int32_t i = 0; i < n; ++i) {
      if (slots[i] >= slot && next == TFilterBitmap::kNotFound) next = slots[i];
      if (slots[i] <= slot) prior = slots[i];
      if (slots[i] == slot) rank = i + 1;
    }
    EXPECT_EQ(set.Test(slot), rank != 0);
    EXPECT_EQ(set.FindNext(slot), next);
    EXPECT_EQ(set.FindPrior(slot), slot < 1 ? TFilterBitmap::kNotFound : prior);
    EXPECT_EQ(set.Rank(slot), rank);
    for (int32_t steps : {1, 2, 5}) {
      // From a visible slot, `steps` places further on either side.
      if (rank == 0) continue;
      const int32_t ahead = rank - 1 + steps, behind = rank - 1 - steps;
      EXPECT_EQ(set.Advance(slot, steps, true),
                ahead < n ? slots[ahead] : TFilterBitmap::kNotFound);
      EXPECT_EQ(set.Advance(slot, steps, false),
                behind >= 0 ? slots[behind] : TFilterBitmap::kNotFound);
    }
  }
  for (int32_t r = 0; r <= n + 1; ++r) {
    EXPECT_EQ(set.AtRank(r), r >= 1 && r <= n ? slots[r - 1] : TFilterBitmap::kNotFound);
  }
  // From before the first slot, the first steps forward reach the first slots.
  if (n > 0) {
    EXPECT_EQ(set.Advance(0, 1, true), slots[0]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sets, FilterBitmapTest,
    testing::Values(VisibleCase{"Empty", {}, false}, VisibleCase{"EverySlot", {1, 2, 3, 4, 5}, false},
                    VisibleCase{"EverySlotAsBits", {1, 2, 3, 4, 5}, true},
                    VisibleCase{"Gaps", {2, 3, 7, 8, 20, 64, 65, 200}, true},
                    VisibleCase{"EmptyBits", {}, true}),
    [](const testing::TestParamInfo<VisibleCase>& info) { return info.param.name; });

}  // namespace
