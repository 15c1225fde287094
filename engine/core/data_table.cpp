#include "engine/core/data_table.h"

#include <exception>
#include <utility>

#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_password.h"
#include "engine/core/data_session.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_acquire.h"
#include "engine/core/lock_file.h"
#include "engine/core/lock_regions.h"
#include "engine/core/table_names.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/data_file.h"
#include "engine/format/index_file.h"
#include "engine/format/index_page.h"
#include "engine/format/record.h"

namespace kura {

namespace {

// Runs every release step and raises the first error only after all of them were tried.
class TReleaseSteps {
 public:
  template <typename Step>
  void Run(Step&& step) {
    try {
      step();
    } catch (...) {
      if (!error_) error_ = std::current_exception();
    }
  }
  void Finish() {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::exception_ptr error_;
};

}  // namespace

TDataTable::TDataTable(TDataDirectory* Owner, const AnsiString& TableName,
                       const AnsiString& ErrorTableName, bool Exclusive, bool Temporary,
                       bool ReadOnly)
    : FDataDirectory(Owner),
      FTableName(TableName),
      FErrorTableName(ErrorTableName),
      FExclusive(Exclusive),
      FReadOnly(ReadOnly),
      FTemporary(Temporary),
      FRequestedReadOnly(ReadOnly),
      FDataFile(std::make_unique<TDataFile>(this)),
      FIndexFile(std::make_unique<TIndexFile>(this)),
      FRecordLocks(8192),
      FTransactionRecordLocks(8192),
      FSemaphoreLocks(static_cast<uint32_t>(Owner->DataEngine()->SemaphoreLockRange() + 1)) {}

TDataTable::~TDataTable() {
  if (FInTransaction) {
    try {
      RollbackTransaction();
    } catch (const std::exception&) {
    }
  }
  if (FIsOpen) {
    if (FExclusive && !FReadOnly && !FTemporary) {
      try {
        FlushBuffers(false, false, false, false, false);
      } catch (const std::exception&) {
      }
    }
    ReleaseAllLocks();
    CloseFiles();
  }
}

// ---- Names and settings

TDataEngine* TDataTable::DataEngine() const { return FDataDirectory->DataEngine(); }

TDataSession* TDataTable::DataSession() const { return FDataDirectory->DataSession(); }

std::string TDataTable::ProperTableName() const {
  return FErrorTableName.empty() ? FTableName : FErrorTableName;
}

std::string TDataTable::ProperDatabaseName() const {
  return FDataDirectory->GetProperDataDirectoryName();
}

bool TDataTable::StrictChangeDetection() const { return DataSession()->StrictChangeDetection(); }

bool TDataTable::ForceBufferFlush() const { return DataSession()->ForceBufferFlush(); }

bool TDataTable::HasBlobFields() const {
  return FDataFile->IsOpen() && FDataFile->BlobFieldCount() > 0;
}

int32_t TDataTable::TableID() const {
  return FDataTableLocks != nullptr ? FDataTableLocks->TableID() : 0;
}

void TDataTable::Raise(uint16_t Code) const {
  TErrorContext context;
  context.table_name = ProperTableName();
  context.database_name = ProperDatabaseName();
  DataEngine()->RaiseError(Code, context);
}

// ---- Open and close

void TDataTable::OpenTable(bool SystemOpen, bool DoHeaderChecks) {
  if (!SystemOpen) IncUseCount();
  if (FIsOpen) return;
  FIsOpen = true;
  try {
    OpenFiles(DoHeaderChecks);
  } catch (...) {
    if (!SystemOpen) DecUseCount();
    ReleaseAllLocks();
    CloseFiles();
    throw;
  }
}

void TDataTable::OpenFiles(bool DoHeaderChecks) {
  TDataEngine& engine = *DataEngine();
  const AnsiString& directory = FDataDirectory->Directory();
  const bool in_memory = FDataDirectory->InMemory();
  FDataFile->SetFileName(TableFileName(
      engine, directory, FTableName,
      FTemporary ? engine.DataTempExtension() : engine.DataExtension()));
  FIndexFile->SetFileName(TableFileName(
      engine, directory, FTableName,
      FTemporary ? engine.IndexTempExtension() : engine.IndexExtension()));
  for (TBufferedFile* file : {static_cast<TBufferedFile*>(FDataFile.get()),
                              static_cast<TBufferedFile*>(FIndexFile.get())}) {
    file->SetExclusive(FExclusive);
    file->SetReadOnly(FRequestedReadOnly);
    file->SetInMemory(in_memory);
    file->SetTemporary(FTemporary);
  }

  // The data file settles the password before anything enciphered is read.
  FDataFile->OpenFile();
  FIndexFile->SetDataFile(FDataFile.get());
  OpenIndexFile();

  FReadOnly = FDataFile->ReadOnly() || FIndexFile->ReadOnly();
  FMarkedReadOnly = FDataFile->MarkedReadOnly() || FIndexFile->MarkedReadOnly();
  if (FMarkedReadOnly) FReadOnly = true;

  if (!FExclusive && !FMarkedReadOnly) {
    FDataTableLocks = FDataDirectory->Locks()->AddDataTable(FTableName);
  }
  bool read_locked = FDataTableLocks != nullptr && FDataTableLocks->ReadLock();
  try {
    ReadHeaders();
    if (DoHeaderChecks) CheckHeaders();
  } catch (...) {
    if (read_locked) FDataTableLocks->ReadUnlock();
    throw;
  }
  if (read_locked) FDataTableLocks->ReadUnlock();
}

void TDataTable::OpenIndexFile() {
  try {
    FIndexFile->OpenFile();
    return;
  } catch (const EKuraEngineError& e) {
    if (e.ErrorCode() != KURA_OSENOENT && e.ErrorCode() != KURA_READERR) throw;
  }
  // A missing or unreadable index file is made anew and empty; the cursor rebuilds the
  // primary index from the records. A table opened read-only may not write: it goes on
  // without an index file (records are still readable in physical order), and the file is
  // left for the next writer to rebuild.
  FMissingIndex = true;
  FIndexFile->CloseFile();
  if (FRequestedReadOnly) return;
  FIndexFile->CreateFile();
  FIndexFile->WriteHeader(true);
  FIndexFile->WriteIndexDefinitions(true);
  FIndexFile->CloseFile();
  FIndexFile->OpenFile();
}

void TDataTable::ReadHeaders() {
  if (FDataFile->IsOpen()) FDataFile->ReadHeader();
  if (FIndexFile->IsOpen()) FIndexFile->ReadHeader();
}

void TDataTable::CheckHeaders() {
  if (FDataFile->IsOpen()) FDataFile->CheckHeader();
  if (FIndexFile->IsOpen() && !FMissingIndex) FIndexFile->CheckHeader();
}

void TDataTable::CloseTable(bool FreeIfTemporary, bool SystemOpen) {
  if (!FIsOpen) return;
  if (!SystemOpen) DecUseCount();
  if (FUseCount > 0 || FInTransaction) return;
  TReleaseSteps steps;
  if (FExclusive && !FReadOnly) {
    steps.Run([&] {
      if (FreeIfTemporary && FTemporary) {
        FreeBuffers(false, false, false);
      } else {
        FlushBuffers(true, false, false, false, false);
      }
    });
  }
  steps.Run([&] { UnlockAll(false); });
  steps.Run([&] { UnlockAll(true); });
  steps.Run([&] { UnlockAllSemaphores(); });
  if (FDataTableLocks != nullptr) {
    steps.Run([&] { FDataTableLocks->ReadUnlock(); });
    steps.Run([&] { FDataTableLocks->WriteUnlock(true); });
  }
  // A shared table of a directory that keeps tables open keeps its files and caches.
  if (!FDataDirectory->KeepTablesOpen() || SystemOpen || FExclusive) CloseFiles();
  steps.Finish();
}

void TDataTable::ReleaseAllLocks() noexcept {
  const TDataEngine& e = *DataEngine();
  if (FDataFile->IsOpen()) {
    // A record is in one of the two sets at a time, each holding its OS lock once.
    for (TDataBitmap* set : {&FRecordLocks, &FTransactionRecordLocks}) {
      for (uint32_t r = set->FindNext(1); r != TDataBitmap::kNotFound; r = set->FindNext(r + 1)) {
        TLockRegion region = RecordLockByte(e, static_cast<int32_t>(r));
        FDataFile->LockRegion(region.offset, region.length, false);
      }
    }
    if (FTableLock || FTransactionTableLock) {
      TLockRegion region = TableLockRegion(e);
      FDataFile->LockRegion(region.offset, region.length, false);
    }
    for (uint32_t s = FSemaphoreLocks.FindNext(1); s != TDataBitmap::kNotFound;
         s = FSemaphoreLocks.FindNext(s + 1)) {
      TLockRegion region = SemaphoreLockByte(e, static_cast<int32_t>(s));
      FDataFile->LockRegion(region.offset, region.length, false);
    }
  }
  FRecordLocks.Clear();
  FTransactionRecordLocks.Clear();
  FSemaphoreLocks.Clear();
  FTableLock = false;
  FTransactionTableLock = false;
  if (FDataTableLocks != nullptr) {
    try {
      FDataTableLocks->ReadUnlock();
    } catch (const std::exception&) {
    }
    try {
      FDataTableLocks->WriteUnlock(true);
    } catch (const std::exception&) {
    }
    try {
      if (!FDataDirectory->InTransaction() || FDataDirectory->RestrictedTransaction()) {
        FDataTableLocks->TransUnlock();
      }
    } catch (const std::exception&) {
    }
  }
}

void TDataTable::CloseFiles() noexcept {
  for (TBufferedFile* file : {static_cast<TBufferedFile*>(FIndexFile.get()),
                              static_cast<TBufferedFile*>(FDataFile.get())}) {
    try {
      file->CloseFile();
    } catch (const std::exception&) {
    }
  }
  FDataTableLocks = nullptr;
  FMissingIndex = false;
  FWrittenTo = false;
  FIsOpen = false;
}

// ---- Transactions

void TDataTable::StartTransaction(bool Restricted) {
  if (FReadOnly || FInTransaction) return;
  if (FExclusive) FlushBuffers(false, false, false, false, false);
  if (FDataTableLocks != nullptr) {
    if (Restricted) {
      if (FDataTableLocks->TransLock()) {
        try {
          PerformChangeDetection();
        } catch (...) {
          FDataTableLocks->TransUnlock();
          throw;
        }
      }
    } else {
      // The directory's transaction region covers this table's byte.
      FDataTableLocks->MarkTransLocked();
      PerformChangeDetection();
    }
  }
  FRestrictedTransaction = Restricted;
  FInTransaction = true;
}

void TDataTable::CommitTransaction(bool ForceFlush, bool ReleaseLocks) {
  if (!FInTransaction) return;
  const bool table_write_lock = FRestrictedTransaction && FDataTableLocks != nullptr;
  // Out of the transaction while the buffers are written.
  FInTransaction = false;
  if (!ReleaseLocks) {
    bool took_write = false;
    TReleaseSteps steps;
    steps.Run([&] {
      if (table_write_lock && !FDataTableLocks->LockStates().Contains(lsWriteLocked)) {
        FDataTableLocks->WriteLock(false);
        took_write = true;
      }
      FlushBuffers(false, false, false, false, ForceFlush);
    });
    if (took_write) steps.Run([&] { FDataTableLocks->WriteUnlock(false); });
    FInTransaction = true;
    steps.Finish();
    return;
  }
  if (table_write_lock) {
    try {
      FDataTableLocks->WriteLock(true);
    } catch (...) {
      FInTransaction = true;
      throw;
    }
  }
  TReleaseSteps steps;
  steps.Run([&] { FlushBuffers(true, false, false, false, ForceFlush); });
  if (table_write_lock) steps.Run([&] { FDataTableLocks->WriteUnlock(true); });
  steps.Run([&] { UnlockAll(true); });
  FRestrictedTransaction = false;
  steps.Finish();
}

void TDataTable::RollbackTransaction() {
  if (!FInTransaction) return;
  FInTransaction = false;
  TReleaseSteps steps;
  steps.Run([&] { FreeBuffers(true, true, false); });
  steps.Run([&] { UnlockAll(true); });
  if (FRestrictedTransaction && FDataTableLocks != nullptr) {
    steps.Run([&] { FDataTableLocks->TransUnlock(); });
  }
  FRestrictedTransaction = false;
  steps.Finish();
}

// ---- Lock-file locks

bool TDataTable::ReadLockTable() {
  if (FDataTableLocks == nullptr || FTableLock || !FDataTableLocks->ReadLock()) return false;
  try {
    return PerformChangeDetection();
  } catch (...) {
    FDataTableLocks->ReadUnlock();
    throw;
  }
}

void TDataTable::ReadUnlockTable() {
  if (FDataTableLocks != nullptr && !FTableLock) FDataTableLocks->ReadUnlock();
}

bool TDataTable::WriteLockTable() {
  if (FDataTableLocks == nullptr || FTableLock || !FDataTableLocks->WriteLock(!FInTransaction)) {
    return false;
  }
  try {
    return PerformChangeDetection();
  } catch (...) {
    FDataTableLocks->WriteUnlock(!FInTransaction);
    throw;
  }
}

void TDataTable::WriteUnlockTable() {
  if (FDataTableLocks != nullptr && !FTableLock) FDataTableLocks->WriteUnlock(!FInTransaction);
}

bool TDataTable::ReadLockForCacheMiss(TDataCursor*) { return ReadLockTable(); }

int32_t TDataTable::ReadAheadEstimate(TDataCursor* Cursor, int Direction, int32_t Maximum) {
  // The cursor knows which records its order reads next.
  return Cursor != nullptr ? Cursor->GetReadAheadEstimate(Direction, Maximum) : Maximum;
}

// ---- Record, table and semaphore locks (data file)

bool TDataTable::AcquireDataFileRange(int64_t Offset, int64_t Length) {
  const TDataSession& session = *DataSession();
  return AcquireRange(*FDataFile, Offset, Length, session.LockRetries(), session.LockWait());
}

bool TDataTable::LockRecord(int32_t RecordToLock) {
  if (!Locking()) return false;
  if (FTableLock || FTransactionTableLock) return false;
  if (RecordToLock <= 0 || RecordToLock > DataEngine()->RecordLockRange() ||
      FRecordLocks.TestBit(static_cast<uint32_t>(RecordToLock))) {
    Raise(KURA_RECLOCKFAILED);
  }
  const uint32_t record = static_cast<uint32_t>(RecordToLock);
  bool changed = false;
  if (!FTransactionRecordLocks.TestBit(record)) {
    const bool strict = StrictChangeDetection();
    const TDataSession& session = *DataSession();
    if (!strict) changed = ReadLockTable();
    TLockRegion region = RecordLockByte(*DataEngine(), RecordToLock);
    for (uint32_t failures = 0;
         !FDataFile->LockRegion(region.offset, region.length, true);) {
      // The holder may need the table write lock to finish its change: give the read lock
      // back while waiting.
      ReadUnlockTable();
      if (++failures > session.LockRetries()) Raise(KURA_RECLOCKFAILED);
      platform::SleepMilliseconds(session.LockWait());
      if (ReadLockTable()) changed = true;
    }
  }
  FRecordLocks.SetBit(record);
  FTransactionRecordLocks.ClearBit(record);
  return changed;
}

void TDataTable::UnlockRecord(int32_t RecordToUnlock) {
  if (!Locking() || FTableLock) return;
  const uint32_t record = static_cast<uint32_t>(RecordToUnlock);
  if (RecordToUnlock <= 0 ||
      (!FRecordLocks.TestBit(record) && !FTransactionRecordLocks.TestBit(record))) {
    Raise(KURA_UNLOCKFAILED);
  }
  FRecordLocks.ClearBit(record);
  if (FInTransaction) {
    FTransactionRecordLocks.SetBit(record);
    return;
  }
  FTransactionRecordLocks.ClearBit(record);
  TLockRegion region = RecordLockByte(*DataEngine(), RecordToUnlock);
  if (!FDataFile->LockRegion(region.offset, region.length, false)) Raise(KURA_UNLOCKFAILED);
}

bool TDataTable::LockTable() {
  if (!Locking()) return false;
  if (FTableLock || FRecordLocks.Count() > 0 || FTransactionRecordLocks.Count() > 0) {
    Raise(KURA_LOCKED);
  }
  TLockRegion region = TableLockRegion(*DataEngine());
  bool took = false;
  if (!FTransactionTableLock) {
    if (!AcquireDataFileRange(region.offset, region.length)) Raise(KURA_LOCKED);
    took = true;
  }
  bool changed = false;
  if (FDataTableLocks->LockStates().Empty()) {
    try {
      changed = PerformChangeDetection();
    } catch (...) {
      if (took) FDataFile->LockRegion(region.offset, region.length, false);
      throw;
    }
  }
  FTableLock = true;
  return changed;
}

void TDataTable::UnlockTable() {
  if (!Locking()) return;
  if (!FTableLock && !FTransactionTableLock) Raise(KURA_UNLOCKFAILED);
  FTableLock = false;
  if (FInTransaction) {
    FTransactionTableLock = true;
    return;
  }
  FTransactionTableLock = false;
  TLockRegion region = TableLockRegion(*DataEngine());
  if (!FDataFile->LockRegion(region.offset, region.length, false)) Raise(KURA_UNLOCKFAILED);
}

bool TDataTable::LockSemaphore(int32_t SemaphoreToLock) {
  if (SemaphoreToLock <= 0 || SemaphoreToLock > DataEngine()->SemaphoreLockRange()) return false;
  const uint32_t semaphore = static_cast<uint32_t>(SemaphoreToLock);
  // Held already by this object: the OS would refuse it after every retry.
  if (FSemaphoreLocks.TestBit(semaphore)) return false;
  TLockRegion region = SemaphoreLockByte(*DataEngine(), SemaphoreToLock);
  if (!AcquireDataFileRange(region.offset, region.length)) return false;
  FSemaphoreLocks.SetBit(semaphore);
  return true;
}

bool TDataTable::UnlockSemaphore(int32_t SemaphoreToUnlock) {
  if (SemaphoreToUnlock <= 0 || SemaphoreToUnlock > DataEngine()->SemaphoreLockRange()) {
    return false;
  }
  const uint32_t semaphore = static_cast<uint32_t>(SemaphoreToUnlock);
  // Only what this object holds: the OS lock table is shared by every session of the process.
  if (!FSemaphoreLocks.TestBit(semaphore)) return false;
  TLockRegion region = SemaphoreLockByte(*DataEngine(), SemaphoreToUnlock);
  if (!FDataFile->LockRegion(region.offset, region.length, false)) return false;
  FSemaphoreLocks.ClearBit(semaphore);
  return true;
}

void TDataTable::UnlockAll(bool TransactionLocks) {
  TReleaseSteps steps;
  TDataBitmap& records = TransactionLocks ? FTransactionRecordLocks : FRecordLocks;
  for (uint32_t r = records.FindNext(1); r != TDataBitmap::kNotFound;
       r = records.FindNext(r + 1)) {
    steps.Run([&] { UnlockRecord(static_cast<int32_t>(r)); });
  }
  if (TransactionLocks ? FTransactionTableLock : FTableLock) steps.Run([&] { UnlockTable(); });
  steps.Finish();
}

void TDataTable::UnlockAllSemaphores() {
  for (uint32_t s = FSemaphoreLocks.FindNext(1); s != TDataBitmap::kNotFound;
       s = FSemaphoreLocks.FindNext(s + 1)) {
    UnlockSemaphore(static_cast<int32_t>(s));
  }
}

bool TDataTable::RecordIsLocked(int32_t RecordNum) {
  if (RecordNum <= 0) return false;
  const uint32_t record = static_cast<uint32_t>(RecordNum);
  if (FTableLock || FTransactionTableLock || FRecordLocks.TestBit(record) ||
      FTransactionRecordLocks.TestBit(record)) {
    return true;
  }
  if (!Locking() || RecordNum > DataEngine()->RecordLockRange()) return false;
  TLockRegion region = RecordLockByte(*DataEngine(), RecordNum);
  if (!FDataFile->LockRegion(region.offset, region.length, true)) return true;
  FDataFile->LockRegion(region.offset, region.length, false);
  return false;
}

bool TDataTable::TableIsLocked() {
  if (FTableLock || FTransactionTableLock) return true;
  if (!Locking() || FRecordLocks.Count() > 0 || FTransactionRecordLocks.Count() > 0) return false;
  TLockRegion region = TableLockRegion(*DataEngine());
  if (!FDataFile->LockRegion(region.offset, region.length, true)) return true;
  FDataFile->LockRegion(region.offset, region.length, false);
  return false;
}

bool TDataTable::CheckForRecordLock(int32_t RecordNum) const {
  return RecordNum > 0 && FRecordLocks.TestBit(static_cast<uint32_t>(RecordNum));
}

bool TDataTable::CheckForTransactionRecordLock(int32_t RecordNum) const {
  return RecordNum > 0 && FTransactionRecordLocks.TestBit(static_cast<uint32_t>(RecordNum));
}

bool TDataTable::SemaphoreIsLocked(int32_t Semaphore) const {
  return Semaphore > 0 && FSemaphoreLocks.TestBit(static_cast<uint32_t>(Semaphore));
}

// ---- Buffers

bool TDataTable::GetRecord(TDataCursor* DataCursor, int32_t RecordNum, bool ReadAhead,
                           int Direction, TRecord** Record) {
  return FDataFile->GetRecord(DataCursor, RecordNum, ReadAhead, Direction, Record);
}

void TDataTable::PutRecord(TRecord* Record) { FDataFile->PutRecord(Record); }

bool TDataTable::GetPage(TDataCursor* DataCursor, int32_t IndexPos, int32_t PageNum,
                         TPage** Page) {
  return FIndexFile->GetPage(DataCursor, IndexPos, PageNum, Page);
}

void TDataTable::PutPage(TPage* Page) { FIndexFile->PutPage(Page); }

bool TDataTable::FlushBuffers(bool AdjustBuffers, bool ForceDataHeader, bool ForceIndexHeader,
                              bool ForceBlobHeader, bool ForceOSFlush) {
  if (FReadOnly) return false;
  if (FInTransaction) {
    UpdateHeaderStamps(ForceDataHeader, ForceIndexHeader, ForceBlobHeader);
    return false;
  }
  const bool os_flush = ForceOSFlush || ForceBufferFlush();
  bool data_header = false, index_header = false, anything = false;
  if (FDataFile->IsOpen()) {
    bool blocks = FDataFile->FlushBuffers();
    data_header = FDataFile->WriteHeader(ForceDataHeader || blocks);
    bool definitions = FDataFile->WriteFieldDefinitions();
    if (blocks || data_header || definitions) {
      anything = true;
      if (os_flush) FDataFile->Flush();
    }
    if (AdjustBuffers) FDataFile->AdjustBuffers();
  }
  if (FIndexFile->IsOpen()) {
    bool blocks = FIndexFile->FlushBuffers();
    index_header = FIndexFile->WriteHeader(ForceIndexHeader || blocks);
    bool definitions = FIndexFile->WriteIndexDefinitions(false);
    if (blocks || index_header || definitions) {
      anything = true;
      if (os_flush) FIndexFile->Flush();
    }
    if (AdjustBuffers) FIndexFile->AdjustBuffers();
  }
  // Other programs compare only the data header's stamp: it must move with every change.
  if (index_header && !data_header && FDataFile->IsOpen()) {
    FDataFile->WriteHeader(true);
    if (os_flush) FDataFile->Flush();
  }
  return anything;
}

void TDataTable::UpdateHeaderStamps(bool UpdateDataHeader, bool UpdateIndexHeader, bool) {
  if (UpdateDataHeader && FDataFile->IsOpen()) FDataFile->UpdateHeaderStamp();
  if (UpdateIndexHeader && FIndexFile->IsOpen()) FIndexFile->UpdateHeaderStamp();
}

void TDataTable::FreeBuffers(bool AdjustBuffers, bool ReadHeaders, bool ReadIndexes) {
  if (FDataFile->IsOpen()) {
    FDataFile->FreeBuffers();
    if (AdjustBuffers) FDataFile->AdjustBuffers();
    if (ReadHeaders) FDataFile->ReadHeader();
  }
  if (FIndexFile->IsOpen()) {
    FIndexFile->FreeBuffers();
    if (AdjustBuffers) FIndexFile->AdjustBuffers();
    if (ReadHeaders) FIndexFile->ReadHeader();
    if (ReadIndexes) FIndexFile->ReadIndexDefinitions();
  }
}

void TDataTable::FlushOSBuffers() {
  if (FReadOnly || ForceBufferFlush()) return;
  if (FDataFile->IsOpen()) FDataFile->Flush();
  if (FIndexFile->IsOpen()) FIndexFile->Flush();
}

bool TDataTable::PerformChangeDetection() {
  if (!FDataFile->IsOpen() || !FDataFile->CheckForChanges()) return false;
  FDataFile->FreeBuffers();
  if (FIndexFile->IsOpen()) {
    FIndexFile->ReadHeader();
    FIndexFile->FreeBuffers();
  }
  return true;
}

std::unique_ptr<TRecord> TDataTable::CreateRecord() {
  return std::make_unique<TRecord>(FDataFile.get());
}

std::unique_ptr<TPage> TDataTable::CreatePage(int32_t IndexPos) {
  auto page = std::make_unique<TPage>(FIndexFile.get());
  page->Initialize(IndexPos);
  return page;
}

// ---- Passwords

bool TDataTable::AskForPassword() { return DataSession()->AskForPassword(); }

void TDataTable::VerifyDigest(const uint8_t Digest[16]) {
  TDataSession& session = *DataSession();
  for (;;) {
    if (TDataPassword* password = session.FindPasswordForDigest(Digest)) {
      auto copy = std::make_unique<TDataPassword>(DataEngine(), &session);
      copy->Copy(*password);
      FDataPassword = std::move(copy);
      return;
    }
    // Asking again only makes sense when the hook gave the session something new to try.
    uint32_t revision = session.PasswordRevision();
    if (!AskForPassword() || session.PasswordRevision() == revision) {
      Raise(KURA_NOTSUFFTABLERIGHTS);
    }
  }
}

void TDataTable::GetDigestForPassword(const AnsiString& Value, uint8_t CheckValue[16]) {
  TDataSession& session = *DataSession();
  for (;;) {
    if (TDataPassword* password = session.GetDataPassword(Value)) {
      auto copy = std::make_unique<TDataPassword>(DataEngine(), &session);
      copy->Copy(*password);
      FDataPassword = std::move(copy);
      FDataPassword->GetCheckValue(CheckValue);
      return;
    }
    uint32_t revision = session.PasswordRevision();
    if (!AskForPassword() || session.PasswordRevision() == revision) {
      Raise(KURA_NOTSUFFTABLERIGHTS);
    }
  }
}

bool TDataTable::IsEncrypted() const { return FDataFile->IsOpen() && FDataFile->Encrypted(); }

void TDataTable::Encrypt(uint8_t* Buffer, size_t Size) {
  // Nothing of an encrypted table is ever written or read without its key.
  if (!FDataPassword) Raise(KURA_NOTSUFFTABLERIGHTS);
  FDataPassword->Encrypt(Buffer, Size);
}

void TDataTable::Decrypt(uint8_t* Buffer, size_t Size) {
  if (!FDataPassword) Raise(KURA_NOTSUFFTABLERIGHTS);
  FDataPassword->Decrypt(Buffer, Size);
}

}  // namespace kura
