// TFilterBitmap: the record slots a cursor may stand on while filters are in effect, one bit
// per physical record number.
//
// Physical navigation (no index) always runs through this set. Without a filter every slot of
// the data file is in it, deleted slots included, and the set is kept as that count rather
// than as bits, so that a table of millions of slots costs nothing to refresh. A filter (the
// expression subsystem, which plugs in here) hands over the bits of the records it lets
// through with Assign; from then on the set answers from those bits.
//
// Plain data; the owning cursor's thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/data_bitmap.h"

namespace kura {

class TFilterBitmap {
 public:
  static constexpr int32_t kNotFound = 0;

  // Every slot 1..slot_count, and nothing else.
  void SetAll(int32_t slot_count);
  // The slots a filter accepted.
  void Assign(const TDataBitmap& bits);
  void Clear() { SetAll(0); }

  bool Test(int32_t slot) const;
  int32_t Count() const;
  // The lowest slot >= from, or the highest slot <= from; kNotFound when there is none.
  int32_t FindNext(int32_t from) const;
  int32_t FindPrior(int32_t from) const;
  // The slot `n` places (n >= 1) after `from` (exclusive) forward, or before it backward.
  int32_t Advance(int32_t from, int32_t n, bool forward) const;
  // The 1-based place of a slot among the set's slots (0 when it is not in the set).
  int32_t Rank(int32_t slot) const;
  // The slot with that place, or kNotFound.
  int32_t AtRank(int32_t rank) const;
  int32_t Last() const;

 private:
  int32_t all_ = 0;                 // used while no filter assigned bits
  std::optional<TDataBitmap> bits_;  // a filter's result
};

}  // namespace kura
