// A fixture for cursor tests: a session and directory over a temporary folder, a table of
// cursor_table.h with its writer, cursors opened on it, and the order each index gives the rows
// (computed from the values, independently of the key encodings). Header-only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_directory.h"
#include "engine/core/error_codes.h"
#include "engine/cursor/data_cursor.h"
#include "tests/support/cursor_table.h"
#include "tests/support/session_fixture.h"

namespace kura_test {

// The rows in the order of an index of the cursor table: RecordID; Amount then ID; Code
// ascending, Name descending, then ID (a null string sorts before every value).
inline std::vector<StoredRow> InIndexOrder(std::vector<StoredRow> rows, uint8_t index) {
  auto by = [index](const StoredRow& a, const StoredRow& b) {
    switch (index) {
      case kByAmount:
        if (a.row.amount != b.row.amount) return a.row.amount < b.row.amount;
        break;
      case kByCodeName:
        if (a.row.code != b.row.code) return a.row.code < b.row.code;
        if (a.row.name != b.row.name) return a.row.name > b.row.name;
        break;
      default:
        break;
    }
    return a.id < b.id;
  };
  std::sort(rows.begin(), rows.end(), by);
  return rows;
}

// The name of the cursor table in the fixture's folder.
constexpr const char* kCursorTable = "Book";

class CursorFixture : public SessionFixture {
 protected:
  static constexpr const char* kTable = kCursorTable;

  void MakeTable(const CursorTableShape& shape = {}) {
    CreateCursorTable(&engine_, dir_.engine(), kTable, shape);
    directory_ = OpenDirectory();
    writer_ = std::make_unique<CursorTableWriter>(directory_, kTable);
  }

  std::unique_ptr<kura::TDataCursor> NewCursor(bool exclusive = false, bool read_only = false) {
    auto cursor = std::make_unique<kura::TDataCursor>(directory_);
    cursor->SetTableName(kTable);
    cursor->SetExclusive(exclusive);
    cursor->SetReadOnly(read_only);
    cursor->OpenCursor();
    return cursor;
  }

  std::vector<uint8_t> Buffer(const kura::TDataCursor& cursor) const {
    return std::vector<uint8_t>(cursor.RecordSize(), 0xAA);
  }

  // The record the cursor stands on, or an empty row with ID 0 off a record.
  StoredRow Current(kura::TDataCursor& cursor) {
    std::vector<uint8_t> record = Buffer(cursor);
    StoredRow row;
    if (cursor.GetCurrentRecord(record.data()) != 0) return row;
    row.row = RowOf(*writer_->file(), record.data());
    row.id = RecordIDOf(record.data());
    row.slot = cursor.PhysicalRecordNumber();
    return row;
  }

  // The IDs a scan from the beginning (or from the end, backward) returns.
  std::vector<int32_t> ScanIDs(kura::TDataCursor& cursor, bool forward = true) {
    std::vector<int32_t> ids;
    std::vector<uint8_t> record = Buffer(cursor);
    forward ? cursor.SetToBegin() : cursor.SetToEnd();
    while ((forward ? cursor.GetNextRecord(record.data())
                    : cursor.GetPriorRecord(record.data())) == 0) {
      ids.push_back(RecordIDOf(record.data()));
    }
    return ids;
  }

  static std::vector<int32_t> IDs(const std::vector<StoredRow>& rows) {
    std::vector<int32_t> ids;
    for (const StoredRow& r : rows) ids.push_back(r.id);
    return ids;
  }

  // A record image holding the row's values, for key searches and ranges.
  std::vector<uint8_t> Image(const Row& row) const { return writer_->RecordOf(row, 0); }

  kura::TDataDirectory* directory_ = nullptr;
  std::unique_ptr<CursorTableWriter> writer_;
};

}  // namespace kura_test
