// Creating a table: its data file, its index file and, when it has BLOB fields, its BLOB file.
//
// CreateTable checks the whole description first and raises the engine error of the first check
// that fails, before any file exists; then it writes the files in the table format's order (data
// file: header settings, field definitions, forced header write, definitions; then the index
// file; then the BLOB file, a header only). A failure while writing deletes the files written so
// far, so that no half-made table is left behind. An existing table of that name (any of its
// files) is never touched: 13060.
//
// Encrypted tables are not created here yet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/format/field_definition.h"
#include "engine/format/index_definition.h"

namespace kura {

class TDataEngine;

// One index as the creator is told about it; fields by name ("RecordID" and "RecordHash" name
// the pseudo-fields), compared without regard to case.
struct TIndexDescription {
  AnsiString Name;  // secondary indexes only; ignored for the primary index
  std::vector<AnsiString> FieldNames;
  std::vector<bool> DescendingFields;  // per key field; missing entries are ascending
  bool Unique = false;                 // the primary index is always unique
  bool Descending = false;             // the index as a whole (informational)
  bool CaseInsensitive = false;
  uint8_t Compression = icNone;
  bool NoKeyStatistics = false;
};

struct TTableDescription {
  // Names, types, sub-types, lengths, decimals, required flags, character case, minimum,
  // maximum, default, BLOB compression and descriptions; numbers, offsets and sizes are
  // computed.
  std::vector<TFieldDefinition> Fields;
  // Without one the table gets the automatic primary index over "RecordID".
  std::optional<TIndexDescription> PrimaryIndex;
  std::vector<TIndexDescription> SecondaryIndexes;
  // String and memo fields whose words the text index keeps.
  std::vector<AnsiString> TextIndexFields;
  int32_t LocaleID = 0;
  int32_t IndexPageSize = 0;  // 0: the size the largest key asks for (GetMaxPageSize)
  int32_t BlobBlockSize = 512;
  AnsiString Description;  // at most 100 characters are kept
  uint16_t UserMajorVersion = 0;
  uint16_t UserMinorVersion = 0;
};

// Creates the table `table_name` in the database directory `directory` (engine paths). Raises:
//   13060 a file of the table exists; 11013 a table name that is empty or holds a path or drive
//   separator;
//   9492 no field or more than 1024; 10038 a field name that is empty, longer than 60
//   characters, starts with another character than a letter, "_" or a byte 128..254, repeats
//   another (case ignored) or is "RecordID"/"RecordHash"; 10000 an unknown type or sub-type, a
//   length, decimals, character case or compression the type does not allow; 10006 a default,
//   minimum or maximum that is not a literal of the type (or longer than 100 characters, or set
//   on a BLOB); 9498 more than 128 BLOB fields or a BLOB block size outside 64..65536; 9477 a
//   record longer than 65534 bytes; 15878 a locale that is not installed;
//   9487 an index page size outside 1024..16384, more than 30 secondary indexes, an index
//   without fields or with more than 128; 10010, 10022, 10027 secondary index names (missing,
//   invalid, repeated); 10023 a key field the table does not have; 12292 a BLOB key field (or a
//   text-index field that is neither a string nor a memo); 10026 a key longer than 4106 bytes or
//   than a third of a page's data area, or an unknown compression;
//   and the file errors of the engine.
void CreateTable(TDataEngine* engine, const AnsiString& directory, const AnsiString& table_name,
                 const TTableDescription& description);

}  // namespace kura
