// Tables for cursor tests, written before the cursor can append records itself.
//
// The table has the fields "Code" (string of 12), "Amount" (integer) and "Name" (string of 16),
// the automatic primary index and two secondary indexes: "ByAmount" over Amount (unique or not)
// and "ByCodeName" over Code ascending and Name descending (not unique), both with the chosen
// key compression and page size. CursorTableWriter writes rows as a record update does: under
// the table write lock it takes a record slot from the data file, stores the record, inserts the
// record's key into every index through one cursor per index (the cursor's own index upkeep),
// writes everything back and releases the lock. Header-only.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_directory.h"
#include "engine/core/data_table.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/data_file.h"
#include "engine/format/field_codec.h"
#include "engine/format/record.h"
#include "engine/md5.h"
#include "engine/maint/table_creator.h"
#include "tests/support/data_file_builder.h"

namespace kura_test {

struct CursorTableShape {
  int32_t page_size = 4096;
  uint8_t compression = kura::icNone;
  bool unique_amount = true;  // whether "ByAmount" is unique
};

struct Row {
  std::string code;  // empty is null
  int32_t amount = 0;
  std::string name;  // empty is null
};

// A row as the table holds it.
struct StoredRow {
  Row row;
  int32_t id = 0;
  int32_t slot = 0;
};

// Index positions of the table.
constexpr uint8_t kPrimary = 0;
constexpr uint8_t kByAmount = 1;
constexpr uint8_t kByCodeName = 2;

inline void CreateCursorTable(kura::TDataEngine* engine, const std::string& directory,
                              const std::string& name, const CursorTableShape& shape) {
  kura::TTableDescription description;
  description.Fields = {MakeField("Code", kura::dtString, 0, 12),
                        MakeField("Amount", kura::dtInteger),
                        MakeField("Name", kura::dtString, 0, 16)};
  kura::TIndexDescription by_amount;
  by_amount.Name = "ByAmount";
  by_amount.FieldNames = {"Amount"};
  by_amount.Unique = shape.unique_amount;
  by_amount.Compression = shape.compression;
  kura::TIndexDescription by_code_name;
  by_code_name.Name = "ByCodeName";
  by_code_name.FieldNames = {"Code", "Name"};
  by_code_name.DescendingFields = {false, true};
  by_code_name.Compression = shape.compression;
  description.SecondaryIndexes = {by_amount, by_code_name};
  description.IndexPageSize = shape.page_size;
  kura::CreateTable(engine, directory, name, description);
}

// The values of a record image.
inline Row RowOf(const kura::TDataFile& file, const uint8_t* record) {
  Row row;
  const std::vector<kura::TFieldDefinition>& fields = file.FieldDefinitions();
  auto text = [&](const kura::TFieldDefinition& f) {
    if (record[f.Offset] == 0) return std::string();
    const char* value = reinterpret_cast<const char*>(record + f.Offset + 1);
    return std::string(value, strnlen(value, f.DataSize));
  };
  row.code = text(fields[0]);
  row.amount = kura::GetI32(record + fields[1].Offset + 1);
  row.name = text(fields[2]);
  return row;
}

inline int32_t RecordIDOf(const uint8_t* record) {
  return kura::GetI32(record + kura::kRecordIDOffset);
}

class CursorTableWriter {
 public:
  // Opens one cursor per ordinary index of the table (they share the directory's table).
  CursorTableWriter(kura::TDataDirectory* directory, const std::string& table_name) {
    for (uint8_t position = 0;; ++position) {
      auto cursor = std::make_unique<kura::TDataCursor>(directory);
      cursor->SetTableName(table_name);
      cursor->OpenCursor();
      cursor->SetIndexPos(position);
      const uint8_t count = cursor->IndexCount();
      key_cursors_.push_back(std::move(cursor));
      if (position >= count) break;
    }
  }

  kura::TDataTable* table() const { return key_cursors_[0]->DataTable(); }
  kura::TDataFile* file() const { return table()->DataFile(); }

  // The record of a row with the given ID and its hash (slot number 0 in its header).
  std::vector<uint8_t> RecordOf(const Row& row, int32_t id) const {
    RecordBuilder builder(file()->FieldDefinitions(), file()->RecordLength());
    builder.SetText(1, row.code).Set(2, row.amount).SetText(3, row.name).SetID(id);
    std::vector<uint8_t> record = builder.bytes();
    file()->CalcRecordHash(record.data()).ToBytes(record.data() + kura::kRecordHashOffset);
    return record;
  }

  std::vector<StoredRow> AppendAll(const std::vector<Row>& rows) {
    std::vector<StoredRow> stored;
    Locked([&] {
      for (const Row& row : rows) stored.push_back(AppendUnlocked(row));
    });
    return stored;
  }
  StoredRow Append(const Row& row) { return AppendAll({row})[0]; }

  void Delete(const StoredRow& stored) {
    Locked([&] {
      const std::vector<uint8_t> record = RecordOf(stored.row, stored.id);
      for (auto& cursor : key_cursors_) cursor->DeleteIndexKey(KeyOf(*cursor, record).data());
      kura::TRecord* slot = nullptr;
      file()->GetRecord(key_cursors_[0].get(), stored.slot, false, 0, &slot);
      kura::FreeRecordSlot(file(), slot, false);
      file()->DecRecordCount();
      file()->PutRecord(slot);
    });
  }

  // Rewrites a row in place; keys that changed move in their indexes.
  void Change(StoredRow* stored, const Row& row) {
    Locked([&] {
      const std::vector<uint8_t> before = RecordOf(stored->row, stored->id);
      const std::vector<uint8_t> after = RecordOf(row, stored->id);
      for (auto& cursor : key_cursors_) {
        std::vector<uint8_t> old_key = KeyOf(*cursor, before), new_key = KeyOf(*cursor, after);
        if (old_key != new_key) {
          cursor->ChangeIndexKey(old_key.data(), new_key.data(), stored->slot);
        }
      }
      kura::TRecord* slot = nullptr;
      file()->GetRecord(key_cursors_[0].get(), stored->slot, false, 0, &slot);
      slot->CopyBuffer(after.data());
      slot->SetOriginalNumber(0);
      file()->PutRecord(slot);
      stored->row = row;
    });
  }

 private:
  static std::vector<uint8_t> KeyOf(kura::TDataCursor& cursor,
                                    const std::vector<uint8_t>& record) {
    std::vector<uint8_t> key(cursor.KeySize(), 0);
    cursor.GetKeyValues(record.data(), key.data());
    return key;
  }

  StoredRow AppendUnlocked(const Row& row) {
    kura::TDataCursor& first = *key_cursors_[0];
    kura::TRecord* slot = nullptr;
    kura::AllocateRecordSlot(file(), &first, &slot);
    StoredRow stored{row, file()->NextRecordID(), slot->Number()};
    const std::vector<uint8_t> record = RecordOf(row, stored.id);
    slot->CopyBuffer(record.data());
    file()->IncRecordCount();
    file()->PutRecord(slot);
    for (auto& cursor : key_cursors_) {
      cursor->InsertIndexKey(KeyOf(*cursor, record).data(), stored.slot);
    }
    return stored;
  }

  template <typename Body>
  void Locked(Body&& body) {
    kura::TDataCursor& first = *key_cursors_[0];
    first.WriteLockTable();
    try {
      body();
      first.FlushBuffers(false, false, true, true, false);
    } catch (...) {
      first.WriteUnlockTable();
      throw;
    }
    first.WriteUnlockTable();
  }

  std::vector<std::unique_ptr<kura::TDataCursor>> key_cursors_;
};

}  // namespace kura_test
