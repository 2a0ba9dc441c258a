#include "platform/richedit/layout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <string>

#include "platform/richedit/layout_parts.h"
#include "platform/richedit/picture.h"
#include "platform/windows/text.h"

namespace win::rich {

namespace {

constexpr int kKept = 16;              // blocks kept between calls
constexpr int32_t kPieceSearch = 1024;  // how far back a piece looks for a blank
constexpr int32_t kLeastLine = 720;

// Unhinted metrics at a twip a unit, one context for each paragraph
// direction.
PangoContext* MakeContext(PangoDirection dir) {
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
  pango_context_set_base_dir(c, dir);
  return c;
}

PangoContext* Context(bool rtl) {
  static PangoContext* ltr = MakeContext(PANGO_DIRECTION_LTR);
  static PangoContext* rtlContext = MakeContext(PANGO_DIRECTION_RTL);
  return rtl ? rtlContext : ltr;
}

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

// What the device gets for a character: a character no text can carry (half
// a surrogate pair, a noncharacter, beyond Unicode) prints as U+FFFD.
char32_t Printable(char32_t c) {
  if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE)
    return U'\uFFFD';
  return c;
}

// A character no installed font has would be drawn as a box of its hex
// digits, and those digits would be the printed text. It is drawn as the
// font's own empty-glyph box instead, which keeps the character itself as
// the text of the page. The layout's glyphs are its own to change.
void KeepUnknownCharacters(PangoLayout* layout) {
  PangoLayoutIter* it = pango_layout_get_iter(layout);
  do {
    auto* run = const_cast<PangoGlyphItem*>(pango_layout_iter_get_run_readonly(it));
    if (!run) continue;
    for (int i = 0; i < run->glyphs->num_glyphs; ++i)
      if (run->glyphs->glyphs[i].glyph & PANGO_GLYPH_UNKNOWN_FLAG) run->glyphs->glyphs[i].glyph = 0;
  } while (pango_layout_iter_next_run(it));
  pango_layout_iter_free(it);
}

void Insert(PangoAttrList* attrs, PangoAttribute* a, guint from, guint to) {
  a->start_index = from;
  a->end_index = to;
  pango_attr_list_insert(attrs, a);
}

// The leaders of the tabs in a run: a tab's room is filled up to the stop
// it reaches, as the stop asks.
void DrawLeaders(cairo_t* cr, const std::vector<TabStop>& tabs, const std::string& text, const PangoGlyphItem* run,
                 double runX, double originX, double baseline) {
  if (std::none_of(tabs.begin(), tabs.end(), [](const TabStop& t) { return t.leader != TabLeader::kNone; })) return;
  const PangoGlyphString* g = run->glyphs;
  double gx = runX;
  for (int i = 0; i < g->num_glyphs; ++i) {
    double gw = g->glyphs[i].geometry.width / static_cast<double>(PANGO_SCALE);
    size_t byte = static_cast<size_t>(run->item->offset + g->log_clusters[i]);
    if (byte < text.size() && text[byte] == '\t' && gw > 0) {
      double from = gx - originX, to = from + gw;
      // The stop the tab reaches: the first one past where it starts.
      auto stop = std::find_if(tabs.begin(), tabs.end(), [&](const TabStop& t) { return t.pos > from + 1; });
      if (stop != tabs.end() && stop->leader != TabLeader::kNone && to - from > 60) {
        double a = gx + 30, b = gx + gw - 30;
        cairo_save(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        auto line = [&](double y, double thick, double on, double off) {
          double dash[] = {on, off};
          if (on > 0) cairo_set_dash(cr, dash, 2, 0);
          cairo_set_line_width(cr, thick);
          cairo_move_to(cr, a, y);
          cairo_line_to(cr, b, y);
          cairo_stroke(cr);
        };
        switch (stop->leader) {
          case TabLeader::kDots: line(baseline - 10, 20, 20, 40); break;
          case TabLeader::kHyphens: line(baseline - 60, 12, 60, 40); break;
          case TabLeader::kUnderline: line(baseline + 20, 10, 0, 0); break;
          case TabLeader::kThick: line(baseline + 20, 24, 0, 0); break;
          case TabLeader::kEquals:
            line(baseline - 50, 10, 0, 0);
            line(baseline - 90, 10, 0, 0);
            break;
          case TabLeader::kNone: break;
        }
        cairo_restore(cr);
      }
    }
    gx += gw;
  }
}

// An underline of its kind under a run, `at` its top.
void DrawUnderline(cairo_t* cr, Underline kind, const std::string& text, const PangoGlyphItem* run, double runX,
                   double at, double width, double thick) {
  switch (kind) {
    case Underline::kDouble:
      cairo_rectangle(cr, runX, at, width, thick);
      cairo_rectangle(cr, runX, at + thick * 2, width, thick);
      break;
    case Underline::kThick: cairo_rectangle(cr, runX, at, width, thick * 2); break;
    case Underline::kDotted:
    case Underline::kDash: {
      double dash[] = {kind == Underline::kDotted ? thick : thick * 4, thick * 2};
      cairo_save(cr);
      cairo_set_dash(cr, dash, 2, 0);
      cairo_set_line_width(cr, thick);
      cairo_move_to(cr, runX, at + thick / 2);
      cairo_line_to(cr, runX + width, at + thick / 2);
      cairo_stroke(cr);
      cairo_restore(cr);
      return;
    }
    case Underline::kWave: {
      cairo_save(cr);
      cairo_set_line_width(cr, thick);
      double step = thick * 3;
      cairo_move_to(cr, runX, at + thick);
      for (double x = runX; x < runX + width; x += step)
        cairo_line_to(cr, std::min(x + step, runX + width), at + (static_cast<int>((x - runX) / step) % 2 ? thick : -thick * 0.5) + thick / 2);
      cairo_stroke(cr);
      cairo_restore(cr);
      return;
    }
    case Underline::kWords: {
      // Words only: the blanks between them stay open.
      const PangoGlyphString* g = run->glyphs;
      double gx = runX;
      for (int i = 0; i < g->num_glyphs; ++i) {
        double gw = g->glyphs[i].geometry.width / static_cast<double>(PANGO_SCALE);
        size_t byte = static_cast<size_t>(run->item->offset + g->log_clusters[i]);
        bool blank = byte < text.size() && (text[byte] == ' ' || text[byte] == '\t');
        if (!blank) cairo_rectangle(cr, gx, at, gw, thick);
        gx += gw;
      }
      break;
    }
    case Underline::kSingle: cairo_rectangle(cr, runX, at, width, thick); break;
  }
  cairo_fill(cr);
}

// The paragraph's text as Pango and the device get it, with the byte
// offset of each character (and of the end).
std::string ParagraphText(const Chars& t, int32_t start, int32_t end, std::vector<int32_t>* offsets) {
  std::string text;
  offsets->reserve(static_cast<size_t>(end - start) + 1);
  for (int32_t i = start; i < end; ++i) {
    offsets->push_back(static_cast<int32_t>(text.size()));
    char32_t c = t[static_cast<size_t>(i)];
    if (c == kLineBreak) c = U'\u2028';
    else if (c == kPageBreak || c == kCellEnd || c == kParagraphEnd || (c < 0x20 && c != U'\t') || c == 0x7F) c = U' ';
    AppendUtf8(text, Printable(c));
  }
  offsets->push_back(static_cast<int32_t>(text.size()));
  return text;
}

// A picture's size on a line `width` wide: a wider one is scaled down to
// the line. The room the layout gives it and its drawing both come from here.
void PictureOnLine(const Picture& pic, int32_t width, double* w, double* h) {
  *w = pic.width;
  *h = pic.height;
  if (*w > width && *w > 0) {
    *h = *h * width / *w;
    *w = width;
  }
}

// The character formats of [start, end) as Pango attributes; marks take the
// room of their picture (objects none) on the line `width` wide.
PangoAttrList* RunAttributes(const Document& doc, int32_t start, int32_t end, const std::vector<int32_t>& offsets,
                             int32_t width) {
  PangoAttrList* attrs = pango_attr_list_new();
  auto at = [&](int32_t cp) { return static_cast<guint>(offsets[static_cast<size_t>(cp - start)]); };
  size_t run = doc.CharRunAt(start);
  for (int32_t i = start; i < end;) {
    int32_t runEnd = end;
    if (run + 1 < doc.charRuns.size()) runEnd = std::min(runEnd, doc.charRuns[run + 1].start);
    const CharFormat& f = doc.CharAt(i);
    guint from = at(i), to = at(runEnd);
    PangoFontDescription* d = Describe(f);
    Insert(attrs, pango_attr_font_desc_new(d), from, to);
    pango_font_description_free(d);
    if (f.rise) Insert(attrs, pango_attr_rise_new(f.rise * 10 * PANGO_SCALE), from, to);
    if (f.spacing) Insert(attrs, pango_attr_letter_spacing_new(f.spacing * PANGO_SCALE), from, to);
    if (f.effects & kCaps) Insert(attrs, pango_attr_text_transform_new(PANGO_TEXT_TRANSFORM_UPPERCASE), from, to);
    else if (f.effects & kSmallCaps) Insert(attrs, pango_attr_variant_new(PANGO_VARIANT_SMALL_CAPS), from, to);
    i = runEnd;
    ++run;
  }
  for (size_t m = doc.MarksBefore(start); m < doc.marks.size() && doc.marks[m].cp < end; ++m) {
    const Mark& mark = doc.marks[m];
    double pw = 0, ph = 0;
    if (mark.picture) PictureOnLine(*mark.picture, width, &pw, &ph);
    // Whole twips, as Pango's room for it.
    const auto w = static_cast<int64_t>(pw), h = static_cast<int64_t>(ph);
    PangoRectangle rect{0, -ToPango(h), ToPango(w), ToPango(h)};
    Insert(attrs, pango_attr_shape_new(&rect, &rect), at(mark.cp), at(mark.cp + 1));
  }
  return attrs;
}

// Alignment is the page's left and right in either direction; only the
// last line of a justified right-to-left paragraph keeps to the right.
void SetAlignment(PangoLayout* layout, const ParaFormat& pf) {
  switch (pf.align) {
    case Align::kCenter: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
    case Align::kRight: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
    case Align::kJustify:
      pango_layout_set_justify(layout, TRUE);
      if (pf.rtl) pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
      break;
    case Align::kLeft: break;
  }
}

// Tab stops from the margin, then the default ones every 720 twips; the
// hanging indent is a stop of its own. Returns the stops as set, from the
// layout's origin `x`, with their leaders.
std::vector<TabStop> SetTabs(PangoLayout* layout, const ParaFormat& pf, int32_t first, int32_t x, int32_t width) {
  std::vector<TabStop> stops = pf.tabs;
  if (first < 0) stops.push_back({pf.left, TabKind::kLeft});
  std::sort(stops.begin(), stops.end(), [](const TabStop& a, const TabStop& b) { return a.pos < b.pos; });
  int32_t lastStop = stops.empty() ? 0 : stops.back().pos;
  for (int32_t d = (lastStop / kDefaultTab + 1) * kDefaultTab; d <= width + kDefaultTab && stops.size() < 256;
       d += kDefaultTab)
    stops.push_back({d, TabKind::kLeft});
  std::vector<TabStop> set;
  PangoTabArray* tabs = pango_tab_array_new(0, FALSE);
  int32_t previous = 0;
  for (const TabStop& s : stops) {
    int32_t pos = s.pos - x;
    if (pos <= previous) continue;
    previous = pos;
    PangoTabAlign align = s.kind == TabKind::kCenter ? PANGO_TAB_CENTER : s.kind == TabKind::kRight ? PANGO_TAB_RIGHT
                          : s.kind == TabKind::kDecimal ? PANGO_TAB_DECIMAL : PANGO_TAB_LEFT;
    int count = static_cast<int>(set.size());
    pango_tab_array_resize(tabs, count + 1);
    pango_tab_array_set_tab(tabs, count, align, ToPango(pos));
    set.push_back({pos, s.kind, s.leader});
  }
  if (!set.empty()) pango_layout_set_tabs(layout, tabs);
  pango_tab_array_free(tabs);
  return set;
}

}  // namespace

void SetColor(cairo_t* cr, uint32_t color) {
  if (color == kAutoColor) color = 0;
  cairo_set_source_rgb(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0);
}

void DrawBorder(cairo_t* cr, const BorderLine& line, double x0, double y0, double x1, double y1, double inX,
                double inY) {
  if (line.style == BorderStyle::kNone) return;
  double w = std::max<double>(line.width, 2);
  cairo_save(cr);
  SetColor(cr, line.color);
  auto stroke = [&](double offset, double width) {
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x0 + inX * offset, y0 + inY * offset);
    cairo_line_to(cr, x1 + inX * offset, y1 + inY * offset);
    cairo_stroke(cr);
  };
  switch (line.style) {
    case BorderStyle::kDouble:
      stroke(w / 2, w);
      stroke(w * 2.5, w);
      break;
    case BorderStyle::kDotted: {
      double dash[] = {w, w * 2};
      cairo_set_dash(cr, dash, 2, 0);
      stroke(w / 2, w);
      break;
    }
    case BorderStyle::kDashed: {
      double dash[] = {w * 6, w * 3};
      cairo_set_dash(cr, dash, 2, 0);
      stroke(w / 2, w);
      break;
    }
    default: stroke(w / 2, w); break;
  }
  cairo_restore(cr);
}

Layout::Layout(const Document* doc) : doc_(doc) {}
Layout::~Layout() = default;

void Layout::Invalidate() {
  indexed_ = false;
  blocks_.clear();
  pictures_.Clear();
  Release();
}

void Layout::Release() { kept_.clear(); }

// Splits the document into blocks: paragraphs (long ones into pieces) and
// table rows. A row runs to the end mark that carries the row's cells; its
// cell paragraphs are the ones marked as in a table and the cell ends. The
// rows of a table inside a cell belong to the outer row.
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
    bool inRow = e < n && (mark == kCellEnd || (mark == kParagraphEnd && (pf.Depth() > 0 || pf.row)));
    if (inRow) {
      // Runs to the outer row's end mark, or to the first paragraph that is
      // not in the table.
      int32_t r = e;
      while (r < n) {
        char32_t c = t[static_cast<size_t>(r)];
        if (c == kParagraphEnd) {
          const ParaFormat& f = doc_->ParaAt(r);
          if ((f.row && f.Depth() <= 1) || f.Depth() == 0) break;
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
  p->raw = ParagraphText(t, start, contentEnd, &p->offsets);

  // Indents: the origin is where the leftmost line starts; Pango's indent
  // (negative: hanging) sets the first line against the others.
  int32_t first = continues ? 0 : pf.first;
  p->x = pf.left + std::min(first, 0);
  // Indents that would put the text off the page are held to it: an inch
  // into the left margin at most, half an inch of line at least.
  p->x = std::clamp(p->x, -kIntoMargin, std::max(width - kLeastLine, -kIntoMargin));
  int32_t w = std::max<int32_t>(width - p->x - std::max(pf.right, -kIntoMargin), std::min(kLeastLine, width - p->x));
  w = std::max(w, 1);
  p->boxWidth = w;

  PangoLayout* layout = pango_layout_new(Context(pf.rtl));
  p->layout = layout;
  // The paragraph's own direction holds, whatever its first letter is.
  pango_layout_set_auto_dir(layout, FALSE);
  pango_layout_set_text(layout, p->raw.data(), static_cast<int>(p->raw.size()));
  PangoFontDescription* markFont = Describe(doc_->CharAt(end > start ? end - 1 : start));
  pango_layout_set_font_description(layout, markFont);
  pango_font_description_free(markFont);
  PangoAttrList* attrs = RunAttributes(*doc_, start, contentEnd, p->offsets, w);
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  pango_layout_set_width(layout, ToPango(w));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_indent(layout, ToPango(first));
  SetAlignment(layout, pf);
  p->tabs = SetTabs(layout, pf, first, p->x, width);
  KeepUnknownCharacters(layout);

  // Lines, with the paragraph's line spacing.
  p->before = continues ? 0 : pf.before;
  p->after = continued ? 0 : pf.after;
  p->shading = pf.shading;
  std::copy(pf.lines, pf.lines + 4, p->borders);
  // A paragraph's top border sits above its first line, the bottom one
  // below its last: they take room of their own.
  int32_t frameTop = continues ? 0 : pf.lines[kTopSide].style != BorderStyle::kNone ? pf.lines[kTopSide].width * 3 : 0;
  int32_t frameBottom =
      continued ? 0 : pf.lines[kBottomSide].style != BorderStyle::kNone ? pf.lines[kBottomSide].width * 3 : 0;
  int32_t top = frameTop;
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
  if (!p->lines.empty()) {
    p->lines.front().top -= frameTop;
    p->lines.front().height += frameTop;
    p->lines.back().height += frameBottom;
    top += frameBottom;
  }
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
    const RowFormat* below = nullptr;
    if (index + 1 < blocks_.size() && blocks_[index + 1].row) below = doc_->ParaAt(blocks_[index + 1].end - 1).row.get();
    laid->height = LayRow(*laid, b.start, b.end, 1, 0, width, 0, below);
  }
  kept_.emplace_front(index, std::move(laid));
  if (kept_.size() > kKept) kept_.pop_back();
  return *kept_.front().second;
}

void Layout::DrawPara(cairo_t* cr, const Para& p, size_t index, double x, double y) {
  if (index >= p.lines.size()) return;
  if (p.Framed()) DrawFrame(cr, p, index, y);
  DrawRuns(cr, p, index, x, y);
}

// A paragraph's shading and borders, line by line: a paragraph that a page
// break splits keeps its frame on both pages.
void Layout::DrawFrame(cairo_t* cr, const Para& p, size_t index, double y) {
  const Para::Line& l = p.lines[index];
  double left = p.x, right = p.x + p.boxWidth, top = y + l.top, bottom = top + l.height;
  if (p.shading != kAutoColor) {
    SetColor(cr, p.shading);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
  }
  if (index == 0) DrawBorder(cr, p.borders[kTopSide], left, top, right, top, 0, 1);
  if (index + 1 == p.lines.size()) DrawBorder(cr, p.borders[kBottomSide], left, bottom, right, bottom, 0, -1);
  DrawBorder(cr, p.borders[kLeftSide], left, top, left, bottom, 1, 0);
  DrawBorder(cr, p.borders[kRightSide], right, top, right, bottom, -1, 0);
}

void Layout::DrawRuns(cairo_t* cr, const Para& p, size_t index, double x, double y) {
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
      if (const auto& pic = doc_->marks[m].picture) {
        double pw = 0, ph = 0;
        PictureOnLine(*pic, p.boxWidth, &pw, &ph);
        DrawPicture(cr, *pic, runX, baseline - rise - ph, pw, ph, &pictures_);
      }
      runX += width;
      continue;
    }
    if (f.back != kAutoColor) {
      SetColor(cr, f.back);
      cairo_rectangle(cr, runX, y + l.top, width, l.height);
      cairo_fill(cr);
    }
    DrawLeaders(cr, p.tabs, p.raw, run, runX, x + p.x, baseline);
    SetColor(cr, f.color);
    cairo_move_to(cr, runX, baseline - rise);
    pango_cairo_show_glyph_item(cr, p.raw.c_str(), run);
    if (f.effects & (kUnderline | kStrike)) {
      PangoFontMetrics* metrics = pango_font_get_metrics(run->item->analysis.font, nullptr);
      double thick = std::max(pango_font_metrics_get_underline_thickness(metrics) / static_cast<double>(PANGO_SCALE), 5.0);
      if (f.effects & kUnderline) {
        double at = baseline - rise - pango_font_metrics_get_underline_position(metrics) / static_cast<double>(PANGO_SCALE);
        DrawUnderline(cr, f.underline, p.raw, run, runX, at, width, thick);
      }
      if (f.effects & kStrike) {
        double t = std::max(pango_font_metrics_get_strikethrough_thickness(metrics) / static_cast<double>(PANGO_SCALE), 5.0);
        cairo_rectangle(cr, runX, baseline - rise - pango_font_metrics_get_strikethrough_position(metrics) / static_cast<double>(PANGO_SCALE), width, t);
        cairo_fill(cr);
      }
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
      if (cr && visible) DrawRow(cr, laid, y - (req.page ? 0 : req.scroll));
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
