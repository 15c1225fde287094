// The 512-byte header at the start of a table's BLOB file (NAME.blb), which a table with BLOB
// fields has. The blocks follow it: block N starts at 512 + (N - 1) x BlobBlockSize.
// `TBlobHeader` holds the stored fields by name; `Decode`/`Encode` move it to and from the 512
// bytes field by field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/format/data_header.h"

namespace kura {

constexpr size_t kBlobHeaderSize = 512;
constexpr uint8_t kBlobFileVersion = 6;
constexpr int32_t kMinBlobBlockSize = 64;
constexpr int32_t kMaxBlobBlockSize = 65536;

struct TBlobHeader {
  int32_t UpdateStamp = 0;
  uint8_t VersionNum = 0;
  TDigestBytes FileSignature{};
  int32_t NextFreeBlock = 0;
  int32_t NextEndingBlock = 0;
  bool IsDirty = false;  // the header-modified flag; stored, but ignored on read

  static TBlobHeader Decode(const uint8_t* bytes);
  // Writes all 512 bytes (reserved areas as zero).
  void Encode(uint8_t* bytes) const;

  friend bool operator==(const TBlobHeader&, const TBlobHeader&) = default;
};

namespace blob_header_offsets {
constexpr size_t kUpdateStamp = 0;
constexpr size_t kEmptySpace1 = 4;
constexpr size_t kVersionNum = 8;
constexpr size_t kFileSignature = 9;
constexpr size_t kNextFreeBlock = 25;
constexpr size_t kNextEndingBlock = 29;
constexpr size_t kIsDirty = 33;
constexpr size_t kEmptySpace = 34;
}  // namespace blob_header_offsets

}  // namespace kura
