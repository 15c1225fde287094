#include "app/console_user_dialogs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace sorami_test {
namespace {

TEST(ConsoleUserDialogsTest, WritesEveryBoxInOrderAndCancelsTheFileDialog) {
  std::ostringstream out;
  sorami::TConsoleUserDialogs dialogs(out);
  dialogs.ShowWarning("一行目\r\n二行目");
  dialogs.ShowErrorReport("disk full");
  dialogs.ShowConfirmation("Ver.1.0");
  EXPECT_FALSE(dialogs.PromptOpenFileName({"A|*.a", ".a", ""}).has_value());
  EXPECT_EQ(out.str(),
            "[warning] 一行目\n二行目\n"
            "[error] disk full\n"
            "[confirmation] Ver.1.0\n");
}

}  // namespace
}  // namespace sorami_test
