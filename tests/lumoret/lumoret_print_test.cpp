// Lumoret prints documents as they were written and never reports a failed
// print as printed: the real program prints a letter, and the PDF it leaves
// is read back with poppler's tools; failures of the spool, of a character
// and of memory end with their codes and boxes.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/lumoret/lumoret_run.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using lumoret_test::Outcome;
using lumoret_test::RunLumoret;
using lumoret_test::Shell;

// Office A4: 300 dpi, printable from 50 pixels in. The viewer's margins
// (1.25 inch left and right) put the text column from 90 to 529.2 points.
constexpr double kColumnLeft = 90, kColumnRight = 529.2;

class LumoretPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_ / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n";
  }
  fs::path Doc(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  static fs::path Letter() { return fs::path(std::getenv("ORN_TEST_SRCDIR")) / "tests/lumoret/testdata/brief.rtf"; }
  std::vector<fs::path> Spooled() const { return lumoret_test::Spooled(dir_.path()); }
  Outcome Print(const fs::path& doc, const std::map<std::string, std::string>& env = {},
                const lumoret_test::Limits& limits = {}) {
    return RunLumoret(dir_.path(), {"-f", doc.string()}, {"menu 501", "answer yes"}, env, limits);
  }

  orn_test::ScratchDir dir_{"lumoret-print"};
};

// The words of `text` in pdftotext -bbox output, each with its box.
struct Word {
  double xMin, yMin, xMax, yMax;
  int page;
};
std::vector<Word> Boxes(const std::string& bbox, const std::string& text) {
  std::vector<Word> out;
  std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  int page = 0;
  std::istringstream lines(bbox);
  for (std::string l; std::getline(lines, l);) {
    if (l.find("<page ") != std::string::npos) ++page;
    std::smatch m;
    if (std::regex_search(l, m, word) && m[5] == text)
      out.push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), page});
  }
  return out;
}

// The left and right edge of the line that begins with `first` and ends
// with `last` (one word may be both); false when there is none.
bool LineEdges(const std::string& bbox, const std::string& first, const std::string& last, double* left,
               double* right, int* page) {
  for (const Word& f : Boxes(bbox, first))
    for (const Word& l : Boxes(bbox, last))
      if (f.page == l.page && std::fabs(f.yMin - l.yMin) < 0.5 && l.xMax >= f.xMax) {
        *left = f.xMin;
        *right = l.xMax;
        *page = f.page;
        return true;
      }
  return false;
}

TEST_F(LumoretPrintTest, LetterPrintsWithItsFontsEmphasisAlignmentTableAndPageBreak) {
  Outcome o = Print(Letter());
  ASSERT_EQ(o.exitCode, 1) << o.stderrText;
  auto pdfs = Spooled();
  ASSERT_EQ(pdfs.size(), 1u);
  std::string pdf = "'" + pdfs[0].string() + "'";

  EXPECT_TRUE(std::regex_search(Shell("pdfinfo " + pdf), std::regex("Pages: +2\n")));  // the \page
  std::string fonts = Shell("pdffonts " + pdf);
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\\+LiberationSans-Bold "))) << fonts;
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\\+LiberationSans-Italic "))) << fonts;
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\\+LiberationSans "))) << fonts;
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\\+LiberationMono "))) << fonts;  // Courier New in the table

  // The table's cells side by side, with room between them; the text in the
  // document's code page and in \u characters.
  std::string layout = Shell("pdftotext -layout " + pdf + " -");
  for (const char* row : {"Feld +Wert", "Kartennummer +1234 5678", "PUK +87654321"})
    EXPECT_TRUE(std::regex_search(layout, std::regex(std::string("\n *") + row + " *\n"))) << row << "\n" << layout;
  EXPECT_TRUE(std::regex_search(layout, std::regex("Kartennummer: {3,}1234 5678 {3,}gültig"))) << layout;  // tabs
  EXPECT_NE(layout.find("„Grüße“ und € 5,00 Gebühr"), std::string::npos) << layout;
  EXPECT_NE(layout.find("Sehr geehrte Frau Müller,"), std::string::npos);
  size_t pageBreak = layout.find('\f');
  ASSERT_NE(pageBreak, std::string::npos);
  EXPECT_LT(layout.find("Ihr Kartenservice"), pageBreak);
  EXPECT_GT(layout.find("Hinweise"), pageBreak);

  // Centred lines stand in the middle of the column, the date at its right.
  std::string bbox = Shell("pdftotext -bbox " + pdf + " -");
  double middle = (kColumnLeft + kColumnRight) / 2;
  double left = 0, right = 0;
  int page = 0;
  ASSERT_TRUE(LineEdges(bbox, "Zentrierte", "Zeile", &left, &right, &page));
  EXPECT_EQ(page, 2);
  EXPECT_NEAR((left + right) / 2, middle, 2);
  ASSERT_TRUE(LineEdges(bbox, "Ihre", "PUK", &left, &right, &page));  // the heading
  EXPECT_NEAR((left + right) / 2, middle, 2);
  ASSERT_TRUE(LineEdges(bbox, "Berlin,", "2024", &left, &right, &page));
  EXPECT_NEAR(right, kColumnRight, 2);
  ASSERT_TRUE(LineEdges(bbox, "Sehr", "Müller,", &left, &right, &page));
  EXPECT_NEAR(left, kColumnLeft, 2);

  // The logo is a picture of its own.
  std::string images = Shell("pdfimages -list " + pdf);
  EXPECT_TRUE(std::regex_search(images, std::regex("\n +1 +[0-9]+ +image +24 +24 "))) << images;
}

TEST_F(LumoretPrintTest, CopiesOfTheDialogAreWrittenIntoThePdf) {
  // The letter has two pages: "Sehr geehrte" on the first, "Hinweise" on the second.
  struct Case {
    std::string choice, line;
    std::vector<int> order;  // the letter's page on each page of the PDF
  };
  std::vector<Case> cases = {
      {"printer \"Office A4\"", " | 2", {1, 2}},
      {"printer \"Office A4\" copies=2", " | 2 | 2 copies", {1, 1, 2, 2}},
      {"printer \"Office A4\" copies=3 collate", " | 2 | 3 copies collated", {1, 2, 1, 2, 1, 2}},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "spool");
    Outcome o = RunLumoret(dir_.path(), {"-f", Letter().string()}, {c.choice, "menu 501"});
    ASSERT_EQ(o.exitCode, 1) << c.choice << o.stderrText;
    auto pdfs = Spooled();
    ASSERT_EQ(pdfs.size(), 1u) << c.choice;
    std::string pdf = "'" + pdfs[0].string() + "'";
    ASSERT_EQ(o.Starting("spool | Office A4 | ").size(), 1u);
    EXPECT_EQ(o.Starting("spool | Office A4 | ")[0], "spool | Office A4 | " + pdfs[0].filename().string() + c.line);
    EXPECT_TRUE(std::regex_search(Shell("pdfinfo " + pdf), std::regex("Pages: +" + std::to_string(c.order.size()) + "\n")))
        << c.choice;
    for (size_t page = 0; page < c.order.size(); ++page) {
      std::string text = Shell("pdftotext -f " + std::to_string(page + 1) + " -l " + std::to_string(page + 1) + " " + pdf + " -");
      bool first = text.find("Sehr geehrte") != std::string::npos, second = text.find("Hinweise") != std::string::npos;
      EXPECT_EQ(first, c.order[page] == 1) << c.choice << " page " << page + 1;
      EXPECT_EQ(second, c.order[page] == 2) << c.choice << " page " << page + 1;
    }
  }
  // Copies outside what a dialog takes are an error of the script.
  Outcome o = RunLumoret(dir_.path(), {"-f", Letter().string()}, {"printer \"Office A4\" copies=0", "menu 501"});
  EXPECT_NE(o.stderrText.find("copies=N (1 to 9999)"), std::string::npos) << o.stderrText;
}

TEST_F(LumoretPrintTest, PlainTextInItsEncodingsPrintsAsText) {
  struct Case {
    std::string name, bytes, line;
  };
  std::vector<Case> cases = {
      {"utf8-bom", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\r\n", "Grüße aus Köln"},
      {"utf8", "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln\n", "Grüße aus Köln"},
      {"utf16", std::string("\xFF\xFEG\0r\0\xFC\0\xDF\0" "e\0", 12), "Grüße"},
      {"cp1252", "Gr\xFC\xDF" "e \x80\n", "Grüße €"},
      {"nul", std::string("vor\0nach\nZeile 2", 16), "vor nach"},  // a NUL does not cut the line
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "spool");
    Outcome o = Print(Doc(c.name + ".txt", c.bytes));
    ASSERT_EQ(o.exitCode, 1) << c.name << o.stderrText;
    auto pdfs = Spooled();
    ASSERT_EQ(pdfs.size(), 1u) << c.name;
    std::string text = Shell("pdftotext -layout '" + pdfs[0].string() + "' -");
    EXPECT_NE(text.find(c.line), std::string::npos) << c.name << ": " << text;
    EXPECT_NE(Shell("pdffonts '" + pdfs[0].string() + "'").find("LiberationMono"), std::string::npos) << c.name;
  }
}

TEST_F(LumoretPrintTest, FailedSpoolWriteEndsWithTheErrorAndNeverPrinted) {
  struct Case {
    std::string what;
    std::map<std::string, std::string> env;
    lumoret_test::Limits limits;
    std::string message;
  };
  std::ofstream(dir_ / "plain-file") << "x";
  std::vector<Case> cases = {
      // The disk fills up while the letter is written.
      {"full disk", {}, {0, 16 * 1024}, "There is not enough space on the disk."},
      // The spool folder cannot be made: a file stands in its place.
      {"no folder", {{"ORN_SPOOL_DIR", (dir_ / "plain-file" / "spool").string()}}, {}, "The system cannot find the path specified."},
  };
  for (const auto& c : cases) {
    Outcome o = Print(Letter(), c.env, c.limits);
    EXPECT_EQ(o.exitCode, 255) << c.what << o.stderrText;  // -1: loaded, not printed
    EXPECT_TRUE(o.Has("msgbox | ORN RTF Viewer | 8208 | " + c.message + "\\r\\n | ok (default)")) << c.what;
    EXPECT_TRUE(o.Starting("status | Dokument gedruckt").empty()) << c.what;
    EXPECT_TRUE(Spooled().empty()) << c.what;  // nothing half-written is left
  }
}

TEST_F(LumoretPrintTest, CharacterNoTextCanCarryPrintsAsReplacementCharacter) {
  // Half a surrogate pair and a noncharacter: no PDF text can hold them, so
  // each prints as U+FFFD and the rest of the document prints as it stands.
  for (const char* ch : {"\\u-10179?", "\\u-1?"}) {
    fs::remove_all(dir_ / "spool");
    Outcome o = Print(Doc("odd.rtf", std::string("{\\rtf1 Seite eins\\page Zeichen ") + ch + " allein}"));
    ASSERT_EQ(o.exitCode, 1) << ch << o.stderrText;
    auto pdfs = Spooled();
    ASSERT_EQ(pdfs.size(), 1u) << ch;
    std::string text = Shell("pdftotext '" + pdfs[0].string() + "' -");
    EXPECT_NE(text.find("Seite eins"), std::string::npos) << ch << text;
    EXPECT_NE(text.find("Zeichen \uFFFD allein"), std::string::npos) << ch << text;
  }
}

TEST_F(LumoretPrintTest, DocumentTooLargeForMemoryIsNotLoaded) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer reserves more address space than the limit allows";
#endif
  constexpr rlim_t kLimit = 512u << 20;
  // A text of 40 MB fits (its document takes about as much again) ...
  std::string line = "Eine Zeile Text, wie sie in einer langen Datei steht.\r\n";
  {
    std::ofstream big(dir_ / "big.txt", std::ios::binary);
    for (size_t n = 0; n < (40u << 20); n += line.size()) big << line;
  }
  Outcome o = RunLumoret(dir_.path(), {"-f", (dir_ / "big.txt").string()}, {"state", "answer yes", "close"}, {},
                         {kLimit, 0});
  EXPECT_EQ(o.exitCode, 255) << o.stderrText;
  EXPECT_EQ(o.State()["status"], "Dokument geladen");
  fs::remove(dir_ / "big.txt");
  // ... one of 600 MB does not: it ends as not loaded, with the error box.
  {
    std::ofstream huge(dir_ / "huge.txt", std::ios::binary);
    huge.seekp((600u << 20) - 1);
    huge << 'x';
  }
  o = RunLumoret(dir_.path(), {"-f", (dir_ / "huge.txt").string()}, {"state"}, {}, {kLimit, 0});
  EXPECT_EQ(o.exitCode, 254) << o.stderrText;  // -2
  EXPECT_TRUE(o.Has("msgbox | ORN RTF Viewer | 8208 | Not enough memory resources are available to process this "
                    "command.\\r\\n | ok (default)"));
  EXPECT_EQ(o.State()["status"], "Kein Dokument");
}

TEST_F(LumoretPrintTest, MalformedPrinterSettingEndsWith124AndSaysWhatItTakes) {
  struct Case {
    std::string printers;  // empty: the file is missing
    std::string why;
  };
  std::vector<Case> cases = {
      {"", "it cannot be read"},
      {"name=X; dpi=many; size=1x1\n", "line 1: 'many' is not a number"},
  };
  const std::string takes = "ORN_PRINTERS must be a file of printers, one a line: name=NAME; dpi=";
  for (const auto& c : cases) {
    fs::remove(dir_ / "printers");
    if (!c.printers.empty()) std::ofstream(dir_ / "printers") << c.printers;
    Outcome o = RunLumoret(dir_.path(), {"-f", Letter().string()}, {});
    EXPECT_EQ(o.exitCode, 124) << c.why;
    EXPECT_EQ(o.stderrText.rfind(takes, 0), 0u) << o.stderrText;
    const std::string end = ", not '" + (dir_ / "printers").string() + "' (" + c.why + ")\n";
    ASSERT_GE(o.stderrText.size(), end.size()) << o.stderrText;
    EXPECT_EQ(o.stderrText.substr(o.stderrText.size() - end.size()), end) << o.stderrText;
    EXPECT_EQ(std::count(o.stderrText.begin(), o.stderrText.end(), '\n'), 1) << o.stderrText;
  }
}

}  // namespace
