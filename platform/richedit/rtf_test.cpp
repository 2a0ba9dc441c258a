// The RTF and plain-text reader and the document it builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/richedit/rtf.h"
#include "platform/richedit/symbol_fonts.h"

namespace win {
namespace {

std::wstring Text(const rich::Document& d) { return d.chars.Wide(0, d.chars.size()); }
std::wstring RtfText(const std::string& in) { return Text(rtf::ReadRtf(in).doc); }

TEST(Rtf, TextOfTheDocument) {
  struct Case {
    std::string in;
    std::wstring text;
  };
  std::vector<Case> cases = {
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}Hello\\par World}",
       L"Hello\rWorld"},
      {"{\\rtf1 a\\tab b\\line c\\page d\\sect e}", L"a\tb\vc\fd\fe"},
      {"{\\rtf1 Gr\\'fc\\'dfe \\'80}", L"Grüße €"},
      {"{\\rtf1 \\u8364?x \\uc2\\u8364ab y \\u-200?}", L"€x € y \uFF38"},
      // A surrogate pair is one character; a half alone stays as it came.
      {"{\\rtf1 \\u-10179?\\u-8704?|\\u-10179?x}", L"\U0001F600|\xD83Dx"},
      {"{\\rtf1{\\*\\generator W;}{\\info{\\title T}}A{\\*\\unknown zz}C}", L"AC"},
      {"{\\rtf1 a\\\\b\\{c\\}d\\~e}", L"a\\b{c}d\u00A0e"},
      {"{\\rtf1 a\r\nb\\\nc}", L"ab\rc"},
      {"{\\rtf1 a}}}b", L"a"},
      {"{\\rtf1 open {\\b group", L"open group"},
      {"{\\rtf1 a{\\pict\\bin999 xx}", L"a\uFFFC"},
      // The document's code page, and a font's own charset before it.
      {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", L"При"},
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset238 Arial CE;}}\\f1 \\'b9\\f0 \\'b9}", L"ą¹"},
      {"{\\rtf1\\ansicpg932 \\'82\\'a0}", L"あ"},
      // Tables: cells end with U+0007, the row with a paragraph end.
      {"{\\rtf1\\trowd\\cellx1000\\cellx2000\\pard\\intbl A\\cell B\\cell\\row\\pard C}", L"A\aB\a\rC"},
      // Fields show their result; \upr shows its Unicode part.
      {"{\\rtf1{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt Link}}{\\upr{ansi}{\\*\\ud{uni}}}}", L"Linkuni"},
  };
  for (const auto& c : cases) EXPECT_EQ(RtfText(c.in), c.text) << c.in;
}

TEST(Rtf, CharacterFormats) {
  rtf::Parsed p = rtf::ReadRtf(
      "{\\rtf1{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
      "{\\colortbl;\\red255\\green0\\blue0;}"
      "\\fs40 a{\\b b}{\\i\\f1 c}{\\ul d}{\\strike e}{\\cf1 f}{\\super g}{\\sub h}\\plain i}");
  const rich::Document& d = p.doc;
  ASSERT_EQ(Text(d), L"abcdefghi");
  EXPECT_EQ(d.CharAt(0).size, 40);
  EXPECT_EQ(rich::FaceName(d.CharAt(0).face), "Times New Roman,serif");
  EXPECT_EQ(d.CharAt(1).effects, rich::kBold);
  EXPECT_EQ(d.CharAt(2).effects, rich::kItalic);
  EXPECT_EQ(rich::FaceName(d.CharAt(2).face), "Arial,sans-serif");
  EXPECT_EQ(d.CharAt(3).effects, rich::kUnderline);
  EXPECT_EQ(d.CharAt(4).effects, rich::kStrike);
  EXPECT_EQ(d.CharAt(5).color, 0xFF0000u);
  EXPECT_GT(d.CharAt(6).rise, 0);
  EXPECT_TRUE(d.CharAt(6).smaller);
  EXPECT_LT(d.CharAt(7).rise, 0);
  EXPECT_EQ(d.CharAt(8).size, rich::kDefaultSize);
  EXPECT_EQ(d.CharAt(8).effects, 0);
  EXPECT_EQ(d.CharAt(8).face, d.CharAt(0).face);  // \plain goes back to the default font
  EXPECT_EQ(d.charRuns.size(), 9u);
}

TEST(Rtf, ParagraphFormatsBelongToTheParagraphEnd) {
  rtf::Parsed p = rtf::ReadRtf(
      "{\\rtf1\\pard\\qc Centred\\par\\pard\\li720\\ri360\\fi-360\\sb120\\sa240\\sl-300 Indent\\qr\\par"
      "\\pard\\tx1000\\tqr\\tx5000 Tabs\\par\\pard Plain}");
  const rich::Document& d = p.doc;
  ASSERT_EQ(Text(d), L"Centred\rIndent\rTabs\rPlain");
  EXPECT_EQ(d.ParaAt(0).align, rich::Align::kCenter);
  const rich::ParaFormat& f = d.ParaAt(8);
  EXPECT_EQ(f.align, rich::Align::kRight);  // set before its \par, it holds for the whole paragraph
  EXPECT_EQ(f.left, 720);
  EXPECT_EQ(f.right, 360);
  EXPECT_EQ(f.first, -360);
  EXPECT_EQ(f.before, 120);
  EXPECT_EQ(f.after, 240);
  EXPECT_EQ(f.line, -300);
  EXPECT_EQ(d.ParaAt(15).tabs, (std::vector<rich::TabStop>{{1000, rich::TabKind::kLeft}, {5000, rich::TabKind::kRight}}));
  EXPECT_EQ(d.ParaAt(20).align, rich::Align::kLeft);
  EXPECT_TRUE(d.ParaAt(20).tabs.empty());
}

TEST(Rtf, TableRowsCarryTheirCells) {
  rtf::Parsed p = rtf::ReadRtf(
      "{\\rtf1\\trowd\\trgaph108\\trleft-108\\clbrdrt\\brdrs\\clbrdrb\\brdrs\\cellx3000"
      "\\clbrdrt\\brdrs\\clbrdrl\\brdrnone\\cellx6000\\pard\\intbl Feld\\cell Wert\\cell\\row}");
  const rich::Document& d = p.doc;
  ASSERT_EQ(Text(d), L"Feld\aWert\a\r");
  const rich::ParaFormat& end = d.ParaAt(10);
  ASSERT_TRUE(end.row);
  EXPECT_EQ(end.row->gap, 108);
  EXPECT_EQ(end.row->left, -108);
  ASSERT_EQ(end.row->cells.size(), 2u);
  EXPECT_EQ(end.row->cells[0].right, 3000);
  EXPECT_EQ(end.row->cells[0].borders, rich::kBorderTop | rich::kBorderBottom);
  EXPECT_EQ(end.row->cells[1].borders, rich::kBorderTop);
  EXPECT_TRUE(d.ParaAt(0).inTable);
  EXPECT_FALSE(d.ParaAt(0).row);
}

TEST(Rtf, HiddenTextSectionsAndCharacterSetsShapeTheText) {
  struct Case {
    std::string in;
    std::wstring text;
  };
  const std::string fonts = "{\\fonttbl{\\f0\\fcharset128 MS Mincho;}{\\f1\\fcharset0 Arial;}{\\f2\\fcharset2 Wingdings;}"
                            "{\\f3 Symbol;}{\\f4\\fcharset204 Arial Cyr;}{\\f5\\fcharset1 Default;}}";
  std::vector<Case> cases = {
      // Hidden text is left out; its paragraph marks stay.
      {"{\\rtf1 {\\v kit}A{\\v x\\par y}B\\v C\\v0 D\\plain E}", L"A\rBDE"},
      // A section break starts a page only when the next section asks for one;
      // the last one adds nothing.
      {"{\\rtf1 a\\par\\sect\\sectd\\sbknone b\\sect c\\sect\\sectd d\\sect}", L"a\rb\rc\fd"},
      {"{\\rtf1 a\\sect\\sectd\\sbkodd b\\sect\\sbkeven c\\sect\\sbkcol d}", L"a\fb\fc\rd"},
      // Each font's own character set; the document's code page where it names none.
      {"{\\rtf1\\ansi\\ansicpg932" + fonts + "\\f1 \\'93T\\'94\\f0 \\'82\\'a0\\f4 \\'cf\\f5 \\'82\\'a0}", L"\u201CT\u201D\u3042\u041F\u3042"},
      // Symbol fonts: bytes, letters and \uN in U+F020-U+F0FF are the characters they draw.
      {"{\\rtf1" + fonts + "\\f2 \\'fe\\'a8o\\u61692?\\'fd\\f3 abW\\'b7}",
       L"\U0001F5F9\U0001F78E\U0001F78F\u2713\U0001F5F7\u03B1\u03B2\u03A9\u2022"},
      // Wingdings 2/3 and Webdings by name; a code point with no character
      // is a neutral square, never its letter.
      {"{\\rtf1{\\fonttbl{\\f1 Wingdings 2;}{\\f2 Wingdings 3;}{\\f3 Webdings;}}"
       "\\f1 PRT\\u61473?\\'fa\\f2 !p\\'c6m\\'f1\\f3 ar<k\\'7f}",
       L"\U0001F5F8\u2611\u2612\U0001F58A\u25A1\u2B60\u25B2\U0001F846\U0001F856\u25A1\u2714\U0001F5D9\u23F9"
       L"\U0001F6F0\u25A1"},
  };
  for (const auto& c : cases) EXPECT_EQ(RtfText(c.in), c.text) << c.in;
  rtf::Parsed p = rtf::ReadRtf("{\\rtf1" + fonts + "\\f2 o\\f1 x}");
  EXPECT_NE(rich::FaceName(p.doc.CharAt(0).face).find("DejaVu Sans"), std::string::npos);
  EXPECT_NE(rich::FaceName(p.doc.CharAt(0).face).find("Symbola"), std::string::npos);
}

TEST(Rtf, SymbolFontsMapEachCodePointToTheCharacterItDraws) {
  using rich::SymbolFont;
  struct Case {
    SymbolFont font;
    char32_t code, ch;
  };
  // The first and last code point of each set, a few between (a row shifted
  // by one shows in its neighbour), its empty code points, and the same code
  // points in the private-use form.
  const Case cases[] = {
      {SymbolFont::kWingdings, 0x20, U' '},          {SymbolFont::kWingdings, 0x21, U'\U0001F589'},
      {SymbolFont::kWingdings, 0x26, U'\U0001F56E'}, {SymbolFont::kWingdings, 0x48, U'\U0001F597'},
      {SymbolFont::kWingdings, 0xCB, U'\U0001F66A'}, {SymbolFont::kWingdings, 0xD4, U'\U0001F653'},
      {SymbolFont::kWingdings, 0xF5, U'\u2B01'},     {SymbolFont::kWingdings, 0xFC, U'\u2713'},
      {SymbolFont::kWingdings, 0xFE, U'\U0001F5F9'}, {SymbolFont::kWingdings, 0xFF, U'\u25A1'},
      {SymbolFont::kWingdings, 0x7F, U'\u25A1'},     {SymbolFont::kWingdings2, 0x21, U'\U0001F58A'},
      {SymbolFont::kWingdings2, 0x50, U'\U0001F5F8'}, {SymbolFont::kWingdings2, 0x80, U'\u2609'},
      {SymbolFont::kWingdings2, 0xC0, U'\u2B1F'},    {SymbolFont::kWingdings2, 0xF9, U'\u2042'},
      {SymbolFont::kWingdings2, 0xFA, U'\u25A1'},    {SymbolFont::kWingdings2, 0x7F, U'\u25A1'},
      {SymbolFont::kWingdings3, 0x21, U'\u2B60'},    {SymbolFont::kWingdings3, 0x6D, U'\U0001F856'},
      {SymbolFont::kWingdings3, 0xC6, U'\U0001F846'}, {SymbolFont::kWingdings3, 0xF0, U'\U0001F897'},
      {SymbolFont::kWingdings3, 0xF1, U'\u25A1'},    {SymbolFont::kWebdings, 0x21, U'\U0001F577'},
      {SymbolFont::kWebdings, 0x7E, U'\U0001F5F2'},  {SymbolFont::kWebdings, 0x80, U'\U0001F6B9'},
      {SymbolFont::kWebdings, 0xC0, U'\U0001F5A5'},  {SymbolFont::kWebdings, 0xFF, U'\U0001F54A'},
      {SymbolFont::kWebdings, 0x7F, U'\u25A1'},      {SymbolFont::kSymbol, 0x61, U'\u03B1'},
  };
  for (const Case& c : cases) {
    std::string at = std::to_string(static_cast<int>(c.font)) + " " + std::to_string(c.code);
    EXPECT_EQ(static_cast<uint32_t>(rich::SymbolToUnicode(c.font, c.code)), static_cast<uint32_t>(c.ch)) << at;
    EXPECT_EQ(static_cast<uint32_t>(rich::SymbolToUnicode(c.font, 0xF000 + c.code)), static_cast<uint32_t>(c.ch)) << at;
  }
  // Characters outside the code points stay what they are.
  EXPECT_EQ(static_cast<uint32_t>(rich::SymbolToUnicode(SymbolFont::kWebdings, U'\u01E9')), 0x1E9u);
  EXPECT_EQ(static_cast<uint32_t>(rich::SymbolToUnicode(SymbolFont::kWingdings2, U'\n')), 0xAu);
}

TEST(Rtf, FormWordsSetTheirFormats) {
  const std::string head = "{\\rtf1{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";
  // Characters.
  rtf::Parsed c = rtf::ReadRtf(head + "{\\highlight2 a}{\\chcbpat3 b}{\\caps c}{\\scaps d}{\\uldb e}{\\uld f}"
                               "{\\ulwave g}{\\ulw h}{\\ulth i}{\\expnd4 j}{\\expndtw-20 k}{\\ul\\ulnone l}{\\chshdng5000\\chcfpat2 m}}");
  const rich::Document& d = c.doc;
  ASSERT_EQ(Text(d), L"abcdefghijklm");
  EXPECT_EQ(d.CharAt(0).back, 0xFF0000u);
  EXPECT_EQ(d.CharAt(1).back, 0x0000FFu);
  EXPECT_EQ(d.CharAt(2).effects, rich::kCaps);
  EXPECT_EQ(d.CharAt(3).effects, rich::kSmallCaps);
  const rich::Underline kinds[] = {rich::Underline::kDouble, rich::Underline::kDotted, rich::Underline::kWave,
                                   rich::Underline::kWords, rich::Underline::kThick};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(d.CharAt(4 + i).effects, rich::kUnderline) << i;
    EXPECT_EQ(d.CharAt(4 + i).underline, kinds[i]) << i;
  }
  EXPECT_EQ(d.CharAt(9).spacing, 20);  // quarter points
  EXPECT_EQ(d.CharAt(10).spacing, -20);
  EXPECT_EQ(d.CharAt(11).effects, 0);
  EXPECT_EQ(d.CharAt(12).back, 0xFF7F7Fu);  // half red over white

  // Paragraphs: shading (a pattern over a fill), borders, direction, leaders.
  rtf::Parsed p = rtf::ReadRtf(head + "\\pard\\cbpat2\\cfpat3\\shading5000\\box\\brdrdb\\brdrw30\\brdrcf3\\rtlpar"
                               "\\tldot\\tqr\\tx5000\\tleq\\tx6000 a\\par\\pard\\brdrt\\brdrs\\brdrb\\brdrnone\\cbpat3 b\\par}");
  const rich::ParaFormat& f = p.doc.ParaAt(0);
  EXPECT_EQ(f.shading, 0x7F007Fu);  // half blue over red
  for (int side = 0; side < 4; ++side)
    EXPECT_EQ(f.lines[side], (rich::BorderLine{rich::BorderStyle::kDouble, 30, 0x0000FF})) << side;
  EXPECT_TRUE(f.rtl);
  EXPECT_EQ(f.tabs, (std::vector<rich::TabStop>{{5000, rich::TabKind::kRight, rich::TabLeader::kDots},
                                                {6000, rich::TabKind::kLeft, rich::TabLeader::kEquals}}));
  const rich::ParaFormat& g = p.doc.ParaAt(2);
  EXPECT_EQ(g.lines[rich::kTopSide].style, rich::BorderStyle::kSingle);
  EXPECT_EQ(g.lines[rich::kBottomSide].style, rich::BorderStyle::kNone);
  EXPECT_EQ(g.lines[rich::kLeftSide].style, rich::BorderStyle::kNone);
  EXPECT_EQ(g.shading, 0x0000FFu);
  EXPECT_FALSE(g.rtl);

  // Cells and rows.
  rtf::Parsed t = rtf::ReadRtf(
      head + "\\trowd\\trrh-400\\trbrdrl\\brdrs\\clcbpat3\\clvertalb\\clvmgf\\clbrdrt\\brdrdot\\brdrw5\\cellx2000"
             "\\clshdng2500\\clmgf\\clbrdrl\\brdrtbl\\clbrdrb\\brdrnil\\cellx4000\\clmrg\\clvmrg\\clvertalc\\cellx6000"
             "\\pard\\intbl a\\cell b\\cell c\\cell\\row}");
  const rich::ParaFormat& end = t.doc.ParaAt(t.doc.Length() - 1);
  ASSERT_TRUE(end.row);
  EXPECT_EQ(end.row->height, -400);
  ASSERT_EQ(end.row->cells.size(), 3u);
  const rich::Cell& c0 = end.row->cells[0];
  EXPECT_EQ(c0.shading, 0x0000FFu);
  EXPECT_EQ(c0.valign, rich::VAlign::kBottom);
  EXPECT_EQ(c0.vmerge, rich::Merge::kFirst);
  EXPECT_EQ(c0.lines[rich::kTopSide], (rich::BorderLine{rich::BorderStyle::kDotted, 5, rich::kAutoColor}));
  EXPECT_EQ(c0.borders, rich::kBorderTop | rich::kBorderLeft);  // the row's left border where the cell names none
  const rich::Cell& c1 = end.row->cells[1];
  EXPECT_EQ(c1.shading, 0xBFBFBFu);  // a quarter of black over white
  EXPECT_EQ(c1.hmerge, rich::Merge::kFirst);
  EXPECT_EQ(c1.borders, 0);  // \brdrtbl and \brdrnil: none, whatever the row's lines
  const rich::Cell& c2 = end.row->cells[2];
  EXPECT_EQ(c2.hmerge, rich::Merge::kContinue);
  EXPECT_EQ(c2.vmerge, rich::Merge::kContinue);
  EXPECT_EQ(c2.valign, rich::VAlign::kCenter);
  EXPECT_EQ(c2.shading, rich::kAutoColor);
}

TEST(Rtf, InnerTableRowsCarryTheirDepthAndCells) {
  rtf::Parsed p = rtf::ReadRtf(
      "{\\rtf1\\trowd\\cellx3000\\cellx8000\\pard\\intbl A\\cell\\pard\\intbl\\itap2 B\\nestcell C\\nestcell"
      "{\\*\\nesttableprops\\trowd\\trgaph50\\cellx1000\\cellx2000\\nestrow}{\\nonesttables\\par}"
      "\\pard\\intbl\\itap1 D\\cell\\trowd\\cellx3000\\cellx8000\\row}");
  const rich::Document& d = p.doc;
  ASSERT_EQ(Text(d), L"A\aB\aC\a\rD\a\r");
  EXPECT_EQ(d.ParaAt(1).Depth(), 1);  // A's cell end
  EXPECT_EQ(d.ParaAt(3).Depth(), 2);  // B's
  const rich::ParaFormat& inner = d.ParaAt(6);
  ASSERT_TRUE(inner.row);
  EXPECT_EQ(inner.Depth(), 2);
  EXPECT_EQ(inner.row->gap, 50);
  ASSERT_EQ(inner.row->cells.size(), 2u);
  EXPECT_EQ(inner.row->cells[1].right, 2000);
  const rich::ParaFormat& outer = d.ParaAt(9);
  ASSERT_TRUE(outer.row);
  EXPECT_EQ(outer.Depth(), 1);
  ASSERT_EQ(outer.row->cells.size(), 2u);
  EXPECT_EQ(outer.row->cells[1].right, 8000);
}

TEST(Rtf, PicturesKeepTheirImageAndSize) {
  // A 2 x 1 PNG header is enough for the size.
  std::string png = "89504e470d0a1a0a0000000d494844520000000200000001080200000000";
  rtf::Parsed p = rtf::ReadRtf("{\\rtf1 a{\\pict\\pngblip\\picwgoal1440\\pichgoal720 " + png +
                               "}b{\\*\\shppict{\\pict\\pngblip " + png + "}}{\\nonshppict{\\pict\\wmetafile8 00}}"
                               "{\\pict\\wmetafile8\\picw2540\\pich1270\\picscalex50 0102}}");
  const rich::Document& d = p.doc;
  ASSERT_EQ(Text(d), L"a\uFFFCb\uFFFC\uFFFC");
  ASSERT_EQ(d.marks.size(), 3u);
  ASSERT_TRUE(d.marks[0].picture);
  EXPECT_EQ(d.marks[0].cp, 1);
  EXPECT_EQ(d.marks[0].picture->kind, rich::Picture::Kind::kPng);
  EXPECT_EQ(d.marks[0].picture->data.size(), png.size() / 2);
  EXPECT_EQ(d.marks[0].picture->width, 1440);
  EXPECT_EQ(d.marks[0].picture->height, 720);
  EXPECT_EQ(d.marks[1].picture->width, 2 * 15);  // the image's own pixels at 96 per inch
  EXPECT_EQ(d.marks[1].picture->height, 15);
  // Another kind keeps only its room: 2.54 cm wide at 50 %, 1.27 cm high.
  EXPECT_EQ(d.marks[2].picture->kind, rich::Picture::Kind::kOther);
  EXPECT_TRUE(d.marks[2].picture->data.empty());
  EXPECT_EQ(d.marks[2].picture->width, 720);
  EXPECT_EQ(d.marks[2].picture->height, 720);
}

TEST(Rtf, EmbeddedObjectsLeaveAMarkAndKeepTheirParts) {
  rtf::Parsed p = rtf::ReadRtf(
      "{\\rtf1 x{\\object\\objemb{\\*\\objclass Paint.Picture}{\\*\\objdata 0A0b\r\nFF}"
      "{\\result pic}}y{\\object{\\result two}}}");
  EXPECT_EQ(Text(p.doc), L"x\uFFFCy\uFFFC");
  ASSERT_EQ(p.objects.size(), 2u);
  ASSERT_EQ(p.doc.marks.size(), 2u);
  EXPECT_EQ(p.doc.marks[1].object, 1);
  EXPECT_EQ(p.objects[0].className, "Paint.Picture");
  EXPECT_EQ(p.objects[0].data, (std::vector<uint8_t>{0x0A, 0x0B, 0xFF}));
  EXPECT_EQ(Text(p.objects[0].result), L"pic");
  EXPECT_EQ(Text(p.objects[1].result), L"two");
}

TEST(Plain, LineEndsAndEncodings) {
  struct Case {
    std::string in;
    std::wstring text;
  };
  std::vector<Case> cases = {
      {"a\r\nb\nc\rd", L"a\rb\rc\rd"},
      {"\x80\xE4", L"€ä"},  // not UTF-8: Windows-1252
      {"\xC3\xA4\xE2\x82\xAC", L"ä€"},  // UTF-8 without a byte-order mark
      {"\xEF\xBB\xBF\xC3\xA4\xE2\x82\xAC", L"ä€"},
      {"\xEF\xBB\xBF\xC3", L"\uFFFD"},
      {"\xED\xA0\x80", L"\u00ED\u00A0\u20AC"},  // an encoded surrogate is no UTF-8
      {std::string("\xFF\xFE" "a\0\xE4\0\r\0\n\0=\xD8\0\xDE", 14), L"aä\r\U0001F600"},
      {std::string("\xFE\xFF\0a\0\xE4", 6), L"aä"},
      {std::string("a\0b\r\nc", 6), std::wstring(L"a\0b\rc", 5)},  // a NUL is a character
      {"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(rtf::ReadPlain(c.in)), c.text) << c.in;
  rich::Document d = rtf::ReadPlain("abc");
  EXPECT_EQ(d.CharAt(0).face, rich::kPlainFace);
  EXPECT_TRUE(rtf::LooksLikeRtf("{\\RTF1"));
  EXPECT_FALSE(rtf::LooksLikeRtf("{\\rt"));
}

TEST(Plain, MemoryStaysNearTheTextsSize) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "Zeile " + std::to_string(i) + " mit etwas Text darin, gut sechzig Zeichen.\r\n";
  rich::Document d = rtf::ReadPlain(text);
  EXPECT_LE(d.MemoryBytes(), text.size() * 11 / 10) << d.MemoryBytes() << " for " << text.size();
  text += "\xE2\x82\xAC";  // one euro sign: two bytes a character
  d = rtf::ReadPlain(text);
  EXPECT_LE(d.MemoryBytes(), text.size() * 22 / 10);
}

TEST(Document, ReplaceKeepsFormatsAndMarksInPlace) {
  rich::Document d = rtf::ReadRtf("{\\rtf1 ab{\\b cd}e{\\pict\\pngblip 00}f}").doc;
  rich::Document ins = rtf::ReadRtf("{\\rtf1{\\i XY}}").doc;
  d.Replace(1, 3, ins);  // "a" + "XY" + "de" + mark + "f"
  EXPECT_EQ(Text(d), L"aXYde\uFFFCf");
  EXPECT_EQ(d.CharAt(0).effects, 0);
  EXPECT_EQ(d.CharAt(1).effects, rich::kItalic);
  EXPECT_EQ(d.CharAt(3).effects, rich::kBold);  // the rest of the bold run
  EXPECT_EQ(d.CharAt(4).effects, 0);
  ASSERT_EQ(d.marks.size(), 1u);
  EXPECT_EQ(d.marks[0].cp, 5);
  d.Replace(4, 6, rich::Document{});
  EXPECT_EQ(Text(d), L"aXYdf");
  EXPECT_TRUE(d.marks.empty());
  d.chars.push_back(U'\U0001F600');
  EXPECT_EQ(d.chars.Width(), 4);
  EXPECT_EQ(d.chars[5], U'\U0001F600');
}

}  // namespace
}  // namespace win
