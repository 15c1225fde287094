// TDataFile: a table's data file (NAME.dat): the 512-byte header, the field definitions and the
// record slots, with the record cache of TBufferedFile.
//
//   offset 0                         header (TDataHeader), never enciphered
//   offset 512                       FieldCount x 768 bytes of definitions, one cipher unit
//   offset 512 + 768 x FieldCount    the slots, RecordLength bytes each, one cipher unit each
//
// The file keeps the header and the definitions in memory. Every change of a counter, a size or
// a setting marks the header dirty; WriteHeader writes it with a new update stamp, which is how
// other programs learn of the change. Errors carry the table and database names of the owner.
// One thread at a time (the table's session).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/buffered_file.h"
#include "engine/format/data_header.h"
#include "engine/format/field_definition.h"
#include "engine/format/record_format.h"

namespace kura {

class TRecord;
struct TMD5Digest;

class TDataFile : public TBufferedFile {
 public:
  explicit TDataFile(TBufferedFileOwner* owner);
  ~TDataFile() override;

  // Creates the OS file and starts a fresh header (version, signature, NextEndingRecord 1).
  void CreateFile() override;
  // Opens and checks: version, signature, field count, password; reads the definitions and
  // sizes the cache. A record shorter than its 25-byte header, or a field that does not lie
  // inside the record, is refused (8961) so that no record access can leave its buffer.
  void OpenFile() override;
  void CloseFile() override;

  void ReadHeader() override;
  bool WriteHeader(bool ForceHeader) override;
  void UpdateHeaderStamp() override;
  void ClearHeader() override;
  // Full verification (8961, or 15878 for an unknown locale); recomputes every DataSize and
  // DataDecimals in memory and changes nothing on disk.
  void CheckHeader() override;
  bool CheckForChanges() override;

  // Block parameters.
  std::unique_ptr<TBuffer> NewBuffer() override;
  [[noreturn]] void RaiseCorrupt() const override;
  void CheckFileLimits() override;
  void IncBlocksUsed() override;
  int32_t GetMaxBufferCount() const override;
  int32_t GetDefaultReadAhead() const override;
  int32_t IOBlockSize() const override { return FHeader.RecordLength; }
  int32_t BufferSize() const override { return FHeader.RecordLength; }
  int64_t HeaderSize() const override {
    return static_cast<int64_t>(kDataHeaderSize) + kFieldDefinitionSize * FHeader.FieldCount;
  }
  int32_t IOBlocksUsed() const override { return FHeader.NextEndingRecord - 1; }
  int32_t LastUpdateStamp() const override { return FHeader.UpdateStamp; }
  int32_t MRUBuffers() const override { return 4; }
  int32_t BufferExpand() const override { return 64; }
  int32_t GetReadAheadCount(TDataCursor* DataCursor, int Direction) override;

  // Records through the cache.
  bool GetRecord(TDataCursor* DataCursor, int32_t RecordNum, bool ReadAhead, int Direction,
                 TRecord** Record);
  void PutRecord(TRecord* Record);

  // The header.
  const TDataHeader& Header() const { return FHeader; }
  void GetHeader(uint8_t Header[kDataHeaderSize]) const;
  void UpdateHeader(int32_t NewLocaleID, uint16_t NewUserMajorVersion,
                    uint16_t NewUserMinorVersion, bool NewEncrypted, const TDigestBytes& NewDigest,
                    const std::string& NewDescription, int32_t NewIndexPageSize,
                    int32_t NewBlobBlockSize, int32_t NewLastAutoIncID);
  bool HeaderIsDirty() const { return FHeader.IsDirty; }
  void MarkHeaderDirty() { FHeader.IsDirty = true; }

  int32_t RecordCount() const { return FHeader.RecordCount; }
  void SetRecordCount(int32_t Value);
  void IncRecordCount();
  void DecRecordCount();
  uint16_t FieldCount() const { return FHeader.FieldCount; }
  uint16_t BlobFieldCount() const { return FHeader.BlobFieldCount; }
  uint16_t RecordLength() const { return FHeader.RecordLength; }
  int32_t BlobBlockSize() const { return FHeader.BlobBlockSize; }
  int32_t IndexPageSize() const { return FHeader.IndexPageSize; }
  int32_t LocaleID() const { return FHeader.LocaleID; }
  uint16_t UserMajorVersion() const { return FHeader.UserMajorVersion; }
  uint16_t UserMinorVersion() const { return FHeader.UserMinorVersion; }
  uint8_t VersionNum() const { return FHeader.VersionNum; }
  const std::string& Description() const { return FHeader.Description; }
  bool Encrypted() const { return FHeader.Encrypted; }
  // An ordinary date-time (days since 1899-12-30) of the last header write.
  double LastUpdated() const { return FHeader.LastUpdated + kLastUpdatedBias; }

  // Counters. Setters mark the header dirty only when the value changes; the "next"
  // operations advance (2147483647 wraps to 1) and mark it dirty.
  int32_t NextFreeRecord() const { return FHeader.NextFreeRecord; }
  // The slot the next append uses: the head of the free chain, else the slot past the end.
  int32_t GetNextFreeRecord() const;
  void SetNextFreeRecord(int32_t Value);
  int32_t NextEndingRecord() const { return FHeader.NextEndingRecord; }
  int32_t LastRecordID() const { return FHeader.LastRecordID; }
  void SetLastRecordID(int32_t Value);
  int32_t NextRecordID();
  int32_t LastAutoIncID() const { return FHeader.LastAutoIncID; }
  void SetLastAutoIncID(int32_t Value);
  int32_t LastBlobSignature() const { return FHeader.LastBlobSignature; }
  void SetLastBlobSignature(int32_t Value);
  int32_t NextBlobSignature();

  // Field definitions. Positions are 1..FieldCount; 65535 and 65534 answer the pseudo-fields
  // "RecordID" and "RecordHash". Every look-up returns nullptr when nothing matches (a position
  // out of range included); the by-number and by-name look-ups set FieldPos.
  TFieldDefinition* GetFieldDefinitionByPos(uint16_t FieldIndex);
  TFieldDefinition* GetFieldDefinitionByNumber(uint16_t FieldNum);
  TFieldDefinition* GetFieldDefinitionByName(const std::string& NameOfField);
  // 65535, 65534, the position of the named field, or 0.
  uint16_t GetFieldNumber(const std::string& NameOfField);
  // Copies FieldNum, FieldName, SubType, Description, Required, Minimum, Maximum and Default;
  // the definitions are then written by the next WriteFieldDefinitions. False for a bad position.
  bool UpdateFieldDefinitionByPos(uint16_t FieldIndex, const TFieldDefinition& Buffer);
  const std::vector<TFieldDefinition>& FieldDefinitions() const { return FFieldDefinitions; }
  bool FieldsAreDirty() const { return FFieldsAreDirty; }

  // Used when a table is created: the definitions with their DataSize and Offset; raises 9498
  // past 128 BLOB fields and 9477 for a record longer than 65534 bytes. Marks header and
  // definitions dirty.
  void SetFieldDefinitions(const std::vector<TFieldDefinition>& Definitions);
  void ReadFieldDefinitions();
  bool WriteFieldDefinitions();

  // The record rules over this table's definitions.
  TRecordFormat RecordFormat() const;
  // Fields by position (or pseudo-field number) on a caller's record buffer; 9985 for an
  // unknown field.
  bool GetPhysicalField(uint16_t FieldNum, const uint8_t* RecordBuffer, uint8_t* FieldBuffer,
                        bool* IsBlank);
  void PutPhysicalField(uint16_t FieldNum, uint8_t* RecordBuffer, const uint8_t* FieldBuffer,
                        bool BlobEmpty);
  // Raises 9732, 9730 or 9731 with the field, table and database names.
  void CheckRecordValidity(const uint8_t* RecordBuffer);
  // MD5 of the record bytes from offset 25 to the end; with BLOB fields, of a copy without them.
  TMD5Digest CalcRecordHash(const uint8_t* RecordBuffer) const;

  [[noreturn]] void RaiseDataError(uint16_t code, const std::string& field_name = {}) const;

 private:
  void ResetDefinitions(uint16_t count);

  TDataHeader FHeader;
  bool FFieldsAreDirty = false;
  std::vector<TFieldDefinition> FFieldDefinitions;
  TFieldDefinition FRecordIDField;
  TFieldDefinition FRecordHashField;
};

// The free-slot chain (last in, first out).
//
// AllocateRecordSlot takes the head of the chain, or a new slot past the end, and returns it
// held in *Record (the caller stores the record and puts it back); false when change detection
// on the way asked the caller to start over. A chain head that is not a deleted slot raises
// 8962 instead of overwriting a live record.
bool AllocateRecordSlot(TDataFile* DataFile, TDataCursor* DataCursor, TRecord** Record);
// Marks the slot deleted and, unless cached updates are active, pushes it on the chain.
void FreeRecordSlot(TDataFile* DataFile, TRecord* Record, bool CachedUpdates);

}  // namespace kura
