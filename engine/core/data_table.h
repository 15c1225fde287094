// TDataTable: a table open in one directory object of a session, shared by every cursor of the
// session on it. It owns the table's data and index files with their caches, keeps the table's
// lock bookkeeping (lock-file states through its TDataTableLocks, record, table and semaphore
// locks in the data file) and its transaction state, and is the owner the files call back for
// locks, session settings and the table's key.
//
// Opening checks the files in a fixed order: the data file (version, signature, field count,
// password), then the index file (a missing or unreadable one is recreated empty and the table
// reports MissingIndex; a table opened read-only goes on without one), then registers the table in the lock file and reads and checks the
// headers under the table read lock. A failing open leaves every file closed.
//
// Locks: with no lock object (the table is exclusive or its files are marked read-only) the
// lock-file locks and the record and table locks do nothing; semaphores always apply. Every
// newly taken read or write lock, and the table lock, runs change detection: when another
// program changed the table (the data header's stamp moved) every cache of the table is
// discarded and the call returns true. A failing acquire leaves the lock states as they were.
//
// Tables with BLOB fields: their BLOB file is not opened yet (the BLOB file class comes later).
// One thread at a time (the session's). The directory owns the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ansi_string.h"
#include "engine/core/buffered_file_owner.h"
#include "engine/data_bitmap.h"

namespace kura {

class TDataDirectory;
class TDataFile;
class TDataPassword;
class TDataSession;
class TDataTableLocks;
class TIndexFile;
class TPage;
class TRecord;

class TDataTable : public TBufferedFileOwner {
 public:
  // `TableName` as the cursor passes it (no path, no data extension, at most 60 characters).
  TDataTable(TDataDirectory* Owner, const AnsiString& TableName,
             const AnsiString& ErrorTableName, bool Exclusive, bool Temporary, bool ReadOnly);
  // Closes the table whatever its use counts (errors are swallowed).
  ~TDataTable() override;
  TDataTable(const TDataTable&) = delete;
  TDataTable& operator=(const TDataTable&) = delete;

  // ---- Open and close

  // Counts a use unless SystemOpen; opens the files when the table is not open yet.
  void OpenTable(bool SystemOpen, bool DoHeaderChecks);
  // Gives back a use unless SystemOpen; the last one (outside a transaction) writes an
  // exclusive table's cache back, releases every lock and, unless the directory keeps shared
  // tables open, closes the files.
  void CloseTable(bool FreeIfTemporary, bool SystemOpen);
  void IncUseCount() { ++FUseCount; }
  void DecUseCount() {
    if (FUseCount > 0) --FUseCount;
  }
  void IncClientUseCount() { ++FClientUseCount; }
  void DecClientUseCount() {
    if (FClientUseCount > 0) --FClientUseCount;
  }
  // Rereads the headers of the open files; checks them (the index unless it was missing).
  void ReadHeaders();
  void CheckHeaders();

  // ---- Transactions

  // Restricted: the table's transaction byte is taken; unrestricted: the directory's region
  // already covers it. A newly started transaction runs change detection.
  void StartTransaction(bool Restricted);
  void CommitTransaction(bool ForceFlush, bool ReleaseLocks);
  void RollbackTransaction();

  // ---- Locks

  bool ReadLockTable();
  void ReadUnlockTable();
  bool WriteLockTable();
  void WriteUnlockTable();
  // 10258 for record 0 (or a number past the record limit), a record this object holds, or when
  // the retries (the session's LockRetries and LockWait) run out. The read lock it takes is
  // left to the caller's ReadUnlockTable.
  bool LockRecord(int32_t RecordToLock);
  // 10242 for a record that is not locked; inside a transaction the OS lock is kept.
  void UnlockRecord(int32_t RecordToUnlock);
  // 10241 when locked already, while records are held, or when the retries run out.
  bool LockTable();
  void UnlockTable();
  // False for a number outside 1..1024 or when the retries run out (no error).
  bool LockSemaphore(int32_t SemaphoreToLock);
  bool UnlockSemaphore(int32_t SemaphoreToUnlock);
  // Releases the records and the table lock of the transaction (true) or the ordinary ones.
  // Every lock is tried; the first error is raised afterwards.
  void UnlockAll(bool TransactionLocks);
  void UnlockAllSemaphores();
  // Whether the record is locked by this table object, or (shared tables) refused to another
  // locker right now.
  bool RecordIsLocked(int32_t RecordNum);
  // Whether this table object holds the table lock, or (shared tables) the whole table cannot
  // be locked right now.
  bool TableIsLocked();
  bool CheckForRecordLock(int32_t RecordNum) const;
  bool CheckForTransactionRecordLock(int32_t RecordNum) const;
  bool SemaphoreIsLocked(int32_t Semaphore) const;

  // ---- Buffers

  bool GetRecord(TDataCursor* DataCursor, int32_t RecordNum, bool ReadAhead, int Direction,
                 TRecord** Record);
  void PutRecord(TRecord* Record);
  bool GetPage(TDataCursor* DataCursor, int32_t IndexPos, int32_t PageNum, TPage** Page);
  void PutPage(TPage* Page);
  // Writes every dirty buffer and the headers that changed or are forced (inside a transaction
  // only the stamps change). A written index header also rewrites the data header, whose stamp
  // is the one other programs compare. True when anything was written.
  bool FlushBuffers(bool AdjustBuffers, bool ForceDataHeader, bool ForceIndexHeader,
                    bool ForceBlobHeader, bool ForceOSFlush);
  void UpdateHeaderStamps(bool UpdateDataHeader, bool UpdateIndexHeader, bool UpdateBlobHeader);
  // Discards the caches (dirty buffers included), optionally resizes them and rereads the
  // headers (and the index definitions).
  void FreeBuffers(bool AdjustBuffers, bool ReadHeaders, bool ReadIndexes);
  void FlushOSBuffers();
  // True, with every cache discarded and the headers reread, when the data header's stamp on
  // disk differs from the one in memory.
  bool PerformChangeDetection();

  // Buffers of this table for a caller's private use (not in any cache): a record image, and a
  // page initialised for an index position.
  std::unique_ptr<TRecord> CreateRecord();
  std::unique_ptr<TPage> CreatePage(int32_t IndexPos);

  // ---- Passwords

  // The check value for a new encrypted table: the session's password of that text, copied as
  // the table's key, asking the session's hook while there is none. 10498 when it gives up.
  void GetDigestForPassword(const AnsiString& Value, uint8_t CheckValue[16]);
  bool AskForPassword();
  const TDataPassword* DataPassword() const { return FDataPassword.get(); }

  // ---- TBufferedFileOwner

  TDataEngine* DataEngine() const override;
  std::string ProperTableName() const override;
  std::string ProperDatabaseName() const override;
  bool ReadLockForCacheMiss(TDataCursor* Cursor) override;
  int32_t ReadAheadEstimate(TDataCursor* Cursor, int Direction, int32_t Maximum) override;
  bool StrictChangeDetection() const override;
  bool ForceBufferFlush() const override;
  bool InTransaction() const override { return FInTransaction; }
  bool WrittenTo() const override { return FWrittenTo; }
  void MarkWrittenTo() override { FWrittenTo = true; }
  // Settles the key of an encrypted table from its check value: a session password that fits,
  // asking the session's hook while none does; 10498 when the hook gives up or adds nothing.
  void VerifyDigest(const uint8_t Digest[16]) override;
  // The data header's flag, once the data file is open.
  bool IsEncrypted() const override;
  void Encrypt(uint8_t* Buffer, size_t Size) override;
  void Decrypt(uint8_t* Buffer, size_t Size) override;

  // ---- State

  TDataDirectory* DataDirectory() const { return FDataDirectory; }
  TDataSession* DataSession() const;
  const AnsiString& TableName() const { return FTableName; }
  const AnsiString& ErrorTableName() const { return FErrorTableName; }
  uint16_t UseCount() const { return FUseCount; }
  uint16_t ClientUseCount() const { return FClientUseCount; }
  bool IsOpen() const { return FIsOpen; }
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool Value) { FExclusive = Value; }
  bool ReadOnly() const { return FReadOnly; }
  bool MarkedReadOnly() const { return FMarkedReadOnly; }
  bool Temporary() const { return FTemporary; }
  void SetTemporary(bool Value) { FTemporary = Value; }
  bool MissingIndex() const { return FMissingIndex; }
  bool RestrictedTransaction() const { return FRestrictedTransaction; }
  bool HasBlobFields() const;
  // The table's ID in the lock file; 0 without a lock object.
  int32_t TableID() const;
  TDataTableLocks* DataTableLocks() const { return FDataTableLocks; }
  TDataFile* DataFile() const { return FDataFile.get(); }
  TIndexFile* IndexFile() const { return FIndexFile.get(); }
  bool TableLock() const { return FTableLock; }
  bool TransactionTableLock() const { return FTransactionTableLock; }
  const TDataBitmap& RecordLocks() const { return FRecordLocks; }
  const TDataBitmap& TransactionRecordLocks() const { return FTransactionRecordLocks; }

 private:
  void OpenFiles(bool DoHeaderChecks);
  void OpenIndexFile();
  // Releases every lock the table object holds, then closes the files (nothing raises).
  void ReleaseAllLocks() noexcept;
  void CloseFiles() noexcept;
  void ReleaseTransactionLocks();
  bool Locking() const { return FDataTableLocks != nullptr; }
  // The OS lock of a data-file region with the session's retries.
  bool AcquireDataFileRange(int64_t Offset, int64_t Length);
  [[noreturn]] void Raise(uint16_t Code) const;

  TDataDirectory* FDataDirectory;
  AnsiString FTableName;
  AnsiString FErrorTableName;
  uint16_t FUseCount = 0;
  uint16_t FClientUseCount = 0;
  bool FIsOpen = false;
  bool FExclusive;
  bool FReadOnly;
  bool FMarkedReadOnly = false;
  bool FTemporary;
  bool FMissingIndex = false;
  bool FInTransaction = false;
  bool FRestrictedTransaction = false;
  bool FWrittenTo = false;
  // Requested read-only mode (the directory's); FReadOnly is what the files granted.
  bool FRequestedReadOnly;
  std::unique_ptr<TDataFile> FDataFile;
  std::unique_ptr<TIndexFile> FIndexFile;
  std::unique_ptr<TDataPassword> FDataPassword;
  TDataTableLocks* FDataTableLocks = nullptr;  // the directory's, while open and shared
  TDataBitmap FRecordLocks;
  TDataBitmap FTransactionRecordLocks;
  bool FTableLock = false;
  bool FTransactionTableLock = false;
  TDataBitmap FSemaphoreLocks;
};

}  // namespace kura
