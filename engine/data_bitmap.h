// TDataBitmap: a growable set of bits addressed by number (record numbers, semaphore numbers,
// filter results). Setting a bit past the current size grows the set to cover it; testing or
// clearing past the end is a no-op that sees a clear bit. Memory is one bit per number up to the
// highest number ever set, so callers bound the numbers (records by MaximumNumRecords).
// Not thread-safe: each bitmap belongs to one owner, which serialises its use.
#pragma once

#include <cstdint>
#include <vector>

namespace kura {

class TDataBitmap {
 public:
  static constexpr uint32_t kNotFound = UINT32_MAX;

  explicit TDataBitmap(uint32_t initial_bits = 8192);

  void SetBit(uint32_t number);
  void ClearBit(uint32_t number);
  bool TestBit(uint32_t number) const;
  // The lowest set number >= from, or kNotFound.
  uint32_t FindNext(uint32_t from) const;
  // The highest set number <= from, or kNotFound.
  uint32_t FindPrior(uint32_t from) const;
  // The number of set bits.
  uint32_t Count() const { return count_; }
  // Clears every bit and shrinks back to the initial size.
  void Clear();
  // The numbers covered without growing: [0, Size()).
  uint64_t Size() const { return static_cast<uint64_t>(words_.size()) * 64; }

 private:
  std::vector<uint64_t> words_;
  uint32_t initial_words_;
  uint32_t count_ = 0;
};

}  // namespace kura
