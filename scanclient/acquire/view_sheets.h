#pragma once
// Helpers of the thumbnail and check procedures (view_thumbs.cpp) that the
// mouse tools share.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/forms/ole_control.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

// The size tooltip of an imaging control: Str(width) & " x" & Str(height),
// so " 640 x 480" (a blank before each number).
std::string SizeText(forms::OleControl& c);

// The shown sheet k (the number in L1's Tag).
int16_t ShownSheet(const Quillet1& w);

// Colours the shown sheet's button and DoAqu after a check with `result`
// (0 passed: green, else yellow), then counts the green sheet buttons into
// DoOK: its Tag the number that are not green, its colour green only when
// none is left.
void ColourChecked(Quillet1& w, int16_t result);

// Lays the crop rectangle of a sheet's crop tag over `view` as its region;
// the region call's result, or nothing when the tag holds no crop.
std::optional<int32_t> SetCropRegion(forms::OleControl& view, std::string_view tag);

}  // namespace quillet
