// Holds the table read lock of a shared table (TDataTable) or of a cursor (TDataCursor) for a
// scope: taken when the guard is made, given back when it goes, on every path. Releasing cannot
// raise out of a destructor: an unlock failure there is dropped, and the OS gives the byte back
// when the file closes at the latest.
#pragma once

#include <exception>

namespace kura {

template <typename TLockHolder>
class TScopedReadLock {
 public:
  explicit TScopedReadLock(TLockHolder* Holder) : FHolder(Holder) { FHolder->ReadLockTable(); }
  ~TScopedReadLock() {
    try {
      FHolder->ReadUnlockTable();
    } catch (const std::exception&) {
    }
  }
  TScopedReadLock(const TScopedReadLock&) = delete;
  TScopedReadLock& operator=(const TScopedReadLock&) = delete;

 private:
  TLockHolder* FHolder;
};

}  // namespace kura
