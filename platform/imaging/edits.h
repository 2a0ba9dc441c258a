#pragma once
// Edits of an image, each exact and deterministic so that results can be
// compared pixel by pixel: quarter turns, mirror, flip, crop, resize, grey and
// colour-depth conversion (nearest colour, never dithered), brightness,
// contrast and gamma (identity at 0, 0 and 100), fill, regions and combining.
//
// Each returns a PixoResult (0 success); on failure the image is unchanged.

#include <cstdint>
#include <vector>

#include "platform/imaging/image.h"

namespace imaging {

// A value in image pixels made a whole pixel: rounded half away from zero,
// held inside the 32-bit range (NaN reads 0).
int32_t ToPixel(double v);

// A selected part of an image: a rectangle, optionally narrowed by a mask of
// width x height flags (row by row) inside it.
struct Region {
  int32_t left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> mask;  // empty: every pixel of the rectangle

  bool empty() const { return width <= 0 || height <= 0; }
  bool Contains(int32_t x, int32_t y) const;
};

// The rectangle clipped to the image; empty when nothing of it lies inside.
Region RectRegion(const Image& img, double left, double top, double width, double height);
// Mode 6: the pixels whose colour differs from `c` (the drawing on a plain
// background); any other mode: the pixels of exactly colour `c`.
Region ColourRegion(const Image& img, int32_t mode, Colour c);

// Clockwise by `hundredths` of a degree. Quarter turns move pixels exactly;
// other angles sample the nearest source pixel and fill the uncovered
// corners with `fill`; the image grows to hold the turned one.
int16_t Rotate(Image& img, int32_t hundredths, Colour fill);
void Mirror(Image& img);
void Flip(Image& img);
int16_t Crop(Image& img, double left, double top, double width, double height);
// Mode 2 averages the source pixels each target pixel covers (grey and true
// colour images); other modes, and palette images, take the nearest pixel.
int16_t Resize(Image& img, double width, double height, int32_t mode);
// Bits 8: 256 grey levels; 4: 16 levels; 1: black below level 128, else
// white; 24: a true-colour image whose three bytes are equal.
int16_t ConvertToGrey(Image& img, int32_t bits);
// To `bits` (1, 4, 8, 24). 24 expands the palette. Fewer bits choose the
// palette by `mode`:
//   16 set: the first `colours` entries of `staged` (all 2^bits when 0);
//   2 set:  the image's own colours when they fit, else the most frequent
//           colours of a 5-5-5 histogram (their mean colour each);
//   else:   the grey ramp for a grey image, the image's palette when it
//           fits, else the standard palette (black/white; 16 colours; a
//           6x6x6 cube and 40 greys).
// Each pixel takes the nearest entry. Other mode bits (4, 8) change nothing.
int16_t ChangeDepth(Image& img, int32_t bits, int32_t mode, int32_t colours,
                    const std::vector<Colour>& staged);
// The standard palette of 1, 4 or 8 bits.
std::vector<Colour> StandardPalette(int32_t bits);

// Value -1000..1000: every channel moves by value x 255 / 1000.
int16_t AdjustBrightness(Image& img, int32_t value);
// Value -1000..1000: distances from 128 scale by (1000 + value) / 1000.
int16_t AdjustContrast(Image& img, int32_t value);
// Value 1..10000: level = 255 x (level / 255) ^ (100 / value).
int16_t AdjustGamma(Image& img, int32_t value);
void Fill(Image& img, Colour c);
// Adds (op 1) or subtracts (op 6) `a` on every colour channel; `b` is not
// used. Other ops are refused.
int16_t ComposeOp(Image& img, int32_t a, int32_t b, int32_t op);

// Pastes the part (srcLeft, srcTop, width, height) of `src` at (left, top)
// of `dst`, clipped to both images; only pixels inside `srcRegion` when it
// is not empty. Flags 512 mixes source and target half and half; every
// other value copies the source pixels unchanged.
inline constexpr int32_t kCombineBlend = 512;
void Combine(Image& dst, const Image& src, const Region& srcRegion, int32_t left, int32_t top,
             int32_t width, int32_t height, int32_t srcLeft, int32_t srcTop, int32_t flags);

}  // namespace imaging
