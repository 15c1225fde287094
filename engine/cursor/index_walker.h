// TIndexWalker: reads one index's B+-tree for a cursor: descents from the root to a leaf and
// steps along the leaf chain.
//
// Every result is a place (TIndexPlace): a private copy of a leaf page, a slot in it and the
// rank of the slot's key in the whole index (its sequence number, 1-based, summed from the lower
// key counts of the entries left of the path; not meaningful for an index without key
// statistics). Pages are read through the table's shared cache and released before the call
// returns; a place never refers into the cache.
//
// A read that reports a foreign change (the table discarded its caches, see
// TBufferedFile::GetBuffer) ends the call with wrChanged: the caller resynchronises and starts
// its operation again. A place whose page no longer holds keys of a leaf (a copy older than the
// cache) is also answered with wrChanged. Damage found on the way (an empty or mistyped root, an
// empty page inside the tree, a child or sibling number outside the file, a descent deeper than
// 64 levels, a sibling whose keys do not follow in order) raises KURA_INDEXCORRUPT with the
// names given at construction, so that a damaged file can neither hang nor crash a walk.
//
// The walker borrows the table, the cursor and the key layout; it is built for one operation
// and used by the cursor's thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/error_context.h"
#include "engine/cursor/held_page.h"
#include "engine/format/index_page.h"

namespace kura {

class TDataCursor;
class TDataTable;
class TIndexKeyLayout;
class TPage;

enum TWalkResult : uint8_t {
  wrFound,    // the place holds the key asked for
  wrNone,     // there is no such key (the place is left as it was unless the call says otherwise)
  wrChanged,  // a read met a foreign change or a stale page: resynchronise and start again
};

struct TIndexPlace {
  std::unique_ptr<TPage> page;  // private copy of a leaf; null before the first descent
  int slot = 0;
  int32_t sequence = 0;

  bool Empty() const;
  const uint8_t* Key() const;        // the key at the slot, or nullptr
  int32_t RecordNumber() const;      // the record number at the slot, or 0
};

// Where a step may go: keys above `high` (forward) or below `low` (backward) stop it as if
// there were no further key. Null bounds do not limit.
struct TKeyBounds {
  const uint8_t* low = nullptr;
  const uint8_t* high = nullptr;
};

class TIndexWalker {
 public:
  TIndexWalker(TDataTable* table, TDataCursor* cursor, uint8_t index_pos,
               const TIndexKeyLayout& layout, uint16_t key_size, TErrorContext names);

  // The first or last key of the index. wrNone for an empty index.
  TWalkResult First(TIndexPlace* place);
  TWalkResult Last(TIndexPlace* place);

  // The first key not below `key` (whole keys). wrNone for an empty index. When every key is
  // below it, the place is the last key and *past_end is set. *exact when the key is present.
  TWalkResult LowerBound(const uint8_t* key, TIndexPlace* place, bool* exact, bool* past_end);
  // The last key not above `key`. wrNone when the index is empty or every key is above it.
  TWalkResult LastNotAbove(const uint8_t* key, TIndexPlace* place);

  // The key of rank `rank` by the lower key counts. wrNone when the rank is outside the index.
  TWalkResult AtRank(int32_t rank, TIndexPlace* place);

  // One key forward or back within `bounds`. wrNone (place unchanged) when there is no further
  // key or it lies outside the bounds.
  TWalkResult Next(TIndexPlace* place, const TKeyBounds& bounds);
  TWalkResult Prior(TIndexPlace* place, const TKeyBounds& bounds);

  // Rereads the place's page from the cache and takes its current contents; a slot past the
  // page's keys becomes the last slot. wrChanged when the read met a foreign change or the page
  // is no longer a leaf with keys.
  TWalkResult Reload(TIndexPlace* place);

  // Every key of the index (the root's total), 0 for an empty index.
  TWalkResult TotalKeys(int64_t* total);

  int Compare(const uint8_t* a, const uint8_t* b) const;

 private:
  enum TPick : uint8_t { pkFirst, pkLast, pkNotAbove, pkNotBelow, pkRank };
  struct TTarget {
    TPick pick;
    const uint8_t* key = nullptr;
    int64_t rank = 0;
  };

  TWalkResult Descend(TTarget target, TIndexPlace* place);
  // The entry of an internal page to descend into; for pkRank also reduces target->rank.
  int PickInternal(const TPage& page, TTarget* target) const;
  // The slot of the leaf: 1..n, or 0 (before the first) / n + 1 (after the last).
  int PickLeaf(const TPage& page, const TTarget& target) const;
  TWalkResult Fetch(int32_t page_number, THeldPage* held);
  TWalkResult FetchSibling(const TIndexPlace& place, bool forward, THeldPage* held);
  void CheckPageNumber(int32_t page_number) const;
  std::unique_ptr<TPage> NewPage() const;
  [[noreturn]] void RaiseCorrupt() const;

  TDataTable* table_;
  TDataCursor* cursor_;
  uint8_t index_pos_;
  const TIndexKeyLayout& layout_;
  uint16_t key_size_;
  TErrorContext names_;
};

}  // namespace kura
