#include "platform/richedit/rtf.h"

#include <cctype>
#include <set>

namespace win::rtf {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr wchar_t kCp1252High[32] = {
    L'\u20AC', L'\uFFFD', L'\u201A', L'\u0192', L'\u201E', L'\u2026', L'\u2020', L'\u2021',
    L'\u02C6', L'\u2030', L'\u0160', L'\u2039', L'\u0152', L'\uFFFD', L'\u017D', L'\uFFFD',
    L'\uFFFD', L'\u2018', L'\u2019', L'\u201C', L'\u201D', L'\u2022', L'\u2013', L'\u2014',
    L'\u02DC', L'\u2122', L'\u0161', L'\u203A', L'\u0153', L'\uFFFD', L'\u017E', L'\u0178',
};

wchar_t FromCp1252(uint8_t b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return static_cast<wchar_t>(b);
}

enum class Target { Main, Drop, ObjClass, ObjData, ObjResult, ObjBody };

struct State {
  uint16_t size = kDefaultSize;
  int uc = 1;
  Target target = Target::Main;
  int object = -1;
};

const std::set<std::string_view>& SkippedDestinations() {
  static const std::set<std::string_view> words = {
      "fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf",
      "footer", "footerl", "footerr", "footerf", "footnote", "fldinst", "listtable", "listoverridetable",
      "rsidtbl", "generator", "themedata", "colorschememapping", "latentstyles", "datastore", "filetbl",
      "revtbl", "xmlnstbl", "nonshppict", "shpinst", "bkmkstart", "bkmkend", "author", "operator", "title",
      "subject", "keywords", "comment", "doccomm", "company", "pgdsctbl", "objalias", "objsect", "objtime",
  };
  return words;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  Document Run() {
    stack_.push_back(State{});
    while (pos_ < in_.size()) {
      char c = in_[pos_++];
      if (c == '{') {
        skip_ = 0;
        stack_.push_back(stack_.back());
      } else if (c == '}') {
        skip_ = 0;
        // The document's own group is closed: what follows is not part of it.
        if (stack_.size() <= 2) break;
        stack_.pop_back();
      } else if (c == '\\') {
        Control();
      } else if (c == '\r' || c == '\n') {
        // line structure of the file carries no meaning
      } else {
        Emit(FromCp1252(static_cast<uint8_t>(c)));
      }
    }
    return std::move(doc_);
  }

 private:
  State& Cur() { return stack_.back(); }

  void Emit(wchar_t ch) {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    State& s = Cur();
    switch (s.target) {
      case Target::Main: doc_.text.Add(ch, s.size); break;
      case Target::ObjResult: doc_.objects[static_cast<size_t>(s.object)].result.Add(ch, s.size); break;
      case Target::ObjClass:
        if (ch < 0x80) doc_.objects[static_cast<size_t>(s.object)].className.push_back(static_cast<char>(ch));
        break;
      case Target::ObjData: HexDigit(static_cast<char>(ch)); break;
      case Target::Drop:
      case Target::ObjBody: break;
    }
  }

  void HexDigit(char c) {
    int v = HexValue(c);
    if (v < 0) return;
    auto& data = doc_.objects[static_cast<size_t>(Cur().object)].data;
    if (halfByte_ < 0) {
      halfByte_ = v;
    } else {
      data.push_back(static_cast<uint8_t>(halfByte_ * 16 + v));
      halfByte_ = -1;
    }
  }

  void Control() {
    if (pos_ >= in_.size()) return;
    char c = in_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      Symbol(c);
      return;
    }
    std::string word;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_]))) word += in_[pos_++];
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
      hasParam = true;
      if (param < 100000000) param = param * 10 + (in_[pos_] - '0');
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    Word(word, hasParam, param);
  }

  void Symbol(char c) {
    switch (c) {
      case '\\':
      case '{':
      case '}': Emit(static_cast<wchar_t>(c)); break;
      case '~': Emit(L'\u00A0'); break;
      case '_': Emit(L'\u2011'); break;
      case '-': break;  // optional hyphen
      case '*': starred_ = true; break;
      case '\r':
      case '\n': Emit(L'\r'); break;
      case '\'': {
        if (pos_ + 2 <= in_.size()) {
          int hi = HexValue(in_[pos_]), lo = HexValue(in_[pos_ + 1]);
          if (hi >= 0 && lo >= 0) {
            pos_ += 2;
            Emit(FromCp1252(static_cast<uint8_t>(hi * 16 + lo)));
          }
        }
        break;
      }
      default: break;
    }
  }

  void Word(const std::string& w, bool hasParam, long param) {
    bool starred = starred_;
    starred_ = false;
    State& s = Cur();
    if (w == "u") {
      skip_ = 0;
      long v = param < 0 ? param + 65536 : param;
      Emit(static_cast<wchar_t>(v));
      skip_ = s.uc;
      return;
    }
    skip_ = 0;
    if (w == "par") return Emit(L'\r');
    if (w == "line") return Emit(L'\v');
    if (w == "tab") return Emit(L'\t');
    if (w == "emdash") return Emit(L'\u2014');
    if (w == "endash") return Emit(L'\u2013');
    if (w == "bullet") return Emit(L'\u2022');
    if (w == "lquote") return Emit(L'\u2018');
    if (w == "rquote") return Emit(L'\u2019');
    if (w == "ldblquote") return Emit(L'\u201C');
    if (w == "rdblquote") return Emit(L'\u201D');
    if (w == "emspace" || w == "enspace" || w == "qmspace") return Emit(L' ');
    if (w == "uc") {
      s.uc = hasParam && param >= 0 && param < 16 ? static_cast<int>(param) : 1;
      return;
    }
    if (w == "fs") {
      s.size = hasParam && param > 0 && param < 3200 ? static_cast<uint16_t>(param) : kDefaultSize;
      return;
    }
    if (w == "plain") {
      s.size = kDefaultSize;
      return;
    }
    if (w == "bin") {  // binary data inside a picture: skip its bytes
      size_t n = hasParam && param > 0 ? static_cast<size_t>(param) : 0;
      pos_ = n > in_.size() - pos_ ? in_.size() : pos_ + n;
      return;
    }
    if (w == "object") {
      // Objects count only in the document's own text, not inside another
      // object's result.
      if (s.target != Target::Main) return void(s.target = Target::Drop);
      doc_.objects.emplace_back();
      s.object = static_cast<int>(doc_.objects.size() - 1);
      Emit(kObjectMark);
      s.target = Target::ObjBody;
      return;
    }
    if (s.object >= 0 && s.target == Target::ObjBody) {
      if (w == "objclass") return void(s.target = Target::ObjClass);
      if (w == "objdata") {
        halfByte_ = -1;
        return void(s.target = Target::ObjData);
      }
      if (w == "result") return void(s.target = Target::ObjResult);
    }
    if (starred || SkippedDestinations().count(w)) s.target = Target::Drop;
  }

  std::string_view in_;
  size_t pos_ = 0;
  std::vector<State> stack_;
  Document doc_;
  int skip_ = 0;  // fallback characters of \u still to drop
  bool starred_ = false;
  int halfByte_ = -1;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) {
  if (bytes.size() < 5) return false;
  const char* sig = "{\\rtf";
  for (size_t i = 0; i < 5; ++i)
    if (std::tolower(static_cast<unsigned char>(bytes[i])) != sig[i]) return false;
  return true;
}

Document ReadRtf(std::string_view bytes) { return Reader(bytes).Run(); }

Document ReadPlain(std::string_view bytes) {
  Document doc;
  bool utf8 = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
  size_t i = utf8 ? 3 : 0;
  while (i < bytes.size()) {
    auto b = static_cast<uint8_t>(bytes[i]);
    if (b == '\r') {
      doc.text.Add(L'\r', kDefaultSize);
      i += (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (b == '\n') {
      doc.text.Add(L'\r', kDefaultSize);
      ++i;
      continue;
    }
    if (!utf8 || b < 0x80) {
      doc.text.Add(FromCp1252(b), kDefaultSize);
      ++i;
      continue;
    }
    // A UTF-8 sequence; a broken one gives U+FFFD for its first byte.
    size_t extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    uint32_t cp = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool ok = extra > 0 && i + extra < bytes.size();
    for (size_t k = 1; ok && k <= extra; ++k) {
      auto d = static_cast<uint8_t>(bytes[i + k]);
      ok = (d & 0xC0) == 0x80;
      cp = (cp << 6) | (d & 0x3F);
    }
    doc.text.Add(ok ? static_cast<wchar_t>(cp) : L'\uFFFD', kDefaultSize);
    i += ok ? extra + 1 : 1;
  }
  return doc;
}

}  // namespace win::rtf
