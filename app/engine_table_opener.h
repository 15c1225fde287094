// The production TTableOpener.
//
// PRELIMINARY: the engine cannot open a table yet. Until it can, OpenTable only checks that the
// table's data file exists and throws TTableOpenError otherwise, so that start-up shows its
// real messages on a directory without tables. Once the engine opens tables, this class opens
// them through the dataset layer's table components (and keeps them open), and the error it
// throws is the engine's own.
#pragma once

#include <stdexcept>
#include <string>

#include "app/table_opener.h"

namespace sorami {

// A table could not be opened; what() is the UTF-8 message for the user.
class TTableOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TEngineTableOpener : public TTableOpener {
 public:
  void OpenTable(const std::string& directory, const std::string& table_name) override;
};

}  // namespace sorami
