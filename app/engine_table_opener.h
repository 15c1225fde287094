// The production TTableOpener: opens the cash-book tables through the engine.
//
// One engine with one session ("Default") serves the program. The first table of a directory
// opens the directory (and so its lock file); every OpenTable opens the table's shared table
// object once more, as each table component does with its own cursor, with every check of the
// table's files, and then binds the table component's data fields by name: a field that is
// missing or of another kind fails the open, which is then given back. Tables stay open until
// the opener is destroyed, which closes them in reverse order, then the directories, the
// session and the engine.
//
// Until the dataset layer provides the table components, this class stands in for their open.
// Used on the user-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/table_opener.h"

namespace kura {
class TDataDirectory;
class TDataEngine;
class TDataSession;
class TDataTable;
}  // namespace kura

namespace sorami {

class TEngineTableOpener : public TTableOpener {
 public:
  TEngineTableOpener();
  ~TEngineTableOpener() override;
  TEngineTableOpener(const TEngineTableOpener&) = delete;
  TEngineTableOpener& operator=(const TEngineTableOpener&) = delete;

  // Throws kura::EDatabaseError (kura::EKuraEngineError for the engine's own failures).
  void OpenTable(const std::string& directory, const std::string& table_name) override;

  // The shared table objects opened so far, one entry per successful OpenTable, in order.
  std::vector<kura::TDataTable*> OpenTables() const;

 private:
  kura::TDataDirectory* DirectoryFor(const std::string& directory);

  std::unique_ptr<kura::TDataEngine> engine_;
  kura::TDataSession* session_ = nullptr;
  // (directory, table) per successful open; the directory pointer is the session's object.
  std::vector<std::pair<kura::TDataDirectory*, kura::TDataTable*>> tables_;
  std::vector<kura::TDataDirectory*> directories_;
};

}  // namespace sorami
