#pragma once
// The rich edit control's layout: the document's paragraphs and table rows
// set with Pango, in twips, for a line width.
//
// The layout does not depend on the device: fonts are measured unhinted at
// a resolution of one unit a twip, so the screen and every printer get the
// same lines, and a device only scales the drawing. Each paragraph is one
// Pango layout (a paragraph longer than kPieceChars is set in pieces that
// end at a blank); a table row is one unit that is never split, its cells
// side by side at their \cellx boundaries (narrowed to the line width when
// they reach beyond it), each cell's paragraphs and inner tables laid out
// inside it, its shading and borders drawn (table_layout.cpp). Laying out starts at the block (the
// paragraph or row) that holds the first character and goes on only as far
// as the area needs, so filling a page costs the page, not the document;
// the blocks laid out last are kept for the next call.

#include <cairo.h>

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "platform/richedit/document.h"
#include "platform/richedit/picture.h"

namespace win::rich {

inline constexpr int32_t kPieceChars = 16384;

// A line of the layout (a table row counts as one), twips from the top of
// the first laid-out line.
struct PlacedLine {
  int32_t start = 0, end = 0;  // characters; end includes its paragraph's end mark on the last line
  int32_t top = 0, height = 0;
};

struct FillRequest {
  int32_t first = 0;
  int32_t last = -1;       // -1: to the end; else no line that starts at or after it
  int32_t width = 0;       // the line width
  int32_t height = -1;     // twips available; -1: no limit
  bool page = true;        // a page: whole lines only, a page break ends it
  bool takeOversized = false;  // a page that takes nothing else takes a line taller than itself
  int32_t scroll = 0;      // (screen) twips of the layout above the area; lines there are not drawn
};

struct FillResult {
  int32_t next = 0;    // the first character not placed
  int32_t bottom = 0;  // the bottom of the last placed line
  std::vector<PlacedLine> lines;
};

class Layout {
 public:
  explicit Layout(const Document* doc);
  ~Layout();
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  // The document changed: everything laid out is dropped.
  void Invalidate();
  // Drops the kept blocks (the document stays indexed).
  void Release();

  // Places lines from `first` into a column; draws them when `cr` is not
  // null, with cr's user space in twips and its origin at the column's
  // top-left corner (the caller scales to the device). Marks that are
  // embedded objects take no room and are not drawn; pictures are drawn at
  // their size; characters the device refuses leave cr in an error state.
  FillResult Fill(const FillRequest& request, cairo_t* cr);

  // The character nearest to x (twips from the column's left) on a line
  // that Fill placed with this width.
  int32_t CharAtX(const PlacedLine& line, int32_t width, int32_t x);

  // Paragraphs (and cell paragraphs) set by Pango so far: what filling cost.
  size_t ParagraphsSet() const { return set_; }
  // Pictures decoded so far for drawing.
  size_t PicturesDecoded() const { return pictures_.Decoded(); }

 private:
  struct Block;
  struct Para;
  struct Laid;
  void Index();
  size_t BlockAt(int32_t cp) const;
  Laid& Get(size_t block, int32_t width);
  std::unique_ptr<Para> SetParagraph(int32_t start, int32_t end, int32_t width, bool continues, bool continued);
  void DrawPara(cairo_t* cr, const Para& p, size_t line, double x, double y);
  void DrawFrame(cairo_t* cr, const Para& p, size_t line, double y);
  void DrawRuns(cairo_t* cr, const Para& p, size_t line, double x, double y);
  // Table rows (table_layout.cpp). `below` is the row that follows, for
  // cells merged with the row below.
  int32_t LayRow(Laid& laid, int32_t start, int32_t end, int depth, int32_t originX, int32_t width, int32_t top,
                 const RowFormat* below);
  int32_t LayCell(Laid& laid, int32_t start, int32_t end, int depth, int32_t x, int32_t width, int32_t top, int cell);
  void DrawRow(cairo_t* cr, const Laid& laid, double top);

  const Document* doc_;
  std::vector<Block> blocks_;
  bool indexed_ = false;
  int32_t width_ = -1;
  size_t set_ = 0;
  std::list<std::pair<size_t, std::unique_ptr<Laid>>> kept_;  // most recent first
  PictureCache pictures_;
};

}  // namespace win::rich
