// The RTF and plain-text reader and the document it builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/richedit/rtf.h"

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
