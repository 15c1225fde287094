#include "engine/format/index_key.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/error_codes.h"
#include "engine/format/bcd.h"
#include "engine/format/field_codec.h"
#include "tests/support/data_file_builder.h"

namespace kura {
namespace {

using Bytes = std::vector<uint8_t>;

using kura_test::MakeField;

// A table of fields with one record buffer, and index definitions over it.
struct Table {
  explicit Table(std::vector<TFieldDefinition> f, int32_t locale = 0)
      : fields(std::move(f)), locale_id(locale) {
    for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNum = static_cast<uint16_t>(i + 1);
    length = static_cast<uint16_t>(LayOutFields(fields.data(), fields.size()));
    record.assign(length, 0);
  }
  TRecordFormat format() const {
    return TRecordFormat(fields.data(), static_cast<uint16_t>(fields.size()), length, locale_id);
  }
  void Put(size_t i, const void* bytes) {
    PutFieldValue(fields[i], locale_id, record.data(), static_cast<const uint8_t*>(bytes));
  }
  void PutNull(size_t i) { PutFieldValue(fields[i], locale_id, record.data(), nullptr); }
  void PutText(size_t i, const std::string& s) {
    std::vector<char> b(fields[i].DataSize + 1u, 0);
    std::memcpy(b.data(), s.data(), std::min(s.size(), b.size() - 1));
    Put(i, b.data());
  }
  void PutInt32(size_t i, int32_t v) {
    uint8_t b[4];
    PutI32(b, v);
    Put(i, b);
  }
  void PutDouble(size_t i, double v) {
    uint8_t b[8];
    PutF64(b, v);
    Put(i, b);
  }
  void SetRecordID(int32_t id) { PutI32(record.data() + kRecordIDOffset, id); }

  // A layout over key fields (1-based field numbers), built or failing the test.
  TIndexKeyLayout Layout(std::vector<uint16_t> key_fields, bool unique = true,
                         bool case_insensitive = false, std::vector<bool> descending = {}) const {
    TIndexDefinition d = Definition(key_fields, unique, case_insensitive, descending);
    TIndexKeyLayout layout;
    TKeyLayoutError e = TIndexKeyLayout::Build(d, 1, format(), &layout);
    EXPECT_EQ(e.code, 0);
    return layout;
  }
  static TIndexDefinition Definition(std::vector<uint16_t> key_fields, bool unique = true,
                                     bool case_insensitive = false,
                                     std::vector<bool> descending = {}) {
    TIndexDefinition d;
    d.KeyUnique = unique;
    d.KeyCaseInsensitive = case_insensitive;
    d.KeyFieldCount = static_cast<uint8_t>(key_fields.size());
    for (size_t i = 0; i < key_fields.size(); ++i) {
      d.KeyFields[i] = key_fields[i];
      d.KeyDescendingFields[i] = i < descending.size() && descending[i];
    }
    return d;
  }
  Bytes Key(const TIndexKeyLayout& layout) const {
    Bytes key(layout.KeySize(), 0xEE);
    layout.GetKeyValues(record.data(), key.data());
    return key;
  }

  std::vector<TFieldDefinition> fields;
  int32_t locale_id;
  uint16_t length = 0;
  Bytes record;
};

Bytes EncodeOne(uint8_t type, const Bytes& value) {
  TKeyField field;
  field.DataType = type;
  field.ValueSize = type == dtBCD ? 8 : static_cast<uint16_t>(value.size());
  Bytes key(field.ValueSize, 0xEE);
  EncodeKeyValue(field, value.data(), false, 0, key.data());
  return key;
}

Bytes Int32Bytes(int32_t v) {
  Bytes b(4);
  PutI32(b.data(), v);
  return b;
}
Bytes Int16Bytes(int16_t v) {
  Bytes b(2);
  PutI16(b.data(), v);
  return b;
}
Bytes UInt16Bytes(uint16_t v) {
  Bytes b(2);
  PutU16(b.data(), v);
  return b;
}
Bytes Int64Bytes(int64_t v) {
  Bytes b(8);
  PutI64(b.data(), v);
  return b;
}
Bytes DoubleBytes(double v) {
  Bytes b(8);
  PutF64(b.data(), v);
  return b;
}
Bytes BcdBytes(int64_t currency, uint8_t scale) {
  Bytes b(kBcdSize);
  EXPECT_TRUE(EncodeBcd(currency, scale, b.data()));
  return b;
}

struct EncodingCase {
  const char* name;
  uint8_t type;
  Bytes value;
  Bytes key;
};

TEST(KeyEncodingTest, ValuesEncodeToTheirKeyBytes) {
  const EncodingCase cases[] = {
      {"int32 -1", dtInteger, Int32Bytes(-1), {0x7F, 0xFF, 0xFF, 0xFF}},
      {"int32 0", dtInteger, Int32Bytes(0), {0x80, 0x00, 0x00, 0x00}},
      {"date 2024-01-31", dtDate, Int32Bytes(738916), {0x80, 0x0B, 0x46, 0x64}},
      {"time 12:00", dtTime, Int32Bytes(43200000), {0x82, 0x93, 0x2E, 0x00}},
      {"int16 -2", dtSmallInt, Int16Bytes(-2), {0x7F, 0xFE}},
      {"boolean true", dtBoolean, UInt16Bytes(1), {0x00, 0x01}},
      {"boolean false", dtBoolean, UInt16Bytes(0), {0x00, 0x00}},
      {"word 65535", dtWord, UInt16Bytes(65535), {0xFF, 0xFF}},
      {"float 1.0", dtFloat, DoubleBytes(1.0), {0xBF, 0xF0, 0, 0, 0, 0, 0, 0}},
      {"float -1.0", dtFloat, DoubleBytes(-1.0), {0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"float -0.0 keys as 0.0", dtFloat, DoubleBytes(-0.0), {0x80, 0, 0, 0, 0, 0, 0, 0}},
      {"timestamp", dtTimeStamp, DoubleBytes(63839793600000.0),
       {0xC2, 0xCD, 0x07, 0xEE, 0x1C, 0x2B, 0x00, 0x00}},
      {"int64 -1", dtLargeInt, Int64Bytes(-1), {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"bcd 12.5 as ten-thousandths", dtBCD, BcdBytes(125000, 2),
       {0x80, 0, 0, 0, 0, 0x01, 0xE8, 0x48}},
      {"bytes as stored", dtBytes, {0x00, 0xFF, 0x10}, {0x00, 0xFF, 0x10}},
  };
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeOne(c.type, c.value), c.key);
  }
}

// Values in ascending order must give keys in ascending unsigned byte order.
TEST(KeyEncodingTest, ByteOrderOfKeysIsValueOrder) {
  struct OrderCase {
    const char* name;
    uint8_t type;
    std::vector<Bytes> ascending;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const OrderCase cases[] = {
      {"int32", dtInteger,
       {Int32Bytes(INT32_MIN), Int32Bytes(-70000), Int32Bytes(-1), Int32Bytes(0), Int32Bytes(1),
        Int32Bytes(65536), Int32Bytes(INT32_MAX)}},
      {"int16", dtSmallInt,
       {Int16Bytes(INT16_MIN), Int16Bytes(-256), Int16Bytes(-1), Int16Bytes(0), Int16Bytes(255),
        Int16Bytes(INT16_MAX)}},
      {"word", dtWord, {UInt16Bytes(0), UInt16Bytes(255), UInt16Bytes(256), UInt16Bytes(65535)}},
      {"int64", dtLargeInt,
       {Int64Bytes(INT64_MIN), Int64Bytes(-(int64_t{1} << 40)), Int64Bytes(-1), Int64Bytes(0),
        Int64Bytes(int64_t{1} << 33), Int64Bytes(INT64_MAX)}},
      {"float", dtFloat,
       {DoubleBytes(-inf), DoubleBytes(-1e300), DoubleBytes(-2.5), DoubleBytes(-1e-300),
        DoubleBytes(0.0), DoubleBytes(1e-300), DoubleBytes(0.5), DoubleBytes(3.0),
        DoubleBytes(1e300), DoubleBytes(inf)}},
      {"bcd", dtBCD,
       {BcdBytes(-1234567, 4), BcdBytes(-10000, 0), BcdBytes(-1, 4), BcdBytes(0, 2),
        BcdBytes(5, 4), BcdBytes(10000, 1), BcdBytes(99990000, 2)}},
  };
  for (const OrderCase& c : cases) {
    for (size_t i = 1; i < c.ascending.size(); ++i) {
      SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(i));
      EXPECT_LT(EncodeOne(c.type, c.ascending[i - 1]), EncodeOne(c.type, c.ascending[i]));
    }
  }
}

TEST(KeyEncodingTest, RecordIDSuffixRoundTripsInSignedOrder) {
  const int32_t ids[] = {INT32_MIN, -1, 0, 1, 42, INT32_MAX};
  Bytes previous;
  for (int32_t id : ids) {
    Bytes key(4);
    EncodeKeyRecordID(id, key.data());
    EXPECT_EQ(DecodeKeyRecordID(key.data()), id);
    if (!previous.empty()) {
      EXPECT_LT(previous, key) << id;
    }
    previous = key;
  }
}

TEST(KeyBuildTest, KeyHoldsFlagAndValuePerFieldWithNullsAsZeroValues) {
  Table t({MakeField("Name", dtString, 0, 4), MakeField("Count", dtInteger), MakeField("Amount", dtFloat),
           MakeField("Day", dtDate)});
  TIndexKeyLayout layout = t.Layout({1, 2, 3, 4});
  EXPECT_EQ(layout.KeySize(), 6 + 5 + 9 + 5);

  t.PutText(0, "ab");
  t.PutInt32(1, -1);
  t.PutDouble(2, 1.0);
  t.PutInt32(3, 738916);
  EXPECT_EQ(t.Key(layout), (Bytes{0x01, 'a', 'b', 0, 0, 0,                         //
                                  0x01, 0x7F, 0xFF, 0xFF, 0xFF,                    //
                                  0x01, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0,              //
                                  0x01, 0x80, 0x0B, 0x46, 0x64}));

  for (size_t i = 0; i < 4; ++i) t.PutNull(i);
  EXPECT_EQ(t.Key(layout), (Bytes{0x00, 0, 0, 0, 0, 0,                            //
                                  0x00, 0x80, 0x00, 0x00, 0x00,                    //
                                  0x00, 0x80, 0, 0, 0, 0, 0, 0, 0,                 //
                                  0x00, 0x80, 0x00, 0x00, 0x00}));
}

TEST(KeyBuildTest, NullsSortBeforeEveryValue) {
  Table t({MakeField("Count", dtInteger)});
  TIndexKeyLayout layout = t.Layout({1});
  t.PutNull(0);
  Bytes null_key = t.Key(layout);
  t.PutInt32(0, INT32_MIN);
  Bytes lowest = t.Key(layout);
  EXPECT_EQ(null_key, (Bytes{0x00, 0x80, 0, 0, 0}));
  EXPECT_LT(layout.CompareKeys(null_key.data(), lowest.data(), layout.KeySize()), 0);
}

TEST(KeyBuildTest, PseudoFieldsAndTheAutomaticPrimaryIndex) {
  Table t({MakeField("Name", dtString, 0, 4)});
  t.SetRecordID(42);
  for (int i = 0; i < 16; ++i) t.record[kRecordHashOffset + i] = static_cast<uint8_t>(0xA0 + i);

  TIndexKeyLayout automatic;
  ASSERT_EQ(TIndexKeyLayout::Build(AutoPrimaryIndexDefinition(), 0, t.format(), &automatic).code,
            0);
  EXPECT_EQ(t.Key(automatic), (Bytes{0x01, 0x80, 0x00, 0x00, 0x2A}));

  TIndexKeyLayout hash = t.Layout({kRecordHashFieldNum});
  Bytes expected{0x01};
  for (int i = 0; i < 16; ++i) expected.push_back(static_cast<uint8_t>(0xA0 + i));
  EXPECT_EQ(t.Key(hash), expected);
}

TEST(KeyBuildTest, NonUniqueKeysOfEqualValuesOrderByRecordID) {
  Table t({MakeField("Day", dtDate)});
  TIndexKeyLayout layout = t.Layout({1}, /*unique=*/false);
  ASSERT_EQ(layout.KeySize(), 9);
  t.PutInt32(0, 738916);
  t.SetRecordID(7);
  Bytes seven = t.Key(layout);
  t.SetRecordID(300);
  Bytes three_hundred = t.Key(layout);
  EXPECT_EQ(Bytes(seven.begin(), seven.end() - 4),
            Bytes(three_hundred.begin(), three_hundred.end() - 4));
  EXPECT_EQ(Bytes(seven.end() - 4, seven.end()), (Bytes{0x80, 0x00, 0x00, 0x07}));
  EXPECT_LT(layout.CompareKeys(seven.data(), three_hundred.data(), 9), 0);
  // Without the suffix the keys are equal.
  EXPECT_EQ(layout.CompareKeys(seven.data(), three_hundred.data(), 5), 0);
}

TEST(KeyBuildTest, CaseInsensitiveIndexStoresUpperCase) {
  Table t({MakeField("Name", dtString, 0, 5)});
  TIndexKeyLayout sensitive = t.Layout({1});
  TIndexKeyLayout insensitive = t.Layout({1}, true, /*case_insensitive=*/true);
  t.PutText(0, "abc");
  Bytes abc_sensitive = t.Key(sensitive);
  Bytes abc_insensitive = t.Key(insensitive);
  t.PutText(0, "ABD");
  Bytes abd_sensitive = t.Key(sensitive);
  Bytes abd_insensitive = t.Key(insensitive);

  EXPECT_EQ(abc_insensitive, (Bytes{0x01, 'A', 'B', 'C', 0, 0, 0}));
  // Byte order: lower-case letters follow all capitals.
  EXPECT_GT(sensitive.CompareKeys(abc_sensitive.data(), abd_sensitive.data(), 7), 0);
  EXPECT_LT(insensitive.CompareKeys(abc_insensitive.data(), abd_insensitive.data(), 7), 0);
}

TEST(KeyCompareTest, DescendingFieldsAndPartialLengths) {
  Table t({MakeField("Name", dtString, 0, 4), MakeField("Count", dtInteger)});
  TIndexKeyLayout ascending = t.Layout({1, 2});
  TIndexKeyLayout descending_count = t.Layout({1, 2}, true, false, {false, true});

  t.PutText(0, "ABx");
  t.PutInt32(1, 1);
  Bytes abx1 = t.Key(ascending);
  t.PutInt32(1, 2);
  Bytes abx2 = t.Key(ascending);
  t.PutText(0, "ABy");
  Bytes aby2 = t.Key(ascending);

  struct Case {
    const char* name;
    const TIndexKeyLayout* layout;
    const Bytes* a;
    const Bytes* b;
    size_t length;
    int expected;
  };
  const Case cases[] = {
      {"second field decides", &ascending, &abx1, &abx2, 11, -1},
      {"descending second field inverts", &descending_count, &abx1, &abx2, 11, 1},
      {"descending field does not affect the first", &descending_count, &abx2, &aby2, 11, -1},
      {"flag and two characters only", &ascending, &abx2, &aby2, 3, 0},
      {"third character counts at length 4", &ascending, &abx2, &aby2, 4, -1},
      {"first component only", &ascending, &abx1, &abx2, 6, 0},
      {"length beyond the key is clamped", &ascending, &abx1, &abx1, 1000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.layout->CompareKeys(c.a->data(), c.b->data(), c.length), c.expected);
  }
}

// A table with a locale orders strings by its collation: lower and upper case are neighbours,
// so "abc" comes before "ABD" although its bytes are greater.
TEST(KeyCompareTest, StringsOfATableWithALocaleUseItsCollation) {
  constexpr int32_t kEnglishUS = 0x0409;
  Table t({MakeField("Name", dtString, 0, 5)}, kEnglishUS);
  TIndexKeyLayout ascending = t.Layout({1});
  TIndexKeyLayout descending = t.Layout({1}, true, false, {true});
  t.PutText(0, "abc");
  Bytes abc = t.Key(ascending);
  t.PutText(0, "ABD");
  Bytes abd = t.Key(ascending);
  t.PutNull(0);
  Bytes null_key = t.Key(ascending);

  EXPECT_LT(ascending.CompareKeys(abc.data(), abd.data(), 7), 0);
  EXPECT_GT(descending.CompareKeys(abc.data(), abd.data(), 7), 0);
  EXPECT_LT(ascending.CompareKeys(null_key.data(), abc.data(), 7), 0);
  EXPECT_GT(descending.CompareKeys(null_key.data(), abc.data(), 7), 0);
  // Over the flag and two characters "abc" and "ABD" differ only in case, which the
  // case-sensitive collation still sees.
  EXPECT_NE(ascending.CompareKeys(abc.data(), abd.data(), 3), 0);
  // A length that ends right after the flag compares the flags only.
  EXPECT_EQ(ascending.CompareKeys(abc.data(), abd.data(), 1), 0);
}

TEST(KeyLayoutTest, InvalidDefinitionsAreRefusedWithTheirError) {
  Table t({MakeField("Name", dtString, 0, 10), MakeField("Memo", dtBlob, fsMemo), MakeField("N", dtInteger),
           MakeField("Long", dtString, 0, 512)});
  TIndexDefinition too_many = Table::Definition({1});
  too_many.KeyFieldCount = 129;
  struct Case {
    const char* name;
    TIndexDefinition definition;
    uint8_t index_pos;
    uint16_t code;
    uint16_t field_num;
  };
  const Case cases[] = {
      {"no key field", Table::Definition({}), 1, KURA_INDEXLIMIT, 0},
      {"more than 128 key fields", too_many, 1, KURA_INDEXLIMIT, 0},
      {"unknown field", Table::Definition({1, 9}), 1, KURA_INVALIDIDXDESC, 9},
      {"BLOB key field", Table::Definition({2}), 0, KURA_SEARCHCOLREQD, 2},
      {"key over 4106 bytes", Table::Definition({4, 4, 4, 4, 4, 4, 4, 4, 4}), 1, KURA_INVALIDKEY,
       0},
      {"text index over an integer", TextIndexDefinition({1, 3}), kTextIndexPos,
       KURA_SEARCHCOLREQD, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIndexKeyLayout layout;
    TKeyLayoutError e = TIndexKeyLayout::Build(c.definition, c.index_pos, t.format(), &layout);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.field_num, c.field_num);
  }
  TIndexKeyLayout text;
  ASSERT_EQ(TIndexKeyLayout::Build(TextIndexDefinition({1, 2}), kTextIndexPos, t.format(), &text)
                .code,
            0);
  EXPECT_EQ(text.KeySize(), kTextIndexKeySize);
}

TEST(TextIndexKeyTest, KeyLayoutAndOrder) {
  Table t({MakeField("Note", dtString, 0, 100)});
  TIndexKeyLayout layout;
  ASSERT_EQ(TIndexKeyLayout::Build(TextIndexDefinition({1}), kTextIndexPos, t.format(), &layout)
                .code,
            0);
  Bytes cat(68), dogs(68), cat_other_record(68), long_word(68);
  BuildTextIndexKey(1, "cat", 5, 0, cat.data());
  BuildTextIndexKey(1, "Dogs", 5, 0, dogs.data());
  BuildTextIndexKey(1, "CAT", 9, 0, cat_other_record.data());
  BuildTextIndexKey(258, std::string(70, 'w'), 5, 0, long_word.data());

  Bytes expected(68, 0);
  expected[0] = 1;
  expected[2] = 1;
  expected[3] = 'C';
  expected[4] = 'A';
  expected[5] = 'T';
  expected[64] = 0x80;
  expected[67] = 5;
  EXPECT_EQ(cat, expected);
  EXPECT_EQ(long_word[1], 0x01);
  EXPECT_EQ(long_word[2], 0x02);
  EXPECT_EQ(std::string(long_word.begin() + 3, long_word.begin() + 64), std::string(61, 'W'));

  EXPECT_LT(layout.CompareKeys(cat.data(), dogs.data(), 68), 0);
  EXPECT_LT(layout.CompareKeys(cat.data(), cat_other_record.data(), 68), 0);
  EXPECT_EQ(layout.CompareKeys(cat.data(), cat_other_record.data(), 64), 0);
  EXPECT_LT(layout.CompareKeys(dogs.data(), long_word.data(), 68), 0);  // field number first
}

TEST(KeyPageFitTest, KeyMustBeAtMostAThirdOfTheDataArea) {
  EXPECT_TRUE(KeySizeFitsPage(1361, 4096));  // 4083 / 3
  EXPECT_FALSE(KeySizeFitsPage(1362, 4096));
  EXPECT_TRUE(KeySizeFitsPage(4106, 16384));
  EXPECT_FALSE(KeySizeFitsPage(4107, 16384));
  EXPECT_FALSE(KeySizeFitsPage(0, 4096));
}

}  // namespace
}  // namespace kura
