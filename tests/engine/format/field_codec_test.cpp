#include "engine/format/field_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/format/bcd.h"
#include "platform/ansi_text.h"

namespace kura {
namespace {

// One field of the given type laid out alone in a record.
struct OneFieldRecord {
  explicit OneFieldRecord(uint8_t type, uint8_t sub_type = 0, uint16_t length = 0) {
    field.FieldName = std::string(1, 'F');
    field.FieldNum = 1;
    field.DataType = type;
    field.SubType = sub_type;
    field.Length = length;
    record.assign(LayOutFields(&field, 1), 0);
  }
  uint8_t flag() const { return record[field.Offset]; }
  const uint8_t* value() const { return record.data() + field.Offset + 1; }
  std::string text() const { return reinterpret_cast<const char*>(value()); }
  void PutText(const std::string& s, int32_t locale = 0) {
    std::vector<uint8_t> buffer(field.DataSize + s.size() + 1, 0);
    std::memcpy(buffer.data(), s.data(), s.size());
    PutFieldValue(field, locale, record.data(), buffer.data());
  }

  TFieldDefinition field;
  std::vector<uint8_t> record;
};

struct RoundTripCase {
  const char* name;
  uint8_t type;
  uint16_t length;
  std::vector<uint8_t> value;
};

TEST(FieldCodecTest, ValuesRoundTripForEveryType) {
  uint8_t bcd[kBcdSize];
  ASSERT_TRUE(EncodeBcd(-15000, 2, bcd));
  auto le = [](auto v) {
    std::vector<uint8_t> b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
  };
  const RoundTripCase cases[] = {
      {"date", dtDate, 0, le(int32_t{738916})},
      {"boolean", dtBoolean, 0, le(uint16_t{1})},
      {"smallint", dtSmallInt, 0, le(int16_t{-2})},
      {"integer", dtInteger, 0, le(int32_t{-123456})},
      {"float", dtFloat, 0, le(2.5)},
      {"bcd", dtBCD, 0, std::vector<uint8_t>(bcd, bcd + kBcdSize)},
      {"bytes", dtBytes, 3, {0, 0xFF, 7}},
      {"time", dtTime, 0, le(int32_t{43200000})},
      {"timestamp", dtTimeStamp, 0, le(63839793600000.0)},
      {"word", dtWord, 0, le(uint16_t{65535})},
      {"varbytes", dtVarBytes, 2, {1, 0}},
      {"largeint", dtLargeInt, 0, le(int64_t{-9000000000})},
  };
  for (const RoundTripCase& c : cases) {
    OneFieldRecord r(c.type, 0, c.length);
    ASSERT_EQ(r.field.DataSize, c.value.size()) << c.name;
    PutFieldValue(r.field, 0, r.record.data(), c.value.data());
    EXPECT_EQ(r.flag(), 1) << c.name;
    EXPECT_EQ(std::memcmp(r.value(), c.value.data(), c.value.size()), 0) << c.name;
    std::vector<uint8_t> out(c.value.size(), 0xCC);
    EXPECT_FALSE(GetFieldValue(r.field, r.record.data(), out.data())) << c.name;
    EXPECT_EQ(out, c.value) << c.name;

    // Set to null: flag and value bytes zero, and reading says blank.
    PutFieldValue(r.field, 0, r.record.data(), nullptr);
    EXPECT_EQ(r.flag(), 0) << c.name;
    for (size_t i = 0; i < c.value.size(); ++i) EXPECT_EQ(r.value()[i], 0) << c.name;
    EXPECT_TRUE(GetFieldValue(r.field, r.record.data(), out.data())) << c.name;
  }
}

TEST(FieldCodecTest, NullIntegerIsFiveZeroBytes) {
  OneFieldRecord r(dtInteger);
  std::memset(r.record.data(), 0xEE, r.record.size());
  PutFieldValue(r.field, 0, r.record.data(), nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(r.record[25 + i], 0);
}

TEST(FieldCodecTest, BooleansAreNormalisedToZeroOrOne) {
  OneFieldRecord r(dtBoolean);
  for (uint16_t input : {uint16_t{65535}, uint16_t{2}, uint16_t{1}, uint16_t{0}}) {
    uint8_t b[2];
    PutU16(b, input);
    PutFieldValue(r.field, 0, r.record.data(), b);
    EXPECT_EQ(GetU16(r.value()), input == 0 ? 0 : 1) << input;
    EXPECT_EQ(r.flag(), 1);
  }
}

struct StringCase {
  const char* name;
  uint8_t sub_type;
  uint16_t length;
  uint8_t char_case;
  std::string input;
  std::string stored;  // empty: stored as null
};

TEST(FieldCodecTest, StringRules) {
  const StringCase cases[] = {
      {"cut to the length", 0, 4, ccNone, "abcdef", "abcd"},
      {"empty is null", 0, 10, ccNone, "", ""},
      {"blanks only are null", 0, 10, ccNone, "    ", ""},
      {"trailing blanks go, leading stay", 0, 10, ccNone, "  ab  ", "  ab"},
      {"fixed keeps both", fsFixed, 10, ccNone, "  ab  ", "  ab  "},
      {"fixed blanks are a value", fsFixed, 4, ccNone, "  ", "  "},
      {"stops at a zero byte", 0, 10, ccNone, std::string("ab\0cd", 5), "ab"},
      {"upper case", 0, 10, ccUpper, "Hello", "HELLO"},
      {"lower case", 0, 10, ccLower, "Hello", "hello"},
      {"cut before trimming", 0, 4, ccNone, "abc  x", "abc"},
  };
  for (const StringCase& c : cases) {
    OneFieldRecord r(dtString, c.sub_type, c.length);
    r.field.CharCase = c.char_case;
    std::memset(r.record.data() + r.field.Offset, 0xEE, r.field.DataSize + 1u);
    r.PutText(c.input);
    EXPECT_EQ(r.flag(), c.stored.empty() ? 0 : 1) << c.name;
    EXPECT_EQ(r.text(), c.stored) << c.name;
    // Everything after the text is zero, the terminator included.
    for (size_t i = c.stored.size(); i < r.field.DataSize; ++i) {
      ASSERT_EQ(r.value()[i], 0) << c.name << " byte " << i;
    }
  }
}

TEST(FieldCodecTest, UpperCaseOfLocaleZeroLeavesDoubleByteCharactersAlone) {
  ASSERT_EQ(platform::AnsiCodePage(), 932);
  OneFieldRecord r(dtString, 0, 20);
  r.field.CharCase = ccUpper;
  // "abc" followed by a Shift_JIS character whose trail byte is the letter 'a' (0x61).
  std::string input = std::string("abc") + "\x83\x61";
  r.PutText(input);
  EXPECT_EQ(r.text(), std::string("ABC") + "\x83\x61");
}

TEST(FieldCodecTest, BlobReferencesAndHandles) {
  OneFieldRecord r(dtBlob, fsMemo);
  uint8_t* value = r.record.data() + r.field.Offset + 1;
  PutI32(value, 17);      // a stored chain starting at block 17
  PutI32(value + 4, 99);  // and its signature
  r.record[r.field.Offset] = 1;

  // Null keeps the reference so that the slot's next record can reuse the chain.
  PutFieldValue(r.field, 0, r.record.data(), nullptr);
  EXPECT_EQ(r.flag(), 0);
  EXPECT_EQ(GetI32(value), 17);
  EXPECT_EQ(GetI32(value + 4), 99);

  // A block number leaves the flag as it was; a handle sets it from BlobEmpty.
  uint8_t number[4];
  PutI32(number, 20);
  PutFieldValue(r.field, 0, r.record.data(), number);
  EXPECT_EQ(r.flag(), 0);
  EXPECT_EQ(GetI32(value), 20);
  uint8_t handle[4];
  PutI32(handle, -3);
  PutFieldValue(r.field, 0, r.record.data(), handle, /*blob_empty=*/false);
  EXPECT_EQ(r.flag(), 1);
  PutFieldValue(r.field, 0, r.record.data(), handle, /*blob_empty=*/true);
  EXPECT_EQ(r.flag(), 0);

  // Reading copies only the 4-byte reference.
  uint8_t out[8];
  std::memset(out, 0xCC, sizeof out);
  GetFieldValue(r.field, r.record.data(), out);
  EXPECT_EQ(GetI32(out), -3);
  EXPECT_EQ(out[4], 0xCC);
}

TEST(FieldCodecTest, PseudoFieldsReadTheHeaderAndAreNeverWritten) {
  std::vector<uint8_t> record(40, 0);
  PutI32(record.data() + 5, 42);
  for (int i = 0; i < 16; ++i) record[9 + i] = static_cast<uint8_t>(i);
  uint8_t id[4];
  EXPECT_FALSE(GetFieldValue(RecordIDFieldDefinition(), record.data(), id));
  EXPECT_EQ(GetI32(id), 42);
  uint8_t hash[16];
  EXPECT_FALSE(GetFieldValue(RecordHashFieldDefinition(), record.data(), hash));
  EXPECT_EQ(std::memcmp(hash, record.data() + 9, 16), 0);
  PutI32(id, 7);
  PutFieldValue(RecordIDFieldDefinition(), 0, record.data(), id);
  EXPECT_EQ(GetI32(record.data() + 5), 42);
}

TEST(FieldCodecTest, ComputedColumnsAreWrittenOnlyWhenAsked) {
  OneFieldRecord r(dtInteger);
  r.field.ExpressionField = true;
  uint8_t v[4];
  PutI32(v, 5);
  PutFieldValue(r.field, 0, r.record.data(), v, false, /*write_to_expressions=*/false);
  EXPECT_EQ(r.flag(), 0);
  PutFieldValue(r.field, 0, r.record.data(), v, false, /*write_to_expressions=*/true);
  EXPECT_EQ(r.flag(), 1);
}

TEST(FieldCodecTest, FieldsThatLeaveTheRecordAreRecognised) {
  OneFieldRecord r(dtString, 0, 10);
  EXPECT_TRUE(FieldFitsRecord(r.field, 40));
  EXPECT_TRUE(FieldFitsRecord(r.field, 37));
  EXPECT_FALSE(FieldFitsRecord(r.field, 36));
  r.field.Offset = 3;  // inside the record header
  EXPECT_FALSE(FieldFitsRecord(r.field, 40));
  EXPECT_TRUE(FieldFitsRecord(RecordHashFieldDefinition(), 25));
  EXPECT_FALSE(FieldFitsRecord(RecordHashFieldDefinition(), 24));
}

}  // namespace
}  // namespace kura
