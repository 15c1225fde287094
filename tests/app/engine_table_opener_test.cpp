#include "app/engine_table_opener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/data_engine.h"
#include "engine/core/data_directory.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/cursor/data_cursor.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/format/field_definition.h"
#include "engine/maint/table_creator.h"
#include "platform/ansi_text.h"
#include "tests/support/demo_tables.h"
#include "tests/support/temp_dir.h"

namespace sorami_test {
namespace {

struct WantedField {
  const char* name;  // UTF-8
  uint8_t type;
  uint8_t sub_type;
  uint16_t length;
};

// Creates a table with the given fields and the automatic primary index.
void CreateTableWith(const kura_test::TempDir& dir, const std::string& table,
                     const std::vector<WantedField>& fields) {
  kura::TDataEngine engine;
  engine.Initialize(engine.LockFileName());
  kura::TTableDescription description;
  for (const WantedField& wanted : fields) {
    kura::TFieldDefinition field;
    field.FieldName = platform::Utf8ToAnsi(wanted.name);
    field.DataType = wanted.type;
    field.SubType = wanted.sub_type;
    field.Length = wanted.length;
    description.Fields.push_back(field);
  }
  kura::CreateTable(&engine, dir.engine(), table, description);
}

TEST(EngineTableOpenerTest, OpensTheCashBookTablesAndSharesOneTableObjectPerName) {
  kura_test::TempDir dir;
  ASSERT_EQ(kura_test::CreateDemoTables(dir.native()), "");
  {
    sorami::TEngineTableOpener opener;
    for (const char* name : {"SORAMI", "KAMOKU", "KAMOKU", "kubun"}) {
      ASSERT_NO_THROW(opener.OpenTable(dir.engine(), name)) << name;
    }
    const std::vector<kura::TDataCursor*> cursors = opener.OpenCursors();
    ASSERT_EQ(cursors.size(), 4u);
    // Two table components over "KAMOKU" are two cursors on the one shared table.
    EXPECT_NE(cursors[1], cursors[2]);
    EXPECT_EQ(cursors[1]->DataTable(), cursors[2]->DataTable());
    EXPECT_NE(cursors[0]->DataTable(), cursors[1]->DataTable());
    EXPECT_EQ(cursors[1]->DataTable()->UseCount(), 2);
    // Each cursor reads its table in the order of the primary index.
    for (kura::TDataCursor* cursor : cursors) {
      EXPECT_TRUE(cursor->IsOpen());
      EXPECT_EQ(cursor->IndexPos(), 0);
    }
    // The engine registered the tables in the directory's lock file.
    EXPECT_TRUE(kura_test::NativeFileExists(dir.NativePath("kura.lck")));
  }
  // Everything was closed: the files can be opened exclusively again.
  sorami::TEngineTableOpener again;
  EXPECT_NO_THROW(again.OpenTable(dir.engine(), "SORAMI"));
}

TEST(EngineTableOpenerTest, FailuresNameTheTableAndLeaveNothingOpen) {
  kura_test::TempDir dir;
  ASSERT_EQ(kura_test::CreateDemoTable(dir.native(), "SORAMI"), "");
  // "KAMOKU" lacks 勘定科目; "kubun" has 区分 as a number; "kubun" of a second folder is damaged.
  CreateTableWith(dir, "KAMOKU", {{"コード", kura::dtString, 0, 4}});
  CreateTableWith(dir, "kubun", {{"区分", kura::dtInteger, 0, 0}});
  kura_test::TempDir damaged;
  kura_test::WriteNativeFile(damaged.NativePath("kubun.dat"), std::string(600, '\x07'));

  const struct {
    std::string directory;
    const char* table;
    uint16_t engine_code;  // 0: a field binding error
    std::string message;
  } cases[] = {
      {dir.engine() + "\\none", "SORAMI", kura::KURA_OSENOENT,
       "Kura Engine Error # 11010 Table or backup file 'SORAMI' does not exist"},
      {damaged.engine(), "kubun", kura::KURA_BADSIGNATURE,
       "Kura Engine Error # 12036 The table or backup file 'kubun' is not valid"},
      {dir.engine(), "KAMOKU", 0, platform::Utf8ToAnsi("KAMOKU: Field '勘定科目' not found")},
      {dir.engine(), "kubun", 0, platform::Utf8ToAnsi("kubun: Type mismatch for field '区分'")},
  };
  sorami::TEngineTableOpener opener;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    try {
      opener.OpenTable(c.directory, c.table);
      ADD_FAILURE() << "opened";
    } catch (const kura::EKuraEngineError& e) {
      EXPECT_EQ(e.ErrorCode(), c.engine_code);
      EXPECT_EQ(std::string(e.what()), c.message);
    } catch (const kura::EDatabaseError& e) {
      EXPECT_EQ(c.engine_code, 0);
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_TRUE(opener.OpenCursors().empty());
  // A failed binding gave the table back: another program may now open it exclusively.
  kura::TDataEngine other;
  other.Initialize(other.LockFileName());
  kura::TDataSession* session = other.StartDataSession("Other");
  kura::TDataDirectory* directory = session->OpenDataDirectory("db", dir.engine(), false);
  EXPECT_NO_THROW(directory->OpenDataTable("KAMOKU", "", true, false, false, false, false, true));
}

TEST(EngineTableOpenerTest, FurtherFieldsAndShorterTextFieldsAreAccepted) {
  kura_test::TempDir dir;
  CreateTableWith(dir, "KAMOKU",
                  {{"メモ", kura::dtInteger, 0, 0},
                   {"勘定科目", kura::dtString, kura::fsFixed, 8},
                   {"コード", kura::dtString, 0, 2}});
  sorami::TEngineTableOpener opener;
  EXPECT_NO_THROW(opener.OpenTable(dir.engine(), "KAMOKU"));
}

}  // namespace
}  // namespace sorami_test
