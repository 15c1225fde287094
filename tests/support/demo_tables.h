// The three cash-book tables "SORAMI", "KAMOKU" and "kubun", created empty in a folder from the
// demo schemas of the repository with the kura-create tool (which the test program must list
// among its build dependencies).
#pragma once

#include <string>

#include "tests/support/child_process.h"

namespace kura_test {

// Creates the table `table` ("SORAMI", "KAMOKU" or "kubun") in the native folder; returns the
// tool's output when it fails, else "".
inline std::string CreateDemoTable(const std::string& native_folder, const std::string& table) {
  const CommandResult result =
      RunCommand(std::string(KURA_TOOLS_DIR) + "/kura-create",
                 {native_folder, table, std::string(KURA_SOURCE_DIR) + "/schemas/" + table + ".json"});
  return result.exit_status == 0 ? "" : result.out + result.err;
}

inline std::string CreateDemoTables(const std::string& native_folder) {
  for (const char* table : {"SORAMI", "KAMOKU", "kubun"}) {
    const std::string failure = CreateDemoTable(native_folder, table);
    if (!failure.empty()) return failure;
  }
  return "";
}

}  // namespace kura_test
