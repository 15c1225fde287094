// Where every lock of the protocol lies. The offsets are the protocol: every program sharing a
// directory locks exactly these bytes, so they are computed in this one place from the engine's
// lock-offset settings (normal or large-file profile, fixed at Initialize).
//
// In the lock file: the lock-file read slots and write region (the table list), per table N
// (1..4096) its read slots, write region and transaction byte, and the directory's transaction
// and transaction-write regions. In a table's data file: one byte per record R (>= 1), the
// table lock over all records, one byte per semaphore S (1..1024) just below it.
//
// The regions nest: the 4096 transaction bytes fill the directory transaction region, the 4096
// table write regions fill the directory transaction-write region, and the record bytes of
// records 1..RecordLockRange fill the table lock region.
#pragma once

#include <cstdint>

#include "engine/core/data_engine.h"

namespace kura {

struct TLockRegion {
  int64_t offset = 0;
  int64_t length = 0;
  friend bool operator==(const TLockRegion&, const TLockRegion&) = default;
};

// Lock file.
inline TLockRegion LockFileReadSlot(const TDataEngine& e, uint16_t slot) {
  return {e.FileLockByte() - e.FileLockRange() + slot - 1, 1};
}
inline TLockRegion LockFileWriteRegion(const TDataEngine& e) {
  return {e.FileLockByte() - e.FileLockRange(), e.FileLockRange()};
}
// The first byte of table N's read region; slot s is the byte at base + s - 1.
inline int64_t TableReadBase(const TDataEngine& e, int32_t table_id) {
  return e.ReadLockByte() - table_id * e.ReadLockRange();
}
inline TLockRegion TableReadSlot(const TDataEngine& e, int32_t table_id, uint16_t slot) {
  return {TableReadBase(e, table_id) + slot - 1, 1};
}
inline TLockRegion TableWriteRegion(const TDataEngine& e, int32_t table_id) {
  return {e.WriteLockByte() - table_id * e.WriteLockRange(), e.WriteLockRange()};
}
inline TLockRegion TableTransByte(const TDataEngine& e, int32_t table_id) {
  return {e.TransLockByte() - table_id, 1};
}
inline TLockRegion DirectoryTransRegion(const TDataEngine& e) {
  return {e.TransLockByte() - e.TransLockRange(), e.TransLockRange()};
}
inline TLockRegion DirectoryTransWriteRegion(const TDataEngine& e) {
  return {e.WriteLockByte() - e.TransWriteLockRange(), e.TransWriteLockRange()};
}

// A table's data file.
inline TLockRegion RecordLockByte(const TDataEngine& e, int32_t record) {
  return {e.RecordLockByte() - record, 1};
}
inline TLockRegion TableLockRegion(const TDataEngine& e) {
  return {e.RecordLockByte() - e.RecordLockRange(), e.RecordLockRange()};
}
inline TLockRegion SemaphoreLockByte(const TDataEngine& e, int32_t semaphore) {
  return {e.SemaphoreLockByte() - semaphore, 1};
}

}  // namespace kura
