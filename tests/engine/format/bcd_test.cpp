#include "engine/format/bcd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace kura {
namespace {

TEST(BcdTest, EncodeLaysOutPrecisionScaleSignAndDigits) {
  uint8_t b[kBcdSize];
  std::memset(b, 0xAA, sizeof b);
  ASSERT_TRUE(EncodeBcd(-1234567, 2, b));  // -123.4567 at scale 2 -> -12345 (truncated)
  EXPECT_EQ(b[0], 32);
  EXPECT_EQ(b[1], 0x82);
  for (int i = 2; i < 15; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[15], 0x01);
  EXPECT_EQ(b[16], 0x23);
  EXPECT_EQ(b[17], 0x45);
  for (size_t i = 18; i < kBcdSize; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(BcdToText(b), "-123.45");
}

TEST(BcdTest, ZeroKeepsPrecisionAndScale) {
  uint8_t b[kBcdSize];
  ASSERT_TRUE(EncodeBcd(0, 3, b));
  EXPECT_EQ(b[0], 32);
  EXPECT_EQ(b[1], 3);
  for (size_t i = 2; i < kBcdSize; ++i) EXPECT_EQ(b[i], 0);
  // A negative value that truncates to zero is stored as zero, without the sign.
  ASSERT_TRUE(EncodeBcd(-1, 0, b));
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(BcdToText(b), "0");
}

TEST(BcdTest, RoundTripsThroughCurrency) {
  struct Case {
    int64_t currency;
    uint8_t scale;
    int64_t back;  // after truncation at the scale
  };
  const Case cases[] = {
      {15000, 4, 15000},       {15000, 0, 10000},   {-987654321, 6, -987654321},
      {123456789, 2, 123456700}, {std::numeric_limits<int64_t>::max(), 4,
                                  std::numeric_limits<int64_t>::max()},
      {std::numeric_limits<int64_t>::min(), 4, std::numeric_limits<int64_t>::min()},
      {1, 32, 1}, {5, 0, 0},
  };
  for (const Case& c : cases) {
    uint8_t b[kBcdSize];
    ASSERT_TRUE(EncodeBcd(c.currency, c.scale, b)) << c.currency;
    int64_t back = 0;
    ASSERT_TRUE(BcdToCurrency(b, &back)) << c.currency;
    EXPECT_EQ(back, c.back) << c.currency << " scale " << int(c.scale);
  }
}

TEST(BcdTest, ValuesThatDoNotFitAreRefused) {
  uint8_t b[kBcdSize];
  EXPECT_FALSE(EncodeBcd(1, 33, b));  // scale beyond 32
  // 922337203685477.5807 at scale 20 needs 35 digits.
  EXPECT_FALSE(EncodeBcd(std::numeric_limits<int64_t>::max(), 20, b));
  // Stored digits that are not decimal, or too large for a currency value.
  std::memset(b, 0, sizeof b);
  b[0] = 32;
  b[5] = 0xA0;
  int64_t c = 0;
  EXPECT_FALSE(BcdToCurrency(b, &c));
  EXPECT_EQ(BcdToText(b), "");
  std::memset(b + 2, 0x99, 16);
  b[1] = 0;
  EXPECT_FALSE(BcdToCurrency(b, &c));
  EXPECT_EQ(BcdToText(b), std::string(32, '9'));
}

TEST(BcdTest, BcdWithMoreThanFourDecimalsRoundsToCurrency) {
  uint8_t b[kBcdSize] = {};
  b[0] = 32;
  b[1] = 6;     // scale 6
  b[17] = 0x50;  // ...50 -> 0.000050 -> rounds to 0.0001
  int64_t c = 0;
  ASSERT_TRUE(BcdToCurrency(b, &c));
  EXPECT_EQ(c, 1);
  b[17] = 0x49;
  ASSERT_TRUE(BcdToCurrency(b, &c));
  EXPECT_EQ(c, 0);
}

TEST(BcdTest, CurrencyLiterals) {
  struct Case {
    const char* text;
    bool valid;
    int64_t value;
  };
  const Case cases[] = {
      {"1.5", true, 15000},          {"-0.00005", true, -1},       {"0.00004", true, 0},
      {" 12 ", true, 120000},        {"+3.", true, 30000},         {".25", true, 2500},
      {"1e3", true, 10000000},       {"12.5E-1", true, 12500},     {"123.45678", true, 1234568},
      {"922337203685477.5807", true, std::numeric_limits<int64_t>::max()},
      {"-922337203685477.5808", true, std::numeric_limits<int64_t>::min()},
      {"922337203685477.5808", false, 0}, {"1e400", false, 0},     {"1e-400", true, 0},
      {"", false, 0},                {"-", false, 0},              {".", false, 0},
      {"1,5", false, 0},             {"1e", false, 0},             {"abc", false, 0},
      {"1.2.3", false, 0},
  };
  for (const Case& c : cases) {
    int64_t v = -7;
    EXPECT_EQ(TryParseCurrency(c.text, &v), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(CurrencyToText(-15000), "-1.5000");
  EXPECT_EQ(CurrencyToText(std::numeric_limits<int64_t>::min()), "-922337203685477.5808");
}

}  // namespace
}  // namespace kura
