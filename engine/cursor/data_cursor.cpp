#include "engine/cursor/data_cursor.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_locale.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file.h"
#include "engine/core/table_names.h"
#include "engine/cursor/read_operation.h"
#include "engine/format/data_file.h"
#include "engine/format/index_file.h"
#include "engine/format/index_page.h"
#include "engine/format/record.h"
#include "platform/ansi_text.h"
#include "platform/system_locale.h"

namespace kura {

namespace {

constexpr size_t kOriginLength = 100;

}  // namespace

TDataCursor::TDataCursor(TDataDirectory* Owner, bool)
    : FDataDirectory(Owner),
      FBeginBuffer(kRangeBufferSize, 0),
      FEndBuffer(kRangeBufferSize, 0) {
  FDataDirectory->AddDataCursor(this);
}

TDataCursor::~TDataCursor() {
  FDataDirectory->RemoveDataCursor(this);
  try {
    Reset();
  } catch (const std::exception&) {
    // A cursor being destroyed has nobody to report to; the table is given back regardless.
  }
}

void TDataCursor::Reset() {
  CloseCursor(true);
  FFieldDefinitions.clear();
}

TDataEngine* TDataCursor::DataEngine() const { return FDataDirectory->DataEngine(); }

// ---- Names and errors

const AnsiString& TDataCursor::ProperTableName() const {
  return FErrorTableName.empty() ? FTableName : FErrorTableName;
}

AnsiString TDataCursor::ProperDataDirectoryName() const {
  return FDataDirectory->GetProperDataDirectoryName();
}

TErrorContext TDataCursor::ErrorNames() const {
  TErrorContext context;
  context.table_name = ProperTableName();
  context.database_name = ProperDataDirectoryName();
  return context;
}

TErrorContext TDataCursor::PageErrorNames() const {
  TErrorContext context = ErrorNames();
  context.table_name = FTableName;
  return context;
}

void TDataCursor::Raise(uint16_t Code, const TErrorContext& Context) const {
  DataEngine()->RaiseError(Code, Context);
}

void TDataCursor::SetTableName(const AnsiString& Value) {
  CheckNotOpen();
  if (Value != FTableName) FTableName = NormalizeTableName(*DataEngine(), Value);
}

void TDataCursor::SetErrorTableName(const AnsiString& Value) {
  CheckNotOpen();
  if (Value != FErrorTableName) FErrorTableName = NormalizeTableName(*DataEngine(), Value);
}

void TDataCursor::SetExclusive(bool Value) {
  CheckNotOpen();
  FExclusive = Value;
}

void TDataCursor::SetReadOnly(bool Value) {
  CheckNotOpen();
  FRequestedReadOnly = Value;
  FReadOnly = Value;
}

// ---- Guards

void TDataCursor::CheckExclusive() const {
  if (!FExclusive) Raise(KURA_NEEDEXCLACCESS, ErrorNames());
}

void TDataCursor::CheckNotReadOnly() const {
  if (FReadOnly) Raise(KURA_OSEACCES, ErrorNames());
}

void TDataCursor::CheckNotOpen() const {
  if (FIsOpen) Raise(KURA_TABLEOPEN, ErrorNames());
}

void TDataCursor::CheckOpen() const {
  if (!FIsOpen || FDataTable == nullptr) Raise(KURA_NOCURRREC, ErrorNames());
}

void TDataCursor::CheckTransaction() {
  if (FResultSet && !FSourceTable) return;
  FDataDirectory->CheckTransaction();
}

void TDataCursor::CheckError(uint16_t ErrorCode, const AnsiString& ErrorMsg) const {
  if (ErrorCode == 0) return;
  TErrorContext context = ErrorNames();
  context.message = ErrorMsg;
  Raise(ErrorCode, context);
}

// ---- Opening and closing

void TDataCursor::OpenCursor(bool, bool) {
  if (FIsOpen) return;
  FFieldDefinitions.clear();
  FIndexPos = kIndexNotSelected;
  FDataTable = FDataDirectory->OpenDataTable(FTableName, FErrorTableName, FExclusive, FTemporary,
                                             FResultSet, FSourceTable, FSystemOpen,
                                             !(FRepairing || FAlteringStructure));
  FIsOpen = true;
  try {
    OpenSteps();
  } catch (...) {
    try {
      CloseCursor(true);
    } catch (const std::exception&) {
      // The open's own error is the one the caller needs.
    }
    throw;
  }
}

void TDataCursor::OpenSteps() {
  TDataTable& table = *FDataTable;
  FReadOnly = FRequestedReadOnly;
  if (table.ReadOnly()) FReadOnly = true;
  FMarkedReadOnly = table.MarkedReadOnly();
  if (FMarkedReadOnly) FReadOnly = true;

  TDataFile& data = *table.DataFile();
  FLocaleID = data.LocaleID();
  FCharMap = &DataEngine()->GetLocaleCharMap(FLocaleID)->GetCharMap();
  FFieldCount = data.FieldCount();
  FRecordSize = data.RecordLength();
  SynchLastUpdateStamps();
  BuildDefaultFieldMapping();

  FCurrentRecord = table.CreateRecord();
  FLastRecord = table.CreateRecord();
  FScratchRecord = table.CreateRecord();
  FHashRecord = table.CreateRecord();
  FCurrentPage = table.CreatePage(kIndexNotSelected);
  FCurKeyCounter = 1;
  FSequenceNumber = 1;
  FBeginSequenceNumber = 1;
  FEndSequenceNumber = data.RecordCount();
  std::fill(FBeginBuffer.begin(), FBeginBuffer.end(), 0);
  std::fill(FEndBuffer.begin(), FEndBuffer.end(), 0);
  FRangeInEffect = false;
  FFiltersInEffect = false;
  FFilterRecordCount = 0;
  FBOF = false;
  FEOF = false;

  // A table opened read-only whose index file is missing has nothing to rebuild into: it is
  // read in physical order.
  const bool index_available = table.IndexFile()->IsOpen();
  // The index file was made anew when the table opened; the first cursor on the table rebuilds
  // the primary index, which then is the automatic one, and cursors opened later find it.
  if (table.MissingIndex() && index_available &&
      !IsAutoPrimaryIndex(*table.IndexFile()->GetIndexDefinition(kPrimaryIndexPos))) {
    RestoreDefaultIndexDefinitions();
    FEndSequenceNumber = data.RecordCount();
  }
  if (FRepairing) return;
  SelectIndexPos(FSourceTable || !index_available ? kNoIndexPos : kPrimaryIndexPos);
  RefreshRangeAndFilters();
  SetToBegin();
}

void TDataCursor::BuildDefaultFieldMapping() {
  FHasAutoIncFields = false;
  FHasValidityChecks = false;
  FHasDefaultValues = false;
  FHasExpressionFields = false;
  const std::vector<TFieldDefinition>& physical = FDataTable->DataFile()->FieldDefinitions();
  FFieldDefinitions.assign(physical.begin(), physical.end());
  const bool origins = !FResultSet;
  const AnsiString database_origin =
      DataEngine()->IsServer() ? FDataDirectory->Name() : FDataDirectory->Directory();
  for (TFieldDefinition& field : FFieldDefinitions) {
    if (field.DataType == dtInteger && field.SubType == fsAutoInc) FHasAutoIncFields = true;
    if (field.Required || !field.Minimum.empty() || !field.Maximum.empty()) {
      FHasValidityChecks = true;
    }
    if (!field.Default.empty()) FHasDefaultValues = true;
    if (origins) {
      field.FieldOrigin = platform::CutAnsi(FTableName + "." + field.FieldName, kOriginLength);
      field.OriginFieldNum = field.FieldNum;
      field.FieldDatabaseOrigin = platform::CutAnsi(database_origin, kOriginLength);
    }
  }
}

void TDataCursor::CloseCursor(bool FreeIfTemporary) {
  if (!FIsOpen) return;
  std::exception_ptr error;
  if (FDataTable != nullptr) {
    // Whatever the table meets while it is given back, the cursor ends closed.
    try {
      FDataDirectory->CloseDataTable(FDataTable, FreeIfTemporary, FResultSet, FSourceTable,
                                     FSystemOpen);
    } catch (...) {
      error = std::current_exception();
    }
  }
  FDataTable = nullptr;
  FreeCursorState();
  if (error) std::rethrow_exception(error);
}

void TDataCursor::FreeCursorState() {
  FFiltersInEffect = false;
  FFilterBitmap.Clear();
  FRangeInEffect = false;
  std::fill(FBeginBuffer.begin(), FBeginBuffer.end(), 0);
  std::fill(FEndBuffer.begin(), FEndBuffer.end(), 0);
  FCurrentRecord.reset();
  FLastRecord.reset();
  FScratchRecord.reset();
  FHashRecord.reset();
  FCurrentPage.reset();
  FCurKeyCounter = 0;
  FSequenceNumber = 0;
  FBeginSequenceNumber = 0;
  FEndSequenceNumber = 0;
  FFilterRecordCount = 0;
  FCurRecordNumber = 0;
  FBOF = false;
  FEOF = false;
  ClearIndexDefinition();
  FIndexPos = kIndexNotSelected;
  FLocaleID = 0;
  FCharMap = nullptr;
  FFieldDefinitions.clear();
  FFieldCount = 0;
  FRecordSize = 0;
  FHasValidityChecks = false;
  FHasDefaultValues = false;
  FHasExpressionFields = false;
  FHasAutoIncFields = false;
  FReadDepth = 0;
  FIsOpen = false;
}

// ---- The index of a table whose index file was missing

void TDataCursor::RestoreDefaultIndexDefinitions() {
  TDataTable& table = *FDataTable;
  TIndexFile& index = *table.IndexFile();
  // Another program's change found by the lock only drops caches the rebuild does not need.
  table.WriteLockTable();
  std::exception_ptr error;
  try {
    index.SetIndexCount(0);
    index.SetIndexDefinition(kPrimaryIndexPos, AutoPrimaryIndexDefinition());
    RebuildPrimaryIndex();
    index.SetIndexDefinition(kTextIndexPos, TextIndexDefinition({}));
  } catch (...) {
    error = std::current_exception();
  }
  try {
    table.WriteUnlockTable();
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  try {
    FlushBuffers(true, false, false, true, false);
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  if (error) std::rethrow_exception(error);
}

void TDataCursor::RebuildPrimaryIndex() {
  TDataFile& data = *FDataTable->DataFile();
  data.SetRecordCount(0);
  SelectIndexPos(kNoIndexPos);
  std::vector<uint8_t> key;
  const int32_t slots = data.IOBlocksUsed();
  FFilterBitmap.SetAll(slots);  // the read-ahead of the scan runs over every slot
  for (int32_t slot = 1; slot <= slots; ++slot) {
    FCurRecordNumber = slot;
    FReadAheadRecord = slot;
    TRecord* record = nullptr;
    // Under the write lock no read reports a foreign change.
    if (!FDataTable->GetRecord(this, slot, true, 1, &record)) Raise(KURA_READERR, ErrorNames());
    FCurrentRecord->CopyBuffer(record->Data());
    FDataTable->PutRecord(record);
    if (FCurrentRecord->Status() == kRecordDeleted) continue;
    SelectIndexPos(kPrimaryIndexPos);
    data.IncRecordCount();
    key.assign(FKeySize, 0);
    GetKeyValues(FCurrentRecord->Data(), key.data());
    InsertIndexKey(key.data(), slot);
    SelectIndexPos(kNoIndexPos);
  }
  FCurRecordNumber = 0;
  std::fill(FCurrentRecord->Data(), FCurrentRecord->Data() + FRecordSize, 0);
}

// ---- Index selection

// A table opened without its index file (read-only, the file missing) has no index at all.
bool TDataCursor::IndexFileOpen() const {
  return FDataTable != nullptr && FDataTable->IndexFile()->IsOpen();
}

uint8_t TDataCursor::IndexCount() const {
  return IndexFileOpen() ? FDataTable->IndexFile()->IndexCount() : 0;
}

bool TDataCursor::AutoPrimaryIndex() const {
  return IndexFileOpen() && FDataTable->IndexFile()->AutoPrimaryIndex();
}

const TIndexDefinition* TDataCursor::GetIndexDefinition(uint8_t CurIndexPos) const {
  return IndexFileOpen() ? FDataTable->IndexFile()->GetIndexDefinition(CurIndexPos) : nullptr;
}

void TDataCursor::SelectIndexPos(uint8_t Position) {
  if (Position == FIndexPos) return;
  FIndexPos = Position;
  LoadIndexDefinition();
  // Physical order always runs through the visibility bitmap; no filter subsystem yet, so an
  // index runs without one.
  FFiltersInEffect = Position == kNoIndexPos;
}

void TDataCursor::ClearIndexDefinition() {
  FIndexName.clear();
  FKeySize = 0;
  FKeyFieldCount = 0;
  FKeyFields.fill(0);
  FKeyDescending = false;
  FKeyDescendingFields.fill(false);
  FKeyCaseInsensitive = false;
  FKeyUnique = false;
  FKeyCompressionType = 0;
  FNoKeyStatistics = false;
  FKeyFieldDefinitions.fill(nullptr);
  FKeyLayout = TIndexKeyLayout();
  FTreeIndex = TIndexTreeIndex();
}

void TDataCursor::LoadIndexDefinition() {
  ClearIndexDefinition();
  if (FIndexPos == kNoIndexPos || FIndexPos == kIndexNotSelected) return;
  const TIndexDefinition* definition = GetIndexDefinition(FIndexPos);
  if (definition == nullptr) Raise(KURA_INVALIDINDEXNAME, ErrorNames());
  TDataFile& data = *FDataTable->DataFile();
  TKeyLayoutError error =
      TIndexKeyLayout::Build(*definition, FIndexPos, data.RecordFormat(), &FKeyLayout);
  // A definition the layout refuses, or whose stored key size is not the one its fields give,
  // cannot be read without running past its keys.
  if (error.code != 0 || FKeyLayout.KeySize() != definition->KeySize) {
    TErrorContext context = PageErrorNames();
    context.index_name = definition->IndexName;
    FKeyLayout = TIndexKeyLayout();
    Raise(KURA_INDEXCORRUPT, context);
  }
  FIndexName = definition->IndexName;
  FKeySize = definition->KeySize;
  FKeyFieldCount = definition->KeyFieldCount;
  FKeyFields = definition->KeyFields;
  FKeyDescending = definition->KeyDescending;
  FKeyDescendingFields = definition->KeyDescendingFields;
  FKeyCaseInsensitive = definition->KeyCaseInsensitive;
  FKeyUnique = definition->KeyUnique;
  FKeyCompressionType = definition->KeyCompressionType;
  FNoKeyStatistics = definition->NoKeyStatistics;
  for (uint8_t i = 0; i < FKeyFieldCount; ++i) {
    FKeyFieldDefinitions[i] = data.GetFieldDefinitionByNumber(FKeyFields[i]);
  }
  FTreeIndex = IndexTreeIndexOf(FIndexPos, FIndexName, FKeyLayout);
}

void TDataCursor::SetIndexName(const AnsiString& Value) {
  CheckOpen();
  const auto same = [&](const AnsiString& name) {
    return platform::CompareTextUserDefault(name, Value) == 0;
  };
  if (!IsPhysicalNavigation() && FIndexPos != kIndexNotSelected && same(FIndexName)) return;
  const uint8_t count = IndexCount();
  for (uint8_t position = 0; position <= count; ++position) {
    const TIndexDefinition* definition = GetIndexDefinition(position);
    if (definition != nullptr && same(definition->IndexName)) {
      ChangeIndex(position);
      return;
    }
  }
  TErrorContext context = ErrorNames();
  context.index_name = Value;
  Raise(KURA_INVALIDINDEXNAME, context);
}

void TDataCursor::SetIndexPos(uint8_t Value) {
  CheckOpen();
  if (Value == FIndexPos) return;
  if (Value != kNoIndexPos && (Value > IndexCount() || GetIndexDefinition(Value) == nullptr)) {
    TErrorContext context = ErrorNames();
    context.index_name = std::to_string(Value);
    Raise(KURA_INVALIDINDEXNAME, context);
  }
  ChangeIndex(Value);
}

void TDataCursor::ChangeIndex(uint8_t Position) {
  TReadOperation operation(this);
  const uint8_t previous = FIndexPos;
  try {
    SelectIndexPos(Position);
  } catch (...) {
    // A definition that cannot be read leaves the index (and the range) that was active.
    FIndexPos = kIndexNotSelected;
    SelectIndexPos(previous);
    throw;
  }
  ClearRange();
  RefreshRangeAndFilters();
  RepositionCurrentRecord();
}

TIndexWalker TDataCursor::Walker() {
  return TIndexWalker(FDataTable, this, FIndexPos, FKeyLayout, FKeySize, PageErrorNames());
}

void TDataCursor::GetKeyValues(const uint8_t* RecordBuffer, uint8_t* KeyBuffer) const {
  FKeyLayout.GetKeyValues(RecordBuffer, KeyBuffer);
}

int TDataCursor::CompareKeys(const uint8_t* KeyA, const uint8_t* KeyB, size_t Length) const {
  return FKeyLayout.CompareKeys(KeyA, KeyB, Length);
}

// ---- Change detection

bool TDataCursor::StampsDiffer() const {
  const TDataTable& table = *FDataTable;
  return table.DataFile()->LastUpdateStamp() != FLastDataUpdateStamp ||
         (table.IndexFile()->IsOpen() &&
          table.IndexFile()->LastUpdateStamp() != FLastIndexUpdateStamp);
}

bool TDataCursor::PerformChangeDetection() const {
  if (!FIsOpen || FExclusive || FMarkedReadOnly) return false;
  return StampsDiffer();
}

void TDataCursor::SynchLastUpdateStamps() {
  if (FDataTable == nullptr) return;
  FLastDataUpdateStamp = FDataTable->DataFile()->LastUpdateStamp();
  FLastIndexUpdateStamp =
      FDataTable->IndexFile()->IsOpen() ? FDataTable->IndexFile()->LastUpdateStamp() : 0;
  FLastBlobUpdateStamp = 0;  // tables keep no BLOB file yet
}

void TDataCursor::CheckForTableChanges() {
  if (FNoCursorChangeDetection || !PerformChangeDetection()) return;
  Resynchronize();
}

void TDataCursor::BeginRead() {
  if (FDataTable->StrictChangeDetection()) {
    ReadLockTable();
  } else {
    CheckForTableChanges();
  }
}

void TDataCursor::Resynchronize() {
  // Not through UntilSettled, which resynchronises between its attempts.
  for (int attempt = 0;; ++attempt) {
    SynchLastUpdateStamps();
    if (RefreshRange() && RepositionCurrentRecordOnce()) return;
    if (attempt >= kMaxOperationRestarts) Raise(KURA_INDEXCORRUPT, PageErrorNames());
  }
}

void TDataCursor::Refresh() {
  TReadOperation operation(this, false);
  ReadLockTable();
}

void TDataCursor::ForceRefresh() {
  TReadOperation operation(this, false);
  Resynchronize();
}

void TDataCursor::RefreshRangeAndFilters() {
  TReadOperation operation(this, false);
  UntilSettled([&] { return RefreshRange(); });
}

void TDataCursor::RepositionCurrentRecord() {
  TReadOperation operation(this, false);
  UntilSettled([&] { return RepositionCurrentRecordOnce(); });
}

void TDataCursor::RefreshCurrentRecord(uint8_t Direction) {
  TReadOperation operation(this);
  UntilSettled([&] { return RefreshCurrentRecordOnce(Direction); });
}

// ---- Locks

void TDataCursor::ReadLockTable() {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return;
  if (FDataTable->ReadLockTable() || StampsDiffer()) Resynchronize();
}

void TDataCursor::ReadUnlockTable() {
  if (FExclusive || FMarkedReadOnly || FDataTable == nullptr) return;  // nothing was taken
  FDataTable->ReadUnlockTable();
}

void TDataCursor::WriteLockTable() {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return;
  if (FDataTable->WriteLockTable() || StampsDiffer()) Resynchronize();
}

void TDataCursor::WriteUnlockTable() {
  if (FExclusive || FMarkedReadOnly || FDataTable == nullptr) return;
  FDataTable->WriteUnlockTable();
}

void TDataCursor::LockRecord(int32_t RecordToLock) {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return;
  if (RecordToLock == 0) RecordToLock = PhysicalRecordNumber();
  TReadOperation operation(this, false);
  if (FDataTable->LockRecord(RecordToLock) || StampsDiffer()) Resynchronize();
}

void TDataCursor::UnlockRecord(int32_t RecordToUnlock) {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return;
  if (RecordToUnlock == 0) RecordToUnlock = PhysicalRecordNumber();
  FDataTable->UnlockRecord(RecordToUnlock);
}

bool TDataCursor::RecordIsLocked() {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return false;
  return FDataTable->RecordIsLocked(PhysicalRecordNumber());
}

bool TDataCursor::TableIsLocked() {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return false;
  return FDataTable->TableIsLocked();
}

void TDataCursor::LockTable() {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return;
  TReadOperation operation(this, false);
  if (FDataTable->LockTable() || StampsDiffer()) Resynchronize();
}

void TDataCursor::UnlockTable() {
  CheckOpen();
  if (FExclusive || FMarkedReadOnly) return;
  FDataTable->UnlockTable();
}

bool TDataCursor::LockSemaphore(int32_t SemaphoreToLock) {
  CheckOpen();
  return FDataTable->LockSemaphore(SemaphoreToLock);
}

bool TDataCursor::UnlockSemaphore(int32_t SemaphoreToUnlock) {
  CheckOpen();
  return FDataTable->UnlockSemaphore(SemaphoreToUnlock);
}

// ---- Writing back

void TDataCursor::FlushBuffers(bool ForceFlush, bool AdjustBuffers, bool ForceDataHeader,
                               bool ForceIndexHeader, bool ForceBlobHeader) {
  CheckOpen();
  if (ForceFlush || !FExclusive) {
    FDataTable->FlushBuffers(AdjustBuffers, ForceDataHeader, ForceIndexHeader, ForceBlobHeader,
                             false);
  } else {
    FDataTable->UpdateHeaderStamps(ForceDataHeader, ForceIndexHeader, ForceBlobHeader);
  }
  // The cursor's own write is no foreign change.
  SynchLastUpdateStamps();
}

void TDataCursor::FlushOSBuffers() {
  CheckOpen();
  FDataTable->FlushOSBuffers();
}

void TDataCursor::FreeBuffers(bool AdjustBuffers, bool ReadHeaders, bool ReadIndexes) {
  CheckOpen();
  FDataTable->FreeBuffers(AdjustBuffers, ReadHeaders, ReadIndexes);
}

// ---- Index upkeep

TIndexTree TDataCursor::ActiveTree() {
  CheckOpen();
  // Physical order has no tree to keep.
  if (FIndexPos == kNoIndexPos || FIndexPos == kIndexNotSelected) {
    Raise(KURA_INVALIDINDEXNAME, ErrorNames());
  }
  return TIndexTree(FDataTable, this, FTreeIndex,
                    TIndexDescentPath{&FParentPages, &FIndexKeyCounters, &FCurIndexLevel});
}

bool TDataCursor::KeyExists(const uint8_t* Key) { return ActiveTree().KeyExists(Key); }

void TDataCursor::RaiseKeyViolation() { ActiveTree().RaiseKeyViolation(); }

void TDataCursor::InsertIndexKey(const uint8_t* Key, int32_t Number) {
  ActiveTree().InsertIndexKey(Key, Number);
}

void TDataCursor::DeleteIndexKey(const uint8_t* Key) { ActiveTree().DeleteIndexKey(Key); }

void TDataCursor::ChangeIndexKey(const uint8_t* OldKey, const uint8_t* NewKey, int32_t Number) {
  ActiveTree().ChangeIndexKey(OldKey, NewKey, Number);
}

// ---- Table properties

const TFieldDefinition* TDataCursor::FieldDefinition(uint16_t Position) const {
  return Position >= 1 && Position <= FFieldDefinitions.size() ? &FFieldDefinitions[Position - 1]
                                                               : nullptr;
}

// The header values of a closed cursor are those of an empty header.
const TDataFile* TDataCursor::Header() const {
  static const TDataFile* const kNone = nullptr;
  return FDataTable != nullptr ? FDataTable->DataFile() : kNone;
}

int32_t TDataCursor::LastAutoIncID() const { return Header() ? Header()->LastAutoIncID() : 0; }

const AnsiString& TDataCursor::Description() const {
  static const AnsiString kEmpty;
  return Header() ? Header()->Description() : kEmpty;
}

double TDataCursor::LastUpdated() const { return Header() ? Header()->LastUpdated() : 0; }

bool TDataCursor::Encrypted() const { return Header() && Header()->Encrypted(); }

uint16_t TDataCursor::UserMajorVersion() const {
  return Header() ? Header()->UserMajorVersion() : 0;
}

uint16_t TDataCursor::UserMinorVersion() const {
  return Header() ? Header()->UserMinorVersion() : 0;
}

uint8_t TDataCursor::VersionNum() const { return Header() ? Header()->VersionNum() : 0; }

int32_t TDataCursor::IndexPageSize() const { return Header() ? Header()->IndexPageSize() : 0; }

int32_t TDataCursor::BlobBlockSize() const { return Header() ? Header()->BlobBlockSize() : 0; }

}  // namespace kura
