// The fixed English texts with which the dataset layer's components report misuse, raised as
// EDatabaseError (engine/core/engine_error.h). A "%s" stands for the name that the raising check
// supplies. When a check names the component concerned, the component's name and ": " go
// before the text.
#pragma once

namespace kura {

// Engine component
inline constexpr char SEngineActive[] = "Cannot perform this operation when the engine is active";
inline constexpr char SEngineNotActive[] =
    "Cannot perform this operation when the engine is not active";

// Session components
inline constexpr char SInvalidSessionName[] = "Session name '%s' is not valid";
inline constexpr char SDuplicateSessionName[] = "Session name '%s' already exists";
inline constexpr char SMissingSessionName[] = "Session name is missing";
inline constexpr char SSessionActive[] = "Cannot perform this operation on an active session";
inline constexpr char SSessionNotActive[] = "Cannot perform this operation on an inactive session";
inline constexpr char SActiveAutoSession[] =
    "Cannot perform this operation on the active auto-session";
inline constexpr char SOnlyActiveAutoSession[] =
    "The active auto-session can be the only active session";
inline constexpr char SDuplicateAutoSession[] = "This auto-session already exists";
inline constexpr char SRemoteSessionServerEngine[] =
    "Cannot activate a remote session with the server engine";

// Database components
inline constexpr char SMissingDatabaseName[] = "Database name is missing";
inline constexpr char SInvalidDatabaseName[] = "Database name '%s' is not valid";
inline constexpr char SDuplicateDatabaseName[] = "Database name '%s' already exists";
inline constexpr char SDatabaseOpen[] = "Cannot perform this operation on an open database";
inline constexpr char SDatabaseClosed[] = "Cannot perform this operation on a closed database";
inline constexpr char SActiveTransaction[] = "Database '%s' already has an active transaction";
inline constexpr char SNoActiveTransaction[] = "Database '%s' has no active transaction";

// Table data sets
inline constexpr char SMissingTableName[] = "Missing table name";
inline constexpr char STableHandleError[] = "Error creating table handle";
inline constexpr char SNotEditing[] = "Table is not in edit or insert mode";
inline constexpr char SFieldNotInIndex[] = "Field '%s' is not in the current index";
inline constexpr char SFieldReadOnly[] = "Field '%s' cannot be modified";
inline constexpr char SNoLocateFields[] = "No fields specified for locate";
inline constexpr char STooManyLocateFields[] = "Too many fields for locate";
inline constexpr char SBlobLocateField[] = "Blob field '%s' not allowed in locate or lookup";
inline constexpr char SFieldIndexOutOfRange[] = "Field index out of range";
// For the pseudo-fields the name is "RecordID" or "RecordHash".
inline constexpr char SIndexFieldAccess[] = "Cannot access index field '%s'";
inline constexpr char SNoIndexFields[] = "No fields defined for the current index";

}  // namespace kura
