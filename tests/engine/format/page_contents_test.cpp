#include "engine/format/page_contents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/byte_order.h"

namespace kura {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kBufferSize4096 = 4096 - kPageHeaderSize;

TPageParameters Params(uint16_t key_size, bool unique, uint8_t compression,
                       bool no_statistics = false) {
  TPageParameters p;
  p.KeySize = key_size;
  p.KeyUnique = unique;
  p.KeyCompressionType = compression;
  p.NoKeyStatistics = no_statistics;
  return p;
}

// A raw page: header fields, then the data area.
Bytes RawPage(size_t buffer_size, uint8_t type, uint16_t count, const Bytes& data) {
  Bytes raw(kPageHeaderSize + buffer_size, 0);
  raw[0] = type;
  PutU16(raw.data() + 1, count);
  std::copy(data.begin(), data.end(), raw.begin() + kPageHeaderSize);
  return raw;
}

Bytes Pack(const TPageContents& page) {
  Bytes raw(kPageHeaderSize + page.BufferSize(), 0);
  EXPECT_TRUE(page.Pack(raw.data()));
  return raw;
}

Bytes DataArea(const Bytes& raw, size_t n) {
  return Bytes(raw.begin() + kPageHeaderSize, raw.begin() + kPageHeaderSize + n);
}

void Insert(TPageContents* page, const Bytes& key, int after, int32_t number) {
  int k = after;
  page->InsertKey(key.data(), &k);
  page->SetRecordNumber(k, number);
}

TEST(PageContentsTest, CapacityFollowsTheEntrySize) {
  struct Case {
    const char* name;
    uint8_t type;
    TPageParameters params;
    int maximum;
  };
  const Case cases[] = {
      {"internal with statistics", ptInternal, Params(30, true, icNone), 107},
      {"internal without statistics", ptRoot, Params(30, true, icNone, true), 120},
      {"external", ptExternal, Params(30, true, icNone), 120},
      {"compressed external keeps the uncompressed bound", ptRootExternal,
       Params(30, true, icFull), 120},
      {"parameter page", ptParameter, Params(30, true, icNone), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPageContents page(kBufferSize4096);
    page.Initialize(c.params);
    page.SetPageType(c.type);
    EXPECT_EQ(page.MaximumKeys(), c.maximum);
  }
}

TEST(PageContentsTest, DuplicateBytesOfTheSecondKeyAreNotStored) {
  TPageContents page(kBufferSize4096);
  page.Initialize(Params(12, true, icDuplicateByte));
  page.SetPageType(ptRootExternal);
  Bytes first{0x01, 0x41, 0x42, 0x43, 1, 2, 3, 4, 5, 6, 7, 8};
  Bytes second{0x01, 0x41, 0x42, 0x44, 9, 9, 9, 9, 9, 9, 9, 9};
  Insert(&page, first, 0, 7);
  Insert(&page, second, 1, 8);
  EXPECT_EQ(page.GetDuplicateCount(1), 0);
  EXPECT_EQ(page.GetDuplicateCount(2), 3);
  EXPECT_EQ(page.CompressedSize(), (12u + 5) + (12u - 3 + 5));

  Bytes raw = Pack(page);
  EXPECT_EQ(raw[0], ptRootExternal);
  EXPECT_EQ(GetU16(raw.data() + 1), 2);
  EXPECT_EQ(GetU16(raw.data() + 11), 31);
  Bytes expected{0, 0x01, 0x41, 0x42, 0x43, 1, 2, 3, 4, 5, 6, 7, 8, 7, 0, 0, 0,  //
                 3, 0x44, 9, 9, 9, 9, 9, 9, 9, 9, 8, 0, 0, 0};
  EXPECT_EQ(DataArea(raw, expected.size()), expected);
}

// In a non-unique index the trailing zero bytes are counted before the record-ID suffix, which
// is always stored.
TEST(PageContentsTest, TrailingZerosBeforeTheSuffixAreNotStored) {
  TPageContents page(kBufferSize4096);
  page.Initialize(Params(14, false, icTrailingByte));
  page.SetPageType(ptRootExternal);
  Bytes key{0x01, 'A', 'B', 'C', 'D', 0, 0, 0, 0, 0, 0x80, 0x00, 0x00, 0x2A};
  Insert(&page, key, 0, 3);
  EXPECT_EQ(page.GetTrailingCount(1), 5);
  EXPECT_EQ(page.CompressedSize(), 14u - 5 + 5);
  Bytes raw = Pack(page);
  Bytes expected{5, 0x01, 'A', 'B', 'C', 'D', 0x80, 0x00, 0x00, 0x2A, 3, 0, 0, 0};
  EXPECT_EQ(DataArea(raw, expected.size()), expected);

  TPageContents read(kBufferSize4096);
  read.Initialize(page.Parameters());
  ASSERT_TRUE(read.Unpack(raw.data()));
  EXPECT_EQ(Bytes(read.GetKey(1), read.GetKey(1) + 14), key);
  EXPECT_EQ(read.GetRecordNumber(1), 3);
}

// Internal entries are key, child and (with statistics) subtree count, never compressed.
TEST(PageContentsTest, InternalEntriesCarryChildAndCount) {
  for (bool no_statistics : {false, true}) {
    SCOPED_TRACE(no_statistics ? "without statistics" : "with statistics");
    TPageContents page(kBufferSize4096);
    page.Initialize(Params(3, true, icFull, no_statistics));
    page.SetPageType(ptRoot);
    Insert(&page, {1, 'A', 0}, 0, 11);
    page.SetLowerKeyCount(1, 40);
    Insert(&page, {1, 'B', 0}, 1, 12);
    page.SetLowerKeyCount(2, 2);
    EXPECT_EQ(page.CompressedSize(), 0u);
    Bytes raw = Pack(page);
    Bytes expected = no_statistics
                         ? Bytes{1, 'A', 0, 11, 0, 0, 0, 1, 'B', 0, 12, 0, 0, 0}
                         : Bytes{1, 'A', 0, 11, 0, 0, 0, 40, 0, 0, 0,
                                 1, 'B', 0, 12, 0, 0, 0, 2,  0, 0, 0};
    EXPECT_EQ(DataArea(raw, expected.size()), expected);
    EXPECT_EQ(GetU16(raw.data() + 11), 0);
    EXPECT_EQ(page.TotalLowerKeyCount(), no_statistics ? 0 : 42);
    EXPECT_EQ(page.GetPageKeyCount(2), no_statistics ? 0 : 40);
  }
}

TEST(PageContentsTest, LowerKeyCountsOfExternalAndEmptyPages) {
  TPageContents page(kBufferSize4096);
  page.Initialize(Params(3, true, icNone));
  page.SetPageType(ptExternal);
  EXPECT_EQ(page.GetLowerKeyCount(1), 0);
  EXPECT_EQ(page.GetRecordNumber(1), 0);
  for (int i = 0; i < 3; ++i) Insert(&page, {1, static_cast<uint8_t>('A' + i), 0}, i, 20 + i);
  page.SetLowerKeyCount(2, 99);
  page.IncLowerKeyCount(2);
  EXPECT_EQ(page.GetLowerKeyCount(2), 1);
  EXPECT_EQ(page.TotalLowerKeyCount(), 3);
  EXPECT_EQ(page.GetPageKeyCount(3), 2);

  int k = 3;
  page.DeleteKey(&k);
  EXPECT_EQ(k, 2);  // the counter moves to the new last entry
  k = 1;
  page.DeleteKey(&k);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(page.GetRecordNumber(1), 21);
}

TEST(PageContentsTest, EmptyPageWritesOnlyItsHeader) {
  TPageContents page(kBufferSize4096);
  page.Initialize(Params(5, true, icNone));
  page.SetPageType(ptExternal);
  page.SetRightNumber(9);
  Bytes raw(kPageHeaderSize + kBufferSize4096, 0xCD);
  ASSERT_TRUE(page.Pack(raw.data()));
  EXPECT_EQ(raw[0], ptExternal);
  EXPECT_EQ(GetU16(raw.data() + 1), 0);
  EXPECT_EQ(GetI32(raw.data() + 7), 9);
  EXPECT_TRUE(std::all_of(raw.begin() + kPageHeaderSize, raw.end(),
                          [](uint8_t b) { return b == 0xCD; }));
}

TEST(PageContentsTest, ParameterPageKeepsItsRawArea) {
  TPageContents page(1024 - kPageHeaderSize);
  page.Initialize(Params(68, false, icFull, true));
  page.SetPageType(ptParameter);
  page.AllocateBuffer();
  ASSERT_EQ(page.RawSize(), 1024 - kPageHeaderSize);
  for (size_t i = 0; i < page.RawSize(); ++i) page.RawData()[i] = static_cast<uint8_t>(i * 7);
  page.SetRightNumber(4);
  Bytes raw = Pack(page);

  TPageContents read(1024 - kPageHeaderSize);
  read.Initialize(page.Parameters());
  ASSERT_TRUE(read.Unpack(raw.data()));
  EXPECT_EQ(read.PageType(), ptParameter);
  EXPECT_EQ(read.RightNumber(), 4);
  EXPECT_TRUE(std::equal(read.RawData(), read.RawData() + read.RawSize(), page.RawData()));
}

TEST(PageContentsTest, ImpossiblePagesAreRefused) {
  const size_t buffer = 1024 - kPageHeaderSize;
  struct Case {
    const char* name;
    TPageParameters params;
    Bytes raw;
  };
  Bytes key68(68, 0x41);
  Bytes d200{0, 0};  // first entry: D 0, T 0, whole key, number
  d200.insert(d200.end(), key68.begin(), key68.end());
  d200.insert(d200.end(), {1, 0, 0, 0, 200, 0});
  const Case cases[] = {
      {"unknown page type", Params(5, true, icNone), RawPage(buffer, 5, 0, {})},
      {"more uncompressed keys than the page holds", Params(5, true, icNone),
       RawPage(buffer, ptExternal, static_cast<uint16_t>(buffer / 9 + 1), {})},
      {"more internal keys than the page holds", Params(5, true, icNone),
       RawPage(buffer, ptRoot, static_cast<uint16_t>(buffer / 13 + 1), {})},
      {"D of 200 with key size 68", Params(68, false, icFull), RawPage(buffer, ptExternal, 2, d200)},
      {"T beyond the key", Params(10, true, icTrailingByte),
       RawPage(buffer, ptExternal, 1, {11})},
      {"D and T together beyond the key", Params(10, true, icFull),
       RawPage(buffer, ptExternal, 2, {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 0, 0, 0, 6, 5})},
      {"T that leaves no room for the suffix", Params(10, false, icTrailingByte),
       RawPage(buffer, ptExternal, 1, {7})},
      {"compressed entries running past the data area", Params(10, true, icDuplicateByte),
       RawPage(buffer, ptExternal, 200, {})},
      {"keys in a page of an index without keys", Params(0, true, icNone),
       RawPage(buffer, ptExternal, 1, {})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPageContents page(buffer);
    page.Initialize(c.params);
    EXPECT_FALSE(page.Unpack(c.raw.data()));
    EXPECT_EQ(page.NumberOfKeys(), 0);
  }
}

TEST(PageContentsTest, OverflowOfACompressedPageIsByPackedSize) {
  TPageContents page(64);
  page.Initialize(Params(20, true, icFull));
  page.SetPageType(ptRootExternal);
  // Equal prefixes and trailing zeros keep entries small: more keys than MaximumKeys fit.
  Bytes key(20, 0);
  key[0] = 1;
  for (int i = 0; i < 6; ++i) {
    key[1] = static_cast<uint8_t>(i);
    Insert(&page, key, i, i);
  }
  EXPECT_GT(page.NumberOfKeys(), page.MaximumKeys());
  EXPECT_FALSE(page.PageDataOverflowed());
  std::fill(key.begin() + 2, key.end(), 0x55);
  Insert(&page, key, 6, 6);
  EXPECT_TRUE(page.PageDataOverflowed());
  Bytes raw(kPageHeaderSize + 64, 0);
  EXPECT_FALSE(page.Pack(raw.data()));  // never writes past the page
}

// ----- Randomised pages against a model of the compression rules -----

struct ModelEntry {
  Bytes key;
  int32_t number;
  int32_t count;
};

// D, T and the entry size written out from their definitions.
uint32_t ModelEntrySize(const TPageParameters& p, const std::vector<ModelEntry>& entries,
                        size_t i) {
  const Bytes& key = entries[i].key;
  const size_t n = p.KeySize;
  size_t d = 0;
  if ((p.KeyCompressionType == icDuplicateByte || p.KeyCompressionType == icFull) && i > 0) {
    const Bytes& prev = entries[i - 1].key;
    while (d < n && d < 254 && key[d] == prev[d]) ++d;
  }
  size_t t = 0;
  if (p.KeyCompressionType == icTrailingByte || p.KeyCompressionType == icFull) {
    size_t span = p.KeyUnique ? n - d : (n - d < 5 ? 0 : n - d - 4);
    size_t last = p.KeyUnique ? n : n - 4;
    while (t < span && t < 254 && key[last - 1 - t] == 0) ++t;
  }
  switch (p.KeyCompressionType) {
    case icDuplicateByte:
      return static_cast<uint32_t>(n - d + 5);
    case icTrailingByte:
      return static_cast<uint32_t>(n - t + 5);
    default:
      return static_cast<uint32_t>(n - d - t + 6);
  }
}

// Keys with long shared prefixes and zero tails, so that every compression path is taken.
Bytes RandomKey(std::mt19937& rng, size_t key_size, bool unique) {
  Bytes key(key_size, 0);
  key[0] = 1;
  size_t body = unique ? key_size : key_size - 4;
  size_t used = 1 + rng() % body;
  for (size_t i = 1; i < used && i < body; ++i) key[i] = static_cast<uint8_t>('A' + rng() % 3);
  if (rng() % 4 == 0 && used > 2) key[used - 1] = 0;  // a zero inside the text
  if (!unique) {
    for (size_t i = 0; i < 4; ++i) key[body + i] = static_cast<uint8_t>(rng() % 3);
  }
  return key;
}

struct RandomCase {
  uint16_t key_size;
  bool unique;
  uint8_t compression;
  uint8_t type;
  bool no_statistics;
};

std::string Describe(const RandomCase& c, uint32_t seed) {
  return "key size " + std::to_string(c.key_size) + (c.unique ? " unique" : " non-unique") +
         " compression " + std::to_string(c.compression) + " type " + std::to_string(c.type) +
         (c.no_statistics ? " no statistics" : "") + " seed " + std::to_string(seed);
}

void CheckAgainstModel(const TPageContents& page, const std::vector<ModelEntry>& model) {
  ASSERT_EQ(page.NumberOfKeys(), static_cast<int>(model.size()));
  bool compressed = page.IsExternal() && page.KeyCompressionType() != icNone;
  uint32_t expected_size = 0;
  for (size_t i = 0; i < model.size(); ++i) {
    int k = static_cast<int>(i + 1);
    ASSERT_EQ(Bytes(page.GetKey(k), page.GetKey(k) + page.KeySize()), model[i].key) << k;
    ASSERT_EQ(page.GetRecordNumber(k), model[i].number) << k;
    if (compressed) {
      uint32_t size = ModelEntrySize(page.Parameters(), model, i);
      ASSERT_EQ(page.EntrySize(k), size) << k;
      expected_size += size;
    }
  }
  ASSERT_EQ(page.CompressedSize(), expected_size);
}

// Inserts, replaces and deletes at random places; after every step the page must agree with
// the model (keys, numbers, D, T and CompressedSize) and survive a pack and unpack unchanged.
TEST(PageContentsRandomTest, BookkeepingAndRoundTripMatchTheModel) {
  std::vector<RandomCase> cases;
  for (uint8_t compression : {icNone, icDuplicateByte, icTrailingByte, icFull}) {
    for (bool unique : {true, false}) {
      for (uint16_t key_size : {uint16_t{6}, uint16_t{9}, uint16_t{40}, uint16_t{300}}) {
        cases.push_back({key_size, unique, compression, ptRootExternal, false});
      }
    }
  }
  cases.push_back({30, true, icFull, ptInternal, false});
  cases.push_back({30, false, icTrailingByte, ptRoot, true});

  const size_t buffer = 8192 - kPageHeaderSize;
  uint32_t seed = 1000;
  for (const RandomCase& c : cases) {
    ++seed;
    SCOPED_TRACE(Describe(c, seed));
    std::mt19937 rng(seed);
    TPageContents page(buffer);
    page.Initialize(Params(c.key_size, c.unique, c.compression, c.no_statistics));
    page.SetPageType(c.type);
    std::vector<ModelEntry> model;
    for (int step = 0; step < 300; ++step) {
      unsigned op = rng() % 10;
      if (model.empty() || op < 6) {
        ModelEntry e{RandomKey(rng, c.key_size, c.unique), static_cast<int32_t>(rng() % 100000),
                     0};
        if (page.PageDataOverflowed()) continue;
        int after = static_cast<int>(rng() % (model.size() + 1));
        Insert(&page, e.key, after, e.number);
        if (page.IsInternal()) {
          e.count = static_cast<int32_t>(rng() % 500);
          page.SetLowerKeyCount(after + 1, e.count);
        }
        model.insert(model.begin() + after, e);
      } else if (op < 8) {
        int deleted = 1 + static_cast<int>(rng() % model.size());
        int k = deleted;
        page.DeleteKey(&k);
        model.erase(model.begin() + (deleted - 1));
        ASSERT_EQ(k, std::min(deleted, static_cast<int>(model.size())));
      } else {
        int k = 1 + static_cast<int>(rng() % model.size());
        Bytes key = RandomKey(rng, c.key_size, c.unique);
        page.UpdateKey(key.data(), k);
        model[k - 1].key = key;
      }
      ASSERT_NO_FATAL_FAILURE(CheckAgainstModel(page, model)) << "step " << step;

      if (page.PageDataOverflowed()) continue;
      Bytes raw(kPageHeaderSize + buffer, 0);
      ASSERT_TRUE(page.Pack(raw.data()));
      TPageContents read(buffer);
      read.Initialize(page.Parameters());
      ASSERT_TRUE(read.Unpack(raw.data())) << "step " << step;
      ASSERT_NO_FATAL_FAILURE(CheckAgainstModel(read, model)) << "step " << step;
      for (size_t i = 0; i < model.size(); ++i) {
        int k = static_cast<int>(i + 1);
        ASSERT_EQ(read.GetLowerKeyCount(k), page.GetLowerKeyCount(k));
        ASSERT_EQ(read.GetDuplicateCount(k), page.GetDuplicateCount(k));
        ASSERT_EQ(read.GetTrailingCount(k), page.GetTrailingCount(k));
      }
      Bytes again(kPageHeaderSize + buffer, 0);
      ASSERT_TRUE(read.Pack(again.data()));
      ASSERT_EQ(again, raw) << "step " << step;
    }
  }
}

// A type change between internal and external recomputes the compression bookkeeping.
TEST(PageContentsRandomTest, TypeChangeRecomputesCompression) {
  TPageContents page(kBufferSize4096);
  page.Initialize(Params(8, true, icFull));
  page.SetPageType(ptRoot);
  std::vector<ModelEntry> model;
  for (int i = 0; i < 5; ++i) {
    Bytes key{1, 'K', 'E', 'Y', static_cast<uint8_t>('0' + i), 0, 0, 0};
    Insert(&page, key, i, i);
    model.push_back({key, i, 0});
  }
  EXPECT_EQ(page.CompressedSize(), 0u);
  page.SetPageType(ptExternal);
  CheckAgainstModel(page, model);
  EXPECT_GT(page.CompressedSize(), 0u);
  page.SetPageType(ptInternal);
  EXPECT_EQ(page.CompressedSize(), 0u);
  EXPECT_EQ(page.GetDuplicateCount(2), 0);
}

}  // namespace
}  // namespace kura
