// Procedures of the sheets and the view that the core calls. Their bodies
// belong to the acquisition issue; until it lands they do nothing.

#include "scanclient/core/quillet1.h"

namespace quillet {

// Fits (percent below 2) or zooms the main view.
void Quillet1::L1_Zoom(double /*percent*/) {}

// Selects a mouse tool (Index 0..3) or runs a geometry edit (4..9).
void Quillet1::Tool_Click(int16_t /*Index*/) {}

// Checks the shown sheet and colours it; Empty when no check ran.
rt::Variant Quillet1::CheckPage(int16_t /*mode*/) { return rt::Variant(); }

}  // namespace quillet
