#include "engine/core/memory_file.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kura {

TMemoryFile::TMemoryFile(TDataEngine* engine, const AnsiString& file_name)
    : TBaseFile(engine, file_name) {}

int32_t TMemoryFile::CreateNew() {
  platform::CriticalSectionGuard guard(FFileSection);
  ResizeFileBuffer(0);
  return TBaseFile::CreateNew();
}

void TMemoryFile::ResizeFileBuffer(int64_t NewSize) {
  platform::CriticalSectionGuard guard(FFileSection);
  if (NewSize <= 0) {
    FFileBuffers.clear();
    FFileBufferSize = 0;
    return;
  }
  int64_t rounded = (NewSize + kChunkSize - 1) / kChunkSize * kChunkSize;
  if (rounded > FFileBufferSize) {
    FFileBuffers.resize(static_cast<size_t>(rounded / kChunkSize));
    FFileBufferSize = rounded;
  }
}

void TMemoryFile::AllocateChunks(int64_t offset, int64_t count) {
  if (count <= 0) return;
  size_t first = static_cast<size_t>(offset / kChunkSize);
  size_t last = static_cast<size_t>((offset + count - 1) / kChunkSize);
  for (size_t i = first; i <= last; ++i) {
    if (!FFileBuffers[i]) FFileBuffers[i] = std::make_unique<uint8_t[]>(kChunkSize);
  }
}

void TMemoryFile::CopyOut(int64_t offset, uint8_t* buffer, int64_t count) const {
  while (count > 0) {
    size_t chunk = static_cast<size_t>(offset / kChunkSize);
    int64_t within = offset % kChunkSize;
    int64_t n = std::min(count, kChunkSize - within);
    if (FFileBuffers[chunk]) {
      std::memcpy(buffer, FFileBuffers[chunk].get() + within, static_cast<size_t>(n));
    } else {
      std::memset(buffer, 0, static_cast<size_t>(n));
    }
    offset += n;
    buffer += n;
    count -= n;
  }
}

void TMemoryFile::CopyIn(int64_t offset, const uint8_t* buffer, int64_t count) {
  while (count > 0) {
    size_t chunk = static_cast<size_t>(offset / kChunkSize);
    int64_t within = offset % kChunkSize;
    int64_t n = std::min(count, kChunkSize - within);
    std::memcpy(FFileBuffers[chunk].get() + within, buffer, static_cast<size_t>(n));
    offset += n;
    buffer += n;
    count -= n;
  }
}

void TMemoryFile::ZeroRange(int64_t offset, int64_t count) {
  while (count > 0) {
    size_t chunk = static_cast<size_t>(offset / kChunkSize);
    int64_t within = offset % kChunkSize;
    int64_t n = std::min(count, kChunkSize - within);
    if (within == 0 && n == kChunkSize) {
      FFileBuffers[chunk].reset();
    } else if (FFileBuffers[chunk]) {
      std::memset(FFileBuffers[chunk].get() + within, 0, static_cast<size_t>(n));
    }
    offset += n;
    count -= n;
  }
}

int32_t TMemoryFile::Read(int32_t FileHandle, void* Buffer, int32_t NumBytes) {
  platform::CriticalSectionGuard guard(FFileSection);
  THandleEntry* entry = FindHandle(FileHandle);
  if (entry == nullptr || (Buffer == nullptr && NumBytes > 0)) return -1;
  int64_t position = entry->position;
  int32_t count = TBaseFile::Read(FileHandle, Buffer, NumBytes);
  if (count > 0) CopyOut(position, static_cast<uint8_t*>(Buffer), count);
  return count;
}

int32_t TMemoryFile::Write(int32_t FileHandle, const void* Buffer, int32_t NumBytes) {
  platform::CriticalSectionGuard guard(FFileSection);
  THandleEntry* entry = FindHandle(FileHandle);
  if (entry == nullptr || NumBytes < 0 || (Buffer == nullptr && NumBytes > 0)) return -1;
  int64_t position = entry->position;
  if (position > kMaxMemoryFileSize - NumBytes) return -1;
  int64_t old_size = FFileSize;
  int64_t new_end = position + NumBytes;
  // Make room before anything changes, so that running out of memory leaves the file as it was.
  try {
    if (NumBytes > 0) {
      if (new_end > FFileBufferSize) ResizeFileBuffer(new_end);
      AllocateChunks(position, NumBytes);
    } else if (position > FFileBufferSize) {
      ResizeFileBuffer(position);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  int32_t count = TBaseFile::Write(FileHandle, Buffer, NumBytes);
  if (count < 0) return count;
  if (NumBytes == 0) {
    // Bytes cut off must not come back when the file grows again.
    if (FFileSize < old_size) ZeroRange(FFileSize, old_size - FFileSize);
    ResizeFileBuffer(FFileSize);
    return 0;
  }
  CopyIn(position, static_cast<const uint8_t*>(Buffer), count);
  return count;
}

}  // namespace kura
