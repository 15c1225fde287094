#include "engine/core/engine_file.h"

#include <cstdlib>

#include "engine/core/base_file.h"
#include "engine/core/data_engine.h"
#include "engine/core/error_codes.h"
#include "platform/path.h"

namespace kura {

TEngineFile::TEngineFile(TDataEngine* engine) : FDataEngine(engine) {}

TEngineFile::~TEngineFile() {
  if (FIsOpen) {
    try {
      TEngineFile::CloseFile();
    } catch (...) {
      // A destructor must not throw; the registry frees the object with the engine anyway.
    }
  }
}

std::string TEngineFile::ProperFileName() const { return platform::ExtractFileName(FFileName); }

TErrorContext TEngineFile::ErrorContext() const {
  TErrorContext context;
  context.table_name = ProperFileName();
  return context;
}

void TEngineFile::RaiseFileError(uint16_t code) const {
  FDataEngine->RaiseError(code, ErrorContext());
}

void TEngineFile::OpenFile() {
  if (!Exists()) RaiseFileError(KURA_OSENOENT);
  bool marked_read_only = false;
  bool read_only = FReadOnly;
  TBaseFile* file = nullptr;
  int32_t result = FDataEngine->OpenFile(FFileName, FInMemory, &file, &marked_read_only,
                                         &read_only, FExclusive, FTemporary, FHidden);
  if (result < 0) RaiseFileError(static_cast<uint16_t>(-result));
  FBaseFile = file;
  FHandle = result;
  FReadOnly = read_only;
  FMarkedReadOnly = marked_read_only;
  FIsOpen = true;
}

void TEngineFile::CreateFile() {
  TBaseFile* file = nullptr;
  int32_t result = FDataEngine->CreateFile(FFileName, FInMemory, &file, FTemporary, FHidden);
  if (result < 0) RaiseFileError(static_cast<uint16_t>(-result));
  FBaseFile = file;
  FHandle = result;
  FReadOnly = false;
  FMarkedReadOnly = false;
  FIsOpen = true;
}

void TEngineFile::CloseFile() {
  if (FBaseFile != nullptr) FDataEngine->CloseFile(FBaseFile, FInMemory, FHandle);
  FBaseFile = nullptr;
  FHandle = 0;
  FIsOpen = false;
}

void TEngineFile::DeleteFile() {
  int32_t result = FDataEngine->DeleteFile(FFileName, FInMemory);
  if (result < 0) RaiseFileError(static_cast<uint16_t>(-result));
}

void TEngineFile::RenameFile(const std::string& NewName) {
  int32_t result = FDataEngine->RenameFile(FFileName, FInMemory, NewName);
  if (result < 0) RaiseFileError(static_cast<uint16_t>(-result));
  FFileName = NewName;
}

int32_t TEngineFile::Read(void* Buffer, int32_t NumBytes, bool IgnoreLessBytes) {
  if (FBaseFile == nullptr) RaiseFileError(KURA_READERR);
  int32_t count = FBaseFile->Read(FHandle, Buffer, NumBytes);
  if (count < 0 || (count < NumBytes && !IgnoreLessBytes)) RaiseFileError(KURA_READERR);
  return count;
}

std::string TEngineFile::ReadString(bool IgnoreLessBytes) {
  uint8_t length = 0;
  if (Read(&length, 1, IgnoreLessBytes) < 1) return std::string();
  std::string value(length, '\0');
  int32_t count = Read(value.data(), length, IgnoreLessBytes);
  value.resize(static_cast<size_t>(count));
  return value;
}

void TEngineFile::Write(const void* Buffer, int32_t NumBytes) {
  if (FBaseFile == nullptr) RaiseFileError(KURA_WRITEERR);
  if (FBaseFile->Write(FHandle, Buffer, NumBytes) != NumBytes) RaiseFileError(KURA_WRITEERR);
}

void TEngineFile::WriteString(const std::string& Value) {
  uint8_t length = static_cast<uint8_t>(Value.size() > 255 ? 255 : Value.size());
  Write(&length, 1);
  Write(Value.data(), length);
}

void TEngineFile::Flush() {
  if (FBaseFile != nullptr) FBaseFile->Flush(FHandle);
}

int64_t TEngineFile::Seek(int64_t Position, uint16_t From) {
  return FBaseFile == nullptr ? 0 : FBaseFile->Seek(FHandle, Position, From);
}

int64_t TEngineFile::GetPos() { return Seek(0, 1); }

int64_t TEngineFile::GetSize() {
  if (FBaseFile == nullptr) return 0;
  TEngineFileLock lock(*this);
  int64_t position = GetPos();
  int64_t size = Seek(0, 2);
  Seek(position, 0);
  return size;
}

bool TEngineFile::LockRegion(int64_t Offset, int64_t LockLength, bool LockIt) {
  if (FBaseFile == nullptr) return false;
  return LockIt ? FBaseFile->Lock(Offset, LockLength) : FBaseFile->Unlock(Offset, LockLength);
}

bool TEngineFile::Exists() const { return FDataEngine->FileExists(FFileName, FInMemory, FHidden); }

void TEngineFile::LockFile() {
  if (FBaseFile != nullptr) FBaseFile->LockFileSection();
}

void TEngineFile::UnlockFile() {
  if (FBaseFile != nullptr) FBaseFile->UnlockFileSection();
}

}  // namespace kura
