#include "platform/screen/input_map.h"

#include <gdk/gdk.h>
#include <gtest/gtest.h>

namespace screen {
namespace {

TEST(InputMapTest, KeysHaveTheRuntimesCodes) {
  struct Case {
    unsigned keyval;
    int16_t code;
  };
  const Case cases[] = {
      {GDK_KEY_a, 65},          {GDK_KEY_A, 65},          {GDK_KEY_z, 90},         {GDK_KEY_0, 48},
      {GDK_KEY_9, 57},          {GDK_KEY_KP_0, 96},       {GDK_KEY_KP_9, 105},     {GDK_KEY_KP_Add, 107},
      {GDK_KEY_F1, 112},        {GDK_KEY_F4, 115},        {GDK_KEY_F12, 123},      {GDK_KEY_BackSpace, 8},
      {GDK_KEY_Tab, 9},         {GDK_KEY_ISO_Left_Tab, 9}, {GDK_KEY_Return, 13},   {GDK_KEY_KP_Enter, 13},
      {GDK_KEY_Shift_L, 16},    {GDK_KEY_Control_R, 17},  {GDK_KEY_Alt_L, 18},     {GDK_KEY_Escape, 27},
      {GDK_KEY_space, 32},      {GDK_KEY_Page_Up, 33},    {GDK_KEY_Page_Down, 34}, {GDK_KEY_KP_Page_Down, 34},
      {GDK_KEY_End, 35},        {GDK_KEY_Home, 36},       {GDK_KEY_Left, 37},      {GDK_KEY_Up, 38},
      {GDK_KEY_Right, 39},      {GDK_KEY_Down, 40},       {GDK_KEY_KP_Down, 40},   {GDK_KEY_Insert, 45},
      {GDK_KEY_Delete, 46},     {GDK_KEY_minus, 189},     {GDK_KEY_period, 190},   {GDK_KEY_Num_Lock, 144},
      {GDK_KEY_dead_acute, 0},  {GDK_KEY_adiaeresis, 0},  {GDK_KEY_VoidSymbol, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyCodeOf(c.keyval), c.code) << gdk_keyval_name(c.keyval);
}

TEST(InputMapTest, ModifiersAreShiftCtrlAltBitsAndLocksCountNot) {
  struct Case {
    unsigned state;
    int16_t shift;
  };
  const Case cases[] = {
      {0, 0},
      {GDK_SHIFT_MASK, 1},
      {GDK_CONTROL_MASK, 2},
      {GDK_MOD1_MASK, 4},
      {GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK, 7},
      {GDK_LOCK_MASK, 0},
      {GDK_MOD2_MASK, 0},  // Num Lock
      {GDK_BUTTON1_MASK | GDK_CONTROL_MASK, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(ShiftOf(c.state), c.shift) << c.state;
}

TEST(InputMapTest, AModifierKeyReportsTheStateAfterItsOwnEvent) {
  struct Case {
    unsigned keyval, state;
    bool press;
    int16_t shift;
  };
  const Case cases[] = {
      {GDK_KEY_Shift_L, 0, true, 1},
      {GDK_KEY_Shift_R, GDK_SHIFT_MASK, false, 0},
      {GDK_KEY_Control_L, 0, true, 2},
      {GDK_KEY_Control_R, GDK_CONTROL_MASK | GDK_SHIFT_MASK, false, 1},
      {GDK_KEY_Alt_L, GDK_CONTROL_MASK, true, 6},
      {GDK_KEY_Meta_L, GDK_MOD1_MASK, false, 0},
      {GDK_KEY_a, GDK_CONTROL_MASK, true, 2},
      {GDK_KEY_a, GDK_CONTROL_MASK, false, 2},
      {GDK_KEY_F2, 0, true, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShiftOfKey(c.keyval, c.state, c.press), c.shift) << gdk_keyval_name(c.keyval) << " " << c.press;
}

TEST(InputMapTest, ButtonsAreLeftOneRightTwoMiddleFour) {
  const std::pair<unsigned, int16_t> pressed[] = {{1, 1}, {2, 4}, {3, 2}, {4, 0}, {5, 0}, {8, 0}};
  for (auto [gdk, button] : pressed) EXPECT_EQ(ButtonOf(gdk), button) << gdk;
  const std::pair<unsigned, int16_t> held[] = {{0, 0},
                                               {GDK_BUTTON1_MASK, 1},
                                               {GDK_BUTTON3_MASK, 2},
                                               {GDK_BUTTON2_MASK, 4},
                                               {GDK_BUTTON1_MASK | GDK_BUTTON3_MASK, 3},
                                               {GDK_SHIFT_MASK, 0}};
  for (auto [state, buttons] : held) EXPECT_EQ(ButtonsHeldOf(state), buttons) << state;
}

TEST(InputMapTest, TypedCharactersAreWhatKeyPressReports) {
  struct Case {
    unsigned keyval, state;
    int16_t ascii;
  };
  const Case cases[] = {
      {GDK_KEY_a, 0, 'a'},
      {GDK_KEY_A, GDK_SHIFT_MASK, 'A'},
      {GDK_KEY_a, GDK_CONTROL_MASK, 1},
      {GDK_KEY_Z, GDK_CONTROL_MASK | GDK_SHIFT_MASK, 26},
      {GDK_KEY_a, GDK_MOD1_MASK, 0},
      {GDK_KEY_1, GDK_CONTROL_MASK, 0},
      {GDK_KEY_exclam, GDK_SHIFT_MASK, '!'},
      {GDK_KEY_space, 0, 32},
      {GDK_KEY_Return, 0, 13},
      {GDK_KEY_KP_Enter, 0, 13},
      {GDK_KEY_Escape, 0, 27},
      {GDK_KEY_BackSpace, 0, 8},
      {GDK_KEY_Tab, 0, 9},
      {GDK_KEY_adiaeresis, 0, 228},
      {GDK_KEY_EuroSign, 0, 0},
      {GDK_KEY_F1, 0, 0},
      {GDK_KEY_Left, 0, 0},
      {GDK_KEY_Delete, 0, 0},
      {GDK_KEY_Shift_L, GDK_SHIFT_MASK, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyAsciiOf(c.keyval, c.state), c.ascii) << gdk_keyval_name(c.keyval);
}

}  // namespace
}  // namespace screen
