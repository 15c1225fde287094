// TSafeObject: the base of engine objects that callers address as handles (directories,
// cursors, BLOB buffers). The constructor writes a fixed mark into the object and the destructor
// clears it, so that a handle handed in from outside can be checked with IsObject before use.
// The check catches handles that were never objects or whose object has been destroyed while
// its memory still exists; it is a guard against misuse, not a memory-safety mechanism.
#pragma once

#include <cstdint>

namespace kura {

class TSafeObject {
 public:
  static constexpr uint32_t kObjectMark = 0x4B4F424A;

  TSafeObject() : FObjectMark(kObjectMark) {}
  virtual ~TSafeObject();
  TSafeObject(const TSafeObject&) = delete;
  TSafeObject& operator=(const TSafeObject&) = delete;

  // True when `object` is not null and carries the mark.
  static bool IsObject(const TSafeObject* object) {
    return object != nullptr && object->FObjectMark == kObjectMark;
  }
  bool IsObject() const { return FObjectMark == kObjectMark; }

 private:
  // Volatile so that the clearing store in the destructor is never optimised away.
  volatile uint32_t FObjectMark;
};

}  // namespace kura
