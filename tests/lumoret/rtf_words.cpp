#include "tests/lumoret/rtf_words.h"

#include <cctype>
#include <map>
#include <set>
#include <string_view>

namespace lumoret_test {

namespace {

bool Alnum(unsigned c) { return c < 0x80 && std::isalnum(static_cast<int>(c)); }

const std::set<std::string_view>& Invisible() {
  static const std::set<std::string_view> words = {
      "fonttbl", "colortbl", "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
      "footerr", "footerf", "footnote", "fldinst", "pict", "objdata", "objclass", "listtable", "listoverridetable",
      "rsidtbl", "generator", "themedata", "colorschememapping", "latentstyles", "datastore", "filetbl", "revtbl",
      "xmlnstbl", "nonshppict", "shpinst", "bkmkstart", "bkmkend", "author", "operator", "title", "subject",
      "keywords", "comment", "doccomm", "company", "pgdsctbl", "falt", "nonesttables", "annotation", "atnid",
      "atnauthor", "txe", "xe", "tc", "template", "userprops", "pnseclvl", "panose"};
  return words;
}

bool SymbolName(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
  return name == "symbol" || name == "wingdings" || name == "wingdings 2" || name == "wingdings 3" ||
         name == "webdings";
}

class Words {
 public:
  explicit Words(const std::string& in) : in_(in) {}

  std::vector<std::string> Run() {
    groups_.push_back({});
    while (pos_ < in_.size()) {
      unsigned char c = static_cast<unsigned char>(in_[pos_++]);
      if (c == '{') {
        groups_.push_back(groups_.back());
      } else if (c == '}') {
        if (groups_.size() > 1) {
          if (groups_.back().fontTable && !groups_[groups_.size() - 2].fontTable) FontDone();
          groups_.pop_back();
        }
      } else if (c == '\\') {
        Control();
      } else if (c != '\r' && c != '\n') {
        Char(c, true);
      }
    }
    Break();
    return std::move(words_);
  }

 private:
  struct Group {
    bool skip = false, hidden = false, fontTable = false, upr = false;
    int font = -1;
  };

  // A character of the text; `byte`: a byte of the code page, not \uN.
  void Char(unsigned c, bool byte) {
    Group& g = groups_.back();
    if (g.fontTable) {
      if (c == ';') FontDone();
      else if (c >= 0x20) fontName_ += static_cast<char>(c);
      return;
    }
    if (skipFallback_ > 0) {
      --skipFallback_;
      return;
    }
    if (byte && trail_) {  // the second byte of a double-byte character
      trail_ = false;
      return Break();
    }
    if (byte && c >= 0x81 && DoubleByte()) trail_ = true;
    if (g.skip || g.hidden) return;  // text that is not there joins what stands around it
    if (Alnum(c) && !SymbolFont()) word_ += static_cast<char>(std::tolower(static_cast<int>(c)));
    else Break();
  }

  struct Font {
    bool symbol = false;
    int charset = 1;  // 1: the document's code page
  };
  const Font* CurrentFont() const {
    auto it = fonts_.find(groups_.back().font);
    return it == fonts_.end() ? nullptr : &it->second;
  }
  bool SymbolFont() const { return CurrentFont() && CurrentFont()->symbol; }
  bool DoubleByte() const {
    const Font* f = CurrentFont();
    if (f && f->symbol) return false;
    if (f && f->charset != 1) return f->charset == 128 || f->charset == 129 || f->charset == 134 || f->charset == 136;
    return doubleByte_;
  }

  void FontDone() {
    if (fontNumber_ >= 0) fonts_[fontNumber_] = {charset_ == 2 || SymbolName(fontName_), charset_};
    fontNumber_ = -1;
    fontName_.clear();
    charset_ = 1;
  }

  void Break() {
    if (!word_.empty()) words_.push_back(word_);
    word_.clear();
  }

  void Control() {
    if (pos_ >= in_.size()) return;
    unsigned char c = static_cast<unsigned char>(in_[pos_]);
    if (!std::isalpha(c)) {
      ++pos_;
      if (c == '*') starred_ = true;
      else if (c == '\'' && pos_ + 2 <= in_.size()) {
        unsigned v = static_cast<unsigned>(std::stoul(in_.substr(pos_, 2), nullptr, 16));
        pos_ += 2;
        Char(v, true);
      } else if (c == '\\' || c == '{' || c == '}') {
        Char(c, true);
      } else {
        Break();
      }
      return;
    }
    std::string word;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_]))) word += in_[pos_++];
    bool has = false, negative = false;
    long param = 0;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
      has = true;
      if (param < 100000000) param = param * 10 + (in_[pos_] - '0');
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    bool starred = starred_;
    starred_ = false;
    Word(word, has, param, starred);
  }

  void Word(const std::string& w, bool has, long param, bool starred) {
    Group& g = groups_.back();
    if (w == "u") {
      skipFallback_ = 0;
      Char(static_cast<unsigned>(param < 0 ? param + 65536 : param), false);
      skipFallback_ = uc_;
      return;
    }
    skipFallback_ = 0;
    if (g.fontTable) {
      if (w == "f") fontNumber_ = static_cast<int>(param);
      if (w == "fcharset") charset_ = static_cast<int>(param);
      return;
    }
    if (w == "uc") uc_ = has ? static_cast<int>(param) : 1;
    else if (w == "ansicpg") doubleByte_ = param == 932 || param == 936 || param == 949 || param == 950;
    else if (w == "fonttbl") g.fontTable = true;
    else if (w == "f") g.font = static_cast<int>(param);
    else if (w == "v") g.hidden = !has || param != 0;
    else if (w == "plain") g.hidden = false, g.font = -1;
    else if (w == "upr") g.skip = g.upr = true;
    else if (w == "ud" && g.upr) g.skip = false;
    else if (w == "bin") pos_ += static_cast<size_t>(std::max(0L, param));
    else if (starred || Invisible().count(w)) g.skip = true;
    else if (w == "par" || w == "line" || w == "tab" || w == "cell" || w == "nestcell" || w == "row" ||
             w == "page" || w == "sect" || w == "emspace" || w == "enspace" || w == "emdash" || w == "endash" ||
             w == "bullet")
      Break();
  }

  const std::string& in_;
  size_t pos_ = 0;
  std::vector<Group> groups_;
  std::vector<std::string> words_;
  std::string word_;
  bool starred_ = false, doubleByte_ = false, trail_ = false;
  int charset_ = 1;
  int uc_ = 1, skipFallback_ = 0, fontNumber_ = -1;
  std::string fontName_;
  std::map<int, Font> fonts_;
};

}  // namespace

std::vector<std::string> VisibleRtfWords(const std::string& rtf) { return Words(rtf).Run(); }

std::vector<std::string> TextWords(const std::string& text) {
  std::vector<std::string> out;
  std::string w;
  for (unsigned char c : text) {
    if (Alnum(c)) {
      w += static_cast<char>(std::tolower(c));
    } else if (!w.empty()) {
      out.push_back(w);
      w.clear();
    }
  }
  if (!w.empty()) out.push_back(w);
  return out;
}

}  // namespace lumoret_test
