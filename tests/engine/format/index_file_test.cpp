#include "engine/format/index_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/format/data_file.h"
#include "engine/format/index_page.h"
#include "engine/md5.h"
#include "tests/support/data_file_builder.h"
#include "tests/support/fake_table_owner.h"
#include "tests/support/temp_dir.h"

namespace kura {
namespace {

using kura_test::FakeTableOwner;
using kura_test::MakeField;

struct RaisedError {
  uint16_t code = 0;
  std::string index_name;
  std::string field_name;
};

RaisedError ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKuraEngineError& e) {
    return {e.ErrorCode(), e.ErrorIndexName(), e.ErrorFieldName()};
  }
  return {};
}

// A definition over fields of the test table below; the key size is what the fields add up to.
TIndexDefinition KeyOn(std::vector<uint16_t> fields, const std::string& name = {},
                       bool unique = true) {
  const uint16_t component[] = {0, 6, 22, 9, 5};  // Code, Name, Memo, N: S + 1
  TIndexDefinition d;
  d.IndexName = name;
  d.KeyUnique = unique;
  d.KeyFieldCount = static_cast<uint8_t>(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    d.KeyFields[i] = fields[i];
    if (fields[i] < 5) d.KeySize = static_cast<uint16_t>(d.KeySize + component[fields[i]]);
  }
  if (!unique) d.KeySize = static_cast<uint16_t>(d.KeySize + 4);
  return d;
}

// A table "T" of fields Code string(4), Name string(20), Memo (BLOB memo), N integer, with a data
// file written by the engine; its index file is made by the tests.
class IndexFileTest : public ::testing::Test {
 protected:
  IndexFileTest() : owner_(&engine_) {
    engine_.Initialize("kura.lck");
    kura_test::TableDefinition table;
    table.fields = {MakeField("Code", dtString, 0, 4), MakeField("Name", dtString, 0, 20),
                   MakeField("Memo", dtBlob, fsMemo), MakeField("N", dtInteger)};
    table.index_page_size = page_size_;
    kura_test::WriteDataFile(&engine_, dir_.EnginePath("T.dat"), table);
    data_ = std::make_unique<TDataFile>(&owner_);
    data_->SetFileName(dir_.EnginePath("T.dat"));
    data_->OpenFile();
  }

  std::unique_ptr<TIndexFile> NewIndexFile() {
    auto f = std::make_unique<TIndexFile>(&owner_);
    f->SetDataFile(data_.get());
    f->SetFileName(dir_.EnginePath("T.idx"));
    return f;
  }
  // A new index file with the automatic primary index and an empty text index, written.
  std::unique_ptr<TIndexFile> Create(const std::function<void(TIndexFile*)>& define = {}) {
    auto f = NewIndexFile();
    f->CreateFile();
    f->SetIndexDefinition(kPrimaryIndexPos, AutoPrimaryIndexDefinition());
    f->SetIndexDefinition(kTextIndexPos, TextIndexDefinition({}));
    if (define) define(f.get());
    f->WriteHeader(true);
    f->WriteIndexDefinitions(true);
    return f;
  }
  std::unique_ptr<TIndexFile> Open() {
    auto f = NewIndexFile();
    f->OpenFile();
    return f;
  }
  std::string Bytes() const { return kura_test::ReadNativeFile(dir_.NativePath("T.idx")); }
  void SetBytes(const std::string& b) { kura_test::WriteNativeFile(dir_.NativePath("T.idx"), b); }

  const int32_t page_size_ = 1024;
  kura_test::TempDir dir_;
  TDataEngine engine_;
  FakeTableOwner owner_;
  std::unique_ptr<TDataFile> data_;
};

TEST_F(IndexFileTest, ANewFileIsHeaderAndDefinitionsOnly) {
  Create()->CloseFile();
  std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 25088u);
  const uint8_t* b = reinterpret_cast<const uint8_t*>(bytes.data());
  EXPECT_EQ(GetI32(b + 0), 1);  // the first forced write
  EXPECT_EQ(b[8], 6);
  uint8_t signature[16];
  TDataEngine::StandardSignatureDigest().ToBytes(signature);
  EXPECT_EQ(std::memcmp(b + 9, signature, 16), 0);
  EXPECT_EQ(GetI32(b + 25), 0);
  EXPECT_EQ(GetI32(b + 29), 1);
  EXPECT_EQ(b[33], 0);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(GetI32(b + 34 + 4 * i), 0) << i;
  // Slot 0: the automatic primary index; slot 31: "Sys Text" without fields.
  const uint8_t* primary = b + 512;
  EXPECT_EQ(primary[0], 0);
  EXPECT_EQ(GetU16(primary + 61), 5);
  EXPECT_EQ(primary[128], 1);
  EXPECT_EQ(primary[130], 1);
  EXPECT_EQ(GetU16(primary + 259), 65535);
  const uint8_t* text = b + 512 + 31 * 768;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text + 1), text[0]), "Sys Text");
  EXPECT_EQ(GetU16(text + 61), 68);
  EXPECT_EQ(text[129], 3);
  EXPECT_EQ(text[130], 0);
  EXPECT_EQ(text[515], 1);
  for (size_t i = 512 + 768; i < 512 + 31 * 768; ++i) ASSERT_EQ(b[i], 0) << i;

  auto f = Open();
  f->CheckHeader();
  EXPECT_TRUE(f->AutoPrimaryIndex());
  EXPECT_EQ(f->IndexCount(), 0);
  EXPECT_EQ(f->GetIndexDefinition(kTextIndexPos)->IndexName, "Sys Text");
}

TEST_F(IndexFileTest, BufferedFileParametersFollowThePageSize) {
  auto f = Create();
  EXPECT_EQ(f->IOBlockSize(), 1024);
  EXPECT_EQ(f->BufferSize(), 1011);
  EXPECT_EQ(f->HeaderSize(), 25088);
  EXPECT_EQ(f->IOBlocksUsed(), 0);
  EXPECT_EQ(f->MRUBuffers(), 2);
  EXPECT_EQ(f->BufferExpand(), 4);
  EXPECT_EQ(f->GetMaxBufferCount(), 65536 / (1011 + 64));
  EXPECT_EQ(f->GetDefaultReadAhead(), 1);
  engine_.SetMaxIndexBufferSize(10);
  EXPECT_EQ(f->GetMaxBufferCount(), 1);
}

TEST_F(IndexFileTest, DefinitionErrorsOfAddingIndexes) {
  struct Case {
    const char* name;
    std::function<void(TIndexFile*)> action;
    uint16_t code;
    std::string index_name;
    std::string field_name;
  };
  TIndexDefinition many = KeyOn({1});
  many.KeyFieldCount = 129;
  const Case cases[] = {
      {"a second declared primary index",
       [](TIndexFile* f) {
         f->AddPrimaryIndex(KeyOn({1}));
         f->AddPrimaryIndex(KeyOn({2}));
       },
       KURA_PRIMARYKEYREDEFINE, "Primary", ""},
      {"primary over 128 fields", [&](TIndexFile* f) { f->AddPrimaryIndex(many); },
       KURA_INDEXLIMIT, "Primary", ""},
      {"primary over a BLOB", [](TIndexFile* f) { f->AddPrimaryIndex(KeyOn({1, 3})); },
       KURA_SEARCHCOLREQD, "Primary", "Memo"},
      {"secondary without a name", [](TIndexFile* f) { f->AddSecondaryIndex(KeyOn({1})); },
       KURA_INDEXNAMEREQUIRED, "", ""},
      {"secondary name starting with a digit",
       [](TIndexFile* f) { f->AddSecondaryIndex(KeyOn({1}, "1st")); }, KURA_INVALIDINDEXNAME,
       "1st", ""},
      {"secondary name over 60 characters",
       [](TIndexFile* f) { f->AddSecondaryIndex(KeyOn({1}, std::string(61, 'x'))); },
       KURA_INVALIDINDEXNAME, std::string(61, 'x'), ""},
      {"secondary name taken, case ignored",
       [](TIndexFile* f) {
         f->AddSecondaryIndex(KeyOn({1}, "ByName"));
         f->AddSecondaryIndex(KeyOn({2}, "BYNAME"));
       },
       KURA_INDEXEXISTS, "BYNAME", ""},
      {"secondary over a BLOB", [](TIndexFile* f) { f->AddSecondaryIndex(KeyOn({3}, "M")); },
       KURA_SEARCHCOLREQD, "M", "Memo"},
      {"secondary over 128 fields",
       [&](TIndexFile* f) {
         TIndexDefinition d = many;
         d.IndexName = "Many";
         f->AddSecondaryIndex(d);
       },
       KURA_INDEXLIMIT, "Many", ""},
      {"a 31st secondary index",
       [](TIndexFile* f) {
         for (int i = 0; i < 31; ++i) {
           std::string name = "I";
           name += std::to_string(i);
           f->AddSecondaryIndex(KeyOn({1}, name));
         }
       },
       KURA_INDEXLIMIT, "I30", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = NewIndexFile();
    f->CreateFile();
    f->SetIndexDefinition(kPrimaryIndexPos, AutoPrimaryIndexDefinition());
    RaisedError e = ErrorOf([&] { c.action(f.get()); });
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.index_name, c.index_name);
    EXPECT_EQ(e.field_name, c.field_name);
    f->CloseFile();
  }
}

TEST_F(IndexFileTest, AddedIndexesTakeTheirSlotsAndSurviveReopening) {
  Create([](TIndexFile* f) {
    f->AddPrimaryIndex(KeyOn({1}, "ignored", false));
    f->AddSecondaryIndex(KeyOn({2}, "ByName", false));
    f->AddSecondaryIndex(KeyOn({4, 1}, "ByNumber"));
  })->CloseFile();
  auto f = Open();
  EXPECT_EQ(f->IndexCount(), 2);
  EXPECT_FALSE(f->AutoPrimaryIndex());
  EXPECT_EQ(f->GetIndexDefinition(0)->IndexName, "");
  EXPECT_TRUE(f->GetIndexDefinition(0)->KeyUnique);
  EXPECT_EQ(f->GetIndexDefinition(1)->IndexName, "ByName");
  EXPECT_EQ(f->GetIndexDefinition(2)->KeyFields[0], 4);
  EXPECT_TRUE(f->IndexExists("bynumber"));
  EXPECT_FALSE(f->IndexExists("Other"));
}

TEST_F(IndexFileTest, DeletingIndexesWithAndWithoutAdjustment) {
  auto f = Create([](TIndexFile* f) {
    f->AddPrimaryIndex(KeyOn({1}));
    for (const char* name : {"A", "B", "C"}) f->AddSecondaryIndex(KeyOn({2}, name));
  });
  for (int i = 0; i < 4; ++i) {
    f->SetRootPageNumber(i, 10 + i);
    f->SetDataRootPageNumber(i, 20 + i);
  }
  f->DeleteIndex(2, true);
  EXPECT_EQ(f->IndexCount(), 2);
  EXPECT_EQ(f->GetIndexDefinition(2)->IndexName, "C");
  EXPECT_EQ(f->GetRootPageNumber(2), 13);
  EXPECT_EQ(f->GetDataRootPageNumber(2), 23);
  EXPECT_EQ(f->GetRootPageNumber(3), 0);
  EXPECT_EQ(f->GetIndexDefinition(30)->IndexName, "");

  f->DeleteIndex(1, false);
  EXPECT_EQ(f->IndexCount(), 2);
  EXPECT_EQ(f->GetIndexDefinition(1)->IndexName, "A");
  EXPECT_EQ(f->GetRootPageNumber(1), 0);

  f->DeleteIndex(0, false);
  EXPECT_TRUE(f->AutoPrimaryIndex());
  EXPECT_EQ(*f->GetIndexDefinition(0), AutoPrimaryIndexDefinition());
  EXPECT_EQ(f->GetRootPageNumber(0), 0);
}

TEST_F(IndexFileTest, OpenRefusesWrongVersionsSignaturesAndCounts) {
  Create()->CloseFile();
  const std::string good = Bytes();
  struct Case {
    const char* name;
    size_t offset;
    uint8_t value;
    uint16_t code;
  };
  const Case cases[] = {
      {"version 5", 8, 5, KURA_OLDVERSION},
      {"version 7", 8, 7, KURA_BADSIGNATURE},
      {"unknown signature", 9, 0x00, KURA_BADSIGNATURE},
      {"31 secondary indexes", 33, 31, KURA_HEADERCORRUPT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bad = good;
    bad[c.offset] = static_cast<char>(c.value);
    SetBytes(bad);
    EXPECT_EQ(ErrorOf([&] { Open(); }).code, c.code);
  }
}

// Each case damages one field of a valid file with two secondary indexes; the file still
// opens, and the header check refuses it.
TEST_F(IndexFileTest, CheckHeaderRefusesEveryInconsistency) {
  Create([](TIndexFile* f) {
    f->AddPrimaryIndex(KeyOn({1}));
    f->AddSecondaryIndex(KeyOn({2}, "ByName", false));
    f->AddSecondaryIndex(KeyOn({4}, "ByN"));
  })->CloseFile();
  const std::string good = Bytes();
  {
    auto f = Open();
    f->CheckHeader();
  }
  auto slot = [](int j, size_t offset) { return 512 + 768 * static_cast<size_t>(j) + offset; };
  using Edit = std::function<void(std::string&)>;
  auto put16 = [](std::string& b, size_t at, uint16_t v) {
    PutU16(reinterpret_cast<uint8_t*>(&b[at]), v);
  };
  auto put32 = [](std::string& b, size_t at, int32_t v) {
    PutI32(reinterpret_cast<uint8_t*>(&b[at]), v);
  };
  struct Case {
    const char* name;
    Edit edit;
  };
  const Case cases[] = {
      {"no page count", [&](std::string& b) { put32(b, 29, 0); }},
      {"more pages than the file holds", [&](std::string& b) { put32(b, 29, 2); }},
      {"free page beyond the file", [&](std::string& b) { put32(b, 25, 1); }},
      {"primary index with a name", [&](std::string& b) {
         b[slot(0, 0)] = 1;
         b[slot(0, 1)] = 'P';
       }},
      {"primary index not unique", [&](std::string& b) { b[slot(0, 128)] = 0; }},
      {"secondary name starting with a digit", [&](std::string& b) { b[slot(1, 1)] = '9'; }},
      {"secondary names equal but for case", [&](std::string& b) {
         b[slot(2, 0)] = 6;
         std::memcpy(&b[slot(2, 1)], "BYNAME", 6);
       }},
      {"no key field", [&](std::string& b) { b[slot(1, 130)] = 0; }},
      {"a key field after a zero entry", [&](std::string& b) { put16(b, slot(1, 259 + 4), 2); }},
      {"key field count disagreeing with the fields", [&](std::string& b) { b[slot(1, 130)] = 2; }},
      {"unknown field", [&](std::string& b) { put16(b, slot(2, 259), 9); }},
      {"BLOB key field", [&](std::string& b) { put16(b, slot(2, 259), 3); }},
      {"stored key size not the fields' size", [&](std::string& b) { put16(b, slot(2, 61), 6); }},
      {"root page beyond the file", [&](std::string& b) { put32(b, 34 + 4 * 2, 3); }},
      {"data root page beyond the file", [&](std::string& b) { put32(b, 162, 1); }},
      {"text index renamed", [&](std::string& b) { b[slot(31, 1)] = 'X'; }},
      {"text index key size", [&](std::string& b) { put16(b, slot(31, 61), 67); }},
      {"text index uncompressed", [&](std::string& b) { b[slot(31, 129)] = 0; }},
      {"text index with statistics", [&](std::string& b) { b[slot(31, 515)] = 0; }},
      {"text index over an integer", [&](std::string& b) {
         b[slot(31, 130)] = 1;
         put16(b, slot(31, 259), 4);
       }},
      {"text root beyond the file", [&](std::string& b) { put32(b, 34 + 4 * 31, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bad = good;
    c.edit(bad);
    SetBytes(bad);
    auto f = Open();
    EXPECT_EQ(ErrorOf([&] { f->CheckHeader(); }).code, KURA_HEADERCORRUPT);
  }
}

// A key may take at most a third of a page's data area (1011 / 3 = 337 bytes here).
TEST_F(IndexFileTest, CheckHeaderRefusesKeysTooLongForThePage) {
  Create([](TIndexFile* f) {
    TIndexDefinition d = KeyOn({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}, "Long");
    f->AddSecondaryIndex(d);
  })->CloseFile();
  auto f = Open();
  EXPECT_EQ(ErrorOf([&] { f->CheckHeader(); }).code, KURA_HEADERCORRUPT);
}

TEST_F(IndexFileTest, PagesRoundTripThroughTheFile) {
  const uint8_t key1[5] = {1, 0x80, 0, 0, 1}, key2[5] = {1, 0x80, 0, 0, 2};
  {
    auto f = Create();
    TPage* page = nullptr;
    ASSERT_TRUE(f->AllocatePage(nullptr, kPrimaryIndexPos, &page));
    EXPECT_EQ(page->Number(), 1);
    page->SetPageType(ptRootExternal);
    int k = 0;
    page->InsertKey(key1, &k);
    page->SetRecordNumber(k, 7);
    page->InsertKey(key2, &k);
    page->SetRecordNumber(k, 8);
    f->SetRootPageNumber(kPrimaryIndexPos, page->Number());
    f->PutPage(page);
    EXPECT_TRUE(f->FlushBuffers());
    f->WriteHeader(false);
    f->CloseFile();
  }
  EXPECT_EQ(Bytes().size(), 25088u + 1024);
  auto f = Open();
  f->CheckHeader();
  EXPECT_EQ(f->GetRootPageNumber(kPrimaryIndexPos), 1);
  TPage* page = nullptr;
  ASSERT_TRUE(f->GetPage(nullptr, kPrimaryIndexPos, 1, &page));
  EXPECT_EQ(page->PageType(), ptRootExternal);
  ASSERT_EQ(page->NumberOfKeys(), 2);
  EXPECT_EQ(std::memcmp(page->GetKey(2), key2, 5), 0);
  EXPECT_EQ(page->GetRecordNumber(2), 8);
  f->PutPage(page);
  EXPECT_EQ(ErrorOf([&] { f->GetPage(nullptr, 0, 0, &page); }).code, KURA_INDEXCORRUPT);
}

TEST_F(IndexFileTest, AStoredDuplicateCountBeyondTheKeyIsRefused) {
  {
    auto f = Create([](TIndexFile* f) {
      TIndexDefinition d = KeyOn({2}, "ByName", false);
      d.KeyCompressionType = icFull;
      f->AddSecondaryIndex(d);
    });
    TPage* page = nullptr;
    ASSERT_TRUE(f->AllocatePage(nullptr, 1, &page));
    page->SetPageType(ptRootExternal);
    f->PutPage(page);
    f->FlushBuffers();
    f->WriteHeader(false);
    f->CloseFile();
  }
  // Two entries of the 26-byte non-unique key with full compression: the second claims D = 200.
  std::string bytes = Bytes();
  uint8_t* p = reinterpret_cast<uint8_t*>(&bytes[25088]);
  PutU16(p + 1, 2);
  uint8_t* data = p + kPageHeaderSize;
  data[0] = 0;
  data[1] = 0;
  data[2 + 22 + 4 + 4] = 200;
  SetBytes(bytes);
  auto f = Open();
  TPage* page = nullptr;
  EXPECT_EQ(ErrorOf([&] { f->GetPage(nullptr, 1, 1, &page); }).code, KURA_INDEXCORRUPT);
}

TEST_F(IndexFileTest, FreedPagesAreReusedBeforeTheFileGrows) {
  auto f = Create();
  std::vector<int32_t> numbers;
  for (int i = 0; i < 3; ++i) {
    TPage* page = nullptr;
    ASSERT_TRUE(f->AllocatePage(nullptr, 0, &page));
    page->SetPageType(ptExternal);
    int k = 0;
    const uint8_t key[5] = {1, 0x80, 0, 0, static_cast<uint8_t>(i)};
    page->InsertKey(key, &k);
    numbers.push_back(page->Number());
    f->PutPage(page);
  }
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3}));
  for (int32_t n : {2, 3}) {
    TPage* page = nullptr;
    ASSERT_TRUE(f->GetPage(nullptr, 0, n, &page));
    f->ReleasePage(page);
    EXPECT_EQ(page->NumberOfKeys(), 0);
    EXPECT_EQ(page->PageType(), ptExternal);
    f->PutPage(page);
  }
  EXPECT_EQ(f->GetNextFreePageNumber(), 3);
  std::vector<int32_t> reused;
  for (int i = 0; i < 3; ++i) {
    TPage* page = nullptr;
    ASSERT_TRUE(f->AllocatePage(nullptr, 0, &page));
    reused.push_back(page->Number());
    EXPECT_EQ(page->NumberOfKeys(), 0);
    f->PutPage(page);
  }
  EXPECT_EQ(reused, (std::vector<int32_t>{3, 2, 4}));
  EXPECT_EQ(f->Header().NextEndingPage, 5);
}

TEST_F(IndexFileTest, AFreeChainPointingAtItselfIsRefused) {
  auto f = Create();
  TPage* page = nullptr;
  ASSERT_TRUE(f->AllocatePage(nullptr, 0, &page));
  page->SetRightNumber(1);
  f->PutPage(page);
  f->SetNextFreePageNumber(1);
  EXPECT_EQ(ErrorOf([&] { f->AllocatePage(nullptr, 0, &page); }).code, KURA_INDEXCORRUPT);
}

TEST_F(IndexFileTest, TextIndexParametersLiveInAChainOfParameterPages) {
  TTextIndexParams params = DefaultTextIndexParams();
  {
    auto f = Create();
    TTextIndexParams read;
    ASSERT_TRUE(f->ReadTextIndexParams(nullptr, &read));  // no chain yet: the defaults
    EXPECT_EQ(read.stop_words, params.stop_words);
    // Words long enough to need three pages of 1011 bytes.
    for (int i = 0; i < 5; ++i) params.stop_words.push_back(std::string(400, 'a' + i));
    ASSERT_TRUE(f->WriteTextIndexParams(nullptr, params));
    EXPECT_EQ(f->GetDataRootPageNumber(kTextIndexPos), 1);
    f->FlushBuffers();
    f->WriteHeader(false);
    f->CloseFile();
  }
  auto f = Open();
  f->CheckHeader();
  EXPECT_EQ(f->Header().NextEndingPage, 4);
  TTextIndexParams read;
  ASSERT_TRUE(f->ReadTextIndexParams(nullptr, &read));
  EXPECT_EQ(read.stop_words, params.stop_words);
  EXPECT_EQ(read.space_chars, params.space_chars);
  EXPECT_EQ(read.include_chars, params.include_chars);

  // Rewriting a shorter stream reuses the chain's first page.
  ASSERT_TRUE(f->WriteTextIndexParams(nullptr, DefaultTextIndexParams()));
  EXPECT_EQ(f->Header().NextEndingPage, 4);
  ASSERT_TRUE(f->ReadTextIndexParams(nullptr, &read));
  EXPECT_EQ(read.stop_words, DefaultTextIndexParams().stop_words);
}

TEST_F(IndexFileTest, DamagedParameterChainsAreRefused) {
  struct Case {
    const char* name;
    std::function<void(TIndexFile*, TPage*)> damage;
  };
  const Case cases[] = {
      {"a page of another type", [](TIndexFile*, TPage* p) { p->SetPageType(ptExternal); }},
      {"a chain that loops", [](TIndexFile*, TPage* p) {
         p->SetRightNumber(p->Number());
         PutI32(p->RawData(), 1000);  // more words than the chain holds
       }},
      {"a negative word count", [](TIndexFile*, TPage* p) { PutI32(p->RawData(), -1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = Create();
    ASSERT_TRUE(f->WriteTextIndexParams(nullptr, DefaultTextIndexParams()));
    TPage* page = nullptr;
    ASSERT_TRUE(f->GetPage(nullptr, kTextIndexPos, 1, &page));
    c.damage(f.get(), page);
    f->PutPage(page);
    TTextIndexParams read;
    EXPECT_EQ(ErrorOf([&] { f->ReadTextIndexParams(nullptr, &read); }).code, KURA_INDEXCORRUPT);
    f->CloseFile();
  }
}

// An encrypted table's index header, definitions and pages go through the cipher as units; in
// memory they stay plain.
TEST_F(IndexFileTest, EncryptedFilesEncipherHeaderDefinitionsAndPages) {
  {
    owner_.encrypted = true;
    auto f = NewIndexFile();
    f->CreateFile();
    f->SetIndexDefinition(kPrimaryIndexPos, AutoPrimaryIndexDefinition());
    f->SetIndexDefinition(kTextIndexPos, TextIndexDefinition({1}));
    TPage* page = nullptr;
    ASSERT_TRUE(f->AllocatePage(nullptr, 0, &page));
    page->SetPageType(ptRootExternal);
    f->PutPage(page);
    f->FlushBuffers();
    f->WriteHeader(true);
    f->WriteIndexDefinitions(true);
    f->CloseFile();
  }
  std::string bytes = Bytes();
  EXPECT_EQ(static_cast<uint8_t>(bytes[8]), 6 ^ 0x5A);
  EXPECT_EQ(static_cast<uint8_t>(bytes[512 + 31 * 768 + 1]), 'S' ^ 0x5A);
  EXPECT_EQ(static_cast<uint8_t>(bytes[25088]), ptRootExternal ^ 0x5A);

  auto f = NewIndexFile();
  f->OpenFile();
  f->CheckHeader();
  EXPECT_EQ(f->GetIndexDefinition(kTextIndexPos)->KeyFields[0], 1);
  TPage* page = nullptr;
  ASSERT_TRUE(f->GetPage(nullptr, 0, 1, &page));
  EXPECT_EQ(page->PageType(), ptRootExternal);
  f->PutPage(page);
}

TEST(MaxPageSizeTest, PageSizeGrowsWithTheLargestKey) {
  EXPECT_EQ(GetMaxPageSize(5), 4096);
  EXPECT_EQ(GetMaxPageSize(256), 4096);
  EXPECT_EQ(GetMaxPageSize(257), 8192);
  EXPECT_EQ(GetMaxPageSize(512), 8192);
  EXPECT_EQ(GetMaxPageSize(513), 16384);
}

}  // namespace
}  // namespace kura
