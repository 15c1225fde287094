// The contents of one index page in memory, and their exact on-disk packing. `TPage`, the
// cache's buffer for a page, holds one of these.
//
// A page is a 13-byte header (type, key count, left and right neighbours, compressed size) and a
// data area of BufferSize = IndexPageSize - 13 bytes. In memory a B-tree page is an array of
// entries of KeySize + 10 bytes: the full key, the Int32 page or record number, the Int32 subtree
// key count, and the D and T bytes of key compression. On disk the entries are packed one after
// another from the start of the data area:
//   internal (types 0, 1)      key, child page number [, subtree key count unless NoKeyStatistics]
//   external (types 2, 3)      key, record slot number                 (no compression)
//                              D, bytes D.., record number             (duplicate-byte)
//                              T, bytes ..KeySize-T-1, record number   (trailing-byte)
//                              D, T, bytes D..KeySize-T-1, record number (both)
// D is the length of the prefix shared with the previous entry (0 for the first, at most 254), T
// the number of zero bytes that end the key (at most 254); in a non-unique index T counts from
// just before the 4-byte record-ID suffix, which is always stored, unless fewer than 5 bytes
// follow the shared prefix. A type-4 page (text-index parameters) keeps its raw data area.
//
// The page keeps D, T and CompressedSize right itself: every insertion, replacement or deletion
// of a key on an external page of a compressed index recomputes the entries whose neighbours
// changed and adjusts CompressedSize by the change of their sizes, so that CompressedSize is
// always the sum of the entry sizes. Internal pages and uncompressed indexes keep it 0.
//
// Plain data: one thread at a time. Key counters are 1-based, as in the B-tree code; a counter
// outside 1..NumberOfKeys reads as 0 and is ignored by the setters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/format/index_definition.h"

namespace kura {

constexpr size_t kPageHeaderSize = 13;
constexpr uint8_t kMaxCompressionCount = 254;  // the largest D or T a writer stores

// `PageType`.
constexpr uint8_t ptRoot = 0;
constexpr uint8_t ptInternal = 1;
constexpr uint8_t ptExternal = 2;
constexpr uint8_t ptRootExternal = 3;
constexpr uint8_t ptParameter = 4;

namespace page_header_offsets {
constexpr size_t kPageType = 0;
constexpr size_t kNumberOfKeys = 1;
constexpr size_t kLeftNumber = 3;
constexpr size_t kRightNumber = 7;
constexpr size_t kCompressedSize = 11;
}  // namespace page_header_offsets

// The index parameters that a page packs and unpacks with.
struct TPageParameters {
  uint16_t KeySize = 0;
  bool KeyUnique = false;
  uint8_t KeyCompressionType = icNone;
  bool NoKeyStatistics = false;
};

TPageParameters PageParametersOf(const TIndexDefinition& definition);

class TPageContents {
 public:
  // `buffer_size` is the page's data area, IndexPageSize - 13.
  explicit TPageContents(size_t buffer_size);

  // Zeroes the header and the entries and takes the index parameters.
  void Initialize(const TPageParameters& parameters);

  // Unpacks a raw page of 13 + BufferSize bytes with the current parameters. Returns false, and
  // leaves the page empty, when the bytes cannot be a page of this index: an unknown type, a key
  // count whose entries do not fit the data area, a D or T beyond the key (or D + T beyond it, or
  // leaving no room for the suffix it implies), keys in a page of an index without keys.
  bool Unpack(const uint8_t* raw);
  // Packs into a raw page of 13 + BufferSize bytes. A B-tree page without keys writes only its
  // header; the rest of `raw` is left as it was. Returns false (writing only the header) when the
  // entries do not fit the data area, which the B-tree code never lets happen.
  bool Pack(uint8_t* raw) const;

  size_t BufferSize() const { return buffer_size_; }
  const TPageParameters& Parameters() const { return parameters_; }
  uint16_t KeySize() const { return parameters_.KeySize; }
  bool KeyUnique() const { return parameters_.KeyUnique; }
  uint8_t KeyCompressionType() const { return parameters_.KeyCompressionType; }
  bool NoKeyStatistics() const { return parameters_.NoKeyStatistics; }

  uint8_t PageType() const { return page_type_; }
  void SetPageType(uint8_t value);
  int NumberOfKeys() const { return static_cast<int>(count_); }
  int32_t LeftNumber() const { return left_number_; }
  void SetLeftNumber(int32_t value);
  int32_t RightNumber() const { return right_number_; }
  void SetRightNumber(int32_t value);
  uint32_t CompressedSize() const { return compressed_size_; }

  bool IsExternal() const { return page_type_ == ptExternal || page_type_ == ptRootExternal; }
  bool IsInternal() const { return page_type_ == ptRoot || page_type_ == ptInternal; }

  // The key of entry `key_counter` (KeySize bytes), or nullptr outside 1..NumberOfKeys.
  const uint8_t* GetKey(int key_counter) const;
  // Inserts a new entry holding `key` (number and count 0) after entry *key_counter (0 = before
  // the first; a counter past the end appends) and sets *key_counter to the new entry.
  void InsertKey(const uint8_t* key, int* key_counter);
  // Replaces the key bytes of an entry.
  void UpdateKey(const uint8_t* key, int key_counter);
  // Removes an entry; *key_counter then names the entry that took its place, or the new last.
  void DeleteKey(int* key_counter);
  // Removes every entry; type and neighbours stay.
  void ClearKeys();

  int32_t GetRecordNumber(int key_counter) const;
  void SetRecordNumber(int key_counter, int32_t value);

  // Subtree key counts: an external page answers 1 per entry and ignores the setters, as do
  // internal pages of an index without statistics.
  int32_t GetLowerKeyCount(int key_counter) const;
  void SetLowerKeyCount(int key_counter, int32_t value);
  void IncLowerKeyCount(int key_counter);
  void DecLowerKeyCount(int key_counter);
  // External page: NumberOfKeys; internal page: the sum of the entries' counts.
  int64_t TotalLowerKeyCount() const;
  // Keys that precede entry `key_counter` in this page's subtree.
  int64_t GetPageKeyCount(int key_counter) const;

  // The D and T bytes of an entry (0 for pages without compression).
  uint8_t GetDuplicateCount(int key_counter) const;
  uint8_t GetTrailingCount(int key_counter) const;
  // Bytes the entry occupies in the packed data area.
  uint32_t EntrySize(int key_counter) const;

  // Capacity by entry size: internal BufferSize div (KeySize + 8), or + 4 without statistics;
  // external BufferSize div (KeySize + 4), also for a compressed index; 0 for a type-4 page.
  int MaximumKeys() const;
  // True when the page holds more than it can pack: more than MaximumKeys entries, or, on an
  // external page of a compressed index, a CompressedSize beyond BufferSize.
  bool PageDataOverflowed() const;

  // The raw data area of a type-4 page; AllocateBuffer gives it BufferSize zero bytes.
  void AllocateBuffer();
  uint8_t* RawData() { return raw_.data(); }
  const uint8_t* RawData() const { return raw_.data(); }
  size_t RawSize() const { return raw_.size(); }

 private:
  size_t EntryStride() const { return static_cast<size_t>(parameters_.KeySize) + 10; }
  uint8_t* Entry(int key_counter);
  const uint8_t* Entry(int key_counter) const;
  bool Valid(int key_counter) const { return key_counter >= 1 && key_counter <= NumberOfKeys(); }
  bool Compressed() const { return IsExternal() && parameters_.KeyCompressionType != icNone; }
  // Sets D and T of an entry from its key and the previous one and returns its new size.
  uint32_t RecomputeEntry(int key_counter);
  void RecomputeAround(int first, int last);
  void RecalculateCompression();
  void Clear();

  size_t buffer_size_;
  TPageParameters parameters_;
  uint8_t page_type_ = ptRoot;
  uint32_t count_ = 0;
  int32_t left_number_ = 0;
  int32_t right_number_ = 0;
  uint32_t compressed_size_ = 0;
  std::vector<uint8_t> entries_;  // count_ entries of KeySize + 10 bytes
  std::vector<uint8_t> raw_;      // the data area of a type-4 page
};

}  // namespace kura
