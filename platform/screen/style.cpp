#include "platform/screen/style.h"

#include <cstdio>

#include "platform/imaging/text.h"
#include "platform/screen/backend.h"

namespace screen {
namespace {

// The classic desktop's system colours by index (the low byte).
uint32_t SystemColour(uint32_t index) {
  switch (index) {
    case 0x05: return 0xFFFFFF;  // window background
    case 0x06: return 0x646464;  // window frame
    case 0x08: return 0x000000;  // window text
    case 0x0D: return 0xD77800;  // highlight (BGR)
    case 0x0E: return 0xFFFFFF;  // highlight text
    case 0x11: return 0x6D6D6D;  // grey text
    case 0x12: return 0x000000;  // button text
    case 0x14: return 0xFFFFFF;  // button highlight
    case 0x10: return 0xA0A0A0;  // button shadow
    case 0x0F:                   // button face
    default: return 0xF0F0F0;
  }
}

uint32_t Bgr(int32_t colour) {
  const auto u = static_cast<uint32_t>(colour);
  return (u & 0x80000000u) ? SystemColour(u & 0xFF) : (u & 0xFFFFFF);
}

}  // namespace

Rgb RgbOf(int32_t colour) {
  const uint32_t c = Bgr(colour);
  return {(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0};
}

std::string CssColour(int32_t colour) {
  const uint32_t c = Bgr(colour);
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return buf;
}

std::string CssFont(const std::string& name, float points, bool bold) {
  char size[32];
  // GTK draws a point DeviceScale() times as large as the model counts it.
  std::snprintf(size, sizeof size, "%gpt", (points > 0 ? static_cast<double>(points) : 8.25) / DeviceScale());
  // A face this machine lacks falls back to the metric twin of Arial.
  return "font-family: \"" + imaging::FontFamilyFor(name.empty() ? "MS Sans Serif" : name) +
         "\", \"Liberation Sans\", sans-serif; font-size: " +
         size + "; font-weight: " + (bold ? "bold" : "normal") + ";";
}

}  // namespace screen
