// Fuzzes the JSON reader and the schema reader of kura-create with arbitrary text. Build with
// clang and -DKURA_BUILD_FUZZ=ON (see fuzz/CMakeLists.txt).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/core/data_engine.h"
#include "tools/common/json_value.h"
#include "tools/common/table_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kura::TDataEngine* engine = [] {
    auto* e = new kura::TDataEngine();
    e->Initialize(e->LockFileName());
    return e;
  }();
  try {
    kura_tools::TJsonValue value =
        kura_tools::ParseJson(std::string_view(reinterpret_cast<const char*>(data), size));
    kura_tools::ReadTableSchema(value, engine);
  } catch (const kura_tools::EJsonError&) {
  }
  return 0;
}
