// kura-dump among other programs: it follows the directory's locking protocol.
#include <gtest/gtest.h>

#include <string>

#include "engine/core/lock_file.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "tests/support/child_process.h"
#include "tests/support/session_fixture.h"

namespace {

const std::string kTool = std::string(KURA_TOOLS_DIR) + "/kura-dump";

class KuraDumpLockingTest : public kura_test::SessionFixture {};

// A dump started while another program holds the table write lock waits for it and shows the
// whole change, never half of it; the table is registered in the lock file like any open.
TEST_F(KuraDumpLockingTest, WaitsForAWriterAndShowsItsWholeChange) {
  CreateTable("T");
  kura_test::Signal locked;
  kura_test::ChildProcess writer([&] {
    kura_test::SeparateTable other(dir_.engine(), "T");
    other.table->WriteLockTable();
    locked.Send();
    platform::SleepMilliseconds(600);
    kura_test::AppendAmounts(other.table, {7, 8});  // writes, flushes and releases the lock
    return 0;
  });
  ASSERT_EQ(locked.Wait(), '!');
  uint64_t start = platform::TickCount();
  kura_test::CommandResult r = kura_test::RunCommand(kTool, {dir_.native(), "T"});
  uint64_t elapsed = platform::TickCount() - start;
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_GE(elapsed, 400u);
  EXPECT_NE(r.out.find("  RecordCount: 2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  1 live id 1: Code=null Amount=7\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  2 live id 2: Code=null Amount=8\n"), std::string::npos) << r.out;
  ASSERT_EQ(writer.Wait(), 0);

  EXPECT_GE(OpenDirectory()->Locks()->FindDataTable("T"), 0);
  // A missing index file stays missing: a dump only looks.
  ASSERT_TRUE(platform::RemoveFile(IndexPath("T")));
  r = kura_test::RunCommand(kTool, {dir_.native(), "T", "--json"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_FALSE(kura_test::NativeFileExists(dir_.NativePath("T.idx")));
}

}  // namespace
