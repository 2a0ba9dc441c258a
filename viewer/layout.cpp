#include "viewer/layout.h"

#include "guicommon/cmdline.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"

namespace viewer {

WindowPlacement PlaceWindow(const ViewerState& s, bool centre) {
  WindowPlacement w;
  bool fits = s.ScreenWidthPx * 0.95 >= s.ShownWidth && s.ScreenHeightPx * 0.95 >= s.ShownHeight;
  if (fits) {
    w.Height = (s.ShownHeight + 32.0) * s.TwipsPerPixelY;
    w.Width = (s.ShownWidth + 8.0) * s.TwipsPerPixelX;
    if (centre) {
      w.Left = (static_cast<double>(s.TwipsPerPixelX) * s.ScreenWidthPx - w.Width) / 2;
      w.Top = (static_cast<double>(s.TwipsPerPixelY) * s.ScreenHeightPx - w.Height) / 2;
    }
    w.ScaleMode = kScaleActual;
  } else {
    w.Height = s.ScreenHeightPx * 0.8 * s.TwipsPerPixelY;
    w.Width = s.ScreenWidthPx * 0.8 * s.TwipsPerPixelX;
    w.ScaleMode = kScaleFit;
  }
  return w;
}

std::vector<Tile> TilePlan(int32_t width, int32_t height, int32_t cell) {
  std::vector<Tile> tiles;
  for (int32_t x = 0; x <= width + cell; x += cell) {
    for (int32_t y = 0; y <= height + cell; y += cell) {
      bool odd = (x / cell + y / cell) % 2 != 0;
      tiles.push_back({x, y, static_cast<int16_t>(odd ? 512 : 0)});
    }
  }
  return tiles;
}

std::string FileNamePart(std::string_view path) {
  // Paths from the caller may use either separator.
  size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string CaptionText(const ViewerState& s, std::string_view path, std::string_view title,
                        double zoomPercent) {
  if (!title.empty()) return std::string(title);
  return FileNamePart(path) + ":" + rt::CStr(s.ShownWidth) + "x" + rt::CStr(s.ShownHeight) +
         "." + rt::CStr(s.ShownBits) + "  " + rt::CStr(s.ShownPage) + "/" +
         rt::CStr(s.ShownPageCount) + " (" + rt::CStr(rt::Int(zoomPercent)) + "%)    " +
         s.ProductName + " " + s.ProductVersion;
}

std::string ExactParam(std::string_view name) {
  const guicommon::ParamTable& p = guicommon::Params;
  std::string key = rt::UCase(rt::Trim(name));
  int rows = static_cast<int>(rt::Val(p.Name(0)));
  std::string result;
  for (int i = 1; i <= rows && i <= guicommon::ParamTable::kMaxRows; ++i) {
    if (p.Name(i) == key) result = p.Value(i);
  }
  return result;
}

}  // namespace viewer
