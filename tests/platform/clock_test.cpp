#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

TEST(Clock, LocalNowAgreesWithTheCLibrary) {
  const std::time_t before = std::time(nullptr);
  const platform::LocalDateTime now = platform::LocalNow();
  const std::time_t after = std::time(nullptr);
  std::tm low{}, high{};
  localtime_r(&before, &low);
  localtime_r(&after, &high);
  EXPECT_TRUE(now.year == low.tm_year + 1900 || now.year == high.tm_year + 1900);
  EXPECT_TRUE(now.month == low.tm_mon + 1 || now.month == high.tm_mon + 1);
  EXPECT_TRUE(now.day == low.tm_mday || now.day == high.tm_mday);
  const int seconds = (now.hour * 60 + now.minute) * 60 + now.second;
  const int low_seconds = (low.tm_hour * 60 + low.tm_min) * 60 + low.tm_sec;
  const int high_seconds = (high.tm_hour * 60 + high.tm_min) * 60 + high.tm_sec;
  EXPECT_TRUE((seconds >= low_seconds && seconds <= high_seconds) || high_seconds < low_seconds);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LT(now.millisecond, 1000);
}

TEST(Clock, SleepLastsAtLeastItsTimeOnTheTickCount) {
  const uint64_t start = platform::TickCount();
  platform::SleepMilliseconds(30);
  const uint64_t end = platform::TickCount();
  EXPECT_GE(end - start, 30u);
  platform::SleepMilliseconds(0);
  EXPECT_GE(platform::TickCount(), end);
}

}  // namespace
