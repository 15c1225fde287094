// The table checker on a sound table (nothing to report) and on tables damaged by code in each
// way it checks: it must name the place of the damage, and it must end on every damage.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/byte_order.h"
#include "engine/core/text_index_words.h"
#include "engine/format/index_key.h"
#include "engine/format/index_page.h"
#include "engine/format/text_index_splitter.h"
#include "engine/format/record.h"
#include "engine/maint/table_checker.h"
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

// Codes that hardly compress: a number and letters that change from code to code.
std::string LongCode(int n) {
  std::string code = Coded("C", n);
  for (int k = 0; k < 80; ++k) code += static_cast<char>('A' + (n * 7919 + k * 31) % 26);
  return code;
}

std::string Problems(const kura::TTableCheckResult& result) {
  std::ostringstream text;
  for (const kura::TTableProblem& p : result.Problems) text << p.Place << ": " << p.Message << "\n";
  return text.str();
}

class TableCheckerTest : public TreeTableFixture {
 public:
  // A three-level ByCode tree with compressed leaves, deleted slots on the free-slot chain and
  // freed pages on the free-page chain.
  void MakeTable() {
    CreateTreeTable({1024, kura::icFull, true, 93});
    for (int i = 0; i < 200; ++i) slots_.push_back(Append(LongCode(i)));
    for (int i = 100; i < 130; ++i) keyed_->Delete(slots_[static_cast<size_t>(i)]);
    levels_ = SnapshotTree(table_, kByCode);
  }

  // Runs `body` under the table write lock and writes back what it changed.
  void Locked(const std::function<void()>& body) {
    table_->WriteLockTable();
    body();
    table_->FlushBuffers(false, true, true, false, false);
    table_->WriteUnlockTable();
  }

  void ChangePage(int32_t number, const std::function<void(kura::TPage*)>& change) {
    Locked([&] {
      kura::TPage* page = nullptr;
      table_->GetPage(nullptr, kByCode, number, &page);
      change(page);
      table_->PutPage(page);
    });
  }

  void ChangeRecord(int32_t slot, const std::function<void(kura::TRecord*)>& change) {
    Locked([&] {
      kura::TRecord* record = nullptr;
      table_->GetRecord(nullptr, slot, false, 0, &record);
      change(record);
      table_->PutRecord(record);
    });
  }

  // Rewrites bytes of a file of the table on disk.
  void PatchFile(const std::string& extension, int64_t offset, const std::string& bytes) {
    std::string path = dir_.NativePath("Tree" + extension);
    std::string content = ReadNativeFile(path);
    content.replace(static_cast<size_t>(offset), bytes.size(), bytes);
    WriteNativeFile(path, content);
  }
  void ResizeFile(const std::string& extension, int64_t change) {
    std::string path = dir_.NativePath("Tree" + extension);
    std::string content = ReadNativeFile(path);
    content.resize(static_cast<size_t>(static_cast<int64_t>(content.size()) + change), '\0');
    WriteNativeFile(path, content);
  }
  static int64_t PageOffset(int32_t number) { return 25088 + int64_t{number - 1} * 1024; }

  // Opens the table again without the header checks of an ordinary open, as the tool does.
  void ReopenUnchecked() {
    keyed_.reset();
    CloseTable(directory_, table_);
    table_ = directory_->OpenDataTable("Tree", "", false, false, false, false, false, false);
    keyed_ = std::make_unique<KeyedTable>(table_);
  }

  kura::TDataTable* table() const { return table_; }
  KeyedTable& keyed() const { return *keyed_; }
  std::vector<uint8_t> MakeRecord(const std::string& code) const { return Record(code, 0); }

  const PageSnapshot& Root() const { return levels_[0][0]; }
  const std::vector<PageSnapshot>& Leaves() const { return levels_.back(); }
  int32_t LiveSlot(int i) const { return slots_[static_cast<size_t>(i)]; }
  int32_t DeletedSlot() const { return slots_[110]; }

  std::vector<int32_t> slots_;
  Levels levels_;
};

TEST_F(TableCheckerTest, FindsNothingInASoundTable) {
  MakeTable();
  ASSERT_EQ(levels_.size(), 3u);
  ASSERT_FALSE(FreePageChain(table_).empty());
  kura::TTableCheckResult result = CheckTable(table_);
  EXPECT_TRUE(result.Clean()) << Problems(result);
}

struct Damage {
  const char* name;
  std::function<void(TableCheckerTest&)> apply;
  const char* place;    // a part of the place reported
  const char* message;  // a part of what is said about it
};

const Damage kDamages[] = {
    {"RecordCountOffByOne",
     [](TableCheckerTest& t) {
       t.Locked([&] { t.table()->DataFile()->SetRecordCount(t.table()->DataFile()->RecordCount() + 1); });
     },
     "data header", "RecordCount is 171 but 170 records are live"},
    {"FreeSlotChainHeadIsLive",
     [](TableCheckerTest& t) { t.Locked([&] { t.table()->DataFile()->SetNextFreeRecord(t.LiveSlot(3)); }); },
     "record 4", "on the free-slot chain but not deleted"},
    {"FreeSlotChainCycle",
     [](TableCheckerTest& t) {
       t.ChangeRecord(t.DeletedSlot(), [&](kura::TRecord* r) { r->SetNextFreeNumber(r->Number()); });
     },
     "record 111", "the free-slot chain returns to record 111 (a cycle)"},
    {"DeletedSlotsOffTheChain",
     [](TableCheckerTest& t) { t.Locked([&] { t.table()->DataFile()->SetNextFreeRecord(0); }); },
     "record 101", "deleted but not on the free-slot chain"},
    {"UnknownRecordStatus",
     [](TableCheckerTest& t) { t.ChangeRecord(t.LiveSlot(7), [](kura::TRecord* r) { r->SetStatus(7); }); },
     "record 8", "has the status 7"},
    {"EntryOfADeletedRecord",
     [](TableCheckerTest& t) {
       t.ChangeRecord(t.LiveSlot(7), [&](kura::TRecord* r) {
         kura::FreeRecordSlot(t.table()->DataFile(), r, false);
         t.table()->DataFile()->DecRecordCount();
       });
     },
     "index 'ByCode', page", "refers to record 8, which is not live"},
    {"RecordChangedBehindTheIndex",
     [](TableCheckerTest& t) {
       t.ChangeRecord(t.LiveSlot(9), [&](kura::TRecord* r) {
         std::vector<uint8_t> image = t.MakeRecord("CHANGED");
         std::memcpy(image.data(), r->Data(), 25);
         r->CopyBuffer(image.data());
       });
     },
     "index 'ByCode', page", "is not the key of record 10"},
    {"RecordMissingFromAnIndex",
     [](TableCheckerTest& t) {
       t.Locked([&] {
         std::vector<uint8_t> key = t.keyed().KeyOf(kByCode, t.keyed().Read(t.LiveSlot(11)));
         t.keyed().Tree(kByCode)->DeleteIndexKey(key.data());
       });
     },
     "record 12", "has no key in the index 'ByCode'"},
    {"RootOfAnInternalPageType",
     [](TableCheckerTest& t) { t.ChangePage(t.Root().number, [](kura::TPage* p) { p->SetPageType(kura::ptInternal); }); },
     "index 'ByCode', page", "has type 1 as the root"},
    {"LowerKeyCountOffByOne",
     [](TableCheckerTest& t) { t.ChangePage(t.Root().number, [](kura::TPage* p) { p->IncLowerKeyCount(1); }); },
     "entry 1", "its lower key count is"},
    {"LeftLinkCut",
     [](TableCheckerTest& t) { t.ChangePage(t.Leaves()[1].number, [](kura::TPage* p) { p->SetLeftNumber(0); }); },
     "index 'ByCode', page", "its LeftNumber is 0 but the page before it on level 3"},
    {"RightLinkAtTheEndOfALevel",
     [](TableCheckerTest& t) {
       int32_t first = t.Leaves().front().number;
       t.ChangePage(t.Leaves().back().number, [&](kura::TPage* p) { p->SetRightNumber(first); });
     },
     "index 'ByCode', page", "at the end of level 3"},
    {"InternalKeyNotTheFirstKeyBelow",
     [](TableCheckerTest& t) {
       std::vector<uint8_t> key = t.levels_[1][1].keys[1];
       t.ChangePage(t.Root().number, [&](kura::TPage* p) { p->UpdateKey(key.data(), 2); });
     },
     "index 'ByCode', page", "differs from its entry in index 'ByCode'"},
    {"KeysOutOfOrder",
     [](TableCheckerTest& t) {
       const PageSnapshot& leaf = t.Leaves()[2];
       t.ChangePage(leaf.number, [&](kura::TPage* p) {
         p->UpdateKey(leaf.keys[1].data(), 1);
         p->UpdateKey(leaf.keys[0].data(), 2);
       });
     },
     "entry 2", "its key is not above the key before it"},
    {"CompressedSizeWrong",
     [](TableCheckerTest& t) {
       std::string size(2, '\0');
       kura::PutU16(reinterpret_cast<uint8_t*>(size.data()), t.Leaves()[0].compressed_size + 1);
       t.PatchFile(".idx", t.PageOffset(t.Leaves()[0].number) + 11, size);
     },
     "index 'ByCode', page", "its CompressedSize is"},
    {"PageBytesThatCannotBeAPage",
     [](TableCheckerTest& t) { t.PatchFile(".idx", t.PageOffset(t.Leaves()[0].number) + 1, "\xff\xff"); },
     "index 'ByCode', page", "is not a valid page of this index"},
    {"ChildReachedTwice",
     [](TableCheckerTest& t) {
       int32_t first = t.Root().numbers[0];
       t.ChangePage(t.Root().number, [&](kura::TPage* p) { p->SetRecordNumber(2, first); });
     },
     "entry 2", "which is reached already from index 'ByCode'"},
    {"ChildOutsideTheFile",
     [](TableCheckerTest& t) {
       int32_t past = t.table()->IndexFile()->IOBlocksUsed() + 1;
       t.ChangePage(t.Root().number, [&](kura::TPage* p) { p->SetRecordNumber(1, past); });
     },
     "entry 1", "outside the index file"},
    {"EmptyInternalPage",
     [](TableCheckerTest& t) { t.ChangePage(t.levels_[1][1].number, [](kura::TPage* p) { p->ClearKeys(); }); },
     "index 'ByCode', page", "holds no entries"},
    {"LeavesOnTwoLevels",
     [](TableCheckerTest& t) {
       int32_t leaf = t.Leaves()[0].number;
       t.ChangePage(t.Root().number, [&](kura::TPage* p) { p->SetRecordNumber(1, leaf); });
     },
     "index 'ByCode', page", "is a leaf on level 3 but the first leaf is on level 2"},
    {"TreeDeeperThan64Levels",
     [](TableCheckerTest& t) {
       t.Locked([&] {
         // A chain of single-entry pages on top of the root.
         std::unique_ptr<kura::TIndexTree> tree = t.keyed().Tree(kByCode);
         int32_t below = t.Root().number;
         for (int i = 0; i < 64; ++i) {
           kura::TPage* page = tree->AllocatePage();
           page->SetPageType(kura::ptRoot);
           int slot = 0;
           page->InsertKey(t.Root().keys[0].data(), &slot);
           page->SetRecordNumber(slot, below);
           page->SetLowerKeyCount(slot, static_cast<int32_t>(t.Root().Total()));
           below = page->Number();
           t.table()->PutPage(page);
         }
         t.table()->IndexFile()->SetRootPageNumber(kByCode, below);
       });
     },
     "index 'ByCode', page", "deeper than an index may be"},
    {"FreePageChainCycle",
     [](TableCheckerTest& t) {
       int32_t head = t.table()->IndexFile()->Header().NextFreePage;
       t.ChangePage(head, [&](kura::TPage* p) { p->SetRightNumber(head); });
     },
     "page", "the free-page chain returns to page"},
    {"FreePageChainIntoATree",
     [](TableCheckerTest& t) { t.Locked([&] { t.table()->IndexFile()->SetNextFreePageNumber(t.Leaves()[4].number); }); },
     "page", "is on the free-page chain but belongs to index 'ByCode'"},
    {"PagesLost",
     [](TableCheckerTest& t) { t.Locked([&] { t.table()->IndexFile()->SetNextFreePageNumber(0); }); },
     "page", "is in no index and not on the free-page chain"},
    {"IndexFileLongerThanItsPages",
     [](TableCheckerTest& t) { t.ResizeFile(".idx", 1024); },
     "index header", "NextEndingPage is"},
    {"DataFileShorterThanItsSlots",
     [](TableCheckerTest& t) { t.ResizeFile(".dat", -int64_t{t.table()->DataFile()->RecordLength()}); },
     "data header", "NextEndingRecord is 201 but the file holds 199 record slots"},
    {"FieldDefinitionsDamaged",
     [](TableCheckerTest& t) {
       // The second field takes the first one's name.
       t.PatchFile(".dat", 512 + 768 + 2, std::string("\x04" "Code", 5));
       t.ReopenUnchecked();
     },
     "data header", "corrupt"},
    {"KeySizeDisagreesWithTheKeyFields",
     [](TableCheckerTest& t) {
       t.PatchFile(".idx", 512 + 768 * kByCode + 61, std::string("\x20\x00", 2));
       t.ReopenUnchecked();
     },
     "index 'ByCode'", "its key size is 32 but its key fields make"},
};

class TableCheckerDamage : public TableCheckerTest, public testing::WithParamInterface<Damage> {};

TEST_P(TableCheckerDamage, ReportsThePlace) {
  MakeTable();
  ASSERT_TRUE(CheckTable(table_).Clean());
  GetParam().apply(*this);
  kura::TTableCheckResult result = CheckTable(table_);
  EXPECT_FALSE(result.Clean());
  bool found = false;
  for (const kura::TTableProblem& p : result.Problems) {
    found = found || (p.Place.find(GetParam().place) != std::string::npos &&
                      p.Message.find(GetParam().message) != std::string::npos);
  }
  EXPECT_TRUE(found) << Problems(result);
}

INSTANTIATE_TEST_SUITE_P(Damages, TableCheckerDamage, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

}  // namespace

// The text index: entries of live records, with their record ID, for the words of a
// text-indexed string field, and every such word with its entry.
class TextIndexCheck : public SessionFixture {
 protected:
  void SetUp() override {
    kura::TTableDescription d;
    d.Fields = {MakeField("Note", kura::dtString, 0, 60), MakeField("Num", kura::dtInteger)};
    d.TextIndexFields = {"Note"};
    d.IndexPageSize = 1024;
    kura::CreateTable(&engine_, dir_.engine(), "Text", d);
    directory_ = OpenDirectory();
    table_ = OpenTable(directory_, "Text");
    keyed_ = std::make_unique<KeyedTable>(table_);
    const kura::TIndexDefinition& text = *table_->IndexFile()->GetIndexDefinition(kura::kTextIndexPos);
    ASSERT_EQ(kura::TIndexKeyLayout::Build(text, kura::kTextIndexPos, table_->DataFile()->RecordFormat(),
                                           &layout_).code,
              0);
    index_ = kura::IndexTreeIndexOf(kura::kTextIndexPos, text.IndexName, layout_);
    for (const char* note : {"the cat, the CAT and dogs", "red fish", "blue fish two"}) {
      RecordBuilder b(table_->DataFile()->FieldDefinitions(), table_->DataFile()->RecordLength());
      b.SetText(1, note);
      int32_t slot = keyed_->Append(b.bytes());
      for (const std::string& word : kura::SplitTextIndexWords(note, kura::DefaultTextIndexParams(), 0)) {
        Insert(WordKey(word, IdOf(slot)), slot);
      }
    }
  }

  int32_t IdOf(int32_t slot) {
    std::vector<uint8_t> image = keyed_->Read(slot);
    return kura::GetI32(image.data() + kura::kRecordIDOffset);
  }
  static std::vector<uint8_t> WordKey(const std::string& word, int32_t id) {
    std::vector<uint8_t> key(kura::kTextIndexKeySize, 0);
    kura::BuildTextIndexKey(1, word, id, 0, key.data());
    return key;
  }
  kura::TIndexTree Tree() {
    return kura::TIndexTree(table_, nullptr, index_, {&parents_, &counters_, &level_});
  }
  void Insert(const std::vector<uint8_t>& key, int32_t slot) {
    table_->WriteLockTable();
    Tree().InsertIndexKey(key.data(), slot);
    table_->FlushBuffers(false, true, true, false, false);
    table_->WriteUnlockTable();
  }
  void Remove(const std::vector<uint8_t>& key) {
    table_->WriteLockTable();
    Tree().DeleteIndexKey(key.data());
    table_->FlushBuffers(false, true, true, false, false);
    table_->WriteUnlockTable();
  }

  kura::TDataDirectory* directory_ = nullptr;
  kura::TDataTable* table_ = nullptr;
  std::unique_ptr<KeyedTable> keyed_;
  kura::TIndexKeyLayout layout_;
  kura::TIndexTreeIndex index_;
  kura::TIndexLevels parents_{}, counters_{};
  uint8_t level_ = 0;
};

TEST_F(TextIndexCheck, WantsExactlyTheWordsOfEveryRecord) {
  kura::TTableCheckResult sound = CheckTable(table_);
  ASSERT_TRUE(sound.Clean()) << Problems(sound);

  struct Case {
    const char* what;
    std::function<void()> damage;
    std::function<void()> repair;
    const char* message;
  };
  const int32_t id = IdOf(2);
  const std::vector<Case> cases = {
      {"a word without its key", [&] { Remove(WordKey("RED", id)); },
       [&] { Insert(WordKey("RED", id), 2); }, "the word 'RED' of the record with ID 2 has no key"},
      {"a key of a word the record does not have", [&] { Insert(WordKey("GREEN", id), 2); },
       [&] { Remove(WordKey("GREEN", id)); }, "the word 'GREEN' is not a word of field 1 of record 2"},
      {"a key with another record's ID", [&] { Insert(WordKey("RED", id + 5), 2); },
       [&] { Remove(WordKey("RED", id + 5)); }, "its record ID is not the ID of record 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.damage();
    kura::TTableCheckResult result = CheckTable(table_);
    bool found = false;
    for (const kura::TTableProblem& p : result.Problems) {
      found = found || p.Message.find(c.message) != std::string::npos;
    }
    EXPECT_TRUE(found) << Problems(result);
    c.repair();
    EXPECT_TRUE(CheckTable(table_).Clean());
  }
}
