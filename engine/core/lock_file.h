// The lock file of a database directory and the lock objects of its tables.
//
// TDataDirectoryLocks (one per open directory object of a session) owns the directory's lock
// file (the engine's LockFileName, normally "kura.lck"; layout in lock_file_list.h) and keeps
// the table list read from it: every table that any program opened in the directory has a
// table ID, its position in the list (from 1), for the life of the file. It creates the file
// when it is missing, and takes the directory-wide transaction locks.
//
// TDataTableLocks (one per table name per directory object) takes the table's read, write and
// transaction locks in the lock file and keeps which of them it holds (TLockStates); the
// regions are in lock_regions.h.
//
// Every acquire is a non-blocking OS request retried a bounded number of times with waits from
// the engine's settings; a refused acquire raises its engine error and leaves the states as
// they were before the call. An unlock clears its state even when the OS refuses, and then
// raises. A lock file that cannot be created or opened, or that may not be written, makes the
// directory read-only: every lock-file request then succeeds without locking and the list is
// never read or written (a directory on read-only media works without locks).
//
// The OS locks belong to the process-wide file object of the lock file, so two directory
// objects of one process (two sessions) exclude each other as two processes do. Destroying the
// directory object releases whatever lock-file locks it still holds, then closes the file.
// One thread at a time (the session's); the table list is read and written inside the file's
// in-process section as well.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ansi_string.h"
#include "engine/core/lock_states.h"

namespace kura {

class TDataDirectoryLocks;
class TDataEngine;
class TEngineFile;

class TDataTableLocks {
 public:
  TDataTableLocks(TDataDirectoryLocks* owner, int32_t table_id, AnsiString table_name);
  TDataTableLocks(const TDataTableLocks&) = delete;
  TDataTableLocks& operator=(const TDataTableLocks&) = delete;

  // The read lock: one random byte of the table's read region. A no-op (false) while any state
  // is set. Raises 10225 when every attempt is refused.
  bool ReadLock();
  // Only while read-locked; 10226 when the OS refuses.
  void ReadUnlock();
  // The write lock: with TransLock, first the table's transaction byte (unless held), then the
  // whole read region. False when already write-locked, and also when only the region was
  // taken: the result is true only when this call took the transaction byte, which is what
  // asks the caller for change detection. Raises 10227 (after giving back a transaction byte
  // this call took).
  bool WriteLock(bool TransLock);
  // Only while write-locked: the region, then with TransUnlock the transaction byte; 10228.
  void WriteUnlock(bool TransUnlock);
  // The transaction byte alone: false when held; 10229 when refused. TransUnlock: 10230.
  bool TransLock();
  void TransUnlock();
  // For a table joining the directory's unrestricted transaction: the directory's region
  // already covers the transaction byte, so only the state is set.
  void MarkTransLocked() { FLockStates.Include(lsTransLocked); }

  int32_t TableID() const { return FTableID; }
  const AnsiString& TableName() const { return FTableName; }
  TLockStates LockStates() const { return FLockStates; }
  // The slot of the read lock held (meaningful while read-locked).
  uint16_t ReadLockSlot() const { return FReadLockSlot; }

 private:
  friend class TDataDirectoryLocks;

  [[noreturn]] void Raise(uint16_t code) const;
  bool Locking() const;
  TEngineFile& File() const;
  const TDataEngine& Engine() const;

  TDataDirectoryLocks* FDataDirectoryLocks;
  int32_t FTableID;
  AnsiString FTableName;
  TLockStates FLockStates;
  uint16_t FReadLockSlot = 0;
};

class TDataDirectoryLocks {
 public:
  // `directory`: the directory's path with its trailing separator ("" or a path for the
  // in-memory directory, whose files live in the engine's memory registry). The engine must
  // outlive the object.
  TDataDirectoryLocks(TDataEngine* engine, const AnsiString& directory, bool in_memory);
  ~TDataDirectoryLocks();
  TDataDirectoryLocks(const TDataDirectoryLocks&) = delete;
  TDataDirectoryLocks& operator=(const TDataDirectoryLocks&) = delete;

  // Creates the lock file when it is missing (its list: the tables present, in the order the
  // directory lists their data files), then opens it shared and reads the list, with up to 11
  // attempts 100 ms apart. Never raises: when the file cannot be opened or read, the directory
  // is read-only.
  void Open();

  // The position of a table in the list (names compared without regard to case), or -1.
  int32_t FindDataTable(const AnsiString& TableName) const;
  // The lock object of a table, registering the table in the lock file when the list does not
  // know it yet (under the lock-file write lock; the list is re-read first, so that tables
  // registered by other programs keep their IDs). Raises 10223/10224 for the lock-file write
  // lock, 9480 beyond 4096 tables, and the file errors of reading or writing the list. The
  // object belongs to this directory object and lives as long as it.
  TDataTableLocks* AddDataTable(const AnsiString& TableName);
  // 9480 when the list already holds 4096 tables.
  void CheckTableLimit() const;

  // The directory transaction region (10229/10230); sets or clears lsTransLocked on every
  // table lock object.
  void TransLockDataDirectory();
  void TransUnlockDataDirectory();
  // The directory transaction-write region (10229/10230); sets or clears lsWriteLocked on
  // every table lock object.
  void TransWriteLockDataDirectory();
  void TransWriteUnlockDataDirectory();

  bool ReadOnly() const { return FReadOnly; }
  // The update counter last read or written; -1 before the list was first read.
  int32_t UpdateCount() const { return FUpdateCount; }
  // The slot of the lock-file read lock last held.
  uint16_t LockSlot() const { return FLockSlot; }
  size_t TableCount() const { return FDataTableLocksList.size(); }
  // Position i holds table ID i + 1.
  TDataTableLocks* TableLocks(size_t position) const {
    return FDataTableLocksList[position].get();
  }
  TDataEngine* DataEngine() const { return FDataEngine; }
  const AnsiString& Directory() const { return FDirectory; }
  // The name errors carry: the directory without its trailing separator.
  AnsiString ProperDirectoryName() const;
  TEngineFile& LockFile() const { return *FLockFile; }

 private:
  friend class TDataTableLocks;

  // Step 1 of Open; true when the file was created and the list filled.
  bool CreateLockFile();
  void ReadTableListLocked();
  void ReadTableList();
  void WriteTableList();
  TDataTableLocks* Append(const AnsiString& TableName);
  void ReleaseAllLocks() noexcept;
  [[noreturn]] void Raise(uint16_t code, const AnsiString& table_name = {}) const;

  TDataEngine* FDataEngine;
  AnsiString FDirectory;
  bool FInMemory;
  std::unique_ptr<TEngineFile> FLockFile;
  int32_t FUpdateCount = -1;
  uint16_t FLockSlot = 0;
  std::vector<std::unique_ptr<TDataTableLocks>> FDataTableLocksList;
  bool FReadOnly = false;
  bool FTransLocked = false;
  bool FTransWriteLocked = false;
};

}  // namespace kura
