#include "app/engine_table_opener.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "tests/support/temp_dir.h"

namespace sorami_test {
namespace {

TEST(EngineTableOpenerTest, NeedsTheDataFile) {
  kura_test::TempDir temp;
  kura_test::WriteNativeFile(temp.NativePath("SORAMI.dat"), "");
  // A folder of the data file's name is no data file.
  std::filesystem::create_directory(temp.NativePath("KAMOKU.dat"));
  sorami::TEngineTableOpener opener;
  EXPECT_NO_THROW(opener.OpenTable(temp.engine(), "SORAMI"));

  const struct {
    std::string directory;
    std::string table;
  } missing[] = {
      {temp.engine(), "kubun"}, {temp.engine(), "KAMOKU"}, {temp.engine() + "\\none", "SORAMI"}};
  for (const auto& c : missing) {
    try {
      opener.OpenTable(c.directory, c.table);
      ADD_FAILURE() << "opened " << c.table << " without its data file";
    } catch (const kura::EKuraEngineError& e) {
      EXPECT_EQ(e.ErrorCode(), kura::KURA_OSENOENT);
      EXPECT_EQ(e.ErrorTableName(), c.table);
      EXPECT_EQ(e.ErrorDatabaseName(), c.directory);
      EXPECT_EQ(std::string(e.what()),
                "Kura Engine Error # 11010 Table or backup file '" + c.table + "' does not exist");
    }
  }
}

}  // namespace
}  // namespace sorami_test
