// Opening and closing a cursor, its names and modes, the field mapping, the rebuild of a
// missing index file, index selection, the guards and the write-back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_directory.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/cursor/data_cursor.h"
#include "engine/format/data_file.h"
#include "engine/format/data_header.h"
#include "engine/format/index_file.h"
#include "engine/maint/table_checker.h"
#include "engine/maint/table_creator.h"
#include "platform/file_system.h"
#include "tests/support/cursor_fixture.h"
#include "tests/support/temp_dir.h"

namespace kura_test {
namespace {

using kura::TDataCursor;

class CursorOpenTest : public CursorFixture {};

TEST_F(CursorOpenTest, TableNamesLoseTheirPathAndDataExtension) {
  MakeTable();
  struct NameCase {
    std::string given, kept;
  };
  const NameCase cases[] = {
      {"C:\\data\\sorami\\Book.DAT", "Book"},
      {"D:Book.dat", "Book"},
      {"Book.txt", "Book.txt"},
      {"tables\\Kamoku", "Kamoku"},
      {std::string(70, 'k'), std::string(60, 'k')},
  };
  TDataCursor cursor(directory_);
  for (const NameCase& c : cases) {
    cursor.SetTableName(c.given);
    EXPECT_EQ(cursor.TableName(), c.kept) << c.given;
    cursor.SetErrorTableName(c.given);
    EXPECT_EQ(cursor.ErrorTableName(), c.kept) << c.given;
    EXPECT_EQ(cursor.ProperTableName(), c.kept);
  }
  cursor.SetErrorTableName("");
  EXPECT_EQ(cursor.ProperTableName(), cursor.TableName());
}

TEST_F(CursorOpenTest, NamesAndModesChangeOnlyWhileClosed) {
  MakeTable();
  auto cursor = NewCursor();
  const std::function<void()> changes[] = {
      [&] { cursor->SetTableName("Other"); },
      [&] { cursor->SetErrorTableName("Other"); },
      [&] { cursor->SetExclusive(true); },
      [&] { cursor->SetReadOnly(true); },
  };
  for (const auto& change : changes) {
    EXPECT_EQ(EngineErrorOf(change), kura::KURA_TABLEOPEN);
  }
  EXPECT_EQ(cursor->TableName(), kTable);
  EXPECT_FALSE(cursor->Exclusive());
  cursor->CloseCursor();
  cursor->SetTableName("Other");
  EXPECT_EQ(cursor->TableName(), "Other");
}

TEST_F(CursorOpenTest, OpeningAndClosingTwiceDoNothing) {
  MakeTable();
  writer_.reset();
  auto cursor = NewCursor();
  kura::TDataTable* table = cursor->DataTable();
  const uint16_t uses = table->UseCount();
  cursor->OpenCursor();
  EXPECT_EQ(cursor->DataTable(), table);
  EXPECT_EQ(table->UseCount(), uses);
  cursor->CloseCursor();
  EXPECT_FALSE(cursor->IsOpen());
  EXPECT_EQ(cursor->DataTable(), nullptr);
  EXPECT_EQ(directory_->DataTableCount(), 0u);
  cursor->CloseCursor();
  EXPECT_FALSE(cursor->IsOpen());
  // A closed cursor opens again.
  cursor->OpenCursor();
  EXPECT_TRUE(cursor->IsOpen());
  EXPECT_TRUE(cursor->IsBOF());
}

TEST_F(CursorOpenTest, AFailedOpenLeavesTheCursorClosedAndTheTableUnused) {
  MakeTable();
  TDataCursor cursor(directory_);
  cursor.SetTableName("Missing");
  EXPECT_EQ(EngineErrorOf([&] { cursor.OpenCursor(); }), kura::KURA_OSENOENT);
  EXPECT_FALSE(cursor.IsOpen());
  EXPECT_EQ(cursor.DataTable(), nullptr);
  EXPECT_EQ(directory_->FindDataTable("Missing"), nullptr);
  EXPECT_EQ(directory_->DataCursorCount(), 4u) << "the writer's three cursors and this one";
  cursor.SetTableName(kTable);
  cursor.OpenCursor();
  EXPECT_TRUE(cursor.IsOpen());
}

TEST_F(CursorOpenTest, ExclusiveOpensConflictWithEveryOtherOpen) {
  MakeTable();
  writer_.reset();
  struct ExclusiveCase {
    bool first, second;
  };
  for (ExclusiveCase c : {ExclusiveCase{true, false}, ExclusiveCase{false, true},
                          ExclusiveCase{true, true}}) {
    SCOPED_TRACE(testing::Message() << c.first << c.second);
    auto first = NewCursor(c.first);
    TDataCursor second(directory_);
    second.SetTableName(kTable);
    second.SetExclusive(c.second);
    EXPECT_EQ(EngineErrorOf([&] { second.OpenCursor(); }), kura::KURA_OSEACCES);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(first->DataTable()->UseCount(), 1);
    first->SetToBegin();
  }
  auto shared = NewCursor();
  auto another = NewCursor();
  EXPECT_EQ(shared->DataTable(), another->DataTable());
}

TEST_F(CursorOpenTest, AReadOnlyTableMakesTheCursorReadOnly) {
  MakeTable();
  writer_.reset();
  {
    auto asked = NewCursor(false, true);
    EXPECT_TRUE(asked->ReadOnly());
    EXPECT_FALSE(asked->MarkedReadOnly());
    EXPECT_EQ(EngineErrorOf([&] { asked->CheckNotReadOnly(); }), kura::KURA_OSEACCES);
    auto writable = NewCursor();
    EXPECT_FALSE(writable->ReadOnly());
    writable->CheckNotReadOnly();
  }
  ASSERT_TRUE(platform::SetReadOnlyAttribute(dir_.EnginePath(std::string(kTable) + ".dat"), true));
  auto cursor = NewCursor(false, false);
  EXPECT_TRUE(cursor->ReadOnly());
  EXPECT_TRUE(cursor->MarkedReadOnly());
  EXPECT_EQ(EngineErrorOf([&] { cursor->CheckNotReadOnly(); }), kura::KURA_OSEACCES);
  // A marked table takes no locks and sees no changes.
  cursor->ReadLockTable();
  EXPECT_EQ(cursor->DataTable()->DataTableLocks(), nullptr);
  EXPECT_FALSE(cursor->PerformChangeDetection());
  ASSERT_TRUE(platform::SetReadOnlyAttribute(dir_.EnginePath(std::string(kTable) + ".dat"), false));
}

TEST_F(CursorOpenTest, TheCursorKeepsItsOwnFieldDefinitionsWithTheirOrigins) {
  struct MappingCase {
    const char* name;
    kura::TFieldDefinition field;
    bool validity, defaults, auto_inc;
  };
  auto with = [](kura::TFieldDefinition f, auto change) {
    change(f);
    return f;
  };
  const MappingCase cases[] = {
      {"Plain", MakeField("Code", kura::dtString, 0, 8), false, false, false},
      {"Required", with(MakeField("Code", kura::dtString, 0, 8),
                        [](auto& f) { f.Required = true; }), true, false, false},
      {"Minimum", with(MakeField("Num", kura::dtInteger), [](auto& f) { f.Minimum = "1"; }),
       true, false, false},
      {"Default", with(MakeField("Num", kura::dtInteger), [](auto& f) { f.Default = "7"; }),
       false, true, false},
      {"AutoInc", MakeField("Num", kura::dtInteger, kura::fsAutoInc), false, false, true},
  };
  directory_ = OpenDirectory();
  for (const MappingCase& c : cases) {
    SCOPED_TRACE(c.name);
    kura::TTableDescription description;
    description.Fields = {c.field, MakeField("Other", kura::dtDate)};
    kura::CreateTable(&engine_, dir_.engine(), c.name, description);
    TDataCursor cursor(directory_);
    cursor.SetTableName(c.name);
    cursor.OpenCursor();
    EXPECT_EQ(cursor.HasValidityChecks(), c.validity);
    EXPECT_EQ(cursor.HasDefaultValues(), c.defaults);
    EXPECT_EQ(cursor.HasAutoIncFields(), c.auto_inc);
    ASSERT_EQ(cursor.FieldCount(), 2);
    const kura::TFieldDefinition* other = cursor.FieldDefinition(2);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->FieldOrigin, std::string(c.name) + ".Other");
    EXPECT_EQ(other->OriginFieldNum, 2);
    EXPECT_EQ(other->FieldDatabaseOrigin, directory_->Directory());
    EXPECT_EQ(cursor.FieldDefinition(3), nullptr);
    // The table's own definitions keep their empty origins.
    EXPECT_TRUE(cursor.DataTable()->DataFile()->FieldDefinitions()[1].FieldOrigin.empty());
  }
}

TEST_F(CursorOpenTest, AMissingIndexFileIsRebuiltFromTheLiveRecords) {
  MakeTable();
  std::vector<StoredRow> rows = writer_->AppendAll(
      {{"A", 5, "x"}, {"B", 3, "y"}, {"C", 9, "z"}, {"D", 1, "w"}, {"E", 7, "v"}});
  writer_->Delete(rows[1]);
  rows.erase(rows.begin() + 1);
  writer_.reset();
  ASSERT_TRUE(platform::RemoveFile(dir_.NativePath(std::string(kTable) + ".idx")));

  auto cursor = NewCursor();
  EXPECT_EQ(cursor->TotalRecordCount(), 4);
  EXPECT_EQ(cursor->RecordCount(), 4);
  EXPECT_TRUE(cursor->AutoPrimaryIndex());
  EXPECT_EQ(cursor->IndexCount(), 0);
  EXPECT_EQ(ScanIDs(*cursor), IDs(rows));
  const kura::TIndexDefinition* text = cursor->GetIndexDefinition(kura::kTextIndexPos);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->IndexName, "Sys Text");
  EXPECT_EQ(text->KeySize, 68);
  EXPECT_EQ(EngineErrorOf([&] { cursor->SetIndexName("ByAmount"); }),
            kura::KURA_INVALIDINDEXNAME);
  cursor->CloseCursor();

  // The rebuilt index was written: another session reads it as it is.
  kura::TDataSession* other = NewSession();
  TDataCursor again(OpenDirectory(other));
  again.SetTableName(kTable);
  again.OpenCursor();
  EXPECT_FALSE(again.DataTable()->MissingIndex());
  EXPECT_EQ(ScanIDs(again), IDs(rows));
}

TEST_F(CursorOpenTest, OnlyTheFirstCursorOnATableRebuildsItsMissingIndex) {
  MakeTable();
  std::vector<Row> many;
  for (int i = 0; i < 600; ++i) many.push_back({"c", i, "n"});
  const std::vector<StoredRow> rows = writer_->AppendAll(many);
  writer_.reset();
  ASSERT_TRUE(platform::RemoveFile(dir_.NativePath(std::string(kTable) + ".idx")));
  auto first = NewCursor();
  const int32_t pages = first->DataTable()->IndexFile()->IOBlocksUsed();
  ASSERT_GT(pages, 1);
  auto second = NewCursor();
  EXPECT_EQ(first->DataTable(), second->DataTable());
  EXPECT_EQ(second->DataTable()->IndexFile()->IOBlocksUsed(), pages);
  EXPECT_EQ(second->RecordCount(), 600);
  EXPECT_EQ(ScanIDs(*second), IDs(rows));
  EXPECT_TRUE(kura::CheckTable(second->DataTable()).Clean());
}

TEST_F(CursorOpenTest, AReadOnlyOpenWithoutIndexFileReadsInPhysicalOrder) {
  MakeTable();
  const std::vector<StoredRow> rows = writer_->AppendAll({{"A", 5, "x"}, {"B", 3, "y"}});
  writer_.reset();
  ASSERT_TRUE(platform::RemoveFile(dir_.NativePath(std::string(kTable) + ".idx")));
  directory_->SetTablesReadOnly(true);
  auto cursor = NewCursor();
  EXPECT_TRUE(cursor->IsPhysicalNavigation());
  EXPECT_EQ(ScanIDs(*cursor), IDs(rows));
  EXPECT_FALSE(NativeFileExists(dir_.NativePath(std::string(kTable) + ".idx")));
}

TEST_F(CursorOpenTest, IndexSelectionKeepsTheCurrentRecord) {
  MakeTable();
  const std::vector<StoredRow> rows =
      writer_->AppendAll({{"B", 30, "x"}, {"A", 10, "y"}, {"C", 20, "z"}});
  auto cursor = NewCursor();
  EXPECT_EQ(cursor->IndexPos(), kPrimary);
  EXPECT_EQ(cursor->KeySize(), 5);
  ASSERT_TRUE(cursor->SetToRecordNumber(1));  // ID order: "B"
  cursor->SetIndexName("ByAmount");
  EXPECT_EQ(cursor->IndexPos(), kByAmount);
  EXPECT_EQ(cursor->IndexName(), "ByAmount");
  EXPECT_TRUE(cursor->KeyUnique());
  EXPECT_EQ(cursor->KeyFieldCount(), 1);
  EXPECT_EQ(Current(*cursor).id, rows[0].id);
  EXPECT_EQ(cursor->RecordNumber(), 3);

  // The active index under another spelling: nothing happens (the range survives).
  const std::vector<uint8_t> begin = Image({"", 20, ""}), end = Image({"", 40, ""});
  cursor->SetRange(false, begin.data(), 1, end.data(), 1);
  cursor->SetIndexName("BYAMOUNT");
  EXPECT_TRUE(cursor->RangeInEffect());

  // Unknown names and positions change nothing.
  try {
    cursor->SetIndexName("Nope");
    ADD_FAILURE() << "no error";
  } catch (const kura::EKuraEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), kura::KURA_INVALIDINDEXNAME);
    EXPECT_EQ(e.ErrorIndexName(), "Nope");
    EXPECT_EQ(e.ErrorTableName(), kTable);
  }
  EXPECT_EQ(EngineErrorOf([&] { cursor->SetIndexPos(3); }), kura::KURA_INVALIDINDEXNAME);
  EXPECT_EQ(cursor->IndexPos(), kByAmount);
  EXPECT_TRUE(cursor->RangeInEffect());
  EXPECT_EQ(Current(*cursor).id, rows[0].id);

  // The empty name is the primary index; the record stays current in its new place.
  cursor->SetIndexName("");
  EXPECT_EQ(cursor->IndexPos(), kPrimary);
  EXPECT_FALSE(cursor->RangeInEffect());
  EXPECT_EQ(Current(*cursor).id, rows[0].id);
  EXPECT_EQ(cursor->RecordNumber(), 1);
  cursor->SetIndexPos(kByCodeName);
  EXPECT_EQ(cursor->IndexName(), "ByCodeName");
  EXPECT_FALSE(cursor->KeyUnique());
  EXPECT_EQ(cursor->RecordNumber(), 2);
}

TEST_F(CursorOpenTest, GuardsRaiseWithTheCursorsNames) {
  MakeTable();
  writer_.reset();
  auto cursor = std::make_unique<TDataCursor>(directory_);
  cursor->SetTableName(kTable);
  cursor->SetErrorTableName("Shown");
  cursor->OpenCursor();
  EXPECT_EQ(EngineErrorOf([&] { cursor->CheckExclusive(); }), kura::KURA_NEEDEXCLACCESS);
  EXPECT_EQ(EngineErrorOf([&] { cursor->CheckError(0, "ignored"); }), 0);
  try {
    cursor->CheckError(kura::KURA_KEYVIOL, "detail");
    ADD_FAILURE() << "no error";
  } catch (const kura::EKuraEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), kura::KURA_KEYVIOL);
    EXPECT_EQ(e.ErrorTableName(), "Shown");
    EXPECT_EQ(e.ErrorDatabaseName(), directory_->GetProperDataDirectoryName());
    EXPECT_EQ(e.ErrorMessage(), "detail");
  }
  cursor->CloseCursor();
  cursor->SetExclusive(true);
  cursor->OpenCursor();
  cursor->CheckExclusive();
}

TEST_F(CursorOpenTest, AClosedCursorRefusesWorkAndShowsNothing) {
  MakeTable();
  TDataCursor cursor(directory_);
  cursor.SetTableName(kTable);
  std::vector<uint8_t> buffer(64, 0);
  const std::function<void()> refused[] = {
      [&] { cursor.SetToBegin(); },
      [&] { cursor.GetNextRecord(buffer.data()); },
      [&] { cursor.GetCurrentRecord(buffer.data(), true); },
      [&] { cursor.SetToRecordNumber(1); },
      [&] { cursor.SetIndexName("ByAmount"); },
      [&] { cursor.SetRange(false, nullptr, 0, nullptr, 0); },
      [&] { cursor.ReadLockTable(); },
      [&] { cursor.LockRecord(1); },
      [&] { cursor.FlushBuffers(true, false, false, false, false); },
      [&] { cursor.KeyExists(buffer.data()); },
  };
  for (const auto& work : refused) EXPECT_EQ(EngineErrorOf(work), kura::KURA_NOCURRREC);
  EXPECT_EQ(cursor.RecordCount(), 0);
  EXPECT_EQ(cursor.RecordNumber(), 0);
  EXPECT_EQ(cursor.TotalRecordCount(), 0);
  EXPECT_EQ(cursor.IndexCount(), 0);
  EXPECT_EQ(cursor.IndexPageSize(), 0);
  EXPECT_TRUE(cursor.Description().empty());
}

// Shared cursors write back at once; an exclusive one keeps its changes in the cache (only the
// stamps move) until a forced flush.
TEST_F(CursorOpenTest, AnExclusiveCursorKeepsItsChangesUntilAForcedFlush) {
  MakeTable();
  writer_.reset();
  struct FlushCase {
    bool exclusive, force, written;
  };
  const std::string path = dir_.NativePath(std::string(kTable) + ".dat");
  auto stored_auto_inc = [&] {
    std::string bytes = ReadNativeFile(path);
    return kura::TDataHeader::Decode(reinterpret_cast<const uint8_t*>(bytes.data()))
        .LastAutoIncID;
  };
  int32_t value = 100;
  for (FlushCase c : {FlushCase{false, false, true}, FlushCase{true, false, false},
                      FlushCase{true, true, true}}) {
    SCOPED_TRACE(testing::Message() << c.exclusive << c.force);
    auto cursor = NewCursor(c.exclusive);
    kura::TDataFile& data = *cursor->DataTable()->DataFile();
    const int32_t stamp = data.LastUpdateStamp();
    data.SetLastAutoIncID(++value);
    cursor->FlushBuffers(c.force, false, true, false, false);
    EXPECT_EQ(data.LastUpdateStamp(), stamp + 1);
    EXPECT_FALSE(cursor->PerformChangeDetection()) << "its own write is no foreign change";
    EXPECT_EQ(stored_auto_inc() == value, c.written);
  }
}

}  // namespace
}  // namespace kura_test
