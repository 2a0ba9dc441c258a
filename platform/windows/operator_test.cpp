#include "platform/windows/operator.h"

#include <gtest/gtest.h>

namespace win {
namespace {

TEST(OperatorTest, KeysBecomeTheMessagesOfTheirState) {
  constexpr LPARAM kAlt = LPARAM{1} << 29, kUp = LPARAM{3} << 30;
  struct Case {
    int vk;
    bool down, alt;
    UINT message;
    LPARAM lParam;
  };
  const Case cases[] = {
      {'P', true, false, WM_KEYDOWN, 1},
      {'P', false, false, WM_KEYUP, 1 | kUp},
      {VK_CONTROL, true, false, WM_KEYDOWN, 1},
      {VK_NEXT, false, false, WM_KEYUP, 1 | kUp},
      // Alt going down is a system key; its own release is not.
      {VK_MENU, true, false, WM_SYSKEYDOWN, 1 | kAlt},
      {VK_MENU, false, true, WM_KEYUP, 1 | kUp},
      // Keys while Alt is held.
      {VK_F4, true, true, WM_SYSKEYDOWN, 1 | kAlt},
      {VK_F4, false, true, WM_SYSKEYUP, 1 | kAlt | kUp},
      {VK_SHIFT, true, true, WM_SYSKEYDOWN, 1 | kAlt},
  };
  for (const Case& c : cases) {
    const KeyMessage m = KeyMessageOf(c.vk, c.down, c.alt);
    EXPECT_EQ(m.message, c.message) << c.vk << " " << c.down << " " << c.alt;
    EXPECT_EQ(m.lParam, c.lParam) << c.vk << " " << c.down << " " << c.alt;
  }
}

}  // namespace
}  // namespace win
