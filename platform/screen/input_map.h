#pragma once
// The screen's keys, modifiers and mouse buttons in the runtime's codes.
//
// Key codes: letters 65..90 whatever the case, digits 48..57, the keypad's
// digits 96..105 and operators 106..111, F1..F16 112..127, and the control
// keys Back 8, Tab 9, Clear 12, Enter 13, Shift 16, Ctrl 17, Alt 18,
// Pause 19, Caps Lock 20, Escape 27, Space 32, PageUp 33, PageDown 34,
// End 35, Home 36, Left 37, Up 38, Right 39, Down 40, Print 44, Insert 45,
// Delete 46, Help 47, Num Lock 144, Scroll Lock 145; the punctuation keys
// of a US keyboard 186..192 and 219..222. 0 for a key without a code.
// Shift state: 1 Shift, 2 Ctrl, 4 Alt. Buttons: 1 left, 2 right, 4 middle.

#include <cstdint>

typedef struct _GdkEventKey GdkEventKey;

namespace screen {

// The key code of a GDK key value (take the key's unshifted value, so that
// Shift+1 is the key 1).
int16_t KeyCodeOf(unsigned keyval);
// The key code of a key event: the key as pressed without modifiers, else
// the event's own key value.
int16_t KeyCodeOfEvent(const GdkEventKey* event);
// The shift state of a GDK modifier state.
int16_t ShiftOf(unsigned state);
// The shift state a key event reports: GDK gives the modifiers held before
// the event, the runtime those held after it, so Shift going down reports
// 1 and coming up 0.
int16_t ShiftOfKey(unsigned keyval, unsigned state, bool press);
// The runtime's button of GDK button number `button` (1 left, 2 middle,
// 3 right); 0 for other buttons.
int16_t ButtonOf(unsigned button);
// The buttons held in a GDK modifier state, as MouseMove reports them.
int16_t ButtonsHeldOf(unsigned state);
// The character a key types as KeyPress reports it: Ctrl with a letter
// 1..26, Enter 13, Escape 27, Back 8, Tab 9, other characters their
// Latin-1 code; 0 with Alt, and for keys that type nothing or a character
// beyond Latin-1.
int16_t KeyAsciiOf(unsigned keyval, unsigned state);

}  // namespace screen
