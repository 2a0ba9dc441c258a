#include "platform/settings/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(SettingsDeathTest, BadSettingIsOneLineAndExitCode124) {
  EXPECT_EXIT(settings::BadSetting("ORN_SCREEN", "WIDTHxHEIGHT in pixels", "big"), ::testing::ExitedWithCode(124),
              "^ORN_SCREEN must be WIDTHxHEIGHT in pixels, not 'big'\n$");
  EXPECT_EXIT(settings::BadSetting("ORN_PRINTERS", "a file of printers", "p.txt", "line 3: no name"),
              ::testing::ExitedWithCode(124), "^ORN_PRINTERS must be a file of printers, not 'p.txt' \\(line 3: no name\\)\n$");
}

TEST(SettingsTest, ListNamesFindsKnownWords) {
  struct Case {
    const char* value;  // null: unset
    const char* word;
    bool named;
  } cases[] = {
      {nullptr, "report", false},     {"", "report", false},          {"report", "report", true},
      {"register", "report", false},  {" Report , register", "register", true},
      {"register,,report", "report", true}, {",", "report", false},
  };
  for (const Case& c : cases) {
    if (c.value) setenv("SETTINGS_TEST_LIST", c.value, 1);
    else unsetenv("SETTINGS_TEST_LIST");
    EXPECT_EQ(settings::ListNames("SETTINGS_TEST_LIST", {"register", "report"}, c.word), c.named)
        << (c.value ? c.value : "(unset)") << " / " << c.word;
  }
  unsetenv("SETTINGS_TEST_LIST");
}

TEST(SettingsDeathTest, ListWithAnUnknownWordIsABadSetting) {
  setenv("SETTINGS_TEST_LIST", "report,regster", 1);
  EXPECT_EXIT(settings::ListNames("SETTINGS_TEST_LIST", {"register", "report"}, "report"), ::testing::ExitedWithCode(124),
              "^SETTINGS_TEST_LIST must be a comma list of register, report, not 'report,regster'\n$");
  unsetenv("SETTINGS_TEST_LIST");
}

}  // namespace
