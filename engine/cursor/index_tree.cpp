#include "engine/cursor/index_tree.h"

#include <vector>

#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/format/index_file.h"
#include "engine/format/index_key.h"
#include "engine/format/index_page.h"

namespace kura {

namespace {

bool IsRootType(uint8_t type) { return type == ptRoot || type == ptRootExternal; }

std::vector<uint8_t> CopyKey(const TPage& page, int key_counter) {
  const uint8_t* key = page.GetKey(key_counter);
  return std::vector<uint8_t>(key, key + page.KeySize());
}

int32_t CountOf(int64_t total) { return static_cast<int32_t>(total); }

}  // namespace

TIndexTreeIndex IndexTreeIndexOf(uint8_t IndexPos, const AnsiString& IndexName,
                                 const TIndexKeyLayout& Layout) {
  TIndexTreeIndex index;
  index.IndexPos = IndexPos;
  index.IndexName = IndexName;
  index.KeySize = Layout.KeySize();
  const TIndexKeyLayout* layout = &Layout;
  index.CompareKeys = [layout](const uint8_t* a, const uint8_t* b, size_t length) {
    return layout->CompareKeys(a, b, length);
  };
  return index;
}

TIndexTree::TIndexTree(TDataTable* Table, TDataCursor* Cursor, const TIndexTreeIndex& Index,
                       TIndexDescentPath Path)
    : FDataTable(Table),
      FIndexFile(Table->IndexFile()),
      FDataCursor(Cursor),
      FIndex(Index),
      FPath(Path) {}

// ---- Errors

void TIndexTree::RaiseCorrupt() const { FIndexFile->RaiseIndexError(KURA_INDEXCORRUPT); }

void TIndexTree::RaiseTableFull() const { FIndexFile->RaiseIndexError(KURA_TABLEFULL); }

void TIndexTree::RaiseKeyViolation() const {
  FIndexFile->RaiseIndexError(KURA_KEYVIOL,
                              FIndex.IndexName.empty() ? AnsiString("Primary") : FIndex.IndexName);
}

// ---- Pages and the path

void TIndexTree::ClearPath() {
  FPath.ParentPages->fill(0);
  FPath.IndexKeyCounters->fill(0);
  Level() = 1;
}

THeldPage TIndexTree::FetchPage(int32_t Number) {
  THeldPage held = FetchAnyPage(Number);
  if (held->KeySize() != FIndex.KeySize) RaiseCorrupt();
  return held;
}

THeldPage TIndexTree::FetchAnyPage(int32_t Number) {
  // A number at the end of the file would make the cache append a fresh page instead of
  // reading one, so only pages that exist are asked for.
  if (Number < 1 || Number > FIndexFile->IOBlocksUsed()) RaiseCorrupt();
  TPage* page = nullptr;
  // Under the table write lock no other program can change the files; a read that says so
  // means the tree is not the one this operation started on.
  if (!FDataTable->GetPage(FDataCursor, FIndex.IndexPos, Number, &page)) RaiseCorrupt();
  return THeldPage(FDataTable, page);
}

THeldPage TIndexTree::FetchRoot() {
  return FetchPage(FIndexFile->GetRootPageNumber(FIndex.IndexPos));
}

void TIndexTree::CheckDescentPage(const TPage& Page, uint8_t PageLevel) const {
  if (Page.NumberOfKeys() == 0) RaiseCorrupt();
  const uint8_t type = Page.PageType();
  if (PageLevel == 1 ? !IsRootType(type) : (type != ptInternal && type != ptExternal)) {
    RaiseCorrupt();
  }
}

void TIndexTree::CheckFits(const TPage& Page) const {
  if (Page.PageDataOverflowed()) RaiseCorrupt();
}

// Internal pages: the last entry whose key is not greater than the key, else entry 1. Leaves:
// for an insertion the last entry not greater (0 when all are greater: in front of entry 1),
// for an existing key the equal entry (-1 when there is none).
int TIndexTree::FindSlot(const TPage& Page, const uint8_t* Key, TSearch Search) const {
  int low = 0;  // entries 1..low are not greater than the key
  int high = Page.NumberOfKeys();
  while (low < high) {
    int middle = low + (high - low + 1) / 2;
    if (FIndex.CompareKeys(Page.GetKey(middle), Key, FIndex.KeySize) <= 0) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  switch (Search) {
    case TSearch::Internal:
      return low == 0 ? 1 : low;
    case TSearch::InsertAt:
      return low;
    case TSearch::Exact:
      return low > 0 && FIndex.CompareKeys(Page.GetKey(low), Key, FIndex.KeySize) == 0 ? low : -1;
  }
  return -1;
}

THeldPage TIndexTree::Descend(const uint8_t* Key, TSearch LeafSearch, int CountChange) {
  ClearPath();
  THeldPage page = FetchRoot();
  for (;;) {
    const uint8_t level = Level();
    CheckDescentPage(*page, level);
    if (page->IsExternal()) {
      KeyCounter(level) = FindSlot(*page, Key, LeafSearch);
      return page;
    }
    const int slot = FindSlot(*page, Key, TSearch::Internal);
    KeyCounter(level) = slot;
    if (CountChange > 0) page->IncLowerKeyCount(slot);
    if (CountChange < 0) page->DecLowerKeyCount(slot);
    if (level >= kMaxIndexLevels) RaiseCorrupt();
    const int32_t parent = page->Number();
    THeldPage child = FetchPage(page->GetRecordNumber(slot));
    page = std::move(child);
    Level() = level + 1;
    ParentPage(level + 1) = parent;
  }
}

// ---- Lookup

bool TIndexTree::KeyExists(const uint8_t* Key) {
  if (FIndexFile->GetRootPageNumber(FIndex.IndexPos) == 0) return false;
  THeldPage leaf = Descend(Key, TSearch::Exact, 0);
  return KeyCounter(Level()) > 0;
}

// ---- Insertion

void TIndexTree::InsertIndexKey(const uint8_t* Key, int32_t Number) {
  if (FIndexFile->GetRootPageNumber(FIndex.IndexPos) == 0) {
    ClearPath();
    THeldPage page(FDataTable, AllocatePage());
    page->SetPageType(ptRootExternal);
    int slot = 0;
    page->InsertKey(Key, &slot);
    page->SetRecordNumber(slot, Number);
    KeyCounter(1) = slot;
    FIndexFile->SetRootPageNumber(FIndex.IndexPos, page->Number());
    return;
  }
  THeldPage leaf = Descend(Key, TSearch::InsertAt, +1);
  const uint8_t level = Level();
  const int slot = KeyCounter(level);
  if (slot > 0 && FIndex.CompareKeys(leaf->GetKey(slot), Key, FIndex.KeySize) == 0) {
    // A second equal key would break the order every reader relies on. The counts raised on
    // the way down are taken back before the violation is reported.
    leaf.Release();
    for (uint8_t l = level; l > 1; --l) {
      THeldPage parent = FetchPage(ParentPage(l));
      parent->DecLowerKeyCount(KeyCounter(l - 1));
    }
    RaiseKeyViolation();
  }
  InsertPageEntry(leaf.get(), Key, 0, Number);
}

void TIndexTree::InsertPageEntry(TPage* Page, const uint8_t* Key, int32_t Count, int32_t Number) {
  const uint8_t level = Level();
  int slot = KeyCounter(level);
  Page->InsertKey(Key, &slot);
  KeyCounter(level) = slot;
  Page->SetRecordNumber(slot, Number);
  if (Page->IsInternal()) Page->SetLowerKeyCount(slot, Count);
  PropagateFirstKey(Page, Key);
  if (!Page->PageDataOverflowed()) return;

  const bool was_root = IsRootType(Page->PageType());
  THeldPage right(FDataTable, AllocatePage());
  SplitPage(Page, right.get());
  if (was_root) {
    if (level != 1) RaiseTableFull();
    THeldPage root(FDataTable, AllocatePage());
    root->SetPageType(ptRoot);
    int entry = 0;
    for (TPage* child : {Page, right.get()}) {
      std::vector<uint8_t> first = CopyKey(*child, 1);
      root->InsertKey(first.data(), &entry);
      root->SetRecordNumber(entry, child->Number());
      root->SetLowerKeyCount(entry, CountOf(child->TotalLowerKeyCount()));
    }
    FIndexFile->SetRootPageNumber(FIndex.IndexPos, root->Number());
    KeyCounter(1) = 2;
    return;
  }
  const int32_t parent_number = ParentPage(level);
  if (parent_number == 0) RaiseCorrupt();
  THeldPage parent = FetchPage(parent_number);
  Level() = level - 1;
  parent->SetLowerKeyCount(KeyCounter(level - 1), CountOf(Page->TotalLowerKeyCount()));
  std::vector<uint8_t> first = CopyKey(*right, 1);
  InsertPageEntry(parent.get(), first.data(), CountOf(right->TotalLowerKeyCount()),
                  right->Number());
  Level() = level;
}

void TIndexTree::SplitPage(TPage* Left, TPage* Right) {
  const bool leaf = Left->IsExternal();
  const uint8_t type = leaf ? ptExternal : ptInternal;
  // The type first, so that the fresh page keeps its compression accounting from the start.
  Left->SetPageType(type);
  Right->SetPageType(type);
  const int n = Left->NumberOfKeys();
  MoveEntries(Left, n - n / 2 + 1, n, Right, 0);

  const int32_t next = Left->RightNumber();
  if (next != 0) {
    THeldPage neighbour = FetchPage(next);
    if (neighbour->LeftNumber() != Left->Number()) RaiseCorrupt();
    neighbour->SetLeftNumber(Right->Number());
  }
  Right->SetRightNumber(next);
  Right->SetLeftNumber(Left->Number());
  Left->SetRightNumber(Right->Number());

  if (leaf && Left->KeyCompressionType() != icNone) {
    // Halving by count may leave one half too large for the data area when the keys compress
    // unevenly: shift entries across until both fit.
    if (Left->PageDataOverflowed()) {
      while (Left->PageDataOverflowed() && Left->NumberOfKeys() > 1) {
        MoveEntries(Left, Left->NumberOfKeys(), Left->NumberOfKeys(), Right, 0);
      }
      CheckFits(*Right);
    } else {
      while (Right->PageDataOverflowed() && Right->NumberOfKeys() > 1) {
        MoveEntries(Right, 1, 1, Left, Left->NumberOfKeys());
      }
      CheckFits(*Left);
    }
  }
  CheckFits(*Left);
  CheckFits(*Right);
}

void TIndexTree::PropagateFirstKey(TPage* Page, const uint8_t* Key) {
  (void)Page;  // the page at the current level; its ancestors are reached through the path
  uint8_t level = Level();
  while (level > 1 && KeyCounter(level) <= 1 && ParentPage(level) != 0) {
    THeldPage parent = FetchPage(ParentPage(level));
    --level;
    int slot = KeyCounter(level);
    if (slot == 0) slot = 1;
    parent->UpdateKey(Key, slot);
    if (slot != 1) break;
  }
}

// ---- Deletion

void TIndexTree::DeleteIndexKey(const uint8_t* Key) {
  if (!KeyExists(Key)) RaiseCorrupt();
  THeldPage leaf = Descend(Key, TSearch::Exact, -1);
  if (KeyCounter(Level()) < 1) RaiseCorrupt();
  RemovePageEntry(leaf.get());
}

void TIndexTree::ChangeIndexKey(const uint8_t* OldKey, const uint8_t* NewKey, int32_t Number) {
  if (!KeyExists(OldKey)) RaiseCorrupt();
  // A new key that is already there would be refused only after the old one is gone, leaving
  // the record out of the index: refuse it first.
  if (FIndex.CompareKeys(OldKey, NewKey, FIndex.KeySize) != 0 && KeyExists(NewKey)) {
    RaiseKeyViolation();
  }
  {
    THeldPage leaf = Descend(OldKey, TSearch::Exact, -1);
    if (KeyCounter(Level()) < 1) RaiseCorrupt();
    RemovePageEntry(leaf.get());
  }
  InsertIndexKey(NewKey, Number);
}

void TIndexTree::RemovePageEntry(TPage* Page) {
  const uint8_t level = Level();
  int slot = KeyCounter(level);
  Page->DeleteKey(&slot);
  KeyCounter(level) = slot;
  if (Page->NumberOfKeys() > 0) {
    std::vector<uint8_t> first = CopyKey(*Page, slot);
    PropagateFirstKey(Page, first.data());
  }
  if (Page->IsInternal()) {
    if (Page->NumberOfKeys() < Page->MaximumKeys() / 2) RepairInternal(Page);
  } else if (Page->NumberOfKeys() == 0) {
    RemoveEmptyPage(Page);
  }
}

void TIndexTree::RepairInternal(TPage* Page) {
  const uint8_t level = Level();
  if (ParentPage(level) == 0) {
    // The root: with a single child that child becomes the root; an internal root left without
    // any entry (possible only with very long keys) means the index is empty.
    if (Page->NumberOfKeys() == 1) {
      CollapseRoot(Page);
    } else if (Page->NumberOfKeys() == 0) {
      RemoveEmptyPage(Page);
    }
    return;
  }
  THeldPage parent = FetchPage(ParentPage(level));
  const int k = KeyCounter(level - 1);
  const int entries = parent->NumberOfKeys();
  if (k < 1 || k > entries || parent->GetRecordNumber(k) != Page->Number()) RaiseCorrupt();
  if (entries == 1) {
    // The only child of its parent has no sibling to share entries with: an empty page goes
    // the way of an empty leaf, anything else stays as it is (the tree's shape still holds).
    if (Page->NumberOfKeys() == 0) RemoveEmptyPage(Page);
    return;
  }
  const int maximum = Page->MaximumKeys();
  Level() = level - 1;
  if (k > 1) {
    THeldPage left = FetchPage(Page->LeftNumber());
    if (left->Number() != parent->GetRecordNumber(k - 1) || !left->IsInternal()) RaiseCorrupt();
    if (left->NumberOfKeys() + Page->NumberOfKeys() < maximum) {
      MergeIntoLeft(Page, left.get());
      RecyclePage(Page);
      parent->SetLowerKeyCount(k - 1, CountOf(left->TotalLowerKeyCount()));
      left.Release();
      RemovePageEntry(parent.get());
    } else {
      BorrowFromLeft(Page, left.get());
      std::vector<uint8_t> first = CopyKey(*Page, 1);
      parent->UpdateKey(first.data(), k);
      parent->SetLowerKeyCount(k, CountOf(Page->TotalLowerKeyCount()));
      parent->SetLowerKeyCount(k - 1, CountOf(left->TotalLowerKeyCount()));
    }
  } else {
    THeldPage right = FetchPage(Page->RightNumber());
    if (right->Number() != parent->GetRecordNumber(2) || !right->IsInternal()) RaiseCorrupt();
    if (right->NumberOfKeys() + Page->NumberOfKeys() < maximum) {
      MergeIntoRight(Page, right.get());
      RecyclePage(Page);
      std::vector<uint8_t> first = CopyKey(*right, 1);
      parent->UpdateKey(first.data(), 2);
      parent->SetLowerKeyCount(2, CountOf(right->TotalLowerKeyCount()));
      right.Release();
      RemovePageEntry(parent.get());
    } else {
      BorrowFromRight(Page, right.get());
      parent->SetLowerKeyCount(1, CountOf(Page->TotalLowerKeyCount()));
      std::vector<uint8_t> first = CopyKey(*right, 1);
      parent->UpdateKey(first.data(), 2);
      parent->SetLowerKeyCount(2, CountOf(right->TotalLowerKeyCount()));
      // A page that was empty (only with three entries or fewer to a page) has a new first
      // key now, which its entry and the ancestors' entries must take.
      std::vector<uint8_t> own = CopyKey(*Page, 1);
      parent->UpdateKey(own.data(), 1);
      PropagateFirstKey(parent.get(), own.data());
    }
  }
  Level() = level;
}

void TIndexTree::CollapseRoot(TPage* Root) {
  THeldPage child = FetchPage(Root->GetRecordNumber(1));
  if (child->PageType() != ptInternal && child->PageType() != ptExternal) RaiseCorrupt();
  child->SetPageType(child->IsExternal() ? ptRootExternal : ptRoot);
  child->SetLeftNumber(0);
  child->SetRightNumber(0);
  FIndexFile->SetRootPageNumber(FIndex.IndexPos, child->Number());
  RecyclePage(Root);
}

// An empty page leaves its level and its parent; an empty root leaves an empty index.
void TIndexTree::RemoveEmptyPage(TPage* Page) {
  const uint8_t level = Level();
  if (ParentPage(level) == 0) {
    RecyclePage(Page);
    FIndexFile->SetRootPageNumber(FIndex.IndexPos, 0);
    return;
  }
  THeldPage parent = FetchPage(ParentPage(level));
  const int k = KeyCounter(level - 1);
  if (k < 1 || k > parent->NumberOfKeys() || parent->GetRecordNumber(k) != Page->Number()) {
    RaiseCorrupt();
  }
  Unlink(Page);
  RecyclePage(Page);
  Level() = level - 1;
  RemovePageEntry(parent.get());
  Level() = level;
}

void TIndexTree::Unlink(TPage* Page) {
  const int32_t left_number = Page->LeftNumber();
  const int32_t right_number = Page->RightNumber();
  THeldPage left, right;
  if (left_number != 0) {
    left = FetchPage(left_number);
    if (left->RightNumber() != Page->Number()) RaiseCorrupt();
  }
  if (right_number != 0) {
    right = FetchPage(right_number);
    if (right->LeftNumber() != Page->Number()) RaiseCorrupt();
  }
  if (left) left->SetRightNumber(right_number);
  if (right) right->SetLeftNumber(left_number);
  Page->SetLeftNumber(0);
  Page->SetRightNumber(0);
}

// ---- Redistribution and merging

// Copies entries First..Last of one page, in order, after entry `After` of another, then removes
// them from the first.
void TIndexTree::MoveEntries(TPage* From, int First, int Last, TPage* To, int After) {
  if (First > Last) return;
  int at = After;
  for (int k = First; k <= Last; ++k) {
    std::vector<uint8_t> key = CopyKey(*From, k);
    To->InsertKey(key.data(), &at);
    To->SetRecordNumber(at, From->GetRecordNumber(k));
    To->SetLowerKeyCount(at, From->GetLowerKeyCount(k));
  }
  for (int k = Last; k >= First; --k) {
    int counter = k;
    From->DeleteKey(&counter);
  }
}

void TIndexTree::BorrowFromLeft(TPage* Page, TPage* Left) {
  const int total = Left->NumberOfKeys() + Page->NumberOfKeys();
  const int keep = total - total / 2;
  const int left_count = Left->NumberOfKeys();
  if (left_count > keep) {
    MoveEntries(Left, keep + 1, left_count, Page, 0);
  } else {
    MoveEntries(Page, 1, keep - left_count, Left, left_count);
  }
  CheckFits(*Left);
  CheckFits(*Page);
}

void TIndexTree::BorrowFromRight(TPage* Page, TPage* Right) {
  const int total = Page->NumberOfKeys() + Right->NumberOfKeys();
  const int keep = total / 2;
  const int page_count = Page->NumberOfKeys();
  if (page_count < keep) {
    MoveEntries(Right, 1, keep - page_count, Page, page_count);
  } else {
    MoveEntries(Page, keep + 1, page_count, Right, 0);
  }
  CheckFits(*Page);
  CheckFits(*Right);
}

void TIndexTree::MergeIntoLeft(TPage* Page, TPage* Left) {
  const int32_t next = Page->RightNumber();
  THeldPage neighbour;
  if (next != 0) {
    neighbour = FetchPage(next);
    if (neighbour->LeftNumber() != Page->Number()) RaiseCorrupt();
  }
  MoveEntries(Page, 1, Page->NumberOfKeys(), Left, Left->NumberOfKeys());
  Left->SetRightNumber(next);
  if (neighbour) neighbour->SetLeftNumber(Left->Number());
  Page->SetLeftNumber(0);
  Page->SetRightNumber(0);
  CheckFits(*Left);
}

void TIndexTree::MergeIntoRight(TPage* Page, TPage* Right) {
  const int32_t previous = Page->LeftNumber();
  THeldPage neighbour;
  if (previous != 0) {
    neighbour = FetchPage(previous);
    if (neighbour->RightNumber() != Page->Number()) RaiseCorrupt();
  }
  MoveEntries(Page, 1, Page->NumberOfKeys(), Right, 0);
  Right->SetLeftNumber(previous);
  if (neighbour) neighbour->SetRightNumber(Right->Number());
  Page->SetLeftNumber(0);
  Page->SetRightNumber(0);
  CheckFits(*Right);
}

// ---- Free pages

TPage* TIndexTree::AllocatePage() {
  // A chain head that still holds keys is a page in use: taking it would destroy a tree.
  const int32_t head = FIndexFile->Header().NextFreePage;
  if (head != 0) {
    // (A free page may still be cached with the parameters of the index it came from.)
    THeldPage free = FetchAnyPage(head);
    if (free->PageType() != ptParameter && free->NumberOfKeys() != 0) RaiseCorrupt();
  }
  TPage* page = nullptr;
  if (!FIndexFile->AllocatePage(FDataCursor, FIndex.IndexPos, &page)) RaiseCorrupt();
  return page;
}

void TIndexTree::RecyclePage(TPage* Page) {
  FIndexFile->ReleasePage(Page);
  Page->SetLeftNumber(0);
}

}  // namespace kura
