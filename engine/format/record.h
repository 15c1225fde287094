// TRecord: the cache's buffer for one record slot of a data file.
//
// Its contents are the slot's `RecordLength` bytes, always plain; an encrypted table's slot is
// deciphered on Read and enciphered on Write, in the transfer area only. The properties address
// the 25-byte record header: status, free-chain link or record number, record ID and hash.
#pragma once

#include <cstdint>

#include "engine/core/buffer.h"

namespace kura {

class TDataFile;

constexpr uint8_t kRecordLive = 0;
constexpr uint8_t kRecordDeleted = 1;
constexpr uint8_t kRecordCachedUpdate = 3;

class TRecord : public TBuffer {
 public:
  explicit TRecord(TDataFile* owner);

  void Read(const uint8_t* ReadBuffer) override;
  void Write(uint8_t* WriteBuffer) override;

  uint8_t Status() const { return FBuffer[0]; }
  void SetStatus(uint8_t Value);
  // The next slot of the free chain: bytes 1..4 of a deleted slot, 0 for any other.
  int32_t NextFreeNumber() const;
  void SetNextFreeNumber(int32_t Value);
  // Bytes 1..4 as they stand; setting them does not mark the buffer dirty.
  int32_t OriginalNumber() const;
  void SetOriginalNumber(int32_t Value);
  int32_t ID() const;
  void SetID(int32_t Value);
  // The 16 hash bytes.
  const uint8_t* Hash() const { return FBuffer.data() + 9; }
  void SetHash(const uint8_t Value[16]);

 private:
  TDataFile* FDataFile;
};

}  // namespace kura
