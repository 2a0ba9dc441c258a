#pragma once
// The form's own surface as the runtime paints it under the windowed
// controls: the form's back colour, then its light controls in design
// order: shapes (outline and fill), images (the picture file) and labels
// (caption in the label's font, colours and alignment, words wrapped).

#include <cairo.h>

#include "platform/forms/form.h"

namespace screen {

void PaintForm(cairo_t* cr, forms::Form& form, double twipsPerPixelX, double twipsPerPixelY);

// The label or image under (x, y), twips of the form's client area: the
// topmost one that is visible and enabled; null for none (the form itself).
forms::VisibleControl* LightControlAt(forms::Form& form, double x, double y);

}  // namespace screen
