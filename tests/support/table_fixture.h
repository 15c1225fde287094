// Real tables for tests of sessions, directories and shared tables: a small table created by the
// engine's own table creation, records appended and read through a shared table, and the
// engine errors tests expect.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/format/data_file.h"
#include "engine/format/record.h"
#include "engine/maint/table_creator.h"
#include "tests/support/data_file_builder.h"

namespace kura_test {

// The code of the engine error `body` raises, 0 when it raises none.
inline uint16_t EngineErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const kura::EKuraEngineError& e) {
    return e.ErrorCode();
  }
  return 0;
}

// Lock-file locks that give up after a few milliseconds.
inline void UseFastLockRetries(kura::TDataEngine& engine) {
  engine.SetReadLockRetries(3);
  engine.SetReadLockWaitTime(1);
  engine.SetWriteLockRetries(3);
  engine.SetWriteLockWaitTime(1);
  engine.SetTransLockRetries(3);
  engine.SetTransLockWaitTime(1);
}

// Two fields: "Code" (string of 10) and "Amount" (integer), the automatic primary index.
inline std::vector<kura::TFieldDefinition> SmallTableFields() {
  return {MakeField("Code", kura::dtString, 0, 10), MakeField("Amount", kura::dtInteger)};
}

inline void CreateSmallTable(kura::TDataEngine* engine, const std::string& directory,
                             const std::string& name) {
  kura::TTableDescription description;
  description.Fields = SmallTableFields();
  kura::CreateTable(engine, directory, name, description);
}

// Appends live records with the given amounts under the table write lock and writes them back
// as one change (as an append outside a transaction does); returns the first new slot.
inline int32_t AppendAmounts(kura::TDataTable* table, const std::vector<int32_t>& amounts) {
  kura::TDataFile* file = table->DataFile();
  table->WriteLockTable();
  int32_t first = file->NextEndingRecord();
  for (int32_t amount : amounts) {
    kura::TRecord* record = nullptr;
    table->GetRecord(nullptr, file->NextEndingRecord(), false, 0, &record);
    RecordBuilder builder(PreparedFields(SmallTableFields()), file->RecordLength());
    builder.Set(2, amount).SetID(file->NextRecordID());
    record->CopyBuffer(builder.bytes().data());
    file->IncRecordCount();
    table->PutRecord(record);
  }
  table->FlushBuffers(false, true, false, false, false);
  table->WriteUnlockTable();
  return first;
}

inline int32_t AppendAmount(kura::TDataTable* table, int32_t amount) {
  return AppendAmounts(table, {amount});
}

// Rewrites the amount of a record in place (same locking as AppendAmount).
inline void ChangeAmount(kura::TDataTable* table, int32_t slot, int32_t amount) {
  table->WriteLockTable();
  kura::TRecord* record = nullptr;
  table->GetRecord(nullptr, slot, false, 0, &record);
  std::vector<uint8_t> bytes(record->Size());
  record->CopyToBuffer(bytes.data());
  const kura::TFieldDefinition& field = table->DataFile()->FieldDefinitions()[1];
  kura::PutI32(bytes.data() + field.Offset + 1, amount);
  bytes[field.Offset] = 1;
  record->CopyBuffer(bytes.data());
  table->PutRecord(record);
  table->FlushBuffers(false, true, false, false, false);
  table->WriteUnlockTable();
}

// The amount of a record as the table's cache gives it; INT32_MIN when the read reported that
// another program changed the table (the caller repeats).
inline int32_t ReadAmount(kura::TDataTable* table, int32_t slot) {
  kura::TRecord* record = nullptr;
  if (!table->GetRecord(nullptr, slot, false, 0, &record)) return INT32_MIN;
  const kura::TFieldDefinition& field = table->DataFile()->FieldDefinitions()[1];
  int32_t amount = kura::GetI32(record->Data() + field.Offset + 1);
  table->PutRecord(record);
  return amount;
}

}  // namespace kura_test
