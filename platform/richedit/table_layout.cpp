// Table rows: cells side by side at their \cellx boundaries, each cell's
// paragraphs and inner tables laid out inside it, shaded, aligned and
// bordered as the row's format says.
#include <pango/pangocairo.h>

#include <algorithm>

#include "platform/richedit/layout.h"
#include "platform/richedit/layout_parts.h"

namespace win::rich {

namespace {

// The cell of `row` whose right edge is `right` (within a border's width),
// else null.
const Cell* CellEndingAt(const RowFormat* row, int32_t right) {
  if (!row) return nullptr;
  for (const Cell& c : row->cells)
    if (std::abs(c.right - right) <= 20) return &c;
  return nullptr;
}

}  // namespace

// Lays out the row [start, end) of a table at `depth`, its cell positions
// counted from originX, within `width`; returns its height.
int32_t Layout::LayRow(Laid& laid, int32_t start, int32_t end, int depth, int32_t originX, int32_t width, int32_t top,
                       const RowFormat* below) {
  const Chars& t = doc_->chars;
  // Cells end at U+0007 of this depth; what follows the last one up to the
  // row's end mark is a cell of its own when it holds anything.
  std::vector<std::pair<int32_t, int32_t>> cells;
  int32_t cellStart = start;
  for (int32_t i = start; i < end; ++i) {
    char32_t c = t[static_cast<size_t>(i)];
    bool rowEnd = i == end - 1 && c == kParagraphEnd;
    bool ownCell = c == kCellEnd && doc_->ParaAt(i).Depth() <= depth;
    if (ownCell || rowEnd) {
      if (ownCell || i > cellStart) cells.push_back({cellStart, i + 1});
      cellStart = i + 1;
    }
  }
  if (cellStart < end) cells.push_back({cellStart, end});
  if (cells.empty()) cells.push_back({start, end});
  const ParaFormat& endFormat = doc_->ParaAt(end - 1);
  std::shared_ptr<const RowFormat> row = endFormat.row && endFormat.Depth() == depth ? endFormat.row : nullptr;
  RowFormat def = row ? *row : RowFormat{};
  // Cells beyond the defined ones share what is left of the line.
  int32_t left = def.cells.empty() ? def.left : def.cells.back().right;
  size_t missing = cells.size() > def.cells.size() ? cells.size() - def.cells.size() : 0;
  int32_t share = missing ? std::max<int32_t>((width - left) / static_cast<int32_t>(missing), 720) : 0;
  for (size_t k = 0; k < missing; ++k) {
    Cell c;
    c.right = left += share;
    def.cells.push_back(c);
  }
  // A row that starts far into the left margin is moved right, one wider
  // than the line narrowed to it, so that no cell falls off the page; its
  // text wraps in the narrower cells.
  if (def.left < -kIntoMargin) {
    int32_t shift = -kIntoMargin - def.left;
    def.left += shift;
    for (Cell& c : def.cells) c.right += shift;
  }
  int32_t widest = def.left;
  for (const Cell& c : def.cells) widest = std::max(widest, c.right);
  if (widest > width && widest > 0) {
    int32_t from = std::min(def.left, 0);
    auto scale = [&](int32_t v) { return from + static_cast<int32_t>(int64_t{v - from} * (width - from) / (widest - from)); };
    def.left = scale(def.left);
    for (Cell& c : def.cells) c.right = scale(c.right);
  }

  struct Placed {
    size_t box;
    size_t paraFrom, paraTo, boxFrom, boxTo;
    int32_t height;
    VAlign valign;
  };
  std::vector<Placed> placed;
  int32_t x = def.left;
  int32_t contentHeight = 0;
  for (size_t k = 0; k < cells.size(); ++k) {
    const Cell& cell = def.cells[k];
    // Cells merged into this one (to its right) widen it; their text joins it.
    size_t last = k;
    while (last + 1 < cells.size() && def.cells[last + 1].hmerge == Merge::kContinue) ++last;
    int32_t right = std::max(def.cells[last].right, x + 1);
    Laid::CellBox box{originX + x, originX + right, top, top, {}, cell.shading, def.height < 0};
    std::copy(cell.lines, cell.lines + 4, box.lines);
    box.lines[kRightSide] = def.cells[last].lines[kRightSide];
    // Cells merged with the row above or below are drawn as one: no line
    // between them.
    if (cell.vmerge == Merge::kContinue) box.lines[kTopSide].style = BorderStyle::kNone;
    if (const Cell* next = CellEndingAt(below, right);
        cell.vmerge != Merge::kNone && next && next->vmerge == Merge::kContinue)
      box.lines[kBottomSide].style = BorderStyle::kNone;
    size_t boxIndex = laid.cells.size();
    laid.cells.push_back(box);
    Placed pl{boxIndex, laid.paras.size(), 0, laid.cells.size(), 0, 0, cell.valign};
    int32_t inner = std::max<int32_t>(right - x - 2 * def.gap, 1);
    int32_t y = 0;
    for (size_t m = k; m <= last; ++m)
      y += LayCell(laid, cells[m].first, cells[m].second, depth, originX + x + def.gap, inner, top + y,
                   static_cast<int>(boxIndex));
    pl.paraTo = laid.paras.size();
    pl.boxTo = laid.cells.size();
    pl.height = y;
    placed.push_back(pl);
    contentHeight = std::max(contentHeight, y);
    x = right;
    k = last;
  }
  // \trrh: at least (positive) or exactly (negative) this high.
  int32_t height = def.height > 0 ? std::max(contentHeight, def.height) : def.height < 0 ? -def.height : contentHeight;
  for (const Placed& pl : placed) {
    laid.cells[pl.box].bottom = top + height;
    int32_t room = height - pl.height;
    int32_t shift = pl.valign == VAlign::kCenter ? room / 2 : pl.valign == VAlign::kBottom ? room : 0;
    if (shift <= 0) continue;
    for (size_t i = pl.paraFrom; i < pl.paraTo; ++i) laid.paraTops[i] += shift;
    for (size_t i = pl.boxFrom; i < pl.boxTo; ++i) {
      laid.cells[i].top += shift;
      laid.cells[i].bottom += shift;
    }
  }
  return height;
}

// Lays out the cell text [start, end) at `x`, `width` wide, from `top`;
// paragraphs deeper than `depth` are rows of an inner table. Returns the
// height it takes.
int32_t Layout::LayCell(Laid& laid, int32_t start, int32_t end, int depth, int32_t x, int32_t width, int32_t top,
                        int cell) {
  const Chars& t = doc_->chars;
  int32_t y = 0;
  int32_t s = start;
  while (s < end) {
    int32_t e = s;
    while (e < end - 1 && !EndsParagraph(t[static_cast<size_t>(e)])) ++e;
    if (depth < kMaxTableDepth && doc_->ParaAt(e).Depth() > depth) {
      // An inner row: to its end mark, or to the first paragraph that is
      // not as deep.
      int32_t r = e;
      while (r < end - 1) {
        char32_t c = t[static_cast<size_t>(r)];
        if (c == kParagraphEnd || c == kCellEnd) {
          const ParaFormat& f = doc_->ParaAt(r);
          if (f.Depth() <= depth) break;
          if (c == kParagraphEnd && f.row && f.Depth() == depth + 1) {
            ++r;
            break;
          }
        }
        ++r;
      }
      if (r == e) r = e + 1;
      y += LayRow(laid, s, r, depth + 1, x, width, top + y, nullptr);
      s = r;
      continue;
    }
    auto p = SetParagraph(s, e + 1, width, false, false);
    p->x += x;
    laid.paraTops.push_back(top + y);
    laid.paraCell.push_back(cell);
    y += p->height;
    laid.paras.push_back(std::move(p));
    s = e + 1;
  }
  return y;
}

void Layout::DrawRow(cairo_t* cr, const Laid& laid, double top) {
  for (const auto& c : laid.cells) {
    if (c.shading == kAutoColor) continue;
    SetColor(cr, c.shading);
    cairo_rectangle(cr, c.left, top + c.top, c.right - c.left, c.bottom - c.top);
    cairo_fill(cr);
  }
  for (size_t k = 0; k < laid.paras.size(); ++k) {
    const Para& p = *laid.paras[k];
    int cell = laid.paraCell[k];
    bool clip = cell >= 0 && laid.cells[static_cast<size_t>(cell)].clip;
    if (clip) {
      const auto& c = laid.cells[static_cast<size_t>(cell)];
      cairo_save(cr);
      cairo_rectangle(cr, c.left, top + c.top, c.right - c.left, c.bottom - c.top);
      cairo_clip(cr);
    }
    for (size_t li = 0; li < p.lines.size(); ++li) DrawPara(cr, p, li, 0, top + laid.paraTops[k] + p.before);
    if (clip) cairo_restore(cr);
  }
  for (const auto& c : laid.cells) {
    double l = c.left, r = c.right, t = top + c.top, b = top + c.bottom;
    DrawBorder(cr, c.lines[kTopSide], l, t, r, t, 0, 1);
    DrawBorder(cr, c.lines[kBottomSide], l, b, r, b, 0, -1);
    DrawBorder(cr, c.lines[kLeftSide], l, t, l, b, 1, 0);
    DrawBorder(cr, c.lines[kRightSide], r, t, r, b, -1, 0);
  }
}

}  // namespace win::rich
