// TDataCursor: the position, its moves and the record reads (see data_cursor.h).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/error_codes.h"
#include "engine/cursor/data_cursor.h"
#include "engine/cursor/read_operation.h"
#include "engine/format/data_file.h"
#include "engine/format/field_codec.h"
#include "engine/format/index_file.h"
#include "engine/format/index_page.h"
#include "engine/format/record.h"

namespace kura {

// Lends the cursor's index position to the walker for one move and takes it back on every path.
class TDataCursor::TPositionLoan {
 public:
  explicit TPositionLoan(TDataCursor* Cursor) : FCursor(Cursor) {
    Place.page = std::move(Cursor->FCurrentPage);
    Place.slot = Cursor->FCurKeyCounter;
    Place.sequence = Cursor->FSequenceNumber;
  }
  ~TPositionLoan() {
    FCursor->FCurrentPage = std::move(Place.page);
    FCursor->FCurKeyCounter = Place.slot;
    FCursor->FSequenceNumber = Place.sequence;
  }
  TPositionLoan(const TPositionLoan&) = delete;
  TPositionLoan& operator=(const TPositionLoan&) = delete;

  TIndexPlace Place;

 private:
  TDataCursor* FCursor;
};

namespace {

// A record taken from the table's cache, given back on every path.
class THeldRecord {
 public:
  explicit THeldRecord(TDataTable* Table) : FTable(Table) {}
  ~THeldRecord() {
    if (FRecord != nullptr) FTable->PutRecord(FRecord);
  }
  THeldRecord(const THeldRecord&) = delete;
  THeldRecord& operator=(const THeldRecord&) = delete;
  TRecord** Receive() { return &FRecord; }
  TRecord* get() const { return FRecord; }

 private:
  TDataTable* FTable;
  TRecord* FRecord = nullptr;
};

}  // namespace

// ---- Position helpers

void TDataCursor::ResetPosition() {
  FSequenceNumber = 0;
  FBeginSequenceNumber = 0;
  FEndSequenceNumber = 0;
  FFilterRecordCount = 0;
  if (FCurrentPage != nullptr) {
    FCurrentPage->Initialize(FIndexPos);
    FCurrentPage->SetNumber(0);
  }
  FCurKeyCounter = 0;
  FCurRecordNumber = 0;
  FBOF = true;
  FEOF = true;
}

void TDataCursor::TakePlace(TIndexPlace&& Place) {
  if (Place.page != nullptr) FCurrentPage = std::move(Place.page);
  FCurKeyCounter = Place.slot;
  FSequenceNumber = Place.sequence;
}

bool TDataCursor::HasCurrentSlot() const {
  return FCurrentPage != nullptr && FCurKeyCounter >= 1 &&
         FCurKeyCounter <= FCurrentPage->NumberOfKeys();
}

const uint8_t* TDataCursor::CurrentKey() const {
  return HasCurrentSlot() ? FCurrentPage->GetKey(FCurKeyCounter) : nullptr;
}

TKeyBounds TDataCursor::RangeBounds() const {
  if (!FRangeInEffect) return {};
  return {FBeginBuffer.data(), FEndBuffer.data()};
}

bool TDataCursor::InRange(const uint8_t* Key) const {
  return !FRangeInEffect || (CompareKeys(Key, FBeginBuffer.data(), FKeySize) >= 0 &&
                             CompareKeys(Key, FEndBuffer.data(), FKeySize) <= 0);
}

// ---- Counts and numbers

int32_t TDataCursor::RecordCount() const {
  if (!FIsOpen) return 0;
  if (FFiltersInEffect) return FFilterRecordCount;
  if (FBeginSequenceNumber > 0 && FEndSequenceNumber > 0) {
    return std::max(FEndSequenceNumber - FBeginSequenceNumber + 1, 0);
  }
  return 0;
}

int32_t TDataCursor::TotalRecordCount() const {
  return FDataTable != nullptr ? FDataTable->DataFile()->RecordCount() : 0;
}

int32_t TDataCursor::RecordNumber() const {
  if (RecordCount() == 0) return 0;
  // In physical order the number is the slot's place among the visible slots.
  if (IsPhysicalNavigation()) return FBOF && FEOF ? 0 : FFilterBitmap.Rank(FCurRecordNumber);
  return FSequenceNumber > 0 ? FSequenceNumber - FBeginSequenceNumber + 1 : 0;
}

int32_t TDataCursor::PhysicalRecordNumber() const {
  if (RecordCount() == 0) return 0;
  if (IsPhysicalNavigation()) return FCurRecordNumber;
  return HasCurrentSlot() ? FCurrentPage->GetRecordNumber(FCurKeyCounter) : 0;
}

// ---- First, last, moves

bool TDataCursor::GoFirst() {
  if (RecordCount() == 0) {
    ResetPosition();
    return true;
  }
  if (IsPhysicalNavigation()) {
    FBOF = FEOF = false;
    FSequenceNumber = 0;
    FCurRecordNumber = FFilterBitmap.FindNext(1);
    if (FCurRecordNumber == TFilterBitmap::kNotFound) ResetPosition();
    return true;
  }
  TIndexWalker walker = Walker();
  TIndexPlace place;
  TWalkResult result;
  if (!FRangeInEffect) {
    result = walker.First(&place);
  } else {
    bool exact = false, past_end = false;
    result = walker.LowerBound(FBeginBuffer.data(), &place, &exact, &past_end);
    if (result == wrFound && (past_end || !InRange(place.Key()))) result = wrNone;
  }
  if (result == wrChanged) return false;
  if (result == wrNone) {
    ResetPosition();
    return true;
  }
  TakePlace(std::move(place));
  FBOF = FEOF = false;
  return true;
}

bool TDataCursor::GoLast() {
  if (RecordCount() == 0) {
    ResetPosition();
    return true;
  }
  if (IsPhysicalNavigation()) {
    FBOF = FEOF = false;
    FSequenceNumber = 0;
    FCurRecordNumber = FFilterBitmap.Last();
    if (FCurRecordNumber == TFilterBitmap::kNotFound) ResetPosition();
    return true;
  }
  TIndexWalker walker = Walker();
  TIndexPlace place;
  TWalkResult result;
  if (!FRangeInEffect) {
    result = walker.Last(&place);
  } else {
    result = walker.LastNotAbove(FEndBuffer.data(), &place);
    if (result == wrFound && !InRange(place.Key())) result = wrNone;
  }
  if (result == wrChanged) return false;
  if (result == wrNone) {
    ResetPosition();
    return true;
  }
  TakePlace(std::move(place));
  FBOF = FEOF = false;
  return true;
}

bool TDataCursor::MoveCursor(int32_t Count) {
  if (Count == 0) return true;
  const bool forward = Count > 0;
  const int64_t steps = std::llabs(static_cast<int64_t>(Count));
  if (RecordCount() == 0) {
    ResetPosition();
    return true;
  }
  if (IsPhysicalNavigation()) {
    int32_t slot =
        FFilterBitmap.Advance(FCurRecordNumber, static_cast<int32_t>(steps), forward);
    if (slot == TFilterBitmap::kNotFound) {
      FEOF = forward;
      FBOF = !forward;
    } else {
      FCurRecordNumber = slot;
      FBOF = FEOF = false;
    }
    return true;
  }
  TIndexWalker walker = Walker();
  TPositionLoan loan(this);
  // The page is read again first: a page emptied or rearranged since the copy was taken sends
  // the operation back to its start.
  if (walker.Reload(&loan.Place) != wrFound) return false;
  const TKeyBounds bounds = RangeBounds();
  for (int64_t i = 0; i < steps; ++i) {
    TWalkResult result =
        forward ? walker.Next(&loan.Place, bounds) : walker.Prior(&loan.Place, bounds);
    if (result == wrChanged) return false;
    if (result == wrNone) {
      // No further key (or the next lies outside the range): the position stays on the last
      // key reached.
      FEOF = forward;
      FBOF = !forward;
      return true;
    }
  }
  FBOF = FEOF = false;
  return true;
}

// ---- Seeking a key

bool TDataCursor::SeekKey(const uint8_t* Key, bool Nearest, bool KeepEdges, bool* Hit) {
  *Hit = false;
  if (RecordCount() == 0) {
    ResetPosition();
    return true;
  }
  const bool was_bof = FBOF, was_eof = FEOF;
  TIndexWalker walker = Walker();
  TIndexPlace place;
  bool at_end = false;
  TWalkResult result;
  if (FRangeInEffect && walker.Compare(Key, FBeginBuffer.data()) < 0) {
    if (!Nearest) return true;
    bool exact = false, past_end = false;
    result = walker.LowerBound(FBeginBuffer.data(), &place, &exact, &past_end);
    if (result == wrFound && (past_end || !InRange(place.Key()))) result = wrNone;
  } else if (FRangeInEffect && walker.Compare(Key, FEndBuffer.data()) > 0) {
    // Beyond the range: the nearest place is after its last key.
    if (!Nearest) return true;
    result = walker.LastNotAbove(FEndBuffer.data(), &place);
    if (result == wrFound && !InRange(place.Key())) result = wrNone;
    at_end = true;
  } else {
    bool exact = false, past_end = false;
    result = walker.LowerBound(Key, &place, &exact, &past_end);
    if (result == wrFound) {
      if (exact) {
        *Hit = true;
      } else if (!Nearest) {
        return true;
      } else if (past_end) {
        at_end = true;  // every key sorts below: after the last one
      } else if (FRangeInEffect && !InRange(place.Key())) {
        // The next key lies beyond the range: after the range's last key.
        result = walker.Prior(&place, {});
        at_end = true;
      }
      if (result == wrFound && !InRange(place.Key())) result = wrNone;
    }
  }
  if (result == wrChanged) return false;
  if (result == wrNone) {
    ResetPosition();
    return true;
  }
  TakePlace(std::move(place));
  FBOF = false;
  FEOF = at_end;
  // A cursor before the first record stays there while the key found is the first one; one
  // after the last stays after it while the key found is the last one.
  if (KeepEdges && was_bof && !was_eof) {
    if (!MoveCursor(-1)) return false;
    if (!FBOF && !MoveCursor(1)) return false;
  }
  if (KeepEdges && was_eof && !was_bof) {
    if (!MoveCursor(1)) return false;
    if (!FEOF && !MoveCursor(-1)) return false;
  }
  return true;
}

// ---- Repositioning and the current record

bool TDataCursor::RepositionByKey() {
  if (RecordCount() == 0) {
    ResetPosition();
    return true;
  }
  if (FBOF && FEOF) {
    // From the empty position the records that appeared meanwhile all lie ahead.
    if (!GoFirst()) return false;
    if (!(FBOF && FEOF)) FBOF = true;
    return true;
  }
  std::vector<uint8_t> key(FKeySize, 0);
  GetKeyValues(FCurrentRecord->Data(), key.data());
  bool hit = false;
  return SeekKey(key.data(), true, true, &hit);
}

void TDataCursor::RepositionPhysical() {
  if (RecordCount() == 0) {
    ResetPosition();
    return;
  }
  if (FBOF && FEOF) {
    FCurRecordNumber = FFilterBitmap.FindNext(1);
    FEOF = false;
    if (FCurRecordNumber == TFilterBitmap::kNotFound) ResetPosition();
    return;
  }
  int32_t slot = FFilterBitmap.FindNext(FCurRecordNumber);
  if (slot == TFilterBitmap::kNotFound) slot = FFilterBitmap.FindPrior(FCurRecordNumber);
  if (slot == TFilterBitmap::kNotFound) {
    ResetPosition();
  } else {
    FCurRecordNumber = slot;
  }
}

bool TDataCursor::RepositionCurrentRecordOnce() {
  if (IsPhysicalNavigation()) {
    FSequenceNumber = 0;
    RepositionPhysical();
  } else if (!RepositionByKey()) {
    return false;
  }
  return RefreshCurrentRecordOnce(0) && VerifyCurrentRecord(0);
}

bool TDataCursor::RefreshCurrentRecordOnce(uint8_t Direction) {
  const int32_t number = FBOF && FEOF ? 0 : PhysicalRecordNumber();
  TRecord& image = *FCurrentRecord;
  if (number <= 0) {
    std::fill(image.Data(), image.Data() + image.Size(), 0);
    image.SetNumber(0);
    return true;
  }
  // A slot past the data file would be appended rather than read.
  if (number > FDataTable->DataFile()->IOBlocksUsed()) Raise(KURA_INDEXCORRUPT, PageErrorNames());
  FReadAheadRecord = number;
  THeldRecord record(FDataTable);
  if (!FDataTable->GetRecord(this, number, Direction != 0, Direction, record.Receive())) {
    return false;
  }
  image.CopyBuffer(record.get()->Data());
  image.SetNumber(number);
  FCurRecordNumber = number;
  return true;
}

bool TDataCursor::RecordVisible() const {
  if (FDataTable->DataFile()->IOBlocksUsed() < 1) return false;
  if (IsPhysicalNavigation()) return FFilterBitmap.Test(FCurRecordNumber);
  if (!HasCurrentSlot() || FCurrentRecord->Number() != PhysicalRecordNumber()) return false;
  if (FCurrentRecord->Status() == kRecordDeleted) return false;
  if (!InRange(CurrentKey())) return false;
  return FiltersAccept();
}

bool TDataCursor::VerifyCurrentRecord(uint8_t Direction) {
  const bool backward = Direction == 2;
  // Forward: look ahead first, then behind (ending after the last visible record); backward
  // the other way round.
  bool& ahead_end = backward ? FBOF : FEOF;
  bool& behind_end = backward ? FEOF : FBOF;
  const int32_t ahead = backward ? -1 : 1;
  const uint8_t ahead_direction = backward ? 2 : 1;
  const uint8_t behind_direction = backward ? 1 : 2;
  while (!ahead_end) {
    if (RecordVisible()) return true;
    if (!MoveCursor(ahead) || !RefreshCurrentRecordOnce(ahead_direction)) return false;
  }
  while (!behind_end) {
    if (RecordVisible()) {
      ahead_end = true;
      return true;
    }
    if (!MoveCursor(-ahead) || !RefreshCurrentRecordOnce(behind_direction)) return false;
  }
  // Nothing visible either way.
  ResetPosition();
  return RefreshCurrentRecordOnce(0);
}

// ---- Navigation operations

void TDataCursor::SetToBegin() {
  TReadOperation operation(this);
  UntilSettled([&] {
    return GoFirst() && RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1) &&
           MoveCursor(-1) && RefreshCurrentRecordOnce(2) && VerifyCurrentRecord(2);
  });
}

void TDataCursor::SetToEnd() {
  TReadOperation operation(this);
  UntilSettled([&] {
    return GoLast() && RefreshCurrentRecordOnce(2) && VerifyCurrentRecord(2) && MoveCursor(1) &&
           RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
  });
}

void TDataCursor::ZeroFill(uint8_t* RecordBuffer) const {
  if (RecordBuffer != nullptr) std::memset(RecordBuffer, 0, FRecordSize);
}

uint16_t TDataCursor::PositionResult(uint8_t* RecordBuffer) const {
  uint16_t code = 0;
  if (FBOF && FEOF) {
    code = KURA_NOCURRREC;
  } else if (FBOF) {
    code = KURA_BOF;
  } else if (FEOF) {
    code = KURA_EOF;
  }
  if (code != 0) {
    ZeroFill(RecordBuffer);
  } else if (RecordBuffer != nullptr) {
    std::memcpy(RecordBuffer, FCurrentRecord->Data(), FRecordSize);
  }
  return code;
}

uint16_t TDataCursor::GetNextRecord(uint8_t* RecordBuffer) {
  TReadOperation operation(this);
  const bool from_start = FBOF;
  UntilSettled([&] {
    if (!(from_start ? GoFirst() : MoveCursor(1))) return false;
    return RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
  });
  if (FEOF) {
    ZeroFill(RecordBuffer);
    return KURA_EOF;
  }
  return PositionResult(RecordBuffer);
}

uint16_t TDataCursor::GetPriorRecord(uint8_t* RecordBuffer) {
  TReadOperation operation(this);
  const bool from_end = FEOF;
  UntilSettled([&] {
    if (!(from_end ? GoLast() : MoveCursor(-1))) return false;
    return RefreshCurrentRecordOnce(2) && VerifyCurrentRecord(2);
  });
  if (FBOF) {
    ZeroFill(RecordBuffer);
    return KURA_BOF;
  }
  return PositionResult(RecordBuffer);
}

uint16_t TDataCursor::GetCurrentRecord(uint8_t* RecordBuffer, bool LockIt) {
  TReadOperation operation(this);
  // Off a record there is nothing to edit, and no lock may be left behind.
  if (!LockIt || FBOF || FEOF) return PositionResult(RecordBuffer);
  FLastRecord->Copy(*FCurrentRecord);
  const int32_t number = FLastRecord->Number();
  const auto changed = [&] {
    if (FExclusive) return false;
    if (FCurrentRecord->Status() == kRecordDeleted || FCurrentRecord->Number() != number) {
      return true;
    }
    return RecordBuffer != nullptr &&
           std::memcmp(RecordBuffer + kRecordHashOffset, FCurrentRecord->Hash(), 16) != 0;
  };
  if (FDataTable->DataSession()->LockProtocol() == lpOptimistic) {
    if (changed()) Raise(KURA_KEYORRECDELETED, ErrorNames());
  } else {
    // Locking runs the change detection: another program's edit refreshes the current image.
    LockRecord(number);
    if (changed()) {
      UnlockRecord(number);
      Raise(KURA_KEYORRECDELETED, ErrorNames());
    }
  }
  return PositionResult(RecordBuffer);
}

uint16_t TDataCursor::CloneCurrentRecord(uint8_t* RecordBuffer) {
  uint16_t code = GetCurrentRecord(nullptr, false);
  if (code != 0 || RecordBuffer == nullptr) {
    ZeroFill(RecordBuffer);
    return code;
  }
  ZeroFill(RecordBuffer);
  const uint8_t* source = FCurrentRecord->Data();
  for (const TFieldDefinition& field : FFieldDefinitions) {
    if (field.DataType == dtInteger && field.SubType == fsAutoInc) continue;
    // BLOB contents are copied by the BLOB operations; the clone's BLOB fields stay empty.
    if (field.DataType == dtBlob || field.ExpressionField) continue;
    if (!FieldFitsRecord(field, FRecordSize)) continue;
    std::memcpy(RecordBuffer + field.Offset, source + field.Offset, field.DataSize + 1u);
  }
  return 0;
}

// ---- Record numbers

bool TDataCursor::SetToRecordNumberOnce(int32_t Value) {
  if (RecordCount() == 0) {
    ResetPosition();
    return RefreshCurrentRecordOnce(0);
  }
  if (IsPhysicalNavigation()) {
    int32_t slot = Value < 1 ? TFilterBitmap::kNotFound : FFilterBitmap.AtRank(Value);
    if (slot == TFilterBitmap::kNotFound) {
      // Before the first or after the last visible slot.
      if (!(Value < 1 ? GoFirst() : GoLast())) return false;
      if (!(FBOF && FEOF)) (Value < 1 ? FBOF : FEOF) = true;
      return RefreshCurrentRecordOnce(0);
    }
    FBOF = FEOF = false;
    FCurRecordNumber = slot;
    return RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
  }
  if (!GoFirst()) return false;
  if (FBOF && FEOF) return RefreshCurrentRecordOnce(0);
  if (Value < RecordNumber()) {
    FBOF = true;
    FEOF = false;
    return RefreshCurrentRecordOnce(2) && VerifyCurrentRecord(2);
  }
  TIndexWalker walker = Walker();
  if (FNoKeyStatistics) {
    // Without lower key counts the only way to a number is along the leaf chain.
    TWalkResult result = wrFound;
    {
      TPositionLoan loan(this);
      for (int32_t i = 1; i < Value && result == wrFound; ++i) {
        result = walker.Next(&loan.Place, RangeBounds());
      }
    }
    if (result == wrChanged) return false;
    FEOF = result == wrNone;
    return RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
  }
  if (!GoLast()) return false;
  if (FBOF && FEOF) return RefreshCurrentRecordOnce(0);
  if (RecordNumber() < Value) {
    FEOF = true;
    FBOF = false;
    return RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
  }
  TIndexPlace place;
  TWalkResult result = walker.AtRank(FBeginSequenceNumber + Value - 1, &place);
  // The counts promised a key of that rank: a tree that has none changed under the walk.
  if (result != wrFound) return false;
  TakePlace(std::move(place));
  FBOF = FEOF = false;
  return RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
}

bool TDataCursor::SetToRecordNumber(int32_t Value) {
  TReadOperation operation(this);
  UntilSettled([&] { return SetToRecordNumberOnce(Value); });
  return !FBOF && !FEOF && RecordNumber() == Value;
}

// ---- Bookmarks

uint16_t TDataCursor::BookmarkSize() const { return IsPhysicalNavigation() ? 4 : FKeySize; }

void TDataCursor::GetBookmark(uint8_t* BookmarkBuffer) const {
  if (IsPhysicalNavigation()) {
    PutI32(BookmarkBuffer, FCurRecordNumber);
    return;
  }
  const uint8_t* key = CurrentKey();
  if (key != nullptr && !(FBOF && FEOF)) {
    std::memcpy(BookmarkBuffer, key, FKeySize);
  } else {
    std::memset(BookmarkBuffer, 0, FKeySize);
  }
}

void TDataCursor::ClearBookmark(uint8_t* BookmarkBuffer) const {
  std::memset(BookmarkBuffer, 0, BookmarkSize());
}

int TDataCursor::CompareBookmarks(const uint8_t* FirstBuffer, const uint8_t* SecondBuffer) const {
  if (IsPhysicalNavigation()) {
    int32_t a = GetI32(FirstBuffer), b = GetI32(SecondBuffer);
    return a > b ? 1 : a < b ? -1 : 0;
  }
  int order = CompareKeys(FirstBuffer, SecondBuffer, FKeySize);
  return order > 0 ? 1 : order < 0 ? -1 : 0;
}

bool TDataCursor::SetToBookmark(const uint8_t* BookmarkBuffer, bool NearSet,
                                bool SuppressChangeDetection) {
  TReadOperation operation(this, !SuppressChangeDetection);
  const uint16_t size = BookmarkSize();
  if (IsPhysicalNavigation()) {
    int32_t slot = GetI32(BookmarkBuffer);
    if (slot == 0) return NearSet;
    FBOF = FEOF = false;
    FCurRecordNumber = std::clamp(slot, 1, std::max(FDataTable->DataFile()->IOBlocksUsed(), 1));
    UntilSettled([&] {
      RepositionPhysical();
      return RefreshCurrentRecordOnce(1) && VerifyCurrentRecord(1);
    });
  } else {
    const std::vector<uint8_t> wanted(BookmarkBuffer, BookmarkBuffer + size);
    UntilSettled([&] {
      bool hit = false;
      return SeekKey(wanted.data(), true, NearSet, &hit) && RefreshCurrentRecordOnce(1) &&
             VerifyCurrentRecord(1);
    });
  }
  if (NearSet) return true;
  std::vector<uint8_t> now(size, 0);
  GetBookmark(now.data());
  return !FBOF && !FEOF && std::memcmp(now.data(), BookmarkBuffer, size) == 0;
}

// ---- Read-ahead

int32_t TDataCursor::GetReadAheadEstimate(int Direction, int32_t Maximum) {
  const bool forward = Direction == 1;
  const int32_t step = forward ? 1 : -1;
  const int32_t record = FReadAheadRecord;
  int32_t count = 1;
  if (Maximum > 1 && record > 0) {
    if (!IsPhysicalNavigation()) {
      // The run of slots in the page copy whose records follow each other in the file.
      if (HasCurrentSlot() && FCurrentPage->GetRecordNumber(FCurKeyCounter) == record) {
        for (int slot = FCurKeyCounter + step;
             count < Maximum && slot >= 1 && slot <= FCurrentPage->NumberOfKeys() &&
             FCurrentPage->GetRecordNumber(slot) == record + step * count;
             slot += step) {
          ++count;
        }
      }
    } else {
      // Visible slots ahead, bridging short gaps; the window covers the gaps it bridges.
      const int32_t bridge = Maximum / 4 + 2;
      int32_t last = record;
      for (;;) {
        int32_t next = forward ? FFilterBitmap.FindNext(last + 1)
                               : (last > 1 ? FFilterBitmap.FindPrior(last - 1)
                                           : TFilterBitmap::kNotFound);
        if (next == TFilterBitmap::kNotFound) break;
        int32_t gap = std::abs(next - last) - 1;
        int32_t window = std::abs(next - record) + 1;
        if (gap > bridge || window > Maximum) break;
        count = window;
        last = next;
      }
    }
  }
  ++FTotalReadAheads;
  FTotalSizeReadAheads += count;
  return count;
}

}  // namespace kura
