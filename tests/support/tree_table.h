// A table made for index-tree tests: a string field "Code", an integer "Num" and as many string
// fields "Pad3", "Pad4", ... as a chosen ByCode key size needs (a string holds at most 512
// characters); the automatic primary index, a secondary index "ByCode" over Code and the pads
// (unique or not, with a chosen key compression) and a non-unique "ByNum" over Num,
// descending, with the same compression and without key statistics. The table is opened shared through a session of the fixture; records and keys
// are written through KeyedTable. Header-only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/data_directory.h"
#include "engine/core/data_table.h"
#include "engine/format/data_file.h"
#include "engine/format/index_definition.h"
#include "engine/format/index_key.h"
#include "engine/maint/table_creator.h"
#include "tests/support/data_file_builder.h"
#include "tests/support/keyed_table.h"
#include "tests/support/session_fixture.h"

namespace kura_test {

struct TreeTableShape {
  int32_t page_size = 1024;
  uint8_t compression = kura::icNone;
  bool unique = true;
  uint16_t key_size = 10;  // of ByCode, with the record-ID suffix of a non-unique index
};

// The longest ByCode key a page takes: at most a third of its data area.
inline uint16_t LongestKey(int32_t page_size) {
  return static_cast<uint16_t>(std::min<int32_t>(kura::kMaxKeySize, (page_size - 13) / 3));
}

// The lengths of Code and the pads for a ByCode key of `key_size` bytes (each field takes its
// length + 2: the terminator and the presence flag).
inline std::vector<uint16_t> CodeFieldLengths(const TreeTableShape& shape) {
  int remaining = shape.key_size - (shape.unique ? 0 : 4);
  std::vector<uint16_t> lengths;
  while (remaining > 0) {
    int part = std::min(remaining, 514);
    if (remaining - part > 0 && remaining - part < 3) part -= 3;
    lengths.push_back(static_cast<uint16_t>(part - 2));
    remaining -= part;
  }
  return lengths;
}

// ByCode's position.
constexpr int kByCode = 1;
constexpr int kByNum = 2;

class TreeTableFixture : public SessionFixture {
 protected:
  void CreateTreeTable(const TreeTableShape& shape, const std::string& name = "Tree") {
    kura::TTableDescription d;
    const std::vector<uint16_t> lengths = CodeFieldLengths(shape);
    pad_names_.clear();
    for (size_t i = 1; i < lengths.size(); ++i) pad_names_.push_back("Pad" + std::to_string(i + 2));
    d.Fields = {MakeField("Code", kura::dtString, 0, lengths[0]), MakeField("Num", kura::dtInteger)};
    for (size_t i = 1; i < lengths.size(); ++i) {
      d.Fields.push_back(MakeField(pad_names_[i - 1].c_str(), kura::dtString, 0, lengths[i]));
    }
    kura::TIndexDescription by_code;
    by_code.Name = "ByCode";
    by_code.FieldNames = {"Code"};
    by_code.FieldNames.insert(by_code.FieldNames.end(), pad_names_.begin(), pad_names_.end());
    by_code.Unique = shape.unique;
    by_code.Compression = shape.compression;
    kura::TIndexDescription by_num;
    by_num.Name = "ByNum";
    by_num.FieldNames = {"Num"};
    by_num.DescendingFields = {true};
    by_num.Compression = shape.compression;
    by_num.NoKeyStatistics = true;
    d.SecondaryIndexes = {by_code, by_num};
    d.IndexPageSize = shape.page_size;
    kura::CreateTable(&engine_, dir_.engine(), name, d);
    directory_ = OpenDirectory();
    table_ = OpenTable(directory_, name);
    keyed_ = std::make_unique<KeyedTable>(table_);
  }

  // Closes and opens the table again (its caches start empty).
  void ReopenTreeTable(const std::string& name = "Tree") {
    keyed_.reset();
    CloseTable(directory_, table_);
    table_ = OpenTable(directory_, name);
    keyed_ = std::make_unique<KeyedTable>(table_);
  }

  // Code and Num, and `pad` (when not empty) in the last pad field; the other pads null. Texts
  // are cut to their field.
  std::vector<uint8_t> Record(const std::string& code, int32_t num,
                              const std::string& pad = {}) const {
    const std::vector<kura::TFieldDefinition>& fields = table_->DataFile()->FieldDefinitions();
    RecordBuilder b(fields, table_->DataFile()->RecordLength());
    b.SetText(1, code.substr(0, fields[0].Length)).Set(2, num);
    if (!pad.empty() && fields.size() > 2) {
      b.SetText(fields.size(), pad.substr(0, fields.back().Length));
    }
    return b.bytes();
  }

  int32_t Append(const std::string& code, int32_t num = 0) {
    return keyed_->Append(Record(code, num));
  }

  std::vector<std::string> pad_names_;
  kura::TDataDirectory* directory_ = nullptr;
  kura::TDataTable* table_ = nullptr;
  std::unique_ptr<KeyedTable> keyed_;
};

}  // namespace kura_test
