#pragma once
// The screen's mouse and window geometry in the terms of the window
// stand-in's messages (platform/windows): which mouse message a GDK button
// event is, the key and button flags (MK_...) mouse messages carry, a wheel
// notch, and where a frame window stands in the model given where it stands
// on the screen. Keys are the runtime's codes of input_map.h, which are the
// platform's virtual keys.

#include "platform/windows/window.h"

namespace screen {

// The message of GDK button `button` (1 left, 2 middle, 3 right) going down
// (`presses` 1), down as the second press of a double click (2) or up (0);
// WM_NULL for other buttons.
win::UINT ButtonMessageOf(unsigned button, int presses);
// The wParam of a mouse message: the Shift and Ctrl keys and the buttons
// held in GDK modifier state `state`, with `button` counted as held when it
// goes down (`down`) and as released when it goes up; button 0 for a move.
win::WPARAM MouseKeysOf(unsigned state, unsigned button, bool down);
// The wheel delta of a GDK scroll direction (0 up .. 3 right): a notch up is
// +WHEEL_DELTA, down -WHEEL_DELTA, sideways 0.
int WheelDeltaOf(int direction);

// A frame's rectangle in the model (screen pixels) when its window stands
// at (x, y) on the screen with a client area of `width` x `height`, and the
// model counts `frame` (left, top, right, bottom) around its client area.
win::RECT ModelRectOf(int x, int y, int width, int height, const win::RECT& frame);
// The widths the model counts around `hwnd`'s client area (its frame,
// caption and menu bar), as `frame` above.
win::RECT NonClientOf(win::HWND hwnd);

}  // namespace screen
