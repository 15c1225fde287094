#include "engine/core/physical_file.h"

#include "engine/core/data_engine.h"
#include "platform/file_system.h"
#include "platform/os_error.h"

namespace kura {

TPhysicalFile::TPhysicalFile(TDataEngine* engine, const AnsiString& file_name)
    : TBaseFile(engine, file_name) {}

TPhysicalFile::~TPhysicalFile() = default;

platform::FileOpenFlags TPhysicalFile::OpenFlags() const {
  platform::FileOpenFlags flags;
  flags.temporary = FTemporary;
  flags.hidden = FHidden;
  flags.sequential_scan = true;
  return flags;
}

int32_t TPhysicalFile::MappedOSError() { return -FDataEngine->OSError(); }

int64_t TPhysicalFile::FileSize() {
  platform::CriticalSectionGuard guard(FFileSection);
  if (!FPhysicalHandle) {
    platform::FileAttributes attributes;
    if (!platform::QueryFileAttributes(FFileName, &attributes)) return -1;
    return attributes.size;
  }
  return FPhysicalHandle->Seek(0, platform::SeekOrigin::kEnd);
}

int32_t TPhysicalFile::CreateNew() {
  platform::CriticalSectionGuard guard(FFileSection);
  if (FPhysicalHandle) return -KURA_OSEACCES;
  FPhysicalHandle = platform::OsFile::CreateAlways(FFileName, platform::FileAccess::kReadWrite,
                                                   platform::FileShare::kNone, OpenFlags());
  if (!FPhysicalHandle) return MappedOSError();
  FReadOnly = false;
  FMarkedReadOnly = false;
  return TBaseFile::CreateNew();
}

int32_t TPhysicalFile::Open() {
  platform::CriticalSectionGuard guard(FFileSection);
  if (FUseCount == 0 || !FPhysicalHandle) {
    FMarkedReadOnly = false;
    platform::FileAttributes attributes;
    if (!platform::QueryFileAttributes(FFileName, &attributes)) return MappedOSError();
    if (attributes.read_only) {
      FReadOnly = true;
      FMarkedReadOnly = true;
    }
    platform::FileShare share =
        FExclusive ? platform::FileShare::kNone : platform::FileShare::kReadWrite;
    FPhysicalHandle = platform::OsFile::OpenExisting(
        FFileName, FReadOnly ? platform::FileAccess::kRead : platform::FileAccess::kReadWrite,
        share, OpenFlags());
    if (!FPhysicalHandle) {
      if (FReadOnly) return MappedOSError();
      // A file that may be read but not written is opened read-only; the caller learns it
      // through ReadOnly().
      FPhysicalHandle = platform::OsFile::OpenExisting(FFileName, platform::FileAccess::kRead,
                                                       share, OpenFlags());
      if (!FPhysicalHandle) return MappedOSError();
      FReadOnly = true;
    }
  }
  int32_t handle = TBaseFile::Open();
  if (handle < 0 && FUseCount == 0) FPhysicalHandle.reset();
  return handle;
}

void TPhysicalFile::Close(int32_t FileHandle) {
  platform::CriticalSectionGuard guard(FFileSection);
  TBaseFile::Close(FileHandle);
  if (FUseCount == 0) FPhysicalHandle.reset();
}

int32_t TPhysicalFile::Rename(const AnsiString& NewName) {
  platform::CriticalSectionGuard guard(FFileSection);
  if (!platform::RenameFile(FFileName, NewName)) return MappedOSError();
  return TBaseFile::Rename(NewName);
}

int32_t TPhysicalFile::Delete() {
  platform::CriticalSectionGuard guard(FFileSection);
  if (!platform::RemoveFile(FFileName)) return MappedOSError();
  return 0;
}

int32_t TPhysicalFile::Read(int32_t, void* Buffer, int32_t NumBytes) {
  platform::CriticalSectionGuard guard(FFileSection);
  if (!FPhysicalHandle || NumBytes < 0 || (Buffer == nullptr && NumBytes > 0)) return -1;
  return static_cast<int32_t>(FPhysicalHandle->Read(Buffer, NumBytes));
}

int32_t TPhysicalFile::Write(int32_t, const void* Buffer, int32_t NumBytes) {
  platform::CriticalSectionGuard guard(FFileSection);
  if (!FPhysicalHandle || NumBytes < 0 || (Buffer == nullptr && NumBytes > 0)) return -1;
  if (NumBytes == 0) return FPhysicalHandle->SetEndOfFile() ? 0 : -1;
  return static_cast<int32_t>(FPhysicalHandle->Write(Buffer, NumBytes));
}

bool TPhysicalFile::Flush(int32_t) {
  platform::CriticalSectionGuard guard(FFileSection);
  return FPhysicalHandle && FPhysicalHandle->Flush();
}

int64_t TPhysicalFile::Seek(int32_t, int64_t Position, uint16_t From) {
  platform::CriticalSectionGuard guard(FFileSection);
  if (!FPhysicalHandle || From > 2) return -1;
  return FPhysicalHandle->Seek(Position, static_cast<platform::SeekOrigin>(From));
}

bool TPhysicalFile::Lock(int64_t Offset, int64_t LockLength) {
  platform::CriticalSectionGuard guard(FFileSection);
  return FPhysicalHandle && FPhysicalHandle->LockRange(Offset, LockLength);
}

bool TPhysicalFile::Unlock(int64_t Offset, int64_t LockLength) {
  platform::CriticalSectionGuard guard(FFileSection);
  return FPhysicalHandle && FPhysicalHandle->UnlockRange(Offset, LockLength);
}

}  // namespace kura
