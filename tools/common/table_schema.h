// The JSON schema of a table for kura-create (its format is described in the README): fields,
// indexes, locale, page and block sizes, description and user version.
//
// Reading checks the shape only: every key known, every value of the kind its key takes, the
// names of types, sub-types, character cases and compressions known, numbers in the range of
// what stores them, and every text writable in the ANSI code page (names and texts are converted
// to it). Faults raise EJsonError at the offending value. Whether the table itself is valid is
// the engine's check when the table is created.
#pragma once

#include "engine/maint/table_creator.h"
#include "tools/common/json_value.h"

namespace kura {
class TDataEngine;
}

namespace kura_tools {

// `engine` resolves locale names; it must have been initialised (its locale list is used).
kura::TTableDescription ReadTableSchema(const TJsonValue& schema, kura::TDataEngine* engine);

}  // namespace kura_tools
