#include "scanclient/core/ini_values.h"

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"

namespace quillet {
namespace {

// Range tests work on the unrounded value; Integer targets round half to even.
template <class Accept>
int16_t IniInteger(std::string_view section, std::string_view key, int16_t fallback, Accept accept) {
  std::optional<double> v = NumericValue(GetIni(section, key));
  return v && accept(*v) ? rt::CInt(*v) : fallback;
}

template <class Accept>
double IniDouble(std::string_view section, std::string_view key, double fallback, Accept accept) {
  std::optional<double> v = NumericValue(GetIni(section, key));
  return v && accept(*v) ? *v : fallback;
}

bool Percent(double v) { return v >= 0 && v <= 100; }

}  // namespace

std::optional<double> NumericValue(std::string_view text) {
  if (!rt::IsNumeric(text)) return std::nullopt;
  return rt::Val(text);
}

void ReadCheckSettings() {
  App.ForceSequence = IsYes(GetIni("General", "ForceSequence"), true) ? 1 : 0;
  App.TrimSample = IniInteger("Quality", "TrimSample", 320, [](double v) { return v > 100 && v < 800; });
  App.TrimPixel = IniInteger("Quality", "TrimPixel", 2, [](double v) { return v > 0 && v < 100; });
  App.TrimLevel = IniInteger("Quality", "TrimLevel", 250, [](double v) { return v > 128 && v < 256; });
  App.MaxSizeX = IniInteger("Quality", "MaxSizeX", 8192, [](double v) { return v > 512 && v < 32767; });
  App.MaxSizeY = IniInteger("Quality", "MaxSizeY", 8192, [](double v) { return v > 512 && v < 32767; });
  // AskRO is read and range-checked although nothing else uses it.
  App.AskRO = IniInteger("Quality", "AskRO", 0, [](double v) { return v >= 0 && v <= 2; });
  App.CheckSample = IniInteger("Quality", "CheckSample", 320, [](double v) { return v > 100 && v < 800; });
  App.WhiteLevel = IniInteger("Quality", "WhiteLevel", 192, [](double v) { return v > 128 && v < 256; });
  App.BlackLevel = IniInteger("Quality", "BlackLevel", 64, [](double v) { return v > 0 && v < 128; });
  // WhiteMin comes from [General] although its siblings come from [Quality];
  // installed INI files rely on it.
  App.WhiteMin = IniDouble("General", "WhiteMin", 0, Percent);
  App.WhiteMax = IniDouble("Quality", "WhiteMax", 100, Percent);
  App.BlackMin = IniDouble("Quality", "BlackMin", 0, Percent);
  App.BlackMax = IniDouble("Quality", "BlackMax", 100, Percent);
  App.MidMin = IniDouble("Quality", "MidMin", 0, Percent);
  App.MidMax = IniDouble("Quality", "MidMax", 100, Percent);
}

void ReadLayoutSettings() {
  std::optional<double> flags = NumericValue(rt::Trim(GetIni("General", "TwainFlags")));
  App.TwainFlags = flags ? rt::CLng(*flags) : 130;
  if (App.DebugLevel < 6 && (App.TwainFlags & 1) != 0) App.TwainFlags -= 1;
  App.TwainClose = IsYes(rt::Trim(GetIni("General", "TwainClose")), true) ? 1 : 0;

  std::string font = rt::Trim(GetIni("Layout", "FontName"));
  App.FontName = font.empty() ? "MS Sans Serif" : font;
  App.FontSize = IniInteger("Layout", "FontSize", 10, [](double v) { return v >= 6 && v <= 24; });
  // A missing or non-numeric height is 8; only a numeric one outside the
  // range becomes 32.
  std::optional<double> height = NumericValue(rt::Trim(GetIni("Layout", "ControlHeight")));
  if (!height) {
    App.ControlHeight = 8;
  } else if (*height < 8 || *height > 60) {
    App.ControlHeight = 32;
  } else {
    App.ControlHeight = rt::CInt(*height);
  }
  App.Buttons = IniInteger("Layout", "Buttons", 0, [](double) { return true; });
}

std::array<std::optional<int32_t>, 3> ReadShapeColors() {
  std::array<std::optional<int32_t>, 3> colors;
  for (int i = 0; i < 3; ++i) {
    std::optional<double> v = NumericValue(rt::Trim(GetIni("Layout", "ColorShape" + std::to_string(i + 1))));
    if (v) colors[i] = rt::CLng(*v);
  }
  return colors;
}

PixelPair SplitPixelPair(std::string_view text) {
  PixelPair pair;
  int32_t comma = rt::InStr(text, ",");
  if (comma == 0) {
    pair.first = NumericValue(text);
  } else {
    pair.first = NumericValue(rt::Left(text, comma - 1));
    pair.second = NumericValue(rt::Mid(text, comma + 1));
  }
  return pair;
}

}  // namespace quillet
