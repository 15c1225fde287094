// TBuffer: one cached block of a buffered file (a record slot, an index page, a BLOB block).
//
// The buffer keeps the block's in-memory form in `FBuffer` (`BufferSize` bytes of the file) and
// converts it to and from the on-disk form of `IOBlockSize` bytes in Read/Write, which the block
// classes override with their encodings (and encryption). The cache owns its buffers; a caller
// gets one with a use taken (GetBuffer) and gives the use back (PutBuffer). A held buffer is
// never recycled, refreshed or freed by the cache. One thread at a time.
#pragma once

#include <cstdint>
#include <vector>

namespace kura {

class TBufferedFile;

class TBuffer {
 public:
  explicit TBuffer(TBufferedFile* owner);
  virtual ~TBuffer();
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;

  // Takes over the number and contents of another buffer of the same file (marks dirty).
  virtual void Copy(const TBuffer& ToCopy);
  // Replaces the contents from `BufferToCopy` (`FBufferSize` bytes) and marks the buffer dirty.
  virtual void CopyBuffer(const uint8_t* BufferToCopy);
  virtual void CopyToBuffer(uint8_t* BufferToCopyTo) const;
  // Empties the contents (zero); DefinitionPos is the index position of a page, 0 otherwise.
  virtual void Initialize(int32_t DefinitionPos);
  // From the block's on-disk bytes (`IOBlockSize`) to the contents, and back. Write must not
  // change the contents; it may change `WriteBuffer` only.
  virtual void Read(const uint8_t* ReadBuffer);
  virtual void Write(uint8_t* WriteBuffer);
  virtual bool IsEqualTo(const TBuffer& ToCompare) const;
  virtual bool IsEqualToBuffer(const uint8_t* BufferToCompare) const;

  void IncUseCount() { ++FUseCount; }
  void DecUseCount() {
    if (FUseCount > 0) --FUseCount;
  }
  void ClearUseCount() { FUseCount = 0; }

  TBufferedFile* BufferedFile() const { return FBufferedFile; }
  int32_t Number() const { return FNumber; }
  void SetNumber(int32_t Value) { FNumber = Value; }
  uint16_t UseCount() const { return FUseCount; }
  bool IsDirty() const { return FIsDirty; }
  void SetDirty(bool Value) { FIsDirty = Value; }
  bool WriteFlag() const { return FWriteFlag; }
  bool ReadFlag() const { return FReadFlag; }
  uint8_t* Data() { return FBuffer.data(); }
  const uint8_t* Data() const { return FBuffer.data(); }
  int32_t Size() const { return FSize; }

 protected:
  friend class TBufferedFile;

  TBufferedFile* FBufferedFile;
  bool FIsDirty = false;
  bool FWriteFlag = false;  // queued for writing
  bool FReadFlag = false;   // written during a read window: skip that window's refresh
  uint16_t FUseCount = 0;
  int32_t FNumber = 0;
  std::vector<uint8_t> FBuffer;
  int32_t FSize = 0;
  // The recency list of the cache (most recent first).
  TBuffer* FNextBuffer = nullptr;
  TBuffer* FPrevBuffer = nullptr;
};

}  // namespace kura
