#include "tools/common/json_value.h"

#include <gtest/gtest.h>

#include <string>

namespace kura_tools {
namespace {

TEST(JsonValueTest, ReadsEveryKindOfValue) {
  TJsonValue v = ParseJson(
      "\xEF\xBB\xBF {\"a\": [1, -0.5e+2, true, false, null], \"s\": \"x\\\"\\\\\\/\\b\\f\\n\\r\\t"
      "\\u00e9\\ud83d\\ude00\xE5\x8C\xBA\", \"o\": {}, \"e\": []}");
  ASSERT_EQ(v.kind(), TJsonValue::Kind::kObject);
  const TJsonValue* a = v.Find("a");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->items().size(), 5u);
  int64_t one = 0;
  EXPECT_TRUE(a->items()[0].AsInteger(&one));
  EXPECT_EQ(one, 1);
  EXPECT_EQ(a->items()[1].text(), "-0.5e+2");
  EXPECT_FALSE(a->items()[1].AsInteger(&one));
  EXPECT_TRUE(a->items()[2].boolean());
  EXPECT_EQ(a->items()[4].kind(), TJsonValue::Kind::kNull);
  EXPECT_EQ(v.Find("s")->text(), "x\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80\xE5\x8C\xBA");
  EXPECT_EQ(v.Find("o")->kind(), TJsonValue::Kind::kObject);
  EXPECT_TRUE(v.Find("e")->items().empty());
  EXPECT_EQ(v.Find("missing"), nullptr);
}

TEST(JsonValueTest, IntegersAreExactOrRefused) {
  int64_t v = 0;
  EXPECT_TRUE(ParseJson("9223372036854775807").AsInteger(&v));
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_FALSE(ParseJson("9223372036854775808").AsInteger(&v));
  EXPECT_FALSE(ParseJson("1.0").AsInteger(&v));
  EXPECT_FALSE(ParseJson("\"1\"").AsInteger(&v));
}

TEST(JsonValueTest, MalformedTextIsRefusedWhereReadingStopped) {
  struct Case {
    const char* name;
    std::string text;
    size_t line;
    size_t column;
  };
  const Case cases[] = {
      {"empty text", "", 1, 1},
      {"trailing comma in an array", "[1,]", 1, 4},
      {"trailing comma in an object", "{\"a\": 1,\n}", 2, 1},
      {"comment", "// x\n1", 1, 1},
      {"single quotes", "['a']", 1, 2},
      {"unquoted key", "{a: 1}", 1, 2},
      {"duplicate key", "{\"a\": 1, \"a\": 2}", 1, 10},
      {"leading zero", "01", 1, 2},
      {"plus sign", "+1", 1, 1},
      {"bare fraction", "1.", 1, 3},
      {"NaN", "NaN", 1, 1},
      {"control character in a string", "\"a\tb\"", 1, 3},
      {"unknown escape", "\"\\x\"", 1, 4},
      {"lone low surrogate", "\"\\udc00\"", 1, 8},
      {"high surrogate alone", "\"\\ud800x\"", 1, 8},
      {"invalid UTF-8", "\"\xC3\x28\"", 1, 2},
      {"overlong UTF-8", "\"\xC0\xAF\"", 1, 2},
      {"encoded surrogate", "\"\xED\xA0\x80\"", 1, 2},
      {"unterminated string", "\"abc", 1, 5},
      {"text after the value", "{} x", 1, 4},
      {"missing colon", "{\"a\" 1}", 1, 6},
      {"nesting too deep", std::string(65, '[') + std::string(65, ']'), 1, 65},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      ParseJson(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const EJsonError& e) {
      EXPECT_EQ(e.Position().line, c.line);
      EXPECT_EQ(e.Position().column, c.column);
      EXPECT_EQ(std::string(e.what()).rfind("line ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace kura_tools
