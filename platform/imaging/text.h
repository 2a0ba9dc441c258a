#pragma once
// Text measured and drawn with cairo and a real font. The Windows face names
// the system uses map to their metric-compatible Liberation faces, so text
// widths match what the system was laid out for.

#include <cstdint>
#include <string>

#include "platform/imaging/image.h"

namespace imaging {

struct TextFont {
  std::string name = "Arial";
  double points = 8.25;
  bool bold = false;
  bool italic = false;
};

// The family asked of fontconfig for `name` ("Arial" -> "Liberation Sans").
std::string FontFamilyFor(const std::string& name);
// The family fontconfig actually resolves the font to on this machine.
std::string ResolvedFontFamily(const TextFont& font);

// Advance width of `text` in display pixels (96 per inch), rounded.
int32_t TextWidthPx(const TextFont& font, const std::string& text);

struct TextBox {
  double left = 0, top = 0, width = 0, height = 0;  // image pixels
  int32_t angleTenths = 0;  // counter-clockwise
  int32_t align = 0;        // row (0 top, 1 middle, 2 bottom) x 3 + column (0 left, 1 centre, 2 right)
  Colour colour = kBlack;
};

// Draws `text` (UTF-8) into the image's pixels: laid out in the box by its
// alignment, then turned about the box's centre; edges are blended
// (indexed images take the nearest palette colour).
int16_t DrawTextInto(Image& img, const TextFont& font, const TextBox& box, const std::string& text);

}  // namespace imaging
