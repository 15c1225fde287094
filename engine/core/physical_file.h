// TPhysicalFile: a disk file. One OS handle (platform::OsFile) serves every logical handle of the
// process: the first open decides the access and share mode, later opens only add a handle, and
// the OS handle closes with the last one. All handles share the OS file pointer, so Read, Write
// and Seek work at that pointer, not at a per-handle position. Range locks are OS byte-range
// locks on the shared handle: they conflict with other processes and with other handles of the
// same file (another engine of this process), and a range locked through this object cannot be
// locked again through it.
//
// Failures of OS calls are mapped through TDataEngine::OSError, which also records the OS error
// number for the next raised error.
#pragma once

#include <memory>

#include "engine/core/base_file.h"
#include "platform/os_file.h"

namespace kura {

class TPhysicalFile : public TBaseFile {
 public:
  TPhysicalFile(TDataEngine* engine, const AnsiString& file_name);
  ~TPhysicalFile() override;

  int64_t FileSize() override;
  // Create-always with read and write access and no sharing.
  int32_t CreateNew() override;
  // Opens the existing file when no handle is open yet (see physical_file.cpp), then adds one.
  int32_t Open() override;
  void Close(int32_t FileHandle) override;
  int32_t Rename(const AnsiString& NewName) override;
  int32_t Delete() override;
  int32_t Read(int32_t FileHandle, void* Buffer, int32_t NumBytes) override;
  int32_t Write(int32_t FileHandle, const void* Buffer, int32_t NumBytes) override;
  bool Flush(int32_t FileHandle) override;
  int64_t Seek(int32_t FileHandle, int64_t Position, uint16_t From) override;
  bool Lock(int64_t Offset, int64_t LockLength) override;
  bool Unlock(int64_t Offset, int64_t LockLength) override;
  bool InMemory() const override { return false; }

  // The shared OS handle, or nullptr while no logical handle is open.
  platform::OsFile* PhysicalHandle() const { return FPhysicalHandle.get(); }

 private:
  platform::FileOpenFlags OpenFlags() const;
  int32_t MappedOSError();

  std::unique_ptr<platform::OsFile> FPhysicalHandle;
};

}  // namespace kura
