#pragma once
// The rich edit control's document: its characters with their character
// formats, paragraph formats, table rows and pictures.
//
// The characters are code points (one per position, as the control counts
// them), kept in one, two or four bytes each as the widest of them needs, so
// a Latin text costs about a byte a character. Formats are runs: each run
// starts at a character and lasts until the next run. A paragraph's format
// is the format of its end mark; a table row's end mark carries the row's
// cell layout.
//
// Marks in the text:
//   U+000D  paragraph end (\par); also the end of a table row (\row)
//   U+000B  line break inside a paragraph (\line)
//   U+0007  end of a table cell (\cell)
//   U+000C  page break (\page, \sect); it also ends its paragraph
//   U+FFFC  a picture or an embedded object; Document::marks holds one entry
//           for each, in text order

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace win::rich {

inline constexpr char32_t kParagraphEnd = U'\r';
inline constexpr char32_t kLineBreak = U'\v';
inline constexpr char32_t kCellEnd = U'\a';
inline constexpr char32_t kPageBreak = U'\f';
inline constexpr char32_t kObjectMark = U'\uFFFC';

// Half-points: 20 is 10 points, the size of text that names none.
inline constexpr uint16_t kDefaultSize = 20;
inline constexpr uint32_t kAutoColor = 0xFF000000;
inline constexpr int32_t kDefaultTab = 720;

// Code points in the narrowest element width that holds all of them.
class Chars {
 public:
  size_t size() const { return data_.size() / width_; }
  bool empty() const { return data_.empty(); }
  char32_t operator[](size_t i) const {
    const char* p = data_.data() + i * width_;
    if (width_ == 1) return static_cast<unsigned char>(*p);
    if (width_ == 2) return static_cast<char32_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
    return static_cast<char32_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8 |
                                 static_cast<unsigned char>(p[2]) << 16 | static_cast<uint32_t>(static_cast<unsigned char>(p[3])) << 24);
  }
  void push_back(char32_t c);
  void Reserve(size_t count) { data_.reserve(count * width_); }
  void ShrinkToFit() { data_.shrink_to_fit(); }
  // Replaces [from, to) with `insert`.
  void Replace(size_t from, size_t to, const Chars& insert);
  Chars Slice(size_t from, size_t to) const;
  std::wstring Wide(size_t from, size_t to) const;
  // Bytes held, for the memory the document takes.
  size_t Capacity() const { return data_.capacity(); }
  int Width() const { return width_; }

 private:
  void Widen(int width);
  int width_ = 1;
  std::string data_;
};

enum Effect : uint8_t { kBold = 1, kItalic = 2, kUnderline = 4, kStrike = 8, kCaps = 16, kSmallCaps = 32 };
// How an underlined run (kUnderline) is underlined.
enum class Underline : uint8_t { kSingle, kDouble, kDotted, kDash, kWords, kWave, kThick };

struct CharFormat {
  uint16_t face = 0;  // FaceName(face); 0 is the default face
  uint16_t size = kDefaultSize;
  uint8_t effects = 0;
  Underline underline = Underline::kSingle;
  int16_t rise = 0;     // half-points above the baseline (negative: below)
  bool smaller = false;  // superscript or subscript: drawn at two thirds of the size
  uint32_t color = kAutoColor;  // 0x00RRGGBB
  uint32_t back = kAutoColor;   // highlight or character shading; kAutoColor: none
  int16_t spacing = 0;          // twips added after each character (negative: condensed)
  bool operator==(const CharFormat&) const = default;
};

// Font faces by number, shared by every document of the process; 0 is the
// control's default face for RTF, 1 the fixed-pitch face of plain text.
uint16_t InternFace(std::string_view pangoFamilies);
std::string FaceName(uint16_t face);
inline constexpr uint16_t kPlainFace = 1;

enum class Align : uint8_t { kLeft, kCenter, kRight, kJustify };
enum class TabKind : uint8_t { kLeft, kCenter, kRight, kDecimal };
// What fills the room a tab spans.
enum class TabLeader : uint8_t { kNone, kDots, kHyphens, kUnderline, kThick, kEquals };
struct TabStop {
  int32_t pos = 0;  // twips from the left margin
  TabKind kind = TabKind::kLeft;
  TabLeader leader = TabLeader::kNone;
  bool operator==(const TabStop&) const = default;
};

// One border line of a cell or a paragraph; kNone draws nothing.
enum class BorderStyle : uint8_t { kNone, kSingle, kDouble, kDotted, kDashed };
struct BorderLine {
  BorderStyle style = BorderStyle::kNone;
  int16_t width = 10;          // twips
  uint32_t color = kAutoColor;
  bool operator==(const BorderLine&) const = default;
};
// Sides, as bits of Cell::borders and as indexes of the BorderLine arrays.
enum CellBorder : uint8_t { kBorderLeft = 1, kBorderTop = 2, kBorderRight = 4, kBorderBottom = 8 };
enum Side : uint8_t { kLeftSide, kTopSide, kRightSide, kBottomSide };

enum class VAlign : uint8_t { kTop, kCenter, kBottom };
// A merged cell: the first of its group, or one that continues the group
// (to the left, or from the row above).
enum class Merge : uint8_t { kNone, kFirst, kContinue };
struct Cell {
  int32_t right = 0;  // twips from the left margin (\cellx)
  uint8_t borders = 0;  // the sides drawn (CellBorder bits)
  BorderLine lines[4];  // by Side
  uint32_t shading = kAutoColor;  // the cell's fill; kAutoColor: none
  VAlign valign = VAlign::kTop;
  Merge hmerge = Merge::kNone, vmerge = Merge::kNone;
  bool operator==(const Cell&) const = default;
};
// Tables inside tables are read and laid out this deep at most.
inline constexpr int kMaxTableDepth = 8;
struct RowFormat {
  int32_t left = 0;  // \trleft
  int32_t gap = 0;   // \trgaph: half the space between cells
  int32_t height = 0;  // \trrh: > 0 at least, < 0 exactly, 0 as the cells need
  std::vector<Cell> cells;
  bool operator==(const RowFormat&) const = default;
};

struct ParaFormat {
  Align align = Align::kLeft;
  int32_t left = 0, right = 0, first = 0;  // indents, twips
  int32_t before = 0, after = 0;           // space, twips
  int32_t line = 0;           // \sl: 0 single, > 0 at least, < 0 exactly; with lineMultiple 240ths of single
  bool lineMultiple = false;
  std::vector<TabStop> tabs;  // ascending
  bool inTable = false;       // a paragraph of a table cell
  uint8_t depth = 0;          // tables: 1 a cell of a table, 2 of a table inside a cell, ...
  bool rtl = false;           // laid out right to left
  uint32_t shading = kAutoColor;  // the paragraph's fill; kAutoColor: none
  BorderLine lines[4];            // the paragraph's borders, by Side
  std::shared_ptr<const RowFormat> row;  // set on a row's end mark
  // The table depth of the paragraph (a cell paragraph that names none is 1).
  int Depth() const { return depth ? depth : inTable ? 1 : 0; }
  bool operator==(const ParaFormat& o) const {
    return align == o.align && left == o.left && right == o.right && first == o.first && before == o.before &&
           after == o.after && line == o.line && lineMultiple == o.lineMultiple && tabs == o.tabs &&
           inTable == o.inTable && depth == o.depth && rtl == o.rtl && shading == o.shading &&
           std::equal(lines, lines + 4, o.lines) && (row == o.row || (row && o.row && *row == *o.row));
  }
};

struct Picture {
  enum class Kind : uint8_t { kPng, kJpeg, kOther };
  Kind kind = Kind::kOther;
  std::string data;            // the image file's bytes (PNG or JPEG)
  int32_t width = 0, height = 0;  // twips on the page
};

// A picture mark has a picture; an object mark has none (the control keeps
// the object itself); `object` numbers a reader's objects.
struct Mark {
  int32_t cp = 0;  // where its U+FFFC stands
  std::shared_ptr<const Picture> picture;
  int32_t object = -1;
};

struct CharRun {
  int32_t start = 0;
  CharFormat format;
};
struct ParaRun {
  int32_t start = 0;
  std::shared_ptr<const ParaFormat> format;
};

class Document {
 public:
  Chars chars;
  std::vector<CharRun> charRuns;  // ascending starts; the first at 0 when there is text
  std::vector<ParaRun> paraRuns;
  std::vector<Mark> marks;  // one per U+FFFC, ascending cp

  int32_t Length() const { return static_cast<int32_t>(chars.size()); }
  // The format at a character (the defaults past the end or without runs).
  const CharFormat& CharAt(int32_t cp) const;
  const ParaFormat& ParaAt(int32_t cp) const;
  // Index of the run in effect at `cp` (runs.size() when none).
  size_t CharRunAt(int32_t cp) const;

  // Appends one character with its formats; formats equal to the last
  // run's extend it.
  void Add(char32_t c, const CharFormat& cf, const std::shared_ptr<const ParaFormat>& pf);
  // Sets the paragraph format of the characters from `from` to the end
  // (a paragraph's format is decided at its end mark).
  void SetParaFrom(int32_t from, const std::shared_ptr<const ParaFormat>& pf);
  // Replaces [from, to) with `insert`; marks follow their characters.
  // Returns the index of the first replaced mark.
  size_t Replace(int32_t from, int32_t to, const Document& insert);
  // Number of marks before `cp`; a mark at `cp` is marks[MarksBefore(cp)].
  size_t MarksBefore(int32_t cp) const;
  // Bytes the document holds (characters, runs, marks), for the memory
  // check of a load.
  size_t MemoryBytes() const;
  void ShrinkToFit();
};

std::shared_ptr<const ParaFormat> DefaultParaFormat();

}  // namespace win::rich
