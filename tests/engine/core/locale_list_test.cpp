#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/data_engine.h"
#include "engine/core/data_locale.h"
#include "platform/system_locale.h"

namespace {

using kura::TDataEngine;
using LocaleNames = std::vector<std::pair<std::string, int32_t>>;

class LocaleListTest : public testing::Test {
 protected:
  void SetUp() override {
    engine_.Initialize("kura.lck");
    engine_.GetLocaleNames(&names_);
    ASSERT_GT(names_.size(), 2u);
  }

  size_t PositionOf(int32_t id) const {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (names_[i].second == id) return i;
    }
    return names_.size();
  }

  TDataEngine engine_;
  LocaleNames names_;
};

TEST_F(LocaleListTest, AnsiStandardFirstThenTheSystemLocalesSortedByName) {
  EXPECT_EQ(names_[0], (std::pair<std::string, int32_t>{"ANSI Standard", 0}));
  EXPECT_EQ(engine_.GetLocaleCharMap(0)->ShortName(), "ANSI");
  std::vector<std::string> system;
  for (size_t i = 1; i < names_.size(); ++i) {
    if (names_[i].second != kura::kGermanPhoneBookLocaleID) system.push_back(names_[i].first);
  }
  for (size_t i = 1; i < system.size(); ++i) {
    EXPECT_LE(platform::CompareStrUserDefault(system[i - 1], system[i]), 0)
        << system[i - 1] << " before " << system[i];
  }
  for (size_t i = 1; i < names_.size(); ++i) {
    const kura::TDataLocale* locale = engine_.GetLocaleCharMap(names_[i].second);
    EXPECT_EQ(locale->ID(), names_[i].second);
    EXPECT_FALSE(locale->ShortName().empty()) << locale->Name();
    if (names_[i].second != kura::kGermanPhoneBookLocaleID) {
      EXPECT_EQ(names_[i].second & ~0xFFFF, 0) << "only the language identifier is kept";
    }
  }
}

TEST_F(LocaleListTest, ThePhoneBookOrderFollowsGermanGermany) {
  size_t german = PositionOf(0x0407);
  ASSERT_LT(german, names_.size()) << "the system lists no German (Germany)";
  ASSERT_LT(german + 1, names_.size());
  EXPECT_EQ(names_[german + 1],
            (std::pair<std::string, int32_t>{"German (German Phone Book)", 0x10407}));
  EXPECT_EQ(engine_.GetLocaleCharMap(0x10407)->ShortName(), "DEP");
  EXPECT_EQ(PositionOf(0x10407), german + 1) << "listed once only";
}

TEST_F(LocaleListTest, LocaleConstantsAreNamesComparedWithoutCase) {
  struct Case {
    const char* constant;
    int32_t id;
    bool valid;
  };
  const Case kCases[] = {
      {"ANSI Standard", 0, true},
      {"ansi standard", 0, true},
      {"ANSI STANDARD", 0, true},
      {"german (german phone book)", 0x10407, true},
      {"No Such Language", 0, false},
      {"", 0, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(engine_.ConvertLocaleConstantToID(c.constant), c.id) << c.constant;
    EXPECT_EQ(engine_.IsValidLocaleConstant(c.constant), c.valid) << c.constant;
  }
  EXPECT_EQ(engine_.ConvertIDToLocaleConstant(0x10407), "German (German Phone Book)");
  EXPECT_EQ(engine_.ConvertIDToLocaleConstant(0), "ANSI Standard");
  EXPECT_EQ(engine_.ConvertIDToLocaleConstant(0x7FFF), "");
  const std::string& german = engine_.GetLocaleCharMap(0x0407)->Name();
  EXPECT_EQ(engine_.ConvertLocaleConstantToID(german), 0x0407);
}

TEST_F(LocaleListTest, UnknownIdentifiersFallBackToAnsiStandard) {
  EXPECT_EQ(engine_.GetLocaleCharMap(0x7FFF)->ID(), 0);
  EXPECT_EQ(engine_.GetLocaleCharMap(-1)->Name(), "ANSI Standard");
  EXPECT_TRUE(engine_.IsValidLocale(0));
  EXPECT_TRUE(engine_.IsValidLocale(0x0407));
  EXPECT_FALSE(engine_.IsValidLocale(-1));
}

TEST(LocaleListBeforeInitializeTest, OnlyAnsiStandardIsKnown) {
  TDataEngine engine;
  LocaleNames names;
  engine.GetLocaleNames(&names);
  EXPECT_EQ(names, (LocaleNames{{"ANSI Standard", 0}}));
  EXPECT_EQ(engine.GetLocaleCharMap(0x0407)->ID(), 0);
  engine.Initialize("kura.lck");
  kura::TDataLocale* german = engine.GetLocaleCharMap(0x0407);
  EXPECT_EQ(german->ID(), 0x0407);
  EXPECT_EQ(german->DataEngine(), &engine);
  engine.Reset();
  EXPECT_EQ(engine.GetLocaleCharMap(0x0407)->ID(), 0);
}

}  // namespace
