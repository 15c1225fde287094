// Bounded acquisition of byte-range locks on an engine file.
//
// Every lock of the protocol is a non-blocking OS request retried a bounded number of times, so
// that no lock call can wait without end. The attempts are retries + 1, with one sleep of
// wait_ms between two attempts and none after the last.
#pragma once

#include <cstdint>

namespace kura {

class TEngineFile;

// The number of read slots of a read region: one byte each at base + slot - 1, slot 1..65534.
constexpr uint16_t kReadSlotCount = 65534;

// Locks [offset, offset + length); false when every attempt was refused.
bool AcquireRange(TEngineFile& file, int64_t offset, int64_t length, uint32_t retries,
                  uint32_t wait_ms);

// Locks one byte of the read region at `base`, drawing a random slot for every attempt (readers
// then almost never meet on one byte, while a writer's lock of the whole region excludes them
// all). On success *slot is the slot held; it is unlocked at base + *slot - 1.
bool AcquireReadSlot(TEngineFile& file, int64_t base, uint32_t retries, uint32_t wait_ms,
                     uint16_t* slot);

}  // namespace kura
