#pragma once
// How the PNG codec compresses rows of 8-bit samples (true colour and 256
// grey levels): every row with the Up filter, then zlib level 2. Palette
// images and packed depths keep libpng's own choice (no filter, level 6).
//
// libpng's default tries all five filters on every row and runs zlib at
// level 6, whose lazy matching gets slow on scanner noise. Measured on A4
// sheets at 300 dpi (24-bit, 2480 x 3508), time and size against the
// default (the generator of bench/):
//
//   filter, level     scan-like sheet       clean sheet
//   default           4.26 s, 12.83 MB      0.38 s, 1.07 MB
//   Up, 1             9.6x faster, +8.6 %   3.9x faster, -2.2 %
//   Up, 2             7.0x faster, +7.8 %   5.0x faster, -2.5 %
//   Up, 4             2.8x faster, +7.8 %   2.2x faster, +0.7 %
//   Up|Sub, 2         8.2x faster, +6.4 %   3.2x faster, +0.5 %
//   None, 2          10.6x faster, +6.2 %   4.2x faster, +86 %
//   Paeth, 4          2.2x faster, +8.2 %   1.7x faster, +12 %
//
// Level 2 with Up keeps both within 8 % of the default's size at 5 to 7
// times its speed; no level above 3 is 3 times faster on a scan.

#include <png.h>

namespace imaging {

inline constexpr int kPngRowFilter = PNG_FILTER_UP;
inline constexpr int kPngZlibLevel = 2;

}  // namespace imaging
