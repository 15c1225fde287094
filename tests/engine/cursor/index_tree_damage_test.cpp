// Damaged trees: every way the upkeep can meet a broken tree ends in KURA_INDEXCORRUPT, without
// looping and without growing the file.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/error_codes.h"
#include "engine/format/index_page.h"
#include "tests/support/tree_snapshot.h"
#include "tests/support/tree_table.h"

namespace {

using namespace kura_test;
using Levels = std::vector<std::vector<PageSnapshot>>;

std::string Coded(const char* prefix, int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%s%04d", prefix, n);
  return text;
}
std::string Numbered(int n) { return Coded("N", n); }

struct DamageCase {
  const char* name;
  // Changes the tree of ByCode (under the write lock, through the cache; written back after).
  std::function<void(kura::TDataTable*, const Levels&)> damage;
  // What meets the damage; `key` gives the ByCode key of a code.
  std::function<void(kura::TIndexTree&, const std::function<std::vector<uint8_t>(std::string)>& key)>
      operation;
};

kura::TPage* Fetch(kura::TDataTable* table, int32_t number) {
  kura::TPage* page = nullptr;
  table->GetPage(nullptr, kByCode, number, &page);
  return page;
}

// Changes one page of ByCode.
void Change(kura::TDataTable* table, int32_t number, const std::function<void(kura::TPage*)>& f) {
  kura::TPage* page = Fetch(table, number);
  f(page);
  table->PutPage(page);
}

using KeyFn = std::function<std::vector<uint8_t>(std::string)>;

const DamageCase kCases[] = {
    {"RootOfAnInternalPageType",
     [](kura::TDataTable* t, const Levels& l) {
       Change(t, l[0][0].number, [](kura::TPage* p) { p->SetPageType(kura::ptInternal); });
     },
     [](kura::TIndexTree& tree, const KeyFn& key) { tree.KeyExists(key("").data()); }},
    {"RootNumberPastTheEndOfTheFile",
     [](kura::TDataTable* t, const Levels&) {
       t->IndexFile()->SetRootPageNumber(kByCode, t->IndexFile()->IOBlocksUsed() + 1);
     },
     [](kura::TIndexTree& tree, const KeyFn& key) {
       tree.InsertIndexKey(key("A").data(), 1);
     }},
    {"ChildNumberJustPastTheEndOfTheFile",
     [](kura::TDataTable* t, const Levels& l) {
       int32_t past = t->IndexFile()->IOBlocksUsed() + 1;
       Change(t, l[0][0].number, [&](kura::TPage* p) { p->SetRecordNumber(1, past); });
     },
     [](kura::TIndexTree& tree, const KeyFn& key) {
       tree.InsertIndexKey(key("A").data(), 1);
     }},
    {"EmptyInternalPageOnTheWayDown",
     [](kura::TDataTable* t, const Levels& l) {
       Change(t, l[1][0].number, [](kura::TPage* p) { p->ClearKeys(); });
     },
     [](kura::TIndexTree& tree, const KeyFn& key) {
       tree.DeleteIndexKey(key(Numbered(0)).data());
     }},
    {"InternalPageThatIsItsOwnChild",
     [](kura::TDataTable* t, const Levels& l) {
       int32_t self = l[1][0].number;
       Change(t, self, [&](kura::TPage* p) { p->SetRecordNumber(1, self); });
     },
     [](kura::TIndexTree& tree, const KeyFn& key) {
       tree.InsertIndexKey(key("A").data(), 1);
     }},
    {"ChildThatIsTheRoot",
     [](kura::TDataTable* t, const Levels& l) {
       int32_t root = l[0][0].number;
       Change(t, root, [&](kura::TPage* p) { p->SetRecordNumber(1, root); });
     },
     [](kura::TIndexTree& tree, const KeyFn& key) {
       tree.KeyExists(key("A").data());
     }},
    {"LeafWhoseRightNeighbourIsItself",
     [](kura::TDataTable* t, const Levels& l) {
       int32_t last = l.back().back().number;
       Change(t, last, [&](kura::TPage* p) { p->SetRightNumber(last); });
     },
     [](kura::TIndexTree& tree, const KeyFn& key) {
       // Ascending keys land in the last leaf until it splits.
       for (int i = 0; i < 40; ++i) tree.InsertIndexKey(key(Coded("Z", i)).data(), 1);
     }},
    {"FreePageChainHeadInUse",
     [](kura::TDataTable* t, const Levels& l) { t->IndexFile()->SetNextFreePageNumber(l[0][0].number); },
     [](kura::TIndexTree& tree, const KeyFn&) { tree.AllocatePage(); }},
};

class IndexTreeDamage : public TreeTableFixture, public testing::WithParamInterface<DamageCase> {
 protected:
  // About ten entries to a page: three levels.
  void MakeTree(const std::string& name) {
    CreateTreeTable({1024, kura::icNone, true, 93}, name);
    for (int i = 0; i < 150; ++i) Append(Numbered(i));
  }
  uint16_t RunOperation() {
    table_->WriteLockTable();
    std::unique_ptr<kura::TIndexTree> tree = keyed_->Tree(kByCode);
    const KeyFn key = [&](const std::string& code) { return keyed_->KeyOf(kByCode, Record(code, 0)); };
    uint16_t code = EngineErrorOf([&] { GetParam().operation(*tree, key); });
    table_->WriteUnlockTable();
    return code;
  }
};

TEST_P(IndexTreeDamage, EndsInIndexCorruptionWithoutGrowingTheFile) {
  // The operation itself is sound on a sound tree.
  MakeTree("Sound");
  ASSERT_EQ(RunOperation(), 0);

  MakeTree("Tree");
  const Levels levels = SnapshotTree(table_, kByCode);
  ASSERT_EQ(levels.size(), 3u);

  table_->WriteLockTable();
  GetParam().damage(table_, levels);
  table_->FlushBuffers(false, true, true, false, false);
  // Only what is on disk counts from here.
  table_->FreeBuffers(false, false, false);
  table_->WriteUnlockTable();

  const int32_t pages = table_->IndexFile()->IOBlocksUsed();
  EXPECT_EQ(RunOperation(), kura::KURA_INDEXCORRUPT);
  EXPECT_LE(table_->IndexFile()->IOBlocksUsed(), pages + 1);
}

INSTANTIATE_TEST_SUITE_P(Trees, IndexTreeDamage, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                           return info.param.name;
                         });

}  // namespace
