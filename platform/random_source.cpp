#include "platform/random_source.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <random>

#include <pthread.h>
#include <sys/random.h>
#include <unistd.h>

#include "platform/clock.h"

namespace platform {

namespace {

std::mutex& GeneratorMutex() {
  static std::mutex mutex;
  return mutex;
}

// True while the generator runs from a Randomize seed rather than one the caller chose.
bool seeded_by_randomize = false;

// The OS's randomness and the process id keep apart two programs started in the same
// millisecond, which a seed from the clock alone would give the same numbers (and with them the
// same lock slots). Only calls that are safe in a freshly forked child.
uint32_t ForkSafeSeed() {
  uint32_t random = 0;
  RandomBytes(&random, sizeof random);
  const uint64_t ticks = TickCount();
  return random ^ static_cast<uint32_t>(ticks ^ (ticks >> 32)) ^
         (static_cast<uint32_t>(getpid()) * 2654435761u);
}

uint32_t FreshSeed() {
  const LocalDateTime now = LocalNow();
  return ForkSafeSeed() ^ static_cast<uint32_t>(((now.hour * 60 + now.minute) * 60 + now.second) *
                                                    1000 +
                                                now.millisecond);
}

void LockBeforeFork() { GeneratorMutex().lock(); }
void UnlockInParent() { GeneratorMutex().unlock(); }
void ReseedForkedChild();

std::mt19937& Generator() {
  static std::mt19937 generator = [] {
    pthread_atfork(LockBeforeFork, UnlockInParent, ReseedForkedChild);
    return std::mt19937(static_cast<uint32_t>(TickCount()));
  }();
  return generator;
}

// A forked child would otherwise repeat its parent's numbers; a sequence the caller seeded on
// purpose is left alone. The generator's lock was taken before the fork by this same thread.
void ReseedForkedChild() {
  if (seeded_by_randomize) Generator().seed(ForkSafeSeed());
  GeneratorMutex().unlock();
}

}  // namespace

void Randomize() {
  const uint32_t seed = FreshSeed();
  std::lock_guard<std::mutex> lock(GeneratorMutex());
  Generator().seed(seed);
  seeded_by_randomize = true;
}

void RandomSeed(uint32_t seed) {
  std::lock_guard<std::mutex> lock(GeneratorMutex());
  Generator().seed(seed);
  seeded_by_randomize = false;
}

uint32_t Random(uint32_t range) {
  if (range == 0) return 0;
  std::uniform_int_distribution<uint32_t> distribution(0, range - 1);
  std::lock_guard<std::mutex> lock(GeneratorMutex());
  return distribution(Generator());
}

void RandomBytes(void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t n = getrandom(out, count, 0);
    if (n > 0) {
      out += n;
      count -= static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      // No getrandom (very old kernel): fall back to std::random_device rather than leave the
      // buffer undefined.
      std::random_device device;
      for (; count > 0; --count) *out++ = static_cast<uint8_t>(device());
    }
  }
}

void CreateGuid(uint8_t guid[16]) {
  RandomBytes(guid, 16);
  // Data3 is little-endian: its high byte (byte 7) carries the version 4.
  guid[7] = static_cast<uint8_t>((guid[7] & 0x0F) | 0x40);
  // Data4[0] carries the RFC 4122 variant.
  guid[8] = static_cast<uint8_t>((guid[8] & 0x3F) | 0x80);
}

std::string GuidToString(const uint8_t guid[16]) {
  const uint32_t data1 = static_cast<uint32_t>(guid[0]) | static_cast<uint32_t>(guid[1]) << 8 |
                         static_cast<uint32_t>(guid[2]) << 16 | static_cast<uint32_t>(guid[3]) << 24;
  const unsigned data2 = static_cast<unsigned>(guid[4]) | static_cast<unsigned>(guid[5]) << 8;
  const unsigned data3 = static_cast<unsigned>(guid[6]) | static_cast<unsigned>(guid[7]) << 8;
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(data1), data2, data3, guid[8], guid[9], guid[10], guid[11],
                guid[12], guid[13], guid[14], guid[15]);
  return text;
}

}  // namespace platform
