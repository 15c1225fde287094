#include "engine/format/data_header.h"

#include <cstring>

#include "engine/byte_order.h"
#include "engine/format/field_definition.h"

namespace kura {

namespace ho = data_header_offsets;

TDataHeader TDataHeader::Decode(const uint8_t* bytes) {
  TDataHeader h;
  h.UpdateStamp = GetI32(bytes + ho::kUpdateStamp);
  h.VersionNum = GetU8(bytes + ho::kVersionNum);
  std::memcpy(h.FileSignature.data(), bytes + ho::kFileSignature, 16);
  h.NextFreeRecord = GetI32(bytes + ho::kNextFreeRecord);
  h.NextEndingRecord = GetI32(bytes + ho::kNextEndingRecord);
  h.LastRecordID = GetI32(bytes + ho::kLastRecordID);
  h.LastAutoIncID = GetI32(bytes + ho::kLastAutoIncID);
  h.RecordCount = GetI32(bytes + ho::kRecordCount);
  h.RecordLength = GetU16(bytes + ho::kRecordLength);
  h.FieldCount = GetU16(bytes + ho::kFieldCount);
  h.BlobFieldCount = GetU16(bytes + ho::kBlobFieldCount);
  h.BlobBlockSize = GetI32(bytes + ho::kBlobBlockSize);
  h.LastBlobSignature = GetI32(bytes + ho::kLastBlobSignature);
  h.IndexPageSize = GetI32(bytes + ho::kIndexPageSize);
  h.LastUpdated = GetF64(bytes + ho::kLastUpdated);
  h.Description = GetShortString(bytes + ho::kDescription, kFieldTextLength);
  h.Encrypted = GetU8(bytes + ho::kEncrypted) != 0;
  std::memcpy(h.Digest.data(), bytes + ho::kDigest, 16);
  h.LocaleID = GetI32(bytes + ho::kLocaleID);
  h.UserMajorVersion = GetU16(bytes + ho::kUserMajorVersion);
  h.UserMinorVersion = GetU16(bytes + ho::kUserMinorVersion);
  h.IsDirty = GetU8(bytes + ho::kIsDirty) != 0;
  return h;
}

void TDataHeader::Encode(uint8_t* bytes) const {
  std::memset(bytes, 0, kDataHeaderSize);
  PutI32(bytes + ho::kUpdateStamp, UpdateStamp);
  PutU8(bytes + ho::kVersionNum, VersionNum);
  std::memcpy(bytes + ho::kFileSignature, FileSignature.data(), 16);
  PutI32(bytes + ho::kNextFreeRecord, NextFreeRecord);
  PutI32(bytes + ho::kNextEndingRecord, NextEndingRecord);
  PutI32(bytes + ho::kLastRecordID, LastRecordID);
  PutI32(bytes + ho::kLastAutoIncID, LastAutoIncID);
  PutI32(bytes + ho::kRecordCount, RecordCount);
  PutU16(bytes + ho::kRecordLength, RecordLength);
  PutU16(bytes + ho::kFieldCount, FieldCount);
  PutU16(bytes + ho::kBlobFieldCount, BlobFieldCount);
  PutI32(bytes + ho::kBlobBlockSize, BlobBlockSize);
  PutI32(bytes + ho::kLastBlobSignature, LastBlobSignature);
  PutI32(bytes + ho::kIndexPageSize, IndexPageSize);
  PutF64(bytes + ho::kLastUpdated, LastUpdated);
  PutShortString(bytes + ho::kDescription, kFieldTextLength, Description);
  PutU8(bytes + ho::kEncrypted, Encrypted ? 1 : 0);
  std::memcpy(bytes + ho::kDigest, Digest.data(), 16);
  PutI32(bytes + ho::kLocaleID, LocaleID);
  PutU16(bytes + ho::kUserMajorVersion, UserMajorVersion);
  PutU16(bytes + ho::kUserMinorVersion, UserMinorVersion);
  PutU8(bytes + ho::kIsDirty, IsDirty ? 1 : 0);
}

}  // namespace kura
