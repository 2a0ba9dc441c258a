// Lumoret in a real window: started as an operator starts it on an X server
// of the test's own, worked with the real keyboard, the close box, a move of
// its window and a window manager's maximise, and read from screenshots,
// its printed PDF, its exit code and the placement it leaves in the
// registry.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/lumoret/lumoret_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/screen_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orn_test::Child;
using orn_test::ScreenSession;
using orn_test::Shot;
using orn_test::WindowBox;

constexpr const char* kLetterWindow = "^ORN RTF Viewer - letter[.]rtf$";
constexpr const char* kQuestionBox = "^ORN RTF Viewer$";

int Red(uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(uint32_t p) { return static_cast<int>(p & 0xFF); }

// Pixels of the rectangle for which `test` holds.
int CountIf(const Shot& s, int x, int y, int w, int h, bool (*test)(uint32_t)) {
  int n = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) n += test(s.At(i, j)) ? 1 : 0;
  return n;
}
bool Dark(uint32_t p) { return Red(p) < 80 && Green(p) < 80 && Blue(p) < 80; }
// The letter's heading colour, RGB(31,80,160), and its antialiased core.
bool HeadingBlue(uint32_t p) { return Red(p) < 60 && Green(p) > 60 && Green(p) < 100 && Blue(p) > 140; }
bool NotWhite(uint32_t p) { return p != 0xFFFFFF; }

class LumoretScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Missing();
    std::ofstream(dir_ / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n"
                                        "name=Archiv; dpi=300; size=2480x3508; offset=50x50\n";
    fs::copy_file(fs::path(std::getenv("ORN_TEST_SRCDIR")) / "tests/lumoret/testdata/brief.rtf", dir_ / "letter.rtf");
    // Registry calls of this process (reading the placement) use the program's registry.
    setenv("ORN_REGISTRY_DIR", (dir_ / "registry").c_str(), 1);
  }
  void TearDown() override { unsetenv("ORN_REGISTRY_DIR"); }

  std::map<std::string, std::string> Variables() const {
    return {{"ORN_REGISTRY_DIR", (dir_ / "registry").string()},
            {"ORN_SPOOL_DIR", (dir_ / "spool").string()},
            {"ORN_PRINTERS", (dir_ / "printers").string()},
            {"ORN_EVENTLOG", (dir_ / "eventlog.txt").string()},
            {"ORN_UI_TRANSCRIPT", (dir_ / "screen.transcript").string()},
            {"ORN_SCREEN", "1280x1024"}};
  }

  // Lumoret on the screen, as the operator starts it (no script).
  Child Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {LUMORET_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Child::Spawn(argv, x_.Environment(Variables()), dir_.path(), dir_ / "screen.log");
  }

  // Waits for a screenshot that `test` accepts; keeps the last one as a PNG
  // when none does.
  bool ScreenShows(const std::function<bool(const Shot&)>& test, Shot* last = nullptr) {
    Shot shot;
    const bool ok = x_.WaitForScreen(test, 20s, &shot);
    if (!ok) shot.SavePng(dir_ / "screen.png");
    if (last) *last = shot;
    return ok;
  }

  // Answers the close question with Yes from the keyboard.
  void AnswerYes() {
    const unsigned long box = x_.WaitForWindow(kQuestionBox);
    ASSERT_NE(box, 0u) << "no close question";
    ASSERT_TRUE(x_.Key(box, "alt+y"));
  }
  // The close box, Yes to the close question, and the end of the viewer.
  void CloseAnsweringYes(Child& lumoret, unsigned long w) {
    x_.CloseBox(w);
    AnswerYes();
    ASSERT_TRUE(lumoret.Wait(20s).has_value()) << "the viewer still runs";
  }

  std::vector<std::string> Transcript() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ / "screen.transcript");
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  ScreenSession x_;
  orn_test::ScratchDir dir_{"lumoret-screen"};
};

TEST_F(LumoretScreenTest, ShowsTheLetterAndPrintsItOnThePrinterChosenByKeys) {
  Child lumoret = Start({"-f", "letter.rtf"});
  const unsigned long w = x_.WaitForWindow(kLetterWindow);
  ASSERT_NE(w, 0u) << "no window with the letter's title";
  // The text area below the menu and tool bars: the letter's black text and
  // its blue heading in the column the page gives (5.77 inches, 554 pixels),
  // and nothing to the right of that column.
  EXPECT_TRUE(ScreenShows([&](const Shot& s) {
    const WindowBox b = x_.Box(w);
    return CountIf(s, b.x, b.y + 60, 560, 500, &Dark) > 5000 && CountIf(s, b.x, b.y + 60, 560, 500, &HeadingBlue) > 300 &&
           CountIf(s, b.x + 620, b.y + 70, 300, 500, &NotWhite) < 600;  // the scroll bar aside
  })) << "the letter is not shown";

  ASSERT_TRUE(x_.Key(w, "ctrl+p"));
  const unsigned long dialog = x_.WaitForWindow("^Print$");
  ASSERT_NE(dialog, 0u) << "Ctrl+P showed no print dialog";
  ASSERT_TRUE(x_.Key(dialog, "Down"));
  ASSERT_TRUE(x_.Key(dialog, "Return"));
  const std::optional<int> code = lumoret.Wait(30s);
  ASSERT_TRUE(code.has_value()) << "the printed letter did not end the viewer";
  EXPECT_EQ(*code, 1);

  const std::vector<std::string> lines = Transcript();
  auto has = [&lines](const std::string& prefix) {
    for (const std::string& l : lines)
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  };
  EXPECT_TRUE(has("printdlg | Office A4,Archiv | Archiv")) << "the second printer, chosen with Down";
  EXPECT_TRUE(has("spool | Archiv | ")) << "printed on the chosen printer";
  const std::vector<fs::path> pdfs = lumoret_test::Spooled(dir_.path());
  ASSERT_EQ(pdfs.size(), 1u);
  const std::string text = lumoret_test::Shell("pdftotext '" + pdfs[0].string() + "' -");
  EXPECT_NE(text.find("Ihre neue Karte und PUK"), std::string::npos) << text;
  EXPECT_NE(text.find("Sehr geehrte Frau Müller,"), std::string::npos) << text;
}

TEST_F(LumoretScreenTest, TheCopiesAndCollationTakenInThePrintDialogAreOnThePaper) {
  Child lumoret = Start({"-f", "letter.rtf"});
  const unsigned long w = x_.WaitForWindow(kLetterWindow);
  ASSERT_NE(w, 0u) << "no window with the letter's title";
  ASSERT_TRUE(x_.Key(w, "ctrl+p"));
  const unsigned long dialog = x_.WaitForWindow("^Print$");
  ASSERT_NE(dialog, 0u) << "Ctrl+P showed no print dialog";
  // Two copies typed into the spin button, Collate ticked by its access key,
  // back to the copies and Enter, which takes the dialog's default.
  ASSERT_TRUE(x_.Key(dialog, "alt+s"));
  ASSERT_TRUE(x_.Key(dialog, "ctrl+a"));
  ASSERT_TRUE(x_.Type(dialog, "2"));
  ASSERT_TRUE(x_.Key(dialog, "alt+o"));
  ASSERT_TRUE(x_.Key(dialog, "alt+s"));
  ASSERT_TRUE(x_.Key(dialog, "Return"));
  const std::optional<int> code = lumoret.Wait(30s);
  ASSERT_TRUE(code.has_value()) << "the printed letter did not end the viewer";
  EXPECT_EQ(*code, 1);

  const std::vector<fs::path> pdfs = lumoret_test::Spooled(dir_.path());
  ASSERT_EQ(pdfs.size(), 1u);
  const std::vector<std::string> lines = Transcript();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "spool | Office A4 | " + pdfs[0].filename().string() + " | 2 | 2 copies collated"),
            lines.end());
  // The letter's two pages ("Sehr geehrte" on the first, "Hinweise" on the
  // second) come twice, each copy whole.
  const std::string pdf = "'" + pdfs[0].string() + "'";
  const std::vector<int> order = {1, 2, 1, 2};
  EXPECT_NE(lumoret_test::Shell("pdfinfo " + pdf).find("Pages:           4\n"), std::string::npos);
  for (size_t page = 0; page < order.size(); ++page) {
    const std::string n = std::to_string(page + 1);
    const std::string text = lumoret_test::Shell("pdftotext -f " + n + " -l " + n + " " + pdf + " -");
    EXPECT_EQ(text.find("Sehr geehrte") != std::string::npos, order[page] == 1) << "page " << n;
    EXPECT_EQ(text.find("Hinweise") != std::string::npos, order[page] == 2) << "page " << n;
  }
}

TEST_F(LumoretScreenTest, TheHourglassShowsWhileThePrintRuns) {
  Child lumoret = Start({"-f", "letter.rtf"});
  const unsigned long w = x_.WaitForWindow(kLetterWindow);
  ASSERT_NE(w, 0u) << "no window with the letter's title";
  ASSERT_TRUE(x_.PointAt(w, 300, 300));
  const std::string idle = x_.CursorName();
  ASSERT_NE(idle, "wait");
  // Enough copies that the print lasts while the test looks at the pointer.
  ASSERT_TRUE(x_.Key(w, "ctrl+p"));
  const unsigned long dialog = x_.WaitForWindow("^Print$");
  ASSERT_NE(dialog, 0u) << "Ctrl+P showed no print dialog";
  ASSERT_TRUE(x_.Key(dialog, "alt+s"));
  ASSERT_TRUE(x_.Key(dialog, "ctrl+a"));
  ASSERT_TRUE(x_.Type(dialog, "400"));
  ASSERT_TRUE(x_.Key(dialog, "Return"));
  bool waited = false;
  std::optional<int> code;
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (!(code = lumoret.Wait(0s)) && std::chrono::steady_clock::now() < end)
    if (x_.CursorName() == "wait") waited = true;
  ASSERT_TRUE(code.has_value()) << "the print did not end the viewer";
  EXPECT_EQ(*code, 1);
  EXPECT_TRUE(waited) << "no hourglass while the print ran";
}

TEST_F(LumoretScreenTest, AltF4AndTheCloseBoxAskTheCloseQuestionAndEndAsHeadless) {
  Child lumoret = Start({"-f", "letter.rtf"});
  const unsigned long w = x_.WaitForWindow(kLetterWindow);
  ASSERT_NE(w, 0u);
  // Alt+F4: the question; Return takes its default button, No, and the
  // window stays.
  ASSERT_TRUE(x_.Key(w, "alt+F4"));
  const unsigned long box = x_.WaitForWindow(kQuestionBox);
  ASSERT_NE(box, 0u) << "Alt+F4 did not ask";
  ASSERT_TRUE(x_.Key(box, "Return"));
  ASSERT_TRUE(x_.WaitForNoWindow(kQuestionBox, 10s));
  EXPECT_FALSE(lumoret.Wait(1s).has_value()) << "No ended the viewer";
  // The close box: the same question; Yes ends the unprinted document.
  x_.CloseBox(w);
  AnswerYes();
  const std::optional<int> code = lumoret.Wait(20s);
  ASSERT_TRUE(code.has_value()) << "Yes did not end the viewer";
  const lumoret_test::Outcome headless =
      lumoret_test::RunLumoret(dir_.path(), {"-f", "letter.rtf"}, {"answer yes", "close"});
  EXPECT_EQ(*code, headless.exitCode);
  EXPECT_EQ(*code, 255);  // -1: loaded and not printed
}

TEST_F(LumoretScreenTest, AWindowTakenAwayFromOutsideEndsTheSessionAsAtTheEndOfAScript) {
  // Headless, the session ends when the script is done.
  const lumoret_test::Outcome headless = lumoret_test::RunLumoret(dir_.path(), {"-f", "letter.rtf"}, {});
  using Removal = ScreenSession::Removal;
  for (Removal how : {Removal::kDestroy, Removal::kKill, Removal::kServer}) {
    SCOPED_TRACE(static_cast<int>(how));
    ScreenSession x;
    ASSERT_TRUE(x.Available()) << x.Missing();
    Child lumoret =
        Child::Spawn({LUMORET_EXE, "-f", "letter.rtf"}, x.Environment(Variables()), dir_.path(), dir_ / "screen.log");
    const unsigned long w = x.WaitForWindow(kLetterWindow);
    ASSERT_NE(w, 0u);
    x.Remove(w, how);
    const std::optional<int> code = lumoret.Wait(20s);
    ASSERT_TRUE(code.has_value()) << "the viewer runs on without its window";
    EXPECT_EQ(*code, headless.exitCode);
  }
}

TEST_F(LumoretScreenTest, OnAScreenOfTwiceTheScaleTheWindowFitsAndTheLetterShowsPixelForPixel) {
  ScreenSession x(1024, 768);
  ASSERT_TRUE(x.StartWindowManager()) << x.Missing();
  std::map<std::string, std::string> vars = Variables();
  vars.erase("ORN_SCREEN");  // the screen's own size
  vars["GDK_SCALE"] = "2";
  Child lumoret =
      Child::Spawn({LUMORET_EXE, "-f", "letter.rtf"}, x.Environment(vars), dir_.path(), dir_ / "screen.log");
  const unsigned long w = x.WaitForWindow(kLetterWindow);
  ASSERT_NE(w, 0u);
  // The text in the column the page gives (554 of the device's pixels) and
  // nothing right of it, as at the scale of one; the window inside the screen.
  Shot last;
  const bool shown = x.WaitForScreen(
      [&](const Shot& s) {
        const WindowBox b = x.Box(w);
        return b.x >= 0 && b.y >= 0 && b.x + b.width <= 1024 && b.y + b.height <= 768 &&
               CountIf(s, b.x, b.y + 60, 560, 500, &HeadingBlue) > 300 &&
               CountIf(s, b.x + 620, b.y + 100, b.width - 660, 400, &NotWhite) < 300;
      },
      20s, &last);
  if (!shown) last.SavePng(dir_ / "screen.png");
  EXPECT_TRUE(shown) << "the letter at the device's pixels inside the screen";
  x.Remove(w, ScreenSession::Removal::kKill);
  EXPECT_TRUE(lumoret.Wait(20s).has_value());
}

TEST_F(LumoretScreenTest, TheToolbarButtonAndTheMenuPrintOnlyALoadedDocument) {
  auto count = [this](const std::string& prefix) {
    int n = 0;
    for (const std::string& l : Transcript()) n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  };
  // The toolbar's "Drucken" below the menu bar: dark text while it prints.
  auto buttonText = [this](unsigned long w, const Shot& s) {
    const WindowBox b = x_.Box(w);
    return CountIf(s, b.x, b.y + 26, 64, 24, &Dark);
  };
  {
    Child lumoret = Start({"-f", "letter.rtf"});
    const unsigned long w = x_.WaitForWindow(kLetterWindow);
    ASSERT_NE(w, 0u);
    EXPECT_TRUE(ScreenShows([&](const Shot& s) { return buttonText(w, s) > 15; })) << "the button is greyed";
    // The toolbar button, then the menu's first item by the keyboard: the
    // print dialog each time, cancelled with Escape.
    ASSERT_TRUE(x_.Click(w, 30, 39));
    unsigned long dialog = x_.WaitForWindow("^Print$");
    ASSERT_NE(dialog, 0u) << "the toolbar button showed no print dialog";
    ASSERT_TRUE(x_.Key(dialog, "Escape"));
    ASSERT_TRUE(x_.WaitForNoWindow("^Print$"));
    ASSERT_TRUE(x_.Key(w, "alt+d"));
    ASSERT_TRUE(x_.Key(w, "Return"));
    dialog = x_.WaitForWindow("^Print$");
    ASSERT_NE(dialog, 0u) << "Datei / Drucken... showed no print dialog";
    ASSERT_TRUE(x_.Key(dialog, "Escape"));
    ASSERT_TRUE(x_.WaitForNoWindow("^Print$"));
    EXPECT_EQ(count("printdlg | Office A4,Archiv | cancel"), 2);
    // Datei / Schließen: the close question.
    ASSERT_TRUE(x_.Key(w, "alt+d"));
    ASSERT_TRUE(x_.Xdotool({"key", "Down", "Return"}));
    AnswerYes();
    const std::optional<int> code = lumoret.Wait(20s);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 255);
  }
  // Nothing loaded: the button is greyed and a click on it does nothing;
  // closing asks nothing.
  Child lumoret = Start({"-f", "missing.rtf"});
  const unsigned long box = x_.WaitForWindow(kQuestionBox);
  ASSERT_NE(box, 0u) << "no error box for the missing file";
  ASSERT_TRUE(x_.Key(box, "Return"));
  // The frame has the box's title; it shows once the box has gone.
  unsigned long w = 0;
  ASSERT_TRUE(x_.WaitForScreen([&](const Shot&) {
    w = x_.WaitForWindow("^ORN RTF Viewer$", 0ms);
    return w != 0 && w != box;
  }));
  Shot shot;
  EXPECT_TRUE(ScreenShows([&](const Shot& s) { return buttonText(w, s) == 0; }, &shot))
      << buttonText(w, shot) << " dark pixels on the greyed button";
  ASSERT_TRUE(x_.Click(w, 30, 39));
  EXPECT_EQ(x_.WaitForWindow("^Print$", 2s), 0u) << "a greyed button printed";
  x_.CloseBox(w);
  const std::optional<int> code = lumoret.Wait(20s);
  ASSERT_TRUE(code.has_value()) << "closing without a document asked";
  EXPECT_EQ(*code, 254);
  EXPECT_EQ(count("printdlg"), 2);
}

TEST_F(LumoretScreenTest, PageDownScrollsAndTheMovedWindowIsRememberedAndRestored) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "Zeile " + std::to_string(i) + "\n";
  std::ofstream(dir_ / "lines.txt") << text;
  {
    Child lumoret = Start({"-f", "lines.txt"});
    const unsigned long w = x_.WaitForWindow("^ORN RTF Viewer - lines[.]txt$");
    ASSERT_NE(w, 0u);
    // The text area's top rows before and after PageDown, and back.
    auto topRows = [&](const Shot& s) {
      const WindowBox b = x_.Box(w);
      std::vector<uint32_t> rows;
      for (int y = b.y + 60; y < b.y + 160; ++y)
        for (int x = b.x + 5; x < b.x + 200; ++x) rows.push_back(s.At(x, y));
      return rows;
    };
    // Shown once the text is there and two shots in a row agree.
    std::vector<uint32_t> before;
    ASSERT_TRUE(ScreenShows([&](const Shot& s) {
      std::vector<uint32_t> rows = topRows(s);
      const bool settled = rows == before && CountIf(s, x_.Box(w).x, x_.Box(w).y + 60, 200, 100, &Dark) > 200;
      before = std::move(rows);
      return settled;
    }));
    ASSERT_TRUE(x_.Key(w, "Next"));
    EXPECT_TRUE(ScreenShows([&](const Shot& s) { return topRows(s) != before; })) << "PageDown did not scroll";
    ASSERT_TRUE(x_.Key(w, "Prior"));
    EXPECT_TRUE(ScreenShows([&](const Shot& s) { return topRows(s) == before; })) << "PageUp did not scroll back";

    // Moved and sized as a window manager does it, then closed.
    ASSERT_TRUE(x_.Xdotool({"windowmove", std::to_string(w), "200", "150"}));
    ASSERT_TRUE(x_.Xdotool({"windowsize", std::to_string(w), "700", "500"}));
    ASSERT_TRUE(ScreenShows([&](const Shot&) {
      const WindowBox b = x_.Box(w);
      return b.x == 200 && b.y == 150 && b.width == 700 && b.height == 500;
    }));
    CloseAnsweringYes(lumoret, w);
  }
  // The model's frame (4 pixels a side, caption and menu bar 44 above) around
  // the real window's client area.
  lumoret_test::Placement p;
  ASSERT_TRUE(lumoret_test::ReadPlacement(&p));
  EXPECT_EQ(p.fields[2], 1) << "shown normally";
  EXPECT_EQ(p.fields[7], 200);
  EXPECT_EQ(p.fields[8], 150);
  EXPECT_EQ(p.fields[9], 200 + 4 + 700 + 4);
  // Less the menu bar, which the model counts in its frame.
  EXPECT_GT(p.fields[10], 150 + 44 + 400);
  EXPECT_LE(p.fields[10], 150 + 44 + 500 + 4);

  // The next start comes back where the operator left the window.
  Child again = Start({"-f", "lines.txt"});
  const unsigned long w = x_.WaitForWindow("^ORN RTF Viewer - lines[.]txt$");
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(ScreenShows([&](const Shot&) {
    const WindowBox b = x_.Box(w);
    return b.x == 200 && b.y == 150 && b.width == 700 && b.height == 500;
  })) << x_.Box(w).x << "," << x_.Box(w).y << " " << x_.Box(w).width << "x" << x_.Box(w).height;
  CloseAnsweringYes(again, w);
}

TEST_F(LumoretScreenTest, AWindowMaximisedByTheWindowManagerIsRememberedMaximised) {
  ASSERT_TRUE(x_.StartWindowManager()) << x_.Missing();
  auto place = [this](unsigned long w) {
    const WindowBox b = x_.Box(w);
    return std::to_string(b.width) + "x" + std::to_string(b.height) + "+" + std::to_string(b.x) + "+" +
           std::to_string(b.y);
  };
  std::string normal;
  {
    Child lumoret = Start({"-f", "letter.rtf"});
    const unsigned long w = x_.WaitForWindow(kLetterWindow);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(x_.Xdotool({"windowsize", std::to_string(w), "700", "500"}));
    ASSERT_TRUE(ScreenShows([&](const Shot&) { return x_.Box(w).width == 700 && x_.Box(w).height == 500; }));
    normal = place(w);
    // Maximised by the window manager: as wide as the screen.
    x_.Maximize(w);
    ASSERT_TRUE(ScreenShows([&](const Shot&) { return x_.Box(w).width == 1280; })) << place(w);
    CloseAnsweringYes(lumoret, w);
  }
  lumoret_test::Placement p;
  ASSERT_TRUE(lumoret_test::ReadPlacement(&p));
  EXPECT_EQ(p.fields[2], 3) << "shown maximised";
  // The normal rectangle: the client area and the model's frame around it
  // (4 pixels a side).
  EXPECT_EQ(p.fields[9] - p.fields[7], 4 + 700 + 4);

  // The next start shows the frame normally (as the program shows it), at
  // the place and size it had before it was maximised.
  Child again = Start({"-f", "letter.rtf"});
  const unsigned long w = x_.WaitForWindow(kLetterWindow);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(ScreenShows([&](const Shot&) { return place(w) == normal; })) << place(w) << " is not " << normal;
  CloseAnsweringYes(again, w);
  ASSERT_TRUE(lumoret_test::ReadPlacement(&p));
  EXPECT_EQ(p.fields[2], 1) << "shown normally";
}

}  // namespace
