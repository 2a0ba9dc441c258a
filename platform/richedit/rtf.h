#pragma once
// Reading the bytes streamed into the rich edit control: RTF and plain text
// become a document (document.h).
//
// RTF: groups, control words and symbols; each control word is a row of a
// table (rtf.cpp) by its RTF name. Text: \par, \line, \tab, \page, \cell
// and \row (\nestcell and \nestrow for a table inside a cell, at the
// paragraph's \itap depth), \'hh in the code page of the current font's
// \fcharset (0 is Western) or else the document's \ansicpg (Windows-1252
// when none is named), \uN with its \ucN fallback (a surrogate pair becomes
// one character), the usual symbols. Hidden text (\v) is left out, its
// paragraph and cell marks kept. \sect ends a section; the next section's
// \sbkpage, \sbkodd or \sbkeven (or none named) makes it a page break,
// \sbknone and \sbkcol a paragraph end, and the document's last \sect adds
// nothing. A symbol font (Symbol, Wingdings, Wingdings 2 and 3, Webdings, by
// name) gives the Unicode characters its code points draw (symbol_fonts.h).
// Character formats: font (\fN from the font table), \fs, \b, \i, \ul and
// its kinds (\uldb, \uld, \ulwave, \ulw, \ulth ...), \strike, \caps,
// \scaps, \cf and \highlight (colour table), character shading (\chcbpat,
// \chcfpat, \chshdng), \expnd, \expndtw,
// \super, \sub, \up, \dn, \nosupersub, \plain. Paragraph formats: \ql \qc
// \qr \qj, \li \ri \fi, \sb \sa, \sl \slmult, \tx with \tqc \tqr \tqdec and
// the leaders \tldot \tlhyph \tlul \tlth \tleq, \ltrpar \rtlpar, shading
// (\cbpat, \cfpat, \shading), borders (\brdrt \brdrb \brdrl \brdrr \box),
// \intbl, \itap, \pard. Tables: \trowd, \trgaph, \trleft, \trrh, \cellx,
// cell borders (\clbrdrl/t/r/b, and \trbrdr* for the sides a cell names
// none of), cell shading (\clcbpat, \clcfpat, \clshdng), \clvertalt/c/b,
// merged cells (\clvmgf \clvmrg, \clmgf \clmrg); the row words inside
// {\*\nesttableprops} describe the inner table. A border's words (\brdrs,
// \brdrdb, \brdrdot, \brdrdash ..., \brdrw, \brdrcf; \brdrnone, \brdrnil and
// \brdrtbl: no line) describe the sides named last. Pictures: \pict with
// \pngblip or \jpegblip keeps its image; other kinds keep only their size;
// the size is \picwgoal x \pichgoal (else the image's own) scaled by
// \picscalex/\picscaley; {\*\shppict} is read, {\nonshppict} skipped.
// Destinations that carry no text of the document are skipped (info,
// stylesheet, headers and footers, field instructions, every \* destination
// that is not known). An embedded object {\object ...} leaves a mark whose
// class (\objclass), data (\objdata, hex) and result (\result) are kept
// aside. Groups left open are closed at the end; whatever follows the
// closing of the outermost group is ignored.
//
// Plain text: UTF-8 after a UTF-8 byte-order mark or when the whole text is
// valid UTF-8, UTF-16 after its byte-order mark (either order), else
// Windows-1252; CR LF, LF and CR alone end a paragraph. A NUL is a character
// like any other. Plain text takes the fixed-pitch face (kPlainFace).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/richedit/document.h"

namespace win::rtf {

// Streamed bytes, kept in pieces so that growing never copies them whole.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string_view s) { Append(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  void Append(const uint8_t* p, size_t n);
  size_t size() const { return size_; }
  uint8_t operator[](size_t i) const { return static_cast<uint8_t>(pieces_[i >> kShift][i & (kPiece - 1)]); }
  std::string Prefix(size_t n) const;

 private:
  static constexpr size_t kShift = 16;
  static constexpr size_t kPiece = size_t{1} << kShift;
  std::vector<std::string> pieces_;
  size_t size_ = 0;
};

struct Object {
  std::string className;
  std::vector<uint8_t> data;
  rich::Document result;
};

struct Parsed {
  rich::Document doc;
  std::vector<Object> objects;  // Mark::object numbers them
};

Parsed ReadRtf(const Bytes& bytes);
rich::Document ReadPlain(const Bytes& bytes);
inline Parsed ReadRtf(std::string_view s) { return ReadRtf(Bytes(s)); }
inline rich::Document ReadPlain(std::string_view s) { return ReadPlain(Bytes(s)); }
// True when the bytes start with "{\rtf" in any case.
bool LooksLikeRtf(std::string_view bytes);

}  // namespace win::rtf
