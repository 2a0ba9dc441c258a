#pragma once
// How the PNG codec compresses rows of 8-bit samples (true colour and 256
// grey levels): every row with the Up filter, then zlib level 2. Palette
// images and packed depths keep libpng's own choice (no filter, level 6).
//
// libpng's default tries all five filters on every row and runs zlib at
// level 6, whose lazy matching gets slow on scanner noise. Measured on the
// A4 sheets of bench/imaging/ at 300 dpi (24-bit, 2480 x 3508), time and
// size of one save against the default's (median of 5):
//
//   filter, level   scan-like sheet         clean sheet
//   default         3.58 s, 12.99 MB        0.28 s, 1.07 MB
//   Up, 1           12.0x faster, +7.7 %    4.5x faster, -2.2 %
//   Up, 2            9.9x faster, +6.9 %    4.4x faster, -2.5 %
//   Up, 4            2.7x faster, +7.9 %    2.1x faster, +0.7 %
//   Up|Sub, 2        9.1x faster, +6.4 %    2.8x faster, +0.9 %
//   None, 2         10.4x faster, +5.2 %    3.3x faster, +85.5 %
//   Paeth, 4         2.7x faster, +8.1 %    1.5x faster, +12.2 %
//
// Up at level 2 keeps both within 7 % of the default's size at 4 to 10
// times its speed. From level 4 up, Up, Sub and Paeth save a scan less than
// 3 times faster; no filter at all nearly doubles a clean sheet.

#include <png.h>

namespace imaging {

inline constexpr int kPngRowFilter = PNG_FILTER_UP;
inline constexpr int kPngZlibLevel = 2;

}  // namespace imaging
