// The production TTableOpener.
//
// PRELIMINARY: the engine cannot open a table yet. Until it can, OpenTable only checks that the
// table's data file exists and otherwise raises the engine's error for a missing table
// (KURA_OSENOENT), so that start-up shows its real messages on a directory without tables.
// Once the engine opens tables, this class opens them through the dataset layer's table
// components (and keeps them open), and the engine object moves to the dataset layer.
#pragma once

#include <memory>
#include <string>

#include "app/table_opener.h"

namespace kura {
class TDataEngine;
}

namespace sorami {

class TEngineTableOpener : public TTableOpener {
 public:
  TEngineTableOpener();
  ~TEngineTableOpener() override;
  TEngineTableOpener(const TEngineTableOpener&) = delete;
  TEngineTableOpener& operator=(const TEngineTableOpener&) = delete;

  // Throws kura::EKuraEngineError.
  void OpenTable(const std::string& directory, const std::string& table_name) override;

 private:
  std::unique_ptr<kura::TDataEngine> engine_;
};

}  // namespace sorami
