#include "engine/maint/table_creator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/format/blob_header.h"
#include "engine/format/data_file.h"
#include "engine/format/index_file.h"
#include "engine/md5.h"
#include "platform/file_system.h"
#include "tests/support/fake_table_owner.h"
#include "tests/support/temp_dir.h"
#include "tests/support/data_file_builder.h"

namespace kura {
namespace {

using kura_test::FakeTableOwner;

using kura_test::MakeField;

TIndexDescription Index(const char* name, std::vector<AnsiString> fields, bool unique = false) {
  TIndexDescription d;
  d.Name = name;
  d.FieldNames = std::move(fields);
  d.Unique = unique;
  return d;
}

std::string Numbered(const char* prefix, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%d", prefix, i);
  return name;
}

struct RaisedError {
  uint16_t code = 0;
  std::string table_name;
  std::string field_name;
  std::string index_name;
};

RaisedError ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKuraEngineError& e) {
    return {e.ErrorCode(), e.ErrorTableName(), e.ErrorFieldName(), e.ErrorIndexName()};
  }
  return {};
}

// A table of every kind of field, with a declared primary index, two secondary indexes and a
// text index.
TTableDescription RichTable() {
  TTableDescription t;
  t.Fields = {MakeField("Code", dtString, 0, 4), MakeField("Note", dtString, 0, 40),
              MakeField("Memo", dtBlob, fsMemo),  MakeField("Day", dtDate),
              MakeField("Amount", dtFloat),       MakeField("Count", dtInteger, fsAutoInc)};
  t.Fields[1].Default = "none";
  t.Fields[4].Minimum = "0";
  t.Fields[3].Required = true;
  t.PrimaryIndex = Index("", {"code"});
  t.SecondaryIndexes = {Index("ByDay", {"Day", "Amount"}), Index("ByNote", {"Note"}, true)};
  t.SecondaryIndexes[0].DescendingFields = {false, true};
  t.SecondaryIndexes[1].CaseInsensitive = true;
  t.SecondaryIndexes[1].Compression = icFull;
  t.TextIndexFields = {"Note", "Memo"};
  t.Description = "a rich table";
  t.UserMajorVersion = 3;
  t.UserMinorVersion = 7;
  t.BlobBlockSize = 1024;
  return t;
}

class TableCreatorTest : public ::testing::Test {
 protected:
  TableCreatorTest() : owner_(&engine_) { engine_.Initialize("kura.lck"); }

  void Create(const TTableDescription& t, const std::string& name = "T") {
    CreateTable(&engine_, dir_.engine(), name, t);
  }
  std::string Bytes(const std::string& file) const {
    return kura_test::ReadNativeFile(dir_.NativePath(file));
  }
  bool Exists(const std::string& file) const {
    return kura_test::NativeFileExists(dir_.NativePath(file));
  }
  bool AnyFileOf(const std::string& name) const {
    return Exists(name + ".dat") || Exists(name + ".idx") || Exists(name + ".blb");
  }
  // Opens the table's data and index files as a table open with header checks does.
  void OpenAndCheck(const std::string& name, const std::function<void(TDataFile&, TIndexFile&)>&
                                                 inspect = {}) {
    TDataFile data(&owner_);
    data.SetFileName(dir_.EnginePath(name + ".dat"));
    data.OpenFile();
    data.CheckHeader();
    TIndexFile index(&owner_);
    index.SetDataFile(&data);
    index.SetFileName(dir_.EnginePath(name + ".idx"));
    index.OpenFile();
    index.CheckHeader();
    if (inspect) inspect(data, index);
    index.CloseFile();
    data.CloseFile();
  }

  kura_test::TempDir dir_;
  TDataEngine engine_;
  FakeTableOwner owner_;
};

TEST_F(TableCreatorTest, ANewTableHasTheSizesAndHeaderValuesOfAnEmptyTable) {
  Create(RichTable());
  EXPECT_EQ(Bytes("T.dat").size(), 512u + 768 * 6);
  EXPECT_EQ(Bytes("T.idx").size(), 25088u);
  ASSERT_EQ(Bytes("T.blb").size(), 512u);

  uint8_t signature[16];
  TDataEngine::StandardSignatureDigest().ToBytes(signature);
  std::string blob_bytes = Bytes("T.blb");
  TBlobHeader blob = TBlobHeader::Decode(reinterpret_cast<const uint8_t*>(blob_bytes.data()));
  EXPECT_EQ(blob.UpdateStamp, 1);
  EXPECT_EQ(blob.VersionNum, 6);
  EXPECT_EQ(std::memcmp(blob.FileSignature.data(), signature, 16), 0);
  EXPECT_EQ(blob.NextFreeBlock, 0);
  EXPECT_EQ(blob.NextEndingBlock, 1);

  OpenAndCheck("T", [&](TDataFile& data, TIndexFile& index) {
    const TDataHeader& h = data.Header();
    EXPECT_EQ(h.UpdateStamp, 1);
    EXPECT_EQ(h.NextEndingRecord, 1);
    EXPECT_EQ(h.NextFreeRecord, 0);
    EXPECT_EQ(h.RecordCount, 0);
    EXPECT_EQ(h.FieldCount, 6);
    EXPECT_EQ(h.BlobFieldCount, 1);
    EXPECT_EQ(h.BlobBlockSize, 1024);
    EXPECT_EQ(h.IndexPageSize, 4096);
    EXPECT_EQ(h.Description, "a rich table");
    EXPECT_EQ(h.UserMajorVersion, 3);
    EXPECT_EQ(h.UserMinorVersion, 7);
    EXPECT_EQ(std::memcmp(h.FileSignature.data(), signature, 16), 0);
    EXPECT_EQ(data.FieldDefinitions()[1].Default, "none");
    EXPECT_TRUE(data.FieldDefinitions()[3].Required);

    const TIndexHeader& ih = index.Header();
    EXPECT_EQ(ih.UpdateStamp, 1);
    EXPECT_EQ(ih.NextEndingPage, 1);
    EXPECT_EQ(ih.NextFreePage, 0);
    EXPECT_EQ(ih.IndexCount, 2);
    for (int i = 0; i < 32; ++i) {
      EXPECT_EQ(ih.RootPages[i], 0) << i;
      EXPECT_EQ(ih.DataRootPages[i], 0) << i;
    }
    const TIndexDefinition* primary = index.GetIndexDefinition(0);
    EXPECT_FALSE(index.AutoPrimaryIndex());
    EXPECT_TRUE(primary->KeyUnique);
    EXPECT_EQ(primary->KeySize, 6);
    EXPECT_EQ(primary->KeyFields[0], 1);
    const TIndexDefinition* by_day = index.GetIndexDefinition(1);
    EXPECT_EQ(by_day->IndexName, "ByDay");
    EXPECT_EQ(by_day->KeySize, 5 + 9 + 4);
    EXPECT_FALSE(by_day->KeyDescendingFields[0]);
    EXPECT_TRUE(by_day->KeyDescendingFields[1]);
    const TIndexDefinition* by_note = index.GetIndexDefinition(2);
    EXPECT_EQ(by_note->KeySize, 42);
    EXPECT_TRUE(by_note->KeyCaseInsensitive);
    EXPECT_EQ(by_note->KeyCompressionType, icFull);
    const TIndexDefinition* text = index.GetIndexDefinition(kTextIndexPos);
    EXPECT_EQ(text->IndexName, "Sys Text");
    EXPECT_EQ(text->KeyFieldCount, 2);
    EXPECT_EQ(text->KeyFields[0], 2);
    EXPECT_EQ(text->KeyFields[1], 3);
  });
}

TEST_F(TableCreatorTest, TableWithoutPrimaryKeyOrBlobsGetsTheAutomaticIndexAndNoBlobFile) {
  TTableDescription t;
  t.Fields = {MakeField("Day", dtDate)};
  t.SecondaryIndexes = {Index("ByDay", {"Day"})};
  Create(t, "Plain");
  EXPECT_FALSE(Exists("Plain.blb"));
  OpenAndCheck("Plain", [](TDataFile&, TIndexFile& index) {
    EXPECT_TRUE(index.AutoPrimaryIndex());
    EXPECT_EQ(*index.GetIndexDefinition(0), AutoPrimaryIndexDefinition());
    EXPECT_EQ(index.GetIndexDefinition(kTextIndexPos)->KeyFieldCount, 0);
  });
}

TEST_F(TableCreatorTest, PageSizeFollowsTheLargestKeyUnlessGiven) {
  struct Case {
    const char* name;
    uint16_t length;  // of the one indexed string field
    bool unique;
    int32_t given;
    int32_t expected;
  };
  const Case cases[] = {
      {"short keys", 100, true, 0, 4096},
      {"a 256-byte key", 254, true, 0, 4096},
      {"the suffix counts", 252, false, 0, 8192},
      {"a 512-byte key", 510, true, 0, 8192},
      {"longer keys", 512, false, 0, 16384},
      {"given", 10, true, 2048, 2048},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTableDescription t;
    t.Fields = {MakeField("S", dtString, 0, c.length)};
    t.SecondaryIndexes = {Index("ByS", {"S"}, c.unique)};
    t.IndexPageSize = c.given;
    std::string name = Numbered("P", n++);
    Create(t, name);
    OpenAndCheck(name, [&](TDataFile& data, TIndexFile&) {
      EXPECT_EQ(data.IndexPageSize(), c.expected);
    });
  }
}

// Every refused description leaves no file behind.
TEST_F(TableCreatorTest, InvalidDescriptionsAreRefusedWithTheErrorOfTheirCheck) {
  using Edit = std::function<void(TTableDescription&)>;
  struct Case {
    const char* name;
    Edit edit;
    uint16_t code;
    std::string field;
    std::string index;
  };
  const Case cases[] = {
      {"no fields", [](TTableDescription& t) { t.Fields.clear(); }, KURA_FLDLIMIT, "", ""},
      {"too many fields",
       [](TTableDescription& t) {
         t.Fields.clear();
         for (int i = 0; i < 1025; ++i) {
           t.Fields.push_back(MakeField(Numbered("F", i).c_str(), dtBoolean));
         }
         t.PrimaryIndex.reset();
         t.SecondaryIndexes.clear();
         t.TextIndexFields.clear();
       },
       KURA_FLDLIMIT, "", ""},
      {"field name with a digit first", [](TTableDescription& t) { t.Fields[0].FieldName = "1x"; },
       KURA_INVALIDFIELDNAME, "1x", ""},
      {"field name repeated", [](TTableDescription& t) { t.Fields[1].FieldName = "CODE"; },
       KURA_INVALIDFIELDNAME, "CODE", ""},
      {"reserved field name", [](TTableDescription& t) { t.Fields[1].FieldName = "recordid"; },
       KURA_INVALIDFIELDNAME, "recordid", ""},
      {"field name over 60", [](TTableDescription& t) { t.Fields[1].FieldName.assign(61, 'n'); },
       KURA_INVALIDFIELDNAME, std::string(61, 'n'), ""},
      {"unknown type", [](TTableDescription& t) { t.Fields[4].DataType = 13; },
       KURA_INVALIDFLDTYPE, "Amount", ""},
      {"sub-type of another type", [](TTableDescription& t) { t.Fields[4].SubType = fsMemo; },
       KURA_INVALIDFLDTYPE, "Amount", ""},
      {"string without length", [](TTableDescription& t) { t.Fields[1].Length = 0; },
       KURA_INVALIDFLDTYPE, "Note", ""},
      {"string over 512", [](TTableDescription& t) { t.Fields[1].Length = 513; },
       KURA_INVALIDFLDTYPE, "Note", ""},
      {"length on a date", [](TTableDescription& t) { t.Fields[3].Length = 4; },
       KURA_INVALIDFLDTYPE, "Day", ""},
      {"decimals on a float", [](TTableDescription& t) { t.Fields[4].Decimals = 2; },
       KURA_INVALIDFLDTYPE, "Amount", ""},
      {"compression outside a BLOB", [](TTableDescription& t) { t.Fields[1].Compression = 6; },
       KURA_INVALIDFLDTYPE, "Note", ""},
      {"compression level 10", [](TTableDescription& t) { t.Fields[2].Compression = 10; },
       KURA_INVALIDFLDTYPE, "Memo", ""},
      {"character case on a date", [](TTableDescription& t) { t.Fields[3].CharCase = ccUpper; },
       KURA_INVALIDFLDTYPE, "Day", ""},
      {"default that is not a date", [](TTableDescription& t) { t.Fields[3].Default = "soon"; },
       KURA_INVALIDVCHKSTRUCT, "Day", ""},
      {"maximum on a BLOB", [](TTableDescription& t) { t.Fields[2].Maximum = "x"; },
       KURA_INVALIDVCHKSTRUCT, "Memo", ""},
      {"record over 65534 bytes",
       [](TTableDescription& t) {
         for (int i = 0; i < 130; ++i) {
           t.Fields.push_back(MakeField(Numbered("Big", i).c_str(), dtString, 0, 512));
         }
       },
       KURA_RECTOOBIG, "", ""},
      {"BLOB block too small", [](TTableDescription& t) { t.BlobBlockSize = 63; }, KURA_BLOBLIMIT,
       "", ""},
      {"locale not installed", [](TTableDescription& t) { t.LocaleID = 0x7FFF; },
       KURA_CANNOTLOADLDDRV, "", ""},
      {"page size too small", [](TTableDescription& t) { t.IndexPageSize = 512; }, KURA_INDEXLIMIT,
       "", ""},
      {"primary over an unknown field",
       [](TTableDescription& t) { t.PrimaryIndex->FieldNames = {"Nothing"}; },
       KURA_INVALIDIDXDESC, "Nothing", "Primary"},
      {"primary over a BLOB", [](TTableDescription& t) { t.PrimaryIndex->FieldNames = {"Memo"}; },
       KURA_SEARCHCOLREQD, "Memo", "Primary"},
      {"index without fields", [](TTableDescription& t) { t.SecondaryIndexes[0].FieldNames = {}; },
       KURA_INDEXLIMIT, "", "ByDay"},
      {"secondary without a name", [](TTableDescription& t) { t.SecondaryIndexes[0].Name = ""; },
       KURA_INDEXNAMEREQUIRED, "", ""},
      {"secondary name with a blank first",
       [](TTableDescription& t) { t.SecondaryIndexes[0].Name = " Day"; },
       KURA_INVALIDINDEXNAME, "", " Day"},
      {"secondary name repeated", [](TTableDescription& t) { t.SecondaryIndexes[1].Name = "BYDAY"; },
       KURA_INDEXEXISTS, "", "BYDAY"},
      {"31 secondary indexes",
       [](TTableDescription& t) {
         t.SecondaryIndexes.clear();
         for (int i = 0; i < 31; ++i) {
           t.SecondaryIndexes.push_back(Index(Numbered("I", i).c_str(), {"Day"}));
         }
       },
       KURA_INDEXLIMIT, "", ""},
      {"unknown compression", [](TTableDescription& t) { t.SecondaryIndexes[1].Compression = 4; },
       KURA_INVALIDKEY, "", "ByNote"},
      {"key too long for the page",
       [](TTableDescription& t) {
         t.Fields[1].Length = 500;
         t.IndexPageSize = 1024;
       },
       KURA_INVALIDKEY, "", "ByNote"},
      {"text index over a date", [](TTableDescription& t) { t.TextIndexFields = {"Day"}; },
       KURA_SEARCHCOLREQD, "Day", "Sys Text"},
      {"text index field listed twice",
       [](TTableDescription& t) { t.TextIndexFields = {"Note", "note"}; }, KURA_INVALIDIDXDESC,
       "note", "Sys Text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTableDescription t = RichTable();
    c.edit(t);
    RaisedError e = ErrorOf([&] { Create(t); });
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.table_name, "T");
    EXPECT_EQ(e.field_name, c.field);
    EXPECT_EQ(e.index_name, c.index);
    EXPECT_FALSE(AnyFileOf("T"));
  }
}

TEST_F(TableCreatorTest, AnExistingTableIsNeverTouched) {
  for (const char* existing : {"T.dat", "T.idx", "T.blb"}) {
    SCOPED_TRACE(existing);
    kura_test::WriteNativeFile(dir_.NativePath(existing), "keep");
    EXPECT_EQ(ErrorOf([&] { Create(RichTable()); }).code, KURA_TABLEEXISTS);
    EXPECT_EQ(Bytes(existing), "keep");
    std::remove(dir_.NativePath(existing).c_str());
    EXPECT_FALSE(AnyFileOf("T"));
  }
  EXPECT_EQ(ErrorOf([&] { Create(RichTable(), "sub\\T"); }).code, KURA_OSEACCES);
  EXPECT_EQ(ErrorOf([&] { Create(RichTable(), "sub/T"); }).code, KURA_OSEACCES);
  // In code page 932 the byte 5C also ends double-byte characters: this name is one character.
  Create(RichTable(), "\x95\x5C");
  OpenAndCheck("\x95\x5C");
  EXPECT_EQ(ErrorOf([&] { Create(RichTable(), ""); }).code, KURA_OSEACCES);
}

// A failure after the data file was written removes it again.
TEST_F(TableCreatorTest, AFailedWriteLeavesNoHalfMadeTable) {
  TTableDescription t = RichTable();
  // The BLOB file, written last, cannot be created where a folder of its name stands.
  ASSERT_TRUE(platform::ForceDirectories(dir_.EnginePath("T.blb")));
  RaisedError e = ErrorOf([&] { Create(t); });
  EXPECT_NE(e.code, 0);
  EXPECT_FALSE(Exists("T.dat"));
  EXPECT_FALSE(Exists("T.idx"));
}

}  // namespace
}  // namespace kura
