// The 512-byte header at the start of a table's data file.
//
// `TDataHeader` holds the stored fields by name; `Decode`/`Encode` move it to and from the 512
// bytes field by field. The header is never enciphered, so a reader can always see the counts,
// the locale and whether a password is needed before touching anything else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kura {

constexpr size_t kDataHeaderSize = 512;
constexpr uint8_t kDataFileVersion = 6;
// The stored `LastUpdated` is the date-time (days since 1899-12-30) minus this value.
constexpr double kLastUpdatedBias = 693594.0;

// The 16 bytes of an MD5 digest as they lie in the file.
using TDigestBytes = std::array<uint8_t, 16>;

struct TDataHeader {
  int32_t UpdateStamp = 0;
  uint8_t VersionNum = 0;
  TDigestBytes FileSignature{};
  int32_t NextFreeRecord = 0;
  int32_t NextEndingRecord = 0;
  int32_t LastRecordID = 0;
  int32_t LastAutoIncID = 0;
  int32_t RecordCount = 0;
  uint16_t RecordLength = 0;
  uint16_t FieldCount = 0;
  uint16_t BlobFieldCount = 0;
  int32_t BlobBlockSize = 0;
  int32_t LastBlobSignature = 0;
  int32_t IndexPageSize = 0;
  double LastUpdated = 0;  // as stored (see kLastUpdatedBias)
  std::string Description;  // string[100]
  bool Encrypted = false;
  TDigestBytes Digest{};
  int32_t LocaleID = 0;
  uint16_t UserMajorVersion = 0;
  uint16_t UserMinorVersion = 0;
  bool IsDirty = false;  // the header-modified flag; stored, but ignored on read

  static TDataHeader Decode(const uint8_t* bytes);
  // Writes all 512 bytes (reserved areas as zero).
  void Encode(uint8_t* bytes) const;
};

namespace data_header_offsets {
constexpr size_t kUpdateStamp = 0;
constexpr size_t kEmptySpace1 = 4;
constexpr size_t kVersionNum = 8;
constexpr size_t kFileSignature = 9;
constexpr size_t kNextFreeRecord = 25;
constexpr size_t kNextEndingRecord = 29;
constexpr size_t kLastRecordID = 33;
constexpr size_t kLastAutoIncID = 37;
constexpr size_t kRecordCount = 41;
constexpr size_t kRecordLength = 45;
constexpr size_t kFieldCount = 47;
constexpr size_t kBlobFieldCount = 49;
constexpr size_t kBlobBlockSize = 51;
constexpr size_t kLastBlobSignature = 55;
constexpr size_t kIndexPageSize = 59;
constexpr size_t kLastUpdated = 63;
constexpr size_t kDescription = 71;
constexpr size_t kEncrypted = 172;
constexpr size_t kDigest = 173;
constexpr size_t kLocaleID = 189;
constexpr size_t kUserMajorVersion = 193;
constexpr size_t kUserMinorVersion = 195;
constexpr size_t kIsDirty = 197;
constexpr size_t kEmptySpace2 = 198;
}  // namespace data_header_offsets

// Counters that hand out numbers advance by one and wrap from 2147483647 to 1.
constexpr int32_t NextCounterValue(int32_t value) {
  return value == 2147483647 ? 1 : value + 1;
}

}  // namespace kura
