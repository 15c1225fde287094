#include "engine/safe_object.h"

#include <cstdint>
#include <cstring>
#include <new>

#include <gtest/gtest.h>

namespace {

class Handle : public kura::TSafeObject {
 public:
  int payload = 7;
};

bool HoldsMark(const unsigned char* bytes, size_t size) {
  uint32_t mark = kura::TSafeObject::kObjectMark;
  for (size_t i = 0; i + sizeof mark <= size; ++i) {
    if (std::memcmp(bytes + i, &mark, sizeof mark) == 0) return true;
  }
  return false;
}

TEST(SafeObjectTest, ALiveObjectCarriesTheMarkAndADestroyedOneNoLonger) {
  EXPECT_FALSE(kura::TSafeObject::IsObject(nullptr));
  alignas(Handle) unsigned char storage[sizeof(Handle)] = {};
  Handle* handle = new (storage) Handle;
  EXPECT_TRUE(kura::TSafeObject::IsObject(handle));
  EXPECT_TRUE(HoldsMark(storage, sizeof storage));
  handle->~Handle();
  // The memory still exists, as with a stale handle; the mark must be gone from it. The barrier
  // makes the compiler read the bytes as they are in memory.
  unsigned char after[sizeof storage];
  asm volatile("" : : "r"(storage) : "memory");
  std::memcpy(after, storage, sizeof after);
  EXPECT_FALSE(HoldsMark(after, sizeof after));
}

}  // namespace
