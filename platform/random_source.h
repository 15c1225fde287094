// Random numbers: a seedable process-wide generator (Randomize/Random) and OS randomness.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Seeds the process-wide generator: Randomize from the clock, the process id and the OS's
// randomness, so that programs started at the same moment draw different numbers (a forked child
// of a randomized process is reseeded the same way); RandomSeed with a fixed seed, for a
// repeatable sequence.
void Randomize();
void RandomSeed(uint32_t seed);
// A uniformly distributed number in [0, range) (0 when range is 0). Thread-safe.
uint32_t Random(uint32_t range);

// Fills the buffer with bytes from the OS's random source (for GUIDs).
void RandomBytes(void* buffer, size_t count);

// A random version-4 GUID as the 16 bytes of the Windows GUID structure (Data1 to Data3 little-
// endian), and its text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
void CreateGuid(uint8_t guid[16]);
std::string GuidToString(const uint8_t guid[16]);

}  // namespace platform
