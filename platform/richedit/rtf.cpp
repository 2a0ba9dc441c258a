#include "platform/richedit/rtf.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

#include "platform/richedit/picture.h"
#include "platform/richedit/symbol_fonts.h"
#include "platform/windows/text.h"

namespace win::rtf {

namespace {

using rich::CharFormat;
using rich::Document;
using rich::ParaFormat;
using rich::Picture;

// Windows-1252 bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    u'\u20AC', u'\uFFFD', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\uFFFD', u'\u017D', u'\uFFFD',
    u'\uFFFD', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\uFFFD', u'\u017E', u'\u0178',
};

char32_t FromCp1252(uint8_t b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return b;
}

// Code pages other than 1252, through iconv; a byte sequence it cannot
// decode gives U+FFFD.
class CodePages {
 public:
  ~CodePages() {
    for (auto& [page, cd] : open_)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  // Decodes `bytes` (one or two); false when they are an incomplete lead.
  bool Decode(int page, const char* bytes, size_t n, char32_t* out) {
    iconv_t cd = Open(page);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      *out = FromCp1252(static_cast<uint8_t>(bytes[n - 1]));
      return true;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = n;
    char32_t result[2] = {};
    char* o = reinterpret_cast<char*>(result);
    size_t outLeft = sizeof result;
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    if (r == static_cast<size_t>(-1) && errno == EINVAL && n == 1) return false;
    *out = outLeft < sizeof result ? result[0] : U'\uFFFD';
    return true;
  }

 private:
  iconv_t Open(int page) {
    auto it = open_.find(page);
    if (it != open_.end()) return it->second;
    std::string name = page == 10000 ? "MACINTOSH" : page == 1361 ? "JOHAB" : "CP" + std::to_string(page);
    iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    open_[page] = cd;
    return cd;
  }
  std::map<int, iconv_t> open_;
};

bool IsDoubleByte(int page) { return page == 932 || page == 936 || page == 949 || page == 950 || page == 1361; }

// The code page of a font's \fcharset: 0 for the default charset (1),
// which takes the document's code page; -1 for the symbol charset (2),
// whose bytes are the font's own code points.
int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 2: return -1;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254:
    case 255: return 437;
    default: return 0;
  }
}

enum class Target { Main, Drop, ObjClass, ObjData, ObjResult, ObjBody, FontTable, ColorTable, Pict };

struct FontEntry {
  std::string name;
  std::string generic = "serif";
  int codePage = 0;  // 0: the document's
  rich::SymbolFont symbol = rich::SymbolFont::kNone;
};

// Shading as RTF gives it: a fill colour, a pattern colour and how much of
// the pattern covers the fill (hundredths of a percent).
struct Shade {
  int fill = -1, pattern = -1;  // colour table indexes; -1: none named
  long percent = 0;
};

struct State {
  CharFormat cf;
  std::shared_ptr<const ParaFormat> pf = rich::DefaultParaFormat();
  int font = -1;  // the \f number in effect
  int uc = 1;
  Target target = Target::Main;
  int object = -1;
  bool pictOwner = false;  // this group began the picture
  bool inUpr = false;
  Target outer = Target::Main;  // in \upr: where its Unicode part goes
  bool hidden = false;          // \v: the text is not shown
  bool nestProps = false;       // in \nesttableprops: row words describe the inner table
  Shade paraShade;
  Shade charShade;
};

const std::set<std::string_view>& SkippedDestinations() {
  static const std::set<std::string_view> words = {
      "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
      "footerf", "footnote", "fldinst", "listtable", "listoverridetable", "rsidtbl", "generator", "themedata",
      "colorschememapping", "latentstyles", "datastore", "filetbl", "revtbl", "xmlnstbl", "nonshppict",
      "shpinst", "bkmkstart", "bkmkend", "author", "operator", "title", "subject", "keywords", "comment",
      "doccomm", "company", "pgdsctbl", "objalias", "objsect", "objtime", "panose", "falt", "pnseclvl",
      "nonesttables", "blipuid", "picprop", "annotation", "atnid", "atnauthor", "txe", "xe", "tc",
  };
  return words;
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsAlpha(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Twips and counts read from the input stay within a page's reach.
int32_t Clamp(long v, long lo = -31680, long hi = 31680) { return static_cast<int32_t>(std::clamp(v, lo, hi)); }

// A control word's parameter.
struct Arg {
  bool has = false;
  long value = 0;
  bool starred = false;  // the word follows \*
  bool On() const { return !has || value != 0; }
  long Or(long fallback) const { return has ? value : fallback; }
};

class Reader;
using Action = void (*)(Reader&, State&, Arg);
using WordTable = std::unordered_map<std::string_view, Action>;
struct WordRow {
  std::string_view word;
  Action action;
};

WordTable MakeTable(std::initializer_list<WordRow> rows) {
  WordTable t;
  for (const WordRow& r : rows) t.emplace(r.word, r.action);
  return t;
}

class Reader {
 public:
  explicit Reader(const Bytes& in) : in_(in) {}

  Parsed Run() {
    stack_.push_back(State{});
    while (pos_ < in_.size()) {
      uint8_t c = in_[pos_++];
      if (c == '{') {
        stack_.push_back(stack_.back());
        stack_.back().pictOwner = false;
      } else if (c == '}') {
        // The document's own group is closed: what follows is not part of it.
        if (stack_.size() <= 2) break;
        Pop();
      } else if (c == '\\') {
        Control();
      } else if (c == '\r' || c == '\n') {
        // line structure of the file carries no meaning
      } else {
        Byte(c);
      }
    }
    while (stack_.size() > 1) Pop();
    FlushSurrogate();
    EndParagraph(out_.doc, mainParaStart_, Cur().pf);
    out_.doc.ShrinkToFit();
    return std::move(out_);
  }

 private:
  State& Cur() { return stack_.back(); }

  void Pop() {
    State closing = stack_.back();
    stack_.pop_back();
    if (closing.target == Target::FontTable && Cur().target != Target::FontTable) FontTableDone();
    if (closing.pictOwner) PictureDone();
  }

  // ---- characters

  void Byte(uint8_t b) {
    Target t = Cur().target;
    if (t == Target::ObjData || t == Target::Pict) return Hex(b);
    if (t == Target::ColorTable) {
      if (b == ';') {
        colors_.push_back(colorSet_ ? color_ : rich::kAutoColor);
        color_ = 0;
        colorSet_ = false;
      }
      return;
    }
    if (b < 0x80 && lead_ < 0) return Emit(b);
    CodeByte(b);
  }

  // A byte of the current code page (\'hh, or a byte above 0x7F in the text).
  void CodeByte(uint8_t b) {
    int page = CodePage();
    // A symbol font's bytes are its code points (Put maps them).
    if (page < 0) return Emit(b);
    if (page == 1252 || page == 0) return Emit(FromCp1252(b));
    char32_t c = 0;
    if (lead_ >= 0) {
      char pair[2] = {static_cast<char>(lead_), static_cast<char>(b)};
      lead_ = -1;
      codePages_.Decode(page, pair, 2, &c);
      return Emit(c);
    }
    char one = static_cast<char>(b);
    if (!codePages_.Decode(page, &one, 1, &c) && IsDoubleByte(page)) {
      lead_ = b;
      return;
    }
    Emit(c);
  }

  const FontEntry* CurrentFont() const {
    auto it = fonts_.find(stack_.back().font);
    return it == fonts_.end() ? nullptr : &it->second;
  }

  // The font's own character set decides; the document's code page holds
  // where the font names none.
  int CodePage() const {
    const FontEntry* f = CurrentFont();
    if (f && f->symbol != rich::SymbolFont::kNone) return -1;
    if (f && f->codePage) return f->codePage;
    return codePage_;
  }

  void Emit(char32_t ch) {
    lead_ = -1;
    if (skip_ > 0) {
      --skip_;
      return;
    }
    // A high surrogate waits for its low half; alone it stays as it is.
    if (ch >= 0xD800 && ch < 0xDC00) {
      FlushSurrogate();
      high_ = ch;
      return;
    }
    if (ch >= 0xDC00 && ch < 0xE000 && high_) {
      ch = 0x10000 + ((high_ - 0xD800) << 10) + (ch - 0xDC00);
      high_ = 0;
    }
    FlushSurrogate();
    Put(ch);
  }

  void FlushSurrogate() {
    if (!high_) return;
    char32_t h = high_;
    high_ = 0;
    Put(h);
  }

  static bool IsMark(char32_t ch) { return (ch < 0x20 && ch != U'\t') || ch == rich::kObjectMark; }

  void Put(char32_t ch) {
    State& s = Cur();
    bool text = s.target == Target::Main || s.target == Target::ObjResult;
    if (text) {
      // Hidden text is not part of what shows; the marks stay, so that the
      // document's paragraphs and cells keep their shape.
      if (s.hidden && !IsMark(ch)) return;
      if (const FontEntry* f = CurrentFont(); f && f->symbol != rich::SymbolFont::kNone && !IsMark(ch))
        ch = rich::SymbolToUnicode(f->symbol, ch);
    }
    switch (s.target) {
      case Target::Main:
        if (sectionPending_) SectionBreak();
        return Add(out_.doc, mainParaStart_, ch);
      case Target::ObjResult:
        return Add(out_.objects[static_cast<size_t>(s.object)].result, resultParaStart_, ch);
      case Target::ObjClass:
        if (ch < 0x80) out_.objects[static_cast<size_t>(s.object)].className.push_back(static_cast<char>(ch));
        return;
      case Target::FontTable:
        if (ch == ';') return FontDone();
        if (ch < 0x80 || fontName_.size() < 256) AppendUtf8(fontName_, ch);
        return;
      default: return;
    }
  }

  // A section ends (\sect): the break is decided by how the next section
  // starts, which its own words (\sbknone ...) say after the \sect. It
  // happens when that section's first character comes; a document's last
  // section break adds nothing.
  void SectionBreak() {
    sectionPending_ = false;
    Document& doc = out_.doc;
    if (sectionNewPage_) return Add(doc, mainParaStart_, rich::kPageBreak);
    char32_t last = doc.Length() ? doc.chars[static_cast<size_t>(doc.Length() - 1)] : rich::kParagraphEnd;
    if (last != rich::kParagraphEnd && last != rich::kPageBreak && last != rich::kCellEnd)
      Add(doc, mainParaStart_, rich::kParagraphEnd);
  }

  void Add(Document& doc, int32_t& paraStart, char32_t ch) {
    State& s = Cur();
    bool ends = ch == rich::kParagraphEnd || ch == rich::kCellEnd || ch == rich::kPageBreak;
    if (ends) EndParagraph(doc, paraStart, s.pf);
    doc.Add(ch, s.cf, s.pf);
    if (ends) paraStart = doc.Length();
  }

  // A paragraph's format is the one in effect at its end.
  static void EndParagraph(Document& doc, int32_t paraStart, const std::shared_ptr<const ParaFormat>& pf) {
    if (paraStart < doc.Length()) doc.SetParaFrom(paraStart, pf);
  }

  void Hex(uint8_t c) {
    int v = HexValue(c);
    if (v < 0) return;
    if (half_ < 0) {
      half_ = v;
      return;
    }
    auto byte = static_cast<uint8_t>(half_ * 16 + v);
    half_ = -1;
    if (Cur().target == Target::Pict) {
      pict_.data.push_back(static_cast<char>(byte));
    } else {
      out_.objects[static_cast<size_t>(Cur().object)].data.push_back(byte);
    }
  }

  // ---- control words

  void Control() {
    if (pos_ >= in_.size()) return;
    uint8_t c = in_[pos_];
    if (!IsAlpha(c)) {
      ++pos_;
      return Symbol(c);
    }
    std::string word;
    while (pos_ < in_.size() && IsAlpha(in_[pos_]) && word.size() < 32) word += static_cast<char>(in_[pos_++]);
    while (pos_ < in_.size() && IsAlpha(in_[pos_])) ++pos_;
    bool hasParam = false, negative = false;
    long param = 0;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      hasParam = true;
      if (param < 100000000) param = param * 10 + (in_[pos_] - '0');
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    Word(word, hasParam, param);
  }

  void Symbol(uint8_t c) {
    switch (c) {
      case '\\':
      case '{':
      case '}': return Byte(c);
      case '~': return Emit(U'\u00A0');
      case '_': return Emit(U'\u2011');
      case '-': return;  // optional hyphen
      case '*': starred_ = true; return;
      case '\r':
      case '\n': return Emit(rich::kParagraphEnd);
      case '\t': return Emit(U'\t');
      case '\'': {
        if (pos_ + 2 <= in_.size()) {
          int hi = HexValue(in_[pos_]), lo = HexValue(in_[pos_ + 1]);
          if (hi >= 0 && lo >= 0) {
            pos_ += 2;
            CodeByte(static_cast<uint8_t>(hi * 16 + lo));
          }
        }
        return;
      }
      default: return;
    }
  }

  void Word(const std::string& w, bool hasParam, long param) {
    Arg a{hasParam, param, starred_};
    starred_ = false;
    State& s = Cur();
    if (w == "u") {
      skip_ = 0;
      long v = param < 0 ? param + 65536 : param;
      Emit(static_cast<char32_t>(v & 0xFFFF));
      skip_ = s.uc;
      return;
    }
    skip_ = 0;
    // Pictures and the font and colour tables have words of their own; the
    // document's words set their properties wherever they stand.
    const WordTable& table = s.target == Target::Pict         ? PictWords()
                             : s.target == Target::ColorTable ? ColorWords()
                             : s.target == Target::FontTable  ? FontWords()
                                                              : BodyWords();
    if (auto it = table.find(w); it != table.end()) return it->second(*this, s, a);
    if (s.target == Target::Pict || s.target == Target::ColorTable) return;
    Unknown(s, w, a);
  }

  // A word no table knows: a destination to skip, or nothing.
  static void Unknown(State& s, std::string_view w, Arg a) {
    if (a.starred || SkippedDestinations().count(w)) s.target = Target::Drop;
  }

  // ---- the state the words change

  std::shared_ptr<const ParaFormat> EditPara(const std::function<void(ParaFormat&)>& change) {
    auto copy = std::make_shared<ParaFormat>(*Cur().pf);
    change(*copy);
    Cur().pf = copy;
    return copy;
  }

  uint32_t Color(long index) const {
    return index > 0 && static_cast<size_t>(index) < colors_.size() ? colors_[static_cast<size_t>(index)]
                                                                    : rich::kAutoColor;
  }

  // The colour a shading gives: the pattern colour (black when none is
  // named) over the fill (white when none is named), as much as the percent
  // says; kAutoColor when it fills nothing.
  uint32_t ShadeColor(const Shade& sh) const {
    uint32_t fill = sh.fill > 0 ? Color(sh.fill) : rich::kAutoColor;
    long pct = std::clamp<long>(sh.percent, 0, 10000);
    if (pct == 0) return fill;
    uint32_t pattern = sh.pattern > 0 ? Color(sh.pattern) : rich::kAutoColor;
    if (pattern == rich::kAutoColor) pattern = 0;
    uint32_t under = fill == rich::kAutoColor ? 0xFFFFFF : fill;
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
      long f = (under >> shift) & 0xFF, p = (pattern >> shift) & 0xFF;
      out |= static_cast<uint32_t>((f * (10000 - pct) + p * pct) / 10000) << shift;
    }
    return out;
  }

  void SetFace(State& s, int number) {
    s.font = number;
    auto it = fonts_.find(number);
    s.cf.face = it == fonts_.end() ? defaultFace_ : Face(it->second);
  }

  uint16_t Face(const FontEntry& f) {
    // A symbol font's characters are drawn with a face that has them.
    if (f.symbol != rich::SymbolFont::kNone) return rich::InternFace(rich::kSymbolFace);
    std::string name = f.name;
    if (name.empty()) return rich::InternFace(f.generic);
    // Pango reads "," as a list separator; a face name never holds one.
    std::replace(name.begin(), name.end(), ',', ' ');
    return rich::InternFace(name + "," + f.generic);
  }

  void FontDone() {
    if (fontNumber_ >= 0 && fonts_.size() < 4096) {
      // The name as the table ends it, without the blanks and ';' before its end.
      std::string name = fontName_;
      while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
      FontEntry f{name, fontGeneric_, fontCodePage_, rich::SymbolFontNamed(name)};
      if (f.codePage < 0 && f.symbol == rich::SymbolFont::kNone) f.codePage = 1252;  // a symbol set we do not know
      fonts_[fontNumber_] = f;
    }
    fontName_.clear();
    fontGeneric_ = "serif";
    fontCodePage_ = 0;
  }

  void FontTableDone() {
    auto it = fonts_.find(defaultFont_);
    defaultFace_ = it == fonts_.end() ? 0 : Face(it->second);
    for (State& s : stack_)
      if (s.font < 0) s.cf.face = defaultFace_;
  }

  void PictureDone() {
    auto p = std::make_shared<Picture>(std::move(pict_));
    pict_ = Picture{};
    rich::SetPictureSize(p.get(), {pictW_, pictH_, goalW_, goalH_, scaleX_, scaleY_, metric_});
    if (p->kind == Picture::Kind::kOther) p->data.clear();
    Target t = Cur().target;
    if (t != Target::Main && t != Target::ObjResult) return;
    Document& doc = t == Target::Main ? out_.doc : out_.objects[static_cast<size_t>(Cur().object)].result;
    Emit(rich::kObjectMark);
    if (!doc.marks.empty() && doc.marks.back().cp == doc.Length() - 1) doc.marks.back().picture = std::move(p);
  }

  // ---- tables: a row is described cell by cell, each cell ended by \cellx

  struct RowBuild {
    rich::RowFormat row;
    rich::Cell cell;            // the cell \cellx ends next
    Shade cellShade;
    rich::BorderLine rowLines[4];  // \trbrdr*: for the sides a cell names none of
    uint8_t cellNamed = 0;         // the sides the next cell names (Side bits)
  };

  // The row the row and cell words describe: the outer table's, or in
  // \nesttableprops the inner table's at the paragraph's depth.
  RowBuild& Row(const State& s) {
    int depth = s.nestProps ? std::max(2, s.pf->Depth()) : 1;
    return rows_[static_cast<size_t>(std::min(depth, rich::kMaxTableDepth) - 1)];
  }

  void CellX(State& s, long right) {
    RowBuild& b = Row(s);
    rich::Cell c = b.cell;
    c.right = Clamp(right);
    c.shading = ShadeColor(b.cellShade);
    c.borders = 0;
    for (int side = 0; side < 4; ++side) {
      if (!(b.cellNamed & (1 << side))) c.lines[side] = b.rowLines[side];
      if (c.lines[side].style != rich::BorderStyle::kNone) c.borders |= static_cast<uint8_t>(1 << side);
    }
    if (b.row.cells.size() < 64) b.row.cells.push_back(c);
    b.cell = rich::Cell{};
    b.cellShade = Shade{};
    b.cellNamed = 0;
  }

  void EndRow(int depth) {
    RowBuild& b = rows_[static_cast<size_t>(std::min(depth, rich::kMaxTableDepth) - 1)];
    auto row = std::make_shared<rich::RowFormat>(b.row);
    EditPara([&](ParaFormat& p) {
      p.inTable = true;
      p.depth = static_cast<uint8_t>(depth);
      p.row = row;
    });
    Emit(rich::kParagraphEnd);
    EditPara([](ParaFormat& p) { p.row = nullptr; });
  }

  void EndCell(State& s, bool nested) {
    int depth = s.pf->Depth();
    int want = nested ? std::max(depth, 2) : 1;
    if (depth != want || !s.pf->inTable)
      EditPara([&](ParaFormat& p) {
        p.inTable = true;
        p.depth = static_cast<uint8_t>(want);
      });
    Emit(rich::kCellEnd);
  }

  // Borders: \clbrdrX, \trbrdrX and \brdrX name the sides the border words
  // after them (\brdrs, \brdrw, \brdrcf ...) describe.
  enum class BorderOf : uint8_t { kNone, kCell, kRow, kPara };
  void NameBorder(State& s, BorderOf of, uint8_t sides) {
    border_ = of;
    borderSides_ = sides;
    if (of == BorderOf::kCell) Row(s).cellNamed |= sides;
    // A named border is a single line until its style says otherwise.
    EditBorder(s, [](rich::BorderLine& l) { l = rich::BorderLine{rich::BorderStyle::kSingle}; });
  }

  void EditBorder(State& s, const std::function<void(rich::BorderLine&)>& change) {
    if (border_ == BorderOf::kNone) return;
    if (border_ == BorderOf::kPara) {
      EditPara([&](ParaFormat& p) {
        for (int side = 0; side < 4; ++side)
          if (borderSides_ & (1 << side)) change(p.lines[side]);
      });
      return;
    }
    RowBuild& b = Row(s);
    rich::BorderLine* lines = border_ == BorderOf::kCell ? b.cell.lines : b.rowLines;
    for (int side = 0; side < 4; ++side)
      if (borderSides_ & (1 << side)) change(lines[side]);
  }

  static void BorderStyle(Reader& r, State& s, rich::BorderStyle style) {
    r.EditBorder(s, [&](rich::BorderLine& l) { l.style = style; });
  }

  void SetCharShade(State& s) { s.cf.back = ShadeColor(s.charShade); }

  void SetParaShade(State& s) {
    uint32_t c = ShadeColor(s.paraShade);
    EditPara([&](ParaFormat& p) { p.shading = c; });
  }

  void AddTab(State& s, long pos, bool bar) {
    rich::TabStop stop{Clamp(pos, 0), bar ? rich::TabKind::kLeft : tabKind_, bar ? rich::TabLeader::kNone : tabLeader_};
    tabKind_ = rich::TabKind::kLeft;
    tabLeader_ = rich::TabLeader::kNone;
    if (s.pf->tabs.size() >= 64) return;
    EditPara([&](ParaFormat& p) {
      auto at = std::lower_bound(p.tabs.begin(), p.tabs.end(), stop.pos,
                                 [](const rich::TabStop& t, int32_t v) { return t.pos < v; });
      if (at != p.tabs.end() && at->pos == stop.pos) *at = stop;
      else p.tabs.insert(at, stop);
    });
  }

  static void Effect(State& s, uint8_t bit, bool set) {
    s.cf.effects = static_cast<uint8_t>(set ? (s.cf.effects | bit) : (s.cf.effects & ~bit));
  }
  static void Underline(State& s, rich::Underline kind, Arg a) {
    Effect(s, rich::kUnderline, a.On());
    s.cf.underline = kind;
  }

  void StartPicture(State& s) {
    if (s.target != Target::Main && s.target != Target::ObjResult) return void(s.target = Target::Drop);
    pict_ = Picture{};
    pictW_ = pictH_ = goalW_ = goalH_ = 0;
    scaleX_ = scaleY_ = 100;
    metric_ = false;
    half_ = -1;
    s.target = Target::Pict;
    s.pictOwner = true;
  }

  void StartObject(State& s) {
    // Objects count only in the document's own text, not inside another
    // object's result.
    if (s.target != Target::Main) return void(s.target = Target::Drop);
    Emit(rich::kObjectMark);
    out_.objects.emplace_back();
    s.object = static_cast<int>(out_.objects.size() - 1);
    if (!out_.doc.marks.empty()) out_.doc.marks.back().object = s.object;
    s.target = Target::ObjBody;
  }

  // An object's parts, where an object's body holds them.
  static void ObjectPart(State& s, Target part, std::string_view w, Arg a) {
    if (s.object >= 0 && s.target == Target::ObjBody) s.target = part;
    else Unknown(s, w, a);
  }

  // ---- the tables of control words, by their RTF names

  static const WordTable& BodyWords() {
    using R = Reader;
    using rich::TabKind;
    using rich::TabLeader;
    using U = rich::Underline;
    using BS = rich::BorderStyle;
    static const WordTable table = MakeTable({
        // text and breaks
        {"par", [](R& r, State&, Arg) { r.Emit(rich::kParagraphEnd); }},
        {"line", [](R& r, State&, Arg) { r.Emit(rich::kLineBreak); }},
        {"tab", [](R& r, State&, Arg) { r.Emit(U'\t'); }},
        {"page", [](R& r, State&, Arg) { r.Emit(rich::kPageBreak); }},
        {"emdash", [](R& r, State&, Arg) { r.Emit(U'\u2014'); }},
        {"endash", [](R& r, State&, Arg) { r.Emit(U'\u2013'); }},
        {"bullet", [](R& r, State&, Arg) { r.Emit(U'\u2022'); }},
        {"lquote", [](R& r, State&, Arg) { r.Emit(U'\u2018'); }},
        {"rquote", [](R& r, State&, Arg) { r.Emit(U'\u2019'); }},
        {"ldblquote", [](R& r, State&, Arg) { r.Emit(U'\u201C'); }},
        {"rdblquote", [](R& r, State&, Arg) { r.Emit(U'\u201D'); }},
        {"emspace", [](R& r, State&, Arg) { r.Emit(U' '); }},
        {"enspace", [](R& r, State&, Arg) { r.Emit(U' '); }},
        {"qmspace", [](R& r, State&, Arg) { r.Emit(U' '); }},
        {"uc", [](R&, State& s, Arg a) { s.uc = a.has && a.value >= 0 && a.value < 16 ? static_cast<int>(a.value) : 1; }},
        {"ansicpg", [](R& r, State&, Arg a) { r.codePage_ = a.value > 0 && a.value < 65536 ? static_cast<int>(a.value) : 1252; }},
        {"deff", [](R& r, State&, Arg a) { r.defaultFont_ = static_cast<int>(a.value); }},
        // sections
        {"sect",
         [](R& r, State& s, Arg) {
           if (s.target == Target::Main) r.sectionPending_ = true;
           else r.Emit(rich::kPageBreak);
         }},
        {"sectd", [](R& r, State&, Arg) { r.sectionNewPage_ = true; }},
        {"sbknone", [](R& r, State&, Arg) { r.sectionNewPage_ = false; }},
        {"sbkcol", [](R& r, State&, Arg) { r.sectionNewPage_ = false; }},  // one column: no new page
        {"sbkpage", [](R& r, State&, Arg) { r.sectionNewPage_ = true; }},
        {"sbkodd", [](R& r, State&, Arg) { r.sectionNewPage_ = true; }},
        {"sbkeven", [](R& r, State&, Arg) { r.sectionNewPage_ = true; }},
        // character formats
        {"f", [](R& r, State& s, Arg a) { r.SetFace(s, static_cast<int>(a.value)); }},
        {"fs", [](R&, State& s, Arg a) {
           s.cf.size = a.has && a.value > 0 && a.value < 3200 ? static_cast<uint16_t>(a.value) : rich::kDefaultSize;
         }},
        {"b", [](R&, State& s, Arg a) { Effect(s, rich::kBold, a.On()); }},
        {"i", [](R&, State& s, Arg a) { Effect(s, rich::kItalic, a.On()); }},
        {"strike", [](R&, State& s, Arg a) { Effect(s, rich::kStrike, a.On()); }},
        {"striked", [](R&, State& s, Arg a) { Effect(s, rich::kStrike, a.On()); }},
        {"caps", [](R&, State& s, Arg a) { Effect(s, rich::kCaps, a.On()); }},
        {"scaps", [](R&, State& s, Arg a) { Effect(s, rich::kSmallCaps, a.On()); }},
        {"v", [](R&, State& s, Arg a) { s.hidden = a.On(); }},
        {"ul", [](R&, State& s, Arg a) { Underline(s, U::kSingle, a); }},
        {"uldb", [](R&, State& s, Arg a) { Underline(s, U::kDouble, a); }},
        {"uld", [](R&, State& s, Arg a) { Underline(s, U::kDotted, a); }},
        {"uldash", [](R&, State& s, Arg a) { Underline(s, U::kDash, a); }},
        {"uldashd", [](R&, State& s, Arg a) { Underline(s, U::kDash, a); }},
        {"uldashdd", [](R&, State& s, Arg a) { Underline(s, U::kDash, a); }},
        {"ulldash", [](R&, State& s, Arg a) { Underline(s, U::kDash, a); }},
        {"ulw", [](R&, State& s, Arg a) { Underline(s, U::kWords, a); }},
        {"ulwave", [](R&, State& s, Arg a) { Underline(s, U::kWave, a); }},
        {"ulhwave", [](R&, State& s, Arg a) { Underline(s, U::kWave, a); }},
        {"ululdbwave", [](R&, State& s, Arg a) { Underline(s, U::kWave, a); }},
        {"ulth", [](R&, State& s, Arg a) { Underline(s, U::kThick, a); }},
        {"ulthd", [](R&, State& s, Arg a) { Underline(s, U::kThick, a); }},
        {"ulthdash", [](R&, State& s, Arg a) { Underline(s, U::kThick, a); }},
        {"ulthdashd", [](R&, State& s, Arg a) { Underline(s, U::kThick, a); }},
        {"ulthdashdd", [](R&, State& s, Arg a) { Underline(s, U::kThick, a); }},
        {"ulthldash", [](R&, State& s, Arg a) { Underline(s, U::kThick, a); }},
        {"ulnone", [](R&, State& s, Arg) { Effect(s, rich::kUnderline, false); }},
        {"cf", [](R& r, State& s, Arg a) { s.cf.color = r.Color(a.value); }},
        {"highlight", [](R& r, State& s, Arg a) { s.cf.back = r.Color(a.value); }},
        {"chcbpat", [](R& r, State& s, Arg a) { s.charShade.fill = static_cast<int>(a.value); r.SetCharShade(s); }},
        {"chcfpat", [](R& r, State& s, Arg a) { s.charShade.pattern = static_cast<int>(a.value); r.SetCharShade(s); }},
        {"chshdng", [](R& r, State& s, Arg a) { s.charShade.percent = a.value; r.SetCharShade(s); }},
        // \expnd counts quarter points, \expndtw twips
        {"expnd", [](R&, State& s, Arg a) { s.cf.spacing = static_cast<int16_t>(std::clamp<long>(a.value * 5, -2000, 2000)); }},
        {"expndtw", [](R&, State& s, Arg a) { s.cf.spacing = static_cast<int16_t>(std::clamp<long>(a.value, -2000, 2000)); }},
        {"super", [](R&, State& s, Arg) {
           s.cf.smaller = true;
           s.cf.rise = static_cast<int16_t>(std::max<int>(s.cf.size / 3, 1));
         }},
        {"sub", [](R&, State& s, Arg) {
           s.cf.smaller = true;
           s.cf.rise = static_cast<int16_t>(-std::max<int>(s.cf.size / 3, 1));
         }},
        {"nosupersub", [](R&, State& s, Arg) {
           s.cf.smaller = false;
           s.cf.rise = 0;
         }},
        {"up", [](R&, State& s, Arg a) { s.cf.rise = static_cast<int16_t>(std::clamp<long>(a.Or(6), -3200, 3200)); }},
        {"dn", [](R&, State& s, Arg a) { s.cf.rise = static_cast<int16_t>(std::clamp<long>(-a.Or(6), -3200, 3200)); }},
        {"plain", [](R& r, State& s, Arg) {
           s.cf = CharFormat{};
           s.hidden = false;
           s.charShade = Shade{};
           r.SetFace(s, r.defaultFont_);
           s.font = -1;
         }},
        // paragraph formats
        {"pard", [](R& r, State& s, Arg) {
           s.pf = rich::DefaultParaFormat();
           s.paraShade = Shade{};
           r.tabKind_ = TabKind::kLeft;
           r.tabLeader_ = TabLeader::kNone;
           if (r.border_ == BorderOf::kPara) r.border_ = BorderOf::kNone;
         }},
        {"ql", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.align = rich::Align::kLeft; }); }},
        {"qc", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.align = rich::Align::kCenter; }); }},
        {"qr", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.align = rich::Align::kRight; }); }},
        {"qj", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.align = rich::Align::kJustify; }); }},
        {"li", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.left = Clamp(a.value); }); }},
        {"lin", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.left = Clamp(a.value); }); }},
        {"ri", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.right = Clamp(a.value); }); }},
        {"rin", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.right = Clamp(a.value); }); }},
        {"fi", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.first = Clamp(a.value); }); }},
        {"sb", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.before = Clamp(a.value, 0); }); }},
        {"sa", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.after = Clamp(a.value, 0); }); }},
        {"sl", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.line = Clamp(a.value); }); }},
        {"slmult", [](R& r, State&, Arg a) { r.EditPara([&](ParaFormat& p) { p.lineMultiple = a.value != 0; }); }},
        {"ltrpar", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.rtl = false; }); }},
        {"rtlpar", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.rtl = true; }); }},
        {"tqc", [](R& r, State&, Arg) { r.tabKind_ = TabKind::kCenter; }},
        {"tqr", [](R& r, State&, Arg) { r.tabKind_ = TabKind::kRight; }},
        {"tqdec", [](R& r, State&, Arg) { r.tabKind_ = TabKind::kDecimal; }},
        {"tldot", [](R& r, State&, Arg) { r.tabLeader_ = TabLeader::kDots; }},
        {"tlmdot", [](R& r, State&, Arg) { r.tabLeader_ = TabLeader::kDots; }},
        {"tlhyph", [](R& r, State&, Arg) { r.tabLeader_ = TabLeader::kHyphens; }},
        {"tlul", [](R& r, State&, Arg) { r.tabLeader_ = TabLeader::kUnderline; }},
        {"tlth", [](R& r, State&, Arg) { r.tabLeader_ = TabLeader::kThick; }},
        {"tleq", [](R& r, State&, Arg) { r.tabLeader_ = TabLeader::kEquals; }},
        {"tx", [](R& r, State& s, Arg a) { r.AddTab(s, a.value, false); }},
        {"tb", [](R& r, State& s, Arg a) { r.AddTab(s, a.value, true); }},
        {"intbl", [](R& r, State&, Arg) { r.EditPara([](ParaFormat& p) { p.inTable = true; }); }},
        {"itap", [](R& r, State&, Arg a) {
           auto depth = static_cast<uint8_t>(std::clamp<long>(a.Or(1), 0, rich::kMaxTableDepth));
           r.EditPara([&](ParaFormat& p) {
             p.depth = depth;
             p.inTable = depth > 0;
           });
         }},
        {"cbpat", [](R& r, State& s, Arg a) { s.paraShade.fill = static_cast<int>(a.value); r.SetParaShade(s); }},
        {"cfpat", [](R& r, State& s, Arg a) { s.paraShade.pattern = static_cast<int>(a.value); r.SetParaShade(s); }},
        {"shading", [](R& r, State& s, Arg a) { s.paraShade.percent = a.value; r.SetParaShade(s); }},
        {"brdrt", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kPara, 1 << rich::kTopSide); }},
        {"brdrb", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kPara, 1 << rich::kBottomSide); }},
        {"brdrl", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kPara, 1 << rich::kLeftSide); }},
        {"brdrr", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kPara, 1 << rich::kRightSide); }},
        {"box", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kPara, 0xF); }},
        // table rows and cells
        {"trowd", [](R& r, State& s, Arg) { r.Row(s) = RowBuild{}; }},
        {"trgaph", [](R& r, State& s, Arg a) { r.Row(s).row.gap = Clamp(a.value, 0); }},
        {"trleft", [](R& r, State& s, Arg a) { r.Row(s).row.left = Clamp(a.value); }},
        {"trrh", [](R& r, State& s, Arg a) { r.Row(s).row.height = Clamp(a.value); }},
        {"cellx", [](R& r, State& s, Arg a) { r.CellX(s, a.value); }},
        {"cell", [](R& r, State& s, Arg) { r.EndCell(s, false); }},
        {"nestcell", [](R& r, State& s, Arg) { r.EndCell(s, true); }},
        {"row", [](R& r, State&, Arg) { r.EndRow(1); }},
        {"nestrow", [](R& r, State& s, Arg) { r.EndRow(std::max(2, s.pf->Depth())); }},
        {"nesttableprops", [](R&, State& s, Arg) { s.nestProps = true; }},
        {"clcbpat", [](R& r, State& s, Arg a) { r.Row(s).cellShade.fill = static_cast<int>(a.value); }},
        {"clcfpat", [](R& r, State& s, Arg a) { r.Row(s).cellShade.pattern = static_cast<int>(a.value); }},
        {"clshdng", [](R& r, State& s, Arg a) { r.Row(s).cellShade.percent = a.value; }},
        {"clvertalt", [](R& r, State& s, Arg) { r.Row(s).cell.valign = rich::VAlign::kTop; }},
        {"clvertalc", [](R& r, State& s, Arg) { r.Row(s).cell.valign = rich::VAlign::kCenter; }},
        {"clvertalb", [](R& r, State& s, Arg) { r.Row(s).cell.valign = rich::VAlign::kBottom; }},
        {"clvmgf", [](R& r, State& s, Arg) { r.Row(s).cell.vmerge = rich::Merge::kFirst; }},
        {"clvmrg", [](R& r, State& s, Arg) { r.Row(s).cell.vmerge = rich::Merge::kContinue; }},
        {"clmgf", [](R& r, State& s, Arg) { r.Row(s).cell.hmerge = rich::Merge::kFirst; }},
        {"clmrg", [](R& r, State& s, Arg) { r.Row(s).cell.hmerge = rich::Merge::kContinue; }},
        {"clbrdrl", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kCell, 1 << rich::kLeftSide); }},
        {"clbrdrt", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kCell, 1 << rich::kTopSide); }},
        {"clbrdrr", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kCell, 1 << rich::kRightSide); }},
        {"clbrdrb", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kCell, 1 << rich::kBottomSide); }},
        {"trbrdrl", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kRow, 1 << rich::kLeftSide); }},
        {"trbrdrt", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kRow, 1 << rich::kTopSide); }},
        {"trbrdrr", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kRow, 1 << rich::kRightSide); }},
        {"trbrdrb", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kRow, 1 << rich::kBottomSide); }},
        // the lines between cells: each cell's top and bottom, left and right
        {"trbrdrh", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kRow, 1 << rich::kTopSide | 1 << rich::kBottomSide); }},
        {"trbrdrv", [](R& r, State& s, Arg) { r.NameBorder(s, BorderOf::kRow, 1 << rich::kLeftSide | 1 << rich::kRightSide); }},
        // border lines
        {"brdrnone", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kNone); }},
        {"brdrnil", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kNone); }},
        {"brdrtbl", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kNone); }},
        {"brdrs", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kSingle); }},
        {"brdrth", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kSingle); }},
        {"brdrsh", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kSingle); }},
        {"brdrhair", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kSingle); }},
        {"brdrdb", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDouble); }},
        {"brdrtriple", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDouble); }},
        {"brdrdot", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDotted); }},
        {"brdrdash", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDashed); }},
        {"brdrdashsm", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDashed); }},
        {"brdrdashd", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDashed); }},
        {"brdrdashdd", [](R& r, State& s, Arg) { BorderStyle(r, s, BS::kDashed); }},
        {"brdrw", [](R& r, State& s, Arg a) {
           auto w = static_cast<int16_t>(std::clamp<long>(a.value, 2, 150));
           r.EditBorder(s, [&](rich::BorderLine& l) { l.width = w; });
         }},
        {"brdrcf", [](R& r, State& s, Arg a) {
           uint32_t c = r.Color(a.value);
           r.EditBorder(s, [&](rich::BorderLine& l) { l.color = c; });
         }},
        // destinations
        {"bin", [](R& r, State&, Arg a) { r.Binary(a.Or(0)); }},
        {"fonttbl", [](R&, State& s, Arg) { s.target = Target::FontTable; }},
        {"colortbl", [](R& r, State& s, Arg) {
           r.colors_.clear();
           s.target = Target::ColorTable;
         }},
        {"pict", [](R& r, State& s, Arg) { r.StartPicture(s); }},
        {"shppict", [](R&, State&, Arg) {}},  // the picture inside is read
        {"upr", [](R&, State& s, Arg) {
           s.inUpr = true;
           s.outer = s.target;
           s.target = Target::Drop;
         }},
        {"ud", [](R&, State& s, Arg a) {
           if (!s.inUpr) return Unknown(s, "ud", a);
           s.target = s.outer;
           s.inUpr = false;
         }},
        {"object", [](R& r, State& s, Arg) { r.StartObject(s); }},
        {"objclass", [](R&, State& s, Arg a) { ObjectPart(s, Target::ObjClass, "objclass", a); }},
        {"objdata", [](R& r, State& s, Arg a) {
           r.half_ = -1;
           ObjectPart(s, Target::ObjData, "objdata", a);
         }},
        {"result", [](R& r, State& s, Arg a) {
           if (s.object >= 0 && s.target == Target::ObjBody)
             r.resultParaStart_ = r.out_.objects[static_cast<size_t>(s.object)].result.Length();
           ObjectPart(s, Target::ObjResult, "result", a);
         }},
    });
    return table;
  }

  static const WordTable& FontWords() {
    using R = Reader;
    static const WordTable table = MakeTable({
        {"f", [](R& r, State&, Arg a) { r.fontNumber_ = static_cast<int>(a.value); }},
        {"fcharset", [](R& r, State&, Arg a) { r.fontCodePage_ = CodePageOfCharset(static_cast<int>(a.value)); }},
        {"froman", [](R& r, State&, Arg) { r.fontGeneric_ = "serif"; }},
        {"fswiss", [](R& r, State&, Arg) { r.fontGeneric_ = "sans-serif"; }},
        {"fnil", [](R& r, State&, Arg) { r.fontGeneric_ = "sans-serif"; }},
        {"fmodern", [](R& r, State&, Arg) { r.fontGeneric_ = "monospace"; }},
        {"fscript", [](R& r, State&, Arg) { r.fontGeneric_ = "sans-serif"; }},
        {"fdecor", [](R& r, State&, Arg) { r.fontGeneric_ = "sans-serif"; }},
        {"ftech", [](R& r, State&, Arg) { r.fontGeneric_ = "sans-serif"; }},
        {"fbidi", [](R& r, State&, Arg) { r.fontGeneric_ = "sans-serif"; }},
        {"fprq", [](R& r, State&, Arg a) {
           if (a.value == 1) r.fontGeneric_ = "monospace";
         }},
    });
    return table;
  }

  static const WordTable& ColorWords() {
    using R = Reader;
    static const WordTable table = MakeTable({
        {"red", [](R& r, State&, Arg a) { r.SetColorPart(16, a.value); }},
        {"green", [](R& r, State&, Arg a) { r.SetColorPart(8, a.value); }},
        {"blue", [](R& r, State&, Arg a) { r.SetColorPart(0, a.value); }},
    });
    return table;
  }

  void SetColorPart(int shift, long v) {
    auto part = static_cast<uint32_t>(std::clamp<long>(v, 0, 255));
    color_ = (color_ & ~(0xFFu << shift)) | part << shift;
    colorSet_ = true;
  }

  static const WordTable& PictWords() {
    using R = Reader;
    using K = Picture::Kind;
    // Metafile kinds give their size in hundredths of a millimetre.
    static const WordTable table = MakeTable({
        {"pngblip", [](R& r, State&, Arg) { r.pict_.kind = K::kPng; }},
        {"jpegblip", [](R& r, State&, Arg) { r.pict_.kind = K::kJpeg; }},
        {"emfblip", [](R& r, State&, Arg) { r.OtherPicture(true); }},
        {"wmetafile", [](R& r, State&, Arg) { r.OtherPicture(true); }},
        {"pmmetafile", [](R& r, State&, Arg) { r.OtherPicture(true); }},
        {"dibitmap", [](R& r, State&, Arg) { r.OtherPicture(false); }},
        {"wbitmap", [](R& r, State&, Arg) { r.OtherPicture(false); }},
        {"macpict", [](R& r, State&, Arg) { r.OtherPicture(false); }},
        {"picw", [](R& r, State&, Arg a) { r.pictW_ = Clamp(a.Or(0), 0, 1000000); }},
        {"pich", [](R& r, State&, Arg a) { r.pictH_ = Clamp(a.Or(0), 0, 1000000); }},
        {"picwgoal", [](R& r, State&, Arg a) { r.goalW_ = Clamp(a.Or(0), 0); }},
        {"pichgoal", [](R& r, State&, Arg a) { r.goalH_ = Clamp(a.Or(0), 0); }},
        {"picscalex", [](R& r, State&, Arg a) { r.scaleX_ = Clamp(a.Or(0), 1, 10000); }},
        {"picscaley", [](R& r, State&, Arg a) { r.scaleY_ = Clamp(a.Or(0), 1, 10000); }},
        {"bin", [](R& r, State&, Arg a) { r.Binary(a.Or(0)); }},
    });
    return table;
  }

  void OtherPicture(bool metafile) {
    pict_.kind = Picture::Kind::kOther;
    if (metafile) metric_ = true;
  }

  // \binN: N bytes of binary data, a picture's or else skipped.
  void Binary(long count) {
    size_t n = std::min(count > 0 ? static_cast<size_t>(count) : 0, in_.size() - pos_);
    if (Cur().target == Target::Pict)
      for (size_t i = 0; i < n; ++i) pict_.data.push_back(static_cast<char>(in_[pos_ + i]));
    pos_ += n;
  }

  const Bytes& in_;
  size_t pos_ = 0;
  std::vector<State> stack_;
  Parsed out_;
  int32_t mainParaStart_ = 0, resultParaStart_ = 0;
  int skip_ = 0;  // fallback characters of \u still to drop
  bool starred_ = false;
  int half_ = -1;
  char32_t high_ = 0;
  int lead_ = -1;
  int codePage_ = 1252;
  CodePages codePages_;
  // font table
  std::map<int, FontEntry> fonts_;
  int defaultFont_ = 0;
  uint16_t defaultFace_ = 0;
  int fontNumber_ = -1;
  std::string fontName_;
  std::string fontGeneric_ = "serif";
  int fontCodePage_ = 0;
  // colour table
  std::vector<uint32_t> colors_;
  uint32_t color_ = 0;
  bool colorSet_ = false;
  // sections
  bool sectionPending_ = false;  // a \sect waits for the next section's first character
  bool sectionNewPage_ = true;   // the section that starts begins a page
  // paragraphs and tables
  rich::TabKind tabKind_ = rich::TabKind::kLeft;
  rich::TabLeader tabLeader_ = rich::TabLeader::kNone;
  RowBuild rows_[rich::kMaxTableDepth];
  BorderOf border_ = BorderOf::kNone;
  uint8_t borderSides_ = 0;
  // picture
  Picture pict_;
  int32_t pictW_ = 0, pictH_ = 0, goalW_ = 0, goalH_ = 0, scaleX_ = 100, scaleY_ = 100;
  bool metric_ = false;
};

// ---- plain text

// The UTF-8 sequence at b[i]: its length, or 0 when it is broken, overlong,
// a surrogate or beyond U+10FFFF.
size_t Utf8At(const Bytes& b, size_t i, char32_t* cp) {
  uint8_t c = b[i];
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  size_t extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
  if (extra == 0 || i + extra >= b.size()) return 0;
  char32_t v = extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k <= extra; ++k) {
    uint8_t d = b[i + k];
    if ((d & 0xC0) != 0x80) return 0;
    v = (v << 6) | (d & 0x3F);
  }
  static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
  if (v < kLeast[extra] || v > 0x10FFFF || (v >= 0xD800 && v < 0xE000)) return 0;
  *cp = v;
  return extra + 1;
}

bool ValidUtf8(const Bytes& b) {
  char32_t cp = 0;
  for (size_t i = 0, len = 0; i < b.size(); i += len)
    if ((len = Utf8At(b, i, &cp)) == 0) return false;
  return true;
}

}  // namespace

void Bytes::Append(const uint8_t* p, size_t n) {
  while (n > 0) {
    if (pieces_.empty() || pieces_.back().size() == kPiece) {
      pieces_.emplace_back();
      pieces_.back().reserve(kPiece);
    }
    std::string& last = pieces_.back();
    size_t take = std::min(n, kPiece - last.size());
    last.append(reinterpret_cast<const char*>(p), take);
    p += take;
    n -= take;
    size_ += take;
  }
}

std::string Bytes::Prefix(size_t n) const {
  std::string s;
  for (size_t i = 0; i < std::min(n, size_); ++i) s += static_cast<char>((*this)[i]);
  return s;
}

bool LooksLikeRtf(std::string_view bytes) {
  if (bytes.size() < 5) return false;
  const char* sig = "{\\rtf";
  for (size_t i = 0; i < 5; ++i)
    if (std::tolower(static_cast<unsigned char>(bytes[i])) != sig[i]) return false;
  return true;
}

Parsed ReadRtf(const Bytes& bytes) { return Reader(bytes).Run(); }

rich::Document ReadPlain(const Bytes& b) {
  rich::Document doc;
  CharFormat cf;
  cf.face = rich::kPlainFace;
  auto pf = rich::DefaultParaFormat();
  size_t n = b.size();
  bool le16 = n >= 2 && b[0] == 0xFF && b[1] == 0xFE;
  bool be16 = n >= 2 && b[0] == 0xFE && b[1] == 0xFF;
  bool bom8 = n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF;
  size_t i = le16 || be16 ? 2 : bom8 ? 3 : 0;
  bool utf8 = bom8 || (!le16 && !be16 && ValidUtf8(b));
  // Every byte is at most one character: the characters fit without growing
  // (until a wider one comes).
  doc.chars.Reserve(le16 || be16 ? n / 2 : n);
  bool lastCr = false;
  auto add = [&](char32_t c) {
    // CR LF, LF and CR end a paragraph.
    if (c == U'\n' && lastCr) {
      lastCr = false;
      return;
    }
    lastCr = c == U'\r';
    doc.Add(c == U'\n' ? rich::kParagraphEnd : c, cf, pf);
  };
  if (le16 || be16) {
    char32_t high = 0;
    for (; i + 1 < n; i += 2) {
      char32_t u = le16 ? (b[i] | b[i + 1] << 8) : (b[i] << 8 | b[i + 1]);
      if (u >= 0xD800 && u < 0xDC00) {
        if (high) add(high);
        high = u;
        continue;
      }
      if (u >= 0xDC00 && u < 0xE000 && high) {
        u = 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00);
        high = 0;
      }
      if (high) add(high);
      high = 0;
      add(u);
    }
    if (high) add(high);
    if (i < n) add(U'\uFFFD');  // an odd last byte
  } else if (utf8) {
    while (i < n) {
      char32_t cp = 0;
      size_t len = Utf8At(b, i, &cp);
      // A broken sequence (after a byte-order mark) gives U+FFFD for its first byte.
      add(len ? cp : U'\uFFFD');
      i += len ? len : 1;
    }
  } else {
    for (; i < n; ++i) add(FromCp1252(b[i]));
  }
  doc.ShrinkToFit();
  return doc;
}

}  // namespace win::rtf
