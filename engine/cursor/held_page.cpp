#include "engine/cursor/held_page.h"

#include "engine/core/data_table.h"

namespace kura {

void THeldPage::Release() noexcept {
  if (FPage == nullptr) return;
  TPage* page = std::exchange(FPage, nullptr);
  FDataTable->PutPage(page);
}

}  // namespace kura
