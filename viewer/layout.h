#pragma once
// The viewer's arithmetic, kept apart from the window so it can be checked
// with the numbers alone: the window size after a load, the watermark
// tiles, the caption text and the exact switch look-up.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/viewer_state.h"

namespace viewer {

// Scale modes of the view.
enum ScaleModes : int16_t { kScaleActual = 0, kScaleFit = 3, kScalePercent = 4 };

// The window after a load, in twips. A page fits when it is at most 95 % of
// the screen both ways: the window then takes the page's size plus the
// border (8 x 32 pixels) and shows it 1:1, centred on the screen when asked.
// Otherwise the window becomes 80 % of the screen, keeps its position and
// fits the page.
struct WindowPlacement {
  double Width = 0;
  double Height = 0;
  std::optional<double> Left;  // set only when the position changes
  std::optional<double> Top;
  int16_t ScaleMode = kScaleActual;
};
WindowPlacement PlaceWindow(const ViewerState& s, bool centre);

// One watermark tile: where the cell is laid on the page and how.
struct Tile {
  int32_t x = 0;
  int32_t y = 0;
  int16_t flags = 0;
};
// The tiles for a page of width x height pixels and a cell of `cell`
// pixels: columns and rows from 0 up to and including the page size plus one
// cell, so one row and one column lie beyond the page; the combine mode
// alternates like a chessboard, 0 at the origin. `cell` must be positive.
std::vector<Tile> TilePlan(int32_t width, int32_t height, int32_t cell);

// The last part of a path: after the last "\" or "/".
std::string FileNamePart(std::string_view path);

// The caption: the fixed title when there is one, else the shown file's
// name, size, bits, page and zoom and the program's name and version.
std::string CaptionText(const ViewerState& s, std::string_view path, std::string_view title,
                        double zoomPercent);

// The value of the parameter named exactly `name` (no prefix match), "" when
// none; for switches whose prefix reading would be harmful (/D deletes the
// file, so /DEBUG must not).
std::string ExactParam(std::string_view name);

}  // namespace viewer
