#include "app/engine_table_opener.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace sorami_test {
namespace {

TEST(EngineTableOpenerTest, NeedsTheDataFile) {
  kura_test::TempDir temp;
  kura_test::WriteNativeFile(temp.NativePath("SORAMI.dat"), "");
  sorami::TEngineTableOpener opener;
  EXPECT_NO_THROW(opener.OpenTable(temp.engine(), "SORAMI"));
  try {
    opener.OpenTable(temp.engine(), "kubun");
    ADD_FAILURE() << "opened a table without data file";
  } catch (const sorami::TTableOpenError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("kubun"), std::string::npos) << message;
    EXPECT_NE(message.find(temp.NativePath("kubun.dat")), std::string::npos) << message;
  }
  // A folder of the data file's name is no data file, and a missing folder holds none.
  std::filesystem::create_directory(temp.NativePath("KAMOKU.dat"));
  EXPECT_THROW(opener.OpenTable(temp.engine(), "KAMOKU"), sorami::TTableOpenError);
  EXPECT_THROW(opener.OpenTable(temp.engine() + "\\missing", "SORAMI"), sorami::TTableOpenError);
}

}  // namespace
}  // namespace sorami_test
