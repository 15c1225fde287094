#include "engine/format/index_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/data_engine.h"
#include "engine/core/error_codes.h"
#include "engine/format/data_file.h"
#include "engine/format/index_key.h"
#include "engine/format/index_page.h"
#include "engine/format/text_index_params.h"
#include "engine/md5.h"
#include "platform/ansi_text.h"

namespace kura {

namespace {

constexpr int32_t kMinIndexPageSize = 1024;
constexpr int32_t kMaxIndexPageSize = 16384;
constexpr const char* kPrimaryIndexName = "Primary";

TDigestBytes DigestBytes(const TMD5Digest& digest) {
  TDigestBytes bytes;
  digest.ToBytes(bytes.data());
  return bytes;
}

bool SameName(const std::string& a, const std::string& b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

// The first character a field or index name may start with.
bool ValidNameStart(const std::string& name) {
  return !name.empty() && IsValidFieldNameStart(static_cast<uint8_t>(name[0]));
}

}  // namespace

TIndexFile::TIndexFile(TBufferedFileOwner* owner) : TBufferedFile(owner) {}

TIndexFile::~TIndexFile() = default;

[[noreturn]] void TIndexFile::RaiseIndexError(uint16_t code, const std::string& index_name,
                                              const std::string& field_name) const {
  TErrorContext context = ErrorContext();
  context.index_name = index_name;
  context.field_name = field_name;
  FDataEngine->RaiseError(code, context);
}

void TIndexFile::RaiseCorrupt() const { RaiseIndexError(KURA_INDEXCORRUPT); }

void TIndexFile::ResetState() {
  FHeader = TIndexHeader();
  FDefinitions.fill(TIndexDefinition());
  FDefinitionsAreDirty = false;
}

// The page size sizes every page buffer and read window, so a value outside the format's range
// is refused before any page is touched.
void TIndexFile::CheckPageSize() const {
  int32_t size = FDataFile != nullptr ? FDataFile->IndexPageSize() : 0;
  if (size < kMinIndexPageSize || size > kMaxIndexPageSize) RaiseIndexError(KURA_HEADERCORRUPT);
}

// --- Opening, creating, closing ----------------------------------------------------------------

void TIndexFile::CreateFile() {
  CheckPageSize();
  TBufferedFile::CreateFile();
  ResetState();
  FHeader.VersionNum = kIndexFileVersion;
  FHeader.FileSignature = DigestBytes(FDataEngine->SignatureDigest());
  FHeader.NextEndingPage = 1;
  FHeader.IsDirty = true;
  InitializeBuffers();
}

void TIndexFile::OpenFile() {
  CheckPageSize();
  TBufferedFile::OpenFile();
  ResetState();
  ReadHeader();
  if (FHeader.VersionNum != kIndexFileVersion) {
    RaiseIndexError(FHeader.VersionNum < 7 ? KURA_OLDVERSION : KURA_BADSIGNATURE);
  }
  if (FHeader.FileSignature != DigestBytes(FDataEngine->SignatureDigest()) &&
      FHeader.FileSignature != DigestBytes(TDataEngine::StandardSignatureDigest())) {
    RaiseIndexError(KURA_BADSIGNATURE);
  }
  if (FHeader.IndexCount > kMaxSecondaryIndexes) RaiseIndexError(KURA_HEADERCORRUPT);
  ReadIndexDefinitions();
  InitializeBuffers();
}

void TIndexFile::CloseFile() {
  FDefinitions.fill(TIndexDefinition());
  FDefinitionsAreDirty = false;
  TBufferedFile::CloseFile();
}

// --- The header --------------------------------------------------------------------------------

void TIndexFile::ReadHeader() {
  uint8_t bytes[kIndexHeaderSize];
  ReadAt(0, bytes, kIndexHeaderSize);
  if (Encrypted()) FDataTable->Decrypt(bytes, kIndexHeaderSize);
  FHeader = TIndexHeader::Decode(bytes);
  FHeader.IsDirty = false;
}

bool TIndexFile::WriteHeader(bool ForceHeader) {
  if (!ForceHeader && !FHeader.IsDirty) return false;
  FHeader.UpdateStamp = NextCounterValue(FHeader.UpdateStamp);
  uint8_t bytes[kIndexHeaderSize];
  FHeader.Encode(bytes);  // with the modified flag as it stands
  if (Encrypted()) FDataTable->Encrypt(bytes, kIndexHeaderSize);
  WriteAt(0, bytes, kIndexHeaderSize);
  FDataTable->MarkWrittenTo();
  FHeader.IsDirty = false;
  return true;
}

void TIndexFile::UpdateHeaderStamp() {
  FHeader.UpdateStamp = NextCounterValue(FHeader.UpdateStamp);
  FHeader.IsDirty = true;
  FDataTable->MarkWrittenTo();
}

void TIndexFile::ClearHeader() {
  TBufferedFile::ClearHeader();
  FHeader.VersionNum = kIndexFileVersion;
  FHeader.UpdateStamp = 0;
  FHeader.NextEndingPage = 1;
  FHeader.NextFreePage = 0;
  FHeader.RootPages.fill(0);
  FHeader.DataRootPages.fill(0);
  FHeader.IsDirty = true;
}

bool TIndexFile::CheckForChanges() {
  int32_t stamp = FHeader.UpdateStamp;
  ReadHeader();
  return FHeader.UpdateStamp != stamp;
}

void TIndexFile::GetHeader(uint8_t Header[kIndexHeaderSize]) const { FHeader.Encode(Header); }

void TIndexFile::SetIndexCount(uint8_t Value) {
  if (FHeader.IndexCount == Value) return;
  FHeader.IndexCount = Value;
  MarkHeaderDirty();
}

bool TIndexFile::ValidPageNumber(int32_t page) const {
  return page == 0 || (FHeader.NextEndingPage > 1 && page >= 1 && page < FHeader.NextEndingPage);
}

void TIndexFile::CheckHeader() {
  auto fail = [this] { RaiseIndexError(KURA_HEADERCORRUPT); };
  // The page count must be one the file holds (a longer file is harmless).
  if (FHeader.NextEndingPage < 1 ||
      GetSize() < HeaderSize() + static_cast<int64_t>(IOBlocksUsed()) * IOBlockSize()) {
    fail();
  }
  if (!ValidPageNumber(FHeader.NextFreePage)) fail();
  if (FDataFile == nullptr) fail();
  const int64_t buffer_size = BufferSize();

  // The key fields of a slot, walked up to the first 0 entry: every later entry must be 0 too,
  // and the non-zero entries must be exactly the declared key fields.
  auto key_fields = [&](const TIndexDefinition& d, bool text_index) {
    size_t used = 0;
    while (used < kMaxKeyFields && d.KeyFields[used] != 0) ++used;
    for (size_t i = used; i < kMaxKeyFields; ++i) {
      if (d.KeyFields[i] != 0) fail();
    }
    if (used != d.KeyFieldCount) fail();
    uint32_t total = 0;
    for (size_t i = 0; i < used; ++i) {
      const TFieldDefinition* field = FDataFile->GetFieldDefinitionByPos(d.KeyFields[i]);
      if (field == nullptr) fail();
      if (text_index) {
        bool memo = field->DataType == dtBlob && field->SubType == fsMemo;
        if (field->DataType != dtString && !memo) fail();
      } else if (field->DataType == dtBlob) {
        fail();
      }
      total += KeyValueSize(*field) + 1u;
    }
    return total;
  };

  for (int j = 0; j <= FHeader.IndexCount; ++j) {
    const TIndexDefinition& d = FDefinitions[j];
    if (j > 0) {
      if (!ValidNameStart(d.IndexName) || d.IndexName.size() > kIndexNameLength) fail();
      for (int k = 1; k <= FHeader.IndexCount; ++k) {
        if (k != j && SameName(FDefinitions[k].IndexName, d.IndexName)) fail();
      }
    } else if (!d.IndexName.empty() || !d.KeyUnique || d.KeyFields[0] == 0) {
      fail();
    }
    if (d.KeyFieldCount < 1 || d.KeyFieldCount > kMaxKeyFields) fail();
    uint32_t total = key_fields(d, false);
    if (total < 1 || total > kMaxKeySize || static_cast<int64_t>(total) * 3 > buffer_size) fail();
    // Pages are unpacked with the stored key size: it must be the size the fields give.
    if (d.KeySize != total + (d.KeyUnique ? 0 : kRecordIDSuffixSize)) fail();
    if (!ValidPageNumber(FHeader.RootPages[j]) || !ValidPageNumber(FHeader.DataRootPages[j])) {
      fail();
    }
  }

  const TIndexDefinition& text = FDefinitions[kTextIndexPos];
  if (!SameName(text.IndexName, kTextIndexName) || text.KeySize != kTextIndexKeySize ||
      text.KeyCompressionType != icFull || !text.NoKeyStatistics) {
    fail();
  }
  key_fields(text, true);
  if (!ValidPageNumber(FHeader.RootPages[kTextIndexPos]) ||
      !ValidPageNumber(FHeader.DataRootPages[kTextIndexPos])) {
    fail();
  }
}

// --- Block parameters --------------------------------------------------------------------------

std::unique_ptr<TBuffer> TIndexFile::NewBuffer() { return std::make_unique<TPage>(this); }

int32_t TIndexFile::IOBlockSize() const {
  return FDataFile != nullptr ? FDataFile->IndexPageSize() : 0;
}

int32_t TIndexFile::BufferSize() const {
  return std::max<int32_t>(IOBlockSize() - static_cast<int32_t>(kPageHeaderSize), 0);
}

void TIndexFile::CheckFileLimits() {
  if (GetFileSize() > FDataEngine->MaximumFileSize()) RaiseIndexError(KURA_TABLEFULL);
}

void TIndexFile::IncBlocksUsed() {
  ++FHeader.NextEndingPage;
  MarkHeaderDirty();
}

int32_t TIndexFile::GetMaxBufferCount() const {
  int32_t maximum_count = FDataEngine->MaxIndexBufferCount();
  int32_t count =
      BufferSize() == 0 ? maximum_count : FDataEngine->MaxIndexBufferSize() / (BufferSize() + 64);
  return std::max(std::min(count, maximum_count), 1);
}

bool TIndexFile::GetPage(TDataCursor* DataCursor, int32_t DefinitionPos, int32_t PageNum,
                         TPage** Page) {
  TBuffer* buffer = nullptr;
  bool got = GetBuffer(DataCursor, DefinitionPos, PageNum, false, 0, &buffer);
  *Page = static_cast<TPage*>(buffer);
  return got;
}

void TIndexFile::PutPage(TPage* Page) { PutBuffer(Page); }

// --- Free pages --------------------------------------------------------------------------------

bool TIndexFile::AllocatePage(TDataCursor* DataCursor, int32_t DefinitionPos, TPage** Page) {
  *Page = nullptr;
  const int32_t number = GetNextFreePageNumber();
  const bool from_chain = FHeader.NextFreePage != 0;
  TPage* page = nullptr;
  if (!GetPage(DataCursor, DefinitionPos, number, &page)) return false;
  if (from_chain) {
    int32_t next = page->RightNumber();
    if (next == number || !ValidPageNumber(next)) {
      PutPage(page);
      RaiseCorrupt();
    }
    SetNextFreePageNumber(next);
  }
  page->Initialize(DefinitionPos);
  page->SetDirty(true);
  *Page = page;
  return true;
}

void TIndexFile::ReleasePage(TPage* Page) {
  Page->SetRightNumber(FHeader.NextFreePage);
  Page->ClearKeys();
  SetNextFreePageNumber(Page->Number());
}

// --- Text-index parameters ---------------------------------------------------------------------

bool TIndexFile::ReadTextIndexParams(TDataCursor* DataCursor, TTextIndexParams* Params) {
  int32_t number = FHeader.DataRootPages[kTextIndexPos];
  if (number == 0) {
    *Params = DefaultTextIndexParams();
    return true;
  }
  // The chain is copied page by page as the stream asks for it; a page visited twice or more
  // pages than the file has mean a damaged chain.
  std::vector<std::vector<uint8_t>> areas;
  std::vector<int32_t> visited;
  bool changed = false;
  auto area = [&](size_t index) -> const uint8_t* {
    while (areas.size() <= index) {
      if (changed || number == 0) return nullptr;
      if (!ValidPageNumber(number) ||
          std::find(visited.begin(), visited.end(), number) != visited.end()) {
        RaiseCorrupt();
      }
      visited.push_back(number);
      TPage* page = nullptr;
      if (!GetPage(DataCursor, kTextIndexPos, number, &page)) {
        changed = true;
        return nullptr;
      }
      const TPage* read = page;
      bool parameter_page = read->PageType() == ptParameter;
      if (parameter_page) {
        areas.emplace_back(read->RawData(), read->RawData() + read->RawSize());
        areas.back().resize(static_cast<size_t>(BufferSize()), 0);
        number = read->RightNumber();
      }
      PutPage(page);
      if (!parameter_page) RaiseCorrupt();
    }
    return areas[index].data();
  };
  TTextIndexParams params;
  bool ok = UnpackTextIndexParams(static_cast<size_t>(BufferSize()), area, &params);
  if (changed) return false;
  if (!ok) RaiseCorrupt();
  *Params = std::move(params);
  return true;
}

bool TIndexFile::WriteTextIndexParams(TDataCursor* DataCursor, const TTextIndexParams& Params) {
  std::vector<std::vector<uint8_t>> areas;
  if (!PackTextIndexParams(Params, static_cast<size_t>(BufferSize()), &areas)) {
    RaiseIndexError(KURA_INDEXLIMIT, kTextIndexName);
  }
  TPage* previous = nullptr;
  struct Release {
    TIndexFile* file;
    TPage** page;
    ~Release() {
      if (*page != nullptr) file->PutPage(*page);
    }
  } release{this, &previous};
  std::vector<int32_t> visited;
  for (size_t i = 0; i < areas.size(); ++i) {
    int32_t number = i == 0 ? FHeader.DataRootPages[kTextIndexPos] : previous->RightNumber();
    TPage* page = nullptr;
    if (number != 0) {
      if (!ValidPageNumber(number) ||
          std::find(visited.begin(), visited.end(), number) != visited.end()) {
        RaiseCorrupt();
      }
      if (!GetPage(DataCursor, kTextIndexPos, number, &page)) return false;
      if (page->PageType() != ptParameter) {
        PutPage(page);
        RaiseCorrupt();
      }
    } else {
      if (!AllocatePage(DataCursor, kTextIndexPos, &page)) return false;
      page->SetPageType(ptParameter);
      page->SetRightNumber(0);
      if (i == 0) {
        SetDataRootPageNumber(kTextIndexPos, page->Number());
      } else {
        previous->SetRightNumber(page->Number());
      }
    }
    visited.push_back(page->Number());
    page->AllocateBuffer();
    std::memcpy(page->RawData(), areas[i].data(), std::min(areas[i].size(), page->RawSize()));
    if (previous != nullptr) PutPage(previous);
    previous = page;
  }
  return true;
}

// --- Roots and the free chain ------------------------------------------------------------------

int32_t TIndexFile::GetRootPageNumber(int32_t IndexPos) const {
  return IndexPos >= 0 && IndexPos < 32 ? FHeader.RootPages[IndexPos] : 0;
}

void TIndexFile::SetRootPageNumber(int32_t IndexPos, int32_t Value) {
  if (IndexPos < 0 || IndexPos >= 32 || FHeader.RootPages[IndexPos] == Value) return;
  FHeader.RootPages[IndexPos] = Value;
  MarkHeaderDirty();
}

int32_t TIndexFile::GetDataRootPageNumber(int32_t IndexPos) const {
  return IndexPos >= 0 && IndexPos < 32 ? FHeader.DataRootPages[IndexPos] : 0;
}

void TIndexFile::SetDataRootPageNumber(int32_t IndexPos, int32_t Value) {
  if (IndexPos < 0 || IndexPos >= 32 || FHeader.DataRootPages[IndexPos] == Value) return;
  FHeader.DataRootPages[IndexPos] = Value;
  MarkHeaderDirty();
}

int32_t TIndexFile::GetNextFreePageNumber() const {
  return FHeader.NextFreePage != 0 ? FHeader.NextFreePage : FHeader.NextEndingPage;
}

void TIndexFile::SetNextFreePageNumber(int32_t Value) {
  if (FHeader.NextFreePage == Value) return;
  FHeader.NextFreePage = Value;
  MarkHeaderDirty();
}

// --- Definitions -------------------------------------------------------------------------------

const TIndexDefinition* TIndexFile::GetIndexDefinition(int32_t IndexPos) const {
  return IndexPos >= 0 && IndexPos < 32 ? &FDefinitions[IndexPos] : nullptr;
}

void TIndexFile::SetIndexDefinition(int32_t IndexPos, const TIndexDefinition& Buffer) {
  if (IndexPos < 0 || IndexPos >= 32) return;
  TIndexDefinition& d = FDefinitions[IndexPos];
  d.IndexName = Buffer.IndexName.substr(0, kIndexNameLength);
  d.KeySize = Buffer.KeySize;
  d.KeyDescending = Buffer.KeyDescending;
  d.KeyCaseInsensitive = Buffer.KeyCaseInsensitive;
  d.KeyUnique = Buffer.KeyUnique;
  d.KeyCompressionType = Buffer.KeyCompressionType;
  d.NoKeyStatistics = Buffer.NoKeyStatistics;
  d.KeyFieldCount = Buffer.KeyFieldCount;
  d.KeyFields = Buffer.KeyFields;
  d.KeyDescendingFields = Buffer.KeyDescendingFields;
  d.IndexChanged = false;
  d.RemoveIndex = false;
  FHeader.RootPages[IndexPos] = 0;
  MarkHeaderDirty();
  FDefinitionsAreDirty = true;
}

void TIndexFile::UpdateIndexDefinition(int32_t IndexPos, const TIndexDefinition& Buffer) {
  if (IndexPos < 0 || IndexPos >= 32) return;
  TIndexDefinition& d = FDefinitions[IndexPos];
  d.IndexName = Buffer.IndexName.substr(0, kIndexNameLength);
  d.KeyFields = Buffer.KeyFields;
  d.KeyDescendingFields = Buffer.KeyDescendingFields;
  FDefinitionsAreDirty = true;
}

void TIndexFile::CheckKeyFields(const TIndexDefinition& definition,
                                const std::string& index_name) const {
  if (FDataFile == nullptr) return;
  for (size_t i = 0; i < definition.KeyFieldCount && i < kMaxKeyFields; ++i) {
    const TFieldDefinition* field = FDataFile->GetFieldDefinitionByPos(definition.KeyFields[i]);
    if (field != nullptr && field->DataType == dtBlob) {
      RaiseIndexError(KURA_SEARCHCOLREQD, index_name, field->FieldName);
    }
  }
}

void TIndexFile::AddPrimaryIndex(const TIndexDefinition& NewIndexDefinition) {
  const TIndexDefinition& current = FDefinitions[kPrimaryIndexPos];
  if (current.KeyFieldCount > 0 && !IsAutoPrimaryIndex(current)) {
    RaiseIndexError(KURA_PRIMARYKEYREDEFINE, kPrimaryIndexName);
  }
  if (NewIndexDefinition.KeyFieldCount > kMaxKeyFields) {
    RaiseIndexError(KURA_INDEXLIMIT, kPrimaryIndexName);
  }
  CheckKeyFields(NewIndexDefinition, kPrimaryIndexName);
  TIndexDefinition d = NewIndexDefinition;
  d.IndexName.clear();
  d.KeyUnique = true;
  SetIndexDefinition(kPrimaryIndexPos, d);
  FHeader.DataRootPages[kPrimaryIndexPos] = 0;
}

void TIndexFile::AddSecondaryIndex(const TIndexDefinition& NewIndexDefinition) {
  const std::string& name = NewIndexDefinition.IndexName;
  if (FHeader.IndexCount >= kMaxSecondaryIndexes ||
      NewIndexDefinition.KeyFieldCount > kMaxKeyFields) {
    RaiseIndexError(KURA_INDEXLIMIT, name);
  }
  if (name.empty()) RaiseIndexError(KURA_INDEXNAMEREQUIRED);
  // A longer name would be cut when stored and could then equal another index's name.
  if (!ValidNameStart(name) || name.size() > kIndexNameLength) {
    RaiseIndexError(KURA_INVALIDINDEXNAME, name);
  }
  for (int k = 1; k <= FHeader.IndexCount; ++k) {
    if (SameName(FDefinitions[k].IndexName, name)) RaiseIndexError(KURA_INDEXEXISTS, name);
  }
  CheckKeyFields(NewIndexDefinition, name);
  ++FHeader.IndexCount;
  SetIndexDefinition(FHeader.IndexCount, NewIndexDefinition);
  FHeader.DataRootPages[FHeader.IndexCount] = 0;
}

void TIndexFile::DeleteIndex(int32_t IndexPos, bool AdjustIndexDefinitions) {
  if (IndexPos < 0 || IndexPos >= 32) return;
  const bool secondary = IndexPos >= 1 && IndexPos <= FHeader.IndexCount;
  if (secondary && AdjustIndexDefinitions) {
    for (int32_t j = IndexPos; j < kMaxSecondaryIndexes; ++j) {
      FDefinitions[j] = FDefinitions[j + 1];
      FHeader.RootPages[j] = FHeader.RootPages[j + 1];
      FHeader.DataRootPages[j] = FHeader.DataRootPages[j + 1];
    }
    FDefinitions[kMaxSecondaryIndexes] = TIndexDefinition();
    FHeader.RootPages[kMaxSecondaryIndexes] = 0;
    FHeader.DataRootPages[kMaxSecondaryIndexes] = 0;
    --FHeader.IndexCount;
  } else {
    FHeader.RootPages[IndexPos] = 0;
    if (IndexPos == kPrimaryIndexPos) FDefinitions[kPrimaryIndexPos] = AutoPrimaryIndexDefinition();
  }
  MarkHeaderDirty();
  FDefinitionsAreDirty = true;
}

bool TIndexFile::IndexExists(const std::string& NewName) const {
  for (int k = 0; k <= FHeader.IndexCount && k <= kMaxSecondaryIndexes; ++k) {
    if (SameName(FDefinitions[k].IndexName, NewName)) return true;
  }
  return false;
}

void TIndexFile::ReadIndexDefinitions() {
  std::vector<uint8_t> bytes(kIndexDefinitionsAreaSize);
  ReadAt(kIndexHeaderSize, bytes.data(), static_cast<int32_t>(bytes.size()));
  if (Encrypted()) FDataTable->Decrypt(bytes.data(), bytes.size());
  FDefinitions.fill(TIndexDefinition());
  const int count = std::min<int>(FHeader.IndexCount, kMaxSecondaryIndexes);
  for (int j = 0; j <= count; ++j) {
    FDefinitions[j] = TIndexDefinition::Decode(bytes.data() + j * kIndexDefinitionSize);
  }
  FDefinitions[kTextIndexPos] =
      TIndexDefinition::Decode(bytes.data() + kTextIndexPos * kIndexDefinitionSize);
  FDefinitionsAreDirty = false;
}

bool TIndexFile::WriteIndexDefinitions(bool Force) {
  if (!Force && !FDefinitionsAreDirty) return false;
  std::vector<uint8_t> bytes(kIndexDefinitionsAreaSize, 0);
  const int count = std::min<int>(FHeader.IndexCount, kMaxSecondaryIndexes);
  for (int j = 0; j <= count; ++j) FDefinitions[j].Encode(bytes.data() + j * kIndexDefinitionSize);
  FDefinitions[kTextIndexPos].Encode(bytes.data() + kTextIndexPos * kIndexDefinitionSize);
  if (Encrypted()) FDataTable->Encrypt(bytes.data(), bytes.size());
  WriteAt(kIndexHeaderSize, bytes.data(), static_cast<int32_t>(bytes.size()));
  FlushIfForced();
  FDataTable->MarkWrittenTo();
  FDefinitionsAreDirty = false;
  return true;
}

int32_t GetMaxPageSize(uint32_t LargestKeySize) {
  if (LargestKeySize <= 256) return 4096;
  if (LargestKeySize > 512) return 16384;
  return 8192;
}

}  // namespace kura
