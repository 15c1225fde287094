#include "engine/format/blob_header.h"

#include <cstring>

#include "engine/byte_order.h"

namespace kura {

namespace o = blob_header_offsets;

TBlobHeader TBlobHeader::Decode(const uint8_t* bytes) {
  TBlobHeader h;
  h.UpdateStamp = GetI32(bytes + o::kUpdateStamp);
  h.VersionNum = bytes[o::kVersionNum];
  std::memcpy(h.FileSignature.data(), bytes + o::kFileSignature, h.FileSignature.size());
  h.NextFreeBlock = GetI32(bytes + o::kNextFreeBlock);
  h.NextEndingBlock = GetI32(bytes + o::kNextEndingBlock);
  h.IsDirty = bytes[o::kIsDirty] != 0;
  return h;
}

void TBlobHeader::Encode(uint8_t* bytes) const {
  std::memset(bytes, 0, kBlobHeaderSize);
  PutI32(bytes + o::kUpdateStamp, UpdateStamp);
  bytes[o::kVersionNum] = VersionNum;
  std::memcpy(bytes + o::kFileSignature, FileSignature.data(), FileSignature.size());
  PutI32(bytes + o::kNextFreeBlock, NextFreeBlock);
  PutI32(bytes + o::kNextEndingBlock, NextEndingBlock);
  bytes[o::kIsDirty] = IsDirty ? 1 : 0;
}

}  // namespace kura
