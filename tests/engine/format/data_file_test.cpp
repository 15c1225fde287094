#include "engine/format/data_file.h"

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
#include "engine/format/date_time.h"
#include "engine/format/record.h"
#include "engine/md5.h"
#include "platform/clock.h"
#include "tests/support/child_process.h"
#include "tests/support/data_file_builder.h"
#include "tests/support/fake_table_owner.h"
#include "tests/support/temp_dir.h"

namespace kura {
namespace {

using kura_test::FakeTableOwner;
using kura_test::MakeField;
using kura_test::RecordBuilder;
using kura_test::TableDefinition;

uint16_t CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKuraEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

class DataFileTest : public ::testing::Test {
 protected:
  DataFileTest() : owner_(&engine_) {}

  std::string Path() const { return dir_.EnginePath("T.dat"); }
  std::string NativePath() const { return dir_.NativePath("T.dat"); }
  std::string Bytes() const { return kura_test::ReadNativeFile(NativePath()); }
  void SetBytes(const std::string& b) { kura_test::WriteNativeFile(NativePath(), b); }

  std::unique_ptr<TDataFile> Open(bool exclusive = false) {
    auto f = std::make_unique<TDataFile>(&owner_);
    f->SetFileName(Path());
    f->SetExclusive(exclusive);
    f->OpenFile();
    return f;
  }

  // A table of a string(10) "Name" and an integer "N", with `count` records N = 1..count.
  void WriteNumbers(int count) {
    TableDefinition table;
    table.fields = {MakeField("Name", dtString, 0, 10), MakeField("N", dtInteger)};
    auto fields = kura_test::PreparedFields(table.fields);
    std::vector<std::vector<uint8_t>> records;
    for (int i = 1; i <= count; ++i) {
      std::string name(1, 'n');
      name += std::to_string(i);
      records.push_back(RecordBuilder(fields, 48).SetText(1, name).Set(2, i).SetID(i).bytes());
    }
    kura_test::WriteDataFile(&engine_, Path(), table, records);
  }

  kura_test::TempDir dir_;
  TDataEngine engine_;
  FakeTableOwner owner_;
};

TEST_F(DataFileTest, ANewTableIsHeaderAndDefinitionsOnly) {
  TableDefinition table;
  table.fields = {MakeField("Name", dtString, 0, 10)};
  kura_test::WriteDataFile(&engine_, Path(), table);
  std::string b = Bytes();
  ASSERT_EQ(b.size(), 512u + 768u);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(b.data());
  EXPECT_EQ(GetI32(p + 0), 1);   // UpdateStamp after the first forced write
  EXPECT_EQ(p[8], 6);            // VersionNum
  uint8_t standard[16];
  TDataEngine::StandardSignatureDigest().ToBytes(standard);
  EXPECT_EQ(std::memcmp(p + 9, standard, 16), 0);
  EXPECT_EQ(GetI32(p + 25), 0);  // NextFreeRecord
  EXPECT_EQ(GetI32(p + 29), 1);  // NextEndingRecord
  EXPECT_EQ(GetI32(p + 41), 0);  // RecordCount
  EXPECT_EQ(GetU16(p + 45), 40);  // RecordLength: 25 + 12 -> 40
  EXPECT_EQ(GetU16(p + 47), 1);
  EXPECT_EQ(p[197], 1);           // the writer's modified flag
  const uint8_t* def = p + 512;
  EXPECT_EQ(GetU16(def + 0), 1);
  EXPECT_EQ(def[164], dtString);
  EXPECT_EQ(GetU16(def + 166), 10);
  EXPECT_EQ(GetU16(def + 169), 11);  // DataSize
  EXPECT_EQ(GetU16(def + 172), 25);  // Offset

  auto f = Open();
  EXPECT_NO_THROW(f->CheckHeader());
  EXPECT_EQ(f->HeaderSize(), 512 + 768);
  EXPECT_EQ(f->IOBlocksUsed(), 0);
  EXPECT_FALSE(f->HeaderIsDirty());  // the stored flag is ignored on read
}

TEST_F(DataFileTest, LastUpdatedIsStoredAsTheDateTimeMinusTheBias) {
  platform::LocalDateTime before = platform::LocalNow();
  WriteNumbers(0);
  platform::LocalDateTime after = platform::LocalNow();
  auto moment = [](const platform::LocalDateTime& t) {
    int32_t day = 0, ms = 0;
    TryEncodeDate(t.year, t.month, t.day, &day);
    TryEncodeTime(t.hour, t.minute, t.second, t.millisecond, &ms);
    return DateTimeFromParts(day, ms);
  };
  auto f = Open();
  double stored = GetF64(reinterpret_cast<const uint8_t*>(Bytes().data()) + 63);
  EXPECT_EQ(f->LastUpdated(), stored + 693594.0);
  const double ms = 1.0 / 86400000;
  EXPECT_GE(f->LastUpdated(), moment(before) - ms);
  EXPECT_LE(f->LastUpdated(), moment(after) + ms);
  EXPECT_LT(stored, -600000.0);  // a date of this century minus 693594
}

TEST_F(DataFileTest, OpenChecksVersionSignatureAndFieldCountInOrder) {
  WriteNumbers(0);
  const std::string good = Bytes();
  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
    uint16_t code;
  };
  const Case cases[] = {
      {"version 5", [](std::string& b) { b[8] = 5; }, KURA_OLDVERSION},
      {"version 0", [](std::string& b) { b[8] = 0; }, KURA_OLDVERSION},
      {"version 7", [](std::string& b) { b[8] = 7; }, KURA_BADSIGNATURE},
      {"signature", [](std::string& b) { b[9] ^= 1; }, KURA_BADSIGNATURE},
      {"version before signature", [](std::string& b) { b[8] = 5; b[9] ^= 1; }, KURA_OLDVERSION},
      {"field count 1025", [](std::string& b) { PutU16(reinterpret_cast<uint8_t*>(&b[47]), 1025); },
       KURA_HEADERCORRUPT},
      {"field past the record", [](std::string& b) { PutU16(reinterpret_cast<uint8_t*>(&b[45]), 16); },
       KURA_HEADERCORRUPT},
      {"record shorter than its header",
       [](std::string& b) {
         PutU16(reinterpret_cast<uint8_t*>(&b[47]), 0);
         PutU16(reinterpret_cast<uint8_t*>(&b[45]), 8);
       },
       KURA_HEADERCORRUPT},
      {"definitions cut short", [](std::string& b) { b.resize(700); }, KURA_READERR},
      {"header cut short", [](std::string& b) { b.resize(100); }, KURA_READERR},
  };
  for (const Case& c : cases) {
    std::string b = good;
    c.damage(b);
    SetBytes(b);
    EXPECT_EQ(CodeOf([&] { Open(); }), c.code) << c.name;
  }
}

TEST_F(DataFileTest, TheStandardSignatureOpensUnderAnyEngineSignature) {
  WriteNumbers(0);  // stamped with the standard signature
  engine_.SetSignature("another signature");
  EXPECT_NO_THROW(Open());
  // A file stamped with the other signature opens only under that signature.
  std::remove(NativePath().c_str());
  WriteNumbers(0);
  EXPECT_NO_THROW(Open());
  engine_.SetSignature("");
  EXPECT_EQ(CodeOf([&] { Open(); }), KURA_BADSIGNATURE);
}

TEST_F(DataFileTest, AnEncryptedTableSettlesItsPasswordBeforeReadingDefinitions) {
  TableDefinition table;
  table.fields = {MakeField("Name", dtString, 0, 10)};
  {
    FakeTableOwner writer(&engine_);
    TDataFile file(&writer);
    file.SetFileName(Path());
    file.CreateFile();
    TDigestBytes digest{};
    digest.fill(0xAB);
    file.UpdateHeader(0, 0, 0, true, digest, "", 4096, 512, 0);
    file.SetFieldDefinitions(kura_test::PreparedFields(table.fields));
    file.WriteHeader(true);
    file.WriteFieldDefinitions();
    TRecord* r = nullptr;
    file.GetRecord(nullptr, 1, false, 0, &r);
    std::vector<uint8_t> plain(40, 0);
    plain[25] = 1;
    plain[26] = 'x';
    r->CopyBuffer(plain.data());
    file.PutRecord(r);
    file.FlushBuffers();
    file.WriteHeader(false);
  }
  std::string b = Bytes();
  // The header is plain; the definitions and the slot went through the cipher.
  EXPECT_EQ(b[172], 1);
  EXPECT_EQ(uint8_t(b[173]), 0xAB);
  EXPECT_NE(b[512 + 2], 4);  // the name's length byte is not in clear
  EXPECT_EQ(uint8_t(b[512 + 768 + 26]), 'x' ^ 0x5A);
  auto f = Open();
  EXPECT_EQ(owner_.verify_digest_calls, 1);
  EXPECT_EQ(owner_.verified_digest[0], 0xAB);
  EXPECT_EQ(f->FieldDefinitions()[0].FieldName, "Name");
  TRecord* r = nullptr;
  ASSERT_TRUE(f->GetRecord(nullptr, 1, false, 0, &r));
  EXPECT_EQ(r->Data()[26], 'x');
  f->PutRecord(r);
}

// Damages one thing in a valid two-field table and expects CheckHeader to refuse it.
TEST_F(DataFileTest, CheckHeaderRefusesEveryInconsistency) {
  WriteNumbers(3);
  const std::string good = Bytes();
  auto at = [](std::string& b, size_t offset) { return reinterpret_cast<uint8_t*>(&b[offset]); };
  auto name = [&](std::string& b, int field, const std::string& n) {
    PutShortString(at(b, 512 + 768 * field + 2), 60, n);
  };
  auto text = [&](std::string& b, int field, size_t offset, const std::string& t) {
    PutShortString(at(b, 512 + 768 * field + offset), 100, t);
  };
  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
    uint16_t code;
  };
  const Case cases[] = {
      {"one byte more than whole slots", [](std::string& b) { b.push_back('\0'); },
       KURA_HEADERCORRUPT},
      {"slot count disagrees with NextEndingRecord",
       [&](std::string& b) { PutI32(at(b, 29), 3); }, KURA_HEADERCORRUPT},
      {"NextFreeRecord past the slots", [&](std::string& b) { PutI32(at(b, 25), 4); },
       KURA_HEADERCORRUPT},
      {"NextFreeRecord negative", [&](std::string& b) { PutI32(at(b, 25), -1); },
       KURA_HEADERCORRUPT},
      {"names differing in case", [&](std::string& b) { name(b, 1, "NAME"); },
       KURA_HEADERCORRUPT},
      {"names differing in surrounding blanks", [&](std::string& b) { name(b, 1, " Name "); },
       KURA_HEADERCORRUPT},
      {"empty name", [&](std::string& b) { name(b, 1, ""); }, KURA_HEADERCORRUPT},
      {"name starting with a digit", [&](std::string& b) { name(b, 1, "1N"); },
       KURA_HEADERCORRUPT},
      {"field number not its position", [&](std::string& b) { PutU16(at(b, 512 + 768), 5); },
       KURA_HEADERCORRUPT},
      {"duplicate field numbers", [&](std::string& b) { PutU16(at(b, 512 + 768), 1); },
       KURA_HEADERCORRUPT},
      {"type 0", [&](std::string& b) { *at(b, 512 + 768 + 164) = 0; }, KURA_HEADERCORRUPT},
      {"string longer than 512", [&](std::string& b) { PutU16(at(b, 512 + 166), 513); },
       KURA_HEADERCORRUPT},
      {"length on an integer", [&](std::string& b) { PutU16(at(b, 512 + 768 + 166), 4); },
       KURA_HEADERCORRUPT},
      {"decimals on an integer", [&](std::string& b) { *at(b, 512 + 768 + 168) = 2; },
       KURA_HEADERCORRUPT},
      {"integer default", [&](std::string& b) { text(b, 1, 378, "1.5"); }, KURA_HEADERCORRUPT},
      {"integer minimum", [&](std::string& b) { text(b, 1, 176, "x"); }, KURA_HEADERCORRUPT},
      {"integer maximum", [&](std::string& b) { text(b, 1, 277, "99999999999"); },
       KURA_HEADERCORRUPT},
      {"offset out of line", [&](std::string& b) { PutU16(at(b, 512 + 768 + 172), 38); },
       KURA_HEADERCORRUPT},
      {"record length", [&](std::string& b) { PutU16(at(b, 45), 56); }, KURA_HEADERCORRUPT},
      {"locale not installed", [&](std::string& b) { PutI32(at(b, 189), 0x7FFF); },
       KURA_CANNOTLOADLDDRV},
  };
  for (const Case& c : cases) {
    std::string b = good;
    c.damage(b);
    SetBytes(b);
    uint16_t code = CodeOf([&] { Open()->CheckHeader(); });
    EXPECT_EQ(code, c.code) << c.name;
  }
  SetBytes(good);
  EXPECT_EQ(CodeOf([&] { Open()->CheckHeader(); }), 0);
}

TEST_F(DataFileTest, CheckHeaderValidatesLiteralsByType) {
  struct Case {
    uint8_t type;
    const char* literal;
    bool valid;
  };
  const Case cases[] = {
      {dtDate, "2024-01-31", true},      {dtDate, "current_date", true},
      {dtDate, "31.01.2024", false},     {dtTime, "1:30 PM", true},
      {dtTime, "CURRENT_TIME", true},    {dtTime, "25:00", false},
      {dtTimeStamp, "CURRENT_DATE", true}, {dtTimeStamp, "12:00", true},
      {dtTimeStamp, "2024-01-01 12:00", true}, {dtTimeStamp, "2024-01-01 1200", false},
      {dtBoolean, "False", true},        {dtBoolean, "1", false},
      {dtSmallInt, "-32768", true},      {dtSmallInt, "32768", false},
      {dtWord, "65535", true},           {dtWord, "-1", false},
      {dtLargeInt, "-9223372036854775808", true}, {dtLargeInt, "9223372036854775808", false},
      {dtFloat, "1.5e3", true},          {dtFloat, "1,5", false},
      {dtBCD, "-12.345", true},          {dtBCD, "abc", false},
      {dtBlob, "x", false},              {dtBlob, "", true},
      {dtBytes, "anything", true},
  };
  for (const Case& c : cases) {
    TableDefinition table;
    table.fields = {MakeField("F", c.type)};
    table.fields[0].Default = c.literal;
    if (c.type == dtBytes) table.fields[0].Length = 4;
    kura_test::WriteDataFile(&engine_, Path(), table);
    uint16_t code = CodeOf([&] { Open()->CheckHeader(); });
    EXPECT_EQ(code, c.valid ? 0 : KURA_HEADERCORRUPT) << int(c.type) << " " << c.literal;
  }
}

TEST_F(DataFileTest, WideStringsOfUpTo256CharactersPass) {
  for (uint16_t length : {uint16_t{256}, uint16_t{257}}) {
    TableDefinition table;
    table.fields = {MakeField("W", dtString, fsWide, length)};
    kura_test::WriteDataFile(&engine_, Path(), table);
    auto f = Open();
    EXPECT_EQ(f->FieldDefinitions()[0].DataSize, 2 * length + 1);
    EXPECT_EQ(CodeOf([&] { f->CheckHeader(); }), length == 256 ? 0 : KURA_HEADERCORRUPT);
  }
}

TEST_F(DataFileTest, SetFieldDefinitionsEnforcesTheLimits) {
  FakeTableOwner writer(&engine_);
  TDataFile file(&writer);
  file.SetFileName(Path());
  file.CreateFile();
  std::vector<TFieldDefinition> blobs;
  for (int i = 0; i < 129; ++i) blobs.push_back(MakeField("B", dtBlob));
  EXPECT_EQ(CodeOf([&] { file.SetFieldDefinitions(kura_test::PreparedFields(blobs)); }),
            KURA_BLOBLIMIT);
  blobs.pop_back();
  EXPECT_EQ(CodeOf([&] { file.SetFieldDefinitions(kura_test::PreparedFields(blobs)); }), 0);
  EXPECT_EQ(file.BlobFieldCount(), 128);
  // 128 strings of 512 bytes: 25 + 128 x 514 = 65817 > 65534.
  std::vector<TFieldDefinition> wide(128, MakeField("S", dtString, 0, 512));
  EXPECT_EQ(CodeOf([&] { file.SetFieldDefinitions(kura_test::PreparedFields(wide)); }),
            KURA_RECTOOBIG);
  wide.pop_back();
  EXPECT_EQ(CodeOf([&] { file.SetFieldDefinitions(kura_test::PreparedFields(wide)); }), 0);
  EXPECT_EQ(file.RecordLength(), (25 + 127 * 514 + 7) / 8 * 8);
  EXPECT_TRUE(file.FieldsAreDirty());
  EXPECT_TRUE(file.HeaderIsDirty());
}

TEST_F(DataFileTest, FieldLookUpsIncludingThePseudoFields) {
  WriteNumbers(0);
  auto f = Open();
  EXPECT_EQ(f->GetFieldDefinitionByPos(2)->FieldName, "N");
  EXPECT_EQ(f->GetFieldDefinitionByPos(0), nullptr);
  EXPECT_EQ(f->GetFieldDefinitionByPos(3), nullptr);
  EXPECT_EQ(f->GetFieldDefinitionByPos(65535)->Offset, 5);
  EXPECT_EQ(f->GetFieldDefinitionByPos(65534)->Offset, 9);
  EXPECT_EQ(f->GetFieldDefinitionByName("name")->FieldNum, 1);
  EXPECT_EQ(f->GetFieldDefinitionByName("RECORDID")->FieldNum, 65535);
  EXPECT_EQ(f->GetFieldDefinitionByName("recordhash")->FieldNum, 65534);
  EXPECT_EQ(f->GetFieldDefinitionByName("missing"), nullptr);
  EXPECT_EQ(f->GetFieldNumber("n"), 2);
  EXPECT_EQ(f->GetFieldNumber("RecordId"), 65535);
  EXPECT_EQ(f->GetFieldNumber("x"), 0);
  TFieldDefinition* n = f->GetFieldDefinitionByNumber(2);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->FieldPos, 2);
  EXPECT_EQ(f->GetFieldDefinitionByNumber(9), nullptr);

  TFieldDefinition update = *n;
  update.FieldName = "Count";
  update.Required = true;
  update.DataType = dtFloat;  // not taken over
  EXPECT_TRUE(f->UpdateFieldDefinitionByPos(2, update));
  EXPECT_FALSE(f->UpdateFieldDefinitionByPos(3, update));
  EXPECT_EQ(f->GetFieldDefinitionByPos(2)->FieldName, "Count");
  EXPECT_EQ(f->GetFieldDefinitionByPos(2)->DataType, dtInteger);
  EXPECT_TRUE(f->FieldsAreDirty());
}

TEST_F(DataFileTest, CountersAndTheirDirtyFlag) {
  WriteNumbers(0);
  auto f = Open();
  f->SetLastRecordID(0);
  EXPECT_FALSE(f->HeaderIsDirty());  // unchanged value
  f->SetLastRecordID(2147483647);
  EXPECT_TRUE(f->HeaderIsDirty());
  EXPECT_EQ(f->NextRecordID(), 1);
  f->SetLastBlobSignature(2147483647);
  EXPECT_EQ(f->NextBlobSignature(), 1);
  f->IncRecordCount();
  f->IncRecordCount();
  f->DecRecordCount();
  EXPECT_EQ(f->RecordCount(), 1);
  EXPECT_EQ(f->GetNextFreeRecord(), 1);  // empty chain: the slot past the end
  int32_t stamp = f->LastUpdateStamp();
  EXPECT_TRUE(f->WriteHeader(false));
  EXPECT_EQ(f->LastUpdateStamp(), stamp + 1);
  EXPECT_FALSE(f->WriteHeader(false));
  f->UpdateHeaderStamp();
  EXPECT_EQ(f->LastUpdateStamp(), stamp + 2);
  EXPECT_TRUE(f->HeaderIsDirty());
}

TEST_F(DataFileTest, TheFreeChainIsLastInFirstOut) {
  WriteNumbers(8);
  auto f = Open();
  for (int32_t slot : {3, 7}) {
    TRecord* r = nullptr;
    ASSERT_TRUE(f->GetRecord(nullptr, slot, false, 0, &r));
    FreeRecordSlot(f.get(), r, false);
    f->PutRecord(r);
  }
  EXPECT_EQ(f->NextFreeRecord(), 7);
  TRecord* seven = nullptr;
  f->GetRecord(nullptr, 7, false, 0, &seven);
  EXPECT_EQ(seven->NextFreeNumber(), 3);
  EXPECT_EQ(seven->Status(), kRecordDeleted);
  f->PutRecord(seven);
  f->FlushBuffers();
  f->WriteHeader(false);
  // On disk too.
  std::string b = Bytes();
  EXPECT_EQ(GetI32(reinterpret_cast<const uint8_t*>(b.data()) + 25), 7);
  EXPECT_EQ(GetI32(reinterpret_cast<const uint8_t*>(b.data()) + 512 + 768 * 2 + 6 * 48 + 1), 3);

  std::vector<int32_t> taken;
  for (int i = 0; i < 3; ++i) {
    TRecord* r = nullptr;
    ASSERT_TRUE(AllocateRecordSlot(f.get(), nullptr, &r));
    taken.push_back(r->Number());
    EXPECT_EQ(r->OriginalNumber(), r->Number());
    r->SetStatus(kRecordLive);
    f->PutRecord(r);
  }
  EXPECT_EQ(taken, (std::vector<int32_t>{7, 3, 9}));
  EXPECT_EQ(f->NextFreeRecord(), 0);
  EXPECT_EQ(f->NextEndingRecord(), 10);
}

TEST_F(DataFileTest, AChainHeadThatIsALiveRecordIsNotOverwritten) {
  WriteNumbers(3);
  auto f = Open();
  f->SetNextFreeRecord(2);  // slot 2 holds a live record
  TRecord* r = nullptr;
  EXPECT_EQ(CodeOf([&] { AllocateRecordSlot(f.get(), nullptr, &r); }), KURA_FILECORRUPT);
  EXPECT_EQ(r, nullptr);
  TRecord* two = nullptr;
  f->GetRecord(nullptr, 2, false, 0, &two);
  EXPECT_EQ(two->UseCount(), 1);  // the failed allocation gave its use back
  f->PutRecord(two);
}

TEST_F(DataFileTest, CachedUpdatesMarkTheSlotWithoutChainingIt) {
  WriteNumbers(2);
  auto f = Open();
  TRecord* r = nullptr;
  f->GetRecord(nullptr, 2, false, 0, &r);
  FreeRecordSlot(f.get(), r, true);
  EXPECT_EQ(r->Status(), kRecordDeleted);
  EXPECT_EQ(f->NextFreeRecord(), 0);
  f->PutRecord(r);
}

TEST_F(DataFileTest, PhysicalFieldsAndTheirErrors) {
  WriteNumbers(1);
  auto f = Open();
  TRecord* r = nullptr;
  f->GetRecord(nullptr, 1, false, 0, &r);
  std::vector<uint8_t> record(r->Data(), r->Data() + 48);
  f->PutRecord(r);
  uint8_t value[11] = {};
  bool blank = true;
  EXPECT_TRUE(f->GetPhysicalField(1, record.data(), value, &blank));
  EXPECT_FALSE(blank);
  EXPECT_STREQ(reinterpret_cast<char*>(value), "n1");
  f->GetPhysicalField(65535, record.data(), value, &blank);
  EXPECT_EQ(GetI32(value), 1);
  EXPECT_EQ(CodeOf([&] { f->GetPhysicalField(3, record.data(), value, &blank); }),
            KURA_OUTOFRANGE);
  f->PutPhysicalField(2, record.data(), nullptr, false);
  EXPECT_TRUE(!f->GetPhysicalField(2, record.data(), value, &blank) && blank);
}

TEST_F(DataFileTest, ValidityErrorsNameTheField) {
  TableDefinition table;
  table.fields = {MakeField("Amount", dtInteger)};
  table.fields[0].Required = true;
  kura_test::WriteDataFile(&engine_, Path(), table);
  owner_.table_name = "SORAMI";
  auto f = Open();
  std::vector<uint8_t> record(f->RecordLength(), 0);
  try {
    f->CheckRecordValidity(record.data());
    ADD_FAILURE();
  } catch (const EKuraEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), KURA_REQDERR);
    EXPECT_EQ(e.ErrorFieldName(), "Amount");
    EXPECT_EQ(e.ErrorTableName(), "SORAMI");
  }
}

TEST_F(DataFileTest, RecordHashCoversFieldsAndLeavesBlobsOut) {
  TableDefinition table;
  table.fields = {MakeField("N", dtInteger), MakeField("M", dtBlob, fsMemo)};
  kura_test::WriteDataFile(&engine_, Path(), table);
  auto f = Open();
  ASSERT_EQ(f->RecordLength(), 40);  // 25 + 5 + 9 = 39 -> 40
  std::vector<uint8_t> record(40, 0);
  record[25] = 1;
  PutI32(record.data() + 26, 42);
  record[30] = 1;
  PutI32(record.data() + 31, 17);  // a BLOB chain
  record[39] = 0xEE;               // padding
  std::vector<uint8_t> expected(40, 0);
  std::memcpy(expected.data() + 25, record.data() + 25, 5);
  EXPECT_EQ(f->CalcRecordHash(record.data()), MD5Digest(expected.data() + 25, 15));

  // Without BLOB fields the bytes from 25 to the end, padding included.
  f.reset();
  WriteNumbers(0);
  auto g = Open();
  std::vector<uint8_t> plain(48, 0x11);
  EXPECT_EQ(g->CalcRecordHash(plain.data()), MD5Digest(plain.data() + 25, 23));
}

TEST_F(DataFileTest, ChangesByASecondEngineAreSeenThroughTheStamp) {
  WriteNumbers(2);
  auto f = Open();
  EXPECT_FALSE(f->CheckForChanges());
  {
    TDataEngine other;
    FakeTableOwner other_owner(&other);
    TDataFile writer(&other_owner);
    writer.SetFileName(Path());
    writer.OpenFile();
    writer.IncRecordCount();
    writer.WriteHeader(false);
  }
  int32_t stamp = f->LastUpdateStamp();
  EXPECT_TRUE(f->CheckForChanges());
  EXPECT_EQ(f->LastUpdateStamp(), stamp + 1);
  EXPECT_EQ(f->RecordCount(), 3);
  EXPECT_FALSE(f->CheckForChanges());
}

TEST_F(DataFileTest, ChangesByAnotherProcessAreSeenThroughTheStamp) {
  WriteNumbers(2);
  auto f = Open();
  kura_test::Signal written;
  kura_test::ChildProcess child([&] {
    TDataEngine engine;
    FakeTableOwner owner(&engine);
    TDataFile writer(&owner);
    writer.SetFileName(Path());
    writer.OpenFile();
    TRecord* r = nullptr;
    writer.GetRecord(nullptr, 3, false, 0, &r);
    r->SetStatus(kRecordLive);
    writer.PutRecord(r);
    writer.FlushBuffers();
    writer.WriteHeader(false);
    written.Send();
    return 0;
  });
  ASSERT_EQ(written.Wait(), '!');
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_TRUE(f->CheckForChanges());
  EXPECT_EQ(f->IOBlocksUsed(), 3);
  f->FreeBuffers();
  TRecord* r = nullptr;
  ASSERT_TRUE(f->GetRecord(nullptr, 3, false, 0, &r));
  f->PutRecord(r);
}

TEST_F(DataFileTest, AppendPastTheRecordLimitIsRefused) {
  WriteNumbers(1);
  // A header that claims the largest number of records the engine allows.
  std::string b = Bytes();
  PutI32(reinterpret_cast<uint8_t*>(&b[29]), engine_.MaximumNumRecords() + 1);
  SetBytes(b);
  auto f = Open();
  TRecord* r = nullptr;
  EXPECT_EQ(CodeOf([&] { f->GetRecord(nullptr, f->NextEndingRecord(), false, 0, &r); }),
            KURA_TABLEFULL);
  EXPECT_EQ(f->NextEndingRecord(), engine_.MaximumNumRecords() + 1);
}

}  // namespace
}  // namespace kura
