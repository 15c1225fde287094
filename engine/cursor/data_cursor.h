// TDataCursor: one user's view of one table: its own position, active index and range, and its
// own copies of the field definitions, laid over the TDataTable that every cursor of the same
// directory object shares.
//
// Life cycle. Created closed and registered with its directory; SetTableName (and the modes
// Exclusive, ReadOnly) only while closed; OpenCursor borrows the shared table from the directory
// and leaves the cursor before the first record of the primary index (physical order for a
// source-table cursor); CloseCursor gives the table back. A failing open leaves the cursor
// closed and the table's use count as it was. The destructor closes (errors swallowed) and
// unregisters.
//
// Position. With an index the position is a private copy of the current leaf page
// (FCurrentPage), the slot of the current key in it (FCurKeyCounter), the key's rank in the index
// (FSequenceNumber) and the flags FBOF/FEOF:
//   neither       on a record
//   FBOF only     before the first record (the copy holds the first visible key)
//   FEOF only     after the last record (the copy holds the last visible key)
//   both          empty: no visible record
// Without an index (position 255, physical order) it is the slot number FCurRecordNumber and the
// flags; every slot of the data file is visible then, deleted ones included. The ends of the
// order are results, not errors: KURA_BOF, KURA_EOF and KURA_NOCURRREC come back as return
// values with the caller's buffer zero-filled.
//
// Other programs' changes. Every read operation starts by comparing the table's update stamps
// with the cursor's copy and repositions by the key of its current record image when they
// differ; with the session's strict change detection it holds the table read lock for its whole
// length instead. A read that misses the cache takes the table read lock itself; when that finds
// a foreign change the caches are dropped and the operation starts again on fresh pages, so that
// it never combines pages of two states of the table. Every lock an operation takes is released
// when it ends, on every path. Exclusive and marked-read-only cursors never lock and never see
// foreign changes.
//
// Ownership: the cursor owns its record images, its page copy and its field definitions; it
// borrows the table (the directory owns it) and the directory, which must outlive the cursor.
// Operations that need an open cursor raise KURA_NOCURRREC on a closed one; the properties of a
// closed cursor are zero or empty. One thread at a time; nothing here guards concurrent calls on
// one cursor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ansi_string.h"
#include "engine/core/error_context.h"
#include "engine/core/locale_char_map.h"
#include "engine/cursor/filter_bitmap.h"
#include "engine/cursor/index_tree.h"
#include "engine/cursor/index_walker.h"
#include "engine/format/field_definition.h"
#include "engine/format/index_definition.h"
#include "engine/format/index_key.h"
#include "engine/safe_object.h"

namespace kura {

class TDataDirectory;
class TDataEngine;
class TDataFile;
class TDataTable;
class TPage;
class TRecord;

// Key field numbers and per-field descending flags of an index (entry i - 1 is key field i).
using TKeyFields = std::array<uint16_t, kMaxKeyFields>;
using TDescendingKeyFields = std::array<bool, kMaxKeyFields>;

// `FIndexPos` while OpenCursor has not selected an index yet.
constexpr uint8_t kIndexNotSelected = 128;

// The range key buffers hold one key of at most this many bytes.
constexpr size_t kRangeBufferSize = kMaxKeySize;

class TDataCursor : public TSafeObject {
 public:
  // A closed cursor registered with `Owner`.
  explicit TDataCursor(TDataDirectory* Owner, bool NoRemoteCall = true);
  ~TDataCursor() override;

  // Closes the cursor (CloseCursor(true)) and forgets everything it set up.
  void Reset();

  // ---- Names and modes (only while closed: KURA_TABLEOPEN otherwise)

  // Keeps the part after the last "\" or ":", without a trailing data extension (any case),
  // cut to 60 characters.
  void SetTableName(const AnsiString& Value);
  void SetErrorTableName(const AnsiString& Value);
  const AnsiString& TableName() const { return FTableName; }
  const AnsiString& ErrorTableName() const { return FErrorTableName; }
  // The error table name when set, else the table name.
  const AnsiString& ProperTableName() const;
  AnsiString ProperDataDirectoryName() const;

  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool Value);
  // Read-only as asked for, or forced on by a read-only table.
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool MarkedReadOnly() const { return FMarkedReadOnly; }
  // Roles of internal opens (SQL result sets, source tables, temporary and system opens) and of
  // maintenance; an ordinary table cursor has all of them off.
  void SetResultSet(bool Value) { FResultSet = Value; }
  void SetSourceTable(bool Value) { FSourceTable = Value; }
  void SetTemporary(bool Value) { FTemporary = Value; }
  void SetSystemOpen(bool Value) { FSystemOpen = Value; }
  void SetRepairing(bool Value) { FRepairing = Value; }
  void SetAlteringStructure(bool Value) { FAlteringStructure = Value; }
  bool NoCursorChangeDetection() const { return FNoCursorChangeDetection; }
  void SetNoCursorChangeDetection(bool Value) { FNoCursorChangeDetection = Value; }

  // ---- Open and close

  // Opens on TableName(); nothing when open. InitializeOnly serves opens whose table the SQL
  // engine attaches itself; there is none here, so every open asks the directory. Raises the
  // table's open errors, KURA_OSEACCES for an exclusive conflict, and whatever the index rebuild
  // of a table with a missing index file raises; the cursor is then closed again.
  void OpenCursor(bool NoRemoteCall = true, bool InitializeOnly = false);
  // Gives the table back; nothing when closed. The cursor is closed afterwards even when the
  // table's close raised (the error then propagates).
  void CloseCursor(bool FreeIfTemporary = true);
  bool IsOpen() const { return FIsOpen; }

  // ---- Index selection

  // Selects the index whose name equals Value without regard to case ("" is the primary index)
  // and keeps the current record current, now in the new order; drops the range. Nothing when
  // that index is active already. KURA_INVALIDINDEXNAME (index and position unchanged) when no
  // index has the name.
  void SetIndexName(const AnsiString& Value);
  // The same by position: 0 primary, 1..IndexCount secondary, 255 physical order; other
  // positions raise KURA_INVALIDINDEXNAME.
  void SetIndexPos(uint8_t Value);
  const AnsiString& IndexName() const { return FIndexName; }
  uint8_t IndexPos() const { return FIndexPos; }
  bool IsPhysicalNavigation() const { return FIndexPos == kNoIndexPos; }
  uint16_t KeySize() const { return FKeySize; }
  uint8_t KeyFieldCount() const { return FKeyFieldCount; }
  const TKeyFields& KeyFields() const { return FKeyFields; }
  bool KeyUnique() const { return FKeyUnique; }
  bool KeyDescending() const { return FKeyDescending; }
  bool KeyCaseInsensitive() const { return FKeyCaseInsensitive; }
  uint8_t CompressionType() const { return FKeyCompressionType; }
  bool NoKeyStatistics() const { return FNoKeyStatistics; }
  uint8_t IndexCount() const;
  bool AutoPrimaryIndex() const;
  // The table's definition at a position, or nullptr.
  const TIndexDefinition* GetIndexDefinition(uint8_t CurIndexPos) const;

  // Keys of the active index (an index must be active).
  void GetKeyValues(const uint8_t* RecordBuffer, uint8_t* KeyBuffer) const;
  int CompareKeys(const uint8_t* KeyA, const uint8_t* KeyB, size_t Length) const;
  // Overwrite the key bytes from `Length` on so that the key sorts before (Low) or after (High)
  // every key that shares its first `Length` bytes.
  void FillKeyLow(uint8_t* KeyBuffer, size_t Length) const;
  void FillKeyHigh(uint8_t* KeyBuffer, size_t Length) const;
  // The comparison length of the first `FieldCount` key fields.
  size_t KeyLengthOfFields(int FieldCount) const;

  // ---- Change detection

  // Whether the table's update stamps differ from the cursor's copy (never for an exclusive or
  // marked-read-only cursor).
  bool PerformChangeDetection() const;
  void SynchLastUpdateStamps();
  // Takes and releases the table read lock: repositions when anything changed.
  void Refresh();
  // Repositions unconditionally.
  void ForceRefresh();
  // Rereads the current record image (read-ahead in Direction: 0 none, 1 forward, 2 backward).
  void RefreshCurrentRecord(uint8_t Direction);
  // Finds the current record again in the current order.
  void RepositionCurrentRecord();
  // Recomputes the range's sequence numbers (and, with filters, the filter bitmap).
  void RefreshRangeAndFilters();

  // ---- Locks (nothing for exclusive or marked-read-only cursors, semaphores excepted). The
  // table's lock errors propagate. A lock that finds a foreign change repositions the cursor.

  void ReadLockTable();
  void ReadUnlockTable();
  void WriteLockTable();
  void WriteUnlockTable();
  // RecordToLock 0 is the current record.
  void LockRecord(int32_t RecordToLock = 0);
  void UnlockRecord(int32_t RecordToUnlock = 0);
  bool RecordIsLocked();
  bool TableIsLocked();
  void LockTable();
  void UnlockTable();
  bool LockSemaphore(int32_t SemaphoreToLock);
  bool UnlockSemaphore(int32_t SemaphoreToUnlock);

  // ---- Range on the active index

  // Begin and end keys from key buffers (KeysProvided) or built from record buffers. A field
  // count from 1 to KeyFieldCount - 1, or any count on a non-unique index (0 there meaning all
  // key fields), limits the key to those fields: the rest is filled to sort lowest (begin) or
  // highest (end). A null buffer is an all-zero key. Repositions the current record.
  void SetRange(bool KeysProvided, const uint8_t* BeginBuffer, int BeginFieldCount,
                const uint8_t* EndBuffer, int EndFieldCount);
  void ResetRange();
  bool RangeInEffect() const { return FRangeInEffect; }

  // ---- Writing back

  // A shared cursor (or with ForceFlush) writes every dirty buffer and the changed or forced
  // headers; an exclusive one only advances the stamps, keeping its changes in the cache. The
  // cursor then takes the new stamps as its own.
  void FlushBuffers(bool ForceFlush, bool AdjustBuffers, bool ForceDataHeader,
                    bool ForceIndexHeader, bool ForceBlobHeader);
  void FlushOSBuffers();
  void FreeBuffers(bool AdjustBuffers, bool ReadHeaders, bool ReadIndexes);

  // ---- Guards

  void CheckExclusive() const;    // KURA_NEEDEXCLACCESS
  void CheckNotReadOnly() const;  // KURA_OSEACCES
  void CheckNotOpen() const;      // KURA_TABLEOPEN
  void CheckTransaction();
  // Raises ErrorCode with the cursor's names and the message; nothing for 0.
  void CheckError(uint16_t ErrorCode, const AnsiString& ErrorMsg = {}) const;

  // ---- Navigation

  void SetToBegin();
  void SetToEnd();
  // True when RecordNumber() now equals Value; 0 leaves the cursor before the first record,
  // RecordCount() + 1 after the last.
  bool SetToRecordNumber(int32_t Value);
  // Bookmarks are BookmarkSize() bytes: the whole key of the current slot, or the 4-byte slot
  // number in physical order.
  uint16_t BookmarkSize() const;
  void GetBookmark(uint8_t* BookmarkBuffer) const;
  void ClearBookmark(uint8_t* BookmarkBuffer) const;
  int CompareBookmarks(const uint8_t* FirstBuffer, const uint8_t* SecondBuffer) const;
  // Positions on the bookmarked record or, when it is gone, on the next one in order. True with
  // NearSet; otherwise true only when the bookmark of the new position equals the given one.
  bool SetToBookmark(const uint8_t* BookmarkBuffer, bool NearSet,
                     bool SuppressChangeDetection = false);

  // 0, KURA_BOF, KURA_EOF or KURA_NOCURRREC; RecordBuffer (RecordSize() bytes, may be null) gets
  // the record image or zeros. With LockIt (an edit begins) the image is kept as the record
  // before the edit; the pessimistic protocol locks the record; a record that changed since the
  // caller's image was read raises KURA_KEYORRECDELETED (the record is unlocked again).
  uint16_t GetCurrentRecord(uint8_t* RecordBuffer, bool LockIt = false);
  uint16_t GetNextRecord(uint8_t* RecordBuffer);
  uint16_t GetPriorRecord(uint8_t* RecordBuffer);
  // A fresh record with the current record's field values (auto-increment fields left out, BLOB
  // fields left empty); 0 or the code GetCurrentRecord would give.
  uint16_t CloneCurrentRecord(uint8_t* RecordBuffer);

  // 1-based within the range (0 when there is no current key); the number of visible records;
  // the table's live records.
  int32_t RecordNumber() const;
  int32_t RecordCount() const;
  int32_t TotalRecordCount() const;
  int32_t PhysicalRecordNumber() const;
  bool IsBOF() const { return FBOF; }
  bool IsEOF() const { return FEOF; }

  // The number of consecutive record slots a read of the current record in `Direction` (1
  // forward, else backward) should fetch, 1..Maximum (the data file asks on a cache miss).
  int32_t GetReadAheadEstimate(int Direction, int32_t Maximum);

  // ---- Index upkeep of the active index (under the table write lock)

  bool KeyExists(const uint8_t* Key);
  [[noreturn]] void RaiseKeyViolation();
  void InsertIndexKey(const uint8_t* Key, int32_t RecordNumber);
  void DeleteIndexKey(const uint8_t* Key);
  void ChangeIndexKey(const uint8_t* OldKey, const uint8_t* NewKey, int32_t RecordNumber);

  // ---- Table properties

  TDataDirectory* DataDirectory() const { return FDataDirectory; }
  TDataTable* DataTable() const { return FDataTable; }
  TDataEngine* DataEngine() const;
  uint16_t RecordSize() const { return FRecordSize; }
  uint16_t FieldCount() const { return FFieldCount; }
  // The cursor's own field definition at a position 1..FieldCount(), or nullptr.
  const TFieldDefinition* FieldDefinition(uint16_t Position) const;
  int32_t LocaleID() const { return FLocaleID; }
  bool HasValidityChecks() const { return FHasValidityChecks; }
  bool HasDefaultValues() const { return FHasDefaultValues; }
  bool HasAutoIncFields() const { return FHasAutoIncFields; }
  bool HasExpressionFields() const { return FHasExpressionFields; }
  int32_t LastAutoIncID() const;
  const AnsiString& Description() const;
  double LastUpdated() const;
  bool Encrypted() const;
  uint16_t UserMajorVersion() const;
  uint16_t UserMinorVersion() const;
  uint8_t VersionNum() const;
  int32_t IndexPageSize() const;
  int32_t BlobBlockSize() const;
  int32_t TotalReadAheads() const { return FTotalReadAheads; }
  int64_t TotalSizeReadAheads() const { return FTotalSizeReadAheads; }

 private:
  class TReadOperation;
  friend class TReadOperation;

  // Names for errors.
  TErrorContext ErrorNames() const;
  // Low-level page checks name the table itself.
  TErrorContext PageErrorNames() const;
  [[noreturn]] void Raise(uint16_t Code, const TErrorContext& Context) const;
  // KURA_NOCURRREC for an operation on a closed cursor.
  void CheckOpen() const;
  const TDataFile* Header() const;

  // Opening steps.
  void OpenSteps();
  void BuildDefaultFieldMapping();
  void FreeCursorState();
  void RestoreDefaultIndexDefinitions();
  void RebuildPrimaryIndex();

  // Index selection.
  bool IndexFileOpen() const;
  void SelectIndexPos(uint8_t Position);
  void LoadIndexDefinition();
  void ClearIndexDefinition();
  void ChangeIndex(uint8_t Position);
  TIndexWalker Walker();
  // The upkeep of the active index (KURA_INVALIDINDEXNAME in physical order).
  TIndexTree ActiveTree();

  // Change detection as each read operation starts.
  void BeginRead();
  void CheckForTableChanges();
  // Takes the table's stamps, recomputes the range and repositions.
  void Resynchronize();
  // Runs one attempt of an operation's body until no read reported a change; a stale page
  // copy that survives a resynchronisation more than a few times means a damaged index.
  template <typename Body>
  void UntilSettled(Body&& body);
  bool StampsDiffer() const;

  // Position helpers.
  void ResetPosition();
  void ClearRange();
  class TPositionLoan;
  void TakePlace(TIndexPlace&& Place);
  bool HasCurrentSlot() const;
  const uint8_t* CurrentKey() const;
  TKeyBounds RangeBounds() const;
  // Whether a key of the active index lies inside the range (always without one).
  bool InRange(const uint8_t* Key) const;

  // The navigation primitives; false when a read reported a change.
  bool GoFirst();
  bool GoLast();
  bool MoveCursor(int32_t Count);
  bool SeekKey(const uint8_t* Key, bool Nearest, bool KeepEdges, bool* Hit);
  bool RepositionByKey();
  void RepositionPhysical();
  bool RepositionCurrentRecordOnce();
  bool RefreshCurrentRecordOnce(uint8_t Direction);
  bool VerifyCurrentRecord(uint8_t Direction);
  bool RecordVisible() const;
  // Whether the filters accept the current record; the seam where a filter subsystem decides.
  bool FiltersAccept() const { return true; }
  // Recomputes the range's sequence numbers and, with filters in effect, the filter bitmap.
  bool RefreshRange();
  bool SetToRecordNumberOnce(int32_t Value);
  uint16_t PositionResult(uint8_t* RecordBuffer) const;
  void ZeroFill(uint8_t* RecordBuffer) const;

  TDataDirectory* FDataDirectory;
  TDataTable* FDataTable = nullptr;
  int32_t FRemoteID = 0;
  AnsiString FTableName;
  AnsiString FErrorTableName;
  int32_t FLastDataUpdateStamp = 0;
  int32_t FLastIndexUpdateStamp = 0;
  int32_t FLastBlobUpdateStamp = 0;
  bool FIsOpen = false;
  bool FExclusive = false;
  bool FReadOnly = false;
  bool FRequestedReadOnly = false;
  bool FMarkedReadOnly = false;
  bool FResultSet = false;
  bool FSourceTable = false;
  bool FTemporary = false;
  bool FSystemOpen = false;
  bool FCachedUpdates = false;
  bool FRepairing = false;
  bool FAlteringStructure = false;
  bool FSuppressRecordIDs = false;
  bool FSuppressTriggers = false;
  std::unique_ptr<TRecord> FCurrentRecord;
  std::unique_ptr<TRecord> FLastRecord;
  std::unique_ptr<TRecord> FScratchRecord;
  std::unique_ptr<TRecord> FHashRecord;
  int32_t FSequenceNumber = 0;
  std::unique_ptr<TPage> FCurrentPage;
  int32_t FCurKeyCounter = 0;
  uint8_t FCurIndexLevel = 0;
  TIndexLevels FParentPages{};
  TIndexLevels FIndexKeyCounters{};
  int32_t FCurRecordNumber = 0;
  AnsiString FIndexName;
  uint8_t FIndexPos = kIndexNotSelected;
  uint16_t FKeySize = 0;
  uint8_t FKeyFieldCount = 0;
  TKeyFields FKeyFields{};
  uint8_t FKeyCompressionType = 0;
  bool FKeyDescending = false;
  bool FKeyUnique = false;
  bool FKeyCaseInsensitive = false;
  std::array<const TFieldDefinition*, kMaxKeyFields> FKeyFieldDefinitions{};
  TDescendingKeyFields FKeyDescendingFields{};
  bool FNoKeyStatistics = false;
  // The active index's key rules (built when it is selected) and their form for the tree
  // upkeep, which refers to FKeyLayout.
  TIndexKeyLayout FKeyLayout;
  TIndexTreeIndex FTreeIndex;
  bool FEOF = false;
  bool FBOF = false;
  int32_t FBeginSequenceNumber = 0;
  int32_t FEndSequenceNumber = 0;
  int32_t FFilterRecordCount = 0;
  std::vector<uint8_t> FBeginBuffer;
  std::vector<uint8_t> FEndBuffer;
  bool FRangeInEffect = false;
  bool FFiltersInEffect = false;
  TFilterBitmap FFilterBitmap;
  // The cursor's own field definitions; entry i - 1 is position i.
  std::vector<TFieldDefinition> FFieldDefinitions;
  int32_t FLocaleID = 0;
  const TLocaleCharMapArray* FCharMap = nullptr;
  uint16_t FFieldCount = 0;
  uint16_t FRecordSize = 0;
  bool FHasValidityChecks = false;
  bool FHasDefaultValues = false;
  bool FHasExpressionFields = false;
  bool FHasAutoIncFields = false;
  bool FCalculatingFields = false;
  int32_t FRecordsToRead = 1;
  int32_t FTotalReadAheads = 0;
  int64_t FTotalSizeReadAheads = 0;
  // The record a read with read-ahead is fetching (the estimate's starting point).
  int32_t FReadAheadRecord = 0;
  bool FNoCursorChangeDetection = false;
  // Nesting of read operations: only the outermost one releases what they took.
  int FReadDepth = 0;
};

}  // namespace kura
