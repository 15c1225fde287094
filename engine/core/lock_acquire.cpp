#include "engine/core/lock_acquire.h"

#include <algorithm>

#include "engine/core/engine_file.h"
#include "platform/clock.h"
#include "platform/random_source.h"

namespace kura {

bool AcquireRange(TEngineFile& file, int64_t offset, int64_t length, uint32_t retries,
                  uint32_t wait_ms) {
  for (uint32_t failures = 0;;) {
    if (file.LockRegion(offset, length, true)) return true;
    if (++failures > retries) return false;
    platform::SleepMilliseconds(wait_ms);
  }
}

bool AcquireReadSlot(TEngineFile& file, int64_t base, uint32_t retries, uint32_t wait_ms,
                     uint16_t* slot) {
  for (uint32_t failures = 0;;) {
    uint16_t candidate =
        static_cast<uint16_t>(std::max<uint32_t>(1, platform::Random(kReadSlotCount + 1)));
    if (file.LockRegion(base + candidate - 1, 1, true)) {
      *slot = candidate;
      return true;
    }
    if (++failures > retries) return false;
    platform::SleepMilliseconds(wait_ms);
  }
}

}  // namespace kura
