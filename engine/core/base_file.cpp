#include "engine/core/base_file.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "engine/core/error_codes.h"

namespace kura {

TBaseFile::TBaseFile(TDataEngine* engine, const AnsiString& file_name)
    : FDataEngine(engine), FFileName(file_name) {}

TBaseFile::~TBaseFile() = default;

int64_t TBaseFile::FileSize() {
  platform::CriticalSectionGuard guard(FFileSection);
  return FFileSize;
}

TBaseFile::THandleEntry* TBaseFile::FindHandle(int32_t FileHandle) {
  // Handles are appended in increasing order, so the list stays sorted.
  auto it = std::lower_bound(FHandlesList.begin(), FHandlesList.end(), FileHandle,
                             [](const THandleEntry& e, int32_t h) { return e.handle < h; });
  return it != FHandlesList.end() && it->handle == FileHandle ? &*it : nullptr;
}

int32_t TBaseFile::AddHandle() {
  if (FUseCount == std::numeric_limits<uint16_t>::max() ||
      FLastHandle == std::numeric_limits<int32_t>::max()) {
    return -KURA_OSEMFILE;
  }
  ++FLastHandle;
  FHandlesList.push_back({FLastHandle, 0});
  ++FUseCount;
  return FLastHandle;
}

int32_t TBaseFile::CreateNew() {
  platform::CriticalSectionGuard guard(FFileSection);
  int32_t handle = AddHandle();
  if (handle > 0) FFileSize = 0;
  return handle;
}

int32_t TBaseFile::Open() {
  platform::CriticalSectionGuard guard(FFileSection);
  return AddHandle();
}

void TBaseFile::Close(int32_t FileHandle) {
  platform::CriticalSectionGuard guard(FFileSection);
  THandleEntry* entry = FindHandle(FileHandle);
  if (entry == nullptr) return;
  FHandlesList.erase(FHandlesList.begin() + (entry - FHandlesList.data()));
  --FUseCount;
}

int32_t TBaseFile::Rename(const AnsiString& NewName) {
  platform::CriticalSectionGuard guard(FFileSection);
  FFileName = NewName;
  return 0;
}

int32_t TBaseFile::Delete() { return 0; }

int32_t TBaseFile::Read(int32_t FileHandle, void*, int32_t NumBytes) {
  platform::CriticalSectionGuard guard(FFileSection);
  THandleEntry* entry = FindHandle(FileHandle);
  if (entry == nullptr || NumBytes < 0) return -1;
  if (entry->position >= FFileSize) return 0;
  int32_t count =
      static_cast<int32_t>(std::min<int64_t>(NumBytes, FFileSize - entry->position));
  entry->position += count;
  return count;
}

int32_t TBaseFile::Write(int32_t FileHandle, const void*, int32_t NumBytes) {
  platform::CriticalSectionGuard guard(FFileSection);
  THandleEntry* entry = FindHandle(FileHandle);
  if (entry == nullptr || NumBytes < 0) return -1;
  if (entry->position > std::numeric_limits<int64_t>::max() - NumBytes) return -1;
  if (NumBytes == 0) {
    FFileSize = entry->position;
    return 0;
  }
  entry->position += NumBytes;
  if (entry->position > FFileSize) FFileSize = entry->position;
  return NumBytes;
}

bool TBaseFile::Flush(int32_t) { return true; }

int64_t TBaseFile::Seek(int32_t FileHandle, int64_t Position, uint16_t From) {
  platform::CriticalSectionGuard guard(FFileSection);
  THandleEntry* entry = FindHandle(FileHandle);
  if (entry == nullptr) return 0;
  int64_t base = From == 1 ? entry->position : From == 2 ? FFileSize : 0;
  if ((Position < 0 && base + Position < 0) ||
      (Position > 0 && base > std::numeric_limits<int64_t>::max() - Position)) {
    return -1;
  }
  entry->position = base + Position;
  return entry->position;
}

bool TBaseFile::Lock(int64_t Offset, int64_t LockLength) {
  if (Offset < 0 || LockLength < 1 ||
      Offset > std::numeric_limits<int64_t>::max() - (LockLength - 1)) {
    return false;
  }
  platform::CriticalSectionGuard guard(FLockSection);
  int64_t last = Offset + (LockLength - 1);
  auto it = std::lower_bound(FLocksList.begin(), FLocksList.end(), Offset,
                             [](const TLockEntry& e, int64_t first) { return e.first < first; });
  if (it != FLocksList.end() && it->first == Offset) return false;
  if (it != FLocksList.begin() && std::prev(it)->last >= Offset) return false;
  if (it != FLocksList.end() && it->first <= last) return false;
  FLocksList.insert(it, {Offset, last, LockLength});
  return true;
}

bool TBaseFile::Unlock(int64_t Offset, int64_t) {
  platform::CriticalSectionGuard guard(FLockSection);
  auto it = std::lower_bound(FLocksList.begin(), FLocksList.end(), Offset,
                             [](const TLockEntry& e, int64_t first) { return e.first < first; });
  if (it == FLocksList.end() || it->first != Offset) return false;
  FLocksList.erase(it);
  return true;
}

}  // namespace kura
