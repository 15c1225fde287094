#include "engine/maint/table_creator.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "engine/core/buffered_file_owner.h"
#include "engine/core/data_engine.h"
#include "engine/core/engine_file.h"
#include "engine/core/error_codes.h"
#include "engine/format/blob_header.h"
#include "engine/format/data_file.h"
#include "engine/format/field_literals.h"
#include "engine/format/index_file.h"
#include "engine/format/index_key.h"
#include "engine/format/page_contents.h"
#include "engine/format/record_format.h"
#include "engine/md5.h"
#include "platform/ansi_text.h"
#include "platform/path.h"

namespace kura {

namespace {

constexpr int32_t kMinIndexPageSize = 1024;
constexpr int32_t kMaxIndexPageSize = 16384;
constexpr const char* kPrimaryIndexName = "Primary";

// The owner of the files while they are made: nobody else can have the new table open (the files
// are created exclusive), so it takes no locks; nothing is enciphered.
class TCreationOwner : public TBufferedFileOwner {
 public:
  TCreationOwner(TDataEngine* engine, AnsiString table_name, AnsiString database_name)
      : engine_(engine),
        table_name_(std::move(table_name)),
        database_name_(std::move(database_name)) {}

  TDataEngine* DataEngine() const override { return engine_; }
  std::string ProperTableName() const override { return table_name_; }
  std::string ProperDatabaseName() const override { return database_name_; }
  bool ReadLockForCacheMiss(TDataCursor*) override { return false; }
  int32_t ReadAheadEstimate(TDataCursor*, int, int32_t) override { return 1; }
  bool StrictChangeDetection() const override { return false; }
  bool ForceBufferFlush() const override { return false; }
  bool InTransaction() const override { return false; }
  bool WrittenTo() const override { return written_to_; }
  void MarkWrittenTo() override { written_to_ = true; }
  bool IsEncrypted() const override { return false; }
  void VerifyDigest(const uint8_t*) override {}
  void Encrypt(uint8_t*, size_t) override {}
  void Decrypt(uint8_t*, size_t) override {}

 private:
  TDataEngine* engine_;
  AnsiString table_name_;
  AnsiString database_name_;
  bool written_to_ = false;
};

bool SameName(const AnsiString& a, const AnsiString& b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

bool ValidName(const AnsiString& name) {
  return !name.empty() && name.size() <= kFieldNameLength &&
         IsValidFieldNameStart(static_cast<uint8_t>(name[0]));
}

// Whether a sub-type belongs to a type.
bool ValidSubType(uint8_t type, uint8_t sub_type) {
  if (sub_type == fsNone) return true;
  switch (type) {
    case dtString:
      return sub_type == fsFixed || sub_type == fsWide || sub_type == fsGuid;
    case dtBlob:
      return sub_type == fsMemo || sub_type == fsFormattedMemo || sub_type == fsGraphic ||
             sub_type == fsWideMemo;
    case dtInteger:
      return sub_type == fsAutoInc;
    case dtFloat:
      return sub_type == fsCurrency;
    default:
      return false;
  }
}

bool KnownType(uint8_t type) {
  return (type >= dtString && type <= dtWord) || type == dtVarBytes || type == dtLargeInt;
}

// Everything a table is written from, checked.
struct TPreparedTable {
  std::vector<TFieldDefinition> fields;
  bool automatic_primary = true;
  TIndexDefinition primary;
  std::vector<TIndexDefinition> secondaries;
  TIndexDefinition text;
  int32_t index_page_size = 0;
  uint16_t blob_fields = 0;
};

class TTablePreparer {
 public:
  TTablePreparer(TDataEngine* engine, const AnsiString& table_name, const AnsiString& database)
      : engine_(engine), table_name_(table_name), database_(database) {}

  TPreparedTable Prepare(const TTableDescription& description);

 private:
  [[noreturn]] void Fail(uint16_t code, const AnsiString& field = {},
                         const AnsiString& index = {}) const {
    engine_->RaiseError(code, {.database_name = database_,
                               .table_name = table_name_,
                               .field_name = field,
                               .index_name = index});
  }
  void PrepareFields(const TTableDescription& description, TPreparedTable* table) const;
  void CheckField(const TFieldDefinition& field) const;
  uint16_t FieldNumber(const std::vector<TFieldDefinition>& fields, const AnsiString& name,
                       const AnsiString& index_name) const;
  // The definition of an index over the table's fields with its computed key size.
  TIndexDefinition PrepareIndex(const TIndexDescription& index, uint8_t index_pos,
                                const AnsiString& index_name, const TPreparedTable& table) const;
  uint16_t KeySizeOf(const TIndexDefinition& definition, uint8_t index_pos,
                     const AnsiString& index_name, const TPreparedTable& table) const;

  TDataEngine* engine_;
  AnsiString table_name_;
  AnsiString database_;
};

void TTablePreparer::CheckField(const TFieldDefinition& f) const {
  const AnsiString& name = f.FieldName;
  if (!KnownType(f.DataType) || !ValidSubType(f.DataType, f.SubType)) {
    Fail(KURA_INVALIDFLDTYPE, name);
  }
  const bool has_length =
      f.DataType == dtString || f.DataType == dtBytes || f.DataType == dtVarBytes;
  if (has_length) {
    uint16_t maximum = MaxFieldLength(f.DataType, f.SubType);
    if (f.Length < 1 || f.Length > maximum) Fail(KURA_INVALIDFLDTYPE, name);
    if (f.SubType == fsGuid && f.Length != 38) Fail(KURA_INVALIDFLDTYPE, name);
  } else if (f.Length != 0) {
    Fail(KURA_INVALIDFLDTYPE, name);
  }
  if (f.DataType == dtBCD ? f.Decimals > 32 : f.Decimals != 0) Fail(KURA_INVALIDFLDTYPE, name);
  if (f.CharCase > ccUpper || (f.CharCase != ccNone && f.DataType != dtString)) {
    Fail(KURA_INVALIDFLDTYPE, name);
  }
  if (f.DataType == dtBlob ? f.Compression > 9 : f.Compression != 0) {
    Fail(KURA_INVALIDFLDTYPE, name);
  }
  for (const AnsiString* literal : {&f.Default, &f.Minimum, &f.Maximum}) {
    if (literal->size() > kFieldTextLength || !IsValidFieldLiteral(f.DataType, *literal)) {
      Fail(KURA_INVALIDVCHKSTRUCT, name);
    }
  }
}

void TTablePreparer::PrepareFields(const TTableDescription& description,
                                   TPreparedTable* table) const {
  const auto& given = description.Fields;
  if (given.empty() || given.size() > kMaxFieldCount) Fail(KURA_FLDLIMIT);
  std::vector<TFieldDefinition>& fields = table->fields;
  for (size_t i = 0; i < given.size(); ++i) {
    const TFieldDefinition& g = given[i];
    if (!ValidName(g.FieldName) || SameName(g.FieldName, kRecordIDFieldName) ||
        SameName(g.FieldName, kRecordHashFieldName)) {
      Fail(KURA_INVALIDFIELDNAME, g.FieldName);
    }
    for (size_t j = 0; j < i; ++j) {
      if (SameName(given[j].FieldName, g.FieldName)) Fail(KURA_INVALIDFIELDNAME, g.FieldName);
    }
    CheckField(g);
    // Only what a table file stores; the result-set properties stay at their defaults.
    TFieldDefinition f;
    f.FieldNum = static_cast<uint16_t>(i + 1);
    f.FieldName = g.FieldName;
    f.Description = platform::CutAnsi(g.Description, kFieldTextLength);
    f.DataType = g.DataType;
    f.SubType = g.SubType;
    f.Length = g.Length;
    f.Decimals = g.Decimals;
    f.Required = g.Required;
    f.CharCase = g.CharCase;
    f.Minimum = g.Minimum;
    f.Maximum = g.Maximum;
    f.Default = g.Default;
    f.Compression = g.Compression;
    fields.push_back(std::move(f));
    if (g.DataType == dtBlob && ++table->blob_fields > kMaxBlobFieldCount) Fail(KURA_BLOBLIMIT);
  }
  if (LayOutFields(fields.data(), fields.size()) > kMaxRecordLength) Fail(KURA_RECTOOBIG);
}

uint16_t TTablePreparer::FieldNumber(const std::vector<TFieldDefinition>& fields,
                                     const AnsiString& name, const AnsiString& index_name) const {
  if (SameName(name, kRecordIDFieldName)) return kRecordIDFieldNum;
  if (SameName(name, kRecordHashFieldName)) return kRecordHashFieldNum;
  for (const TFieldDefinition& f : fields) {
    if (SameName(f.FieldName, name)) return f.FieldNum;
  }
  Fail(KURA_INVALIDIDXDESC, name, index_name);
}

uint16_t TTablePreparer::KeySizeOf(const TIndexDefinition& definition, uint8_t index_pos,
                                   const AnsiString& index_name,
                                   const TPreparedTable& table) const {
  TRecordFormat format(table.fields.data(), static_cast<uint16_t>(table.fields.size()), 0, 0);
  TIndexKeyLayout layout;
  TKeyLayoutError e = TIndexKeyLayout::Build(definition, index_pos, format, &layout);
  if (e.code != 0) {
    AnsiString field;
    const TFieldDefinition* d = format.FieldByPosition(e.field_num);
    if (d != nullptr) field = d->FieldName;
    Fail(e.code, field, index_name);
  }
  return layout.KeySize();
}

TIndexDefinition TTablePreparer::PrepareIndex(const TIndexDescription& index, uint8_t index_pos,
                                              const AnsiString& index_name,
                                              const TPreparedTable& table) const {
  if (index.FieldNames.empty() || index.FieldNames.size() > kMaxKeyFields) {
    Fail(KURA_INDEXLIMIT, {}, index_name);
  }
  if (index.Compression > icFull) Fail(KURA_INVALIDKEY, {}, index_name);
  TIndexDefinition d;
  d.IndexName = index_pos == kPrimaryIndexPos ? AnsiString() : index.Name;
  d.KeyUnique = index_pos == kPrimaryIndexPos || index.Unique;
  d.KeyDescending = index.Descending;
  d.KeyCaseInsensitive = index.CaseInsensitive;
  d.KeyCompressionType = index.Compression;
  d.NoKeyStatistics = index.NoKeyStatistics;
  d.KeyFieldCount = static_cast<uint8_t>(index.FieldNames.size());
  for (size_t i = 0; i < index.FieldNames.size(); ++i) {
    d.KeyFields[i] = FieldNumber(table.fields, index.FieldNames[i], index_name);
    d.KeyDescendingFields[i] = i < index.DescendingFields.size() && index.DescendingFields[i];
  }
  d.KeySize = KeySizeOf(d, index_pos, index_name, table);
  return d;
}

TPreparedTable TTablePreparer::Prepare(const TTableDescription& description) {
  TPreparedTable table;
  PrepareFields(description, &table);
  if (description.BlobBlockSize < kMinBlobBlockSize ||
      description.BlobBlockSize > kMaxBlobBlockSize) {
    Fail(KURA_BLOBLIMIT);
  }
  if (!engine_->IsValidLocale(description.LocaleID)) Fail(KURA_CANNOTLOADLDDRV);

  // Indexes, with the sizes of their keys.
  std::vector<std::pair<AnsiString, uint16_t>> keys;
  if (description.PrimaryIndex) {
    table.automatic_primary = false;
    table.primary =
        PrepareIndex(*description.PrimaryIndex, kPrimaryIndexPos, kPrimaryIndexName, table);
  } else {
    table.primary = AutoPrimaryIndexDefinition();
  }
  keys.emplace_back(kPrimaryIndexName, table.primary.KeySize);

  if (description.SecondaryIndexes.size() > kMaxSecondaryIndexes) Fail(KURA_INDEXLIMIT);
  for (size_t i = 0; i < description.SecondaryIndexes.size(); ++i) {
    const TIndexDescription& index = description.SecondaryIndexes[i];
    if (index.Name.empty()) Fail(KURA_INDEXNAMEREQUIRED);
    if (!ValidName(index.Name)) Fail(KURA_INVALIDINDEXNAME, {}, index.Name);
    for (size_t j = 0; j < i; ++j) {
      if (SameName(description.SecondaryIndexes[j].Name, index.Name)) {
        Fail(KURA_INDEXEXISTS, {}, index.Name);
      }
    }
    table.secondaries.push_back(
        PrepareIndex(index, static_cast<uint8_t>(i + 1), index.Name, table));
    keys.emplace_back(index.Name, table.secondaries.back().KeySize);
  }

  if (description.TextIndexFields.size() > kMaxKeyFields) Fail(KURA_INDEXLIMIT, {}, kTextIndexName);
  std::vector<uint16_t> text_fields;
  for (const AnsiString& name : description.TextIndexFields) {
    uint16_t number = FieldNumber(table.fields, name, kTextIndexName);
    // A field listed twice would index every word of it twice under the same key.
    if (std::find(text_fields.begin(), text_fields.end(), number) != text_fields.end()) {
      Fail(KURA_INVALIDIDXDESC, name, kTextIndexName);
    }
    text_fields.push_back(number);
  }
  table.text = TextIndexDefinition(text_fields);
  KeySizeOf(table.text, kTextIndexPos, kTextIndexName, table);

  uint32_t largest = 0;
  for (const auto& key : keys) largest = std::max<uint32_t>(largest, key.second);
  table.index_page_size =
      description.IndexPageSize != 0 ? description.IndexPageSize : GetMaxPageSize(largest);
  if (table.index_page_size < kMinIndexPageSize || table.index_page_size > kMaxIndexPageSize) {
    Fail(KURA_INDEXLIMIT);
  }
  keys.emplace_back(kTextIndexName, kTextIndexKeySize);
  for (const auto& key : keys) {
    if (!KeySizeFitsPage(key.second, table.index_page_size)) Fail(KURA_INVALIDKEY, {}, key.first);
  }
  return table;
}

// The files written so far; the destructor deletes them unless the table was completed.
class TCreatedFiles {
 public:
  explicit TCreatedFiles(TDataEngine* engine) : engine_(engine) {}
  ~TCreatedFiles() {
    if (done_) return;
    for (const AnsiString& path : paths_) engine_->DeleteFile(path, false);
  }
  TCreatedFiles(const TCreatedFiles&) = delete;
  TCreatedFiles& operator=(const TCreatedFiles&) = delete;

  void Add(const AnsiString& path) { paths_.push_back(path); }
  void Done() { done_ = true; }

 private:
  TDataEngine* engine_;
  std::vector<AnsiString> paths_;
  bool done_ = false;
};

void WriteBlobFile(TDataEngine* engine, const AnsiString& path, TCreatedFiles* created) {
  TEngineFile file(engine);
  file.SetFileName(path);
  file.SetExclusive(true);
  created->Add(path);
  file.CreateFile();
  TBlobHeader header;
  header.UpdateStamp = 1;  // the first header write
  header.VersionNum = kBlobFileVersion;
  engine->SignatureDigest().ToBytes(header.FileSignature.data());
  header.NextEndingBlock = 1;
  header.IsDirty = true;
  uint8_t bytes[kBlobHeaderSize];
  header.Encode(bytes);
  {
    TEngineFileLock lock(file);
    file.Seek(0, 0);
    file.Write(bytes, kBlobHeaderSize);
  }
  file.Flush();
  file.CloseFile();
}

}  // namespace

void CreateTable(TDataEngine* engine, const AnsiString& directory, const AnsiString& table_name,
                 const TTableDescription& description) {
  const AnsiString database = platform::ExcludeTrailingPathDelimiter(directory);
  auto fail = [&](uint16_t code) {
    engine->RaiseError(code, {.database_name = database, .table_name = table_name});
  };
  // A separator would place the files elsewhere; a "\\" byte that ends a double-byte character
  // is part of the name.
  bool separator = table_name.empty();
  for (size_t i = 0; i < table_name.size(); ++i) {
    separator = separator || table_name[i] == ':' || platform::IsPathDelimiterAt(table_name, i);
  }
  if (separator) fail(KURA_OSEACCES);
  const AnsiString base = platform::IncludeTrailingPathDelimiter(directory) + table_name;
  const AnsiString data_path = base + engine->DataExtension();
  const AnsiString index_path = base + engine->IndexExtension();
  const AnsiString blob_path = base + engine->BlobExtension();
  for (const AnsiString* path : {&data_path, &index_path, &blob_path}) {
    if (engine->FileExists(*path, false)) fail(KURA_TABLEEXISTS);
  }

  TPreparedTable table = TTablePreparer(engine, table_name, database).Prepare(description);

  TCreationOwner owner(engine, table_name, database);
  TCreatedFiles created(engine);
  TDataFile data(&owner);
  data.SetFileName(data_path);
  data.SetExclusive(true);
  created.Add(data_path);
  data.CreateFile();
  data.UpdateHeader(description.LocaleID, description.UserMajorVersion,
                    description.UserMinorVersion, false, TDigestBytes{},
                    platform::CutAnsi(description.Description, kFieldTextLength),
                    table.index_page_size, description.BlobBlockSize, 0);
  data.SetFieldDefinitions(table.fields);
  data.WriteHeader(true);
  data.WriteFieldDefinitions();
  data.Flush();

  TIndexFile index(&owner);
  index.SetDataFile(&data);
  index.SetFileName(index_path);
  index.SetExclusive(true);
  created.Add(index_path);
  index.CreateFile();
  if (table.automatic_primary) {
    index.SetIndexDefinition(kPrimaryIndexPos, table.primary);
  } else {
    index.AddPrimaryIndex(table.primary);
  }
  for (const TIndexDefinition& secondary : table.secondaries) index.AddSecondaryIndex(secondary);
  index.SetIndexDefinition(kTextIndexPos, table.text);
  index.WriteHeader(true);
  index.WriteIndexDefinitions(true);
  index.Flush();

  if (data.BlobFieldCount() > 0) WriteBlobFile(engine, blob_path, &created);
  index.CloseFile();
  data.CloseFile();
  created.Done();
}

}  // namespace kura
