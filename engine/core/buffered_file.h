// TBufferedFile: a table file made of a fixed-size header and numbered fixed-size blocks, with a
// per-file cache of blocks.
//
// Block n (from 1) lies at HeaderSize() + (n - 1) x IOBlockSize(). The cache keeps the buffers
// sorted by block number (binary search) and in a recency list whose first MRUBuffers() entries
// are scanned before the search. A miss reads a window of consecutive blocks (read-ahead, in
// either direction) in one OS read; a request for the block just past the end appends a block
// without reading. Dirty buffers are queued when released and written back by FlushBuffers in
// runs of consecutive blocks, one OS write per run.
//
// Eviction: the least recently used buffer that is neither dirty nor held is recycled. An
// exclusive file writes its dirty buffers when it finds none; a shared file never evicts dirty
// buffers (other programs must not see half an update) and grows its cache by BufferExpand()
// instead.
//
// The header formats are the derived files' (data, index, BLOB): they implement the header
// operations and the block parameters. The owner (the shared table) must outlive the file.
// Buffers handed out stay valid until they are released with PutBuffer, even if the cache is
// discarded meanwhile. One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/buffered_file_owner.h"
#include "engine/core/engine_file.h"

namespace kura {

class TBufferedFile : public TEngineFile {
 public:
  explicit TBufferedFile(TBufferedFileOwner* owner);
  ~TBufferedFile() override;

  // The table's name in messages.
  std::string ProperFileName() const override;

  void OpenFile() override;   // only when not open
  void CloseFile() override;  // discards the cache without writing it

  // Block BufferNum with a use taken, in *BufferToGet. False (and no block) when the read lock
  // taken on a miss found that another program changed the table; the caller resynchronises
  // and repeats. Direction: 0 none, 1 forward, other backward. Raises the corruption error for
  // a block number outside 1..IOBlocksUsed() + 1 and 9479 when an append passes the limits.
  bool GetBuffer(TDataCursor* DataCursor, int32_t DefinitionPos, int32_t BufferNum,
                 bool ReadAhead, int Direction, TBuffer** BufferToGet);
  // Gives back one use; a dirty buffer not yet queued is queued for writing.
  void PutBuffer(TBuffer* BufferToRelease);
  // Writes the queued buffers; true when anything was written.
  bool FlushBuffers();
  // Discards every cached buffer, dirty ones included, and empties the queue.
  void FreeBuffers();
  // Shrinks the cache to GetMaxBufferCount() (or re-sizes it).
  void AdjustBuffers();
  // Resets the counters and sizes the cache; each table file calls it at the end of its open.
  virtual void InitializeBuffers();
  // The logical size: HeaderSize() + IOBlocksUsed() x IOBlockSize().
  int64_t GetFileSize() const;
  // Asks the OS to write its buffers of the file when the session forces buffer flushes.
  void FlushIfForced();

  // The block and header parameters of the file.
  virtual std::unique_ptr<TBuffer> NewBuffer() = 0;
  [[noreturn]] virtual void RaiseCorrupt() const = 0;
  virtual void CheckFileLimits() = 0;
  virtual void IncBlocksUsed() = 0;
  virtual int32_t GetMaxBufferCount() const = 0;
  virtual int32_t GetDefaultReadAhead() const = 0;
  virtual int32_t IOBlockSize() const = 0;
  virtual int32_t BufferSize() const = 0;
  virtual int64_t HeaderSize() const = 0;
  virtual int32_t IOBlocksUsed() const = 0;
  virtual int32_t LastUpdateStamp() const = 0;
  virtual int32_t MRUBuffers() const = 0;
  virtual int32_t BufferExpand() const = 0;
  virtual int32_t GetReadAheadCount(TDataCursor* DataCursor, int Direction);

  // Header operations.
  virtual void ReadHeader() = 0;
  virtual bool WriteHeader(bool ForceHeader) = 0;
  virtual void UpdateHeaderStamp() = 0;
  // Truncates the file to its header (a 0-byte write there) and marks the table written to.
  virtual void ClearHeader();
  virtual void CheckHeader() = 0;
  virtual bool CheckForChanges() = 0;

  TBufferedFileOwner* Owner() const { return FDataTable; }

  // Cache state and statistics.
  int32_t CacheHits() const { return FCacheHits; }
  int32_t CacheMisses() const { return FCacheMisses; }
  int32_t Reads() const { return FReads; }
  int64_t TotalReads() const { return FTotalReads; }
  int32_t Writes() const { return FWrites; }
  int32_t BufferCount() const { return static_cast<int32_t>(FBuffers.size()); }
  int32_t BufferCapacity() const { return FCapacity; }
  int32_t QueuedCount() const { return static_cast<int32_t>(FWriteBuffers.size()); }
  int32_t ReadAheadBuffers() const { return FReadAheadBuffers; }
  void SetReadAheadBuffers(int32_t Value) { FReadAheadBuffers = Value < 1 ? 1 : Value; }
  bool BufferAll() const { return FBufferAll; }
  void SetBufferAll(bool Value) { FBufferAll = Value; }
  // Block numbers from the most to the least recently used (for tests and tools).
  std::vector<int32_t> RecencyOrder() const;

 protected:
  TErrorContext ErrorContext() const override;

  // Header transfers at a file offset, under the file's section.
  void ReadAt(int64_t Offset, void* Buffer, int32_t NumBytes);
  void WriteAt(int64_t Offset, const void* Buffer, int32_t NumBytes);

  TBufferedFileOwner* FDataTable;

 private:
  // A buffer object for block `number`, not yet in FBuffers nor in the recency list: a new one
  // while the cache is below its capacity, else a recycled victim, else a new one after the
  // capacity grew by BufferExpand().
  std::unique_ptr<TBuffer> ObtainBuffer(int32_t DefinitionPos, int32_t number);
  TBuffer* FindVictim() const;
  // Index in FBuffers of block `number`, or of its insertion point; true when found.
  bool FindBuffer(int32_t number, size_t* index) const;
  // Inserts at the sorted place and links at the front of the recency list.
  TBuffer* InsertBuffer(std::unique_ptr<TBuffer> buffer);
  std::unique_ptr<TBuffer> RemoveBuffer(TBuffer* buffer);
  void LinkFront(TBuffer* buffer);
  void Unlink(TBuffer* buffer);
  void MoveToFront(TBuffer* buffer);
  void ReadWindow(int32_t DefinitionPos, int32_t BufferNum, int32_t Count, bool Backward);
  void WriteRun(const std::vector<TBuffer*>& run);

  // The read window in progress (for FReadFlag).
  int64_t FReadSize = 0;
  int64_t FReadFilePos = 0;
  TBuffer* FFirstBuffer = nullptr;
  TBuffer* FLastBuffer = nullptr;
  // Every cached buffer, sorted by block number; FCapacity is the cache's size limit. The
  // buffer object being recycled or created lives outside it for a moment.
  std::vector<std::unique_ptr<TBuffer>> FBuffers;
  int32_t FCapacity = 1;
  std::vector<TBuffer*> FWriteBuffers;
  // Held buffers of a discarded cache, freed when their last use is given back.
  std::vector<std::unique_ptr<TBuffer>> FDetached;
  int32_t FCacheHits = 0;
  int32_t FCacheMisses = 0;
  int32_t FReads = 0;
  int64_t FTotalReads = 0;
  int32_t FWrites = 0;
  int32_t FReadAheadBuffers = 1;
  bool FBufferAll = false;
};

}  // namespace kura
