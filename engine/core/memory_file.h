// TMemoryFile: a file that lives in memory, in 64 KB chunks. It stays registered with its
// contents after its last handle closes (unless it is temporary) and disappears when it is
// deleted or the engine is reset. Range locks are kept in the object's own list.
//
// Chunks are allocated when bytes are first written into them; a chunk never written reads as
// zeros. A memory file cannot grow past kMaxMemoryFileSize; such a write fails with -1, as does
// one for which memory runs out (the file is then unchanged).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/base_file.h"

namespace kura {

class TMemoryFile : public TBaseFile {
 public:
  static constexpr int64_t kChunkSize = 65536;
  // Above the largest table file either engine profile allows.
  static constexpr int64_t kMaxMemoryFileSize = int64_t{1} << 38;

  TMemoryFile(TDataEngine* engine, const AnsiString& file_name);

  int32_t CreateNew() override;
  int32_t Read(int32_t FileHandle, void* Buffer, int32_t NumBytes) override;
  int32_t Write(int32_t FileHandle, const void* Buffer, int32_t NumBytes) override;
  bool InMemory() const override { return true; }

  // Makes the chunks cover NewSize bytes (rounded up to whole chunks); a smaller positive size
  // keeps them; 0 or less frees every chunk.
  void ResizeFileBuffer(int64_t NewSize);
  int64_t FileBufferSize() const { return FFileBufferSize; }

 private:
  // Allocates the chunks that [offset, offset + count) touches. Throws std::bad_alloc.
  void AllocateChunks(int64_t offset, int64_t count);
  void CopyOut(int64_t offset, uint8_t* buffer, int64_t count) const;
  void CopyIn(int64_t offset, const uint8_t* buffer, int64_t count);
  void ZeroRange(int64_t offset, int64_t count);

  std::vector<std::unique_ptr<uint8_t[]>> FFileBuffers;
  int64_t FFileBufferSize = 0;
};

}  // namespace kura
