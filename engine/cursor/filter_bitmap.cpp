#include "engine/cursor/filter_bitmap.h"

#include <algorithm>
#include <climits>

namespace kura {

namespace {

int32_t FromBit(uint32_t bit) {
  return bit == TDataBitmap::kNotFound || bit > INT32_MAX ? TFilterBitmap::kNotFound
                                                          : static_cast<int32_t>(bit);
}

}  // namespace

void TFilterBitmap::SetAll(int32_t slot_count) {
  all_ = std::max(slot_count, 0);
  bits_.reset();
}

void TFilterBitmap::Assign(const TDataBitmap& bits) { bits_ = bits; }

bool TFilterBitmap::Test(int32_t slot) const {
  if (slot < 1) return false;
  return bits_ ? bits_->TestBit(static_cast<uint32_t>(slot)) : slot <= all_;
}

int32_t TFilterBitmap::Count() const {
  return bits_ ? static_cast<int32_t>(bits_->Count()) : all_;
}

int32_t TFilterBitmap::FindNext(int32_t from) const {
  from = std::max(from, 1);
  if (bits_) return FromBit(bits_->FindNext(static_cast<uint32_t>(from)));
  return from <= all_ ? from : kNotFound;
}

int32_t TFilterBitmap::FindPrior(int32_t from) const {
  if (from < 1) return kNotFound;
  if (bits_) {
    int32_t found = FromBit(bits_->FindPrior(static_cast<uint32_t>(from)));
    return found >= 1 ? found : kNotFound;
  }
  return all_ == 0 ? kNotFound : std::min(from, all_);
}

int32_t TFilterBitmap::Advance(int32_t from, int32_t n, bool forward) const {
  if (n < 1) return from;
  if (!bits_) {
    int64_t target = forward ? static_cast<int64_t>(std::max(from, 0)) + n
                             : static_cast<int64_t>(std::min(from, all_ + 1)) - n;
    return target >= 1 && target <= all_ ? static_cast<int32_t>(target) : kNotFound;
  }
  int32_t slot = from;
  for (int32_t i = 0; i < n; ++i) {
    if (forward) {
      if (slot == INT32_MAX) return kNotFound;
      slot = FindNext(std::max(slot, 0) + 1);
    } else {
      slot = FindPrior(slot - 1);
    }
    if (slot == kNotFound) return kNotFound;
  }
  return slot;
}

int32_t TFilterBitmap::Rank(int32_t slot) const {
  if (!Test(slot)) return 0;
  if (!bits_) return slot;
  int32_t rank = 0;
  for (int32_t s = FindNext(1); s != kNotFound && s <= slot; s = FindNext(s + 1)) ++rank;
  return rank;
}

int32_t TFilterBitmap::AtRank(int32_t rank) const {
  if (rank < 1) return kNotFound;
  if (!bits_) return rank <= all_ ? rank : kNotFound;
  return Advance(0, rank, true);
}

int32_t TFilterBitmap::Last() const { return FindPrior(bits_ ? INT32_MAX : all_); }

}  // namespace kura
