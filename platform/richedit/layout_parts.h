#pragma once
// The parts of a layout that the paragraph layout (layout.cpp) and the
// table layout (table_layout.cpp) share; nothing outside the layout uses
// them.

#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/richedit/layout.h"

namespace win::rich {

inline int32_t FromPango(int v) {
  return static_cast<int32_t>((static_cast<int64_t>(v) + PANGO_SCALE / 2) / PANGO_SCALE);
}
inline int ToPango(int64_t twips) { return static_cast<int>(std::clamp<int64_t>(twips, -2000000, 2000000) * PANGO_SCALE); }
inline bool EndsParagraph(char32_t c) { return c == kParagraphEnd || c == kCellEnd || c == kPageBreak; }
// How far an indent or a table row may reach into the left margin.
inline constexpr int32_t kIntoMargin = 1440;  // twips

// Sets the source colour; kAutoColor is black.
void SetColor(cairo_t* cr, uint32_t color);
// Draws a border line along the edge from (x0, y0) to (x1, y1), on the
// side of it that (inX, inY) points to.
void DrawBorder(cairo_t* cr, const BorderLine& line, double x0, double y0, double x1, double y1, double inX, double inY);

struct Layout::Block {
  int32_t start = 0, end = 0;
  bool row = false;
  bool continues = false;  // a piece that goes on from the previous block
  bool continued = false;  // the next block goes on from this piece
};

// One paragraph (or piece) set by Pango.
struct Layout::Para {
  ~Para() {
    if (layout) g_object_unref(layout);
  }
  PangoLayout* layout = nullptr;
  int32_t start = 0, contentEnd = 0, end = 0;  // characters; [contentEnd, end) is the end mark
  int32_t x = 0;                               // the layout's origin from the column's left
  int32_t boxWidth = 0;                        // the width its lines are set in, from x
  std::vector<int32_t> offsets;                // byte offset of each character, and of the end
  std::string raw;                             // the characters as the device gets them
  struct Line {
    int32_t start, end, top, height, baseline, x;
  };
  std::vector<Line> lines;  // tops from the paragraph's top, after the space before
  int32_t before = 0, after = 0, height = 0;
  // What is drawn around and behind the lines.
  uint32_t shading = kAutoColor;
  BorderLine borders[4];
  std::vector<TabStop> tabs;  // every stop, from x, for the leaders

  int32_t CharOfByte(int byte) const {
    auto it = std::upper_bound(offsets.begin(), offsets.end(), byte);
    return start + static_cast<int32_t>(it - offsets.begin()) - 1;
  }
  bool Framed() const {
    if (shading != kAutoColor) return true;
    for (const BorderLine& b : borders)
      if (b.style != BorderStyle::kNone) return true;
    return false;
  }
};

struct Layout::Laid {
  // A paragraph block: one Para. A row: one Para per cell paragraph (inner
  // tables' too), placed by its own x and its top in paraTops.
  std::vector<std::unique_ptr<Para>> paras;
  std::vector<int32_t> paraTops;  // rows: each paragraph's top within the row
  std::vector<int> paraCell;      // rows: the cell a paragraph is clipped to, -1 for none
  struct CellBox {
    int32_t left, right, top, bottom;
    BorderLine lines[4];  // by Side; kNone where nothing is drawn
    uint32_t shading;
    bool clip;  // the row's height is exact: what does not fit is cut off
  };
  std::vector<CellBox> cells;  // rows, outer cells before the inner ones they hold
  int32_t height = 0;
};

}  // namespace win::rich
