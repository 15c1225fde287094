// Copies of an index tree's pages as the table's page cache holds them, for tests that look at
// the shape of a tree: level by level through the child numbers, and the leaf level again
// through the RightNumber links from the leftmost leaf. Both walks stop (with a test failure)
// instead of looping on a damaged tree. Header-only.
#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_table.h"
#include "engine/core/scoped_read_lock.h"
#include "engine/format/index_file.h"
#include "engine/format/index_page.h"

namespace kura_test {

// Each walk holds the table read lock, as every read operation takes it (a cache miss would take
// it otherwise and keep it).
using TreeReadLock = kura::TScopedReadLock<kura::TDataTable>;

struct PageSnapshot {
  int32_t number = 0;
  uint8_t type = 0;
  int32_t left = 0;
  int32_t right = 0;
  uint32_t compressed_size = 0;
  int maximum_keys = 0;
  std::vector<std::vector<uint8_t>> keys;
  std::vector<int32_t> numbers;  // child pages or record slots
  std::vector<int32_t> counts;   // lower key counts (1 per leaf entry)

  int Entries() const { return static_cast<int>(keys.size()); }
  int64_t Total() const {
    int64_t total = 0;
    for (int32_t c : counts) total += c;
    return total;
  }
};

// Under the table read lock, which the caller holds.
inline PageSnapshot SnapshotLockedPage(kura::TDataTable* table, int pos, int32_t number) {
  kura::TPage* page = nullptr;
  PageSnapshot s;
  if (!table->GetPage(nullptr, pos, number, &page)) {
    ADD_FAILURE() << "page " << number << " reports a change";
    return s;
  }
  s.number = number;
  s.type = page->PageType();
  s.left = page->LeftNumber();
  s.right = page->RightNumber();
  s.compressed_size = page->CompressedSize();
  s.maximum_keys = page->MaximumKeys();
  for (int k = 1; k <= page->NumberOfKeys(); ++k) {
    s.keys.emplace_back(page->GetKey(k), page->GetKey(k) + page->KeySize());
    s.numbers.push_back(page->GetRecordNumber(k));
    s.counts.push_back(page->GetLowerKeyCount(k));
  }
  table->PutPage(page);
  return s;
}

inline PageSnapshot SnapshotPage(kura::TDataTable* table, int pos, int32_t number) {
  TreeReadLock lock(table);
  return SnapshotLockedPage(table, pos, number);
}

// Level 1 (the root) first; each level's pages in the order their parents list them. Empty
// when the index has no root.
inline std::vector<std::vector<PageSnapshot>> SnapshotTree(kura::TDataTable* table, int pos) {
  std::vector<std::vector<PageSnapshot>> levels;
  TreeReadLock lock(table);
  const int32_t root = table->IndexFile()->GetRootPageNumber(pos);
  if (root == 0) return levels;
  levels.push_back({SnapshotLockedPage(table, pos, root)});
  while (levels.size() < 64) {
    const std::vector<PageSnapshot>& last = levels.back();
    if (last.empty() || last.front().type == kura::ptExternal ||
        last.front().type == kura::ptRootExternal) {
      return levels;
    }
    std::vector<PageSnapshot> next;
    for (const PageSnapshot& p : last) {
      for (int32_t child : p.numbers) next.push_back(SnapshotLockedPage(table, pos, child));
    }
    levels.push_back(std::move(next));
  }
  ADD_FAILURE() << "more than 64 levels";
  return levels;
}

struct LeafEntry {
  std::vector<uint8_t> key;
  int32_t number = 0;
  friend bool operator==(const LeafEntry&, const LeafEntry&) = default;
};

// The leaf entries in the order of the leaf chain: from the root down through entry 1, then
// along RightNumber.
inline std::vector<LeafEntry> LeafChain(kura::TDataTable* table, int pos) {
  std::vector<LeafEntry> entries;
  TreeReadLock lock(table);
  int32_t number = table->IndexFile()->GetRootPageNumber(pos);
  if (number == 0) return entries;
  PageSnapshot page = SnapshotLockedPage(table, pos, number);
  for (int depth = 1; page.type == kura::ptRoot || page.type == kura::ptInternal; ++depth) {
    if (depth > 64 || page.numbers.empty()) {
      ADD_FAILURE() << "no way down to the leftmost leaf";
      return entries;
    }
    page = SnapshotLockedPage(table, pos, page.numbers.front());
  }
  const int32_t pages = table->IndexFile()->IOBlocksUsed();
  for (int32_t visited = 0;; ++visited) {
    if (visited > pages) {
      ADD_FAILURE() << "the leaf chain does not end";
      return entries;
    }
    for (int k = 0; k < page.Entries(); ++k) entries.push_back({page.keys[k], page.numbers[k]});
    if (page.right == 0) return entries;
    page = SnapshotLockedPage(table, pos, page.right);
  }
}

// The pages of the free-page chain, head first (stops at a repeat).
inline std::vector<int32_t> FreePageChain(kura::TDataTable* table) {
  std::vector<int32_t> chain;
  TreeReadLock lock(table);
  int32_t number = table->IndexFile()->Header().NextFreePage;
  const int32_t pages = table->IndexFile()->IOBlocksUsed();
  while (number != 0 && static_cast<int32_t>(chain.size()) <= pages) {
    chain.push_back(number);
    number = SnapshotLockedPage(table, 0, number).right;
  }
  return chain;
}

}  // namespace kura_test
