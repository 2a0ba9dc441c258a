#include "platform/screen/units.h"

#include <cmath>
#include <limits>

namespace screen {

int32_t TwipsToPixels(double twips, double twipsPerPixel) {
  const double px = std::round(twips / twipsPerPixel);
  if (std::isnan(px)) return 0;
  // A size far beyond any screen is held at the range rather than overflowing.
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (px < -kMax) return -std::numeric_limits<int32_t>::max();
  if (px > kMax) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(px);
}

double PixelsToTwips(double pixels, double twipsPerPixel) { return pixels * twipsPerPixel; }

}  // namespace screen
