// The production TTableOpener: opens the cash-book tables through the engine.
//
// One engine with one session ("Default") serves the program. The first table of a directory
// opens the directory (and so its lock file); every OpenTable opens a cursor of its own on the
// table, as each table component does: the directory's shared table object (opened with every
// check of the table's files on first use), positioned on the primary index. Then the table
// component's data fields are bound by name: a field that is missing or of another kind fails
// the open, and the cursor is closed again. Cursors stay open until the opener is destroyed,
// which closes them in reverse order, then the directories, the session and the engine.
//
// Until the dataset layer provides the table components, this class stands in for their open.
// Used on the user-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/table_opener.h"

namespace kura {
class TDataDirectory;
class TDataEngine;
class TDataSession;
class TDataCursor;
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

  // The cursors opened so far, one per successful OpenTable, in order.
  std::vector<kura::TDataCursor*> OpenCursors() const;

 private:
  kura::TDataDirectory* DirectoryFor(const std::string& directory);

  std::unique_ptr<kura::TDataEngine> engine_;
  kura::TDataSession* session_ = nullptr;
  std::vector<kura::TDataDirectory*> directories_;
  // Declared after the directories: cursors must go before the directory objects they borrow.
  std::vector<std::unique_ptr<kura::TDataCursor>> cursors_;
};

}  // namespace sorami
