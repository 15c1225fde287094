// TBaseFile: a file object with numbered logical handles, the lowest layer of the engine's
// files. The engine's file registry (file_registry.h) creates one object per path and kind and
// shares it between every user in the process; each user holds one logical handle.
//
// Handle numbers start at 1, grow by one per open and are never reused while the object lives.
// Each handle has its own position in the base implementation (the in-memory kind); the disk
// kind shares the OS file pointer between all handles instead.
//
// Results: Open and CreateNew return the new handle number, Rename and Delete 0, or the negated
// engine error code on failure; Read and Write return byte counts, -1 on failure.
//
// Thread safety: every operation takes the object's file section (re-entrant), and the range
// locks their own lock section. A caller that needs a seek and a transfer as one step holds the
// file section across both with LockFileSection/UnlockFileSection (or TFileSectionGuard).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/ansi_string.h"
#include "platform/threads.h"

namespace kura {

class TDataEngine;
class TFileRegistry;

class TBaseFile {
 public:
  virtual ~TBaseFile();
  TBaseFile(const TBaseFile&) = delete;
  TBaseFile& operator=(const TBaseFile&) = delete;

  // The size in bytes (for the disk kind: moves the OS file pointer to the end).
  virtual int64_t FileSize();
  // Sets the size to 0 and adds a handle.
  virtual int32_t CreateNew();
  // Adds a handle at position 0.
  virtual int32_t Open();
  // Removes a handle; an unknown handle is ignored.
  virtual void Close(int32_t FileHandle);
  virtual int32_t Rename(const AnsiString& NewName);
  virtual int32_t Delete();
  // From the handle's position: 0 at or past the end, shortened at the end; the position moves
  // by the count returned.
  virtual int32_t Read(int32_t FileHandle, void* Buffer, int32_t NumBytes);
  // At the handle's position, extending the file when it passes the end. A write of 0 bytes
  // truncates (or extends) the file to the handle's position.
  virtual int32_t Write(int32_t FileHandle, const void* Buffer, int32_t NumBytes);
  virtual bool Flush(int32_t FileHandle);
  // From: 0 begin, 1 current, 2 end. Returns the new position; 0 for an unknown handle, -1 when
  // the position would be negative (the position stays).
  virtual int64_t Seek(int32_t FileHandle, int64_t Position, uint16_t From);
  // Locks [Offset, Offset + LockLength - 1] when it overlaps no locked range of this object.
  virtual bool Lock(int64_t Offset, int64_t LockLength);
  // Releases the locked range that starts at Offset (LockLength is not compared).
  virtual bool Unlock(int64_t Offset, int64_t LockLength);

  void LockFileSection() { FFileSection.Enter(); }
  void UnlockFileSection() { FFileSection.Leave(); }

  TDataEngine* DataEngine() const { return FDataEngine; }
  const AnsiString& FileName() const { return FFileName; }
  bool Exclusive() const { return FExclusive; }
  bool ReadOnly() const { return FReadOnly; }
  bool MarkedReadOnly() const { return FMarkedReadOnly; }
  bool Temporary() const { return FTemporary; }
  bool Hidden() const { return FHidden; }
  uint16_t UseCount() const { return FUseCount; }
  int32_t LastHandle() const { return FLastHandle; }
  virtual bool InMemory() const = 0;

 protected:
  TBaseFile(TDataEngine* engine, const AnsiString& file_name);

  struct THandleEntry {
    int32_t handle;
    int64_t position;
  };
  struct TLockEntry {
    int64_t first;
    int64_t last;
    int64_t length;
  };

  // The entry of a handle, or nullptr. Call inside the file section.
  THandleEntry* FindHandle(int32_t FileHandle);
  // Adds a handle entry; the negated engine code when no more handles can be issued.
  int32_t AddHandle();

  TDataEngine* FDataEngine;
  platform::CriticalSection FLockSection;
  platform::CriticalSection FFileSection;
  bool FExclusive = false;
  bool FReadOnly = false;
  bool FMarkedReadOnly = false;
  bool FTemporary = false;
  bool FHidden = false;
  AnsiString FFileName;
  int64_t FFileSize = 0;
  std::vector<TLockEntry> FLocksList;
  uint16_t FUseCount = 0;
  std::vector<THandleEntry> FHandlesList;
  int32_t FLastHandle = 0;

 private:
  // The registry sets the open flags before it creates or opens the object.
  friend class TFileRegistry;
};

// Holds a file object's file section for the lifetime of the guard.
class TFileSectionGuard {
 public:
  explicit TFileSectionGuard(TBaseFile& file) : file_(file) { file_.LockFileSection(); }
  ~TFileSectionGuard() { file_.UnlockFileSection(); }
  TFileSectionGuard(const TFileSectionGuard&) = delete;
  TFileSectionGuard& operator=(const TFileSectionGuard&) = delete;

 private:
  TBaseFile& file_;
};

}  // namespace kura
