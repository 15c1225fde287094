// The table of engine error codes: constant names, message formats and the error details that
// fill each placeholder, in placeholder order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/ansi_string.h"
#include "engine/core/error_context.h"

namespace kura {

// Which detail of the last error fills a placeholder. Texts fill "%s"; line, column and the OS
// error number fill "%u" as unsigned decimals.
enum class TErrorField : uint8_t {
  kTable,
  kDatabase,
  kIndex,
  kField,
  kMessage,
  kLine,
  kColumn,
  kOSErrorNumber,
  kRemote,
  kUser,
};

struct TErrorTableEntry {
  uint16_t code;
  const char* constant;  // "" for the codes that have no constant name
  const char* format;
  TErrorField fills[4];  // the first placeholder_count() entries are used

  size_t placeholder_count() const;
};

// Every known code, ascending.
std::span<const TErrorTableEntry> ErrorTable();
// The entry of a code, or nullptr for an unknown code.
const TErrorTableEntry* FindErrorTableEntry(uint16_t code);

// The text of an unknown code.
inline constexpr char kUnknownErrorText[] = "An unknown error occurred";
// Engine error texts are cut to this many characters wherever they are handed out.
inline constexpr size_t kMaxErrorTextLength = 254;

// The message of `code` with its placeholders filled from `context` and `os_error_number`, whole
// (not cut). Placeholders are replaced one by one; a "%" inside a filled-in name stays as it is.
AnsiString FormatErrorMessage(uint16_t code, const TErrorContext& context, int32_t os_error_number);

// The text cut to kMaxErrorTextLength bytes; a double-byte character that the cut would split
// is dropped whole.
AnsiString CutErrorText(const AnsiString& text);

}  // namespace kura
