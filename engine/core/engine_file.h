// TEngineFile: one logical handle on a file object of the engine's registry, with raising error
// handling. The lock file and the three table files are engine files.
//
// Failures raise EKuraEngineError through the engine: 11010 for a missing file, the registry's
// codes for refused opens, 9217 for a short or failed read, 9218 for a short or failed write. The
// errors name the file by ProperFileName() (table files use their table's name).
//
// The seek and the transfer of a multi-step access must be bracketed by LockFile/UnlockFile
// (or TEngineFileLock), because all handles of a disk file share one OS file pointer.
// Not copyable; the destructor closes an open file. One thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/error_context.h"

namespace kura {

class TBaseFile;
class TDataEngine;

class TEngineFile {
 public:
  explicit TEngineFile(TDataEngine* engine);
  virtual ~TEngineFile();
  TEngineFile(const TEngineFile&) = delete;
  TEngineFile& operator=(const TEngineFile&) = delete;

  // The name used in error messages: the plain file name without its folder here.
  virtual std::string ProperFileName() const;

  virtual void OpenFile();
  virtual void CloseFile();
  virtual void CreateFile();
  virtual void DeleteFile();
  virtual void RenameFile(const std::string& NewName);

  // Returns the count read; fewer bytes than asked raise 9217 unless IgnoreLessBytes.
  virtual int32_t Read(void* Buffer, int32_t NumBytes, bool IgnoreLessBytes);
  // A length byte, then that many bytes.
  virtual std::string ReadString(bool IgnoreLessBytes);
  // Any other count than NumBytes raises 9218. A write of 0 bytes cuts the file at the position.
  virtual void Write(const void* Buffer, int32_t NumBytes);
  // Asks the OS to write its buffers of the file to the device.
  virtual void Flush();

  // A length byte (texts longer than 255 bytes are cut), then the bytes.
  void WriteString(const std::string& Value);
  // From: 0 begin, 1 current, 2 end.
  int64_t Seek(int64_t Position, uint16_t From);
  int64_t GetPos();
  // The size, leaving the position where it was (also when an error interrupts).
  int64_t GetSize();
  // Locks or unlocks a byte range; false when the file is not open or the OS refuses.
  bool LockRegion(int64_t Offset, int64_t LockLength, bool LockIt);
  bool Exists() const;
  // Enter and leave the file object's section.
  void LockFile();
  void UnlockFile();

  // Settings, taken by the next open or create.
  void SetFileName(const std::string& Value) { FFileName = Value; }
  void SetInMemory(bool Value) { FInMemory = Value; }
  void SetExclusive(bool Value) { FExclusive = Value; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  void SetTemporary(bool Value) { FTemporary = Value; }
  void SetHidden(bool Value) { FHidden = Value; }

  const std::string& FileName() const { return FFileName; }
  TDataEngine* DataEngine() const { return FDataEngine; }
  bool InMemory() const { return FInMemory; }
  bool Exclusive() const { return FExclusive; }
  bool ReadOnly() const { return FReadOnly; }
  bool MarkedReadOnly() const { return FMarkedReadOnly; }
  bool Temporary() const { return FTemporary; }
  bool Hidden() const { return FHidden; }
  bool IsOpen() const { return FIsOpen; }

 protected:
  // The names an error of this file carries; table files add their database.
  virtual TErrorContext ErrorContext() const;
  [[noreturn]] void RaiseFileError(uint16_t code) const;

  TDataEngine* FDataEngine;
  bool FInMemory = false;
  TBaseFile* FBaseFile = nullptr;  // borrowed from the registry while open
  std::string FFileName;
  int32_t FHandle = 0;
  bool FExclusive = false;
  bool FReadOnly = false;
  bool FMarkedReadOnly = false;
  bool FIsOpen = false;
  bool FTemporary = false;
  bool FHidden = false;
};

// Holds an engine file's section for the lifetime of the guard.
class TEngineFileLock {
 public:
  explicit TEngineFileLock(TEngineFile& file) : file_(file) { file_.LockFile(); }
  ~TEngineFileLock() { file_.UnlockFile(); }
  TEngineFileLock(const TEngineFileLock&) = delete;
  TEngineFileLock& operator=(const TEngineFileLock&) = delete;

 private:
  TEngineFile& file_;
};

}  // namespace kura
