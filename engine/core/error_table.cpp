#include "engine/core/error_table.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ansi_text.h"

namespace kura {
namespace {

using F = TErrorField;

constexpr TErrorTableEntry kErrorTable[] = {
    {0, "KURA_NONE",
     "",
     {}},
    {8705, "KURA_BOF",
     "Beginning of table '%s' unexpectedly encountered",
     {F::kTable}},
    {8706, "KURA_EOF",
     "End of table '%s' unexpectedly encountered",
     {F::kTable}},
    {8708, "KURA_KEYORRECDELETED",
     "Record has been changed or deleted by another user, session, or table cursor in the table '%s'",
     {F::kTable}},
    {8709, "KURA_NOCURRREC",
     "No current record in the table '%s'",
     {F::kTable}},
    {8710, "KURA_RECNOTFOUND",
     "Record not found in the table '%s'",
     {F::kTable}},
    {8711, "KURA_ENDOFBLOB",
     "End of BLOB field in the table '%s' reached prematurely",
     {F::kTable}},
    {8961, "KURA_HEADERCORRUPT",
     "Header information corrupt in the table '%s'",
     {F::kTable}},
    {8962, "KURA_FILECORRUPT",
     "Data record buffers corrupt in the table '%s'",
     {F::kTable}},
    {8963, "KURA_MEMOCORRUPT",
     "BLOB block buffers corrupt in the table '%s'",
     {F::kTable}},
    {8965, "KURA_INDEXCORRUPT",
     "Index page buffers corrupt in the table '%s'",
     {F::kTable}},
    {9217, "KURA_READERR",
     "Error reading from the table or backup file '%s'",
     {F::kTable}},
    {9218, "KURA_WRITEERR",
     "Error writing to the table or backup file '%s'",
     {F::kTable}},
    {9477, "KURA_RECTOOBIG",
     "Maximum record size exceeded in the table '%s'",
     {F::kTable}},
    {9479, "KURA_TABLEFULL",
     "The table '%s' is full and cannot contain any more data",
     {F::kTable}},
    {9480, "KURA_DATABASEFULL",
     "The database '%s' is full and cannot contain any more tables",
     {F::kDatabase}},
    {9482, "KURA_INTERNALLIMIT",
     "Too many filters defined for the table '%s'",
     {F::kTable}},
    {9487, "KURA_INDEXLIMIT",
     "Maximum or minimum limits on the index page size, the number of indexes, or the number of fields in an index exceeded in the table '%s'",
     {F::kTable}},
    {9492, "KURA_FLDLIMIT",
     "Maximum or minimum limits on number of fields exceeded in the table '%s'",
     {F::kTable}},
    {9494, "KURA_OPENBLOBLIMIT",
     "Too many BLOBs opened in the table '%s'",
     {F::kTable}},
    {9498, "KURA_BLOBLIMIT",
     "Too many BLOB fields or invalid BLOB block size specified for the table '%s'",
     {F::kTable}},
    {9729, "KURA_KEYVIOL",
     "Duplicate key found in the index '%s' of the table '%s'",
     {F::kIndex, F::kTable}},
    {9730, "KURA_MINVALERR",
     "The value for the field '%s' in the table '%s' is below the minimum allowable value",
     {F::kField, F::kTable}},
    {9731, "KURA_MAXVALERR",
     "The value for the field '%s' in the table '%s' is above the maximum allowable value",
     {F::kField, F::kTable}},
    {9732, "KURA_REQDERR",
     "A value must be provided for the field '%s' in the table '%s'",
     {F::kField, F::kTable}},
    {9985, "KURA_OUTOFRANGE",
     "Invalid field number or name '%s' specified for the table '%s'",
     {F::kField, F::kTable}},
    {9993, "KURA_PRIMARYKEYREDEFINE",
     "A primary index is already defined for the table '%s' and cannot be added again",
     {F::kTable}},
    {9998, "KURA_INVALIDBLOBOFFSET",
     "Invalid BLOB offset into the table '%s' specified",
     {F::kTable}},
    {10000, "KURA_INVALIDFLDTYPE",
     "Invalid field definition specified for the field '%s' in the table '%s'",
     {F::kField, F::kTable}},
    {10006, "KURA_INVALIDVCHKSTRUCT",
     "Invalid default expression or min/max constraint specified for the field '%s' in the table '%s'",
     {F::kField, F::kTable}},
    {10010, "KURA_INDEXNAMEREQUIRED",
     "The secondary index name is missing or not specified for the table '%s'",
     {F::kTable}},
    {10015, "KURA_INVALIDPASSWORD",
     "Password provided for the table '%s' is invalid",
     {F::kTable}},
    {10022, "KURA_INVALIDINDEXNAME",
     "Invalid secondary index name '%s' specified for the table '%s'",
     {F::kIndex, F::kTable}},
    {10023, "KURA_INVALIDIDXDESC",
     "Invalid field number '%s' specified in the index '%s' for the table '%s'",
     {F::kField, F::kIndex, F::kTable}},
    {10026, "KURA_INVALIDKEY",
     "Invalid key size specified in the index '%s' for the table '%s'",
     {F::kIndex, F::kTable}},
    {10027, "KURA_INDEXEXISTS",
     "The secondary index '%s' already exists for the table '%s'",
     {F::kIndex, F::kTable}},
    {10029, "KURA_INVALIDBLOBLEN",
     "Invalid BLOB length in the table '%s'",
     {F::kTable}},
    {10030, "KURA_INVALIDBLOBHANDLE",
     "Invalid BLOB handle for the table '%s' specified",
     {F::kTable}},
    {10031, "KURA_TABLEOPEN",
     "The table '%s' is already in use",
     {F::kTable}},
    {10038, "KURA_INVALIDFIELDNAME",
     "Invalid or duplicate field name '%s' specified for the table '%s'",
     {F::kField, F::kTable}},
    {10050, "KURA_NOSUCHFILTER",
     "Invalid filter handle specified for the table '%s'",
     {F::kTable}},
    {10051, "KURA_INVALIDFILTER",
     "Filter error for the table '%s' - %s at line %u, column %u",
     {F::kTable, F::kMessage, F::kLine, F::kColumn}},
    {10221, "KURA_LOCKREADLOCK",
     "Cannot read lock the lock file for the database '%s'",
     {F::kDatabase}},
    {10222, "KURA_LOCKREADUNLOCK",
     "Cannot read unlock the lock file for the database '%s'",
     {F::kDatabase}},
    {10223, "KURA_LOCKWRITELOCK",
     "Cannot write lock the lock file for the database '%s'",
     {F::kDatabase}},
    {10224, "KURA_LOCKWRITEUNLOCK",
     "Cannot write unlock the lock file for the database '%s'",
     {F::kDatabase}},
    {10225, "KURA_READLOCK",
     "Cannot read lock the table '%s'",
     {F::kTable}},
    {10226, "KURA_READUNLOCK",
     "Cannot read unlock the table '%s'",
     {F::kTable}},
    {10227, "KURA_WRITELOCK",
     "Cannot write lock the table '%s'",
     {F::kTable}},
    {10228, "KURA_WRITEUNLOCK",
     "Cannot write unlock the table '%s'",
     {F::kTable}},
    {10229, "KURA_TRANSLOCK",
     "Transaction cannot lock the database '%s'",
     {F::kDatabase}},
    {10230, "KURA_TRANSUNLOCK",
     "Transaction cannot unlock the database '%s'",
     {F::kDatabase}},
    {10241, "KURA_LOCKED",
     "Cannot lock the table '%s'",
     {F::kTable}},
    {10242, "KURA_UNLOCKFAILED",
     "Cannot unlock the table or record in the table '%s'",
     {F::kTable}},
    {10253, "KURA_NEEDEXCLACCESS",
     "The table '%s' must be opened exclusively",
     {F::kTable}},
    {10258, "KURA_RECLOCKFAILED",
     "Cannot lock record in the table '%s'",
     {F::kTable}},
    {10498, "KURA_NOTSUFFTABLERIGHTS",
     "Insufficient rights to the table '%s', a password is required",
     {F::kTable}},
    {10753, "KURA_NOTABLOB",
     "Invalid BLOB field '%s' specified for the table '%s'",
     {F::kField, F::kTable}},
    {11010, "KURA_OSENOENT",
     "Table or backup file '%s' does not exist",
     {F::kTable}},
    {11012, "KURA_OSEMFILE",
     "Too many operating system files open while attempting to open the table '%s'",
     {F::kTable}},
    {11013, "KURA_OSEACCES",
     "Access denied to table or backup file '%s'",
     {F::kTable}},
    {11014, "KURA_OSEBADF",
     "Invalid operating system file handle for the table '%s'",
     {F::kTable}},
    {11016, "KURA_OSENOMEM",
     "There is insufficient operating system memory available for the current operation",
     {}},
    {11023, "KURA_OSENODEV",
     "Access denied to logical operating system device for the table '%s'",
     {F::kTable}},
    {11025, "KURA_OSENOTSAM",
     "The table or backup file '%s' has been moved",
     {F::kTable}},
    {11047, "KURA_OSUNKNOWN",
     "An unknown operating system error %u occurred with the table or backup file '%s'",
     {F::kOSErrorNumber, F::kTable}},
    {11309, "KURA_IMPORTERROR",
     "An error occurred during the import into the table '%s' - %s",
     {F::kTable, F::kMessage}},
    {11310, "KURA_EXPORTERROR",
     "An error occurred during the export from the table '%s' - %s",
     {F::kTable, F::kMessage}},
    {11312, "KURA_LOADSTREAMERROR",
     "An error occurred during the loading of a stream into the table '%s' - %s",
     {F::kTable, F::kMessage}},
    {11313, "KURA_SAVESTREAMERROR",
     "An error occurred during the saving of the table '%s' to a stream - %s",
     {F::kTable, F::kMessage}},
    {11314, "KURA_TRIGGERERROR",
     "An error occurred during a trigger on the table '%s' - %s",
     {F::kTable, F::kMessage}},
    {11949, "KURA_SQLPARSE",
     "SQL parsing error - %s at line %u, column %u",
     {F::kMessage, F::kLine, F::kColumn}},
    {11950, "KURA_SQLEXEC",
     "SQL execution error - %s",
     {F::kMessage}},
    {12035, "KURA_OLDVERSION",
     "The table '%s' is not the correct version",
     {F::kTable}},
    {12036, "KURA_BADSIGNATURE",
     "The table or backup file '%s' is not valid",
     {F::kTable}},
    {12292, "KURA_SEARCHCOLREQD",
     "Invalid field '%s' specified for the index '%s' in the table '%s'",
     {F::kField, F::kIndex, F::kTable}},
    {13060, "KURA_TABLEEXISTS",
     "The table '%s' already exists",
     {F::kTable}},
    {15001, "KURA_COMPRESS",
     "Error compressing data",
     {}},
    {15002, "KURA_UNCOMPRESS",
     "Error uncompressing data",
     {}},
    {15878, "KURA_CANNOTLOADLDDRV",
     "The locale support for the table '%s' is not available or installed",
     {F::kTable}},
};

// The connection codes of remote sessions. Their texts are this engine's own: only remote
// sessions raise them, and they name the server, user or database concerned.
constexpr TErrorTableEntry kRemoteErrorTable[] = {
    {11276, "KURA_REMOTECOMMLOST", "Communication with the database server '%s' was lost",
     {F::kRemote}},
    {11277, "KURA_REMOTEENCRYPTREQ", "The database server '%s' requires an encrypted connection",
     {F::kRemote}},
    {11279, "KURA_REMOTEUNKNOWN", "An unknown error occurred with the database server '%s'",
     {F::kRemote}},
    {11280, "KURA_REMOTECONNECT", "Cannot connect to the database server '%s'", {F::kRemote}},
    {11281, "KURA_REMOTENOLOGIN", "The database server '%s' does not accept logins",
     {F::kRemote}},
    {11282, "KURA_REMOTEMAXCONNECT",
     "The database server '%s' has reached its maximum number of connections", {F::kRemote}},
    {11283, "KURA_REMOTEADDRESSBLOCK",
     "The database server '%s' does not accept connections from this address", {F::kRemote}},
    {11284, "KURA_REMOTECALLBACK", "A callback from the database server '%s' failed",
     {F::kRemote}},
    {11285, "KURA_REMOTECALLBACKERR",
     "An error occurred in a callback from the database server '%s'", {F::kRemote}},
    {11286, "KURA_REMOTEVERSION",
     "The version of the database server '%s' does not match this client", {F::kRemote}},
    {11287, "KURA_REMOTEINVLOGIN", "Invalid user name or password for the database server '%s'",
     {F::kRemote}},
    {11288, "KURA_REMOTENOTAUTH", "The user '%s' is not authorized for this operation",
     {F::kUser}},
    {11289, "KURA_REMOTENOTADMIN", "The user '%s' is not an administrator", {F::kUser}},
    {11290, "KURA_REMOTEINVUSER", "Invalid user name '%s' specified", {F::kUser}},
    {11291, "KURA_REMOTENOUSER", "The user '%s' does not exist", {F::kUser}},
    {11292, "KURA_REMOTEDUPUSER", "The user '%s' already exists", {F::kUser}},
    {11293, "KURA_REMOTEINVDB", "Invalid database name '%s' specified", {F::kDatabase}},
    {11294, "KURA_REMOTENODB", "The database '%s' does not exist", {F::kDatabase}},
    {11295, "KURA_REMOTEDUPDB", "The database '%s' already exists", {F::kDatabase}},
    {11296, "KURA_REMOTEINVDBUSER", "Invalid user '%s' specified for the database '%s'",
     {F::kUser, F::kDatabase}},
    {11297, "KURA_REMOTENODBUSER", "The user '%s' does not exist for the database '%s'",
     {F::kUser, F::kDatabase}},
    {11298, "KURA_REMOTEDUPDBUSER", "The user '%s' already exists for the database '%s'",
     {F::kUser, F::kDatabase}},
    {11299, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11300, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11301, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11302, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11303, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11304, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11305, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11306, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11307, "", "A request to the database server '%s' failed", {F::kRemote}},
    {11308, "KURA_REMOTEINVREQUEST", "Invalid request sent to the database server '%s'",
     {F::kRemote}},
};

// Both tables merged in code order, built once.
const std::vector<TErrorTableEntry>& SortedTable() {
  static const std::vector<TErrorTableEntry> table = [] {
    std::vector<TErrorTableEntry> all(std::begin(kErrorTable), std::end(kErrorTable));
    all.insert(all.end(), std::begin(kRemoteErrorTable), std::end(kRemoteErrorTable));
    std::sort(all.begin(), all.end(),
              [](const TErrorTableEntry& a, const TErrorTableEntry& b) { return a.code < b.code; });
    return all;
  }();
  return table;
}

AnsiString FieldText(TErrorField field, const TErrorContext& context, int32_t os_error_number) {
  switch (field) {
    case F::kTable:
      return context.table_name;
    case F::kDatabase:
      return context.database_name;
    case F::kIndex:
      return context.index_name;
    case F::kField:
      return context.field_name;
    case F::kMessage:
      return context.message;
    case F::kRemote:
      return context.remote_name;
    case F::kUser:
      return context.user_name;
    case F::kLine:
      return std::to_string(static_cast<uint32_t>(context.line));
    case F::kColumn:
      return std::to_string(static_cast<uint32_t>(context.column));
    case F::kOSErrorNumber:
      return std::to_string(static_cast<uint32_t>(os_error_number));
  }
  return AnsiString();
}

}  // namespace

size_t TErrorTableEntry::placeholder_count() const {
  size_t n = 0;
  for (const char* p = format; p[0] != '\0'; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'u')) ++n;
  }
  return n;
}

std::span<const TErrorTableEntry> ErrorTable() { return SortedTable(); }

const TErrorTableEntry* FindErrorTableEntry(uint16_t code) {
  const auto& table = SortedTable();
  auto it = std::lower_bound(table.begin(), table.end(), code,
                             [](const TErrorTableEntry& e, uint16_t c) { return e.code < c; });
  return it != table.end() && it->code == code ? &*it : nullptr;
}

AnsiString FormatErrorMessage(uint16_t code, const TErrorContext& context,
                              int32_t os_error_number) {
  const TErrorTableEntry* entry = FindErrorTableEntry(code);
  if (entry == nullptr) return kUnknownErrorText;
  AnsiString result;
  size_t next_fill = 0;
  size_t count = entry->placeholder_count();
  for (const char* p = entry->format; *p != '\0'; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'u') && next_fill < count) {
      result += FieldText(entry->fills[next_fill++], context, os_error_number);
      ++p;
    } else {
      result += *p;
    }
  }
  return result;
}

AnsiString CutErrorText(const AnsiString& text) {
  if (text.size() <= kMaxErrorTextLength) return text;
  return platform::CutAnsi(text, kMaxErrorTextLength);
}

}  // namespace kura
