#include "engine/format/data_file.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/error_codes.h"
#include "engine/format/date_time.h"
#include "engine/format/field_codec.h"
#include "engine/format/field_literals.h"
#include "engine/format/record.h"
#include "engine/md5.h"
#include "platform/ansi_text.h"
#include "platform/clock.h"

namespace kura {

namespace {

std::string TrimControls(const std::string& s) {
  size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}

TDigestBytes DigestBytes(const TMD5Digest& digest) {
  TDigestBytes bytes;
  digest.ToBytes(bytes.data());
  return bytes;
}

}  // namespace

TDataFile::TDataFile(TBufferedFileOwner* owner)
    : TBufferedFile(owner),
      FRecordIDField(RecordIDFieldDefinition()),
      FRecordHashField(RecordHashFieldDefinition()) {}

TDataFile::~TDataFile() = default;

[[noreturn]] void TDataFile::RaiseDataError(uint16_t code, const std::string& field_name) const {
  TErrorContext context = ErrorContext();
  context.field_name = field_name;
  FDataEngine->RaiseError(code, context);
}

void TDataFile::RaiseCorrupt() const { RaiseDataError(KURA_FILECORRUPT); }

void TDataFile::ResetDefinitions(uint16_t count) {
  FFieldDefinitions.assign(count, TFieldDefinition());
  FFieldsAreDirty = false;
}

// --- Opening, creating, closing ----------------------------------------------------------------

void TDataFile::CreateFile() {
  TBufferedFile::CreateFile();
  FHeader = TDataHeader();
  ResetDefinitions(0);
  FHeader.VersionNum = kDataFileVersion;
  FHeader.FileSignature = DigestBytes(FDataEngine->SignatureDigest());
  FHeader.NextEndingRecord = 1;
  FHeader.IsDirty = true;
  InitializeBuffers();
}

void TDataFile::OpenFile() {
  TBufferedFile::OpenFile();
  FHeader = TDataHeader();
  ResetDefinitions(0);
  ReadHeader();
  if (FHeader.VersionNum != kDataFileVersion) {
    RaiseDataError(FHeader.VersionNum < 7 ? KURA_OLDVERSION : KURA_BADSIGNATURE);
  }
  if (FHeader.FileSignature != DigestBytes(FDataEngine->SignatureDigest()) &&
      FHeader.FileSignature != DigestBytes(TDataEngine::StandardSignatureDigest())) {
    RaiseDataError(KURA_BADSIGNATURE);
  }
  if (FHeader.FieldCount > kMaxFieldCount) RaiseDataError(KURA_HEADERCORRUPT);
  if (FHeader.Encrypted) FDataTable->VerifyDigest(FHeader.Digest.data());
  ResetDefinitions(FHeader.FieldCount);
  ReadFieldDefinitions();
  // The derived sizes are recomputed and the record header and every field must lie inside the
  // record, so that no record access can leave its buffer whatever the stored bytes say.
  if (FHeader.RecordLength < kRecordHeaderSize) RaiseDataError(KURA_HEADERCORRUPT);
  for (TFieldDefinition& d : FFieldDefinitions) {
    PrepareFieldDefinition(&d);
    if (!FieldFitsRecord(d, FHeader.RecordLength)) RaiseDataError(KURA_HEADERCORRUPT);
  }
  InitializeBuffers();
}

void TDataFile::CloseFile() {
  ResetDefinitions(0);
  TBufferedFile::CloseFile();
}

// --- The header --------------------------------------------------------------------------------

void TDataFile::ReadHeader() {
  uint8_t bytes[kDataHeaderSize];
  ReadAt(0, bytes, kDataHeaderSize);
  FHeader = TDataHeader::Decode(bytes);
  FHeader.IsDirty = false;
}

bool TDataFile::WriteHeader(bool ForceHeader) {
  if (!ForceHeader && !FHeader.IsDirty) return false;
  FHeader.UpdateStamp = NextCounterValue(FHeader.UpdateStamp);
  platform::LocalDateTime now = platform::LocalNow();
  int32_t day = kDayOf18991230, ms = 0;
  TryEncodeDate(now.year, now.month, now.day, &day);
  TryEncodeTime(now.hour, now.minute, now.second, now.millisecond, &ms);
  FHeader.LastUpdated = DateTimeFromParts(day, ms) - kLastUpdatedBias;
  uint8_t bytes[kDataHeaderSize];
  FHeader.Encode(bytes);  // with the modified flag as it stands, as other writers store it
  WriteAt(0, bytes, kDataHeaderSize);
  FDataTable->MarkWrittenTo();
  FHeader.IsDirty = false;
  return true;
}

void TDataFile::UpdateHeaderStamp() {
  FHeader.UpdateStamp = NextCounterValue(FHeader.UpdateStamp);
  FHeader.IsDirty = true;
  FDataTable->MarkWrittenTo();
}

void TDataFile::ClearHeader() {
  TBufferedFile::ClearHeader();
  FHeader.UpdateStamp = 0;
  FHeader.NextFreeRecord = 0;
  FHeader.NextEndingRecord = 1;
  FHeader.LastRecordID = 0;
  FHeader.LastAutoIncID = 0;
  FHeader.RecordCount = 0;
  FHeader.IsDirty = true;
}

bool TDataFile::CheckForChanges() {
  int32_t stamp = FHeader.UpdateStamp;
  ReadHeader();
  return FHeader.UpdateStamp != stamp;
}

void TDataFile::GetHeader(uint8_t Header[kDataHeaderSize]) const { FHeader.Encode(Header); }

void TDataFile::UpdateHeader(int32_t NewLocaleID, uint16_t NewUserMajorVersion,
                             uint16_t NewUserMinorVersion, bool NewEncrypted,
                             const TDigestBytes& NewDigest, const std::string& NewDescription,
                             int32_t NewIndexPageSize, int32_t NewBlobBlockSize,
                             int32_t NewLastAutoIncID) {
  FHeader.LocaleID = NewLocaleID;
  FHeader.UserMajorVersion = NewUserMajorVersion;
  FHeader.UserMinorVersion = NewUserMinorVersion;
  FHeader.Encrypted = NewEncrypted;
  FHeader.Digest = NewDigest;
  FHeader.Description = NewDescription.substr(0, kFieldTextLength);
  FHeader.IndexPageSize = NewIndexPageSize;
  FHeader.BlobBlockSize = NewBlobBlockSize;
  FHeader.LastAutoIncID = NewLastAutoIncID;
  FHeader.IsDirty = true;
}

void TDataFile::CheckHeader() {
  if (!FDataEngine->IsValidLocale(FHeader.LocaleID)) RaiseDataError(KURA_CANNOTLOADLDDRV);
  const size_t count = FFieldDefinitions.size();
  std::vector<std::string> names(count), trimmed(count);
  for (size_t i = 0; i < count; ++i) {
    names[i] = platform::AnsiUpperCase(FFieldDefinitions[i].FieldName);
    trimmed[i] = TrimControls(names[i]);
  }
  uint64_t expected = kRecordHeaderSize;
  for (size_t i = 0; i < count; ++i) {
    TFieldDefinition& d = FFieldDefinitions[i];
    PrepareFieldDefinition(&d);
    if (d.FieldName.empty() || d.FieldName.size() > kFieldNameLength ||
        !IsValidFieldNameStart(static_cast<uint8_t>(d.FieldName[0]))) {
      RaiseDataError(KURA_HEADERCORRUPT);
    }
    for (size_t j = 0; j < count; ++j) {
      if (j == i) continue;
      if (FFieldDefinitions[j].FieldNum == d.FieldNum || trimmed[j] == names[i]) {
        RaiseDataError(KURA_HEADERCORRUPT);
      }
    }
    if (d.DataType == 0) RaiseDataError(KURA_HEADERCORRUPT);
    if (d.Length > MaxFieldLength(d.DataType, d.SubType)) RaiseDataError(KURA_HEADERCORRUPT);
    if (!IsValidFieldLiteral(d.DataType, d.Default) ||
        !IsValidFieldLiteral(d.DataType, d.Minimum) ||
        !IsValidFieldLiteral(d.DataType, d.Maximum)) {
      RaiseDataError(KURA_HEADERCORRUPT);
    }
    if (d.Decimals != 0 && d.DataType != dtBCD) RaiseDataError(KURA_HEADERCORRUPT);
    if (d.Offset != expected) RaiseDataError(KURA_HEADERCORRUPT);
    expected += static_cast<uint64_t>(d.DataSize) + 1;
    if (d.FieldNum != i + 1) RaiseDataError(KURA_HEADERCORRUPT);
  }
  if ((expected + 7) / 8 * 8 != FHeader.RecordLength) RaiseDataError(KURA_HEADERCORRUPT);
  const int64_t size = GetSize();
  const int64_t header = HeaderSize();
  const int64_t length = FHeader.RecordLength;
  if (size > header && (size - header) % length != 0) RaiseDataError(KURA_HEADERCORRUPT);
  const int64_t slots = (size - header) / length;
  if (FHeader.NextEndingRecord != slots + 1) RaiseDataError(KURA_HEADERCORRUPT);
  if (FHeader.NextFreeRecord < 0 || FHeader.NextFreeRecord > slots) {
    RaiseDataError(KURA_HEADERCORRUPT);
  }
}

// --- Block parameters --------------------------------------------------------------------------

std::unique_ptr<TBuffer> TDataFile::NewBuffer() { return std::make_unique<TRecord>(this); }

void TDataFile::CheckFileLimits() {
  if (IOBlocksUsed() >= FDataEngine->MaximumNumRecords() ||
      GetFileSize() > FDataEngine->MaximumFileSize()) {
    RaiseDataError(KURA_TABLEFULL);
  }
}

void TDataFile::IncBlocksUsed() {
  ++FHeader.NextEndingRecord;
  FHeader.IsDirty = true;
}

int32_t TDataFile::GetMaxBufferCount() const {
  int32_t maximum_count = FDataEngine->MaxDataBufferCount();
  int32_t count = BufferSize() == 0 ? maximum_count
                                    : FDataEngine->MaxDataBufferSize() / (BufferSize() + 44);
  return std::max(std::min(count, maximum_count), 1);
}

int32_t TDataFile::GetDefaultReadAhead() const { return std::max(BufferCapacity() / 4, 1); }

int32_t TDataFile::GetReadAheadCount(TDataCursor* DataCursor, int Direction) {
  int32_t maximum = ReadAheadBuffers();
  int32_t estimate = FDataTable->ReadAheadEstimate(DataCursor, Direction, maximum);
  return std::clamp(estimate, 1, std::max(maximum, 1));
}

bool TDataFile::GetRecord(TDataCursor* DataCursor, int32_t RecordNum, bool ReadAhead,
                          int Direction, TRecord** Record) {
  TBuffer* buffer = nullptr;
  bool got = GetBuffer(DataCursor, 0, RecordNum, ReadAhead, Direction, &buffer);
  *Record = static_cast<TRecord*>(buffer);
  return got;
}

void TDataFile::PutRecord(TRecord* Record) { PutBuffer(Record); }

// --- Counters ----------------------------------------------------------------------------------

void TDataFile::SetRecordCount(int32_t Value) {
  if (FHeader.RecordCount == Value) return;
  FHeader.RecordCount = Value;
  FHeader.IsDirty = true;
}

void TDataFile::IncRecordCount() {
  ++FHeader.RecordCount;
  FHeader.IsDirty = true;
}

void TDataFile::DecRecordCount() {
  --FHeader.RecordCount;
  FHeader.IsDirty = true;
}

int32_t TDataFile::GetNextFreeRecord() const {
  return FHeader.NextFreeRecord != 0 ? FHeader.NextFreeRecord : FHeader.NextEndingRecord;
}

void TDataFile::SetNextFreeRecord(int32_t Value) {
  if (FHeader.NextFreeRecord == Value) return;
  FHeader.NextFreeRecord = Value;
  FHeader.IsDirty = true;
}

void TDataFile::SetLastRecordID(int32_t Value) {
  if (FHeader.LastRecordID == Value) return;
  FHeader.LastRecordID = Value;
  FHeader.IsDirty = true;
}

int32_t TDataFile::NextRecordID() {
  FHeader.LastRecordID = NextCounterValue(FHeader.LastRecordID);
  FHeader.IsDirty = true;
  return FHeader.LastRecordID;
}

void TDataFile::SetLastAutoIncID(int32_t Value) {
  if (FHeader.LastAutoIncID == Value) return;
  FHeader.LastAutoIncID = Value;
  FHeader.IsDirty = true;
}

void TDataFile::SetLastBlobSignature(int32_t Value) {
  if (FHeader.LastBlobSignature == Value) return;
  FHeader.LastBlobSignature = Value;
  FHeader.IsDirty = true;
}

int32_t TDataFile::NextBlobSignature() {
  FHeader.LastBlobSignature = NextCounterValue(FHeader.LastBlobSignature);
  FHeader.IsDirty = true;
  return FHeader.LastBlobSignature;
}

// --- Field definitions -------------------------------------------------------------------------

TFieldDefinition* TDataFile::GetFieldDefinitionByPos(uint16_t FieldIndex) {
  if (FieldIndex == kRecordIDFieldNum) return &FRecordIDField;
  if (FieldIndex == kRecordHashFieldNum) return &FRecordHashField;
  if (FieldIndex == 0 || FieldIndex > FFieldDefinitions.size()) return nullptr;
  return &FFieldDefinitions[FieldIndex - 1];
}

TFieldDefinition* TDataFile::GetFieldDefinitionByNumber(uint16_t FieldNum) {
  if (FieldNum == kRecordIDFieldNum) return &FRecordIDField;
  if (FieldNum == kRecordHashFieldNum) return &FRecordHashField;
  for (size_t i = 0; i < FFieldDefinitions.size(); ++i) {
    if (FFieldDefinitions[i].FieldNum == FieldNum) {
      FFieldDefinitions[i].FieldPos = static_cast<uint16_t>(i + 1);
      return &FFieldDefinitions[i];
    }
  }
  return nullptr;
}

TFieldDefinition* TDataFile::GetFieldDefinitionByName(const std::string& NameOfField) {
  uint16_t position = GetFieldNumber(NameOfField);
  if (position == 0) return nullptr;
  TFieldDefinition* d = GetFieldDefinitionByPos(position);
  if (!d->IsPseudoField()) d->FieldPos = position;
  return d;
}

uint16_t TDataFile::GetFieldNumber(const std::string& NameOfField) {
  std::string name = platform::AnsiUpperCase(NameOfField);
  if (name == platform::AnsiUpperCase(kRecordIDFieldName)) return kRecordIDFieldNum;
  if (name == platform::AnsiUpperCase(kRecordHashFieldName)) return kRecordHashFieldNum;
  for (size_t i = 0; i < FFieldDefinitions.size(); ++i) {
    if (platform::AnsiUpperCase(FFieldDefinitions[i].FieldName) == name) {
      return static_cast<uint16_t>(i + 1);
    }
  }
  return 0;
}

bool TDataFile::UpdateFieldDefinitionByPos(uint16_t FieldIndex, const TFieldDefinition& Buffer) {
  if (FieldIndex == 0 || FieldIndex > FFieldDefinitions.size()) return false;
  TFieldDefinition& d = FFieldDefinitions[FieldIndex - 1];
  d.FieldNum = Buffer.FieldNum;
  d.FieldName = Buffer.FieldName;
  d.SubType = Buffer.SubType;
  d.Description = Buffer.Description;
  d.Required = Buffer.Required;
  d.Minimum = Buffer.Minimum;
  d.Maximum = Buffer.Maximum;
  d.Default = Buffer.Default;
  FFieldsAreDirty = true;
  return true;
}

void TDataFile::SetFieldDefinitions(const std::vector<TFieldDefinition>& Definitions) {
  if (Definitions.size() > kMaxFieldCount) RaiseDataError(KURA_FLDLIMIT);
  std::vector<TFieldDefinition> copy = Definitions;
  uint16_t blob_fields = 0;
  for (const TFieldDefinition& d : copy) {
    if (d.DataType != dtBlob) continue;
    if (blob_fields >= kMaxBlobFieldCount) RaiseDataError(KURA_BLOBLIMIT);
    ++blob_fields;
  }
  uint64_t length = ComputeRecordLength(copy.data(), copy.size());
  if (length > kMaxRecordLength) RaiseDataError(KURA_RECTOOBIG);
  FFieldDefinitions = std::move(copy);
  FHeader.FieldCount = static_cast<uint16_t>(FFieldDefinitions.size());
  FHeader.BlobFieldCount = blob_fields;
  FHeader.RecordLength = static_cast<uint16_t>(length);
  FHeader.IsDirty = true;
  FFieldsAreDirty = true;
  FreeBuffers();
  InitializeBuffers();
}

void TDataFile::ReadFieldDefinitions() {
  const size_t size = kFieldDefinitionSize * FFieldDefinitions.size();
  std::vector<uint8_t> bytes(size);
  if (size > 0) {
    ReadAt(kDataHeaderSize, bytes.data(), static_cast<int32_t>(size));
    if (FHeader.Encrypted) FDataTable->Decrypt(bytes.data(), size);
  }
  for (size_t i = 0; i < FFieldDefinitions.size(); ++i) {
    FFieldDefinitions[i] = TFieldDefinition::Decode(bytes.data() + i * kFieldDefinitionSize);
  }
  FFieldsAreDirty = false;
}

bool TDataFile::WriteFieldDefinitions() {
  if (!FFieldsAreDirty) return false;
  const size_t size = kFieldDefinitionSize * FFieldDefinitions.size();
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < FFieldDefinitions.size(); ++i) {
    FFieldDefinitions[i].Encode(bytes.data() + i * kFieldDefinitionSize);
  }
  if (size > 0) {
    if (FHeader.Encrypted) FDataTable->Encrypt(bytes.data(), size);
    WriteAt(kDataHeaderSize, bytes.data(), static_cast<int32_t>(size));
  }
  FlushIfForced();
  FDataTable->MarkWrittenTo();
  FFieldsAreDirty = false;
  return true;
}

// --- Records -----------------------------------------------------------------------------------

TRecordFormat TDataFile::RecordFormat() const {
  return TRecordFormat(FFieldDefinitions.data(), static_cast<uint16_t>(FFieldDefinitions.size()),
                       FHeader.RecordLength, FHeader.LocaleID);
}

bool TDataFile::GetPhysicalField(uint16_t FieldNum, const uint8_t* RecordBuffer,
                                 uint8_t* FieldBuffer, bool* IsBlank) {
  const TFieldDefinition* d = GetFieldDefinitionByPos(FieldNum);
  if (d == nullptr) RaiseDataError(KURA_OUTOFRANGE, std::to_string(FieldNum));
  *IsBlank = GetFieldValue(*d, RecordBuffer, FieldBuffer);
  return !*IsBlank;
}

void TDataFile::PutPhysicalField(uint16_t FieldNum, uint8_t* RecordBuffer,
                                 const uint8_t* FieldBuffer, bool BlobEmpty) {
  const TFieldDefinition* d = GetFieldDefinitionByPos(FieldNum);
  if (d == nullptr) RaiseDataError(KURA_OUTOFRANGE, std::to_string(FieldNum));
  PutFieldValue(*d, FHeader.LocaleID, RecordBuffer, FieldBuffer, BlobEmpty);
}

void TDataFile::CheckRecordValidity(const uint8_t* RecordBuffer) {
  TValidityResult result = RecordFormat().CheckRecordValidity(RecordBuffer);
  if (result.code != 0) RaiseDataError(result.code, result.field->FieldName);
}

TMD5Digest TDataFile::CalcRecordHash(const uint8_t* RecordBuffer) const {
  const size_t length = FHeader.RecordLength;
  static const uint8_t kNothing[1] = {0};
  if (length <= kRecordHeaderSize) return MD5Digest(kNothing, 0);
  if (FHeader.BlobFieldCount == 0) {
    return MD5Digest(RecordBuffer + kRecordHeaderSize, length - kRecordHeaderSize);
  }
  std::vector<uint8_t> copy(length, 0);
  for (const TFieldDefinition& d : FFieldDefinitions) {
    if (d.DataType == dtBlob || d.Hidden) continue;
    std::memcpy(copy.data() + d.Offset, RecordBuffer + d.Offset, d.DataSize + 1u);
  }
  return MD5Digest(copy.data() + kRecordHeaderSize, length - kRecordHeaderSize);
}

// --- The free-slot chain -----------------------------------------------------------------------

bool AllocateRecordSlot(TDataFile* DataFile, TDataCursor* DataCursor, TRecord** Record) {
  *Record = nullptr;
  const bool from_chain = DataFile->NextFreeRecord() != 0;
  const int32_t slot = DataFile->GetNextFreeRecord();
  TRecord* record = nullptr;
  if (!DataFile->GetRecord(DataCursor, slot, false, 0, &record)) return false;
  if (from_chain && record->Status() != kRecordDeleted) {
    DataFile->PutRecord(record);
    DataFile->RaiseCorrupt();
  }
  DataFile->SetNextFreeRecord(record->NextFreeNumber());
  record->SetOriginalNumber(slot);
  *Record = record;
  return true;
}

void FreeRecordSlot(TDataFile* DataFile, TRecord* Record, bool CachedUpdates) {
  Record->SetStatus(kRecordDeleted);
  if (CachedUpdates) return;
  Record->SetNextFreeNumber(DataFile->NextFreeRecord());
  DataFile->SetNextFreeRecord(Record->Number());
}

}  // namespace kura
