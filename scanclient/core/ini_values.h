#pragma once
// The settings of the INI file that ReadIni stores in App, with their
// defaults, accepted ranges and rounding. Values that are missing, not
// numeric or outside their range leave the default, silently.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The number an INI text stands for (blanks around it allowed, "." decimal
// point); nullopt when the whole text is not a number.
std::optional<double> NumericValue(std::string_view text);

// [General] ForceSequence, [Quality] TrimSample .. MidMax and [General]
// WhiteMin, in the order ReadIni reads them.
void ReadCheckSettings();

// [General] TwainFlags, TwainClose and [Layout] FontName, FontSize,
// ControlHeight, Buttons. TwainFlags loses its bit 0 (the source's own
// dialog) below DebugLevel 6.
void ReadLayoutSettings();

// [Layout] ColorShape1..3: a colour for Shape(0..2) when numeric.
std::array<std::optional<int32_t>, 3> ReadShapeColors();

// One part of [General] WinSize or WinPos: "a,b" splits at the first ",";
// without a comma the whole text is the first part and there is no second.
struct PixelPair {
  std::optional<double> first, second;
};
PixelPair SplitPixelPair(std::string_view text);

}  // namespace quillet
