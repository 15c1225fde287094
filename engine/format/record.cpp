#include "engine/format/record.h"

#include <cstring>

#include "engine/byte_order.h"
#include "engine/format/data_file.h"

namespace kura {

// A data file's record length is at least 32 bytes once its header is valid; the record header
// properties need 25, so a buffer of a file without a valid length is kept at that size.
TRecord::TRecord(TDataFile* owner) : TBuffer(owner), FDataFile(owner) {
  if (FBuffer.size() < kRecordHeaderSize) FBuffer.resize(kRecordHeaderSize, 0);
}

void TRecord::Read(const uint8_t* ReadBuffer) {
  TBuffer::Read(ReadBuffer);
  if (FDataFile->Encrypted()) {
    FDataFile->Owner()->Decrypt(FBuffer.data(), static_cast<size_t>(FDataFile->IOBlockSize()));
  }
}

void TRecord::Write(uint8_t* WriteBuffer) {
  TBuffer::Write(WriteBuffer);
  if (FDataFile->Encrypted()) {
    FDataFile->Owner()->Encrypt(WriteBuffer, static_cast<size_t>(FDataFile->IOBlockSize()));
  }
}

void TRecord::SetStatus(uint8_t Value) {
  FBuffer[0] = Value;
  FIsDirty = true;
}

int32_t TRecord::NextFreeNumber() const {
  return Status() == kRecordDeleted ? GetI32(FBuffer.data() + 1) : 0;
}

void TRecord::SetNextFreeNumber(int32_t Value) {
  PutI32(FBuffer.data() + 1, Value);
  FIsDirty = true;
}

int32_t TRecord::OriginalNumber() const { return GetI32(FBuffer.data() + 1); }

void TRecord::SetOriginalNumber(int32_t Value) { PutI32(FBuffer.data() + 1, Value); }

int32_t TRecord::ID() const { return GetI32(FBuffer.data() + 5); }

void TRecord::SetID(int32_t Value) {
  PutI32(FBuffer.data() + 5, Value);
  FIsDirty = true;
}

void TRecord::SetHash(const uint8_t Value[16]) {
  std::memcpy(FBuffer.data() + 9, Value, 16);
  FIsDirty = true;
}

}  // namespace kura
