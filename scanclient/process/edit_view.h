#pragma once
// Small pieces shared by the sheet edits, the border trim and the quality
// check: which sheet the view shows, whether a control holds an image and
// the grey sample of the view. A sheet's crop tag is read with ReadCropTag
// (scanclient/acquire/view_geometry.h).

#include <cstdint>
#include <string>

#include "platform/forms/ole_control.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

// The sheet shown in the view: the number in L1's Tag (error 13 when the
// Tag is not a number, 6 beyond 16 bits).
int16_t ShownSheet(Quillet1& w);

// True when the imaging control holds an image (BitmapHandle not 0).
bool HoldsImage(forms::OleControl& c);

// The scale that makes the longer side of a w x h image at most `longest`
// pixels (a smaller image is enlarged): the smaller of longest / w and
// longest / h, each cut down to two decimals. 0 for an image more than a
// hundred times longer than `longest`.
double SampleScale(int16_t longest, int16_t w, int16_t h);

// Makes the grey sample of the view in the sample window's L2: L1's image
// scaled by SampleScale(longest, ...) (App.TmpW and App.TmpH keep L1's
// size), then grey with 8 bits. `deepen` first turns a sample of fewer than
// 24 bits into 24 bits. Above trace level 7 the window shows beside the
// main window and the sample is saved as ProductName + suffix in the
// program folder. Returns the scale; a scale of 0 (an image more than a
// hundred times longer than `longest`) would leave a sample without
// pixels and raises error 11 before it is made.
double MakeGreySample(Quillet1& w, int16_t longest, bool deepen, const std::string& suffix);

}  // namespace quillet
