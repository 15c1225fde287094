// The shapes the index tree upkeep must leave behind in the cases that matter: the first and the
// last key, ascending inserts and the first root split, new first keys, underfull internal
// pages, compressed leaf splits, page reuse, duplicate and missing keys.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/maint/table_checker.h"
#include "tests/support/tree_snapshot.h"
#include "tests/support/tree_table.h"

namespace {

using namespace kura_test;
using Levels = std::vector<std::vector<PageSnapshot>>;

std::string Numbered(const char* prefix, int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%s%04d", prefix, n);
  return text;
}

class IndexTreeTest : public TreeTableFixture {
 protected:
  // Runs `body` under the table write lock and writes back what it changed.
  void Locked(const std::function<void()>& body) {
    struct Lock {
      explicit Lock(kura::TDataTable* t) : table(t) { table->WriteLockTable(); }
      ~Lock() {
        table->FlushBuffers(false, true, true, false, false);
        table->WriteUnlockTable();
      }
      kura::TDataTable* table;
    } lock(table_);
    body();
  }

  void ExpectClean() {
    kura::TTableCheckResult result = CheckTable(table_);
    std::ostringstream problems;
    for (const kura::TTableProblem& p : result.Problems) problems << p.Place << ": " << p.Message << "\n";
    EXPECT_TRUE(result.Clean()) << problems.str();
  }

  std::vector<uint8_t> CodeKey(const std::string& code) {
    return keyed_->KeyOf(kByCode, Record(code, 0));
  }

  // The parent of page `number` on `level` (0-based) and the slot of its entry, 1-based.
  static std::pair<const PageSnapshot*, int> ParentOf(const Levels& levels, size_t level,
                                                      int32_t number) {
    for (const PageSnapshot& p : levels[level - 1]) {
      for (int k = 0; k < p.Entries(); ++k) {
        if (p.numbers[k] == number) return {&p, k + 1};
      }
    }
    return {nullptr, 0};
  }

  // The record slots of every leaf entry of a page's subtree.
  std::vector<int32_t> SlotsBelow(const PageSnapshot& page) {
    if (page.type == kura::ptExternal || page.type == kura::ptRootExternal) return page.numbers;
    std::vector<int32_t> slots;
    for (int32_t child : page.numbers) {
      std::vector<int32_t> more = SlotsBelow(SnapshotPage(table_, kByCode, child));
      slots.insert(slots.end(), more.begin(), more.end());
    }
    return slots;
  }

  void DeleteSlots(const std::vector<int32_t>& slots) {
    for (int32_t slot : slots) keyed_->Delete(slot);
  }
};

TEST_F(IndexTreeTest, TheOnlyKeyLivesInALeafRootAndDeletingItEmptiesTheIndex) {
  CreateTreeTable({});
  const int32_t slot = Append("ONLY");
  const int32_t root = table_->IndexFile()->GetRootPageNumber(kByCode);
  Levels levels = SnapshotTree(table_, kByCode);
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_EQ(levels[0][0].type, kura::ptRootExternal);
  EXPECT_EQ(levels[0][0].numbers, std::vector<int32_t>{slot});

  keyed_->Delete(slot);
  EXPECT_EQ(table_->IndexFile()->GetRootPageNumber(kByCode), 0);
  std::vector<int32_t> free = FreePageChain(table_);
  EXPECT_NE(std::find(free.begin(), free.end(), root), free.end());
  EXPECT_EQ(static_cast<int32_t>(free.size()), table_->IndexFile()->IOBlocksUsed());
  ExpectClean();
}

// The automatic primary index takes record IDs, which only ever grow.
class AscendingInserts : public IndexTreeTest, public testing::WithParamInterface<int32_t> {};

TEST_P(AscendingInserts, FillLeavesHalfAndTheFirstRootSplitGivesTwoEntriesThatAddUp) {
  CreateTreeTable({GetParam(), kura::icNone, true, 8});
  const int maximum = (GetParam() - 13) / 9;  // 5-byte keys and a slot number
  for (int i = 0; i <= maximum; ++i) Append(Numbered("C", i));
  Levels levels = SnapshotTree(table_, kura::kPrimaryIndexPos);
  ASSERT_EQ(levels.size(), 2u);
  const PageSnapshot& root = levels[0][0];
  EXPECT_EQ(root.type, kura::ptRoot);
  ASSERT_EQ(root.Entries(), 2);
  const int keys = maximum + 1;
  EXPECT_EQ(root.counts, (std::vector<int32_t>{keys - keys / 2, keys / 2}));
  EXPECT_EQ(root.keys[1], levels[1][1].keys[0]);

  for (int i = keys; i < 5 * maximum; ++i) Append(Numbered("C", i));
  levels = SnapshotTree(table_, kura::kPrimaryIndexPos);
  const std::vector<PageSnapshot>& leaves = levels.back();
  ASSERT_GT(leaves.size(), 4u);
  for (size_t i = 0; i + 1 < leaves.size(); ++i) {
    EXPECT_EQ(leaves[i].Entries(), keys - keys / 2) << "leaf " << i;
  }
  ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(PageSizes, AscendingInserts, testing::Values(1024, 16384));

// About ten entries to a page of 1024 bytes: three levels from a few hundred keys.
constexpr uint16_t kTenToAPage = 93;

TEST_F(IndexTreeTest, AKeyBelowAllOthersBecomesTheFirstKeyAlongTheLeftmostPath) {
  CreateTreeTable({1024, kura::icNone, true, kTenToAPage});
  for (int i = 0; i < 250; ++i) Append(Numbered("M", i));
  ASSERT_GE(SnapshotTree(table_, kByCode).size(), 3u);
  Append("A");
  const std::vector<uint8_t> smallest = CodeKey("A");
  Levels levels = SnapshotTree(table_, kByCode);
  for (size_t l = 0; l < levels.size(); ++l) {
    EXPECT_EQ(levels[l][0].keys[0], smallest) << "level " << l + 1;
  }
  ExpectClean();
}

TEST_F(IndexTreeTest, DeletingTheFirstEntryOfALeafGivesItsParentEntryTheNewFirstKey) {
  CreateTreeTable({1024, kura::icNone, true, kTenToAPage});
  for (int i = 0; i < 250; ++i) Append(Numbered("M", i));
  Levels levels = SnapshotTree(table_, kByCode);
  const size_t leaf_level = levels.size() - 1;
  const PageSnapshot leaf = levels[leaf_level][3];
  keyed_->Delete(leaf.numbers[0]);

  levels = SnapshotTree(table_, kByCode);
  auto [parent, k] = ParentOf(levels, leaf_level, leaf.number);
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->keys[k - 1], leaf.keys[1]);
  ExpectClean();
}

// An internal page that drops below half its capacity: the first child of its parent works with
// its right sibling, any other with its left one; a sibling with room takes it in, a fuller one
// gives it entries until it holds the smaller half of their joint entries.
struct UnderflowCase {
  const char* name;
  bool first_child;
  bool sibling_has_room;
};

class InternalUnderflow : public IndexTreeTest, public testing::WithParamInterface<UnderflowCase> {};

TEST_P(InternalUnderflow, MergesIntoASiblingWithRoomOrBorrowsFromAFullerOne) {
  const UnderflowCase& c = GetParam();
  CreateTreeTable({1024, kura::icNone, true, kTenToAPage});
  for (int i = 0; i < 300; ++i) Append(Numbered("M", i));
  Levels levels = SnapshotTree(table_, kByCode);
  ASSERT_EQ(levels.size(), 3u);
  ASSERT_GE(levels[0][0].Entries(), 4);
  const size_t target_index = c.first_child ? 0 : 2;
  const PageSnapshot target = levels[1][target_index];
  const int32_t sibling_number = levels[1][1].number;  // right of the first, left of the third
  const int maximum = target.maximum_keys;
  ASSERT_GE(target.Entries(), maximum / 2);

  if (c.sibling_has_room) {
    // One leaf fewer below the sibling leaves it at half its capacity or just above.
    const PageSnapshot sibling = SnapshotPage(table_, kByCode, sibling_number);
    DeleteSlots(SlotsBelow(SnapshotPage(table_, kByCode, sibling.numbers.back())));
  }
  // Remove whole leaves below the target until it is one short of half its capacity.
  PageSnapshot now = SnapshotPage(table_, kByCode, target.number);
  while (now.Entries() > maximum / 2) {
    DeleteSlots(SlotsBelow(SnapshotPage(table_, kByCode, now.numbers.back())));
    now = SnapshotPage(table_, kByCode, target.number);
  }
  const int sibling_entries = SnapshotPage(table_, kByCode, sibling_number).Entries();
  const int root_entries = SnapshotPage(table_, kByCode, levels[0][0].number).Entries();
  DeleteSlots(SlotsBelow(SnapshotPage(table_, kByCode, now.numbers.back())));
  const int target_entries = now.Entries() - 1;
  ASSERT_EQ(target_entries + sibling_entries < maximum, c.sibling_has_room);

  levels = SnapshotTree(table_, kByCode);
  const PageSnapshot& root = levels[0][0];
  std::vector<int32_t> level2;
  for (const PageSnapshot& p : levels[1]) level2.push_back(p.number);
  const bool target_left = std::find(level2.begin(), level2.end(), target.number) != level2.end();
  if (c.sibling_has_room) {
    EXPECT_FALSE(target_left);
    EXPECT_EQ(root.Entries(), root_entries - 1);
    EXPECT_EQ(SnapshotPage(table_, kByCode, sibling_number).Entries(),
              target_entries + sibling_entries);
  } else {
    ASSERT_TRUE(target_left);
    EXPECT_EQ(root.Entries(), root_entries);
    const int total = target_entries + sibling_entries;
    EXPECT_EQ(SnapshotPage(table_, kByCode, target.number).Entries(), total / 2);
    EXPECT_EQ(SnapshotPage(table_, kByCode, sibling_number).Entries(), total - total / 2);
  }
  ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Siblings, InternalUnderflow,
    testing::Values(UnderflowCase{"FirstChildMergesIntoItsRightSibling", true, true},
                    UnderflowCase{"FirstChildBorrowsFromItsRightSibling", true, false},
                    UnderflowCase{"LaterChildMergesIntoItsLeftSibling", false, true},
                    UnderflowCase{"LaterChildBorrowsFromItsLeftSibling", false, false}),
    [](const testing::TestParamInfo<UnderflowCase>& info) { return info.param.name; });

// Halving a compressed leaf by count can leave one half too large when a few long keys that
// hardly compress sit together with many short ones.
struct CompressedSplitCase {
  const char* name;
  uint8_t compression;
  bool long_keys_first;
};

class CompressedLeafSplit : public IndexTreeTest,
                            public testing::WithParamInterface<CompressedSplitCase> {};

TEST_P(CompressedLeafSplit, MovesEntriesAcrossUntilBothHalvesFit) {
  const CompressedSplitCase& c = GetParam();
  CreateTreeTable({1024, c.compression, true, 250});
  auto long_code = [](char first, char fill) { return std::string(1, first) + std::string(240, fill); };
  const char long_first = c.long_keys_first ? 'A' : 'Z';
  for (char fill : {'P', 'Q', 'R'}) Append(long_code(long_first, fill));
  for (int i = 0; i < 20; ++i) Append(Numbered("M", i));
  Levels before = SnapshotTree(table_, kByCode);
  ASSERT_EQ(before.size(), 1u) << "the leaf root split too early";
  const int n = before[0][0].Entries() + 1;
  Append(long_code(long_first, 'S'));

  Levels after = SnapshotTree(table_, kByCode);
  ASSERT_EQ(after.size(), 2u);
  ASSERT_EQ(after[1].size(), 2u);
  const PageSnapshot& left = after[1][0];
  const PageSnapshot& right = after[1][1];
  EXPECT_LE(left.compressed_size, 1011u);
  EXPECT_LE(right.compressed_size, 1011u);
  EXPECT_EQ(left.Entries() + right.Entries(), n);
  EXPECT_NE(left.Entries(), n - n / 2) << "the halves were not rebalanced";
  ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CompressedLeafSplit,
    testing::Values(CompressedSplitCase{"TrailingLongKeysLast", kura::icTrailingByte, false},
                    CompressedSplitCase{"TrailingLongKeysFirst", kura::icTrailingByte, true},
                    CompressedSplitCase{"FullLongKeysLast", kura::icFull, false},
                    CompressedSplitCase{"FullLongKeysFirst", kura::icFull, true}),
    [](const testing::TestParamInfo<CompressedSplitCase>& info) { return info.param.name; });

TEST_F(IndexTreeTest, AFreedPageIsTakenByTheNextAllocationOfAnyIndexBeforeTheFileGrows) {
  CreateTreeTable({});
  std::vector<int32_t> slots;
  for (int i = 0; i < 200; ++i) slots.push_back(Append(Numbered("F", i)));
  for (int i = 100; i < 200; ++i) keyed_->Delete(slots[static_cast<size_t>(i)]);
  const std::vector<int32_t> free = FreePageChain(table_);
  ASSERT_FALSE(free.empty());
  const int32_t pages = table_->IndexFile()->IOBlocksUsed();

  std::vector<kura::TPage*> taken;
  Locked([&] {
    std::unique_ptr<kura::TIndexTree> tree = keyed_->Tree(kByNum);
    for (size_t i = 0; i <= free.size(); ++i) taken.push_back(tree->AllocatePage());
    for (size_t i = 0; i < free.size(); ++i) {
      EXPECT_EQ(taken[i]->Number(), free[i]);
      EXPECT_EQ(taken[i]->NumberOfKeys(), 0);
    }
    EXPECT_EQ(taken.back()->Number(), pages + 1);
    EXPECT_EQ(table_->IndexFile()->IOBlocksUsed(), pages + 1);
    // Given back, the pages form the chain again, so that the table stays whole.
    for (kura::TPage* page : taken) {
      tree->RecyclePage(page);
      table_->PutPage(page);
    }
  });
  EXPECT_EQ(FreePageChain(table_).size(), free.size() + 1);
  ExpectClean();
}

TEST_F(IndexTreeTest, KeyViolationsNameTheIndexAndChangeNothing) {
  CreateTreeTable({1024, kura::icNone, true, kTenToAPage});
  std::vector<int32_t> slots;
  for (int i = 0; i < 40; ++i) slots.push_back(Append(Numbered("K", i)));
  const std::vector<uint8_t> existing = CodeKey(Numbered("K", 17));
  std::vector<uint8_t> primary_key = keyed_->KeyOf(kura::kPrimaryIndexPos, keyed_->Read(slots[5]));

  struct Case {
    const char* what;
    const char* index_name;
    std::function<void()> body;
  };
  const std::vector<Case> cases = {
      {"an existing key inserted", "ByCode",
       [&] { keyed_->Tree(kByCode)->InsertIndexKey(existing.data(), 99); }},
      {"an existing record ID inserted", "Primary",
       [&] { keyed_->Tree(kura::kPrimaryIndexPos)->InsertIndexKey(primary_key.data(), 99); }},
      {"a key changed into an existing one", "ByCode",
       [&] {
         std::vector<uint8_t> old = CodeKey(Numbered("K", 3));
         keyed_->Tree(kByCode)->ChangeIndexKey(old.data(), existing.data(), slots[3]);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<LeafEntry> before = LeafChain(table_, kByCode);
    const Levels shape = SnapshotTree(table_, kByCode);
    Locked([&] {
      try {
        c.body();
        ADD_FAILURE() << "no error";
      } catch (const kura::EKuraEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), kura::KURA_KEYVIOL);
        EXPECT_EQ(e.ErrorIndexName(), c.index_name);
        EXPECT_EQ(e.ErrorTableName(), "Tree");
      }
    });
    EXPECT_EQ(LeafChain(table_, kByCode), before);
    EXPECT_EQ(SnapshotTree(table_, kByCode)[0][0].counts, shape[0][0].counts);
    ExpectClean();
  }
}

TEST_F(IndexTreeTest, DeletingOrChangingAKeyThatIsNotThereIsReportedAsCorruption) {
  CreateTreeTable({1024, kura::icNone, false, kTenToAPage});
  const std::vector<uint8_t> absent = keyed_->KeyOf(kByCode, Record("ABSENT", 0));
  const std::vector<uint8_t> other = keyed_->KeyOf(kByCode, Record("OTHER", 0));
  struct Case {
    const char* what;
    bool empty_index;
    std::function<void(kura::TIndexTree&)> body;
  };
  const std::vector<Case> cases = {
      {"delete from an empty index", true, [&](kura::TIndexTree& t) { t.DeleteIndexKey(absent.data()); }},
      {"delete a missing key", false, [&](kura::TIndexTree& t) { t.DeleteIndexKey(absent.data()); }},
      {"change a missing key", false,
       [&](kura::TIndexTree& t) { t.ChangeIndexKey(absent.data(), other.data(), 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.empty_index && table_->IndexFile()->GetRootPageNumber(kByCode) == 0) {
      for (int i = 0; i < 30; ++i) Append(Numbered("D", i));
    }
    const std::vector<LeafEntry> before = LeafChain(table_, kByCode);
    uint16_t code = 0;
    Locked([&] { code = EngineErrorOf([&] { c.body(*keyed_->Tree(kByCode)); }); });
    EXPECT_EQ(code, kura::KURA_INDEXCORRUPT);
    EXPECT_EQ(LeafChain(table_, kByCode), before);
    ExpectClean();
  }
}

}  // namespace
