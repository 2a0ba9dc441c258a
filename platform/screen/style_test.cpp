#include "platform/screen/style.h"

#include <gtest/gtest.h>

#include "platform/forms/design.h"

namespace screen {
namespace {

TEST(StyleTest, ColoursAreBlueGreenRedAndSystemColoursTheClassicOnes) {
  struct Case {
    int32_t colour;
    const char* css;
  };
  const Case cases[] = {
      {0x00FF00, "#00ff00"},  // a checked sheet
      {0x00FFFF, "#ffff00"},  // a changed sheet
      {0x0000FF, "#ff0000"},  // OK while a sheet is not accepted
      {0xFF0000, "#0000ff"},
      {0x808080, "#808080"},
      {0x123456, "#563412"},
      {forms::kColorButtonFace, "#f0f0f0"},
      {forms::kColorWindowBackground, "#ffffff"},
      {forms::kColorWindowText, "#000000"},
      {forms::kColorButtonText, "#000000"},
      {static_cast<int32_t>(0x800000FF), "#f0f0f0"},  // an unknown system colour
  };
  for (const Case& c : cases) EXPECT_EQ(CssColour(c.colour), c.css) << std::hex << c.colour;
  const Rgb red = RgbOf(0x0000FF);
  EXPECT_EQ(red.r, 1.0);
  EXPECT_EQ(red.g, 0.0);
  EXPECT_EQ(red.b, 0.0);
}

TEST(StyleTest, FontsTakeTheMetricTwinAndFallBack) {
  EXPECT_EQ(CssFont("Arial", 10, true),
            "font-family: \"Liberation Sans\", \"Liberation Sans\", sans-serif; font-size: 10pt; font-weight: bold;");
  EXPECT_EQ(CssFont("MS Sans Serif", 8.25f, false),
            "font-family: \"MS Sans Serif\", \"Liberation Sans\", sans-serif; font-size: 8.25pt; font-weight: normal;");
}

}  // namespace
}  // namespace screen
