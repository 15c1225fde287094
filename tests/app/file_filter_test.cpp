#include "app/file_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorami_test {
namespace {

TEST(FileFilterTest, BecomesQtNameFiltersInOrder) {
  const struct {
    std::string filter;
    std::vector<std::string> qt;
  } cases[] = {
      {sorami::kCsvFileFilter,
       {"CSVファイル (*.csv)", "テキストファイル (*.txt)", "全てのファイル (*)"}},
      {"Tables|*.dat;*.idx;*.blb", {"Tables (*.dat *.idx *.blb)"}},
      {"A|*.a|B", {"A (*.a)"}},
      {"A|*.a;;*.b|", {"A (*.a *.b)"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(sorami::ToQtNameFilters(c.filter), c.qt) << c.filter;
}

TEST(FileFilterTest, DefaultSuffixLosesItsDot) {
  EXPECT_EQ(sorami::ToQtDefaultSuffix(sorami::kCsvDefaultExtension), "csv");
  EXPECT_EQ(sorami::ToQtDefaultSuffix("txt"), "txt");
  EXPECT_EQ(sorami::ToQtDefaultSuffix(""), "");
}

}  // namespace
}  // namespace sorami_test
