#include "engine/cursor/index_walker.h"

#include <climits>
#include <utility>

#include "engine/core/data_engine.h"
#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/cursor/index_tree.h"
#include "engine/format/index_file.h"
#include "engine/format/index_key.h"
#include "engine/format/index_page.h"

namespace kura {

bool TIndexPlace::Empty() const { return page == nullptr || page->NumberOfKeys() == 0; }

const uint8_t* TIndexPlace::Key() const { return Empty() ? nullptr : page->GetKey(slot); }

int32_t TIndexPlace::RecordNumber() const { return Empty() ? 0 : page->GetRecordNumber(slot); }

TIndexWalker::TIndexWalker(TDataTable* table, TDataCursor* cursor, uint8_t index_pos,
                           const TIndexKeyLayout& layout, uint16_t key_size, TErrorContext names)
    : table_(table),
      cursor_(cursor),
      index_pos_(index_pos),
      layout_(layout),
      key_size_(key_size),
      names_(std::move(names)) {}

int TIndexWalker::Compare(const uint8_t* a, const uint8_t* b) const {
  return layout_.CompareKeys(a, b, key_size_);
}

void TIndexWalker::RaiseCorrupt() const {
  table_->DataEngine()->RaiseError(KURA_INDEXCORRUPT, names_);
}

std::unique_ptr<TPage> TIndexWalker::NewPage() const { return table_->CreatePage(index_pos_); }

void TIndexWalker::CheckPageNumber(int32_t page_number) const {
  // A number past the file would append a blank page to the cache instead of reading one.
  if (page_number < 1 || page_number > table_->IndexFile()->IOBlocksUsed()) RaiseCorrupt();
}

TWalkResult TIndexWalker::Fetch(int32_t page_number, THeldPage* held) {
  CheckPageNumber(page_number);
  TPage* page = nullptr;
  if (!table_->GetPage(cursor_, index_pos_, page_number, &page)) return wrChanged;
  *held = THeldPage(table_, page);
  return wrFound;
}

// ---- Descents

TWalkResult TIndexWalker::First(TIndexPlace* place) { return Descend({pkFirst}, place); }

TWalkResult TIndexWalker::Last(TIndexPlace* place) { return Descend({pkLast}, place); }

TWalkResult TIndexWalker::LowerBound(const uint8_t* key, TIndexPlace* place, bool* exact,
                                     bool* past_end) {
  *exact = false;
  *past_end = false;
  TIndexPlace found;
  TWalkResult result = Descend({pkNotBelow, key}, &found);
  if (result != wrFound) return result;
  // The leaf's keys all sort below the key: the first key of the next leaf is the one.
  if (found.slot > found.page->NumberOfKeys()) {
    found.slot = found.page->NumberOfKeys();
    found.sequence -= 1;
    result = Next(&found, {});
    if (result == wrChanged) return wrChanged;
    if (result == wrNone) *past_end = true;
  }
  *exact = !*past_end && Compare(found.Key(), key) == 0;
  *place = std::move(found);
  return wrFound;
}

TWalkResult TIndexWalker::LastNotAbove(const uint8_t* key, TIndexPlace* place) {
  TIndexPlace found;
  TWalkResult result = Descend({pkNotAbove, key}, &found);
  if (result != wrFound) return result;
  // Every key of the leaf sorts above the key: the previous leaf's last key, if any.
  if (found.slot < 1) {
    found.slot = 1;
    found.sequence += 1;
    result = Prior(&found, {});
    if (result != wrFound) return result;
  }
  *place = std::move(found);
  return wrFound;
}

TWalkResult TIndexWalker::AtRank(int32_t rank, TIndexPlace* place) {
  if (rank < 1) return wrNone;
  TIndexPlace found;
  TWalkResult result = Descend({pkRank, nullptr, rank}, &found);
  if (result != wrFound) return result;
  if (found.slot < 1 || found.slot > found.page->NumberOfKeys()) return wrNone;
  *place = std::move(found);
  return wrFound;
}

TWalkResult TIndexWalker::TotalKeys(int64_t* total) {
  *total = 0;
  int32_t root = table_->IndexFile()->GetRootPageNumber(index_pos_);
  if (root == 0) return wrFound;
  THeldPage held;
  if (Fetch(root, &held) == wrChanged) return wrChanged;
  *total = held->TotalLowerKeyCount();
  return wrFound;
}

TWalkResult TIndexWalker::Descend(TTarget target, TIndexPlace* place) {
  const int32_t root = table_->IndexFile()->GetRootPageNumber(index_pos_);
  if (root == 0) return wrNone;
  THeldPage held;
  if (Fetch(root, &held) == wrChanged) return wrChanged;
  if (held->NumberOfKeys() == 0 ||
      (held->PageType() != ptRoot && held->PageType() != ptRootExternal)) {
    RaiseCorrupt();
  }
  int64_t sequence = 0;
  for (int level = 1; !held->IsExternal(); ++level) {
    if (level >= kMaxIndexLevels) RaiseCorrupt();
    int entry = PickInternal(*held, &target);
    if (entry == 0) return wrNone;  // a rank beyond the index
    sequence += held->GetPageKeyCount(entry);
    int32_t child = held->GetRecordNumber(entry);
    held.Release();
    if (Fetch(child, &held) == wrChanged) return wrChanged;
    if (held->NumberOfKeys() == 0 ||
        (held->PageType() != ptInternal && held->PageType() != ptExternal)) {
      RaiseCorrupt();
    }
  }
  int slot = PickLeaf(*held, target);
  sequence += slot;
  if (sequence > INT32_MAX || sequence < INT32_MIN) RaiseCorrupt();
  if (place->page == nullptr) place->page = NewPage();
  place->page->Copy(*held);
  place->slot = slot;
  place->sequence = static_cast<int32_t>(sequence);
  return wrFound;
}

int TIndexWalker::PickInternal(const TPage& page, TTarget* target) const {
  const int n = page.NumberOfKeys();
  switch (target->pick) {
    case pkFirst:
      return 1;
    case pkLast:
      return n;
    case pkRank:
      for (int entry = 1; entry <= n; ++entry) {
        int64_t count = page.GetLowerKeyCount(entry);
        if (target->rank <= count) return entry;
        target->rank -= count;
      }
      return 0;
    case pkNotAbove:
    case pkNotBelow: {
      // The last entry whose key is not greater than the search key, else entry 1.
      int low = 1, high = n, chosen = 1;
      while (low <= high) {
        int middle = low + (high - low) / 2;
        if (Compare(page.GetKey(middle), target->key) <= 0) {
          chosen = middle;
          low = middle + 1;
        } else {
          high = middle - 1;
        }
      }
      return chosen;
    }
  }
  return 1;
}

int TIndexWalker::PickLeaf(const TPage& page, const TTarget& target) const {
  const int n = page.NumberOfKeys();
  switch (target.pick) {
    case pkFirst:
      return 1;
    case pkLast:
      return n;
    case pkRank:
      return target.rank >= 1 && target.rank <= n ? static_cast<int>(target.rank) : 0;
    case pkNotBelow: {
      int low = 1, high = n, first = n + 1;
      while (low <= high) {
        int middle = low + (high - low) / 2;
        if (Compare(page.GetKey(middle), target.key) >= 0) {
          first = middle;
          high = middle - 1;
        } else {
          low = middle + 1;
        }
      }
      return first;
    }
    case pkNotAbove: {
      int low = 1, high = n, last = 0;
      while (low <= high) {
        int middle = low + (high - low) / 2;
        if (Compare(page.GetKey(middle), target.key) <= 0) {
          last = middle;
          low = middle + 1;
        } else {
          high = middle - 1;
        }
      }
      return last;
    }
  }
  return 1;
}

// ---- Steps along the leaf chain

TWalkResult TIndexWalker::FetchSibling(const TIndexPlace& place, bool forward, THeldPage* held) {
  const TPage& page = *place.page;
  const int32_t number = forward ? page.RightNumber() : page.LeftNumber();
  if (number == 0) return wrNone;
  if (Fetch(number, held) == wrChanged) return wrChanged;
  const TPage& sibling = **held;
  // A sibling that is no leaf with keys, does not link back, or whose keys do not continue the
  // order, means the copy is older than the cache (or the chain is damaged, which the caller
  // finds when starting again does not help).
  if (sibling.PageType() != ptExternal || sibling.NumberOfKeys() == 0 ||
      (forward ? sibling.LeftNumber() : sibling.RightNumber()) != page.Number()) {
    return wrChanged;
  }
  const int order = forward ? Compare(sibling.GetKey(1), page.GetKey(page.NumberOfKeys()))
                            : Compare(page.GetKey(1), sibling.GetKey(sibling.NumberOfKeys()));
  if (order <= 0) return wrChanged;
  return wrFound;
}

TWalkResult TIndexWalker::Next(TIndexPlace* place, const TKeyBounds& bounds) {
  if (place->Empty()) return wrNone;
  const TPage& page = *place->page;
  if (place->slot < page.NumberOfKeys()) {
    if (bounds.high != nullptr && Compare(page.GetKey(place->slot + 1), bounds.high) > 0) {
      return wrNone;
    }
    ++place->slot;
    ++place->sequence;
    return wrFound;
  }
  THeldPage held;
  TWalkResult result = FetchSibling(*place, true, &held);
  if (result != wrFound) return result;
  if (bounds.high != nullptr && Compare(held->GetKey(1), bounds.high) > 0) return wrNone;
  place->page->Copy(*held);
  place->slot = 1;
  ++place->sequence;
  return wrFound;
}

TWalkResult TIndexWalker::Prior(TIndexPlace* place, const TKeyBounds& bounds) {
  if (place->Empty()) return wrNone;
  const TPage& page = *place->page;
  if (place->slot > 1) {
    if (bounds.low != nullptr && Compare(page.GetKey(place->slot - 1), bounds.low) < 0) {
      return wrNone;
    }
    --place->slot;
    --place->sequence;
    return wrFound;
  }
  THeldPage held;
  TWalkResult result = FetchSibling(*place, false, &held);
  if (result != wrFound) return result;
  const int last = held->NumberOfKeys();
  if (bounds.low != nullptr && Compare(held->GetKey(last), bounds.low) < 0) return wrNone;
  place->page->Copy(*held);
  place->slot = last;
  --place->sequence;
  return wrFound;
}

TWalkResult TIndexWalker::Reload(TIndexPlace* place) {
  if (place->page == nullptr) return wrChanged;
  THeldPage held;
  const int32_t number = place->page->Number();
  if (number < 1 || number > table_->IndexFile()->IOBlocksUsed()) return wrChanged;
  if (Fetch(number, &held) == wrChanged) return wrChanged;
  if (!held->IsExternal() || held->NumberOfKeys() == 0) return wrChanged;
  place->page->Copy(*held);
  if (place->slot > place->page->NumberOfKeys()) place->slot = place->page->NumberOfKeys();
  if (place->slot < 1) place->slot = 1;
  return wrFound;
}

}  // namespace kura
