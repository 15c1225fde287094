// Long random runs of appends, changes and deletes against an ordered in-memory model, for every
// key compression, unique and non-unique keys, short to the longest keys and 1024- to
// 16384-byte pages. After every step the table checker must find nothing and each index's leaf
// chain must list exactly the model's keys in order; at the end every key is deleted and every
// page must be back on the free-page chain.
#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
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

enum class KeyLength { Short, Medium, Longest };

struct ModelCase {
  int32_t page_size;
  uint8_t compression;
  bool unique;
  KeyLength length;
};

std::string CaseName(const testing::TestParamInfo<ModelCase>& info) {
  const ModelCase& c = info.param;
  static const char* compressions[] = {"None", "Duplicate", "Trailing", "Full"};
  static const char* lengths[] = {"Short", "Medium", "Longest"};
  return "Page" + std::to_string(c.page_size) + compressions[c.compression] +
         (c.unique ? "Unique" : "NonUnique") + lengths[static_cast<int>(c.length)];
}

uint16_t KeySize(const ModelCase& c) {
  switch (c.length) {
    case KeyLength::Short:
      return c.unique ? 8 : 12;
    case KeyLength::Medium:
      // About ten entries to an internal page: deep trees, with borrowing and merging.
      return static_cast<uint16_t>((c.page_size - 13) / 10 - 8);
    case KeyLength::Longest:
      return LongestKey(c.page_size);
  }
  return 8;
}

class IndexTreeModel : public TreeTableFixture, public testing::WithParamInterface<ModelCase> {
 protected:
  // Codes with shared prefixes and trailing zero bytes (short texts in a long field), now and
  // then a long one that hardly compresses, so that compressed leaves fill unevenly.
  std::string RandomCode() {
    const uint16_t length = table_->DataFile()->FieldDefinitions()[0].Length;
    std::string code;
    if (random_() % 10 == 0 && length > 12) {
      size_t size = length / 2 + random_() % (length / 2 + 1);
      for (size_t i = 0; i < size; ++i) code += static_cast<char>('A' + random_() % 26);
      return code;
    }
    static const char* prefixes[] = {"", "K", "KA", "KAB", "Z", "ZZ9"};
    code = prefixes[random_() % 6];
    size_t digits = 1 + random_() % 4;
    for (size_t i = 0; i < digits; ++i) code += static_cast<char>('0' + random_() % 10);
    return code.substr(0, length);
  }

  // Mostly nothing, so that long keys end in zero bytes; now and then a text at the very end.
  std::string RandomPad() { return random_() % 4 == 0 ? RandomCode() : std::string(); }

  int32_t RandomNum() { return static_cast<int32_t>(random_() % 15) - 7; }

  int32_t RandomLive() {
    auto it = model_.begin();
    std::advance(it, static_cast<long>(random_() % model_.size()));
    return it->first;
  }

  // Whether a unique ByCode already holds the key of `image` for another slot.
  bool Collides(const std::vector<uint8_t>& image, int32_t except = 0) const {
    if (!GetParam().unique) return false;
    const std::vector<uint8_t> key = keyed_->KeyOf(kByCode, image);
    for (const auto& [slot, other] : model_) {
      if (slot != except && keyed_->KeyOf(kByCode, other) == key) return true;
    }
    return false;
  }

  void Step(int phase) {
    const unsigned roll = static_cast<unsigned>(random_() % 100);
    const unsigned insert_share = phase == 0 ? 70 : phase == 1 ? 40 : 0;
    const unsigned change_share = phase == 1 ? 30 : 0;
    if (model_.empty() || roll < insert_share) {
      std::vector<uint8_t> image = Record(RandomCode(), RandomNum(), RandomPad());
      if (Collides(image)) {
        EXPECT_EQ(EngineErrorOf([&] { keyed_->Append(image); }), kura::KURA_KEYVIOL);
        return;
      }
      int32_t slot = keyed_->Append(image);
      model_[slot] = keyed_->Read(slot);
    } else if (roll < insert_share + change_share) {
      int32_t slot = RandomLive();
      std::vector<uint8_t> image = model_[slot];
      image = random_() % 2 ? Record(RandomCode(), RandomNum(), RandomPad())
                            : Record(CodeOf(image), RandomNum());
      if (Collides(image, slot)) {
        EXPECT_EQ(EngineErrorOf([&] { keyed_->Modify(slot, image); }), kura::KURA_KEYVIOL);
        return;
      }
      keyed_->Modify(slot, image);
      model_[slot] = keyed_->Read(slot);
    } else {
      int32_t slot = RandomLive();
      keyed_->Delete(slot);
      model_.erase(slot);
    }
  }

  std::string CodeOf(const std::vector<uint8_t>& image) const {
    const kura::TFieldDefinition& code = table_->DataFile()->FieldDefinitions()[0];
    return std::string(reinterpret_cast<const char*>(image.data() + code.Offset + 1));
  }

  // Every index's leaf chain against the model in key order.
  void ExpectLeavesMatchModel() {
    for (int pos = 0; pos < keyed_->IndexCount(); ++pos) {
      std::vector<LeafEntry> expected;
      for (const auto& [slot, image] : model_) expected.push_back({keyed_->KeyOf(pos, image), slot});
      const kura::TIndexKeyLayout& layout = keyed_->Layout(pos);
      std::sort(expected.begin(), expected.end(), [&](const LeafEntry& a, const LeafEntry& b) {
        return layout.CompareKeys(a.key.data(), b.key.data(), layout.KeySize()) < 0;
      });
      ASSERT_EQ(LeafChain(table_, pos), expected) << "index position " << pos;
    }
  }

  void ExpectCheckerClean() {
    kura::TTableCheckResult result = CheckTable(table_);
    std::ostringstream problems;
    for (size_t i = 0; i < result.Problems.size() && i < 10; ++i) {
      problems << result.Problems[i].Place << ": " << result.Problems[i].Message << "\n";
    }
    ASSERT_TRUE(result.Clean()) << problems.str();
  }

  std::mt19937 random_;
  std::map<int32_t, std::vector<uint8_t>> model_;  // slot -> record image
};

TEST_P(IndexTreeModel, RandomUpdatesKeepEveryTreeSoundAndReturnEveryPageAtTheEnd) {
  const ModelCase& c = GetParam();
  CreateTreeTable({c.page_size, c.compression, c.unique, KeySize(c)});
  const uint32_t seed = static_cast<uint32_t>(std::hash<std::string>()(
      CaseName(testing::TestParamInfo<ModelCase>(c, 0))));
  random_.seed(seed);
  // Long keys make deep trees from few records; short ones need more to leave the root.
  const int grow = c.length == KeyLength::Longest ? 150 : 400;
  const int churn = c.length == KeyLength::Longest ? 150 : 300;
  for (int step = 0; step < grow + churn || !model_.empty(); ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
    Step(step < grow ? 0 : step < grow + churn ? 1 : 2);
    ASSERT_NO_FATAL_FAILURE(ExpectCheckerClean());
    ASSERT_NO_FATAL_FAILURE(ExpectLeavesMatchModel());
  }
  for (int pos = 0; pos < keyed_->IndexCount(); ++pos) {
    EXPECT_EQ(table_->IndexFile()->GetRootPageNumber(pos), 0);
  }
  EXPECT_EQ(static_cast<int32_t>(FreePageChain(table_).size()),
            table_->IndexFile()->IOBlocksUsed());
}

std::vector<ModelCase> AllCases() {
  std::vector<ModelCase> cases;
  for (int32_t page : {1024, 4096, 16384}) {
    for (uint8_t compression = 0; compression <= 3; ++compression) {
      for (bool unique : {true, false}) {
        for (KeyLength length : {KeyLength::Short, KeyLength::Medium, KeyLength::Longest}) {
          cases.push_back({page, compression, unique, length});
        }
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Shapes, IndexTreeModel, testing::ValuesIn(AllCases()), CaseName);

}  // namespace
