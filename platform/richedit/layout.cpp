#include "platform/richedit/layout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <string>

#include "platform/richedit/picture.h"
#include "platform/windows/text.h"

namespace win::rich {

namespace {

constexpr int kKept = 16;              // blocks kept between calls
constexpr int32_t kPieceSearch = 1024;  // how far back a piece looks for a blank
constexpr double kBorder = 10;          // twips: a half-point cell border

// One context for every layout: unhinted metrics at a twip a unit.
PangoContext* Context() {
  static PangoContext* context = [] {
    PangoFontMap* map = pango_cairo_font_map_new();
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 1440);
    PangoContext* c = pango_font_map_create_context(map);
    g_object_unref(map);  // the context holds it
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(c, FALSE);
    return c;
  }();
  return context;
}

int32_t FromPango(int v) { return static_cast<int32_t>((static_cast<int64_t>(v) + PANGO_SCALE / 2) / PANGO_SCALE); }
int ToPango(int64_t twips) { return static_cast<int>(std::clamp<int64_t>(twips, -2000000, 2000000) * PANGO_SCALE); }

bool EndsParagraph(char32_t c) { return c == kParagraphEnd || c == kCellEnd || c == kPageBreak; }

PangoFontDescription* Describe(const CharFormat& f) {
  PangoFontDescription* d = pango_font_description_from_string("");
  pango_font_description_set_family(d, FaceName(f.face).c_str());
  int size = f.size * 10;  // twips
  if (f.smaller) size = size * 2 / 3;
  pango_font_description_set_absolute_size(d, std::max(size, 1) * PANGO_SCALE);
  pango_font_description_set_weight(d, (f.effects & kBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, (f.effects & kItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return d;
}

void SetColor(cairo_t* cr, uint32_t color) {
  if (color == kAutoColor) color = 0;
  cairo_set_source_rgb(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0);
}

}  // namespace

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
  std::vector<int32_t> offsets;                // byte offset of each character, and of the end
  std::string raw;                             // the characters as they are, for the device's text
  struct Line {
    int32_t start, end, top, height, baseline, x;
  };
  std::vector<Line> lines;  // tops from the paragraph's top, after the space before
  int32_t before = 0, after = 0, height = 0;

  int32_t CharOfByte(int byte) const {
    auto it = std::upper_bound(offsets.begin(), offsets.end(), byte);
    return start + static_cast<int32_t>(it - offsets.begin()) - 1;
  }
};

struct Layout::Laid {
  // A paragraph block: one Para. A row: one Para per cell paragraph, placed
  // by its own x and y.
  std::vector<std::unique_ptr<Para>> paras;
  std::vector<int32_t> paraTops;  // rows: each paragraph's top within the row
  struct CellBox {
    int32_t left, right;
    uint8_t borders;
  };
  std::vector<CellBox> cells;  // rows
  int32_t height = 0;
};

Layout::Layout(const Document* doc) : doc_(doc) {}
Layout::~Layout() = default;

void Layout::Invalidate() {
  indexed_ = false;
  blocks_.clear();
  Release();
}

void Layout::Release() { kept_.clear(); }

// Splits the document into blocks: paragraphs (long ones into pieces) and
// table rows. A row runs to the end mark that carries the row's cells; its
// cell paragraphs are the ones marked as in a table and the cell ends.
void Layout::Index() {
  blocks_.clear();
  const Chars& t = doc_->chars;
  int32_t n = doc_->Length();
  int32_t pos = 0;
  while (pos < n) {
    // The end of the paragraph from pos.
    int32_t e = pos;
    while (e < n && !EndsParagraph(t[static_cast<size_t>(e)])) ++e;
    char32_t mark = e < n ? t[static_cast<size_t>(e)] : 0;
    const ParaFormat& pf = doc_->ParaAt(e < n ? e : n - 1);
    bool inRow = e < n && (mark == kCellEnd || (mark == kParagraphEnd && (pf.inTable || pf.row)));
    if (inRow) {
      // Runs to the row's end mark, or to the first paragraph that is not
      // in the table.
      int32_t r = e;
      while (r < n) {
        char32_t c = t[static_cast<size_t>(r)];
        if (c == kParagraphEnd) {
          const ParaFormat& f = doc_->ParaAt(r);
          if (f.row || !f.inTable) break;
        }
        ++r;
      }
      int32_t end = std::min(r + 1, n);
      blocks_.push_back({pos, end, true, false, false});
      pos = end;
      continue;
    }
    int32_t end = e < n ? e + 1 : n;
    // Pieces of a long paragraph end after a blank where there is one.
    bool continues = false;
    while (end - pos > kPieceChars) {
      int32_t cut = pos + kPieceChars;
      for (int32_t k = cut; k > cut - kPieceSearch; --k) {
        char32_t c = t[static_cast<size_t>(k - 1)];
        if (c == U' ' || c == U'\t') {
          cut = k;
          break;
        }
      }
      blocks_.push_back({pos, cut, false, continues, true});
      continues = true;
      pos = cut;
    }
    blocks_.push_back({pos, end, false, continues, false});
    pos = end;
  }
  indexed_ = true;
}

size_t Layout::BlockAt(int32_t cp) const {
  auto it = std::upper_bound(blocks_.begin(), blocks_.end(), cp, [](int32_t v, const Block& b) { return v < b.end; });
  return static_cast<size_t>(it - blocks_.begin());
}

std::unique_ptr<Layout::Para> Layout::SetParagraph(int32_t start, int32_t end, int32_t width, bool continues,
                                                   bool continued) {
  ++set_;
  auto p = std::make_unique<Para>();
  const Chars& t = doc_->chars;
  p->start = start;
  p->end = end;
  int32_t contentEnd = end;
  if (end > start && EndsParagraph(t[static_cast<size_t>(end - 1)])) --contentEnd;
  p->contentEnd = contentEnd;
  const ParaFormat& pf = doc_->ParaAt(end > start ? end - 1 : start);

  // The text for Pango and the same text as the device gets it: they differ
  // only where a lone surrogate stands (U+FFFD for Pango), in as many bytes.
  std::string text;
  p->offsets.reserve(static_cast<size_t>(contentEnd - start) + 1);
  for (int32_t i = start; i < contentEnd; ++i) {
    p->offsets.push_back(static_cast<int32_t>(text.size()));
    char32_t c = t[static_cast<size_t>(i)];
    if (c == kLineBreak) c = U'\u2028';
    else if (c == kPageBreak || c == kCellEnd || c == kParagraphEnd || (c < 0x20 && c != U'\t') || c == 0x7F) c = U' ';
    AppendUtf8(text, c >= 0xD800 && c < 0xE000 ? U'\uFFFD' : c);
    AppendUtf8(p->raw, c);
  }
  p->offsets.push_back(static_cast<int32_t>(text.size()));

  PangoLayout* layout = pango_layout_new(Context());
  p->layout = layout;
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  PangoFontDescription* markFont = Describe(doc_->CharAt(end > start ? end - 1 : start));
  pango_layout_set_font_description(layout, markFont);
  pango_font_description_free(markFont);

  PangoAttrList* attrs = pango_attr_list_new();
  size_t run = doc_->CharRunAt(start);
  for (int32_t i = start; i < contentEnd;) {
    int32_t runEnd = contentEnd;
    if (run + 1 < doc_->charRuns.size()) runEnd = std::min(runEnd, doc_->charRuns[run + 1].start);
    const CharFormat& f = doc_->CharAt(i);
    auto from = static_cast<guint>(p->offsets[static_cast<size_t>(i - start)]);
    auto to = static_cast<guint>(p->offsets[static_cast<size_t>(runEnd - start)]);
    PangoFontDescription* d = Describe(f);
    PangoAttribute* a = pango_attr_font_desc_new(d);
    pango_font_description_free(d);
    a->start_index = from;
    a->end_index = to;
    pango_attr_list_insert(attrs, a);
    if (f.rise) {
      a = pango_attr_rise_new(f.rise * 10 * PANGO_SCALE);
      a->start_index = from;
      a->end_index = to;
      pango_attr_list_insert(attrs, a);
    }
    i = runEnd;
    ++run;
  }
  // Marks take the room of their picture (objects none).
  for (size_t m = doc_->MarksBefore(start); m < doc_->marks.size() && doc_->marks[m].cp < contentEnd; ++m) {
    const Mark& mark = doc_->marks[m];
    int w = mark.picture ? ToPango(mark.picture->width) : 0;
    int h = mark.picture ? ToPango(mark.picture->height) : 0;
    PangoRectangle rect{0, -h, w, h};
    PangoAttribute* a = pango_attr_shape_new(&rect, &rect);
    a->start_index = static_cast<guint>(p->offsets[static_cast<size_t>(mark.cp - start)]);
    a->end_index = static_cast<guint>(p->offsets[static_cast<size_t>(mark.cp - start + 1)]);
    pango_attr_list_insert(attrs, a);
  }
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);

  // Indents: the origin is where the leftmost line starts; Pango's indent
  // (negative: hanging) sets the first line against the others.
  int32_t first = continues ? 0 : pf.first;
  p->x = pf.left + std::min(first, 0);
  int32_t w = std::max<int32_t>(width - p->x - pf.right, 1);
  pango_layout_set_width(layout, ToPango(w));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_indent(layout, ToPango(first));
  switch (pf.align) {
    case Align::kCenter: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
    case Align::kRight: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
    case Align::kJustify: pango_layout_set_justify(layout, TRUE); break;
    case Align::kLeft: break;
  }
  // Tab stops from the margin, then the default ones every 720 twips; the
  // hanging indent is a stop of its own.
  std::vector<TabStop> stops = pf.tabs;
  if (first < 0) stops.push_back({pf.left, TabKind::kLeft});
  std::sort(stops.begin(), stops.end(), [](const TabStop& a, const TabStop& b) { return a.pos < b.pos; });
  int32_t lastStop = stops.empty() ? 0 : stops.back().pos;
  for (int32_t d = (lastStop / kDefaultTab + 1) * kDefaultTab; d <= width + kDefaultTab && stops.size() < 256;
       d += kDefaultTab)
    stops.push_back({d, TabKind::kLeft});
  PangoTabArray* tabs = pango_tab_array_new(0, FALSE);
  int count = 0;
  int32_t previous = 0;
  for (const TabStop& s : stops) {
    int32_t pos = s.pos - p->x;
    if (pos <= previous) continue;
    previous = pos;
    PangoTabAlign align = s.kind == TabKind::kCenter ? PANGO_TAB_CENTER : s.kind == TabKind::kRight ? PANGO_TAB_RIGHT
                          : s.kind == TabKind::kDecimal ? PANGO_TAB_DECIMAL : PANGO_TAB_LEFT;
    pango_tab_array_resize(tabs, count + 1);
    pango_tab_array_set_tab(tabs, count++, align, ToPango(pos));
  }
  if (count > 0) pango_layout_set_tabs(layout, tabs);
  pango_tab_array_free(tabs);

  // Lines, with the paragraph's line spacing.
  p->before = continues ? 0 : pf.before;
  p->after = continued ? 0 : pf.after;
  int32_t top = 0;
  PangoLayoutIter* it = pango_layout_get_iter(layout);
  do {
    PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(it, nullptr, &logical);
    int32_t natural = FromPango(logical.height);
    // Pango keeps positions in int; a paragraph more than about 2 million
    // twips tall wraps them round. The difference is taken wide and the
    // ascent kept within the line, so such a line is misplaced, never UB.
    int64_t rawAscent = int64_t{pango_layout_iter_get_baseline(it)} - logical.y;
    int32_t ascent = std::clamp<int32_t>(FromPango(static_cast<int>(std::clamp<int64_t>(rawAscent, 0, std::max(0, logical.height)))), 0, natural);
    int32_t h = natural;
    if (pf.lineMultiple && pf.line > 0) h = static_cast<int32_t>(int64_t{natural} * pf.line / 240);
    else if (pf.line > 0) h = std::max(natural, pf.line);
    else if (pf.line < 0) h = -pf.line;
    int32_t lineStart = p->CharOfByte(line->start_index);
    int32_t lineEnd = p->CharOfByte(line->start_index + line->length);
    p->lines.push_back({lineStart, lineEnd, top, h, top + h - (natural - ascent), FromPango(logical.x)});
    top += h;
  } while (pango_layout_iter_next_line(it));
  pango_layout_iter_free(it);
  // A paragraph of only a page break takes no room.
  if (contentEnd == start && end > start && t[static_cast<size_t>(end - 1)] == kPageBreak) {
    p->lines.clear();
    top = 0;
    p->before = p->after = 0;
  }
  if (!p->lines.empty()) {
    p->lines.front().start = start;
    p->lines.back().end = end;
  }
  p->height = p->before + top + p->after;
  return p;
}

Layout::Laid& Layout::Get(size_t index, int32_t width) {
  if (width != width_) {
    Release();
    width_ = width;
  }
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->first == index) {
      kept_.splice(kept_.begin(), kept_, it);
      return *kept_.front().second;
    }
  }
  const Block& b = blocks_[index];
  auto laid = std::make_unique<Laid>();
  if (!b.row) {
    auto p = SetParagraph(b.start, b.end, width, b.continues, b.continued);
    laid->height = p->height;
    laid->paras.push_back(std::move(p));
  } else {
    // Cells end at U+0007; what follows the last one up to the row's end
    // mark is a cell of its own when it holds anything.
    const Chars& t = doc_->chars;
    std::vector<std::pair<int32_t, int32_t>> cells;
    int32_t cellStart = b.start;
    for (int32_t i = b.start; i < b.end; ++i) {
      char32_t c = t[static_cast<size_t>(i)];
      bool rowEnd = i == b.end - 1 && c == kParagraphEnd;
      if (c == kCellEnd || rowEnd) {
        if (c == kCellEnd || i > cellStart) cells.push_back({cellStart, i + 1});
        cellStart = i + 1;
      }
    }
    if (cellStart < b.end) cells.push_back({cellStart, b.end});
    if (cells.empty()) cells.push_back({b.start, b.end});
    std::shared_ptr<const RowFormat> row = doc_->ParaAt(b.end - 1).row;
    RowFormat def = row ? *row : RowFormat{};
    // Cells beyond the defined ones share what is left of the line.
    int32_t left = def.cells.empty() ? def.left : def.cells.back().right;
    size_t missing = cells.size() > def.cells.size() ? cells.size() - def.cells.size() : 0;
    int32_t share = missing ? std::max<int32_t>((width - left) / static_cast<int32_t>(missing), 720) : 0;
    for (size_t k = 0; k < missing; ++k) def.cells.push_back({left += share, 0});
    int32_t x = def.left;
    for (size_t k = 0; k < cells.size(); ++k) {
      int32_t right = std::max(def.cells[k].right, x + 1);
      laid->cells.push_back({x, right, def.cells[k].borders});
      int32_t inner = std::max<int32_t>(right - x - 2 * def.gap, 1);
      int32_t y = 0;
      // The cell's paragraphs end at its paragraph marks.
      int32_t s = cells[k].first;
      for (int32_t i = s; i < cells[k].second; ++i) {
        char32_t c = t[static_cast<size_t>(i)];
        if (c == kParagraphEnd || c == kCellEnd || i == cells[k].second - 1) {
          auto p = SetParagraph(s, i + 1, inner, false, false);
          p->x += x + def.gap;
          laid->paraTops.push_back(y);
          y += p->height;
          laid->paras.push_back(std::move(p));
          s = i + 1;
        }
      }
      laid->height = std::max(laid->height, y);
      x = right;
    }
  }
  kept_.emplace_front(index, std::move(laid));
  if (kept_.size() > kKept) kept_.pop_back();
  return *kept_.front().second;
}

void Layout::DrawPara(cairo_t* cr, const Para& p, size_t index, double x, double y) {
  PangoLayoutLine* line = pango_layout_get_line_readonly(p.layout, static_cast<int>(index));
  if (!line) return;
  const Para::Line& l = p.lines[index];
  double baseline = y + l.baseline;
  double runX = x + p.x + l.x;
  for (GSList* r = line->runs; r; r = r->next) {
    auto* run = static_cast<PangoGlyphItem*>(r->data);
    double width = pango_glyph_string_get_width(run->glyphs) / static_cast<double>(PANGO_SCALE);
    int32_t cp = p.CharOfByte(run->item->offset);
    const CharFormat& f = doc_->CharAt(cp);
    double rise = f.rise * 10.0;
    size_t m = doc_->MarksBefore(cp);
    if (m < doc_->marks.size() && doc_->marks[m].cp == cp) {
      if (const auto& pic = doc_->marks[m].picture)
        DrawPicture(cr, *pic, runX, baseline - rise - pic->height, pic->width, pic->height);
      runX += width;
      continue;
    }
    SetColor(cr, f.color);
    cairo_move_to(cr, runX, baseline - rise);
    pango_cairo_show_glyph_item(cr, p.raw.c_str(), run);
    if (f.effects & (kUnderline | kStrike)) {
      PangoFontMetrics* metrics = pango_font_get_metrics(run->item->analysis.font, nullptr);
      auto line = [&](int position, int thickness) {
        double t = std::max(thickness / static_cast<double>(PANGO_SCALE), 5.0);
        cairo_rectangle(cr, runX, baseline - rise - position / static_cast<double>(PANGO_SCALE), width, t);
        cairo_fill(cr);
      };
      if (f.effects & kUnderline)
        line(pango_font_metrics_get_underline_position(metrics), pango_font_metrics_get_underline_thickness(metrics));
      if (f.effects & kStrike)
        line(pango_font_metrics_get_strikethrough_position(metrics),
             pango_font_metrics_get_strikethrough_thickness(metrics));
      pango_font_metrics_unref(metrics);
    }
    runX += width;
  }
}

FillResult Layout::Fill(const FillRequest& req, cairo_t* cr) {
  if (!indexed_) Index();
  FillResult out;
  int32_t n = doc_->Length();
  int32_t first = std::clamp(req.first, 0, n);
  int32_t last = req.last < 0 || req.last > n ? n : req.last;
  out.next = first;
  int32_t y = 0;
  bool placed = false;
  bool limit = req.height >= 0;
  int32_t visibleEnd = req.scroll + req.height;
  auto fits = [&](int32_t bottom) { return !limit || !req.page || bottom <= req.height || (!placed && req.takeOversized); };
  bool stop = false;
  for (size_t bi = BlockAt(first); bi < blocks_.size() && !stop && out.next < last; ++bi) {
    const Block& b = blocks_[bi];
    Laid& laid = Get(bi, req.width);
    if (b.row) {
      if (!fits(y + laid.height)) break;
      bool visible = !limit || req.page || (y + laid.height > req.scroll && y < visibleEnd);
      if (cr && visible) {
        double top = y - (req.page ? 0 : req.scroll);
        for (size_t k = 0; k < laid.paras.size(); ++k) {
          const Para& p = *laid.paras[k];
          for (size_t li = 0; li < p.lines.size(); ++li) DrawPara(cr, p, li, 0, top + laid.paraTops[k] + p.before);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (const auto& c : laid.cells) {
          double l = c.left, r = c.right, t = top, bo = top + laid.height;
          if (c.borders & kBorderTop) cairo_rectangle(cr, l, t, r - l, kBorder);
          if (c.borders & kBorderBottom) cairo_rectangle(cr, l, bo - kBorder, r - l, kBorder);
          if (c.borders & kBorderLeft) cairo_rectangle(cr, l, t, kBorder, bo - t);
          if (c.borders & kBorderRight) cairo_rectangle(cr, r - kBorder, t, kBorder, bo - t);
        }
        cairo_fill(cr);
      }
      out.lines.push_back({b.start, b.end, y, laid.height});
      y += laid.height;
      out.bottom = y;
      out.next = b.end;
      placed = true;
    } else {
      const Para& p = *laid.paras.front();
      if (p.lines.empty()) {  // a page break alone
        out.next = b.end;
        if (req.page) stop = true;
        first = b.end;
        continue;
      }
      size_t li = 0;
      while (li + 1 < p.lines.size() && p.lines[li].end <= first) ++li;
      bool atStart = li == 0;
      if (atStart) y += p.before;
      int32_t base = y - p.lines[li].top;  // the paragraph's lines measure from here
      for (; li < p.lines.size(); ++li) {
        const auto& l = p.lines[li];
        if (l.start >= last && placed) {
          stop = true;
          break;
        }
        int32_t top = base + l.top;
        if (!fits(top + l.height)) {
          stop = true;
          break;
        }
        bool visible = !limit || req.page || (top + l.height > req.scroll && top < visibleEnd);
        if (cr && visible) DrawPara(cr, p, li, 0, base - (req.page ? 0 : req.scroll));
        out.lines.push_back({l.start, l.end, top, l.height});
        out.bottom = top + l.height;
        out.next = l.end;
        placed = true;
        if (limit && !req.page && top + l.height >= visibleEnd) {
          stop = true;
          break;
        }
      }
      if (stop) break;
      out.next = b.end;
      y = base + p.lines.back().top + p.lines.back().height + p.after;
      if (req.page && b.end > b.start && doc_->chars[static_cast<size_t>(b.end - 1)] == kPageBreak) stop = true;
    }
    first = b.end;
    if (limit && !req.page && y >= visibleEnd) stop = true;
  }
  return out;
}

int32_t Layout::CharAtX(const PlacedLine& line, int32_t width, int32_t x) {
  if (!indexed_) Index();
  size_t bi = BlockAt(line.start);
  if (bi >= blocks_.size()) return doc_->Length();
  const Block& b = blocks_[bi];
  if (b.row) return b.start;
  const Para& p = *Get(bi, width).paras.front();
  for (size_t li = 0; li < p.lines.size(); ++li) {
    const auto& l = p.lines[li];
    if (l.start != line.start) continue;
    PangoLayoutLine* pl = pango_layout_get_line_readonly(p.layout, static_cast<int>(li));
    int index = 0, trailing = 0;
    pango_layout_line_x_to_index(pl, ToPango(x - p.x - l.x), &index, &trailing);
    int32_t cp = p.CharOfByte(index) + (trailing > 0 ? 1 : 0);
    // The caret stays before the line's break.
    int32_t lastPos = l.end;
    if (lastPos > l.start && lastPos <= doc_->Length()) {
      char32_t c = doc_->chars[static_cast<size_t>(lastPos - 1)];
      if (EndsParagraph(c) || c == kLineBreak) --lastPos;
    }
    return std::clamp(cp, l.start, lastPos);
  }
  return line.start;
}

}  // namespace win::rich
