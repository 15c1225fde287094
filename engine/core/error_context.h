// The names and details that travel with an engine error: what RaiseError stores as the
// engine's last error and what EKuraEngineError carries. Callers fill only what applies:
//   engine->RaiseError(KURA_HEADERCORRUPT, {.table_name = name});
#pragma once

#include <cstdint>

#include "engine/ansi_string.h"

namespace kura {

// Every member has a default initializer, so that designated initializers naming only some of
// them stay free of missing-initializer warnings.
struct TErrorContext {
  AnsiString remote_name{};
  AnsiString user_name{};
  AnsiString database_name{};
  AnsiString table_name{};
  AnsiString field_name{};
  AnsiString index_name{};
  AnsiString message{};
  AnsiString procedure_name{};
  AnsiString event_name{};
  int32_t line = 0;
  int32_t column = 0;
};

}  // namespace kura
