// Lumoret prints real letters and forms as their word processor showed
// them: nothing of the visible text is lost, nothing hidden is added, and
// every word stands inside the page and inside its cell. The PDFs are read
// back with poppler's tools.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/lumoret/lumoret_run.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using lumoret_test::Outcome;
using lumoret_test::Shell;

// Office A4: 300 dpi, printable from 50 pixels (12 points) in; the viewer's
// margins put the text column from 90 to 529.2 points, a twip 1/20 point.
constexpr double kColumnLeft = 90, kColumnRight = 529.2;
double X(int twips) { return kColumnLeft + twips / 20.0; }

using Word = lumoret_test::PdfWord;

class LumoretDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_ / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n";
  }
  // Prints the RTF text; the PDF's path, or "" when the run did not print.
  std::string Print(const std::string& rtf) {
    fs::remove_all(dir_ / "spool");
    std::ofstream(dir_ / "doc.rtf", std::ios::binary) << rtf;
    Outcome o = lumoret_test::RunLumoret(dir_.path(), {"-f", (dir_ / "doc.rtf").string()}, {"menu 501", "answer yes"});
    EXPECT_EQ(o.exitCode, 1) << o.stderrText;
    const std::vector<fs::path> pdfs = lumoret_test::Spooled(dir_.path());
    return pdfs.empty() ? "" : "'" + pdfs.front().string() + "'";
  }
  static std::vector<Word> Words(const std::string& pdf) { return lumoret_test::PdfWords(pdf); }
  static const Word* Find(const std::vector<Word>& words, const std::string& text) {
    for (const Word& w : words)
      if (w.text == text) return &w;
    return nullptr;
  }
  static int Pages(const std::string& pdf) {
    std::smatch m;
    std::string info = Shell("pdfinfo " + pdf);
    return std::regex_search(info, m, std::regex("Pages: +([0-9]+)")) ? std::stoi(m[1]) : 0;
  }

  orn_test::ScratchDir dir_{"lumoret-document"};
};

TEST_F(LumoretDocumentTest, VisibleTextPrintsAndHiddenTextDoesNot) {
  struct Case {
    std::string what, rtf;
    std::vector<std::string> present, absent;
  };
  const std::string dbcs = "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS Mincho;}{\\f1\\fcharset0 Arial;}}";
  std::vector<Case> cases = {
      {"hidden", "{\\rtf1 {\\v kit}Heading\\par Body {\\v secret\\v0 shown}\\par}", {"Heading", "Body", "shown"},
       {"kit", "secret"}},
      // A Western font in a Japanese document reads its bytes as Western.
      {"charset", dbcs + "\\f1 \\'93Test\\'94 \\f0 \\'82\\'a0\\par}", {"\u201CTest\u201D", "\u3042"}, {"\u5178est"}},
      // Tick boxes, bullets and letters of symbol fonts, by byte, letter and \u.
      {"symbol",
       "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fnil\\fcharset2 Wingdings;}{\\f2\\froman Symbol;}{\\f3 Wingdings 2;}"
       "{\\f4 Wingdings 3;}{\\f5 Webdings;}}"
       "\\f1 \\'fe\\'a8o\\u61692?\\f2 abg\\f3 RPz \\f4 ! p\\f5 ak\\f0  Text\\par}",
       {"\U0001F5F9\U0001F78E\U0001F78F\u2713\u03B1\u03B2\u03B3\u2611\U0001F5F8\u277B", "\u2B60",
        "\u25B2\u2714\U0001F6F0", "Text"},
       {"\u00FE", "abg", "z", "ak", "\u25A1"}},
      // A character no installed font has keeps its text; its hex digits are
      // not printed.
      {"no font", "{\\rtf1 Zeichen \\u-10228?\\u-9216? hier\\par}", {"Zeichen", "\U00013000", "hier"}, {"013000", "01", "30"}},
  };
  for (const auto& c : cases) {
    std::string pdf = Print(c.rtf);
    ASSERT_FALSE(pdf.empty()) << c.what;
    std::vector<Word> words = Words(pdf);
    for (const auto& p : c.present) EXPECT_TRUE(Find(words, p)) << c.what << ": " << p << "\n" << Shell("pdftotext " + pdf + " -");
    for (const auto& a : c.absent) EXPECT_FALSE(Find(words, a)) << c.what << ": " << a;
  }
  // The symbols are drawn with a face that has them: DejaVu Sans the Greek
  // and the ticks it has, Symbola each pictograph DejaVu Sans lacks (a tick
  // box, a pen, an arrow, a satellite), not an empty box.
  std::string pdf = Print(cases[2].rtf);
  EXPECT_NE(Shell("pdffonts " + pdf).find("DejaVuSans"), std::string::npos);
  struct Pictograph {
    std::string font, bytes, text;
  };
  const Pictograph pictographs[] = {
      {"Wingdings", "\\'fe\\'a8", "\U0001F5F9\U0001F78E"},
      {"Wingdings 2", "PS", "\U0001F5F8\u2BBD"},
      {"Wingdings 3", "!Z", "\u2B60\U0001F8A0"},
      {"Webdings", "k!", "\U0001F6F0\U0001F577"},
  };
  for (const Pictograph& p : pictographs) {
    pdf = Print("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 " + p.font + ";}}\\f1 " + p.bytes + "\\f0  Text\\par}");
    ASSERT_FALSE(pdf.empty()) << p.font;
    std::string fonts = Shell("pdffonts " + pdf);
    EXPECT_NE(fonts.find("Symbola"), std::string::npos) << p.font << "\n" << fonts;
    EXPECT_TRUE(Find(Words(pdf), p.text)) << p.font << "\n" << Shell("pdftotext " + pdf + " -");
  }
}

TEST_F(LumoretDocumentTest, OnlySectionBreaksThatAskForANewPageStartOne) {
  struct Case {
    std::string breakWords;
    int pages;
  };
  std::vector<Case> cases = {
      {"\\sectd\\sbknone", 1}, {"\\sectd", 2}, {"\\sectd\\sbkpage", 2}, {"\\sectd\\sbkodd", 2}, {"\\sectd\\sbkeven", 2},
  };
  for (const auto& c : cases) {
    std::string pdf = Print("{\\rtf1\\sectd\\sbknone Eins\\par\\sect" + c.breakWords + " Zwei\\par\\sect}");
    ASSERT_FALSE(pdf.empty()) << c.breakWords;
    EXPECT_EQ(Pages(pdf), c.pages) << c.breakWords;  // the document's last \sect adds no page
    std::vector<Word> words = Words(pdf);
    ASSERT_TRUE(Find(words, "Eins") && Find(words, "Zwei")) << c.breakWords;
    EXPECT_EQ(Find(words, "Zwei")->page, c.pages) << c.breakWords;
    if (c.pages == 1) {
      EXPECT_GT(Find(words, "Zwei")->yMin, Find(words, "Eins")->yMax - 1);
    }
  }
}

TEST_F(LumoretDocumentTest, InnerTableIsLaidOutInsideItsOuterCell) {
  // Outer row: 0-3000 and 3000-8000 twips; the inner table in the second
  // cell, its cells 0-2000 and 2000-4800 from that cell's left.
  std::string pdf = Print(
      "{\\rtf1\\trowd\\trgaph100\\clbrdrt\\brdrs\\cellx3000\\clbrdrt\\brdrs\\cellx8000"
      "\\pard\\intbl Links\\cell"
      "\\pard\\intbl\\itap2 Innen1\\nestcell Innen2 Genehmigung\\nestcell"
      "{\\*\\nesttableprops\\trowd\\trgaph50\\clbrdrb\\brdrs\\cellx2000\\clbrdrb\\brdrs\\cellx4800\\nestrow}"
      "{\\nonesttables\\par}\\pard\\intbl\\itap1 Ende\\cell"
      "\\trowd\\trgaph100\\clbrdrt\\brdrs\\cellx3000\\clbrdrt\\brdrs\\cellx8000\\row\\pard Danach\\par}");
  ASSERT_FALSE(pdf.empty());
  std::vector<Word> words = Words(pdf);
  for (const char* w : {"Links", "Innen1", "Innen2", "Genehmigung", "Ende", "Danach"})
    ASSERT_TRUE(Find(words, w)) << w << "\n" << Shell("pdftotext " + pdf + " -");
  const Word& in1 = *Find(words, "Innen1");
  const Word& in2 = *Find(words, "Innen2");
  // Inside the outer cell, side by side in their own cells.
  EXPECT_GE(in1.xMin, X(3000));
  EXPECT_LT(in1.xMax, X(3100 + 2000));
  EXPECT_GE(in2.xMin, X(3100 + 2000));
  EXPECT_LE(Find(words, "Genehmigung")->xMax, X(8000));
  EXPECT_NEAR(in1.yMin, in2.yMin, 0.5);
  EXPECT_NEAR(in1.yMin, Find(words, "Links")->yMin, 0.5);
  // The outer cell goes on below the inner table; the row ends before the next paragraph.
  EXPECT_GT(Find(words, "Ende")->yMin, in1.yMax - 0.5);
  EXPECT_GE(Find(words, "Ende")->xMin, X(3000));
  EXPECT_GT(Find(words, "Danach")->yMin, Find(words, "Ende")->yMax - 0.5);
}

TEST_F(LumoretDocumentTest, WhatIsWiderThanTheColumnIsNarrowedOntoThePage) {
  // A row of 20000 twips and a picture of 15 inches: both are brought into
  // the column, and every word of the row stays on the page.
  std::string png = "89504e470d0a1a0a0000000d49484452000000010000000108020000009077"
                    "53de0000000c4944415408d763f8cfc000000301010018dd8db00000000049454e44ae426082";
  std::string pdf = Print(
      "{\\rtf1\\trowd\\cellx5000\\cellx20000\\pard\\intbl Schmal\\cell Breit bis zum Rand Ende\\cell\\row"
      "\\pard{\\pict\\pngblip\\picwgoal21600\\pichgoal1440 " + png + "}\\par Weiter\\par"
      "\\pard\\li30000 Tief\\par\\pard\\li-9000\\ri-9000 Ausgezogen\\par"
      "\\trowd\\trleft-9000\\cellx-7000\\cellx1000\\pard\\intbl Links\\cell Zelle\\cell\\row}");
  ASSERT_FALSE(pdf.empty());
  std::vector<Word> words = Words(pdf);
  for (const char* w : {"Schmal", "Breit", "Ende", "Weiter", "Tief", "Ausgezogen", "Links", "Zelle"}) {
    ASSERT_TRUE(Find(words, w)) << w;
    EXPECT_LE(Find(words, w)->xMax, kColumnRight + 1) << w;
    EXPECT_GE(Find(words, w)->xMin, kColumnLeft - 72 - 1) << w;  // an inch into the margin at most
  }
  std::string images = Shell("pdfimages -list " + pdf);
  EXPECT_TRUE(std::regex_search(images, std::regex("\n +1 +[0-9]+ +image +1 +1 "))) << images;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST_F(LumoretDocumentTest, JpegPictureGoesIntoThePdfAsItIsAndAHugeOneCostsNothing) {
  std::string jpeg = lumoret_test::ReadFile(fs::path(std::getenv("ORN_TEST_SRCDIR")) / "fuzz/corpus/jpeg/grey.jpg");
  ASSERT_GT(jpeg.size(), 100u);
  // The same file whose header claims 19999 x 19999 pixels.
  std::string huge = jpeg;
  size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge.replace(sof + 5, 4, "\x4E\x1F\x4E\x1F");
  std::string pdf = Print("{\\rtf1 Vor{\\pict\\jpegblip\\picwgoal1400\\pichgoal1000 " + Hex(jpeg) +
                          "}Mitte{\\pict\\jpegblip\\picwgoal1400\\pichgoal1000 " + Hex(huge) + "}Nach\\par}");
  ASSERT_FALSE(pdf.empty());
  std::vector<Word> words = Words(pdf);
  for (const char* w : {"Vor", "Mitte", "Nach"}) EXPECT_TRUE(Find(words, w)) << w;
  // Only the first picture is drawn, with the file's own bytes; the second
  // keeps its room.
  std::string images = Shell("pdfimages -list " + pdf);
  EXPECT_TRUE(std::regex_search(images, std::regex("\n +1 +[0-9]+ +image +7 +5 +gray +1 +8 +jpeg "))) << images;
  EXPECT_EQ(images.find("19999"), std::string::npos) << images;
  std::string file = lumoret_test::ReadFile(pdf.substr(1, pdf.size() - 2));
  EXPECT_NE(file.find(jpeg), std::string::npos);
  EXPECT_GT(Find(words, "Nach")->xMin, Find(words, "Mitte")->xMax + 1400 / 20.0 - 1);
}

}  // namespace
