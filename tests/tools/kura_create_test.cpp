// kura-create on the demo schemas of the repository (read back with kura-dump and the engine's
// own files), on refused schemas, and its usage.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/core/data_engine.h"
#include "engine/format/data_file.h"
#include "engine/format/index_file.h"
#include "platform/ansi_text.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_table_owner.h"
#include "tests/support/temp_dir.h"
#include "tools/common/json_value.h"

namespace {

using kura_test::RunCommand;
using kura_tools::ParseJson;
using kura_tools::TJsonValue;
using namespace kura;

const std::string kCreate = std::string(KURA_TOOLS_DIR) + "/kura-create";
const std::string kDump = std::string(KURA_TOOLS_DIR) + "/kura-dump";
const std::string kSchemas = std::string(KURA_SOURCE_DIR) + "/schemas/";

class KuraCreateTest : public ::testing::Test {
 protected:
  kura_test::CommandResult Create(const std::string& table, const std::string& schema_path) {
    return RunCommand(kCreate, {dir_.native(), table, schema_path});
  }
  std::string WriteSchema(const std::string& text) {
    std::string path = dir_.NativePath("schema.json");
    kura_test::WriteNativeFile(path, text);
    return path;
  }
  bool AnyFileOf(const std::string& table) const {
    for (const char* ext : {".dat", ".idx", ".blb"}) {
      if (kura_test::NativeFileExists(dir_.NativePath(table + ext))) return true;
    }
    return false;
  }
  // The table's index definitions, read by the engine after its header checks.
  void InspectIndexes(const std::string& table_utf8,
                      const std::function<void(TDataFile&, TIndexFile&)>& inspect) {
    TDataEngine engine;
    engine.Initialize("kura.lck");
    kura_test::FakeTableOwner owner(&engine);
    std::string table = platform::Utf8ToAnsi(table_utf8);
    TDataFile data(&owner);
    data.SetFileName(dir_.EnginePath(table + ".dat"));
    data.OpenFile();
    data.CheckHeader();
    TIndexFile index(&owner);
    index.SetDataFile(&data);
    index.SetFileName(dir_.EnginePath(table + ".idx"));
    index.OpenFile();
    index.CheckHeader();
    inspect(data, index);
  }

  kura_test::TempDir dir_;
};

struct ExpectedField {
  std::string name;
  std::string type;
  int length;
};

// The cash-book tables with their fields as the tool expects them, created from the demo
// schemas and read back by kura-dump.
TEST_F(KuraCreateTest, DemoSchemasGiveTheCashBookTables) {
  struct Case {
    std::string table;
    std::vector<ExpectedField> fields;
  };
  const Case cases[] = {
      {"SORAMI",
       {{"年月日", "date", 0},
        {"コード", "string", 4},
        {"区分", "string", 10},
        {"摘要", "string", 30},
        {"入金", "float", 0},
        {"出金", "float", 0},
        {"残高", "float", 0}}},
      {"KAMOKU", {{"コード", "string", 4}, {"勘定科目", "string", 20}}},
      {"kubun", {{"区分", "string", 10}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    kura_test::CommandResult created = Create(c.table, kSchemas + c.table + ".json");
    ASSERT_EQ(created.exit_status, 0) << created.err;
    EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath(c.table + ".blb")));

    kura_test::CommandResult dump = RunCommand(kDump, {dir_.native(), c.table, "--json"});
    ASSERT_EQ(dump.exit_status, 0) << dump.err;
    TJsonValue json = ParseJson(dump.out);
    const TJsonValue* header = json.Find("header");
    ASSERT_NE(header, nullptr);
    int64_t n = -1;
    ASSERT_TRUE(header->Find("RecordCount")->AsInteger(&n));
    EXPECT_EQ(n, 0);
    ASSERT_TRUE(header->Find("UpdateStamp")->AsInteger(&n));
    EXPECT_EQ(n, 1);
    ASSERT_TRUE(header->Find("IndexPageSize")->AsInteger(&n));
    EXPECT_EQ(n, 4096);
    const std::vector<TJsonValue>& fields = json.Find("fields")->items();
    ASSERT_EQ(fields.size(), c.fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(fields[i].Find("FieldName")->text(), c.fields[i].name);
      EXPECT_EQ(fields[i].Find("TypeName")->text(), c.fields[i].type);
      ASSERT_TRUE(fields[i].Find("SubType")->AsInteger(&n));
      EXPECT_EQ(n, 0);
      ASSERT_TRUE(fields[i].Find("Length")->AsInteger(&n));
      EXPECT_EQ(n, c.fields[i].length);
    }
    EXPECT_TRUE(json.Find("records")->items().empty());
  }

  InspectIndexes("KAMOKU", [](TDataFile& data, TIndexFile& index) {
    EXPECT_EQ(index.IndexCount(), 0);
    const TIndexDefinition* primary = index.GetIndexDefinition(kPrimaryIndexPos);
    EXPECT_TRUE(primary->KeyUnique);
    ASSERT_EQ(primary->KeyFieldCount, 1);
    EXPECT_EQ(data.GetFieldDefinitionByPos(primary->KeyFields[0])->FieldName,
              platform::Utf8ToAnsi("コード"));
    EXPECT_EQ(primary->KeySize, 6);
  });
  InspectIndexes("kubun", [](TDataFile&, TIndexFile& index) {
    EXPECT_FALSE(index.AutoPrimaryIndex());
    EXPECT_EQ(index.GetIndexDefinition(kPrimaryIndexPos)->KeySize, 12);
  });
  InspectIndexes("SORAMI", [](TDataFile& data, TIndexFile& index) {
    EXPECT_TRUE(index.AutoPrimaryIndex());
    ASSERT_EQ(index.IndexCount(), 1);
    const TIndexDefinition* by_date = index.GetIndexDefinition(1);
    EXPECT_FALSE(by_date->KeyUnique);
    EXPECT_EQ(data.GetFieldDefinitionByPos(by_date->KeyFields[0])->FieldName,
              platform::Utf8ToAnsi("年月日"));
    EXPECT_EQ(by_date->KeySize, 5 + 4);
  });
}

// A refused schema names its fault on standard error, exits with 1 and leaves no file.
TEST_F(KuraCreateTest, RefusedSchemasLeaveNothingBehind) {
  const std::string fields = R"("fields": [{"name": "Code", "type": "string", "length": 4},
                                          {"name": "Memo", "type": "blob", "subtype": "memo"}])";
  struct Case {
    const char* name;
    std::string schema;
    std::string message;
  };
  const Case cases[] = {
      {"malformed JSON", "{" + fields + ",}", "line 2, column"},
      {"unknown key", "{" + fields + R"(, "colour": "red"})", "unknown key \"colour\""},
      {"value of the wrong kind", R"({"fields": [{"name": "A", "type": "string", "length": "4"}]})",
       "field 1 length must be a number, not a string"},
      {"unknown type", R"({"fields": [{"name": "A", "type": "text"}]})", "unknown type \"text\""},
      {"name outside the code page", R"({"fields": [{"name": "A😀", "type": "date"}]})",
       "cannot be written in the code page 932"},
      {"unknown locale", "{" + fields + R"(, "locale": "Klingon"})", "unknown locale"},
      {"password", "{" + fields + R"(, "password": "secret"})", "encrypted tables"},
      {"no fields", "{}", "no \"fields\""},
      {"key too long for the page",
       R"({"index_page_size": 1024, "fields": [{"name": "S", "type": "string", "length": 400}],
          "indexes": [{"name": "ByS", "fields": ["S"]}]})",
       "# 10026"},
      {"page size out of range", "{" + fields + R"(, "index_page_size": 100})", "# 9487"},
      {"invalid index name", "{" + fields + R"(, "indexes": [{"name": "1st", "fields": ["Code"]}]})",
       "# 10022"},
      {"index name repeated",
       "{" + fields +
           R"(, "indexes": [{"name": "A", "fields": ["Code"]}, {"name": "a", "fields": ["Code"]}]})",
       "# 10027"},
      {"index over a BLOB", "{" + fields + R"(, "primary_index": {"fields": ["Memo"]}})", "# 12292"},
      {"index over an unknown field",
       "{" + fields + R"(, "indexes": [{"name": "A", "fields": ["Nothing"]}]})", "# 10023"},
      {"field name repeated",
       R"({"fields": [{"name": "A", "type": "date"}, {"name": "a", "type": "date"}]})", "# 10038"},
      {"string without length", R"({"fields": [{"name": "A", "type": "string"}]})", "# 10000"},
      {"default of the wrong type",
       R"({"fields": [{"name": "A", "type": "integer", "default": "one"}]})", "# 10006"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kura_test::CommandResult r = Create("T", WriteSchema(c.schema));
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(AnyFileOf("T"));
  }
}

TEST_F(KuraCreateTest, AnExistingTableIsRefusedAndKept) {
  kura_test::WriteNativeFile(dir_.NativePath("kubun.dat"), "keep");
  kura_test::CommandResult r = Create("kubun", kSchemas + "kubun.json");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("# 13060"), std::string::npos) << r.err;
  EXPECT_EQ(kura_test::ReadNativeFile(dir_.NativePath("kubun.dat")), "keep");
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("kubun.idx")));
}

TEST_F(KuraCreateTest, Usage) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string text;  // in the output or the error stream
  };
  const Case cases[] = {
      {"help", {"--help"}, 0, "usage: kura-create DIR TABLE SCHEMA.json"},
      {"no arguments", {}, 2, "usage:"},
      {"too few arguments", {dir_.native(), "T"}, 2, "usage:"},
      {"unknown option", {"--force", dir_.native(), "T", "s.json"}, 2, "unknown option --force"},
      {"missing schema file", {dir_.native(), "T", dir_.NativePath("none.json")}, 1, "cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kura_test::CommandResult r = RunCommand(kCreate, c.arguments);
    EXPECT_EQ(r.exit_status, c.status);
    EXPECT_NE((r.out + r.err).find(c.text), std::string::npos) << r.out << r.err;
  }
  EXPECT_FALSE(AnyFileOf("T"));
}

}  // namespace
