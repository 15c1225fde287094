// The local clock, a monotonic tick count and sleeping.
#pragma once

#include <cstdint>

namespace platform {

struct LocalDateTime {
  int year = 0;    // 1..9999
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  int millisecond = 0;
};

// The local wall-clock time now.
LocalDateTime LocalNow();
// Milliseconds from an arbitrary fixed point; never goes backwards.
uint64_t TickCount();
// Suspends the calling thread for at least `milliseconds` (0 yields).
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace platform
