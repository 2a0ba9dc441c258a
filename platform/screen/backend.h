#pragma once
// Where a windowed program shows itself, chosen once at start-up.
//
//   ORN_DISPLAY=none     headless (the retained model only, as a service runs)
//   ORN_DISPLAY=screen   real windows; an operator script may still run, so a
//                        test can drive a real window
//   unset or empty       headless when ORN_UI_SCRIPT names a script, real
//                        windows when DISPLAY or WAYLAND_DISPLAY is set,
//                        headless otherwise
// Any other value of ORN_DISPLAY is refused rather than guessed.

#include <string>

namespace screen {

enum class Backend { kHeadless, kScreen };

// The variables the choice reads; empty stands for unset.
struct BackendEnvironment {
  std::string ornDisplay, uiScript, display, waylandDisplay;
  static BackendEnvironment FromProcess();
};

// The rule above. A malformed ORN_DISPLAY ends the run with 124
// (settings::BadSetting).
Backend ChooseBackend(const BackendEnvironment& env);

// Chooses from the process environment and, for the screen, opens the
// display (GTK) and puts message boxes on it. Forced real windows without a
// display that opens end the run with 124; otherwise a display that does
// not open leaves the run headless. The first call decides; later
// calls return the same answer.
Backend StartBackend();

// True once StartBackend opened the screen.
bool OnScreen();

// The model counts the pixels of the device; GTK counts pixels of the
// monitor's scale (GDK_SCALE, or the monitor's own factor): one of GTK's
// pixels holds DeviceScale() x DeviceScale() of the model's. 1 headless.
// When the screen opens, the model's screen (uiscript::ScreenFromEnvironment,
// unless ORN_SCREEN is set) becomes the primary monitor's work area (the
// monitor less its panels) in the model's pixels.
int DeviceScale();
// A length or position of the model's (the device's) pixels in GTK's.
inline int GtkPixels(int pixels) { return pixels / DeviceScale(); }

}  // namespace screen
