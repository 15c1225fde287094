#include "tools/common/direct_file_owner.h"

#include "engine/core/data_engine.h"
#include "engine/core/error_codes.h"

namespace kura_tools {

void TDirectFileOwner::VerifyDigest(const uint8_t*) {
  kura::TErrorContext context;
  context.table_name = table_name_;
  context.database_name = database_name_;
  engine_->RaiseError(kura::KURA_NOTSUFFTABLERIGHTS, context);
}

}  // namespace kura_tools
