// Opening one table of the cash-book database, as the data module's table components do it.
//
// This is the seam between start-up and the engine: start-up decides which tables to open, in
// which order, and what a failure means to the user; an implementation of this interface does
// the opening. The production implementation is TEngineTableOpener.
#pragma once

#include <string>

namespace sorami {

class TTableOpener {
 public:
  virtual ~TTableOpener() = default;

  // Opens the table `table_name` ("SORAMI", "KAMOKU", "kubun", case as stored) of the database
  // directory `directory` (engine path: ANSI text, "\" separators, no trailing separator). Each
  // call is one more cursor on the table: the same table may be opened several times.
  // Returns normally when the table is open. Throws on failure: an engine error
  // (kura::EDatabaseError and its kind, whose what() is ANSI text), or another std::exception
  // whose what() is UTF-8 (ErrorMessageText gives the user's text of both).
  virtual void OpenTable(const std::string& directory, const std::string& table_name) = 0;
};

}  // namespace sorami
