// The Pango layout: lines, pages, alignment, tables, pictures, and what it
// costs to fill a page.
#include <gtest/gtest.h>

#include <cairo-pdf.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/richedit/layout.h"
#include "platform/richedit/rtf.h"

namespace win::rich {
namespace {

// The ink a fill draws, in twips of the column.
struct Ink {
  double x = 0, y = 0, w = 0, h = 0;
};

Ink Draw(Layout& layout, const FillRequest& req, FillResult* result = nullptr) {
  cairo_surface_t* rec = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
  cairo_t* cr = cairo_create(rec);
  FillResult r = layout.Fill(req, cr);
  if (result) *result = r;
  Ink ink;
  cairo_recording_surface_ink_extents(rec, &ink.x, &ink.y, &ink.w, &ink.h);
  cairo_destroy(cr);
  cairo_surface_destroy(rec);
  return ink;
}

FillRequest Page(int32_t first, int32_t width, int32_t height) {
  FillRequest r;
  r.first = first;
  r.width = width;
  r.height = height;
  return r;
}

TEST(Layout, LinesWrapInsideTheWidthAndPagesContinueWhereTheyStopped) {
  std::string words;
  for (int i = 0; i < 400; ++i) words += "Wort" + std::to_string(i) + " ";
  Document doc = rtf::ReadRtf("{\\rtf1 " + words + "\\par Zweiter Absatz\\par}").doc;
  Layout layout(&doc);
  FillResult all = layout.Fill(Page(0, 4000, -1), nullptr);
  ASSERT_GT(all.lines.size(), 20u);
  EXPECT_EQ(all.next, doc.Length());
  for (size_t i = 1; i < all.lines.size(); ++i) {
    EXPECT_EQ(all.lines[i].start, all.lines[i - 1].end);
    EXPECT_EQ(all.lines[i].top, all.lines[i - 1].top + all.lines[i - 1].height);
  }
  // Pages of five lines' height take exactly the lines the whole run had.
  int32_t pageHeight = all.lines[0].height * 5 + all.lines[0].height / 2;
  size_t line = 0;
  for (int32_t first = 0; first < doc.Length();) {
    FillResult page = layout.Fill(Page(first, 4000, pageHeight), nullptr);
    ASSERT_FALSE(page.lines.empty());
    EXPECT_LE(page.bottom, pageHeight);
    for (const auto& l : page.lines) {
      ASSERT_LT(line, all.lines.size());
      EXPECT_EQ(l.start, all.lines[line].start);
      EXPECT_EQ(l.end, all.lines[line++].end);
    }
    first = page.next;
  }
  EXPECT_EQ(line, all.lines.size());
  // Whatever is drawn stays inside the column.
  Ink ink = Draw(layout, Page(0, 4000, pageHeight));
  EXPECT_GE(ink.x, 0);
  EXPECT_LE(ink.x + ink.w, 4000);
  EXPECT_LE(ink.y + ink.h, pageHeight);
}

TEST(Layout, AlignmentAndIndentsPlaceTheInk) {
  struct Case {
    std::string para;
    double left, right;  // where the ink must lie, twips
  };
  std::vector<Case> cases = {
      {"\\ql", 0, 1500},
      {"\\qc", 3500 - 900, 3500 + 900},
      {"\\qr", 7000 - 1600, 7000},
      {"\\li2000", 2000, 3600},
      {"\\qr\\ri1000", 6000 - 1600, 6000},
  };
  for (const auto& c : cases) {
    Document doc = rtf::ReadRtf("{\\rtf1\\pard" + c.para + " Mitte\\par}").doc;
    Layout layout(&doc);
    Ink ink = Draw(layout, Page(0, 7000, 10000));
    EXPECT_GE(ink.x, c.left) << c.para;
    EXPECT_LE(ink.x + ink.w, c.right) << c.para;
    EXPECT_GT(ink.w, 300) << c.para;
  }
}

TEST(Layout, SpaceAroundParagraphsAndBetweenLines) {
  auto lines = [](const std::string& para) {
    Document doc = rtf::ReadRtf("{\\rtf1\\pard" + para + " a\\line b\\par\\pard c\\par}").doc;
    Layout layout(&doc);
    return layout.Fill(Page(0, 9000, -1), nullptr).lines;
  };
  auto single = lines("");
  ASSERT_EQ(single.size(), 3u);
  int32_t h = single[0].height;
  EXPECT_EQ(single[1].top, h);  // \line breaks inside the paragraph
  auto exact = lines("\\sl-600");
  EXPECT_EQ(exact[0].height, 600);
  EXPECT_EQ(exact[1].top, 600);
  EXPECT_EQ(lines("\\sl100")[0].height, h);  // "at least" below the natural height
  EXPECT_EQ(lines("\\sl480\\slmult1")[0].height, 2 * h);  // double spacing
  EXPECT_EQ(lines("\\sb300")[0].top, 300);
  auto after = lines("\\sa500");
  EXPECT_EQ(after[2].top, after[1].top + after[1].height + 500);
}

TEST(Layout, TabStopsSetTheTextAtTheirPositions) {
  for (auto [rtf, from, to] : std::vector<std::tuple<std::string, double, double>>{
           {"a\\tab X", 720, 900},                   // the default stop
           {"\\tx3000 a\\tab X", 3000, 3200},         // a stop of its own
           {"\\tqr\\tx5000 a\\tab XXXX", 4000, 5020},  // right-aligned: the text ends there
       }) {
    Document doc = rtf::ReadRtf("{\\rtf1\\pard" + rtf + "\\par}").doc;
    Layout layout(&doc);
    // The ink ends with the text after the tab.
    FillRequest req = Page(0, 9000, 10000);
    Ink all = Draw(layout, req);
    EXPECT_GE(all.x + all.w, from) << rtf;
    EXPECT_LE(all.x + all.w, to) << rtf;
  }
}

TEST(Layout, PageBreakEndsThePageAndRowsStayWhole) {
  Document doc = rtf::ReadRtf(
                     "{\\rtf1 Eins\\par\\page Zwei\\par"
                     "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Feld mit viel Text der umbricht\\cell Wert\\cell\\row"
                     "\\pard Ende}")
                     .doc;
  Layout layout(&doc);
  FillResult first = layout.Fill(Page(0, 6000, 20000), nullptr);
  EXPECT_EQ(first.next, 6);  // "Eins\r\f"
  FillResult second = layout.Fill(Page(first.next, 6000, 20000), nullptr);
  ASSERT_EQ(second.lines.size(), 3u);  // "Zwei", the row, "Ende"
  const PlacedLine& row = second.lines[1];
  EXPECT_EQ(doc.chars.Wide(static_cast<size_t>(row.start), static_cast<size_t>(row.end)),
            L"Feld mit viel Text der umbricht\aWert\a\r");
  EXPECT_GE(row.height, second.lines[0].height * 2);  // the first cell wraps inside its 2000 twips
  // A page too low for the row ends before it.
  FillResult cut = layout.Fill(Page(first.next, 6000, second.lines[0].height + row.height - 1), nullptr);
  EXPECT_EQ(cut.next, row.start);
}

TEST(Layout, TableCellsSitSideBySideInsideTheirBoundaries) {
  Document doc = rtf::ReadRtf(
                     "{\\rtf1\\trowd\\trgaph100\\cellx3000\\cellx6000\\pard\\intbl Links\\cell"
                     "\\pard\\intbl\\qr Rechts\\cell\\row}")
                     .doc;
  Layout layout(&doc);
  // Only the second cell: its text ends at its right edge less the gap.
  Ink ink = Draw(layout, Page(0, 9000, 10000));
  EXPECT_GE(ink.x, 100);
  EXPECT_LE(ink.x + ink.w, 6000 - 100 + 1);
  EXPECT_GT(ink.x + ink.w, 6000 - 300);
}

TEST(Layout, PicturesTakeTheirRoom) {
  // A 1 x 1 PNG shown at 1440 x 720 twips, and a metafile that keeps its room.
  std::string png =
      "89504e470d0a1a0a0000000d49484452000000010000000108020000009077"
      "53de0000000c4944415408d763f8cfc000000301010018dd8db00000000049454e44ae426082";
  Document doc = rtf::ReadRtf("{\\rtf1 a{\\pict\\pngblip\\picwgoal1440\\pichgoal720 " + png +
                              "}b\\par{\\pict\\wmetafile8\\picwgoal720\\pichgoal2000 01}\\par}")
                     .doc;
  Layout layout(&doc);
  FillResult r;
  Ink ink = Draw(layout, Page(0, 9000, 10000), &r);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_GE(r.lines[0].height, 720);
  EXPECT_GE(r.lines[1].height, 2000);
  EXPECT_GE(ink.w, 1440);
}

TEST(Layout, ALineTallerThanThePageIsTakenOnlyWhenAsked) {
  Document doc = rtf::ReadRtf("{\\rtf1{\\pict\\wmetafile8\\picwgoal720\\pichgoal30000 01}\\par x}").doc;
  Layout layout(&doc);
  EXPECT_EQ(layout.Fill(Page(0, 9000, 15000), nullptr).next, 0);
  FillRequest req = Page(0, 9000, 15000);
  req.takeOversized = true;
  EXPECT_EQ(layout.Fill(req, nullptr).next, 2);
}

TEST(Layout, CharactersNoTextCanCarryPrintAsReplacementCharacters) {
  // Half a surrogate pair, either half, and noncharacters: a PDF takes none
  // of them, so each prints as U+FFFD and the page is still written.
  for (const char* in : {"{\\rtf1 ok \\u-10179? end}", "{\\rtf1 ok \\u-8704? end}", "{\\rtf1 ok \\u-1? end}",
                         "{\\rtf1 ok \\u-1072? end}"}) {
    Document doc = rtf::ReadRtf(in).doc;
    Layout layout(&doc);
    std::string path = testing::TempDir() + "/replacement.pdf";
    cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), 595, 842);
    cairo_t* cr = cairo_create(pdf);
    FillResult r = layout.Fill(Page(0, 9000, 10000), cr);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS) << in;
    EXPECT_EQ(r.next, doc.Length()) << in;
    cairo_destroy(cr);
    cairo_surface_destroy(pdf);
    std::remove(path.c_str());
  }
}

TEST(Layout, PicturesAreDecodedOnceAndAJpegNotAtAllForAPdf) {
  std::ifstream in(std::string(std::getenv("ORN_TEST_SRCDIR")) + "/fuzz/corpus/jpeg/grey.jpg", std::ios::binary);
  std::string jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), hex;
  for (unsigned char c : jpeg) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
  ASSERT_FALSE(hex.empty());
  std::string png = "89504e470d0a1a0a0000000d49484452000000010000000108020000009077"
                    "53de0000000c4944415408d763f8cfc000000301010018dd8db00000000049454e44ae426082";
  Document doc = rtf::ReadRtf("{\\rtf1 a{\\pict\\jpegblip " + hex + "}b{\\pict\\pngblip " + png + "}c\\par}").doc;
  Layout layout(&doc);
  auto paint = [&](cairo_surface_t* target) {
    cairo_t* cr = cairo_create(target);
    layout.Fill(Page(0, 9000, 10000), cr);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
  };
  std::string path = testing::TempDir() + "/pictures.pdf";
  cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), 595, 842);
  paint(pdf);
  paint(pdf);
  EXPECT_EQ(layout.PicturesDecoded(), 1u);  // the PNG; the JPEG goes in as it is
  cairo_surface_destroy(pdf);
  std::remove(path.c_str());
  cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 600, 200);
  paint(screen);
  paint(screen);
  EXPECT_EQ(layout.PicturesDecoded(), 2u);  // and the JPEG once for the screen
  layout.Invalidate();
  paint(screen);
  EXPECT_EQ(layout.PicturesDecoded(), 4u);
  cairo_surface_destroy(screen);
}

TEST(Layout, FillingAPageLaysOutOnlyWhatThePageNeeds) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "Zeile " + std::to_string(i) + "\r\n";
  Document doc = rtf::ReadPlain(text);
  Layout layout(&doc);
  FillResult page = layout.Fill(Page(0, 9000, 15000), nullptr);
  size_t firstPage = layout.ParagraphsSet();
  EXPECT_LE(firstPage, page.lines.size() + 1);
  // A page from the middle sets its own paragraphs, not those before it.
  int32_t middle = doc.Length() / 2;
  while (doc.chars[static_cast<size_t>(middle - 1)] != U'\r') ++middle;
  page = layout.Fill(Page(middle, 9000, 15000), nullptr);
  EXPECT_LE(layout.ParagraphsSet() - firstPage, page.lines.size() + 1);
  // Printing every page sets each paragraph about once.
  size_t before = layout.ParagraphsSet();
  size_t pages = 0;
  for (int32_t first = 0; first < doc.Length(); ++pages) first = layout.Fill(Page(first, 9000, 15000), nullptr).next;
  EXPECT_LE(layout.ParagraphsSet() - before, 20000 + pages);
}

}  // namespace
}  // namespace win::rich
