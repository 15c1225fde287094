#include "engine/format/record_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/error_codes.h"
#include "engine/format/bcd.h"
#include "engine/format/date_time.h"
#include "engine/format/field_codec.h"
#include "engine/format/field_literals.h"
#include "tests/support/data_file_builder.h"

namespace kura {
namespace {

using kura_test::MakeField;

// A table of fields with a record buffer.
struct Table {
  explicit Table(std::vector<TFieldDefinition> f) : fields(std::move(f)) {
    for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNum = static_cast<uint16_t>(i + 1);
    length = static_cast<uint16_t>(LayOutFields(fields.data(), fields.size()));
    record.assign(length, 0);
  }
  TRecordFormat format() const {
    return TRecordFormat(fields.data(), static_cast<uint16_t>(fields.size()), length, 0);
  }
  const uint8_t* value(size_t i) const { return record.data() + fields[i].Offset + 1; }
  uint8_t flag(size_t i) const { return record[fields[i].Offset]; }
  void Put(size_t i, const void* bytes) {
    PutFieldValue(fields[i], 0, record.data(), static_cast<const uint8_t*>(bytes));
  }
  void PutText(size_t i, const std::string& s) {
    std::vector<char> b(fields[i].DataSize + 1u, 0);
    std::memcpy(b.data(), s.data(), std::min(s.size(), b.size() - 1));
    Put(i, b.data());
  }

  std::vector<TFieldDefinition> fields;
  uint16_t length = 0;
  std::vector<uint8_t> record;
};

const platform::LocalDateTime kNow{2024, 1, 31, 13, 45, 6, 789};

TEST(RecordFormatTest, InitRecordFillsEveryDefault) {
  std::vector<TFieldDefinition> f = {
      MakeField("S", dtString, 0, 10),       MakeField("G", dtString, fsGuid, 38),
      MakeField("D", dtDate),                MakeField("DN", dtDate),
      MakeField("T", dtTime),                MakeField("TN", dtTime),
      MakeField("TS", dtTimeStamp),          MakeField("TSN", dtTimeStamp),
      MakeField("TSD", dtTimeStamp),         MakeField("TST", dtTimeStamp),
      MakeField("B", dtBoolean),             MakeField("I16", dtSmallInt),
      MakeField("I32", dtInteger),           MakeField("U16", dtWord),
      MakeField("F", dtFloat),               MakeField("C", dtBCD),
      MakeField("I64", dtLargeInt),          MakeField("Y", dtBytes, 0, 4),
      MakeField("Blob", dtBlob, fsMemo),     MakeField("None", dtInteger),
  };
  const char* defaults[] = {"  Hi  ",        "current_guid", "2024-01-01",        "CURRENT_DATE",
                            "12:00",         "CURRENT_TIME", "2024-01-01 12:00",  "CURRENT_TIMESTAMP",
                            "CURRENT_DATE",  "CURRENT_TIME", "true",              "-32768",
                            "2147483647",    "65535",        "2.5",               "1.23456",
                            "-9000000000",   "ab",           "x",                 ""};
  for (size_t i = 0; i < f.size(); ++i) f[i].Default = defaults[i];
  f[15].Decimals = 2;
  Table t(f);
  std::memset(t.record.data(), 0xEE, t.record.size());
  t.format().InitRecordAt(t.record.data(), kNow);

  const int32_t today = 738916;
  const int32_t time = ((13 * 60 + 45) * 60 + 6) * 1000 + 789;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.value(0))), "  Hi");
  std::string guid(reinterpret_cast<const char*>(t.value(1)));
  ASSERT_EQ(guid.size(), 38u) << guid;
  for (size_t i = 0; i < guid.size(); ++i) {
    char c = guid[i];
    if (i == 0) {
      EXPECT_EQ(c, '{');
    } else if (i == 37) {
      EXPECT_EQ(c, '}');
    } else if (i == 9 || i == 14 || i == 19 || i == 24) {
      EXPECT_EQ(c, '-') << guid;
    } else {
      EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << guid;
    }
  }
  EXPECT_EQ(GetI32(t.value(2)), 738886);
  EXPECT_EQ(GetI32(t.value(3)), today);
  EXPECT_EQ(GetI32(t.value(4)), 43200000);
  EXPECT_EQ(GetI32(t.value(5)), time);
  EXPECT_EQ(GetF64(t.value(6)), 63839793600000.0);
  EXPECT_EQ(GetF64(t.value(7)), EncodeTimeStamp(today, time));
  EXPECT_EQ(GetF64(t.value(8)), EncodeTimeStamp(today, 0));
  EXPECT_EQ(GetF64(t.value(9)), EncodeTimeStamp(693594, time));
  EXPECT_EQ(GetU16(t.value(10)), 1);
  EXPECT_EQ(GetI16(t.value(11)), -32768);
  EXPECT_EQ(GetI32(t.value(12)), 2147483647);
  EXPECT_EQ(GetU16(t.value(13)), 65535);
  EXPECT_EQ(GetF64(t.value(14)), 2.5);
  EXPECT_EQ(BcdToText(t.value(15)), "1.23");  // 1.2346 at scale 2
  EXPECT_EQ(GetI64(t.value(16)), -9000000000);
  EXPECT_EQ(std::memcmp(t.value(17), "ab\0\0", 4), 0);
  for (size_t i = 0; i <= 17; ++i) EXPECT_EQ(t.flag(i), 1) << f[i].FieldName;
  EXPECT_EQ(t.flag(18), 0);  // BLOB defaults are never applied
  EXPECT_EQ(t.flag(19), 0);
  for (size_t i = t.fields.back().Offset; i < t.record.size(); ++i) EXPECT_EQ(t.record[i], 0);
  // The record header is zero as well.
  for (int i = 0; i < 25; ++i) EXPECT_EQ(t.record[i], 0);
}

TEST(RecordFormatTest, DefaultsThatDoNotConvertRaiseTheConversionMessage) {
  struct Case {
    uint8_t type;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {dtDate, "31.01.2024", "'31.01.2024' is not a valid date"},
      {dtTime, "noon", "'noon' is not a valid time"},
      {dtTimeStamp, "2024-01-01 x:y", "'2024-01-01 x:y' is not a valid date and time"},
      {dtBoolean, "yes", "'yes' is not a valid boolean"},
      {dtSmallInt, "40000", "'40000' is not a valid integer value"},
      {dtFloat, "1,5", "'1,5' is not a valid floating point value"},
      {dtDate, "CURRENT_TIME", "'CURRENT_TIME' is not a valid date"},
  };
  for (const Case& c : cases) {
    Table t({MakeField("X", c.type)});
    t.fields[0].Default = c.text;
    try {
      t.format().InitRecordAt(t.record.data(), kNow);
      ADD_FAILURE() << c.text << " converted";
    } catch (const EConversionError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

struct ValidityCase {
  const char* name;
  TFieldDefinition field;
  std::string minimum, maximum;
  bool required;
  // Sets the field's value in the record; nullptr leaves it null.
  void (*put)(Table&);
  uint16_t code;
};

template <typename T>
void PutLE(Table& t, T v) {
  uint8_t b[sizeof(T)];
  std::memcpy(b, &v, sizeof v);
  t.Put(0, b);
}

TEST(RecordFormatTest, ValidityChecks) {
  const ValidityCase cases[] = {
      {"required null", MakeField("I", dtInteger), "", "", true, nullptr, KURA_REQDERR},
      {"required present", MakeField("I", dtInteger), "", "", true,
       [](Table& t) { PutLE(t, int32_t{0}); }, 0},
      {"empty string is null", MakeField("S", dtString, 0, 5), "", "", true,
       [](Table& t) { t.PutText(0, "   "); }, KURA_REQDERR},
      {"null string below a minimum", MakeField("S", dtString, 0, 5), "a", "", false, nullptr,
       KURA_MINVALERR},
      {"null integer skips the range", MakeField("I", dtInteger), "5", "6", false, nullptr, 0},
      {"integer below", MakeField("I", dtInteger), "5", "", false,
       [](Table& t) { PutLE(t, int32_t{4}); }, KURA_MINVALERR},
      {"integer at both ends", MakeField("I", dtInteger), "5", "5", false,
       [](Table& t) { PutLE(t, int32_t{5}); }, 0},
      {"integer above", MakeField("I", dtInteger), "", "5", false,
       [](Table& t) { PutLE(t, int32_t{6}); }, KURA_MAXVALERR},
      {"string by byte order", MakeField("S", dtString, 0, 5), "B", "C", false,
       [](Table& t) { t.PutText(0, "a"); }, KURA_MAXVALERR},
      {"string prefix sorts first", MakeField("S", dtString, 0, 5), "abc", "", false,
       [](Table& t) { t.PutText(0, "ab"); }, KURA_MINVALERR},
      {"float not a number fails a minimum", MakeField("F", dtFloat), "0", "", false,
       [](Table& t) { PutLE(t, std::nan("")); }, KURA_MINVALERR},
      {"float not a number passes a maximum", MakeField("F", dtFloat), "", "0", false,
       [](Table& t) { PutLE(t, std::nan("")); }, 0},
      {"bcd compared as currency", MakeField("C", dtBCD), "", "1.00004", false,
       [](Table& t) {
         uint8_t b[kBcdSize];
         EncodeBcd(10001, 4, b);
         t.Put(0, b);
       },
       KURA_MAXVALERR},
      {"bcd rounded like the literal", MakeField("C", dtBCD), "", "1.00005", false,
       [](Table& t) {
         uint8_t b[kBcdSize];
         EncodeBcd(10001, 4, b);
         t.Put(0, b);
       },
       0},
      {"date", MakeField("D", dtDate), "2024-02-01", "", false,
       [](Table& t) { PutLE(t, int32_t{738916}); }, KURA_MINVALERR},
      {"time", MakeField("T", dtTime), "", "12:00", false,
       [](Table& t) { PutLE(t, int32_t{43200001}); }, KURA_MAXVALERR},
      {"timestamp to the millisecond", MakeField("TS", dtTimeStamp), "2024-01-01 12:00:00.001", "",
       false, [](Table& t) { PutLE(t, 63839793600000.4); }, KURA_MINVALERR},
      {"boolean false below true", MakeField("B", dtBoolean), "TRUE", "", false,
       [](Table& t) { PutLE(t, uint16_t{0}); }, KURA_MINVALERR},
      {"word", MakeField("W", dtWord), "", "100", false, [](Table& t) { PutLE(t, uint16_t{65535}); },
       KURA_MAXVALERR},
      {"largeint", MakeField("L", dtLargeInt), "-9000000000", "", false,
       [](Table& t) { PutLE(t, int64_t{-9000000001}); }, KURA_MINVALERR},
  };
  for (const ValidityCase& c : cases) {
    TFieldDefinition f = c.field;
    f.Minimum = c.minimum;
    f.Maximum = c.maximum;
    f.Required = c.required;
    Table t({f});
    if (c.put != nullptr) c.put(t);
    std::vector<uint8_t> before = t.record;
    TValidityResult r = t.format().CheckRecordValidity(t.record.data());
    EXPECT_EQ(r.code, c.code) << c.name;
    if (c.code != 0) {
      EXPECT_EQ(r.field, &t.fields[0]) << c.name;
    }
    EXPECT_EQ(t.record, before) << c.name;
  }
}

TEST(RecordFormatTest, TheFirstFailingFieldEndsTheCheck) {
  TFieldDefinition a = MakeField("A", dtInteger), b = MakeField("B", dtInteger);
  a.Minimum = "10";
  b.Required = true;
  Table t({a, b});
  PutLE(t, int32_t{1});
  TValidityResult r = t.format().CheckRecordValidity(t.record.data());
  EXPECT_EQ(r.code, KURA_MINVALERR);
  EXPECT_EQ(r.field->FieldName, "A");
}

TEST(RecordFormatTest, RecordIDsAreAssignedBeforeAndCountedAfterStoring) {
  Table t({MakeField("A", dtInteger)});
  TDataHeader h;
  h.LastRecordID = 41;
  EXPECT_FALSE(TRecordFormat::SetRecordID(t.record.data(), false, false, &h));
  EXPECT_EQ(GetI32(t.record.data() + 5), 42);
  EXPECT_EQ(h.LastRecordID, 41);
  EXPECT_TRUE(TRecordFormat::SetRecordID(t.record.data(), true, false, &h));
  EXPECT_EQ(h.LastRecordID, 42);

  // Suppressed IDs keep the caller's; a smaller ID never moves the counter back.
  PutI32(t.record.data() + 5, 7);
  TRecordFormat::SetRecordID(t.record.data(), false, true, &h);
  EXPECT_EQ(GetI32(t.record.data() + 5), 7);
  EXPECT_FALSE(TRecordFormat::SetRecordID(t.record.data(), true, false, &h));
  EXPECT_EQ(h.LastRecordID, 42);
}

TEST(RecordFormatTest, CountersKeepMovingAfterTheirWrap) {
  Table t({MakeField("A", dtInteger, fsAutoInc)});
  TDataHeader h;
  h.LastRecordID = 2147483647;
  h.LastAutoIncID = 2147483647;
  TRecordFormat format = t.format();
  for (int32_t expected : {1, 2}) {
    std::memset(t.record.data(), 0, t.record.size());
    TRecordFormat::SetRecordID(t.record.data(), false, false, &h);
    format.SetAutoIncFields(t.record.data(), false, &h);
    EXPECT_EQ(GetI32(t.record.data() + 5), expected);
    EXPECT_EQ(GetI32(t.value(0)), expected);
    EXPECT_TRUE(TRecordFormat::SetRecordID(t.record.data(), true, false, &h));
    EXPECT_TRUE(format.SetAutoIncFields(t.record.data(), true, &h));
    EXPECT_EQ(h.LastRecordID, expected);
    EXPECT_EQ(h.LastAutoIncID, expected);
  }
}

TEST(RecordFormatTest, AutoIncrementKeepsSuppliedValues) {
  Table t({MakeField("Plain", dtInteger), MakeField("Auto", dtInteger, fsAutoInc)});
  TDataHeader h;
  h.LastAutoIncID = 5;
  TRecordFormat format = t.format();

  // A null field gets the next value; the counter moves only after the record is stored.
  EXPECT_FALSE(format.SetAutoIncFields(t.record.data(), false, &h));
  EXPECT_EQ(t.flag(1), 1);
  EXPECT_EQ(GetI32(t.value(1)), 6);
  EXPECT_EQ(t.flag(0), 0);
  EXPECT_EQ(h.LastAutoIncID, 5);

  // A supplied value is kept and raises the counter.
  uint8_t v[4];
  PutI32(v, 100);
  PutFieldValue(t.fields[1], 0, t.record.data(), v);
  format.SetAutoIncFields(t.record.data(), false, &h);
  EXPECT_EQ(GetI32(t.value(1)), 100);
  EXPECT_TRUE(format.SetAutoIncFields(t.record.data(), true, &h));
  EXPECT_EQ(h.LastAutoIncID, 100);
}

}  // namespace
}  // namespace kura
