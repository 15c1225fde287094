#include "platform/clock.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

namespace platform {

LocalDateTime LocalNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  LocalDateTime result;
  result.year = local.tm_year + 1900;
  result.month = local.tm_mon + 1;
  result.day = local.tm_mday;
  result.hour = local.tm_hour;
  result.minute = local.tm_min;
  // A leap second (60) is folded into the last regular second of the minute.
  result.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  result.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return result;
}

uint64_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void SleepMilliseconds(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
