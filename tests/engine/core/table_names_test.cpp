#include "engine/core/table_names.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"

namespace {

using kura::TDataEngine;

TEST(TableNamesTest, TableNamesLoseFolderAndDataExtensionAndAreCut) {
  TDataEngine engine;
  const std::string seventy(70, 'n');
  struct Case {
    std::string given, expected;
  } cases[] = {
      {"C:\\Users\\me\\Documents\\SORAMI.DAT", "SORAMI"},
      {"c:kamoku.dat", "kamoku"},
      {"kubun.txt", "kubun.txt"},
      {"archive.dat.bak", "archive.dat.bak"},
      {seventy + ".dat", std::string(60, 'n')},
      {"plain", "plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(kura::NormalizeTableName(engine, c.given), c.expected);
}

TEST(TableNamesTest, FileNamesReplaceADataExtensionInsteadOfAppending) {
  TDataEngine engine;
  EXPECT_EQ(kura::TableFileName(engine, "D:\\db\\", "Sorami", ".idx"), "D:\\db\\Sorami.idx");
  EXPECT_EQ(kura::TableFileName(engine, "D:\\db\\", "Sorami.DAT", ".idx"), "D:\\db\\Sorami.idx");
  EXPECT_EQ(kura::TableFileName(engine, "", "x.dat", ".dat"), "x.dat");
  EXPECT_EQ(kura::TableFileName(engine, "", "x.txt", ".blb"), "x.txt.blb");
}

TEST(TableNamesTest, NamesCompareTrimmedWithoutRegardToCase) {
  EXPECT_TRUE(kura::SameName(" Sorami\t", "SORAMI"));
  EXPECT_FALSE(kura::SameName("Sorami", "Sorami2"));
  EXPECT_EQ(kura::NormalizeDirectoryPath("  D:\\db "), "D:\\db\\");
  EXPECT_EQ(kura::NormalizeDirectoryPath("D:\\db\\"), "D:\\db\\");
  EXPECT_EQ(kura::NormalizeDirectoryPath("   "), "");
}

}  // namespace
