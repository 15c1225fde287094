#include "engine/core/buffered_file.h"

#include <algorithm>
#include <cstring>

#include "engine/core/error_codes.h"

namespace kura {

TBufferedFile::TBufferedFile(TBufferedFileOwner* owner)
    : TEngineFile(owner->DataEngine()), FDataTable(owner) {}

TBufferedFile::~TBufferedFile() {
  // The recency links point into buffers that are about to go; drop them first.
  FFirstBuffer = FLastBuffer = nullptr;
  FWriteBuffers.clear();
}

std::string TBufferedFile::ProperFileName() const { return FDataTable->ProperTableName(); }

TErrorContext TBufferedFile::ErrorContext() const {
  TErrorContext context;
  context.table_name = ProperFileName();
  context.database_name = FDataTable->ProperDatabaseName();
  return context;
}

void TBufferedFile::OpenFile() {
  if (!IsOpen()) TEngineFile::OpenFile();
}

void TBufferedFile::CloseFile() {
  FreeBuffers();
  TEngineFile::CloseFile();
}

int32_t TBufferedFile::GetReadAheadCount(TDataCursor*, int) { return 1; }

int64_t TBufferedFile::GetFileSize() const {
  return HeaderSize() + static_cast<int64_t>(IOBlocksUsed()) * IOBlockSize();
}

void TBufferedFile::FlushIfForced() {
  if (FDataTable->ForceBufferFlush()) Flush();
}

void TBufferedFile::InitializeBuffers() {
  FCacheHits = FCacheMisses = FReads = FWrites = 0;
  FTotalReads = 0;
  FCapacity = std::max(GetMaxBufferCount(), 1);
  FWriteBuffers.reserve(static_cast<size_t>(FCapacity));
  FReadAheadBuffers = std::max(GetDefaultReadAhead(), 1);
}

void TBufferedFile::ClearHeader() {
  {
    TEngineFileLock lock(*this);
    Seek(HeaderSize(), 0);
    Write(nullptr, 0);
  }
  FlushIfForced();
  FDataTable->MarkWrittenTo();
}

void TBufferedFile::ReadAt(int64_t Offset, void* Buffer, int32_t NumBytes) {
  TEngineFileLock lock(*this);
  if (Seek(Offset, 0) != Offset) RaiseFileError(KURA_READERR);
  Read(Buffer, NumBytes, false);
}

void TBufferedFile::WriteAt(int64_t Offset, const void* Buffer, int32_t NumBytes) {
  TEngineFileLock lock(*this);
  if (Seek(Offset, 0) != Offset) RaiseFileError(KURA_WRITEERR);
  Write(Buffer, NumBytes);
}

// --- The recency list and the sorted list --------------------------------------------------

void TBufferedFile::LinkFront(TBuffer* buffer) {
  buffer->FPrevBuffer = nullptr;
  buffer->FNextBuffer = FFirstBuffer;
  if (FFirstBuffer != nullptr) FFirstBuffer->FPrevBuffer = buffer;
  FFirstBuffer = buffer;
  if (FLastBuffer == nullptr) FLastBuffer = buffer;
}

void TBufferedFile::Unlink(TBuffer* buffer) {
  if (buffer->FPrevBuffer != nullptr) {
    buffer->FPrevBuffer->FNextBuffer = buffer->FNextBuffer;
  } else if (FFirstBuffer == buffer) {
    FFirstBuffer = buffer->FNextBuffer;
  }
  if (buffer->FNextBuffer != nullptr) {
    buffer->FNextBuffer->FPrevBuffer = buffer->FPrevBuffer;
  } else if (FLastBuffer == buffer) {
    FLastBuffer = buffer->FPrevBuffer;
  }
  buffer->FPrevBuffer = buffer->FNextBuffer = nullptr;
}

void TBufferedFile::MoveToFront(TBuffer* buffer) {
  if (FFirstBuffer == buffer) return;
  Unlink(buffer);
  LinkFront(buffer);
}

std::vector<int32_t> TBufferedFile::RecencyOrder() const {
  std::vector<int32_t> order;
  for (TBuffer* b = FFirstBuffer; b != nullptr; b = b->FNextBuffer) order.push_back(b->FNumber);
  return order;
}

bool TBufferedFile::FindBuffer(int32_t number, size_t* index) const {
  auto it = std::lower_bound(FBuffers.begin(), FBuffers.end(), number,
                             [](const std::unique_ptr<TBuffer>& b, int32_t n) {
                               return b->FNumber < n;
                             });
  *index = static_cast<size_t>(it - FBuffers.begin());
  return it != FBuffers.end() && (*it)->FNumber == number;
}

TBuffer* TBufferedFile::InsertBuffer(std::unique_ptr<TBuffer> buffer) {
  size_t index = 0;
  FindBuffer(buffer->FNumber, &index);
  TBuffer* raw = buffer.get();
  FBuffers.insert(FBuffers.begin() + static_cast<std::ptrdiff_t>(index), std::move(buffer));
  LinkFront(raw);
  return raw;
}

std::unique_ptr<TBuffer> TBufferedFile::RemoveBuffer(TBuffer* buffer) {
  size_t index = 0;
  if (!FindBuffer(buffer->FNumber, &index) || FBuffers[index].get() != buffer) RaiseCorrupt();
  std::unique_ptr<TBuffer> owned = std::move(FBuffers[index]);
  FBuffers.erase(FBuffers.begin() + static_cast<std::ptrdiff_t>(index));
  Unlink(buffer);
  return owned;
}

// --- Getting blocks ----------------------------------------------------------------------------

TBuffer* TBufferedFile::FindVictim() const {
  for (TBuffer* b = FLastBuffer; b != nullptr; b = b->FPrevBuffer) {
    if (!b->FIsDirty && b->FUseCount == 0) return b;
  }
  return nullptr;
}

std::unique_ptr<TBuffer> TBufferedFile::ObtainBuffer(int32_t DefinitionPos, int32_t number) {
  std::unique_ptr<TBuffer> buffer;
  if (static_cast<int32_t>(FBuffers.size()) < FCapacity) {
    buffer = NewBuffer();
  } else {
    TBuffer* victim = nullptr;
    if (Exclusive()) {
      if (!FBufferAll) {
        victim = FindVictim();
        if (victim == nullptr) {
          FlushBuffers();
          victim = FindVictim();
        }
      }
    } else if (static_cast<int32_t>(FWriteBuffers.size()) + FReadAheadBuffers <
               static_cast<int32_t>(FBuffers.size())) {
      victim = FindVictim();
    }
    if (victim != nullptr) {
      buffer = RemoveBuffer(victim);
      buffer->FReadFlag = false;
      buffer->FWriteFlag = false;
      buffer->FIsDirty = false;
    } else {
      FCapacity += std::max(BufferExpand(), 1);
      buffer = NewBuffer();
    }
  }
  buffer->Initialize(DefinitionPos);
  buffer->FNumber = number;
  return buffer;
}

bool TBufferedFile::GetBuffer(TDataCursor* DataCursor, int32_t DefinitionPos, int32_t BufferNum,
                              bool ReadAhead, int Direction, TBuffer** BufferToGet) {
  *BufferToGet = nullptr;
  int32_t used = IOBlocksUsed();
  if (BufferNum < 1 || BufferNum > used + 1 || used < 0) RaiseCorrupt();

  size_t index = 0;
  if (BufferNum == used + 1) {
    // Appending: the block does not exist on disk yet, so nothing is read.
    CheckFileLimits();
    TBuffer* buffer = nullptr;
    if (FindBuffer(BufferNum, &index)) {
      // A leftover of a truncated file: start it afresh (unless someone still reads it).
      buffer = FBuffers[index].get();
      if (buffer->FUseCount > 0) RaiseCorrupt();
      buffer->Initialize(DefinitionPos);
      MoveToFront(buffer);
    } else {
      buffer = InsertBuffer(ObtainBuffer(DefinitionPos, BufferNum));
    }
    // Dirty from the start, so that the file always grows to the slots its header counts.
    buffer->FIsDirty = true;
    buffer->IncUseCount();
    ++FCacheHits;
    IncBlocksUsed();
    *BufferToGet = buffer;
    return true;
  }

  int32_t scanned = 0;
  for (TBuffer* b = FFirstBuffer; b != nullptr && scanned < MRUBuffers();
       b = b->FNextBuffer, ++scanned) {
    if (b->FNumber == BufferNum) {
      MoveToFront(b);
      ++FCacheHits;
      b->IncUseCount();
      *BufferToGet = b;
      return true;
    }
  }
  if (FindBuffer(BufferNum, &index)) {
    TBuffer* b = FBuffers[index].get();
    MoveToFront(b);
    ++FCacheHits;
    b->IncUseCount();
    *BufferToGet = b;
    return true;
  }

  // A miss: learn first whether another program changed the table.
  if (!FDataTable->StrictChangeDetection() && FDataTable->ReadLockForCacheMiss(DataCursor)) {
    return false;
  }
  used = IOBlocksUsed();
  if (BufferNum > used) RaiseCorrupt();
  int32_t count = 1;
  bool backward = Direction != 0 && Direction != 1;
  if (ReadAhead && Direction != 0) {
    count = GetReadAheadCount(DataCursor, Direction);
    // Never past the last block, nor before the first one.
    count = std::min(count, backward ? BufferNum : used - BufferNum + 1);
    count = std::max(count, 1);
  }
  ReadWindow(DefinitionPos, BufferNum, count, backward && count > 1);

  if (!FindBuffer(BufferNum, &index)) RaiseCorrupt();
  TBuffer* b = FBuffers[index].get();
  b->IncUseCount();
  *BufferToGet = b;
  return true;
}

void TBufferedFile::ReadWindow(int32_t DefinitionPos, int32_t BufferNum, int32_t Count,
                               bool Backward) {
  ++FCacheMisses;
  const int64_t block = IOBlockSize();
  const int32_t first = Backward ? BufferNum - Count + 1 : BufferNum;
  const int64_t position = HeaderSize() + static_cast<int64_t>(first - 1) * block;
  const int64_t size = static_cast<int64_t>(Count) * block;
  if (block <= 0 || size > 0x7FFFFFFF) RaiseCorrupt();

  struct WindowReset {
    TBufferedFile* file;
    ~WindowReset() { file->FReadSize = file->FReadFilePos = 0; }
  } reset{this};
  std::vector<uint8_t> window(static_cast<size_t>(size));
  FReadFilePos = position;
  FReadSize = size;

  int32_t got = 0;
  {
    TEngineFileLock lock(*this);
    if (Seek(position, 0) != position) RaiseFileError(KURA_READERR);
    got = Read(window.data(), static_cast<int32_t>(size), true);
  }
  if (got < size) {
    bool tolerated =
        (Exclusive() || FDataTable->InTransaction()) && FDataTable->WrittenTo();
    if (!tolerated) RaiseFileError(KURA_READERR);
  }
  ++FReads;
  FTotalReads += got;

  // From the far end of the window toward the block asked for, so that it ends up the most
  // recent one.
  const int32_t whole = static_cast<int32_t>(got / block);
  for (int32_t k = Count - 1; k >= 0; --k) {
    int32_t number = Backward ? BufferNum - k : BufferNum + k;
    int32_t slot = number - first;
    if (slot >= whole) continue;
    const uint8_t* bytes = window.data() + static_cast<int64_t>(slot) * block;
    size_t index = 0;
    if (FindBuffer(number, &index)) {
      TBuffer* cached = FBuffers[index].get();
      if (cached->FReadFlag) {
        cached->FReadFlag = false;
      } else if (cached->FUseCount == 0 && !cached->FIsDirty) {
        cached->Read(bytes);
      }
      continue;
    }
    std::unique_ptr<TBuffer> buffer = ObtainBuffer(DefinitionPos, number);
    buffer->Read(bytes);
    InsertBuffer(std::move(buffer));
  }
}

void TBufferedFile::PutBuffer(TBuffer* BufferToRelease) {
  if (BufferToRelease == nullptr) return;
  for (auto it = FDetached.begin(); it != FDetached.end(); ++it) {
    if (it->get() == BufferToRelease) {
      BufferToRelease->DecUseCount();
      if (BufferToRelease->FUseCount == 0) FDetached.erase(it);
      return;
    }
  }
  BufferToRelease->DecUseCount();
  if (BufferToRelease->FIsDirty && !BufferToRelease->FWriteFlag) {
    BufferToRelease->FWriteFlag = true;
    FWriteBuffers.push_back(BufferToRelease);
  }
}

// --- Writing back --------------------------------------------------------------------------

void TBufferedFile::WriteRun(const std::vector<TBuffer*>& run) {
  const int64_t block = IOBlockSize();
  const int64_t size = block * static_cast<int64_t>(run.size());
  std::vector<uint8_t> area(static_cast<size_t>(size), 0);
  for (size_t i = 0; i < run.size(); ++i) {
    TBuffer* b = run[i];
    b->Write(area.data() + static_cast<int64_t>(i) * block);
    b->FIsDirty = false;
    b->FWriteFlag = false;
    int64_t position = HeaderSize() + static_cast<int64_t>(b->FNumber - 1) * block;
    if (FReadSize > 0 && position >= FReadFilePos && position < FReadFilePos + FReadSize) {
      b->FReadFlag = true;
    }
  }
  int64_t position = HeaderSize() + static_cast<int64_t>(run.front()->FNumber - 1) * block;
  {
    TEngineFileLock lock(*this);
    if (Seek(position, 0) != position) RaiseFileError(KURA_WRITEERR);
    Write(area.data(), static_cast<int32_t>(size));
  }
  FDataTable->MarkWrittenTo();
  ++FWrites;
}

bool TBufferedFile::FlushBuffers() {
  struct QueueReset {
    std::vector<TBuffer*>* queue;
    ~QueueReset() { queue->clear(); }
  } reset{&FWriteBuffers};

  std::vector<TBuffer*> queue;
  if (Exclusive()) {
    for (const std::unique_ptr<TBuffer>& b : FBuffers) {
      if (b->FWriteFlag && b->FUseCount == 0) queue.push_back(b.get());
    }
  } else {
    queue = FWriteBuffers;
    std::stable_sort(queue.begin(), queue.end(),
                     [](const TBuffer* a, const TBuffer* b) { return a->FNumber < b->FNumber; });
  }
  if (queue.empty()) return false;
  const int64_t block = IOBlockSize();
  // A run is limited to what one OS transfer can carry.
  const size_t max_run = static_cast<size_t>(std::max<int64_t>(1, 0x40000000 / std::max<int64_t>(block, 1)));
  std::vector<TBuffer*> run;
  for (TBuffer* b : queue) {
    if (b->FUseCount > 0) RaiseCorrupt();
    if (!run.empty() && (b->FNumber != run.back()->FNumber + 1 || run.size() >= max_run)) {
      WriteRun(run);
      run.clear();
    }
    run.push_back(b);
  }
  WriteRun(run);
  return true;
}

// --- Discarding and re-sizing ------------------------------------------------------------------

void TBufferedFile::FreeBuffers() {
  FWriteBuffers.clear();
  FFirstBuffer = FLastBuffer = nullptr;
  for (std::unique_ptr<TBuffer>& b : FBuffers) {
    b->FPrevBuffer = b->FNextBuffer = nullptr;
    b->FWriteFlag = false;
    // A holder still has its pointer: keep the object until the last use comes back.
    if (b->FUseCount > 0) FDetached.push_back(std::move(b));
  }
  FBuffers.clear();
}

void TBufferedFile::AdjustBuffers() {
  const int32_t target = std::max(GetMaxBufferCount(), 1);
  bool flushed = false;
  while (static_cast<int32_t>(FBuffers.size()) > target) {
    TBuffer* victim = FindVictim();
    if (victim == nullptr && Exclusive() && !flushed) {
      FlushBuffers();
      flushed = true;
      victim = FindVictim();
    }
    if (victim == nullptr) break;
    RemoveBuffer(victim);
  }
  FCapacity = std::max(static_cast<int32_t>(FBuffers.size()), target);
  FWriteBuffers.reserve(static_cast<size_t>(FCapacity));
}

}  // namespace kura
