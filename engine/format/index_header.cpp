#include "engine/format/index_header.h"

#include <cstring>

#include "engine/byte_order.h"

namespace kura {

namespace o = index_header_offsets;

TIndexHeader TIndexHeader::Decode(const uint8_t* bytes) {
  TIndexHeader h;
  h.UpdateStamp = GetI32(bytes + o::kUpdateStamp);
  h.VersionNum = bytes[o::kVersionNum];
  std::memcpy(h.FileSignature.data(), bytes + o::kFileSignature, h.FileSignature.size());
  h.NextFreePage = GetI32(bytes + o::kNextFreePage);
  h.NextEndingPage = GetI32(bytes + o::kNextEndingPage);
  h.IndexCount = bytes[o::kIndexCount];
  for (size_t i = 0; i < kIndexDefinitionSlots; ++i) {
    h.RootPages[i] = GetI32(bytes + o::kRootPages + 4 * i);
    h.DataRootPages[i] = GetI32(bytes + o::kDataRootPages + 4 * i);
  }
  h.IsDirty = bytes[o::kIsDirty] != 0;
  return h;
}

void TIndexHeader::Encode(uint8_t* bytes) const {
  std::memset(bytes, 0, kIndexHeaderSize);
  PutI32(bytes + o::kUpdateStamp, UpdateStamp);
  bytes[o::kVersionNum] = VersionNum;
  std::memcpy(bytes + o::kFileSignature, FileSignature.data(), FileSignature.size());
  PutI32(bytes + o::kNextFreePage, NextFreePage);
  PutI32(bytes + o::kNextEndingPage, NextEndingPage);
  bytes[o::kIndexCount] = IndexCount;
  for (size_t i = 0; i < kIndexDefinitionSlots; ++i) {
    PutI32(bytes + o::kRootPages + 4 * i, RootPages[i]);
    PutI32(bytes + o::kDataRootPages + 4 * i, DataRootPages[i]);
  }
  bytes[o::kIsDirty] = IsDirty ? 1 : 0;
}

}  // namespace kura
