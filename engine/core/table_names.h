// How the engine spells the names of directories and tables, and the file names of a table.
//
// Table names are file names without folder and without the data extension, at most 60
// characters; directory paths end in "\"; both are compared after trimming, without regard to
// case (the code page's upper-case mapping).
#pragma once

#include <cstddef>

#include "engine/ansi_string.h"

namespace kura {

class TDataEngine;

constexpr size_t kMaxTableNameLength = 60;
constexpr size_t kMaxDatabaseNameLength = 60;

// Without blanks and control characters at either end.
AnsiString TrimName(const AnsiString& Value);
// The key under which names are compared and sorted: trimmed and upper-cased.
AnsiString NameKey(const AnsiString& Value);
bool SameName(const AnsiString& a, const AnsiString& b);

// The part after the last "\" or ":", without a trailing data extension (or temporary data
// extension), cut to 60 characters.
AnsiString NormalizeTableName(const TDataEngine& Engine, const AnsiString& Value);

// Directory + table name + extension; a name that already ends with the data extension (or
// the temporary data extension) has it replaced.
AnsiString TableFileName(const TDataEngine& Engine, const AnsiString& Directory,
                         const AnsiString& TableName, const AnsiString& Extension);

// A directory path as directory objects keep it: trimmed, with a trailing "\" ("" stays "").
AnsiString NormalizeDirectoryPath(const AnsiString& Path);

}  // namespace kura
