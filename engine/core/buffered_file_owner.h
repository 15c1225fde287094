// What a table's buffered files (data, index, BLOB) need from the table that owns them.
//
// The shared open table implements this; tests and tools plug in small owners of their own
// (kura-dump opens a data file directly with an owner that takes no locks). The files borrow the
// owner: it must outlive them. All calls come from the thread that uses the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kura {

class TDataCursor;
class TDataEngine;

class TBufferedFileOwner {
 public:
  virtual ~TBufferedFileOwner() = default;

  // The engine whose file registry, settings and errors the files use.
  virtual TDataEngine* DataEngine() const = 0;

  // Names carried by the files' errors: the table name (the "proper" name, for messages) and
  // the database directory name.
  virtual std::string ProperTableName() const = 0;
  virtual std::string ProperDatabaseName() const = 0;

  // Called on a cache miss when strict change detection is off: takes the table read lock for
  // `cursor` (nothing for an exclusive or read-only cursor; `cursor` may be null). Returns true
  // only when the lock was newly taken and change detection found that another program changed
  // the table; the table has then discarded its caches and the read must report failure. The
  // lock stays held until the operation's final read unlock.
  virtual bool ReadLockForCacheMiss(TDataCursor* cursor) = 0;

  // The cursor's estimate of how many consecutive records a read in `direction` (1 forward,
  // otherwise backward) should fetch, at most `maximum`.
  virtual int32_t ReadAheadEstimate(TDataCursor* cursor, int direction, int32_t maximum) = 0;

  // Session settings: strict change detection (every read takes the read lock up front, so a
  // miss takes none) and forced OS flushes after every write.
  virtual bool StrictChangeDetection() const = 0;
  virtual bool ForceBufferFlush() const = 0;

  // Whether the table is inside a transaction, and whether any of its files was written since
  // the table was opened (every block and header write marks it).
  virtual bool InTransaction() const = 0;
  virtual bool WrittenTo() const = 0;
  virtual void MarkWrittenTo() = 0;

  // Whether the table's units other than the data header are enciphered (the data header's
  // flag; the index and BLOB files ask here). Encryption of a unit with the table's password
  // works on whole 8-byte blocks; a remainder stays in clear. VerifyDigest settles the password of an encrypted table
  // from the check value in the data header, raising 10498 when none fits.
  virtual bool IsEncrypted() const = 0;
  virtual void VerifyDigest(const uint8_t digest[16]) = 0;
  virtual void Encrypt(uint8_t* buffer, size_t size) = 0;
  virtual void Decrypt(uint8_t* buffer, size_t size) = 0;
};

}  // namespace kura
