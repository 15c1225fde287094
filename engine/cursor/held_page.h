// THeldPage: one use of an index page taken from a table's page cache, given back when the
// holder goes (or on Release), on every path. Move-only; the table must outlive the holder.
#pragma once

#include <utility>

namespace kura {

class TDataTable;
class TPage;

class THeldPage {
 public:
  THeldPage() = default;
  // Takes over one use of `Page` (fetched from `Table`'s cache); a null page holds nothing.
  THeldPage(TDataTable* Table, TPage* Page) : FDataTable(Table), FPage(Page) {}
  ~THeldPage() { Release(); }
  THeldPage(THeldPage&& Other) noexcept
      : FDataTable(Other.FDataTable), FPage(std::exchange(Other.FPage, nullptr)) {}
  THeldPage& operator=(THeldPage&& Other) noexcept {
    if (this != &Other) {
      Release();
      FDataTable = Other.FDataTable;
      FPage = std::exchange(Other.FPage, nullptr);
    }
    return *this;
  }
  THeldPage(const THeldPage&) = delete;
  THeldPage& operator=(const THeldPage&) = delete;

  TPage* get() const { return FPage; }
  TPage* operator->() const { return FPage; }
  TPage& operator*() const { return *FPage; }
  explicit operator bool() const { return FPage != nullptr; }

  // Gives the use back now.
  void Release() noexcept;

 private:
  TDataTable* FDataTable = nullptr;
  TPage* FPage = nullptr;
};

}  // namespace kura
