#pragma once
// Small readers shared by the sheet edits, the border trim and the quality
// check: which sheet the view shows, whether a control holds an image, and
// the rectangle of a sheet's crop tag.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/forms/ole_control.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

// The sheet shown in the view: the number in L1's Tag (error 13 when the
// Tag is not a number, 6 beyond 16 bits).
int16_t ShownSheet(Quillet1& w);

// True when the imaging control holds an image (BitmapHandle not 0).
bool HoldsImage(forms::OleControl& c);

// A CropTag's left, top, width and height, read with Val from characters
// 1-4, 6-9, 11-14 and 16-19; nullopt unless the tag has exactly 19
// characters (any other length means the sheet has no crop).
struct CropRect {
  double left = 0, top = 0, width = 0, height = 0;
};
std::optional<CropRect> ParseCropTag(std::string_view tag);

// The scale that makes the longer side of a w x h image at most `longest`
// pixels (a smaller image is enlarged): the smaller of longest / w and
// longest / h, each cut down to two decimals. 0 for an image more than a
// hundred times longer than `longest`.
double SampleScale(int16_t longest, int16_t w, int16_t h);

}  // namespace quillet
