#include "platform/screen/input_map.h"

#include <gdk/gdk.h>

namespace screen {
namespace {

struct KeyPair {
  unsigned keyval;
  int16_t code;
};

constexpr KeyPair kKeys[] = {
    {GDK_KEY_BackSpace, 8},     {GDK_KEY_Tab, 9},          {GDK_KEY_ISO_Left_Tab, 9},  {GDK_KEY_Clear, 12},
    {GDK_KEY_Return, 13},       {GDK_KEY_KP_Enter, 13},    {GDK_KEY_Shift_L, 16},      {GDK_KEY_Shift_R, 16},
    {GDK_KEY_Control_L, 17},    {GDK_KEY_Control_R, 17},   {GDK_KEY_Alt_L, 18},        {GDK_KEY_Alt_R, 18},
    {GDK_KEY_Pause, 19},        {GDK_KEY_Caps_Lock, 20},   {GDK_KEY_Escape, 27},       {GDK_KEY_space, 32},
    {GDK_KEY_Page_Up, 33},      {GDK_KEY_KP_Page_Up, 33},  {GDK_KEY_Page_Down, 34},    {GDK_KEY_KP_Page_Down, 34},
    {GDK_KEY_End, 35},          {GDK_KEY_KP_End, 35},      {GDK_KEY_Home, 36},         {GDK_KEY_KP_Home, 36},
    {GDK_KEY_Left, 37},         {GDK_KEY_KP_Left, 37},     {GDK_KEY_Up, 38},           {GDK_KEY_KP_Up, 38},
    {GDK_KEY_Right, 39},        {GDK_KEY_KP_Right, 39},    {GDK_KEY_Down, 40},         {GDK_KEY_KP_Down, 40},
    {GDK_KEY_KP_Begin, 12},     {GDK_KEY_Print, 44},       {GDK_KEY_Insert, 45},       {GDK_KEY_KP_Insert, 45},
    {GDK_KEY_Delete, 46},       {GDK_KEY_KP_Delete, 46},   {GDK_KEY_Help, 47},         {GDK_KEY_KP_Multiply, 106},
    {GDK_KEY_KP_Add, 107},      {GDK_KEY_KP_Separator, 108}, {GDK_KEY_KP_Subtract, 109}, {GDK_KEY_KP_Decimal, 110},
    {GDK_KEY_KP_Divide, 111},   {GDK_KEY_Num_Lock, 144},   {GDK_KEY_Scroll_Lock, 145}, {GDK_KEY_semicolon, 186},
    {GDK_KEY_colon, 186},       {GDK_KEY_equal, 187},      {GDK_KEY_plus, 187},        {GDK_KEY_comma, 188},
    {GDK_KEY_less, 188},        {GDK_KEY_minus, 189},      {GDK_KEY_underscore, 189},  {GDK_KEY_period, 190},
    {GDK_KEY_greater, 190},     {GDK_KEY_slash, 191},      {GDK_KEY_question, 191},    {GDK_KEY_grave, 192},
    {GDK_KEY_asciitilde, 192},  {GDK_KEY_bracketleft, 219}, {GDK_KEY_braceleft, 219},  {GDK_KEY_backslash, 220},
    {GDK_KEY_bar, 220},         {GDK_KEY_bracketright, 221}, {GDK_KEY_braceright, 221}, {GDK_KEY_apostrophe, 222},
    {GDK_KEY_quotedbl, 222},
};

}  // namespace

int16_t KeyCodeOf(unsigned keyval) {
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return static_cast<int16_t>('A' + (keyval - GDK_KEY_a));
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return static_cast<int16_t>('A' + (keyval - GDK_KEY_A));
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return static_cast<int16_t>('0' + (keyval - GDK_KEY_0));
  if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) return static_cast<int16_t>(96 + (keyval - GDK_KEY_KP_0));
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F16) return static_cast<int16_t>(112 + (keyval - GDK_KEY_F1));
  for (const KeyPair& k : kKeys)
    if (k.keyval == keyval) return k.code;
  return 0;
}

int16_t KeyCodeOfEvent(const GdkEventKey* e) {
  guint base = e->keyval;
  gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_window_get_display(e->window)),
                                      e->hardware_keycode, static_cast<GdkModifierType>(0), e->group, &base, nullptr,
                                      nullptr, nullptr);
  const int16_t code = KeyCodeOf(base);
  return code != 0 ? code : KeyCodeOf(e->keyval);
}

int16_t ShiftOf(unsigned state) {
  int16_t shift = 0;
  if (state & GDK_SHIFT_MASK) shift |= 1;
  if (state & GDK_CONTROL_MASK) shift |= 2;
  if (state & GDK_MOD1_MASK) shift |= 4;
  return shift;
}

int16_t ShiftOfKey(unsigned keyval, unsigned state, bool press) {
  int16_t own = 0;
  switch (keyval) {
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R: own = 1; break;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R: own = 2; break;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
    case GDK_KEY_Meta_L:
    case GDK_KEY_Meta_R: own = 4; break;
    default: break;
  }
  const int16_t shift = ShiftOf(state);
  return static_cast<int16_t>(press ? shift | own : shift & ~own);
}

int16_t ButtonOf(unsigned button) {
  switch (button) {
    case 1: return 1;
    case 2: return 4;
    case 3: return 2;
    default: return 0;
  }
}

int16_t ButtonsHeldOf(unsigned state) {
  int16_t held = 0;
  if (state & GDK_BUTTON1_MASK) held |= 1;
  if (state & GDK_BUTTON3_MASK) held |= 2;
  if (state & GDK_BUTTON2_MASK) held |= 4;
  return held;
}

int16_t KeyAsciiOf(unsigned keyval, unsigned state) {
  if (state & GDK_MOD1_MASK) return 0;
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter: return 13;
    case GDK_KEY_Escape: return 27;
    case GDK_KEY_BackSpace: return 8;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: return 9;
    default: break;
  }
  const guint32 c = gdk_keyval_to_unicode(keyval);
  if (state & GDK_CONTROL_MASK) {
    if (c >= 'a' && c <= 'z') return static_cast<int16_t>(c - 'a' + 1);
    if (c >= 'A' && c <= 'Z') return static_cast<int16_t>(c - 'A' + 1);
    return 0;
  }
  if (c >= 32 && c <= 255 && c != 127) return static_cast<int16_t>(c);
  return 0;
}

}  // namespace screen
