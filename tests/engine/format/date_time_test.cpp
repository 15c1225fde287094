#include "engine/format/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kura {
namespace {

TEST(DateTimeTest, DayNumbersCountFromYearOne) {
  struct Case {
    int y, m, d;
    int32_t day;
  };
  const Case cases[] = {
      {1, 1, 1, 1},          {1899, 12, 30, 693594}, {2024, 1, 1, 738886},
      {2024, 1, 31, 738916}, {2000, 2, 29, 730179},  {9999, 12, 31, kMaxDayNumber},
  };
  for (const Case& c : cases) {
    int32_t day = 0;
    ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d, &day)) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(day, c.day);
    TDateParts back;
    ASSERT_TRUE(TryDecodeDate(c.day, &back));
    EXPECT_EQ(back.year, c.y);
    EXPECT_EQ(back.month, c.m);
    EXPECT_EQ(back.day, c.d);
  }
}

TEST(DateTimeTest, DecodeIsTheInverseOfEncodeOnEveryDay) {
  for (int32_t day = 1; day <= kMaxDayNumber; day += 97) {
    TDateParts p;
    ASSERT_TRUE(TryDecodeDate(day, &p));
    int32_t again = 0;
    ASSERT_TRUE(TryEncodeDate(p.year, p.month, p.day, &again));
    ASSERT_EQ(again, day);
  }
  TDateParts p;
  EXPECT_FALSE(TryDecodeDate(0, &p));
  EXPECT_FALSE(TryDecodeDate(-5, &p));
  EXPECT_FALSE(TryDecodeDate(kMaxDayNumber + 1, &p));
}

TEST(DateTimeTest, TimesAndTimestampsOfTheWorkedExamples) {
  int32_t ms = 0;
  ASSERT_TRUE(TryEncodeTime(12, 0, 0, 0, &ms));
  EXPECT_EQ(ms, 43200000);
  EXPECT_EQ(EncodeTimeStamp(738886, 0), 63839750400000.0);
  EXPECT_EQ(EncodeTimeStamp(738886, 43200000), 63839793600000.0);
  int32_t day = 0;
  ASSERT_TRUE(TryDecodeTimeStamp(63839793600000.0, &day, &ms));
  EXPECT_EQ(day, 738886);
  EXPECT_EQ(ms, 43200000);
  // The header's LastUpdated: 2024-01-01 00:00 is 45292 as an ordinary date-time.
  EXPECT_EQ(DateTimeFromParts(738886, 0), 45292.0);
  EXPECT_EQ(DateTimeFromParts(738886, 0) - 693594.0, -648302.0);
  ASSERT_TRUE(TryDateTimeToParts(45292.5, &day, &ms));
  EXPECT_EQ(day, 738886);
  EXPECT_EQ(ms, 43200000);
}

TEST(DateTimeTest, TimestampsThatDoNotDenoteADayAreRefused) {
  int32_t day = 0, ms = 0;
  for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                   -1.0, 0.0, 1e300}) {
    EXPECT_FALSE(TryDecodeTimeStamp(v, &day, &ms)) << v;
  }
  EXPECT_EQ(FormatTimeStamp(std::nan("")), "");
}

struct LiteralCase {
  const char* text;
  bool valid;
  int32_t value;
};

TEST(DateTimeTest, DateLiterals) {
  const LiteralCase cases[] = {
      {"2024-01-31", true, 738916}, {" 2024-1-1 ", true, 738886}, {"1-1-1", true, 1},
      {"2023-02-29", false, 0},     {"2024-13-01", false, 0},     {"2024/01/31", false, 0},
      {"2024-01", false, 0},        {"2024-01-31x", false, 0},    {"", false, 0},
      {"10000-01-01", false, 0},    {"0-01-01", false, 0},        {"CURRENT_DATE", false, 0},
  };
  for (const LiteralCase& c : cases) {
    int32_t day = -1;
    EXPECT_EQ(TryParseDateLiteral(c.text, &day), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(day, c.value) << c.text;
    }
  }
}

TEST(DateTimeTest, TimeLiterals) {
  const LiteralCase cases[] = {
      {"12:00", true, 43200000},         {"0:00:01", true, 1000},
      {"23:59:59.999", true, 86399999},  {"12:00 AM", true, 0},
      {"12:30am", true, 1800000},        {"12:00 PM", true, 43200000},
      {"1:00 pm", true, 46800000},       {"11:00:00.5 PM", true, 82800005},
      {"0:00 AM", true, 0},              {"13:00 PM", false, 0},
      {"24:00", false, 0},               {"12:60", false, 0},
      {"12", false, 0},                  {"12:00.5", false, 0},
      {"12:00:00.1000", false, 0},       {"12:00 XM", false, 0},
      {"", false, 0},
  };
  for (const LiteralCase& c : cases) {
    int32_t ms = -1;
    EXPECT_EQ(TryParseTimeLiteral(c.text, &ms), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(ms, c.value) << c.text;
    }
  }
}

TEST(DateTimeTest, TimestampLiterals) {
  struct Case {
    const char* text;
    bool valid;
    double value;
  };
  const Case cases[] = {
      {"2024-01-01 12:00", true, 63839793600000.0},
      {"2024-01-01", true, 63839750400000.0},
      {"12:00", true, 693594.0 * 86400000 + 43200000},
      {"2024-01-01 1:00 PM", true, 738886.0 * 86400000 + 46800000},
      {"2024-01-01 25:00", false, 0},
      {"2024-01-01x", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    double v = -1;
    EXPECT_EQ(TryParseTimeStampLiteral(c.text, &v), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(DateTimeTest, DisplayTexts) {
  EXPECT_EQ(FormatDate(738916), "2024-01-31");
  EXPECT_EQ(FormatDate(1), "0001-01-01");
  EXPECT_EQ(FormatDate(0), "");
  EXPECT_EQ(FormatTime(86399999), "23:59:59.999");
  EXPECT_EQ(FormatTime(-1), "");
  EXPECT_EQ(FormatTime(86400000), "");
  EXPECT_EQ(FormatTimeStamp(63839793600000.0 + 5), "2024-01-01 12:00:00.005");
}

}  // namespace
}  // namespace kura
