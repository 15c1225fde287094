#include "engine/core/lock_file.h"

#include <exception>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/engine_file.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_acquire.h"
#include "engine/core/lock_file_list.h"
#include "engine/core/lock_regions.h"
#include "platform/ansi_text.h"
#include "platform/clock.h"
#include "platform/path.h"

namespace kura {

namespace {

// The lock-file regions are held only for a moment, so their retries are fixed.
constexpr uint32_t kLockFileRetries = 32768;
constexpr uint32_t kLockFileWaitTime = 3;
// Opening an existing lock file: attempts and the pause after a failed one (another program
// may be creating the file and hold it exclusively for a moment).
constexpr int kOpenAttempts = 11;
constexpr uint32_t kOpenRetryWait = 100;
// Longer names cannot be stored in the list.
constexpr size_t kMaxStoredNameLength = 255;

bool Unlock(TEngineFile& file, const TLockRegion& region) {
  return file.LockRegion(region.offset, region.length, false);
}

bool SameTableName(const AnsiString& a, const AnsiString& b) {
  return a.size() == b.size() && platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

}  // namespace

// ---- TDataTableLocks

TDataTableLocks::TDataTableLocks(TDataDirectoryLocks* owner, int32_t table_id,
                                 AnsiString table_name)
    : FDataDirectoryLocks(owner), FTableID(table_id), FTableName(std::move(table_name)) {}

bool TDataTableLocks::Locking() const {
  return !FDataDirectoryLocks->FReadOnly && FDataDirectoryLocks->FLockFile->IsOpen();
}

TEngineFile& TDataTableLocks::File() const { return *FDataDirectoryLocks->FLockFile; }

const TDataEngine& TDataTableLocks::Engine() const { return *FDataDirectoryLocks->FDataEngine; }

void TDataTableLocks::Raise(uint16_t code) const {
  TErrorContext context;
  context.table_name = FTableName;
  context.database_name = FDataDirectoryLocks->ProperDirectoryName();
  FDataDirectoryLocks->FDataEngine->RaiseError(code, context);
}

bool TDataTableLocks::ReadLock() {
  if (!FLockStates.Empty()) return false;
  if (Locking()) {
    uint16_t slot = 0;
    if (!AcquireReadSlot(File(), TableReadBase(Engine(), FTableID), Engine().ReadLockRetries(),
                         Engine().ReadLockWaitTime(), &slot)) {
      Raise(KURA_READLOCK);
    }
    FReadLockSlot = slot;
  }
  FLockStates.Include(lsReadLocked);
  return true;
}

void TDataTableLocks::ReadUnlock() {
  if (!FLockStates.Contains(lsReadLocked)) return;
  FLockStates.Exclude(lsReadLocked);
  if (Locking() && !Unlock(File(), TableReadSlot(Engine(), FTableID, FReadLockSlot))) {
    Raise(KURA_READUNLOCK);
  }
}

bool TDataTableLocks::WriteLock(bool TransLock) {
  if (FLockStates.Contains(lsWriteLocked)) return false;
  const TDataEngine& e = Engine();
  bool took_trans = false;
  if (TransLock && !FLockStates.Contains(lsTransLocked)) {
    TLockRegion trans = TableTransByte(e, FTableID);
    if (Locking() && !AcquireRange(File(), trans.offset, trans.length, e.WriteLockRetries(),
                                   e.WriteLockWaitTime())) {
      Raise(KURA_WRITELOCK);
    }
    FLockStates.Include(lsTransLocked);
    took_trans = true;
  }
  TLockRegion region = TableWriteRegion(e, FTableID);
  if (Locking() && !AcquireRange(File(), region.offset, region.length, e.WriteLockRetries(),
                                 e.WriteLockWaitTime())) {
    // Only a transaction byte taken by this call is given back; one held before stays held.
    if (took_trans) {
      Unlock(File(), TableTransByte(e, FTableID));
      FLockStates.Exclude(lsTransLocked);
    }
    Raise(KURA_WRITELOCK);
  }
  FLockStates.Include(lsWriteLocked);
  return took_trans;
}

void TDataTableLocks::WriteUnlock(bool TransUnlock) {
  if (!FLockStates.Contains(lsWriteLocked)) return;
  const TDataEngine& e = Engine();
  FLockStates.Exclude(lsWriteLocked);
  // Under the directory's transaction-write lock the state stands for that region, which the
  // directory gives back itself.
  bool ok = !Locking() || FDataDirectoryLocks->FTransWriteLocked ||
            Unlock(File(), TableWriteRegion(e, FTableID));
  if (TransUnlock && FLockStates.Contains(lsTransLocked)) {
    FLockStates.Exclude(lsTransLocked);
    if (Locking() && !FDataDirectoryLocks->FTransLocked &&
        !Unlock(File(), TableTransByte(e, FTableID))) {
      ok = false;
    }
  }
  if (!ok) Raise(KURA_WRITEUNLOCK);
}

bool TDataTableLocks::TransLock() {
  if (FLockStates.Contains(lsTransLocked)) return false;
  const TDataEngine& e = Engine();
  TLockRegion trans = TableTransByte(e, FTableID);
  if (Locking() && !AcquireRange(File(), trans.offset, trans.length, e.TransLockRetries(),
                                 e.TransLockWaitTime())) {
    Raise(KURA_TRANSLOCK);
  }
  FLockStates.Include(lsTransLocked);
  return true;
}

void TDataTableLocks::TransUnlock() {
  if (!FLockStates.Contains(lsTransLocked)) return;
  FLockStates.Exclude(lsTransLocked);
  if (Locking() && !FDataDirectoryLocks->FTransLocked &&
      !Unlock(File(), TableTransByte(Engine(), FTableID))) {
    Raise(KURA_TRANSUNLOCK);
  }
}

// ---- TDataDirectoryLocks

TDataDirectoryLocks::TDataDirectoryLocks(TDataEngine* engine, const AnsiString& directory,
                                         bool in_memory)
    : FDataEngine(engine),
      FDirectory(directory),
      FInMemory(in_memory),
      FLockFile(std::make_unique<TEngineFile>(engine)) {
  FLockFile->SetFileName(FDirectory + engine->LockFileName());
  FLockFile->SetHidden(true);
  FLockFile->SetInMemory(in_memory);
}

TDataDirectoryLocks::~TDataDirectoryLocks() {
  ReleaseAllLocks();
  FDataTableLocksList.clear();
  try {
    FLockFile->CloseFile();
  } catch (...) {
    // Nothing can be done about a failing close here; the registry frees the object anyway.
  }
}

AnsiString TDataDirectoryLocks::ProperDirectoryName() const {
  return platform::ExcludeTrailingPathDelimiter(FDirectory);
}

void TDataDirectoryLocks::Raise(uint16_t code, const AnsiString& table_name) const {
  TErrorContext context;
  context.table_name = table_name.empty() ? FLockFile->ProperFileName() : table_name;
  context.database_name = ProperDirectoryName();
  FDataEngine->RaiseError(code, context);
}

TDataTableLocks* TDataDirectoryLocks::Append(const AnsiString& TableName) {
  FDataTableLocksList.push_back(std::make_unique<TDataTableLocks>(
      this, static_cast<int32_t>(FDataTableLocksList.size() + 1), TableName));
  return FDataTableLocksList.back().get();
}

bool TDataDirectoryLocks::CreateLockFile() {
  bool created = false;
  try {
    FLockFile->CreateFile();
    created = true;
    FUpdateCount = 0;
    std::vector<AnsiString> names;
    FDataEngine->GetFileNames(FInMemory, FDirectory + "*" + FDataEngine->DataExtension(), false,
                              false, &names);
    for (const AnsiString& name : names) {
      if (FDataTableLocksList.size() == kMaxLockFileTables) break;
      if (name.size() <= kMaxStoredNameLength) Append(name);
    }
    WriteTableList();
    FLockFile->CloseFile();
    return true;
  } catch (const std::exception&) {
    FDataTableLocksList.clear();
    FUpdateCount = -1;
    FLockFile->CloseFile();
    // A lock file that this call made but could not fill would leave every later opener
    // without a readable list; nobody else can have read it (it was held exclusively).
    if (created) {
      try {
        FLockFile->DeleteFile();
      } catch (const std::exception&) {
      }
    }
    FReadOnly = true;
    return false;
  }
}

void TDataDirectoryLocks::Open() {
  bool filled = false;
  if (!FLockFile->Exists()) filled = CreateLockFile();
  for (int attempt = 0; attempt < kOpenAttempts && FLockFile->Exists(); ++attempt) {
    try {
      FLockFile->OpenFile();
      // A lock file that may not be written cannot carry exclusive locks for this program (the
      // OS grants only shared ones through a read-only handle): the directory is read-only.
      FReadOnly = FLockFile->ReadOnly();
      if (!filled && !FReadOnly) ReadTableListLocked();
      break;
    } catch (const std::exception&) {
      FLockFile->CloseFile();
      platform::SleepMilliseconds(kOpenRetryWait);
    }
  }
  if (!FLockFile->IsOpen()) FReadOnly = true;
}

void TDataDirectoryLocks::ReadTableListLocked() {
  TLockRegion base = LockFileReadSlot(*FDataEngine, 1);
  uint16_t slot = 0;
  if (!AcquireReadSlot(*FLockFile, base.offset, kLockFileRetries, kLockFileWaitTime, &slot)) {
    Raise(KURA_LOCKREADLOCK);
  }
  FLockSlot = slot;
  TLockRegion held = LockFileReadSlot(*FDataEngine, slot);
  try {
    ReadTableList();
  } catch (...) {
    Unlock(*FLockFile, held);
    throw;
  }
  if (!Unlock(*FLockFile, held)) Raise(KURA_LOCKREADUNLOCK);
}

void TDataDirectoryLocks::ReadTableList() {
  TEngineFileLock section(*FLockFile);
  uint8_t field[4];
  FLockFile->Seek(lock_file_offsets::kUpdateCount, 0);
  FLockFile->Read(field, 4, false);
  int32_t count = GetI32(field);
  if (count < 0) Raise(KURA_HEADERCORRUPT);
  if (count == FUpdateCount) return;
  FLockFile->Read(field, 4, false);
  int32_t size = GetI32(field);
  if (size < 4 || size > kMaxLockFileListSize) Raise(KURA_HEADERCORRUPT);
  std::vector<uint8_t> bytes(static_cast<size_t>(size - 4));
  if (!bytes.empty()) FLockFile->Read(bytes.data(), size - 4, false);
  std::vector<AnsiString> names;
  if (!DecodeLockFileList(bytes.data(), bytes.size(), &names)) Raise(KURA_HEADERCORRUPT);
  // Entries are only ever appended: the known ones keep their objects and IDs.
  for (size_t i = FDataTableLocksList.size(); i < names.size(); ++i) Append(names[i]);
  FUpdateCount = count;
}

void TDataDirectoryLocks::WriteTableList() {
  TEngineFileLock section(*FLockFile);
  std::vector<AnsiString> names;
  names.reserve(FDataTableLocksList.size());
  for (const auto& locks : FDataTableLocksList) names.push_back(locks->TableName());
  std::vector<uint8_t> list = EncodeLockFileList(names);
  int32_t count = NextUpdateCount(FUpdateCount < 0 ? 0 : FUpdateCount);
  uint8_t field[4];
  PutI32(field, count);
  FLockFile->Seek(lock_file_offsets::kUpdateCount, 0);
  FLockFile->Write(field, 4);
  FLockFile->Write(list.data(), static_cast<int32_t>(list.size()));
  FLockFile->Flush();
  FUpdateCount = count;
}

int32_t TDataDirectoryLocks::FindDataTable(const AnsiString& TableName) const {
  for (size_t i = 0; i < FDataTableLocksList.size(); ++i) {
    if (SameTableName(FDataTableLocksList[i]->TableName(), TableName)) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

void TDataDirectoryLocks::CheckTableLimit() const {
  if (FDataTableLocksList.size() >= kMaxLockFileTables) Raise(KURA_DATABASEFULL);
}

TDataTableLocks* TDataDirectoryLocks::AddDataTable(const AnsiString& TableName) {
  AnsiString name = TableName.substr(0, kMaxStoredNameLength);
  if (FReadOnly || !FLockFile->IsOpen()) {
    int32_t position = FindDataTable(name);
    if (position >= 0) return FDataTableLocksList[static_cast<size_t>(position)].get();
    CheckTableLimit();
    return Append(name);
  }
  TLockRegion region = LockFileWriteRegion(*FDataEngine);
  if (!AcquireRange(*FLockFile, region.offset, region.length, kLockFileRetries,
                    kLockFileWaitTime)) {
    Raise(KURA_LOCKWRITELOCK, name);
  }
  TDataTableLocks* result = nullptr;
  try {
    ReadTableList();
    int32_t position = FindDataTable(name);
    if (position >= 0) {
      result = FDataTableLocksList[static_cast<size_t>(position)].get();
    } else {
      CheckTableLimit();
      result = Append(name);
      try {
        WriteTableList();
      } catch (...) {
        FDataTableLocksList.pop_back();
        throw;
      }
    }
  } catch (...) {
    Unlock(*FLockFile, region);
    throw;
  }
  if (!Unlock(*FLockFile, region)) Raise(KURA_LOCKWRITEUNLOCK, name);
  return result;
}

void TDataDirectoryLocks::TransLockDataDirectory() {
  if (!FTransLocked) {
    TLockRegion region = DirectoryTransRegion(*FDataEngine);
    if (!FReadOnly && FLockFile->IsOpen() &&
        !AcquireRange(*FLockFile, region.offset, region.length, FDataEngine->TransLockRetries(),
                      FDataEngine->TransLockWaitTime())) {
      Raise(KURA_TRANSLOCK);
    }
    FTransLocked = true;
  }
  for (const auto& locks : FDataTableLocksList) locks->FLockStates.Include(lsTransLocked);
}

void TDataDirectoryLocks::TransUnlockDataDirectory() {
  for (const auto& locks : FDataTableLocksList) locks->FLockStates.Exclude(lsTransLocked);
  if (!FTransLocked) return;
  FTransLocked = false;
  if (!FReadOnly && FLockFile->IsOpen() &&
      !Unlock(*FLockFile, DirectoryTransRegion(*FDataEngine))) {
    Raise(KURA_TRANSUNLOCK);
  }
}

void TDataDirectoryLocks::TransWriteLockDataDirectory() {
  if (!FTransWriteLocked) {
    TLockRegion region = DirectoryTransWriteRegion(*FDataEngine);
    if (!FReadOnly && FLockFile->IsOpen() &&
        !AcquireRange(*FLockFile, region.offset, region.length, FDataEngine->WriteLockRetries(),
                      FDataEngine->WriteLockWaitTime())) {
      Raise(KURA_TRANSLOCK);
    }
    FTransWriteLocked = true;
  }
  for (const auto& locks : FDataTableLocksList) locks->FLockStates.Include(lsWriteLocked);
}

void TDataDirectoryLocks::TransWriteUnlockDataDirectory() {
  for (const auto& locks : FDataTableLocksList) locks->FLockStates.Exclude(lsWriteLocked);
  if (!FTransWriteLocked) return;
  FTransWriteLocked = false;
  if (!FReadOnly && FLockFile->IsOpen() &&
      !Unlock(*FLockFile, DirectoryTransWriteRegion(*FDataEngine))) {
    Raise(KURA_TRANSUNLOCK);
  }
}

void TDataDirectoryLocks::ReleaseAllLocks() noexcept {
  if (FReadOnly || !FLockFile->IsOpen()) return;
  const TDataEngine& e = *FDataEngine;
  for (const auto& locks : FDataTableLocksList) {
    TLockStates states = locks->FLockStates;
    if (states.Contains(lsReadLocked)) {
      Unlock(*FLockFile, TableReadSlot(e, locks->FTableID, locks->FReadLockSlot));
    }
    if (states.Contains(lsWriteLocked) && !FTransWriteLocked) {
      Unlock(*FLockFile, TableWriteRegion(e, locks->FTableID));
    }
    if (states.Contains(lsTransLocked) && !FTransLocked) {
      Unlock(*FLockFile, TableTransByte(e, locks->FTableID));
    }
    locks->FLockStates = TLockStates();
  }
  if (FTransWriteLocked) Unlock(*FLockFile, DirectoryTransWriteRegion(e));
  if (FTransLocked) Unlock(*FLockFile, DirectoryTransRegion(e));
  FTransWriteLocked = false;
  FTransLocked = false;
}

}  // namespace kura
