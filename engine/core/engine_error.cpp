#include "engine/core/engine_error.h"

#include <string>

#include "engine/core/data_engine.h"
#include "engine/core/error_table.h"

namespace kura {

AnsiString EKuraEngineError::FormatMessage(uint16_t code, const AnsiString& text) {
  return "Kura Engine Error # " + std::to_string(code) + " " + CutErrorText(text);
}

EKuraEngineError::EKuraEngineError(const TDataEngine& engine, uint16_t code)
    : EKuraEngineError(code, engine.GetErrorString(code), engine.LastErrorContext(),
                       engine.LastOSErrorNumber(), engine.LastSocketErrorNumber()) {}

EKuraEngineError::EKuraEngineError(uint16_t code, const AnsiString& text,
                                   const TErrorContext& context, int32_t os_error_code,
                                   int32_t socket_error_code)
    : EDatabaseError(FormatMessage(code, text)),
      FErrorCode(code),
      FOSErrorCode(os_error_code),
      FSocketErrorCode(socket_error_code),
      FErrorRemoteName(context.remote_name),
      FErrorUserName(context.user_name),
      FErrorDatabaseName(context.database_name),
      FErrorTableName(context.table_name),
      FErrorFieldName(context.field_name),
      FErrorIndexName(context.index_name),
      FErrorMessage(context.message),
      FErrorProcedureName(context.procedure_name),
      FErrorEventName(context.event_name),
      FErrorLine(context.line),
      FErrorColumn(context.column) {}

}  // namespace kura
