// kura-check on tables built by code: sound and damaged tables, a whole directory, a missing
// index file, usage. The checks themselves are the engine's table checker (tested with it).
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_table.h"

namespace {

using namespace kura_test;

const std::string kTool = std::string(KURA_TOOLS_DIR) + "/kura-check";

std::string Coded(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "K%04d", n);
  return text;
}

class KuraCheckTest : public TreeTableFixture {
 protected:
  // A table with a few levels of keys, a freed range of records, closed again.
  void MakeTable(const std::string& name, bool damage_record_count = false) {
    CreateTreeTable({1024, kura::icNone, true, 93}, name);
    std::vector<int32_t> slots;
    for (int i = 0; i < 120; ++i) slots.push_back(Append(Coded(i)));
    for (int i = 40; i < 60; ++i) keyed_->Delete(slots[static_cast<size_t>(i)]);
    if (damage_record_count) {
      table_->WriteLockTable();
      table_->DataFile()->SetRecordCount(7);
      table_->FlushBuffers(false, true, false, false, false);
      table_->WriteUnlockTable();
    }
    keyed_.reset();
    CloseTable(directory_, table_);
  }

  CommandResult Run(const std::vector<std::string>& arguments) {
    return RunCommand(kTool, arguments);
  }
  std::string Files(const std::string& name) {
    return ReadNativeFile(dir_.NativePath(name + ".dat")) +
           ReadNativeFile(dir_.NativePath(name + ".idx"));
  }
};

TEST_F(KuraCheckTest, ASoundTablePassesAndADamagedOneIsReportedWithThePlace) {
  MakeTable("Sound");
  MakeTable("Broken", true);
  const std::string before = Files("Broken");

  CommandResult sound = Run({dir_.native(), "Sound"});
  EXPECT_EQ(sound.exit_status, 0) << sound.out << sound.err;
  EXPECT_EQ(sound.out, "Sound: no problems found\n");

  CommandResult broken = Run({dir_.native(), "Broken.dat"});
  EXPECT_EQ(broken.exit_status, 1) << broken.err;
  EXPECT_NE(broken.out.find("Broken: data header: RecordCount is 7 but 100 records are live\n"),
            std::string::npos)
      << broken.out;
  EXPECT_NE(broken.out.find("Broken: 1 problem\n"), std::string::npos) << broken.out;
  EXPECT_EQ(Files("Broken"), before) << "the check wrote to the table";

  CommandResult all = Run({dir_.native()});
  EXPECT_EQ(all.exit_status, 1);
  EXPECT_NE(all.out.find("Sound: no problems found\n"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("Broken: 1 problem\n"), std::string::npos) << all.out;
}

TEST_F(KuraCheckTest, AMissingIndexFileIsReportedAndNotMadeAgain) {
  MakeTable("Tree");
  ASSERT_EQ(std::remove(dir_.NativePath("Tree.idx").c_str()), 0);
  CommandResult result = Run({dir_.native(), "Tree"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.out.find("Tree: index file: missing\n"), std::string::npos) << result.out;
  EXPECT_FALSE(NativeFileExists(dir_.NativePath("Tree.idx")));
}

TEST_F(KuraCheckTest, TablesThatCannotBeOpenedAndBadUsage) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    const char* output;  // a part of standard output or error
  };
  const std::vector<Case> cases = {
      {{dir_.native(), "Absent"}, 1, "Absent: cannot be checked: Kura Engine Error # 11010"},
      {{dir_.native()}, 0, "no tables in"},
      {{}, 2, "usage: kura-check DIR [TABLE]"},
      {{dir_.native(), "A", "B"}, 2, "usage:"},
      {{"--verbose", dir_.native()}, 2, "unknown option --verbose"},
      {{"--help"}, 0, "usage: kura-check DIR [TABLE]"},
  };
  for (const Case& c : cases) {
    CommandResult result = Run(c.arguments);
    SCOPED_TRACE(result.out + result.err);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_NE((result.out + result.err).find(c.output), std::string::npos);
  }
}

}  // namespace
