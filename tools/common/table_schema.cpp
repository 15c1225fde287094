#include "tools/common/table_schema.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "engine/core/data_engine.h"
#include "platform/ansi_text.h"

namespace kura_tools {

namespace {

using kura::AnsiString;
using Kind = TJsonValue::Kind;

struct TNamed {
  const char* name;
  uint8_t value;
};

constexpr TNamed kTypes[] = {
    {"string", kura::dtString},       {"date", kura::dtDate},
    {"blob", kura::dtBlob},           {"boolean", kura::dtBoolean},
    {"smallint", kura::dtSmallInt},   {"integer", kura::dtInteger},
    {"float", kura::dtFloat},         {"bcd", kura::dtBCD},
    {"bytes", kura::dtBytes},         {"time", kura::dtTime},
    {"timestamp", kura::dtTimeStamp}, {"word", kura::dtWord},
    {"varbytes", kura::dtVarBytes},   {"largeint", kura::dtLargeInt},
};
constexpr TNamed kSubTypes[] = {
    {"none", kura::fsNone},       {"fixed", kura::fsFixed},
    {"wide", kura::fsWide},       {"guid", kura::fsGuid},
    {"memo", kura::fsMemo},       {"formatted_memo", kura::fsFormattedMemo},
    {"graphic", kura::fsGraphic}, {"wide_memo", kura::fsWideMemo},
    {"autoinc", kura::fsAutoInc}, {"currency", kura::fsCurrency},
};
constexpr TNamed kCharCases[] = {
    {"none", kura::ccNone}, {"lower", kura::ccLower}, {"upper", kura::ccUpper}};
constexpr TNamed kCompressions[] = {{"none", kura::icNone},
                                    {"duplicate", kura::icDuplicateByte},
                                    {"trailing", kura::icTrailingByte},
                                    {"full", kura::icFull}};

[[noreturn]] void Fail(const TJsonValue& at, const std::string& what) {
  throw EJsonError(at.position(), what);
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kBoolean:
      return "a boolean";
    case Kind::kNumber:
      return "a number";
    case Kind::kString:
      return "a string";
    case Kind::kArray:
      return "an array";
    case Kind::kObject:
      return "an object";
    default:
      return "null";
  }
}

const TJsonValue& Expect(const TJsonValue& value, Kind kind, const std::string& what) {
  if (value.kind() != kind) {
    Fail(value, what + " must be " + KindName(kind) + ", not " + KindName(value.kind()));
  }
  return value;
}

// An object whose keys are all among `known`.
const TJsonValue& ExpectObject(const TJsonValue& value, const std::string& what,
                               std::initializer_list<const char*> known) {
  Expect(value, Kind::kObject, what);
  for (const auto& member : value.members()) {
    bool found = false;
    for (const char* k : known) found = found || member.first == k;
    if (!found) Fail(member.second, "unknown key \"" + member.first + "\" in " + what);
  }
  return value;
}

int64_t Integer(const TJsonValue& value, const std::string& what, int64_t minimum,
                int64_t maximum) {
  Expect(value, Kind::kNumber, what);
  int64_t v = 0;
  if (!value.AsInteger(&v) || v < minimum || v > maximum) {
    Fail(value, what + " must be a whole number from " + std::to_string(minimum) + " to " +
                    std::to_string(maximum));
  }
  return v;
}

bool Boolean(const TJsonValue& value, const std::string& what) {
  return Expect(value, Kind::kBoolean, what).boolean();
}

// A text converted to the ANSI code page; characters the code page lacks are refused rather
// than written as "?".
AnsiString Ansi(const TJsonValue& value, const std::string& what) {
  const std::string& utf8 = Expect(value, Kind::kString, what).text();
  AnsiString ansi = platform::Utf8ToAnsi(utf8);
  if (platform::AnsiToUtf8(ansi) != utf8) {
    Fail(value,
         what + " cannot be written in the code page " + std::to_string(platform::AnsiCodePage()));
  }
  return ansi;
}

template <size_t N>
uint8_t Named(const TJsonValue& value, const std::string& what, const TNamed (&names)[N]) {
  const std::string& text = Expect(value, Kind::kString, what).text();
  for (const TNamed& n : names) {
    if (text == n.name) return n.value;
  }
  std::string list;
  for (const TNamed& n : names) list += (list.empty() ? "" : ", ") + std::string(n.name);
  Fail(value, "unknown " + what + " \"" + text + "\" (one of: " + list + ")");
}

kura::TFieldDefinition ReadField(const TJsonValue& value, size_t position) {
  const std::string what = "field " + std::to_string(position);
  ExpectObject(value, what,
               {"name", "type", "subtype", "length", "decimals", "required", "char_case", "default",
                "minimum", "maximum", "compression", "description"});
  kura::TFieldDefinition f;
  const TJsonValue* name = value.Find("name");
  if (name == nullptr) Fail(value, what + " has no \"name\"");
  f.FieldName = Ansi(*name, what + " name");
  const TJsonValue* type = value.Find("type");
  if (type == nullptr) Fail(value, what + " has no \"type\"");
  f.DataType = Named(*type, "type", kTypes);
  for (const auto& [key, v] : value.members()) {
    if (key == "subtype") f.SubType = Named(v, "subtype", kSubTypes);
    if (key == "length") f.Length = static_cast<uint16_t>(Integer(v, what + " length", 0, 65535));
    if (key == "decimals") {
      f.Decimals = static_cast<uint8_t>(Integer(v, what + " decimals", 0, 255));
    }
    if (key == "required") f.Required = Boolean(v, what + " required");
    if (key == "char_case") f.CharCase = Named(v, "char_case", kCharCases);
    if (key == "default") f.Default = Ansi(v, what + " default");
    if (key == "minimum") f.Minimum = Ansi(v, what + " minimum");
    if (key == "maximum") f.Maximum = Ansi(v, what + " maximum");
    if (key == "compression") {
      f.Compression = static_cast<uint8_t>(Integer(v, what + " compression", 0, 255));
    }
    if (key == "description") f.Description = Ansi(v, what + " description");
  }
  return f;
}

// "fields": names, or objects {"name": ..., "descending": ...}.
void ReadKeyFields(const TJsonValue& value, const std::string& what,
                   kura::TIndexDescription* index) {
  Expect(value, Kind::kArray, what + " fields");
  for (const TJsonValue& item : value.items()) {
    if (item.kind() == Kind::kString) {
      index->FieldNames.push_back(Ansi(item, what + " field"));
      index->DescendingFields.push_back(false);
      continue;
    }
    ExpectObject(item, what + " field", {"name", "descending"});
    const TJsonValue* name = item.Find("name");
    if (name == nullptr) Fail(item, what + " field has no \"name\"");
    index->FieldNames.push_back(Ansi(*name, what + " field"));
    const TJsonValue* descending = item.Find("descending");
    index->DescendingFields.push_back(descending != nullptr &&
                                      Boolean(*descending, what + " field descending"));
  }
}

kura::TIndexDescription ReadIndex(const TJsonValue& value, const std::string& what,
                                  bool secondary) {
  if (secondary) {
    ExpectObject(value, what,
                 {"name", "fields", "unique", "descending", "case_insensitive", "compression",
                  "no_statistics"});
  } else {
    ExpectObject(value, what,
                 {"fields", "descending", "case_insensitive", "compression", "no_statistics"});
  }
  kura::TIndexDescription index;
  const TJsonValue* fields = value.Find("fields");
  if (fields == nullptr) Fail(value, what + " has no \"fields\"");
  if (secondary) {
    const TJsonValue* name = value.Find("name");
    if (name == nullptr) Fail(value, what + " has no \"name\"");
    index.Name = Ansi(*name, what + " name");
  }
  ReadKeyFields(*fields, what, &index);
  for (const auto& [key, v] : value.members()) {
    if (key == "unique") index.Unique = Boolean(v, what + " unique");
    if (key == "descending") index.Descending = Boolean(v, what + " descending");
    if (key == "case_insensitive") index.CaseInsensitive = Boolean(v, what + " case_insensitive");
    if (key == "compression") index.Compression = Named(v, "compression", kCompressions);
    if (key == "no_statistics") index.NoKeyStatistics = Boolean(v, what + " no_statistics");
  }
  return index;
}

int32_t ReadLocale(const TJsonValue& value, kura::TDataEngine* engine) {
  if (value.kind() == Kind::kNumber) {
    return static_cast<int32_t>(Integer(value, "locale", 0, INT32_MAX));
  }
  AnsiString name = Ansi(value, "locale");
  if (engine->IsValidLocaleConstant(name)) return engine->ConvertLocaleConstantToID(name);
  Fail(value, "unknown locale \"" + value.text() + "\"");
}

}  // namespace

kura::TTableDescription ReadTableSchema(const TJsonValue& schema, kura::TDataEngine* engine) {
  ExpectObject(schema, "the schema",
               {"description", "locale", "index_page_size", "blob_block_size", "user_version",
                "password", "fields", "primary_index", "indexes", "text_index"});
  kura::TTableDescription table;
  const TJsonValue* fields = schema.Find("fields");
  if (fields == nullptr) Fail(schema, "the schema has no \"fields\"");
  Expect(*fields, Kind::kArray, "\"fields\"");
  for (size_t i = 0; i < fields->items().size(); ++i) {
    table.Fields.push_back(ReadField(fields->items()[i], i + 1));
  }
  for (const auto& [key, v] : schema.members()) {
    if (key == "description") table.Description = Ansi(v, "the description");
    if (key == "locale") table.LocaleID = ReadLocale(v, engine);
    if (key == "index_page_size") {
      table.IndexPageSize = static_cast<int32_t>(Integer(v, "index_page_size", 0, INT32_MAX));
    }
    if (key == "blob_block_size") {
      table.BlobBlockSize = static_cast<int32_t>(Integer(v, "blob_block_size", 0, INT32_MAX));
    }
    if (key == "user_version") {
      ExpectObject(v, "user_version", {"major", "minor"});
      if (const TJsonValue* major = v.Find("major")) {
        table.UserMajorVersion = static_cast<uint16_t>(Integer(*major, "major", 0, 65535));
      }
      if (const TJsonValue* minor = v.Find("minor")) {
        table.UserMinorVersion = static_cast<uint16_t>(Integer(*minor, "minor", 0, 65535));
      }
    }
    if (key == "password" && !Expect(v, Kind::kString, "password").text().empty()) {
      Fail(v, "encrypted tables cannot be created yet");
    }
    if (key == "primary_index") table.PrimaryIndex = ReadIndex(v, "primary_index", false);
    if (key == "indexes") {
      Expect(v, Kind::kArray, "\"indexes\"");
      for (size_t i = 0; i < v.items().size(); ++i) {
        table.SecondaryIndexes.push_back(
            ReadIndex(v.items()[i], "index " + std::to_string(i + 1), true));
      }
    }
    if (key == "text_index") {
      Expect(v, Kind::kArray, "\"text_index\"");
      for (const TJsonValue& item : v.items()) {
        table.TextIndexFields.push_back(Ansi(item, "text_index field"));
      }
    }
  }
  return table;
}

}  // namespace kura_tools
