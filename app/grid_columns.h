// The columns of the window's three grids.
#pragma once

#include <vector>

namespace sorami {

struct TGridColumn {
  const char* title;  // the field's name (UTF-8)
  // Width in pixels at 96 dpi, or 0 for the default width, which follows from the field's
  // display width (in characters).
  int width;
  int display_width;
};

// DBGrid3: the cash-book entries of "SORAMI".
inline const std::vector<TGridColumn> kEntriesGridColumns = {
    {"年月日", 0, 10}, {"コード", 64, 6}, {"勘定科目名", 64, 20}, {"区分", 64, 10},
    {"摘要", 64, 21},  {"入金", 64, 9},   {"出金", 64, 9},        {"残高", 64, 10}};
// DBGrid1: the accounts of "KAMOKU" (display widths of tblKamoku).
inline const std::vector<TGridColumn> kAccountsGridColumns = {{"コード", 0, 5},
                                                              {"勘定科目", 64, 19}};
// DBGrid2: the categories of "kubun".
inline const std::vector<TGridColumn> kCategoriesGridColumns = {{"区分", 0, 10}};

}  // namespace sorami
