#include "app/engine_table_opener.h"

#include "platform/ansi_text.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace sorami {

void TEngineTableOpener::OpenTable(const std::string& directory, const std::string& table_name) {
  const std::string folder =
      directory.empty() ? directory : platform::IncludeTrailingPathDelimiter(directory);
  const std::string data_file = folder + table_name + ".dat";
  if (!platform::FileExists(data_file)) {
    throw TTableOpenError("Table '" + platform::AnsiToUtf8(table_name) +
                          "' cannot be opened: its data file '" +
                          platform::ToNativePath(data_file) + "' does not exist");
  }
}

}  // namespace sorami
