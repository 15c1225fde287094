#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scoped_code_page.h"

namespace {

using kura_test::ScopedCodePage;

// "ソ" in code page 932: its trail byte is the path separator's byte.
const std::string kSo = "\x83\x5C";

TEST(NativePath, ConvertsTextBeforeSeparators) {
  ScopedCodePage page(932);
  EXPECT_EQ(platform::ToNativePath("\\tmp\\" + kSo + "\\a.dat"), "/tmp/ソ/a.dat");
  EXPECT_EQ(platform::ToNativePath("\\tmp/" + kSo), "/tmp/ソ");
  EXPECT_EQ(platform::ToNativePath("rel\\\\x"), "rel//x");
  EXPECT_EQ(platform::FromNativePath("/tmp/ソ/a.dat"), "\\tmp\\" + kSo + "\\a.dat");
  EXPECT_EQ(platform::FromNativePath("/home/表"), "\\home\\\x95\x5C");
  EXPECT_EQ(platform::ToNativePath(platform::FromNativePath("/x/ソラミ/y")), "/x/ソラミ/y");
}

TEST(NativePath, UnmappableNativeNamesBecomeQuestionMarks) {
  ScopedCodePage page(932);
  EXPECT_EQ(platform::FromNativePath("/tmp/caf\xC3\xA9"), "\\tmp\\caf?");
}

TEST(PathDelimiter, IgnoresTrailBytes) {
  ScopedCodePage page(932);
  const std::string s = "a\\" + kSo + "/";
  EXPECT_FALSE(platform::IsPathDelimiterAt(s, 0));
  EXPECT_TRUE(platform::IsPathDelimiterAt(s, 1));
  EXPECT_FALSE(platform::IsPathDelimiterAt(s, 3));  // trail byte of ソ
  EXPECT_TRUE(platform::IsPathDelimiterAt(s, 4));
  EXPECT_FALSE(platform::IsPathDelimiterAt(s, 5));
}

struct PathPartsCase {
  std::string path;
  std::string with_delimiter;
  std::string without_delimiter;
  std::string file_path;
  std::string file_name;
  std::string extension;
};

TEST(PathParts, AreDoubleByteAware) {
  ScopedCodePage page(932);
  const PathPartsCase cases[] = {
      {"\\db\\" + kSo, "\\db\\" + kSo + "\\", "\\db\\" + kSo, "\\db\\", kSo, ""},
      {"\\db\\" + kSo + "\\", "\\db\\" + kSo + "\\", "\\db\\" + kSo, "\\db\\" + kSo + "\\", "", ""},
      {"\\db\\t.dat", "\\db\\t.dat\\", "\\db\\t.dat", "\\db\\", "t.dat", ".dat"},
      {"d/sub//", "d/sub\\", "d/sub", "d/sub//", "", ""},
      {"a.b\\c", "a.b\\c\\", "a.b\\c", "a.b\\", "c", ""},
      {"x.tar.gz", "x.tar.gz\\", "x.tar.gz", "", "x.tar.gz", ".gz"},
      {kSo + ".txt", kSo + ".txt\\", kSo + ".txt", "", kSo + ".txt", ".txt"},
      {"\\", "\\", "", "\\", "", ""},
      {"", "\\", "", "", "", ""},
  };
  for (const PathPartsCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform::IncludeTrailingPathDelimiter(c.path), c.with_delimiter);
    EXPECT_EQ(platform::ExcludeTrailingPathDelimiter(c.path), c.without_delimiter);
    EXPECT_EQ(platform::ExtractFilePath(c.path), c.file_path);
    EXPECT_EQ(platform::ExtractFileName(c.path), c.file_name);
    EXPECT_EQ(platform::ExtractFileExt(c.path), c.extension);
  }
}

TEST(PathParts, ChangeFileExtReplacesOrAppends) {
  ScopedCodePage page(932);
  EXPECT_EQ(platform::ChangeFileExt("\\db\\t.dat", ".idx"), "\\db\\t.idx");
  EXPECT_EQ(platform::ChangeFileExt("\\db.x\\t", ".idx"), "\\db.x\\t.idx");
  EXPECT_EQ(platform::ChangeFileExt("\\db\\" + kSo, ".blb"), "\\db\\" + kSo + ".blb");
  EXPECT_EQ(platform::ChangeFileExt("t.dat", ""), "t");
}

}  // namespace
