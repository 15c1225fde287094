// Builds data files by code for tests: a table's definitions and records written through the
// engine's own data file, in the order a new table is written (create, header settings,
// definitions, forced header write, definitions write), then the records appended.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/data_engine.h"
#include "engine/format/data_file.h"
#include "engine/format/field_codec.h"
#include "engine/format/record.h"
#include "tests/support/fake_table_owner.h"

namespace kura_test {

inline kura::TFieldDefinition MakeField(const char* name, uint8_t type, uint8_t sub_type = 0,
                                        uint16_t length = 0) {
  kura::TFieldDefinition d;
  d.FieldName = name;
  d.DataType = type;
  d.SubType = sub_type;
  d.Length = length;
  return d;
}

struct TableDefinition {
  std::vector<kura::TFieldDefinition> fields;
  int32_t locale_id = 0;
  std::string description;
  int32_t index_page_size = 4096;
  int32_t blob_block_size = 512;
};

// Numbers the fields, lays them out and returns them.
inline std::vector<kura::TFieldDefinition> PreparedFields(std::vector<kura::TFieldDefinition> f) {
  for (size_t i = 0; i < f.size(); ++i) f[i].FieldNum = static_cast<uint16_t>(i + 1);
  kura::LayOutFields(f.data(), f.size());
  return f;
}

// A record buffer with values put through the field encodings.
class RecordBuilder {
 public:
  RecordBuilder(const std::vector<kura::TFieldDefinition>& fields, uint16_t record_length)
      : fields_(fields), record_(record_length, 0) {}

  template <typename T>
  RecordBuilder& Set(size_t position, T value) {
    std::vector<uint8_t> b(std::max<size_t>(fields_[position - 1].DataSize, sizeof value), 0);
    std::memcpy(b.data(), &value, sizeof value);
    kura::PutFieldValue(fields_[position - 1], 0, record_.data(), b.data());
    return *this;
  }
  RecordBuilder& SetText(size_t position, const std::string& ansi) {
    std::vector<uint8_t> b(fields_[position - 1].DataSize + ansi.size() + 1, 0);
    std::memcpy(b.data(), ansi.data(), ansi.size());
    kura::PutFieldValue(fields_[position - 1], 0, record_.data(), b.data());
    return *this;
  }
  RecordBuilder& SetBytes(size_t position, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> b(bytes);
    b.resize(std::max<size_t>(b.size(), fields_[position - 1].DataSize), 0);
    kura::PutFieldValue(fields_[position - 1], 0, record_.data(), b.data());
    return *this;
  }
  RecordBuilder& SetID(int32_t id) {
    std::memcpy(record_.data() + kura::kRecordIDOffset, &id, 4);
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return record_; }

 private:
  std::vector<kura::TFieldDefinition> fields_;
  std::vector<uint8_t> record_;
};

// Writes the data file `engine_path` with the table's fields and the given records (each a whole
// record buffer; the record count and the last record ID follow the records).
inline void WriteDataFile(kura::TDataEngine* engine, const std::string& engine_path,
                          const TableDefinition& table,
                          const std::vector<std::vector<uint8_t>>& records = {}) {
  FakeTableOwner owner(engine);
  kura::TDataFile file(&owner);
  file.SetFileName(engine_path);
  file.CreateFile();
  file.UpdateHeader(table.locale_id, 0, 0, false, {}, table.description, table.index_page_size,
                    table.blob_block_size, 0);
  file.SetFieldDefinitions(PreparedFields(table.fields));
  file.WriteHeader(true);
  file.WriteFieldDefinitions();
  for (const std::vector<uint8_t>& bytes : records) {
    kura::TRecord* r = nullptr;
    file.GetRecord(nullptr, file.NextEndingRecord(), false, 0, &r);
    r->CopyBuffer(bytes.data());
    if (r->Status() == kura::kRecordLive) file.IncRecordCount();
    if (r->ID() > file.LastRecordID()) file.SetLastRecordID(r->ID());
    file.PutRecord(r);
  }
  file.FlushBuffers();
  file.WriteHeader(false);
  file.CloseFile();
}

}  // namespace kura_test
