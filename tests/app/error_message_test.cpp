#include "app/error_message.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/core/engine_error.h"
#include "tests/support/scoped_code_page.h"

namespace sorami_test {
namespace {

TEST(ErrorMessageTest, DatabaseErrorsAreConvertedFromTheCodePage) {
  kura_test::ScopedCodePage code_page(932);
  // "表が開けません" in code page 932; the trail byte of "表" is the code of "\".
  const kura::EDatabaseError database_error(
      "\x95\x5C\x82\xAA\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1");
  EXPECT_EQ(sorami::ErrorMessageText(database_error), "表が開けません");
  EXPECT_EQ(sorami::ErrorMessageText(std::runtime_error("表が開けません")), "表が開けません");
}

}  // namespace
}  // namespace sorami_test
