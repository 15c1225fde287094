#include "app/engine_table_opener.h"

#include "engine/core/data_engine.h"
#include "engine/core/error_codes.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace sorami {

TEngineTableOpener::TEngineTableOpener() : engine_(std::make_unique<kura::TDataEngine>()) {}

TEngineTableOpener::~TEngineTableOpener() = default;

void TEngineTableOpener::OpenTable(const std::string& directory, const std::string& table_name) {
  const std::string folder =
      directory.empty() ? directory : platform::IncludeTrailingPathDelimiter(directory);
  if (!platform::FileExists(folder + table_name + ".dat")) {
    engine_->RaiseError(kura::KURA_OSENOENT,
                        {.database_name = directory, .table_name = table_name});
  }
}

}  // namespace sorami
