#include "platform/richedit/rtf.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>

#include "platform/richedit/picture.h"
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

int CodePageOfCharset(int charset) {
  switch (charset) {
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
    default: return 0;  // the document's code page
  }
}

enum class Target { Main, Drop, ObjClass, ObjData, ObjResult, ObjBody, FontTable, ColorTable, Pict };

struct FontEntry {
  std::string name;
  std::string generic = "serif";
  int codePage = 0;
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
};

const std::set<std::string_view>& SkippedDestinations() {
  static const std::set<std::string_view> words = {
      "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr",
      "footerf", "footnote", "fldinst", "listtable", "listoverridetable", "rsidtbl", "generator", "themedata",
      "colorschememapping", "latentstyles", "datastore", "filetbl", "revtbl", "xmlnstbl", "nonshppict",
      "shpinst", "bkmkstart", "bkmkend", "author", "operator", "title", "subject", "keywords", "comment",
      "doccomm", "company", "pgdsctbl", "objalias", "objsect", "objtime", "panose", "falt", "pnseclvl",
      "nesttableprops", "nonesttables", "blipuid", "picprop", "annotation", "atnid", "atnauthor", "txe", "xe", "tc",
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

  int CodePage() const {
    int font = stack_.back().font;
    auto it = fonts_.find(font);
    if (it != fonts_.end() && it->second.codePage) return it->second.codePage;
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

  void Put(char32_t ch) {
    State& s = Cur();
    switch (s.target) {
      case Target::Main: return Add(out_.doc, mainParaStart_, ch);
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

  std::shared_ptr<const ParaFormat> EditPara(const std::function<void(ParaFormat&)>& change) {
    auto copy = std::make_shared<ParaFormat>(*Cur().pf);
    change(*copy);
    Cur().pf = copy;
    return copy;
  }

  void SetFace(State& s, int number) {
    s.font = number;
    auto it = fonts_.find(number);
    s.cf.face = it == fonts_.end() ? defaultFace_ : Face(it->second);
  }

  uint16_t Face(const FontEntry& f) {
    std::string name = f.name;
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    if (name.empty()) return rich::InternFace(f.generic);
    // Pango reads "," as a list separator; a face name never holds one.
    std::replace(name.begin(), name.end(), ',', ' ');
    return rich::InternFace(name + "," + f.generic);
  }

  void FontDone() {
    if (fontNumber_ >= 0 && fonts_.size() < 4096) fonts_[fontNumber_] = FontEntry{fontName_, fontGeneric_, fontCodePage_};
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

  void CellBorder(uint8_t side) {
    cellBorders_ |= side;
    lastBorder_ = side;
    lastBorderIsRow_ = false;
  }

  void Word(const std::string& w, bool hasParam, long param) {
    bool starred = starred_;
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

    // Tables and pictures set their properties wherever they stand.
    if (s.target == Target::Pict) return PictWord(w, hasParam, param);
    if (s.target == Target::ColorTable) {
      int v = static_cast<int>(std::clamp<long>(param, 0, 255));
      if (w == "red") color_ = (color_ & 0x00FFFF) | static_cast<uint32_t>(v) << 16;
      if (w == "green") color_ = (color_ & 0xFF00FF) | static_cast<uint32_t>(v) << 8;
      if (w == "blue") color_ = (color_ & 0xFFFF00) | static_cast<uint32_t>(v);
      if (w == "red" || w == "green" || w == "blue") colorSet_ = true;
      return;
    }
    if (s.target == Target::FontTable) {
      if (w == "f") fontNumber_ = static_cast<int>(param);
      else if (w == "fcharset") fontCodePage_ = CodePageOfCharset(static_cast<int>(param));
      else if (w == "froman") fontGeneric_ = "serif";
      else if (w == "fswiss" || w == "fnil") fontGeneric_ = "sans-serif";
      else if (w == "fmodern") fontGeneric_ = "monospace";
      else if (w == "fscript" || w == "fdecor" || w == "ftech" || w == "fbidi") fontGeneric_ = "sans-serif";
      else if (w == "fprq" && param == 1) fontGeneric_ = "monospace";
      else if (starred || SkippedDestinations().count(w)) s.target = Target::Drop;
      return;
    }

    if (w == "par") return Emit(rich::kParagraphEnd);
    if (w == "line") return Emit(rich::kLineBreak);
    if (w == "tab") return Emit(U'\t');
    if (w == "page" || w == "sect") return Emit(rich::kPageBreak);
    if (w == "cell" || w == "nestcell") return Emit(rich::kCellEnd);
    if (w == "row" || w == "nestrow") {
      auto row = std::make_shared<rich::RowFormat>(row_);
      EditPara([&](ParaFormat& p) {
        p.inTable = true;
        p.row = row;
      });
      Emit(rich::kParagraphEnd);
      EditPara([](ParaFormat& p) { p.row = nullptr; });
      return;
    }
    if (w == "emdash") return Emit(U'\u2014');
    if (w == "endash") return Emit(U'\u2013');
    if (w == "bullet") return Emit(U'\u2022');
    if (w == "lquote") return Emit(U'\u2018');
    if (w == "rquote") return Emit(U'\u2019');
    if (w == "ldblquote") return Emit(U'\u201C');
    if (w == "rdblquote") return Emit(U'\u201D');
    if (w == "emspace" || w == "enspace" || w == "qmspace") return Emit(U' ');

    if (w == "uc") {
      s.uc = hasParam && param >= 0 && param < 16 ? static_cast<int>(param) : 1;
      return;
    }
    if (w == "ansicpg") {
      codePage_ = param > 0 && param < 65536 ? static_cast<int>(param) : 1252;
      return;
    }
    if (w == "deff") {
      defaultFont_ = static_cast<int>(param);
      return;
    }
    // ---- character formats
    if (w == "f") return SetFace(s, static_cast<int>(param));
    if (w == "fs") {
      s.cf.size = hasParam && param > 0 && param < 3200 ? static_cast<uint16_t>(param) : rich::kDefaultSize;
      return;
    }
    bool on = !hasParam || param != 0;
    auto effect = [&](uint8_t bit, bool set) {
      s.cf.effects = static_cast<uint8_t>(set ? (s.cf.effects | bit) : (s.cf.effects & ~bit));
    };
    if (w == "b") return effect(rich::kBold, on);
    if (w == "i") return effect(rich::kItalic, on);
    if (w == "strike" || w == "striked") return effect(rich::kStrike, on);
    if (w == "ulnone") return effect(rich::kUnderline, false);
    if (w.size() >= 2 && w.compare(0, 2, "ul") == 0 && w != "ulc") return effect(rich::kUnderline, on);
    if (w == "cf") {
      s.cf.color = param > 0 && static_cast<size_t>(param) < colors_.size() ? colors_[static_cast<size_t>(param)]
                                                                             : rich::kAutoColor;
      return;
    }
    if (w == "super" || w == "sub") {
      s.cf.smaller = true;
      s.cf.rise = static_cast<int16_t>((w == "super" ? 1 : -1) * std::max<int>(s.cf.size / 3, 1));
      return;
    }
    if (w == "nosupersub") {
      s.cf.smaller = false;
      s.cf.rise = 0;
      return;
    }
    if (w == "up" || w == "dn") {
      long v = hasParam ? param : 6;
      s.cf.rise = static_cast<int16_t>(std::clamp<long>(w == "up" ? v : -v, -3200, 3200));
      return;
    }
    if (w == "plain") {
      s.cf = CharFormat{};
      SetFace(s, defaultFont_);
      s.font = -1;
      return;
    }
    // ---- paragraph formats
    if (w == "pard") {
      s.pf = rich::DefaultParaFormat();
      tabKind_ = rich::TabKind::kLeft;
      return;
    }
    if (w == "ql" || w == "qc" || w == "qr" || w == "qj") {
      rich::Align a = w == "qc" ? rich::Align::kCenter : w == "qr" ? rich::Align::kRight
                      : w == "qj" ? rich::Align::kJustify : rich::Align::kLeft;
      EditPara([&](ParaFormat& p) { p.align = a; });
      return;
    }
    if (w == "li" || w == "lin") return void(EditPara([&](ParaFormat& p) { p.left = Clamp(param); }));
    if (w == "ri" || w == "rin") return void(EditPara([&](ParaFormat& p) { p.right = Clamp(param); }));
    if (w == "fi") return void(EditPara([&](ParaFormat& p) { p.first = Clamp(param); }));
    if (w == "sb") return void(EditPara([&](ParaFormat& p) { p.before = Clamp(param, 0); }));
    if (w == "sa") return void(EditPara([&](ParaFormat& p) { p.after = Clamp(param, 0); }));
    if (w == "sl") return void(EditPara([&](ParaFormat& p) { p.line = Clamp(param); }));
    if (w == "slmult") return void(EditPara([&](ParaFormat& p) { p.lineMultiple = param != 0; }));
    if (w == "tqc") return void(tabKind_ = rich::TabKind::kCenter);
    if (w == "tqr") return void(tabKind_ = rich::TabKind::kRight);
    if (w == "tqdec") return void(tabKind_ = rich::TabKind::kDecimal);
    if (w == "tx" || w == "tb") {
      rich::TabStop stop{Clamp(param, 0), w == "tb" ? rich::TabKind::kLeft : tabKind_};
      tabKind_ = rich::TabKind::kLeft;
      if (Cur().pf->tabs.size() >= 64) return;
      EditPara([&](ParaFormat& p) {
        auto at = std::lower_bound(p.tabs.begin(), p.tabs.end(), stop.pos,
                                   [](const rich::TabStop& t, int32_t v) { return t.pos < v; });
        if (at != p.tabs.end() && at->pos == stop.pos) *at = stop;
        else p.tabs.insert(at, stop);
      });
      return;
    }
    if (w == "intbl") return void(EditPara([](ParaFormat& p) { p.inTable = true; }));
    // ---- table rows
    if (w == "trowd") {
      row_ = rich::RowFormat{};
      cellBorders_ = rowBorders_ = 0;
      return;
    }
    if (w == "trgaph") return void(row_.gap = Clamp(param, 0));
    if (w == "trleft") return void(row_.left = Clamp(param));
    if (w == "cellx") {
      if (row_.cells.size() < 64) row_.cells.push_back({Clamp(param), static_cast<uint8_t>(cellBorders_ | rowBorders_)});
      cellBorders_ = 0;
      return;
    }
    if (w == "clbrdrl") return CellBorder(rich::kBorderLeft);
    if (w == "clbrdrt") return CellBorder(rich::kBorderTop);
    if (w == "clbrdrr") return CellBorder(rich::kBorderRight);
    if (w == "clbrdrb") return CellBorder(rich::kBorderBottom);
    if (w == "trbrdrl" || w == "trbrdrt" || w == "trbrdrr" || w == "trbrdrb" || w == "trbrdrh" || w == "trbrdrv") {
      uint8_t side = w == "trbrdrl" ? rich::kBorderLeft : w == "trbrdrt" ? rich::kBorderTop
                     : w == "trbrdrr" ? rich::kBorderRight : w == "trbrdrb" ? rich::kBorderBottom
                     : w == "trbrdrh" ? (rich::kBorderTop | rich::kBorderBottom) : (rich::kBorderLeft | rich::kBorderRight);
      rowBorders_ |= side;
      lastBorder_ = side;
      lastBorderIsRow_ = true;
      return;
    }
    if (w == "brdrnone" || w == "brdrnil") {
      if (lastBorderIsRow_) rowBorders_ &= static_cast<uint8_t>(~lastBorder_);
      else cellBorders_ &= static_cast<uint8_t>(~lastBorder_);
      lastBorder_ = 0;
      return;
    }
    // ---- destinations
    if (w == "bin") return Binary(hasParam ? param : 0);
    if (w == "fonttbl") return void(s.target = Target::FontTable);
    if (w == "colortbl") {
      colors_.clear();
      return void(s.target = Target::ColorTable);
    }
    if (w == "pict") {
      if (s.target != Target::Main && s.target != Target::ObjResult) return void(s.target = Target::Drop);
      pict_ = Picture{};
      pictW_ = pictH_ = goalW_ = goalH_ = 0;
      scaleX_ = scaleY_ = 100;
      metric_ = false;
      half_ = -1;
      s.target = Target::Pict;
      s.pictOwner = true;
      return;
    }
    if (w == "shppict") return;  // the picture inside is read
    if (w == "upr") {
      s.inUpr = true;
      s.outer = s.target;
      return void(s.target = Target::Drop);
    }
    if (w == "ud" && s.inUpr) {
      s.target = s.outer;
      s.inUpr = false;
      return;
    }
    if (w == "object") {
      // Objects count only in the document's own text, not inside another
      // object's result.
      if (s.target != Target::Main) return void(s.target = Target::Drop);
      Emit(rich::kObjectMark);
      out_.objects.emplace_back();
      s.object = static_cast<int>(out_.objects.size() - 1);
      if (!out_.doc.marks.empty()) out_.doc.marks.back().object = s.object;
      s.target = Target::ObjBody;
      return;
    }
    if (s.object >= 0 && s.target == Target::ObjBody) {
      if (w == "objclass") return void(s.target = Target::ObjClass);
      if (w == "objdata") {
        half_ = -1;
        return void(s.target = Target::ObjData);
      }
      if (w == "result") {
        resultParaStart_ = out_.objects[static_cast<size_t>(s.object)].result.Length();
        return void(s.target = Target::ObjResult);
      }
    }
    if (starred || SkippedDestinations().count(w)) s.target = Target::Drop;
  }

  // \binN: N bytes of binary data, a picture's or else skipped.
  void Binary(long count) {
    size_t n = std::min(count > 0 ? static_cast<size_t>(count) : 0, in_.size() - pos_);
    if (Cur().target == Target::Pict)
      for (size_t i = 0; i < n; ++i) pict_.data.push_back(static_cast<char>(in_[pos_ + i]));
    pos_ += n;
  }

  void PictWord(const std::string& w, bool hasParam, long param) {
    long v = hasParam ? param : 0;
    if (w == "pngblip") pict_.kind = Picture::Kind::kPng;
    else if (w == "jpegblip") pict_.kind = Picture::Kind::kJpeg;
    else if (w == "emfblip" || w == "wmetafile" || w == "dibitmap" || w == "wbitmap" || w == "macpict" ||
             w == "pmmetafile")
      pict_.kind = Picture::Kind::kOther;
    else if (w == "picw") pictW_ = Clamp(v, 0, 1000000);
    else if (w == "pich") pictH_ = Clamp(v, 0, 1000000);
    else if (w == "picwgoal") goalW_ = Clamp(v, 0);
    else if (w == "pichgoal") goalH_ = Clamp(v, 0);
    else if (w == "picscalex") scaleX_ = Clamp(v, 1, 10000);
    else if (w == "picscaley") scaleY_ = Clamp(v, 1, 10000);
    else if (w == "bin") Binary(v);
    // Metafile kinds give their size in hundredths of a millimetre.
    if (w == "wmetafile" || w == "emfblip" || w == "pmmetafile") metric_ = true;
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
  // paragraphs and tables
  rich::TabKind tabKind_ = rich::TabKind::kLeft;
  rich::RowFormat row_;
  uint8_t cellBorders_ = 0, rowBorders_ = 0, lastBorder_ = 0;
  bool lastBorderIsRow_ = false;
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
