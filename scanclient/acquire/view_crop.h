#pragma once
// The CROP tool inside L1's mouse handlers (view_mouse.cpp): the press
// decides the drag kind and shows the band, the moves change only the band,
// the release stores the sheet's crop tag and sets it as L1's region.

#include "scanclient/core/quillet1.h"

namespace quillet {

// After the handler's common steps (press position and view in App). A
// sheet smaller than its type's minimum switches the tool to MOVE.
void CropPress(Quillet1& w);
// Pointer without a button: the corner cursor (8) within 6 display pixels
// of the band's lower right corner.
void CropHover(Quillet1& w, float X, float Y);
// Pointer with a button: draws, moves or resizes the band by the drag kind.
void CropDrag(Quillet1& w, float X, float Y);
// Stores the band as the sheet's crop tag and region and updates the thumbnail.
void CropRelease(Quillet1& w);

}  // namespace quillet
