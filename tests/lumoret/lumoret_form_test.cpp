// Lumoret prints a form as its word processor showed it: shaded, bordered,
// aligned and merged cells, rows of their own height, framed and justified
// paragraphs, tab leaders, character shading, caps, underlines, spacing and
// paragraph direction. The PDF is read back with poppler's tools: word
// boxes from pdftotext -bbox, colours from pdftoppm at 144 dpi (2 pixels a
// point).

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/lumoret/lumoret_run.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using lumoret_test::Outcome;
using lumoret_test::Shell;

constexpr double kColumnLeft = 90, kColumnRight = 529.2;

struct Word {
  double xMin, yMin, xMax, yMax;
};

struct Rgb {
  int r, g, b;
  bool Dark() const { return r + g + b < 300; }
  bool operator==(const Rgb&) const = default;
};

// The printed form (testdata/formular.rtf), read once for all its checks.
class LumoretFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new orn_test::ScratchDir("lumoret-form");
    std::ofstream(*dir_ / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n";
    fs::path form = fs::path(std::getenv("ORN_TEST_SRCDIR")) / "tests/lumoret/testdata/formular.rtf";
    Outcome o = lumoret_test::RunLumoret(dir_->path(), {"-f", form.string()}, {"menu 501", "answer yes"});
    exit_ = o.exitCode;
    const std::vector<fs::path> pdfs = lumoret_test::Spooled(dir_->path());
    if (pdfs.empty()) return;
    pdf_ = "'" + pdfs.back().string() + "'";
    for (const lumoret_test::PdfWord& w : lumoret_test::PdfWords(pdf_, "-f 1 -l 1"))
      words_->push_back({w.text, {w.xMin, w.yMin, w.xMax, w.yMax}});
    Shell("pdftoppm -r 144 -f 1 -l 1 -singlefile " + pdf_ + " '" + (*dir_ / "page").string() + "'");
    std::ifstream ppm(*dir_ / "page.ppm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    ppm >> magic >> width_ >> height_ >> maxval;
    ppm.get();
    pixels_->resize(static_cast<size_t>(width_) * height_ * 3);
    ppm.read(pixels_->data(), static_cast<std::streamsize>(pixels_->size()));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(exit_, 1);
    ASSERT_FALSE(pdf_.empty());
    ASSERT_EQ(height_ > 0 && !pixels_->empty(), true);
  }
  // The first word with this text.
  static Word W(const std::string& text) {
    for (const auto& [t, w] : *words_)
      if (t == text) return w;
    ADD_FAILURE() << "no word " << text;
    return {};
  }
  // The colour at a point (points from the page's top-left corner).
  static Rgb At(double x, double y) {
    int px = static_cast<int>(std::lround(x * 2)), py = static_cast<int>(std::lround(y * 2));
    if (px < 0 || py < 0 || px >= width_ || py >= height_) return {-1, -1, -1};
    const char* p = pixels_->data() + (static_cast<size_t>(py) * width_ + px) * 3;
    return {static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1]), static_cast<unsigned char>(p[2])};
  }
  // Dark runs met going down from y0 to y1 at x: how many lines cross there.
  static int LinesDown(double x, double y0, double y1) {
    int runs = 0;
    bool dark = false;
    for (double y = y0; y <= y1; y += 0.5) {
      bool d = At(x, y).Dark();
      if (d && !dark) ++runs;
      dark = d;
    }
    return runs;
  }
  // Dark pixels along a row from x0 to x1.
  static int DarkAcross(double x0, double x1, double y) {
    int n = 0;
    for (double x = x0; x <= x1; x += 0.5) n += At(x, y).Dark();
    return n;
  }

  static inline orn_test::ScratchDir* dir_ = nullptr;
  static inline int exit_ = -1;
  static inline std::string pdf_;
  static inline std::vector<std::pair<std::string, Word>>* words_ = new std::vector<std::pair<std::string, Word>>;
  static inline std::vector<char>* pixels_ = new std::vector<char>;
  static inline int width_ = 0, height_ = 0;
};

TEST_F(LumoretFormTest, CellsAreShadedAlignedAndAsHighAsTheRowSays) {
  Word middle = W("Zentriert"), bottom = W("Unten"), none = W("Ohne"), merged = W("Verbunden");
  // The first row is at least 600 twips (30 points) high: its cells take the
  // whole height, centred, at the bottom and at the top.
  double rowTop = none.yMin, rowBottom = merged.yMin;
  EXPECT_GE(rowBottom - rowTop, 29);
  EXPECT_NEAR((middle.yMin + middle.yMax) / 2, (rowTop + rowBottom) / 2, 2);
  EXPECT_NEAR(bottom.yMax, rowBottom, 2.5);
  EXPECT_GT(bottom.yMin, middle.yMin + 5);
  // The second row is exactly 400 twips: the third row starts 20 points below it.
  EXPECT_NEAR(W("Zweite").yMin - merged.yMin, 20, 1);
  // The shaded cell is grey (204) beside its word; the unshaded one white.
  EXPECT_EQ(At(middle.xMax + 20, (middle.yMin + middle.yMax) / 2), (Rgb{204, 204, 204}));
  EXPECT_EQ(At(bottom.xMax + 20, (bottom.yMin + bottom.yMax) / 2), (Rgb{255, 255, 255}));
}

TEST_F(LumoretFormTest, BordersAreDrawnAsTheirWidthColourAndStyleSayAndNoneIsNone) {
  Word middle = W("Zentriert"), bottom = W("Unten"), none = W("Ohne");
  double rowTop = none.yMin;
  // Above the shaded cell: one red line, 1.5 points; above the second: a
  // double line; above the third (\brdrnone): nothing.
  double x1 = middle.xMin + 10, x2 = bottom.xMin + 10, x3 = none.xMin + 10;
  EXPECT_EQ(LinesDown(x1, rowTop - 2, rowTop + 3), 1);
  int red = 0;
  for (double y = rowTop - 2; y < rowTop + 3; y += 0.5) red += At(x1, y) == Rgb{200, 0, 0};
  EXPECT_EQ(red, 3);  // 1.5 points at 2 pixels a point
  EXPECT_EQ(LinesDown(x2, rowTop - 2, rowTop + 3), 2);
  EXPECT_EQ(LinesDown(x3, rowTop - 2, rowTop + 3), 0);
  // \brdrnil below and \brdrtbl left of the third cell draw nothing either.
  EXPECT_EQ(DarkAcross(none.xMin + 2, none.xMax + 20, W("Verbunden").yMin - 2.5), 0);
  // The dotted bottom of the second cell is broken, the solid one beside it
  // is not.
  double rowBottom = W("Verbunden").yMin;
  int dots = 0, solid = 0;
  for (double y = rowBottom - 1.5; y <= rowBottom; y += 0.5) {
    dots = std::max(dots, DarkAcross(bottom.xMin + 5, bottom.xMin + 105, y));
    solid = std::max(solid, DarkAcross(middle.xMin, middle.xMin + 100, y));
  }
  EXPECT_GT(dots, 10);
  EXPECT_LT(dots, 150);
  EXPECT_GT(solid, 195);
}

TEST_F(LumoretFormTest, MergedCellsAreDrawnAsOne) {
  Word vertical = W("Verbunden"), horizontal = W("Waagerecht"), second = W("Zweite");
  // No line between the first cells of the second and third row; one between
  // their neighbours.
  EXPECT_EQ(LinesDown(vertical.xMin + 20, vertical.yMax + 1, second.yMin + 5), 0);
  EXPECT_GE(LinesDown(second.xMin + 20, vertical.yMax + 1, second.yMin + 5), 1);
  // The horizontally merged cell holds its text across both cells' room:
  // no line stands inside it, only its right border at 8000 twips.
  Word last = W("Zellen");
  EXPECT_GT(last.xMax, kColumnLeft + 6000 / 20.0);
  double under = (horizontal.yMax + second.yMin) / 2;
  EXPECT_EQ(DarkAcross(horizontal.xMin, kColumnLeft + 7900 / 20.0, under), 0);
  EXPECT_GT(DarkAcross(kColumnLeft + 7900 / 20.0, kColumnLeft + 8100 / 20.0, under), 0);
}

TEST_F(LumoretFormTest, ParagraphsAreFramedJustifiedAndLedToTheirTabs) {
  Word shaded = W("Gelb");
  // Yellow behind the framed paragraph, beyond its text; a line above and
  // two below it.
  EXPECT_EQ(At(kColumnRight - 20, (shaded.yMin + shaded.yMax) / 2), (Rgb{255, 255, 0}));
  EXPECT_EQ(LinesDown(shaded.xMax + 40, shaded.yMin - 3, shaded.yMin + 3), 1);
  EXPECT_EQ(LinesDown(shaded.xMax + 40, shaded.yMax - 1, W("Dieser").yMin), 2);
  // Justified: the first line ends at the right margin, the last does not.
  std::vector<Word> dieser;
  for (const auto& [t, w] : *words_)
    if (t == "Dieser") dieser.push_back(w);
  ASSERT_EQ(dieser.size(), 2u);
  EXPECT_NEAR(dieser[1].xMax, kColumnRight, 1.5);
  EXPECT_LT(W("stehen.").xMax, kColumnRight - 20);
  // Dots lead from "Name" to the right tab at 6000 twips, where "Mustermann" ends.
  Word name = W("Name"), value = W("Mustermann");
  EXPECT_NEAR(value.xMax, kColumnLeft + 6000 / 20.0, 1.5);
  int leader = 0;
  for (double y = name.yMin; y <= name.yMax; y += 0.5) leader = std::max(leader, DarkAcross(name.xMax + 10, value.xMin - 10, y));
  EXPECT_GT(leader, 20);
}

TEST_F(LumoretFormTest, CharactersAreHighlightedCapitalisedUnderlinedAndSpaced) {
  Word marked = W("markiert"), shaded = W("schattiert");
  EXPECT_EQ(At(marked.xMin + 1, marked.yMin + 2), (Rgb{255, 255, 0}));
  EXPECT_EQ(At(shaded.xMin + 1, shaded.yMin + 2), (Rgb{204, 204, 204}));
  // Capitals are wider than the small letters they stand for; the text is
  // kept as it was written.
  Word caps = W("gross");
  EXPECT_GT(caps.xMax - caps.xMin, 30);
  // Under a double underline two lines, under a single-kind one, one.
  for (const char* w : {"doppelt", "gepunktet", "Worte"}) {
    Word u = W(w);
    double x = (u.xMin + u.xMax) / 2;
    int lines = 0;
    for (double dx = -4; dx <= 4; dx += 0.5) lines = std::max(lines, LinesDown(x + dx, u.yMax - 1.5, u.yMax + 2));
    EXPECT_EQ(lines, std::string(w) == "doppelt" ? 2 : 1) << w;
  }
  // Spaced letters: each letter 3 points further on.
  double spaced = W("t").xMax - W("g").xMin;
  EXPECT_GT(spaced, 7 * 3 + 30);
}

TEST_F(LumoretFormTest, TickBoxesAndParagraphDirection) {
  std::string text = Shell("pdftotext -layout " + pdf_ + " -");
  EXPECT_NE(text.find("\U0001F5F9 Ja"), std::string::npos) << text;
  EXPECT_NE(text.find("\U0001F78E Nein"), std::string::npos) << text;
  // A left-to-right paragraph that starts with Hebrew starts at the left
  // margin; a right-to-left one, right aligned, ends at the right margin.
  EXPECT_LT(W("hello").xMin, kColumnLeft + 60);
  EXPECT_GT(W("rtl").xMin, kColumnRight - 60);
}

}  // namespace
