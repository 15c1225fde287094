// The frame of every cursor read operation (for the cursor's own sources only).
//
// TReadOperation starts an operation (BeginRead: the change check, or the table read lock in
// strict change detection) and ends it by giving back the table read lock that the operation
// took, either up front or on a cache miss, on every path. Operations nest (an index change
// repositions, an open ends with SetToBegin): only the outermost frame releases, and a read lock
// the caller held before the operation began stays held.
//
// UntilSettled runs an attempt of an operation's body until no read in it reported a foreign
// change or a stale page copy, resynchronising the cursor in between. A real change is reported
// at most once per operation (the read lock taken on that miss stays held until the end); a
// stale copy survives one resynchronisation at most, so repeated failures mean a damaged index.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/core/lock_file.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/record.h"

namespace kura {

class TDataCursor::TReadOperation {
 public:
  explicit TReadOperation(TDataCursor* Cursor, bool DoBeginRead = true)
      : FCursor(Cursor), FUncaught(std::uncaught_exceptions()) {
    FCursor->CheckOpen();
    FOutermost = FCursor->FReadDepth++ == 0;
    FHeldBefore = FOutermost && ReadLocked();
    if (!DoBeginRead) return;
    try {
      FCursor->BeginRead();
    } catch (...) {
      Finish();
      throw;
    }
  }
  // Releasing may raise the table's unlock error, unless an error is already on its way.
  ~TReadOperation() noexcept(false) {
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        Finish();
      } catch (const std::exception&) {
      }
    } else {
      Finish();
    }
  }
  TReadOperation(const TReadOperation&) = delete;
  TReadOperation& operator=(const TReadOperation&) = delete;

 private:
  bool ReadLocked() const {
    const TDataTable* table = FCursor->FDataTable;
    return table != nullptr && table->DataTableLocks() != nullptr &&
           table->DataTableLocks()->LockStates().Contains(lsReadLocked);
  }
  void Finish() {
    if (FFinished) return;
    FFinished = true;
    if (FCursor->FReadDepth > 0) --FCursor->FReadDepth;
    if (FOutermost && !FHeldBefore) FCursor->ReadUnlockTable();
  }

  TDataCursor* FCursor;
  int FUncaught;
  bool FOutermost = false;
  bool FHeldBefore = false;
  bool FFinished = false;
};

// Attempts before a body that keeps reporting changes counts as a damaged index.
inline constexpr int kMaxOperationRestarts = 4;

template <typename Body>
void TDataCursor::UntilSettled(Body&& body) {
  // An attempt that failed half-way may have moved: each one starts from where the operation
  // started, found again in the table as it is now.
  const std::vector<uint8_t> image(FCurrentRecord->Data(),
                                   FCurrentRecord->Data() + FCurrentRecord->Size());
  const int32_t image_number = FCurrentRecord->Number();
  const int32_t record_number = FCurRecordNumber;
  const bool bof = FBOF, eof = FEOF;
  for (int attempt = 0;; ++attempt) {
    if (body()) return;
    if (attempt >= kMaxOperationRestarts) Raise(KURA_INDEXCORRUPT, PageErrorNames());
    FCurrentRecord->CopyBuffer(image.data());
    FCurrentRecord->SetNumber(image_number);
    FCurRecordNumber = record_number;
    FBOF = bof;
    FEOF = eof;
    Resynchronize();
  }
}

}  // namespace kura
