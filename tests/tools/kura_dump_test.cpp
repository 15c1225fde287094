// kura-dump against data files built by code: the text and JSON forms, damaged files, usage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/format/bcd.h"
#include "engine/format/date_time.h"
#include "tests/support/child_process.h"
#include "tests/support/data_file_builder.h"
#include "tests/support/temp_dir.h"

namespace {

using kura_test::MakeField;
using kura_test::RecordBuilder;
using kura_test::RunCommand;
using namespace kura;

const std::string kTool = std::string(KURA_TOOLS_DIR) + "/kura-dump";

class KuraDumpTest : public ::testing::Test {
 protected:
  // One field of every kind and three slots: two live records and a deleted one.
  void WriteFixture() {
    kura_test::TableDefinition table;
    table.description = "cash book";
    table.fields = {MakeField("Name", dtString, 0, 10), MakeField("Day", dtDate),
                   MakeField("At", dtTime),            MakeField("Stamp", dtTimeStamp),
                   MakeField("Ok", dtBoolean),         MakeField("Small", dtSmallInt),
                   MakeField("Count", dtInteger),      MakeField("Amount", dtFloat),
                   MakeField("Money", dtBCD),          MakeField("Raw", dtBytes, 0, 3),
                   MakeField("Word", dtWord),          MakeField("Big", dtLargeInt),
                   MakeField("Memo", dtBlob, fsMemo)};
    table.fields[8].Decimals = 2;
    auto fields = kura_test::PreparedFields(table.fields);
    uint16_t length = static_cast<uint16_t>(ComputeRecordLength(fields.data(), fields.size()));
    uint8_t bcd[kBcdSize];
    EncodeBcd(-125000, 2, bcd);
    uint8_t blob[8];
    PutI32(blob, -1);  // a handle: sets the flag; the block number is put below
    RecordBuilder first(fields, length);
    first.SetText(1, "A\x82\xa0")  // "A" and hiragana A in Shift_JIS
        .Set(2, int32_t{738916})
        .Set(3, int32_t{43200000})
        .Set(4, 63839793600000.0 + 5)
        .Set(5, uint16_t{1})
        .Set(6, int16_t{-2})
        .Set(7, int32_t{42})
        .Set(8, 2.5)
        .SetBytes(9, std::vector<uint8_t>(bcd, bcd + kBcdSize))
        .SetBytes(10, {0x00, 0xab, 0x7f})
        .Set(11, uint16_t{65535})
        .Set(12, int64_t{-9000000000})
        .SetBytes(13, std::vector<uint8_t>(blob, blob + 8))
        .SetID(1);
    std::vector<uint8_t> one = first.bytes();
    PutI32(one.data() + fields[12].Offset + 1, 17);  // block 17
    PutI32(one.data() + fields[12].Offset + 5, 99);  // signature 99
    std::vector<uint8_t> two = RecordBuilder(fields, length).SetText(1, "quote\"").SetID(2).bytes();
    std::vector<uint8_t> gone = RecordBuilder(fields, length).SetID(3).bytes();
    gone[0] = 1;  // deleted, end of the chain
    TDataEngine engine;
    kura_test::WriteDataFile(&engine, dir_.EnginePath("SORAMI.dat"), table, {one, two, gone});
  }

  kura_test::TempDir dir_;
};

TEST_F(KuraDumpTest, TextShowsHeaderFieldsAndEverySlot) {
  WriteFixture();
  auto r = RunCommand(kTool, {dir_.native(), "SORAMI"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("Table SORAMI"), std::string::npos);
  EXPECT_NE(r.out.find("  NextEndingRecord: 4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  RecordCount: 2\n"), std::string::npos);
  EXPECT_NE(r.out.find("  Description: cash book\n"), std::string::npos);
  EXPECT_NE(r.out.find("  1 Name string(10) offset 25 size 11\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  9 Money bcd decimals 2"), std::string::npos);
  EXPECT_NE(r.out.find("  1 live id 1: Name=\"A\xe3\x81\x82\" Day=\"2024-01-31\" "
                       "At=\"12:00:00.000\" Stamp=\"2024-01-01 12:00:00.005\" Ok=true Small=-2 "
                       "Count=42 Amount=2.5 Money=-12.50 Raw=\"00ab7f\" Word=65535 "
                       "Big=-9000000000 Memo=blob(block 17, signature 99)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  3 deleted id 3 next 0: Name=null"), std::string::npos) << r.out;
}

TEST_F(KuraDumpTest, JsonHasHeaderFieldsAndRecords) {
  WriteFixture();
  auto r = RunCommand(kTool, {dir_.native(), "SORAMI.dat", "--json"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::string& o = r.out;
  EXPECT_EQ(o.substr(0, 16), "{\n  \"header\": {\n");
  EXPECT_NE(o.find("\"UpdateStamp\": "), std::string::npos);
  EXPECT_NE(o.find("\"RecordLength\": "), std::string::npos);
  EXPECT_NE(o.find("\"Encrypted\": false"), std::string::npos);
  EXPECT_NE(o.find("\"FileSignature\": \"8abe8e592364cb403d71d2e3bc64d001\""), std::string::npos);
  EXPECT_NE(o.find("{\"FieldNum\": 1, \"FieldName\": \"Name\", \"Description\": \"\", "
                   "\"DataType\": 1, \"TypeName\": \"string\", \"SubType\": 0, \"Length\": 10, "
                   "\"Decimals\": 0, \"DataSize\": 11, \"Offset\": 25"),
            std::string::npos)
      << o;
  EXPECT_NE(o.find("{\"slot\": 1, \"status\": \"live\", \"id\": 1, \"values\": {"
                   "\"Name\": \"A\xe3\x81\x82\", \"Day\": \"2024-01-31\", "
                   "\"At\": \"12:00:00.000\", \"Stamp\": \"2024-01-01 12:00:00.005\", "
                   "\"Ok\": true, \"Small\": -2, \"Count\": 42, \"Amount\": 2.5, "
                   "\"Money\": -12.50, \"Raw\": \"00ab7f\", \"Word\": 65535, "
                   "\"Big\": -9000000000, \"Memo\": {\"block\": 17, \"signature\": 99}}}"),
            std::string::npos)
      << o;
  EXPECT_NE(o.find("{\"slot\": 2, \"status\": \"live\", \"id\": 2, \"values\": {"
                   "\"Name\": \"quote\\\"\", \"Day\": null"),
            std::string::npos)
      << o;
  EXPECT_NE(o.find("{\"slot\": 3, \"status\": \"deleted\", \"id\": 3, \"next\": 0"),
            std::string::npos);
  EXPECT_EQ(o.substr(o.size() - 8), "}\n  ]\n}\n");
}

TEST_F(KuraDumpTest, DamagedFilesEndInTheEngineMessage) {
  WriteFixture();
  const std::string path = dir_.NativePath("SORAMI.dat");
  const std::string good = kura_test::ReadNativeFile(path);
  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  };
  std::string longer = good + "x";
  std::string old = good;
  old[8] = 5;
  std::string fields = good;
  PutU16(reinterpret_cast<uint8_t*>(&fields[47]), 60000);
  std::string cut = good.substr(0, 300);
  std::string slots = good;
  PutI32(reinterpret_cast<uint8_t*>(&slots[29]), 2000000000);
  const Case cases[] = {
      {"a byte too many", longer, "Header information corrupt in the table 'SORAMI'"},
      {"old version", old, "The table 'SORAMI' is not the correct version"},
      {"impossible field count", fields, "Header information corrupt in the table 'SORAMI'"},
      {"cut inside the header", cut, "Error reading from the table or backup file 'SORAMI'"},
      {"impossible slot count", slots, "Header information corrupt in the table 'SORAMI'"},
  };
  for (const Case& c : cases) {
    kura_test::WriteNativeFile(path, c.bytes);
    auto r = RunCommand(kTool, {dir_.native(), "SORAMI", "--json"});
    EXPECT_EQ(r.exit_status, 1) << c.name;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
  }
  auto missing = RunCommand(kTool, {dir_.native(), "NOTHERE"});
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_NE(missing.err.find("'NOTHERE' does not exist"), std::string::npos) << missing.err;
}

TEST_F(KuraDumpTest, GarbageInARecordSlotIsShownNotTrusted) {
  WriteFixture();
  const std::string path = dir_.NativePath("SORAMI.dat");
  std::string b = kura_test::ReadNativeFile(path);
  const size_t slot1 = 512 + 768 * 13;
  // Fill slot 1 after its header with 0xFF: flags 255 read as null, nothing crashes.
  std::memset(&b[slot1 + 25], 0xFF, 40);
  // Slot 2: a date and a BCD that do not decode, and a string without a terminator.
  auto fields = kura_test::PreparedFields({MakeField("Name", dtString, 0, 10),
                                           MakeField("Day", dtDate)});
  const size_t length = b.size() - slot1;  // three slots
  const size_t slot2 = slot1 + length / 3;
  b[slot2 + 25] = 1;
  std::memset(&b[slot2 + 26], 'z', 11);
  b[slot2 + 37] = 1;
  PutI32(reinterpret_cast<uint8_t*>(&b[slot2 + 38]), -5);
  kura_test::WriteNativeFile(path, b);
  auto r = RunCommand(kTool, {dir_.native(), "SORAMI"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("  1 live id 1: Name=null Day=null"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Name=\"zzzzzzzzzzz\" Day=\"invalid -5\""), std::string::npos) << r.out;
}

TEST_F(KuraDumpTest, UsageAndHelp) {
  auto help = RunCommand(kTool, {"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("usage: kura-dump DIR TABLE [--json]"), std::string::npos);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"only-dir"}, {"a", "b", "c"}, {"a", "b", "--bogus"}}) {
    auto r = RunCommand(kTool, args);
    EXPECT_EQ(r.exit_status, 2) << args.size();
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
}

}  // namespace
