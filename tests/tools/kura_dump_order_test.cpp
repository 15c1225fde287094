// kura-dump --order: the live records in the order of an index, read through a cursor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/cursor_fixture.h"

namespace {

using kura_test::RunCommand;

const std::string kTool = std::string(KURA_TOOLS_DIR) + "/kura-dump";

class KuraDumpOrderTest : public kura_test::CursorFixture {
 protected:
  void SetUp() override {
    MakeTable({1024, kura::icNone, false});
    rows_ = writer_->AppendAll({{"K", 30, "c"}, {"B", 10, "a"}, {"X", 20, "d"}, {"A", 10, "b"}});
    writer_->Delete(rows_[2]);
    writer_.reset();  // closes the table: the tool opens it as another program
  }
  // The "slot N live id I" openings of the record lines, in output order.
  static std::vector<std::string> RecordLines(const std::string& out) {
    std::vector<std::string> lines;
    size_t at = out.find("\nRecords\n");
    if (at == std::string::npos) return lines;
    for (size_t from = at + 9; from < out.size();) {
      size_t end = out.find('\n', from);
      std::string line = out.substr(from, end - from);
      lines.push_back(line.substr(0, line.find(':')));
      from = end + 1;
    }
    return lines;
  }
  std::vector<kura_test::StoredRow> rows_;
};

TEST_F(KuraDumpOrderTest, ListsTheLiveRecordsInTheOrderOfTheIndex) {
  struct OrderCase {
    std::string index;
    std::vector<std::string> lines;
  };
  const std::vector<std::string> by_id = {"  1 live id 1", "  2 live id 2", "  4 live id 4"};
  const OrderCase cases[] = {
      {"ByAmount", {"  2 live id 2", "  4 live id 4", "  1 live id 1"}},
      {"bycodename", {"  4 live id 4", "  2 live id 2", "  1 live id 1"}},
      {"2", {"  4 live id 4", "  2 live id 2", "  1 live id 1"}},
      {"", by_id},
      {"0", by_id},
  };
  for (const OrderCase& c : cases) {
    auto r = RunCommand(kTool, {dir_.native(), kTable, "--order", c.index});
    ASSERT_EQ(r.exit_status, 0) << c.index << ": " << r.err;
    EXPECT_EQ(RecordLines(r.out), c.lines) << c.index << "\n" << r.out;
  }
  auto json = RunCommand(kTool, {dir_.native(), kTable, "--json", "--order", "ByAmount"});
  ASSERT_EQ(json.exit_status, 0) << json.err;
  const size_t second = json.out.find("{\"slot\": 2, \"status\": \"live\", \"id\": 2");
  const size_t fourth = json.out.find("{\"slot\": 4, \"status\": \"live\", \"id\": 4");
  const size_t first = json.out.find("{\"slot\": 1, \"status\": \"live\", \"id\": 1");
  ASSERT_NE(first, std::string::npos) << json.out;
  EXPECT_LT(second, fourth);
  EXPECT_LT(fourth, first);
  EXPECT_EQ(json.out.find("\"deleted\""), std::string::npos);
  EXPECT_EQ(json.out.substr(json.out.size() - 8), "}\n  ]\n}\n");
}

TEST_F(KuraDumpOrderTest, AnUnknownIndexOrAMissingArgumentIsRefused) {
  struct RefusedCase {
    std::vector<std::string> arguments;
    int status;
    const char* message;
  };
  const RefusedCase cases[] = {
      {{dir_.native(), kTable, "--order", "Nope"}, 1, "Invalid secondary index name 'Nope'"},
      {{dir_.native(), kTable, "--order", "7"}, 1, "Invalid secondary index name '7'"},
      {{dir_.native(), kTable, "--order", "255"}, 1, "Invalid secondary index name '255'"},
      {{dir_.native(), kTable, "--order"}, 2, "usage:"},
      {{dir_.native(), kTable, "--order", "A", "--order", "B"}, 2, "usage:"},
  };
  for (const RefusedCase& c : cases) {
    auto r = RunCommand(kTool, c.arguments);
    EXPECT_EQ(r.exit_status, c.status) << c.arguments.back();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

}  // namespace
