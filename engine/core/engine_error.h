// The exceptions of the engine.
//
// EDatabaseError is the base of every database error: a std::runtime_error whose what() is 8-bit
// text in the system ANSI code page. EKuraEngineError is the one exception type by which the
// engine reports a failure: an engine error code plus the details of the failing object. The
// engine raises it only through TDataEngine::RaiseError, which records the details as the
// engine's last error first; the dataset layer re-exports the type.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "engine/ansi_string.h"
#include "engine/core/error_context.h"

namespace kura {

class TDataEngine;

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const AnsiString& message) : std::runtime_error(message) {}
};

class EKuraEngineError : public EDatabaseError {
 public:
  // The exception for `code` from the engine's last-error fields and message text. RaiseError
  // builds it while it holds the engine's error section; anyone else must hold it too.
  EKuraEngineError(const TDataEngine& engine, uint16_t code);

  // The exception from explicit details; `text` is the message text of the code (cut to 254
  // characters here).
  EKuraEngineError(uint16_t code, const AnsiString& text, const TErrorContext& context,
                   int32_t os_error_code = 0, int32_t socket_error_code = 0);

  uint16_t ErrorCode() const { return FErrorCode; }
  int32_t OSErrorCode() const { return FOSErrorCode; }
  int32_t SocketErrorCode() const { return FSocketErrorCode; }
  const AnsiString& ErrorRemoteName() const { return FErrorRemoteName; }
  const AnsiString& ErrorUserName() const { return FErrorUserName; }
  const AnsiString& ErrorDatabaseName() const { return FErrorDatabaseName; }
  const AnsiString& ErrorTableName() const { return FErrorTableName; }
  const AnsiString& ErrorFieldName() const { return FErrorFieldName; }
  const AnsiString& ErrorIndexName() const { return FErrorIndexName; }
  const AnsiString& ErrorMessage() const { return FErrorMessage; }
  const AnsiString& ErrorProcedureName() const { return FErrorProcedureName; }
  const AnsiString& ErrorEventName() const { return FErrorEventName; }
  int32_t ErrorLine() const { return FErrorLine; }
  int32_t ErrorColumn() const { return FErrorColumn; }

  // "Kura Engine Error # <code> <text>", the format of every engine error's what(); the text is
  // cut to 254 characters first.
  static AnsiString FormatMessage(uint16_t code, const AnsiString& text);

 private:
  uint16_t FErrorCode;
  int32_t FOSErrorCode;
  int32_t FSocketErrorCode;
  AnsiString FErrorRemoteName;
  AnsiString FErrorUserName;
  AnsiString FErrorDatabaseName;
  AnsiString FErrorTableName;
  AnsiString FErrorFieldName;
  AnsiString FErrorIndexName;
  AnsiString FErrorMessage;
  AnsiString FErrorProcedureName;
  AnsiString FErrorEventName;
  int32_t FErrorLine;
  int32_t FErrorColumn;
};

}  // namespace kura
