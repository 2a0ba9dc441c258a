#pragma once
// Twips and pixels: the model measures in twips, the screen in pixels.

#include <cstdint>

namespace screen {

// Whole pixels of `twips`, rounded half away from zero; twipsPerPixel > 0.
int32_t TwipsToPixels(double twips, double twipsPerPixel);
// Twips of `pixels` (a pointer position may lie between pixels).
double PixelsToTwips(double pixels, double twipsPerPixel);

}  // namespace screen
