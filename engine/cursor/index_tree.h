// TIndexTree: the upkeep of one index B+-tree of a table: the exact-key lookup, insertion with
// page splits and root growth, deletion with redistribution, merging and root collapse, the
// lower key counts, and the free-page chain.
//
// The tree is a view, built per call by its owner (the cursor) over three borrowed things that
// must outlive it: the shared table whose index file holds the pages, a description of the active
// index (TIndexTreeIndex), and the descent path (TIndexDescentPath), which is the cursor's own
// state: for each level L (root = 1, at most 64) the slot chosen in the page at that level and
// the number of that page's parent (0 for the root). Each insert or delete clears the path and
// fills it on its way down; splits and underflow repairs walk back up through it.
//
// Shape of every tree it writes (and expects):
//   1. every leaf on one level; entries of each page in ascending key order;
//   2. the key of an internal entry is the first key of its child's subtree;
//   3. the lower key count of an internal entry is the number of leaf entries below it (not
//      kept when the index has NoKeyStatistics);
//   4. each level is a doubly linked list in key order (LeftNumber/RightNumber, 0 at the ends);
//   5. the root has type 0 or 3; an empty index has root 0;
//   6. no two keys are equal (non-unique keys end in the record ID).
// An internal page other than the root that drops below MaximumKeys div 2 entries is merged into
// a sibling under the same parent or refilled from it; a leaf is only removed when empty. With
// keys so long that an internal page holds three entries or fewer, a page can be the only child
// of its parent: an empty one is then unlinked and removed like an empty leaf (its parent loses
// the entry, and so on up), a non-empty one is left as it is.
//
// Pages are fetched and released through the table's page cache; every fetched page is released
// on every path, exceptions included. Changes are made to cached pages and reach the file at the
// table's next flush; an error leaves the changes made so far (nothing is undone).
//
// Errors (with the table and directory names): KURA_KEYVIOL from RaiseKeyViolation;
// KURA_INDEXCORRUPT for a key to delete or change that is not in the index, a missing root on
// delete, a root of the wrong type, a page on the way down that is empty or of the wrong type,
// a child or sibling number outside the file, a descent deeper than 64 levels, a missing sibling
// during underflow repair, a split without a recorded parent, compressed leaf halves that do not
// both fit a page, and a page read that reports another program's change (the caller holds the
// table write lock, so the files cannot change under it); KURA_TABLEFULL for a root split below
// level 1 and when the index file cannot grow.
//
// Called under the table write lock (KeyExists also under the read lock) by the one thread that
// uses the table. Not copyable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/ansi_string.h"
#include "engine/cursor/held_page.h"

namespace kura {

class TDataCursor;
class TDataTable;
class TIndexFile;
class TIndexKeyLayout;
class TPage;

// The deepest tree an index may have.
constexpr uint8_t kMaxIndexLevels = 64;

// One value per level; entry L - 1 belongs to level L.
using TIndexLevels = std::array<int32_t, kMaxIndexLevels>;

// The caller's descent path (the cursor's FParentPages, FIndexKeyCounters, FCurIndexLevel).
struct TIndexDescentPath {
  TIndexLevels* ParentPages = nullptr;
  TIndexLevels* IndexKeyCounters = nullptr;
  uint8_t* CurIndexLevel = nullptr;
};

// Orders the first `length` bytes of two keys of the active index: -1, 0 or 1.
using TCompareKeys = std::function<int(const uint8_t* a, const uint8_t* b, size_t length)>;

// What the tree needs to know of the active index. The page layout parameters (key size,
// compression, unique, statistics) come from the index definition through the pages themselves.
struct TIndexTreeIndex {
  uint8_t IndexPos = 0;    // 0 primary, 1..30 secondary, 31 the text index
  AnsiString IndexName;    // empty for the primary index
  uint16_t KeySize = 0;    // bytes per key
  TCompareKeys CompareKeys;
};

// The description of an index from its key layout (which must outlive the description's
// comparison).
TIndexTreeIndex IndexTreeIndexOf(uint8_t IndexPos, const AnsiString& IndexName,
                                 const TIndexKeyLayout& Layout);

class TIndexTree {
 public:
  // `Cursor` is handed to the page cache (it may be null); the rest is described above.
  TIndexTree(TDataTable* Table, TDataCursor* Cursor, const TIndexTreeIndex& Index,
             TIndexDescentPath Path);
  TIndexTree(const TIndexTree&) = delete;
  TIndexTree& operator=(const TIndexTree&) = delete;

  // True when the whole key (KeySize bytes) is in the index. Descends as an insert would, so the
  // path afterwards leads to the key's leaf.
  bool KeyExists(const uint8_t* Key);
  // KURA_KEYVIOL naming the active index ("Primary" for the unnamed primary index).
  [[noreturn]] void RaiseKeyViolation() const;

  // Adds one entry: the key with the record's slot number.
  void InsertIndexKey(const uint8_t* Key, int32_t Number);
  // Removes the entry with that key (KURA_INDEXCORRUPT when there is none).
  void DeleteIndexKey(const uint8_t* Key);
  // Removes the old key's entry and adds the new key with the record's slot number.
  void ChangeIndexKey(const uint8_t* OldKey, const uint8_t* NewKey, int32_t Number);

  // The steps of an insert or delete. They work at the path's current level (FCurIndexLevel)
  // with the slots and parents the descent recorded, on pages the caller holds; the pages
  // stay held by the caller.
  //
  // Inserts after the level's slot (which becomes the new entry) and splits upward on overflow.
  void InsertPageEntry(TPage* Page, const uint8_t* Key, int32_t Count, int32_t Number);
  // Moves the upper half of a full page into a fresh page linked in after it.
  void SplitPage(TPage* Left, TPage* Right);
  // When the level's slot is 1, writes the page's new first key into the ancestors.
  void PropagateFirstKey(TPage* Page, const uint8_t* Key);
  // Removes the level's slot and repairs an underfull internal page or an empty leaf.
  void RemovePageEntry(TPage* Page);
  // Redistribution and merging between a page and its neighbour under the same parent.
  void BorrowFromLeft(TPage* Page, TPage* Left);
  void BorrowFromRight(TPage* Page, TPage* Right);
  void MergeIntoLeft(TPage* Page, TPage* Left);
  void MergeIntoRight(TPage* Page, TPage* Right);

  // The free-page chain. AllocatePage returns the head of the chain (or a new page past the
  // end) held and initialised for the active index, type 0 and empty; the caller releases it
  // (TDataTable::PutPage). RecyclePage empties a held page, clears its links and pushes it on
  // the chain; the caller still releases it.
  TPage* AllocatePage();
  void RecyclePage(TPage* Page);

 private:
  enum class TSearch { Internal, InsertAt, Exact };

  // A page of the active index (its key size checked), or any page of the file.
  THeldPage FetchPage(int32_t Number);
  THeldPage FetchAnyPage(int32_t Number);
  THeldPage FetchRoot();
  // Validates a page met on the way down at `Level`.
  void CheckDescentPage(const TPage& Page, uint8_t Level) const;
  // The slot for `Key` in a page (see the search rules in the source); -1 for a missing exact key.
  int FindSlot(const TPage& Page, const uint8_t* Key, TSearch Search) const;
  // Fills the path from the root down to the leaf where `Key` belongs, adjusting the lower key
  // counts of the entries passed by `CountChange`; returns the leaf, held.
  THeldPage Descend(const uint8_t* Key, TSearch LeafSearch, int CountChange);
  void RepairInternal(TPage* Page);
  void RemoveEmptyPage(TPage* Page);
  void CollapseRoot(TPage* Root);
  void Unlink(TPage* Page);
  void MoveEntries(TPage* From, int First, int Last, TPage* To, int After);
  void CheckFits(const TPage& Page) const;

  int32_t& ParentPage(uint8_t Level) { return (*FPath.ParentPages)[Level - 1]; }
  int32_t& KeyCounter(uint8_t Level) { return (*FPath.IndexKeyCounters)[Level - 1]; }
  uint8_t& Level() { return *FPath.CurIndexLevel; }
  void ClearPath();

  [[noreturn]] void RaiseCorrupt() const;
  [[noreturn]] void RaiseTableFull() const;

  TDataTable* FDataTable;
  TIndexFile* FIndexFile;
  TDataCursor* FDataCursor;
  const TIndexTreeIndex& FIndex;
  TIndexDescentPath FPath;
};

}  // namespace kura
