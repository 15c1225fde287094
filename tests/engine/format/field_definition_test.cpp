#include "engine/format/field_definition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/byte_order.h"
#include "engine/format/data_header.h"
#include "tests/support/data_file_builder.h"

namespace kura {
namespace {

using kura_test::MakeField;

struct DataSizeCase {
  uint8_t type;
  uint8_t sub_type;
  uint16_t length;
  uint16_t data_size;
};

TEST(FieldDefinitionTest, DataSizeFollowsTheTypeTable) {
  const DataSizeCase cases[] = {
      {dtString, fsNone, 10, 11},   {dtString, fsFixed, 4, 5},    {dtString, fsWide, 256, 513},
      {dtString, fsGuid, 38, 39},   {dtDate, 0, 0, 4},            {dtBlob, fsMemo, 0, 8},
      {dtBoolean, 0, 0, 2},         {dtSmallInt, 0, 0, 2},        {dtInteger, fsAutoInc, 0, 4},
      {dtFloat, fsCurrency, 0, 8},  {dtBCD, 0, 0, 34},            {dtBytes, 0, 7, 7},
      {dtBytes, fsWide, 7, 7},      {dtTime, 0, 0, 4},            {dtTimeStamp, 0, 0, 8},
      {dtWord, 0, 0, 2},            {dtVarBytes, 0, 300, 300},    {dtLargeInt, 0, 0, 8},
      {13, 0, 9, 9},  // unknown code: the length
  };
  for (const DataSizeCase& c : cases) {
    EXPECT_EQ(FieldDataSize(c.type, c.sub_type, c.length), c.data_size)
        << "type " << int(c.type) << " sub-type " << int(c.sub_type);
  }
  // A damaged wide length must not wrap around to a small size.
  EXPECT_EQ(FieldDataSize(dtString, fsWide, 0xFFFF), 0xFFFF);
}

TEST(FieldDefinitionTest, LayoutOfOneStringFieldOfTen) {
  std::vector<TFieldDefinition> fields = {MakeField("Name", dtString, 0, 10)};
  EXPECT_EQ(LayOutFields(fields.data(), fields.size()), 40u);
  EXPECT_EQ(fields[0].Offset, 25);
  EXPECT_EQ(fields[0].DataSize, 11);
}

TEST(FieldDefinitionTest, LayoutChainsOffsetsWithOneFlagBytePerField) {
  std::vector<TFieldDefinition> fields = {MakeField("A", dtInteger), MakeField("B", dtString, 0, 3),
                                          MakeField("C", dtBCD), MakeField("D", dtBoolean)};
  // 25 | 1+4 | 1+4 | 1+34 | 1+2 = 73 -> 80
  EXPECT_EQ(LayOutFields(fields.data(), fields.size()), 80u);
  EXPECT_EQ(fields[0].Offset, 25);
  EXPECT_EQ(fields[1].Offset, 30);
  EXPECT_EQ(fields[2].Offset, 35);
  EXPECT_EQ(fields[3].Offset, 70);
  // Computed columns take no room in the record.
  fields[2].ExpressionField = true;
  EXPECT_EQ(ComputeRecordLength(fields.data(), fields.size()), 40u);
}

TEST(FieldDefinitionTest, EncodeWritesEveryFieldAtItsOffset) {
  TFieldDefinition d = MakeField("Amount", dtBCD);
  d.FieldNum = 3;
  d.Description = "money";
  d.Decimals = 2;
  d.DataSize = 34;
  d.DataDecimals = 2;
  d.Offset = 77;
  d.Required = true;
  d.CharCase = ccUpper;
  d.Minimum = "0";
  d.Maximum = "9999";
  d.Default = "1.5";
  d.Compression = 4;
  d.Hidden = true;
  d.FieldOrigin = "o";
  d.OriginFieldNum = 9;
  d.FieldPos = 3;
  d.FieldDatabaseOrigin = "db";
  uint8_t b[kFieldDefinitionSize];
  std::memset(b, 0xAA, sizeof b);
  d.Encode(b);
  EXPECT_EQ(GetU16(b + 0), 3);
  EXPECT_EQ(b[2], 6);
  EXPECT_EQ(std::memcmp(b + 3, "Amount", 6), 0);
  EXPECT_EQ(b[9], 0);  // past the name: zero
  EXPECT_EQ(b[63], 5);
  EXPECT_EQ(b[164], dtBCD);
  EXPECT_EQ(GetU16(b + 166), 0);
  EXPECT_EQ(b[168], 2);
  EXPECT_EQ(GetU16(b + 169), 34);
  EXPECT_EQ(b[171], 2);
  EXPECT_EQ(GetU16(b + 172), 77);
  EXPECT_EQ(b[174], 1);
  EXPECT_EQ(b[175], ccUpper);
  EXPECT_EQ(b[176], 1);
  EXPECT_EQ(b[177], '0');
  EXPECT_EQ(b[277], 4);
  EXPECT_EQ(b[378], 3);
  EXPECT_EQ(b[479], 4);
  EXPECT_EQ(GetU32(b + 481), 0u);
  EXPECT_EQ(b[485], 1);
  EXPECT_EQ(b[486], 1);
  EXPECT_EQ(GetU16(b + 587), 9);
  EXPECT_EQ(GetU16(b + 589), 3);
  EXPECT_EQ(b[591], 2);
  for (size_t i = 692; i < kFieldDefinitionSize; ++i) ASSERT_EQ(b[i], 0) << i;

  TFieldDefinition back = TFieldDefinition::Decode(b);
  uint8_t again[kFieldDefinitionSize];
  back.Encode(again);
  EXPECT_EQ(std::memcmp(b, again, sizeof b), 0);
}

TEST(FieldDefinitionTest, DecodeClampsDamagedStringLengths) {
  uint8_t b[kFieldDefinitionSize] = {};
  b[2] = 200;    // name length beyond 60
  b[378] = 255;  // default length beyond 100
  std::memset(b + 3, 'x', 60);
  TFieldDefinition d = TFieldDefinition::Decode(b);
  EXPECT_EQ(d.FieldName.size(), kFieldNameLength);
  EXPECT_EQ(d.Default.size(), kFieldTextLength);
}

TEST(FieldDefinitionTest, PseudoFieldsDescribeTheRecordHeader) {
  const TFieldDefinition& id = RecordIDFieldDefinition();
  EXPECT_EQ(id.FieldNum, 65535);
  EXPECT_EQ(id.FieldName, "RecordID");
  EXPECT_EQ(id.DataType, dtInteger);
  EXPECT_EQ(id.DataSize, 4);
  EXPECT_EQ(id.Offset, 5);
  const TFieldDefinition& hash = RecordHashFieldDefinition();
  EXPECT_EQ(hash.FieldNum, 65534);
  EXPECT_EQ(hash.DataType, dtBytes);
  EXPECT_EQ(hash.SubType, 100);
  EXPECT_EQ(hash.Length, 16);
  EXPECT_EQ(hash.DataSize, 16);
  EXPECT_EQ(hash.Offset, 9);
}

TEST(FieldDefinitionTest, FieldNameStartCharacters) {
  for (int c = 0; c < 256; ++c) {
    bool expected = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
                    (c >= 128 && c <= 254);
    EXPECT_EQ(IsValidFieldNameStart(static_cast<uint8_t>(c)), expected) << c;
  }
}

TEST(DataHeaderTest, EncodeWritesEveryFieldAtItsOffset) {
  TDataHeader h;
  h.UpdateStamp = 7;
  h.VersionNum = 6;
  for (int i = 0; i < 16; ++i) h.FileSignature[i] = static_cast<uint8_t>(i + 1);
  h.NextFreeRecord = 3;
  h.NextEndingRecord = 11;
  h.LastRecordID = 41;
  h.LastAutoIncID = 5;
  h.RecordCount = 9;
  h.RecordLength = 40;
  h.FieldCount = 2;
  h.BlobFieldCount = 1;
  h.BlobBlockSize = 512;
  h.LastBlobSignature = 77;
  h.IndexPageSize = 4096;
  h.LastUpdated = -648302.0;
  h.Description = "cash";
  h.Encrypted = true;
  h.Digest[0] = 0xEE;
  h.LocaleID = 1041;
  h.UserMajorVersion = 8;
  h.UserMinorVersion = 1;
  h.IsDirty = true;
  uint8_t b[kDataHeaderSize];
  std::memset(b, 0xAA, sizeof b);
  h.Encode(b);
  EXPECT_EQ(GetI32(b + 0), 7);
  EXPECT_EQ(GetU32(b + 4), 0u);
  EXPECT_EQ(b[8], 6);
  EXPECT_EQ(b[9], 1);
  EXPECT_EQ(b[24], 16);
  EXPECT_EQ(GetI32(b + 25), 3);
  EXPECT_EQ(GetI32(b + 29), 11);
  EXPECT_EQ(GetI32(b + 33), 41);
  EXPECT_EQ(GetI32(b + 37), 5);
  EXPECT_EQ(GetI32(b + 41), 9);
  EXPECT_EQ(GetU16(b + 45), 40);
  EXPECT_EQ(GetU16(b + 47), 2);
  EXPECT_EQ(GetU16(b + 49), 1);
  EXPECT_EQ(GetI32(b + 51), 512);
  EXPECT_EQ(GetI32(b + 55), 77);
  EXPECT_EQ(GetI32(b + 59), 4096);
  EXPECT_EQ(GetF64(b + 63), -648302.0);
  EXPECT_EQ(b[71], 4);
  EXPECT_EQ(std::memcmp(b + 72, "cash", 4), 0);
  EXPECT_EQ(b[172], 1);
  EXPECT_EQ(b[173], 0xEE);
  EXPECT_EQ(GetI32(b + 189), 1041);
  EXPECT_EQ(GetU16(b + 193), 8);
  EXPECT_EQ(GetU16(b + 195), 1);
  EXPECT_EQ(b[197], 1);
  for (size_t i = 198; i < kDataHeaderSize; ++i) ASSERT_EQ(b[i], 0) << i;

  TDataHeader back = TDataHeader::Decode(b);
  uint8_t again[kDataHeaderSize];
  back.Encode(again);
  EXPECT_EQ(std::memcmp(b, again, sizeof b), 0);
}

TEST(DataHeaderTest, CountersWrapFromMaxIntToOne) {
  EXPECT_EQ(NextCounterValue(2147483647), 1);
  EXPECT_EQ(NextCounterValue(41), 42);
  EXPECT_EQ(NextCounterValue(0), 1);
}

}  // namespace
}  // namespace kura
