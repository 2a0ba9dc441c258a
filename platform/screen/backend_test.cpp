#include "platform/screen/backend.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace screen {
namespace {

TEST(BackendTest, ScreenWhenADisplayIsThereAndNoScriptRunsUnlessForced) {
  struct Case {
    BackendEnvironment env;  // ORN_DISPLAY, ORN_UI_SCRIPT, DISPLAY, WAYLAND_DISPLAY
    Backend expected;
  };
  const Case cases[] = {
      {{"", "", "", ""}, Backend::kHeadless},
      {{"", "", ":0", ""}, Backend::kScreen},
      {{"", "", "", "wayland-0"}, Backend::kScreen},
      {{"", "steps.txt", ":0", ""}, Backend::kHeadless},
      {{"none", "", ":0", "wayland-0"}, Backend::kHeadless},
      {{"screen", "steps.txt", ":0", ""}, Backend::kScreen},
      {{"screen", "", "", ""}, Backend::kScreen},  // forced: StartBackend then needs a display
      {{"none", "steps.txt", "", ""}, Backend::kHeadless},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseBackend(c.env), c.expected)
        << c.env.ornDisplay << "|" << c.env.uiScript << "|" << c.env.display << "|" << c.env.waylandDisplay;
  }
}

TEST(BackendTest, AnyOtherDisplayChoiceIsRefused) {
  for (const char* bad : {"Screen", "x11", "1", " none"}) {
    EXPECT_EXIT(ChooseBackend({bad, "", ":0", ""}), ::testing::ExitedWithCode(124),
                "^ORN_DISPLAY must be none or screen, not '.+'\n$")
        << bad;
  }
}

}  // namespace
}  // namespace screen
