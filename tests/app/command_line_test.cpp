#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorami_test {
namespace {

TEST(CommandLineTest, FirstArgumentAndOptions) {
  const struct {
    std::vector<std::string> arguments;
    std::string first_argument;
    std::string screenshot_file;
    bool help;
  } cases[] = {
      {{}, "", "", false},
      {{"/data/Table"}, "/data/Table", "", false},
      {{"/data/Table", "ignored"}, "/data/Table", "", false},
      {{"", "ignored"}, "", "", false},
      {{"--screenshot", "w.png", "db"}, "db", "w.png", false},
      {{"db", "--screenshot", "w.png"}, "db", "w.png", false},
      {{"--", "--screenshot"}, "--screenshot", "", false},
      {{"--help"}, "", "", true},
  };
  for (const auto& c : cases) {
    sorami::TCommandLine command_line;
    std::string error;
    ASSERT_TRUE(sorami::ParseCommandLine(c.arguments, &command_line, &error)) << error;
    EXPECT_EQ(command_line.first_argument, c.first_argument);
    EXPECT_EQ(command_line.screenshot_file, c.screenshot_file);
    EXPECT_EQ(command_line.help, c.help);
  }
}

TEST(CommandLineTest, BadUsageIsRefused) {
  const std::vector<std::string> cases[] = {
      {"--screenshot"}, {"--screenshot", ""}, {"--bogus", "db"}};
  for (const auto& arguments : cases) {
    sorami::TCommandLine command_line;
    std::string error;
    EXPECT_FALSE(sorami::ParseCommandLine(arguments, &command_line, &error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace sorami_test
