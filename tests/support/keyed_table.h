// Records and their index keys written the way the record updates write them, for tests that
// need real tables with real trees before the cursor's own append, modify and delete exist:
// each operation takes the table write lock, changes the record slot and the keys of every
// ordinary index (primary and secondary) through TIndexTree, and writes everything back. The
// text index is left alone. Header-only; the table must stay open while the object lives.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/core/data_table.h"
#include "engine/cursor/index_tree.h"
#include "engine/format/data_file.h"
#include "engine/format/index_file.h"
#include "engine/format/index_key.h"
#include "engine/format/record.h"

namespace kura_test {

class KeyedTable {
 public:
  explicit KeyedTable(kura::TDataTable* table) : table_(table) {
    kura::TIndexFile& index = *table->IndexFile();
    kura::TDataFile& data = *table->DataFile();
    const kura::TRecordFormat format = data.RecordFormat();
    const int count = index.IndexCount() + 1;
    layouts_.resize(static_cast<size_t>(count));
    for (int pos = 0; pos < count; ++pos) {
      const kura::TIndexDefinition& d = *index.GetIndexDefinition(pos);
      if (kura::TIndexKeyLayout::Build(d, static_cast<uint8_t>(pos), format, &layouts_[pos]).code !=
          0) {
        throw std::runtime_error("index definition does not fit the table");
      }
    }
    // The descriptions borrow the layouts, which no longer move.
    for (int pos = 0; pos < count; ++pos) {
      indexes_.push_back(kura::IndexTreeIndexOf(static_cast<uint8_t>(pos),
                                                index.GetIndexDefinition(pos)->IndexName,
                                                layouts_[static_cast<size_t>(pos)]));
    }
  }

  int IndexCount() const { return static_cast<int>(layouts_.size()); }
  const kura::TIndexKeyLayout& Layout(int pos) const { return layouts_[static_cast<size_t>(pos)]; }
  const kura::TIndexTreeIndex& Index(int pos) const { return indexes_[static_cast<size_t>(pos)]; }
  std::vector<uint8_t> KeyOf(int pos, const std::vector<uint8_t>& record) const {
    std::vector<uint8_t> key(Layout(pos).KeySize(), 0);
    Layout(pos).GetKeyValues(record.data(), key.data());
    return key;
  }

  // A tree over index `pos` with this object's descent path.
  std::unique_ptr<kura::TIndexTree> Tree(int pos) {
    return std::make_unique<kura::TIndexTree>(table_, nullptr, Index(pos),
                                              kura::TIndexDescentPath{&parents_, &counters_, &level_});
  }

  // Appends a live record with the next record ID and the record's keys; returns its slot.
  // A unique key already present raises KURA_KEYVIOL before anything is written.
  int32_t Append(std::vector<uint8_t> image) {
    WriteLock lock(table_);
    kura::TDataFile& data = *table_->DataFile();
    image[0] = kura::kRecordLive;
    std::memset(image.data() + kura::kRecordNumberOffset, 0, 4);
    int32_t id = data.LastRecordID() == 2147483647 ? 1 : data.LastRecordID() + 1;
    std::memcpy(image.data() + kura::kRecordIDOffset, &id, 4);
    for (int pos = 0; pos < IndexCount(); ++pos) {
      if (!Layout(pos).Unique()) continue;
      if (Tree(pos)->KeyExists(KeyOf(pos, image).data())) Tree(pos)->RaiseKeyViolation();
    }
    kura::TRecord* record = nullptr;
    if (!kura::AllocateRecordSlot(&data, nullptr, &record)) throw std::runtime_error("changed");
    const int32_t slot = record->Number();
    record->CopyBuffer(image.data());
    table_->PutRecord(record);
    data.IncRecordCount();
    data.SetLastRecordID(id);
    for (int pos = 0; pos < IndexCount(); ++pos) {
      Tree(pos)->InsertIndexKey(KeyOf(pos, image).data(), slot);
    }
    Flush();
    return slot;
  }

  void Delete(int32_t slot) {
    WriteLock lock(table_);
    std::vector<uint8_t> image = ReadLocked(slot);
    for (int pos = 0; pos < IndexCount(); ++pos) {
      Tree(pos)->DeleteIndexKey(KeyOf(pos, image).data());
    }
    table_->DataFile()->DecRecordCount();
    kura::TRecord* record = nullptr;
    table_->GetRecord(nullptr, slot, false, 0, &record);
    kura::FreeRecordSlot(table_->DataFile(), record, false);
    table_->PutRecord(record);
    Flush();
  }

  // Rewrites a record (its ID kept) and changes the keys that differ.
  void Modify(int32_t slot, std::vector<uint8_t> image) {
    WriteLock lock(table_);
    std::vector<uint8_t> old = ReadLocked(slot);
    image[0] = kura::kRecordLive;
    std::memcpy(image.data() + kura::kRecordNumberOffset, &slot, 4);
    std::memcpy(image.data() + kura::kRecordIDOffset, old.data() + kura::kRecordIDOffset, 4);
    for (int pos = 0; pos < IndexCount(); ++pos) {
      std::vector<uint8_t> before = KeyOf(pos, old), after = KeyOf(pos, image);
      if (before != after) Tree(pos)->ChangeIndexKey(before.data(), after.data(), slot);
    }
    kura::TRecord* record = nullptr;
    table_->GetRecord(nullptr, slot, false, 0, &record);
    record->CopyBuffer(image.data());
    table_->PutRecord(record);
    Flush();
  }

  std::vector<uint8_t> Read(int32_t slot) {
    WriteLock lock(table_);
    return ReadLocked(slot);
  }

 private:
  struct WriteLock {
    explicit WriteLock(kura::TDataTable* t) : table(t) { table->WriteLockTable(); }
    ~WriteLock() { table->WriteUnlockTable(); }
    kura::TDataTable* table;
  };

  std::vector<uint8_t> ReadLocked(int32_t slot) {
    kura::TRecord* record = nullptr;
    if (!table_->GetRecord(nullptr, slot, false, 0, &record)) throw std::runtime_error("changed");
    std::vector<uint8_t> image(record->Data(), record->Data() + record->Size());
    table_->PutRecord(record);
    return image;
  }

  void Flush() { table_->FlushBuffers(false, true, true, false, false); }

  kura::TDataTable* table_;
  std::vector<kura::TIndexKeyLayout> layouts_;
  std::vector<kura::TIndexTreeIndex> indexes_;
  kura::TIndexLevels parents_{};
  kura::TIndexLevels counters_{};
  uint8_t level_ = 0;
};

}  // namespace kura_test
