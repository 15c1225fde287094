#include "platform/environment.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_code_page.h"
#include "tests/support/scoped_env.h"

namespace {

using kura_test::ScopedEnv;

TEST(Environment, SetsReadsAndRemovesVariables) {
  ScopedEnv guard("KURA_TEST_VARIABLE", nullptr);
  EXPECT_FALSE(platform::GetEnv("KURA_TEST_VARIABLE").has_value());
  ASSERT_TRUE(platform::SetEnv("KURA_TEST_VARIABLE", "値"));
  EXPECT_EQ(platform::GetEnv("KURA_TEST_VARIABLE"), "値");
  ASSERT_TRUE(platform::SetEnv("KURA_TEST_VARIABLE", ""));
  EXPECT_EQ(platform::GetEnv("KURA_TEST_VARIABLE"), "");
  ASSERT_TRUE(platform::SetEnv("KURA_TEST_VARIABLE", std::nullopt));
  EXPECT_FALSE(platform::GetEnv("KURA_TEST_VARIABLE").has_value());
  EXPECT_FALSE(platform::SetEnv("BAD=NAME", "x"));
}

TEST(ProfileFolder, PrefersUserProfileThenHomeAsEnginePath) {
  kura_test::ScopedCodePage page(932);
  const struct {
    const char* user_profile;
    const char* home;
    std::string expected;
  } cases[] = {
      {"/users/taro/", "/home/x", "\\users\\taro"},
      {nullptr, "/home/ソラミ", "\\home\\\x83\x5C\x83\x89\x83\x7E"},
      {"", "/home/x", "\\home\\x"},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    ScopedEnv profile("USERPROFILE", c.user_profile);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(platform::ProfileFolder(), c.expected);
  }
}

}  // namespace
