#include "engine/data_bitmap.h"

#include <algorithm>
#include <bit>

namespace kura {
namespace {

uint32_t WordsFor(uint64_t bits) { return static_cast<uint32_t>((bits + 63) / 64); }

}  // namespace

TDataBitmap::TDataBitmap(uint32_t initial_bits)
    : words_(WordsFor(initial_bits == 0 ? 1 : initial_bits)),
      initial_words_(static_cast<uint32_t>(words_.size())) {}

void TDataBitmap::SetBit(uint32_t number) {
  uint32_t word = number / 64;
  if (word >= words_.size()) {
    // Grow geometrically so that setting ascending numbers one by one stays linear.
    size_t wanted = static_cast<size_t>(word) + 1;
    size_t doubled = words_.size() * 2;
    size_t limit = static_cast<size_t>(WordsFor(uint64_t{UINT32_MAX} + 1));
    words_.resize(std::min(std::max(wanted, doubled), limit), 0);
  }
  uint64_t mask = uint64_t{1} << (number % 64);
  if ((words_[word] & mask) == 0) {
    words_[word] |= mask;
    ++count_;
  }
}

void TDataBitmap::ClearBit(uint32_t number) {
  uint32_t word = number / 64;
  if (word >= words_.size()) return;
  uint64_t mask = uint64_t{1} << (number % 64);
  if ((words_[word] & mask) != 0) {
    words_[word] &= ~mask;
    --count_;
  }
}

bool TDataBitmap::TestBit(uint32_t number) const {
  uint32_t word = number / 64;
  return word < words_.size() && (words_[word] & (uint64_t{1} << (number % 64))) != 0;
}

uint32_t TDataBitmap::FindNext(uint32_t from) const {
  size_t word = from / 64;
  if (word >= words_.size()) return kNotFound;
  uint64_t bits = words_[word] & (~uint64_t{0} << (from % 64));
  while (true) {
    if (bits != 0) return static_cast<uint32_t>(word * 64 + std::countr_zero(bits));
    if (++word >= words_.size()) return kNotFound;
    bits = words_[word];
  }
}

uint32_t TDataBitmap::FindPrior(uint32_t from) const {
  if (words_.empty()) return kNotFound;
  size_t word = from / 64;
  uint64_t bits;
  if (word >= words_.size()) {
    word = words_.size() - 1;
    bits = words_[word];
  } else {
    int keep = static_cast<int>(from % 64);  // bits 0..keep stay
    bits = words_[word] & (keep == 63 ? ~uint64_t{0} : ((uint64_t{1} << (keep + 1)) - 1));
  }
  while (true) {
    if (bits != 0) return static_cast<uint32_t>(word * 64 + 63 - std::countl_zero(bits));
    if (word == 0) return kNotFound;
    bits = words_[--word];
  }
}

void TDataBitmap::Clear() {
  words_.assign(initial_words_, 0);
  count_ = 0;
}

}  // namespace kura
