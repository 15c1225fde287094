// The 512-byte header at the start of a table's index file.
//
// The file is laid out as the header, the 24576-byte definitions area (32 slots of 768 bytes) and
// then the pages, numbered from 1: page N starts at 25088 + (N - 1) x IndexPageSize.
// `TIndexHeader` holds the stored fields by name; `Decode`/`Encode` move it to and from the 512
// bytes field by field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/format/data_header.h"
#include "engine/format/index_definition.h"

namespace kura {

constexpr size_t kIndexHeaderSize = 512;
constexpr uint8_t kIndexFileVersion = 6;
constexpr int64_t kIndexFileHeaderSize = kIndexHeaderSize + kIndexDefinitionsAreaSize;  // 25088

struct TIndexHeader {
  int32_t UpdateStamp = 0;
  uint8_t VersionNum = 0;
  TDigestBytes FileSignature{};
  int32_t NextFreePage = 0;
  int32_t NextEndingPage = 0;
  uint8_t IndexCount = 0;
  std::array<int32_t, kIndexDefinitionSlots> RootPages{};
  std::array<int32_t, kIndexDefinitionSlots> DataRootPages{};
  bool IsDirty = false;  // the header-modified flag; stored, but ignored on read

  static TIndexHeader Decode(const uint8_t* bytes);
  // Writes all 512 bytes (reserved areas as zero).
  void Encode(uint8_t* bytes) const;

  friend bool operator==(const TIndexHeader&, const TIndexHeader&) = default;
};

namespace index_header_offsets {
constexpr size_t kUpdateStamp = 0;
constexpr size_t kEmptySpace1 = 4;
constexpr size_t kVersionNum = 8;
constexpr size_t kFileSignature = 9;
constexpr size_t kNextFreePage = 25;
constexpr size_t kNextEndingPage = 29;
constexpr size_t kIndexCount = 33;
constexpr size_t kRootPages = 34;
constexpr size_t kDataRootPages = 162;
constexpr size_t kIsDirty = 290;
constexpr size_t kEmptySpace2 = 291;
}  // namespace index_header_offsets

}  // namespace kura
