// v7tov8 as a whole, started as its own process on Qt's offscreen platform.
#include "app/program.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "app/dtm_sorami.h"
#include "app/termination_request.h"
#include "tests/support/child_process.h"
#include "tests/support/demo_tables.h"
#include "tests/support/temp_dir.h"

namespace sorami_test {
namespace {

const std::string kProgram = std::string(KURA_APP_DIR) + "/v7tov8";

class ProgramTest : public testing::Test {
 protected:
  kura_test::CommandResult Run(const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment = {}) {
    std::vector<std::string> all = {"USERPROFILE=" + temp_.native(), "QT_QPA_PLATFORM=offscreen"};
    all.insert(all.end(), environment.begin(), environment.end());
    return kura_test::RunCommand(kProgram, arguments, all);
  }
  kura_test::TempDir temp_;
};

TEST_F(ProgramTest, ScreenshotOfAnEmptyDatabaseReportsTheMissingTables) {
  const std::string picture = temp_.NativePath("window.png");
  const kura_test::CommandResult result =
      Run({"--screenshot", picture, temp_.NativePath("db/Table/")});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, picture + "\n");
  EXPECT_EQ(kura_test::ReadNativeFile(picture).substr(0, 8), "\x89PNG\r\n\x1a\n");
  // The messages the user would have seen, in order; the folder was created.
  const size_t at_warning = result.err.find("[warning] ソラミのデータテーブルが開けません。\n");
  const size_t at_error = result.err.find(
      "[error] Kura Engine Error # 11010 Table or backup file 'KAMOKU' does not exist\n");
  EXPECT_NE(at_warning, std::string::npos) << result.err;
  EXPECT_NE(at_error, std::string::npos) << result.err;
  EXPECT_LT(at_warning, at_error);
  EXPECT_TRUE(kura_test::NativeFileExists(temp_.NativePath("db/Table")));
  EXPECT_TRUE(kura_test::NativeFileExists(temp_.NativePath("Documents/SoramiV8/INI")));
}

TEST_F(ProgramTest, ScreenshotOfADatabaseWithTablesShowsNoMessage) {
  ASSERT_EQ(kura_test::CreateDemoTables(temp_.native()), "");
  const std::string picture = temp_.NativePath("window.png");
  const kura_test::CommandResult result = Run({temp_.native(), "--screenshot", picture});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.err.find("[warning]"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("[error]"), std::string::npos) << result.err;
  EXPECT_TRUE(kura_test::NativeFileExists(picture));
  // The tables were opened through the engine: the directory got its lock file.
  EXPECT_TRUE(kura_test::NativeFileExists(temp_.NativePath("kura.lck")));
}

// A damaged main table is reported with the table-open warning; the other tables still open.
TEST_F(ProgramTest, ADamagedMainTableIsReportedAndTheOthersStillOpen) {
  ASSERT_EQ(kura_test::CreateDemoTables(temp_.native()), "");
  kura_test::WriteNativeFile(temp_.NativePath("SORAMI.dat"), std::string(512, '\0'));
  const std::string picture = temp_.NativePath("window.png");
  const kura_test::CommandResult result = Run({temp_.native(), "--screenshot", picture});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_NE(result.err.find("[warning] ソラミのデータテーブルが開けません。\n"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("[error]"), std::string::npos) << result.err;
}

// Without a display and without a chosen platform, the runs that need no window still work.
TEST_F(ProgramTest, WithoutDisplayOptionsUseTheOffscreenPlatform) {
  const std::vector<std::string> no_display = {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="};
  const std::string picture = temp_.NativePath("window.png");
  EXPECT_EQ(Run({"--screenshot", picture, temp_.NativePath("db")}, no_display).exit_status, 0);
  EXPECT_TRUE(kura_test::NativeFileExists(picture));
  EXPECT_EQ(Run({"--help"}, no_display).exit_status, 0);
  EXPECT_EQ(Run({"--bogus"}, no_display).exit_status, 2);
}

TEST_F(ProgramTest, UsageAndUnwritableScreenshot) {
  const struct {
    std::vector<std::string> arguments;
    int exit_status;
    const char* in_output;
  } cases[] = {
      {{"--help"}, 0, "usage: v7tov8"},
      {{"--bogus"}, 2, "unknown option --bogus"},
      {{"--screenshot"}, 2, "--screenshot needs a file name"},
      {{"--screenshot", "/nonexistent-folder/w.png", "db"}, 1, "cannot save the screenshot"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    if (arguments.back() == "db") arguments.back() = temp_.NativePath("db");
    const kura_test::CommandResult result = Run(arguments);
    EXPECT_EQ(result.exit_status, c.exit_status) << c.arguments[0];
    EXPECT_NE((result.out + result.err).find(c.in_output), std::string::npos)
        << result.out << result.err;
  }
}

// The main loop runs until the window is closed, unless termination was requested before it
// started: then it ends at its first turn, with the window shown.
TEST(MainLoopTest, EndsWhenClosedOrAtOnceAfterTermination) {
  for (const bool terminate : {true, false}) {
    SCOPED_TRACE(terminate ? "termination requested" : "no termination");
    QWidget window;
    sorami::TTerminationRequest termination;
    if (terminate) termination.Request();
    bool shown_in_loop = false;
    QTimer::singleShot(0, &window, [&] { shown_in_loop = window.isVisible(); });
    bool closed_by_test = false;
    // Bound to the window, so that it is dropped with it when the loop ended before.
    QTimer::singleShot(300, &window, [&] {
      closed_by_test = true;
      window.close();
    });
    EXPECT_EQ(sorami::RunMainLoop(window, termination), 0);
    EXPECT_EQ(closed_by_test, !terminate);
    EXPECT_TRUE(shown_in_loop);
  }
}

}  // namespace
}  // namespace sorami_test
