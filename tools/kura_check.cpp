// kura-check DIR [TABLE]: verifies the files of one table, or of every table of a database
// directory, and lists every inconsistency with its place (the checks are the engine's table
// checker, engine/maint/table_checker.h).
//
// Each table is opened read-only through a session, shared, as every program sharing the
// directory opens it (registered in the lock file, which is created when missing), without the
// header checks of an ordinary open so that a damaged header is reported like any other damage;
// it is read under the table read lock and never written. A missing index file is reported,
// not recreated. Exit status: 0 every table is sound, 1 a problem was found or a table could not
// be read (the engine's message), 2 bad usage.
#include <algorithm>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "engine/core/data_directory.h"
#include "engine/core/data_engine.h"
#include "engine/core/data_session.h"
#include "engine/core/data_table.h"
#include "engine/core/engine_error.h"
#include "engine/maint/table_checker.h"
#include "platform/ansi_text.h"
#include "platform/file_system.h"
#include "platform/path.h"

namespace {

using namespace kura;

constexpr const char* kUsage =
    "usage: kura-check DIR [TABLE]\n"
    "  Verifies the files of the table TABLE in the database directory DIR, or of every table\n"
    "  there: headers and definitions, the free-slot chain, every index tree and its keys\n"
    "  against the records, and the free-page chain. Lists every problem with its place.\n"
    "  Exit status 0 when everything is sound, 1 when a problem was found.\n"
    "  --help   this text\n";

std::string Utf8(const AnsiString& text) { return platform::AnsiToUtf8(text); }

// The tables of a directory: the names of its data files, sorted.
std::vector<AnsiString> TablesIn(const TDataEngine& engine, const AnsiString& directory) {
  std::vector<platform::DirectoryEntry> entries;
  std::vector<AnsiString> names;
  if (!platform::FindFiles(platform::IncludeTrailingPathDelimiter(directory) + "*" +
                               engine.DataExtension(),
                           &entries)) {
    return names;
  }
  for (const platform::DirectoryEntry& e : entries) {
    if (e.is_directory) continue;
    names.push_back(e.name.substr(0, e.name.size() - platform::ExtractFileExt(e.name).size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Checks one table; returns whether it is sound.
bool CheckOne(TDataDirectory* database, const AnsiString& table) {
  const std::string name = Utf8(table);
  try {
    TDataTable* shared =
        database->OpenDataTable(table, "", false, false, false, false, false, false);
    struct TClose {
      TDataDirectory* database;
      TDataTable* table;
      ~TClose() {
        try {
          database->CloseDataTable(table, false, false, false, false);
        } catch (const std::exception&) {
        }
      }
    } close{database, shared};
    TTableCheckResult result = CheckTable(shared);
    for (const TTableProblem& p : result.Problems) {
      std::cout << name << ": " << Utf8(p.Place) << ": " << Utf8(p.Message) << "\n";
    }
    if (result.ProblemCount > result.Problems.size()) {
      std::cout << name << ": " << result.ProblemCount - result.Problems.size()
                << " more problems not listed\n";
    }
    if (result.Clean()) {
      std::cout << name << ": no problems found\n";
    } else {
      std::cout << name << ": " << result.ProblemCount
                << (result.ProblemCount == 1 ? " problem\n" : " problems\n");
    }
    return result.Clean();
  } catch (const EKuraEngineError& e) {
    std::cout << name << ": cannot be checked: " << Utf8(e.what()) << "\n";
    return false;
  }
}

int Check(const std::string& directory_utf8, const std::string* table_utf8) {
  TDataEngine engine;
  AnsiString directory =
      platform::ExcludeTrailingPathDelimiter(platform::FromNativePath(directory_utf8));
  engine.Initialize(engine.LockFileName());
  std::vector<AnsiString> tables;
  if (table_utf8 != nullptr) {
    AnsiString table = platform::Utf8ToAnsi(*table_utf8);
    AnsiString ext = platform::ExtractFileExt(table);
    if (platform::AnsiUpperCase(ext) == platform::AnsiUpperCase(engine.DataExtension())) {
      table = table.substr(0, table.size() - ext.size());
    }
    tables.push_back(table);
  } else {
    tables = TablesIn(engine, directory);
    if (tables.empty()) {
      std::cout << "no tables in " << directory_utf8 << "\n";
      return 0;
    }
  }
  TDataSession* session = engine.StartDataSession("kura-check");
  TDataDirectory* database = session->OpenDataDirectory("", directory, false);
  database->SetTablesReadOnly(true);
  bool sound = true;
  for (const AnsiString& table : tables) sound = CheckOne(database, table) && sound;
  return sound ? 0 : 1;
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
    if (a == "--") {
      for (++i; i < argc; ++i) positional.push_back(argv[i]);
      break;
    }
    if (!a.empty() && a[0] == '-') {
      std::cerr << "kura-check: unknown option " << a << "\n" << kUsage;
      return 2;
    }
    positional.push_back(a);
  }
  if (positional.empty() || positional.size() > 2 || positional[0].empty() ||
      (positional.size() == 2 && positional[1].empty())) {
    std::cerr << kUsage;
    return 2;
  }
  try {
    return Check(positional[0], positional.size() == 2 ? &positional[1] : nullptr);
  } catch (const EKuraEngineError& e) {
    std::cout.flush();
    std::cerr << "kura-check: " << Utf8(e.what()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "kura-check: " << e.what() << "\n";
    return 1;
  }
}
