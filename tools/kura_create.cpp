// kura-create DIR TABLE SCHEMA.json: creates a table from a JSON description of its fields,
// indexes, locale, page and block sizes (the format is described in the README).
//
// The schema is read and checked for its shape first; the engine then checks the table and
// writes its files, or leaves nothing behind. Exit status: 0 created, 1 a refused schema or an
// engine error (the message on standard error), 2 bad usage.
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/data_engine.h"
#include "engine/core/engine_error.h"
#include "engine/maint/table_creator.h"
#include "platform/ansi_text.h"
#include "platform/path.h"
#include "tools/common/json_value.h"
#include "tools/common/table_schema.h"

namespace {

using namespace kura;

constexpr const char* kUsage =
    "usage: kura-create DIR TABLE SCHEMA.json\n"
    "  Creates the table TABLE in the database directory DIR from the JSON schema SCHEMA.json:\n"
    "  fields, indexes, locale, index page size, BLOB block size, description, user version.\n"
    "  Names and texts are converted from UTF-8 to the ANSI code page.\n"
    "  --help   this text\n";

// Schemas are small; a larger file is refused before it is read.
constexpr std::streamoff kMaxSchemaSize = 16 * 1024 * 1024;

class ESchemaFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ReadSchemaFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ESchemaFileError("cannot read " + path);
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) throw ESchemaFileError("cannot read " + path);
  if (size > kMaxSchemaSize) throw ESchemaFileError(path + " is too large for a schema");
  in.seekg(0, std::ios::beg);
  std::string text(static_cast<size_t>(size), '\0');
  if (!in.read(text.data(), size)) throw ESchemaFileError("cannot read " + path);
  return text;
}

int Create(const std::string& directory_utf8, const std::string& table_utf8,
           const std::string& schema_path) {
  TDataEngine engine;
  engine.Initialize(engine.LockFileName());
  const std::string schema_text = ReadSchemaFile(schema_path);
  TTableDescription description;
  try {
    description = kura_tools::ReadTableSchema(kura_tools::ParseJson(schema_text), &engine);
  } catch (const kura_tools::EJsonError& e) {
    throw ESchemaFileError(schema_path + ": " + e.what());
  }
  std::string table = platform::Utf8ToAnsi(table_utf8);
  if (platform::AnsiToUtf8(table) != table_utf8) {
    throw ESchemaFileError("the table name cannot be written in the code page " +
                           std::to_string(platform::AnsiCodePage()));
  }
  std::string directory =
      platform::ExcludeTrailingPathDelimiter(platform::FromNativePath(directory_utf8));
  CreateTable(&engine, directory, table, description);
  std::cout << "created " << table_utf8 << " in " << directory_utf8 << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (!a.empty() && a[0] == '-') {
      std::cerr << "kura-create: unknown option " << a << "\n" << kUsage;
      return 2;
    }
    positional.push_back(a);
  }
  if (positional.size() != 3 || positional[0].empty() || positional[1].empty() ||
      positional[2].empty()) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    return Create(positional[0], positional[1], positional[2]);
  } catch (const EKuraEngineError& e) {
    std::cerr << "kura-create: " << platform::AnsiToUtf8(e.what()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "kura-create: " << e.what() << "\n";
    return 1;
  }
}
