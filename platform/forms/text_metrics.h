#pragma once
// Text measurement with fixed metrics, so that layouts repeat exactly on
// every machine. No font is opened.
//
// Each character has an advance in thousandths of the font size: a table
// for the printable ASCII characters (text_metrics.cpp), 556 for any other
// character (a UTF-8 sequence counts once). Bold adds 40 to every advance.
// Fonts whose name contains "Courier", "Mono", "Console", "Fixedsys" or
// "Terminal" (any case) are fixed-pitch: 600 for every character, bold too.
//   TextWidth  = round(sum of advances × size × 20 / 1000) twips, of the
//                widest line (lines end with LF, CR LF or CR)
//   TextHeight = number of lines × round(size × 24) twips (line spacing
//                1.2 × size; 20 twips per point)
// Rounding is half away from zero.

#include <string_view>

namespace forms {

float TextWidth(std::string_view fontName, float size, bool bold, std::string_view text);
float TextHeight(float size, std::string_view text);

}  // namespace forms
