#pragma once
// The look of forms and controls on the screen: the runtime's colours
// (&H00BBGGRR, or a system colour with the high bit set) and fonts in the
// terms of GTK's style sheets and of cairo.

#include <cstdint>
#include <string>

namespace screen {

struct Rgb {
  double r = 0, g = 0, b = 0;  // 0..1
};

// A colour of the runtime as red, green and blue. System colours take the
// platform's classic values (button face #F0F0F0, window #FFFFFF, texts
// black ...); an unknown system colour reads as the button face.
Rgb RgbOf(int32_t colour);
// The same as a style sheet writes it: "#rrggbb".
std::string CssColour(int32_t colour);
// A font of the model for a style sheet: the face the name maps to (Arial
// and MS Sans Serif to their metric twins), its size in points (of the
// model's pixels: divided by DeviceScale()) and weight.
std::string CssFont(const std::string& name, float points, bool bold);

}  // namespace screen
