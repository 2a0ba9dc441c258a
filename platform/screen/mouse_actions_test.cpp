#include "platform/screen/mouse_actions.h"

#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace screen {
namespace {

std::string Text(const std::vector<forms::OperatorAction>& actions) {
  std::string out;
  for (const forms::OperatorAction& a : actions) {
    out += out.empty() ? "" : ", ";
    out += forms::ActionName(a.kind);
    if (a.eventOnly) out += " event";
    else
      out += " " + std::to_string(a.button) + "/" + std::to_string(a.shift) + " " +
             std::to_string(static_cast<int>(a.x)) + "," + std::to_string(static_cast<int>(a.y));
  }
  return out;
}

// The platform's order of a mouse's events, from GDK's presses and releases
// (the widget leaves out GDK's plain press that comes with a double press).
TEST(MouseActionsTest, PressesAndReleasesBecomeThePlatformsMouseEvents) {
  MouseActions m;
  std::vector<forms::OperatorAction> all;
  auto add = [&all](std::vector<forms::OperatorAction> more) { all.insert(all.end(), more.begin(), more.end()); };

  add(m.Press(1, 0, 10, 20, false, 15));
  add(m.Release(1, 0, 10, 20, true, 15));
  EXPECT_EQ(Text(all), "mousedown 1/0 150,300, mouseup 1/0 150,300, click event");

  all.clear();  // a double click
  add(m.Press(1, 0, 1, 1, false, 15));
  add(m.Release(1, 0, 1, 1, true, 15));
  add(m.Press(1, 0, 1, 1, true, 15));
  add(m.Release(1, 0, 1, 1, true, 15));
  EXPECT_EQ(Text(all), "mousedown 1/0 15,15, mouseup 1/0 15,15, click event, dblclick event, mouseup 1/0 15,15");

  all.clear();  // the right button clicks nothing; Shift and Ctrl come along
  add(m.Press(3, GDK_SHIFT_MASK | GDK_CONTROL_MASK, 2, 3, false, 15));
  add(m.Release(3, GDK_SHIFT_MASK | GDK_CONTROL_MASK, 2, 3, true, 15));
  EXPECT_EQ(Text(all), "mousedown 2/3 30,45, mouseup 2/3 30,45");

  all.clear();  // released elsewhere: no click
  add(m.Press(1, 0, 5, 5, false, 15));
  add(m.Release(1, 0, -40, 5, false, 15));
  EXPECT_EQ(Text(all), "mousedown 1/0 75,75, mouseup 1/0 -600,75");

  all.clear();  // a wheel is no button
  add(m.Press(4, 0, 5, 5, false, 15));
  add(m.Release(4, 0, 5, 5, true, 15));
  EXPECT_EQ(Text(all), "");
}

TEST(MouseActionsTest, MovesCarryTheButtonsHeld) {
  MouseActions m;
  EXPECT_EQ(Text({m.Move(0, 4, 6, 15)}), "mousemove 0/0 60,90");
  EXPECT_EQ(Text({m.Move(GDK_BUTTON1_MASK | GDK_MOD1_MASK, 4, 6, 12)}), "mousemove 1/4 48,72");
}

}  // namespace
}  // namespace screen
