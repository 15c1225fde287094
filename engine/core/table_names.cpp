#include "engine/core/table_names.h"

#include "engine/core/data_engine.h"
#include "platform/ansi_text.h"
#include "platform/path.h"
#include "engine/ansi_string.h"

namespace kura {

namespace {

bool EndsWithExtension(const AnsiString& name, const AnsiString& extension) {
  if (extension.empty() || name.size() < extension.size()) return false;
  return platform::AnsiUpperCase(name.substr(name.size() - extension.size())) ==
         platform::AnsiUpperCase(extension);
}

AnsiString WithoutDataExtension(const TDataEngine& engine, const AnsiString& name) {
  for (const AnsiString* extension : {&engine.DataExtension(), &engine.DataTempExtension()}) {
    if (EndsWithExtension(name, *extension)) return name.substr(0, name.size() - extension->size());
  }
  return name;
}

}  // namespace

AnsiString TrimName(const AnsiString& Value) { return AnsiString(TrimBlanks(Value)); }

AnsiString NameKey(const AnsiString& Value) { return platform::AnsiUpperCase(TrimName(Value)); }

bool SameName(const AnsiString& a, const AnsiString& b) { return NameKey(a) == NameKey(b); }

AnsiString NormalizeTableName(const TDataEngine& Engine, const AnsiString& Value) {
  size_t separator = Value.find_last_of("\\:");
  AnsiString name = separator == AnsiString::npos ? Value : Value.substr(separator + 1);
  return platform::CutAnsi(WithoutDataExtension(Engine, name), kMaxTableNameLength);
}

AnsiString TableFileName(const TDataEngine& Engine, const AnsiString& Directory,
                         const AnsiString& TableName, const AnsiString& Extension) {
  return Directory + WithoutDataExtension(Engine, TableName) + Extension;
}

AnsiString NormalizeDirectoryPath(const AnsiString& Path) {
  AnsiString trimmed = TrimName(Path);
  return trimmed.empty() ? trimmed : platform::IncludeTrailingPathDelimiter(trimmed);
}

}  // namespace kura
