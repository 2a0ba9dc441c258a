// Quillet in a real window on the demo profile: the operator clicks sheet
// buttons that scan from the scanner stack's test device, drags a file from
// a file manager onto a sheet button, answers the boxes and presses OK or
// the close box; the screen shows the sheets' check colours, and the run
// ends with the exit code and files of the same steps headless. Picks from
// the combo boxes' lists, typing and a slider drag reach the program as the
// script's verbs do, and a window manager maximises, minimises and sizes
// the window; a run that watches reads the model from a dump the script
// writes every tenth of a second while the operator works.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

#include "tests/quillet/quillet_run.h"
#include "tests/support/screen_session.h"

namespace quillet_test {
namespace {

using namespace std::chrono_literals;
using orn_test::Child;
using orn_test::Shot;
using orn_test::WindowBox;
// A whole dump of the model: "Quillet1.Twain(1).Text" -> "\"150\"".
using Model = std::map<std::string, std::string>;

constexpr uint32_t kGreen = 0x00FF00, kRed = 0xFF0000;
constexpr char kMainWindow[] = "^Quillet 2[.]14";

class QuilletScreenTest : public QuilletRun {
 protected:
  QuilletScreenTest() : QuilletRun("screen") {}

  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Missing();
    QuilletRun::SetUp();
    const char* src = std::getenv("ORN_TEST_SRCDIR");
    ASSERT_NE(src, nullptr);
    Ini(ReadText(fs::path(src) / "demo" / "Quillet.ini"));
    fs::copy_file(fs::path(src) / "demo" / "demo-finish.png", Bin() / "demo-finish.png");
    // The scanner stack's test device, as the demo configures it.
    fs::create_directories(Root() / "sane");
    std::ofstream(Root() / "sane" / "dll.conf") << "test\n";
    std::ofstream(Root() / "sane" / "test.conf") << "number_of_devices 1\nmode Color\ndepth 8\nresolution 75\n"
                                                    "geometry_max 300.0\nbr_x 86.0\nbr_y 54.0\ntest-picture \"Grid\"\n";
    Env("SANE_CONFIG_DIR", (Root() / "sane").string());
    // The application form to drop: light paper with bars of dark "text".
    WriteBmp(Root() / "antrag.bmp", 120, 170, [](int32_t x, int32_t y) -> uint8_t {
      return y > 8 && y < 162 && y % 12 < 4 && x >= 8 && x < 112 ? 0x30 : 0xF0;
    });
    // Where the window puts its controls: the same profile headless says it.
    Script("dump layout.txt\n");
    RunDemo();
    layout_ = Dump("layout.txt");
    ASSERT_FALSE(layout_.empty());
  }

  // Quillet on the screen as the operator starts it: no script. Watched,
  // its script only lets the operator work and dumps the model (state.txt)
  // every tenth of a second, for a minute at most.
  Child Start(bool watched = false) { return Start(x_, watched); }
  Child Start(orn_test::ScreenSession& x, bool watched) {
    std::map<std::string, std::string> vars = Variables();
    if (watched) {
      std::string script;
      for (int i = 0; i < 600; ++i) script += "wait 100\ndump state.txt\n";
      Script(script);
    } else {
      vars["ORN_UI_SCRIPT"] = "";
    }
    return Child::Spawn({(Bin() / "Quillet").string(), "demo", "12345", Out().string()}, x.Environment(vars), Root(),
                        Root() / "screen.log");
  }

  // Waits for a whole dump of the watched run's model that `test` accepts;
  // `last` receives the last whole dump read.
  bool WaitForModel(const std::function<bool(const Model&)>& test, Model* last = nullptr) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    Model m;
    bool ok = false;
    while (!ok && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(50ms);
      Model now = ReadDump(Root() / "state.txt");
      if (!now.count("App.Title")) continue;  // caught while it was written
      m = std::move(now);
      ok = test(m);
    }
    if (last) *last = m;
    return ok;
  }
  static std::function<bool(const Model&)> Holds(const std::string& name, const std::string& value) {
    return [name, value](const Model& m) { return m.count(name) && m.at(name) == value; };
  }

  // Replaces the demo profile's trace level.
  void TraceLevel(int level) {
    std::string ini = ReadText(Bin() / "Quillet.ini");
    ini.replace(ini.find("DebugLevel=3"), 12, "DebugLevel=" + std::to_string(level));
    Ini(ini);
  }
  // The log's lines from line `from` on, without their time.
  Lines LogFrom(size_t from) const {
    Lines lines = Log();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())));
    for (std::string& l : lines) l.erase(0, std::min(l.size(), sizeof kStamp - 1));
    return lines;
  }

  // A control's box in the window's client area, pixels, as `model` (by
  // default the headless start) places it.
  WindowBox Place(const std::string& control, const Model* model = nullptr) {
    const Model& m = model ? *model : layout_;
    auto px = [&](const char* p) { return std::stoi(m.at("Quillet1." + control + "." + p)) / 15; };
    return {px("Left"), px("Top"), px("Width"), px("Height")};
  }

  // Waits until the face of `control` left of its caption is `rgb`.
  bool Face(unsigned long window, const std::string& control, uint32_t rgb) {
    const orn_test::WindowBox c = Place(control);
    Shot last;
    const bool ok = x_.WaitForScreen(
        [&](const Shot& s) {
          const orn_test::WindowBox w = x_.Box(window);
          return s.Count(w.x + c.x + 3, w.y + c.y + 3, 4, c.height - 6, rgb) == 4 * (c.height - 6);
        },
        30s, &last);
    if (!ok) last.SavePng(Root() / ("screen-" + control + ".png"));
    return ok;
  }

  // Answers the message box titled `title` (a regular expression) with `keys`.
  bool Answer(const std::string& title, const std::string& keys) {
    const unsigned long box = x_.WaitForWindow("^" + title + "$");
    return box != 0 && x_.Key(box, keys);
  }

  bool ClickOn(unsigned long window, const std::string& control, const Model* model = nullptr) {
    const WindowBox c = Place(control, model);
    return x_.Click(window, c.x + c.width / 2, c.y + c.height / 2);
  }

  orn_test::ScreenSession x_;
  std::map<std::string, std::string> layout_;
};

TEST_F(QuilletScreenTest, ScansTakesADroppedFileAndSavesOnOk) {
  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  EXPECT_TRUE(Face(w, "Page(0)", kRed)) << "a sheet without a scan";
  EXPECT_TRUE(Face(w, "DoOK", kRed)) << "OK while not every sheet is accepted";

  ASSERT_TRUE(ClickOn(w, "Page(0)"));
  EXPECT_TRUE(Face(w, "Page(0)", kGreen)) << "scanned and checked";
  ASSERT_TRUE(ClickOn(w, "Page(1)"));
  EXPECT_TRUE(Face(w, "Page(1)", kGreen));

  const orn_test::WindowBox box = x_.Box(w), page = Place("Page(2)");
  ASSERT_TRUE(x_.DragFiles({(Root() / "antrag.bmp").string()}, box.x + page.x + page.width / 2,
                           box.y + page.y + page.height / 2));
  EXPECT_TRUE(Face(w, "Page(2)", kGreen)) << "the dropped form, imported and checked";
  EXPECT_TRUE(Face(w, "DoOK", kGreen));

  ASSERT_TRUE(ClickOn(w, "DoOK"));
  // "Back to the window?" No: save. Then the closing report, OK.
  ASSERT_TRUE(Answer("Frage !", "alt+n"));
  ASSERT_TRUE(Answer("Quillet", "Return"));
  const std::optional<int> code = quillet.Wait(30s);
  ASSERT_TRUE(code.has_value()) << "Quillet still runs after OK";
  EXPECT_EQ(*code, 1) << "every sheet accepted and saved";
  EXPECT_TRUE(fs::exists(Out() / "AUSWEIS_12345.TIF"));
  EXPECT_TRUE(fs::exists(Out() / "ANTRAG_12345.JPG"));
  const Lines boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "msgbox | Frage ! | 4 | Zur\xC3\xBC" "ck zum Fenster, um noch etwas zu \xC3\xA4ndern? | no");
}

TEST_F(QuilletScreenTest, ATwoLineCaptionShowsBothLinesCentredInItsButton) {
  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  ASSERT_TRUE(Face(w, "Page(0)", kRed));
  // "Ausweis" above "Vorderseite" is taller than the 20-pixel face: the
  // block stands centred and clipped, the first line's lower part in the
  // upper half, the second's upper part in the lower half, ink cut off at
  // the face's top and bottom edges.
  const WindowBox c = Place("Page(0)");
  Shot shot;
  const bool both = x_.WaitForScreen(
      [&](const Shot& s) {
        const WindowBox b = x_.Box(w);
        int top = c.height, bottom = -1, upper = 0, lower = 0;
        for (int y = 1; y < c.height - 1; ++y)
          for (int x = 2; x < c.width - 2; ++x) {
            const uint32_t p = s.At(b.x + c.x + x, b.y + c.y + y);
            if ((p >> 16 & 0xFF) > 90 || (p >> 8 & 0xFF) > 90 || (p & 0xFF) > 90) continue;
            top = std::min(top, y), bottom = std::max(bottom, y);
            (y < c.height / 2 ? upper : lower) += 1;
          }
        return upper > 20 && lower > 20 && top <= 2 && bottom >= c.height - 3;
      },
      20s, &shot);
  if (!both) shot.SavePng(Root() / "screen-caption.png");
  EXPECT_TRUE(both) << "not both lines of the caption in the button";
  quillet.Kill();
}

TEST_F(QuilletScreenTest, TheCloseBoxEndsAsHeadless) {
  // Headless first: the close box with nothing scanned asks twice; "no" to
  // going back, "yes" to ending without saving.
  Script("answer no\nanswer yes\nclose\n");
  const int headless = RunDemo();
  const Lines headlessBoxes = MessageBoxes();
  ASSERT_EQ(headlessBoxes.size(), 2u);
  fs::remove(Root() / "transcript.txt");

  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u);
  x_.CloseBox(w);
  ASSERT_TRUE(Answer("Frage !", "alt+n"));
  ASSERT_TRUE(Answer("Warning !", "alt+y"));
  const std::optional<int> code = quillet.Wait(30s);
  ASSERT_TRUE(code.has_value()) << "the close box did not end Quillet";
  EXPECT_EQ(*code, headless);
  EXPECT_EQ(MessageBoxes(), headlessBoxes);
  EXPECT_TRUE(fs::is_empty(Out())) << "ended without saving";
}

TEST_F(QuilletScreenTest, AWindowTakenAwayFromOutsideEndsTheSessionAsAtTheEndOfAScript) {
  TraceLevel(8);
  // Headless, the session ends when the script is done: the form is asked
  // with the session's unload mode and Quillet ends without saving.
  Script("");
  const int ended = RunDemo();
  const Lines headless = LogFrom(0);
  const auto asked = std::find(headless.begin(), headless.end(), "BEG-UnLoad,0/2");
  ASSERT_NE(asked, headless.end());
  const Lines end(asked, headless.end());
  using Removal = orn_test::ScreenSession::Removal;
  for (Removal how : {Removal::kDestroy, Removal::kKill, Removal::kServer}) {
    SCOPED_TRACE(static_cast<int>(how));
    fs::remove(Bin() / "Quillet.log");
    orn_test::ScreenSession x;
    ASSERT_TRUE(x.Available()) << x.Missing();
    Child quillet = Start(x, false);
    const unsigned long w = x.WaitForWindow(kMainWindow);
    ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
    x.Remove(w, how);
    const std::optional<int> code = quillet.Wait(30s);
    ASSERT_TRUE(code.has_value()) << "Quillet runs on without its window";
    EXPECT_EQ(*code, ended) << ReadText(Root() / "screen.log");
    const Lines log = LogFrom(0);
    ASSERT_GE(log.size(), end.size());
    EXPECT_EQ(Lines(log.end() - static_cast<std::ptrdiff_t>(end.size()), log.end()), end);
    EXPECT_TRUE(fs::is_empty(Out())) << "ended without saving";
  }
}

TEST_F(QuilletScreenTest, OnAScreenOfTwiceTheScaleTheWindowFitsAndItsControlsStandWhereTheModelPutsThem) {
  // A smaller screen than the default one: the model takes the screen's own.
  orn_test::ScreenSession x(1024, 768);
  ASSERT_TRUE(x.StartWindowManager()) << x.Missing();
  Env("ORN_SCREEN", "");
  Env("GDK_SCALE", "2");
  Child quillet = Start(x, true);
  const unsigned long w = x.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  Model m;
  ASSERT_TRUE(WaitForModel(Holds("Screen.Width", "15360"), &m)) << "the model's screen: " << m["Screen.Width"];
  EXPECT_EQ(m["Screen.Height"], "11520");
  // Each of the model's pixels is one of the screen's: the window inside
  // the screen, its help button and status line inside its client area,
  // and a sheet button's red face where the model has it.
  const WindowBox b = x.Box(w);
  const WindowBox help = Place("DoHelp", &m), status = Place("Status", &m);
  EXPECT_GE(b.x, 0);
  EXPECT_GE(b.y, 0);
  EXPECT_LE(b.x + b.width, 1024);
  EXPECT_LE(b.y + b.height, 768);
  EXPECT_LE(help.x + help.width, b.width);
  EXPECT_LE(status.y + status.height, b.height);
  // (GTK draws a button's border at its own scale: the middle of the face.)
  const WindowBox page = Place("Page(0)", &m);
  Shot last;
  const bool shown = x.WaitForScreen(
      [&](const Shot& s) {
        return s.Count(b.x + page.x + 5, b.y + page.y + page.height / 2 - 2, 4, 4, kRed) == 16 &&
               s.Count(b.x + page.x - 4, b.y + page.y + page.height / 2 - 2, 3, 4, kRed) == 0;
      },
      20s, &last);
  if (!shown) last.SavePng(Root() / "screen-scale.png");
  EXPECT_TRUE(shown) << "the first sheet button's face where the model has it";
  quillet.Kill();
}

TEST_F(QuilletScreenTest, TheHourglassShowsWhileTheScanRuns) {
  // A scanner whose scan lasts until the test lets it end.
  const fs::path hold = Root() / "hold";
  std::ofstream(hold) << "";
  std::ofstream(Root() / "sane" / "dll.conf") << "ornfake\n";
  std::ofstream(Root() / "sane" / "ornfake.conf") << "device fake:1 local\nhold " << hold.string() << "\n";
  Env("LD_LIBRARY_PATH", ORN_FAKE_SANE_DIR);
  Child quillet = Start(true);
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  const std::string idle = x_.CursorName();
  ASSERT_TRUE(ClickOn(w, "Page(0)"));  // the pointer stays on the sheet button
  EXPECT_EQ(x_.WaitForCursor("wait"), "wait") << "no hourglass while the scan runs";
  fs::remove(hold);
  EXPECT_TRUE(WaitForModel(Holds("Quillet1.Thsav(0).Left", "1"))) << "the sheet is not scanned";
  EXPECT_EQ(x_.WaitForCursor(idle), idle) << "the hourglass stays after the scan";
  quillet.Kill();
}

TEST_F(QuilletScreenTest, TheSourceDialogListsTheScannersToChooseFrom) {
  std::ofstream(Root() / "sane" / "test.conf") << "number_of_devices 2\nmode Color\ndepth 8\nresolution 75\n";
  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(ClickOn(w, "DoSelect"));
  const unsigned long dialog = x_.WaitForWindow("^Select Source$");
  ASSERT_NE(dialog, 0u) << "no source dialog";
  // The first source is marked; the operator takes the second.
  ASSERT_TRUE(x_.Key(dialog, "Down"));
  ASSERT_TRUE(x_.Key(dialog, "Return"));
  ASSERT_TRUE(x_.WaitForNoWindow("^Select Source$", 10s));
  const Lines t = Transcript();
  EXPECT_NE(std::find(t.begin(), t.end(), "dialog | Select Source | test:0;test:1 | test:1"), t.end())
      << ReadText(Root() / "transcript.txt");
  x_.CloseBox(w);
  quillet.Kill();
}

TEST_F(QuilletScreenTest, PicksTypingAndASliderDragReachTheProgramAsTheScriptsVerbsDo) {
  TraceLevel(8);  // every procedure's entry and every key in the log
  Child quillet = Start(true);
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  Model m;
  ASSERT_TRUE(ClickOn(w, "Page(0)"));
  ASSERT_TRUE(WaitForModel(Holds("Quillet1.Page(0).BackColor", "&H00FF00"))) << "the first sheet is not scanned";
  ASSERT_TRUE(ClickOn(w, "DoSetup"));
  ASSERT_TRUE(WaitForModel(Holds("Quillet1.Twain(1).Visible", "True"), &m)) << "no scan options";

  // The scan options' lists dropped down with the mouse, the second item
  // clicked: as "pick Twain(0) GRAY8" and "pick Twain(1) 150".
  struct Pick {
    const char* combo;
    const char* item;
  } picks[] = {{"Twain(0)", "\"GRAY8\""}, {"Twain(1)", "\"150\""}};
  for (const Pick& p : picks) {
    SCOPED_TRACE(p.combo);
    const WindowBox c = Place(p.combo, &m);
    ASSERT_TRUE(x_.Click(w, c.x + c.width - 8, c.y + c.height / 2));  // the button at its right end
    const std::optional<WindowBox> list = x_.WaitForPopup();
    ASSERT_TRUE(list.has_value()) << "the list did not drop down";
    const WindowBox b = x_.Box(w);
    ASSERT_TRUE(x_.Click(w, list->x - b.x + list->width / 2, list->y - b.y + list->height * 3 / 4));
    Model picked;
    EXPECT_TRUE(WaitForModel(Holds(std::string("Quillet1.") + p.combo + ".Text", p.item), &picked))
        << picked[std::string("Quillet1.") + p.combo + ".Text"];
    EXPECT_EQ(picked[std::string("Quillet1.") + p.combo + ".ListIndex"], "1");
  }
  // The scan takes them: grey, at 150 dpi.
  ASSERT_TRUE(ClickOn(w, "DoAqu", &m));
  EXPECT_TRUE(WaitForModel(Holds("Quillet1.Thsav(0).Resolution", "150x150"), &m));
  EXPECT_EQ(m["Quillet1.Thsav(0).Image"], "507x318x8 grey");

  // Typed into the zoom factor's field over its selected text: the keys
  // and changes are those of "key 17 ctrl", "key A ctrl", "key 5", "type
  // ZoomFact 5", "key 0", "type ZoomFact 50" (one change a key), and the
  // view takes the factor.
  const WindowBox zoom = Place("ZoomFact", &m);
  size_t mark = Log().size();
  ASSERT_TRUE(x_.Click(w, zoom.x + 10, zoom.y + zoom.height / 2));
  ASSERT_TRUE(x_.Key(w, "ctrl+a"));
  ASSERT_TRUE(x_.Type(w, "50"));
  EXPECT_TRUE(WaitForModel(Holds("Quillet1.L1.Zoom", "50"), &m)) << m["Quillet1.L1.Zoom"];
  EXPECT_EQ(m["Quillet1.ZoomFact.Text"], "\"50\"");
  EXPECT_EQ(LogFrom(mark), (Lines{"BEG-KeyDown,17/2", "BEG-KeyDown,65/2", "BEG-KeyDown,53/0", "BEG-ZoomFact",
                                  "BEG-L1_Zoom,5", "BEG-KeyDown,48/0", "BEG-ZoomFact", "BEG-L1_Zoom,50"}));

  // The brightness slider's knob dragged past the end of its scale: while
  // the button is held the view follows (Scroll), as "slide SlideB 100
  // hold"; the release sets the position (Change), which the thumbnail takes.
  const WindowBox b = x_.Box(w), slider = Place("SlideB", &m);
  const int y = b.y + slider.y + slider.height / 2;
  mark = Log().size();
  ASSERT_TRUE(x_.Press(b.x + slider.x + slider.width / 2, y));
  ASSERT_TRUE(x_.MoveTo(b.x + slider.x + slider.width + 40, y));
  EXPECT_TRUE(WaitForModel(Holds("Quillet1.SlideB.Value", "100"), &m)) << m["Quillet1.SlideB.Value"];
  Lines held = LogFrom(mark);
  ASSERT_FALSE(held.empty());
  for (size_t i = 0; i < held.size(); ++i) EXPECT_EQ(held[i], i % 2 ? "END-Slider" : "BEG-Slider,0") << i;
  ASSERT_TRUE(x_.Release());
  Lines released;
  const auto end = std::chrono::steady_clock::now() + 10s;
  while ((released = LogFrom(mark + held.size())).size() < 3 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(released, (Lines{"BEG-Slider,1", "BEG-L1Thumb,0", "END-Slider"}));
  quillet.Kill();
}

TEST_F(QuilletScreenTest, TheStatusLineTakesWhatTheOperatorTypes) {
  Child quillet = Start(true);
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  ASSERT_TRUE(ClickOn(w, "Status"));
  ASSERT_TRUE(x_.Key(w, "ctrl+a"));
  ASSERT_TRUE(x_.Type(w, "Anna 42"));
  Model m;
  EXPECT_TRUE(WaitForModel(Holds("Quillet1.Status.Text", "\"Anna 42\""), &m)) << m["Quillet1.Status.Text"];
  EXPECT_EQ(m["Quillet1.ActiveControl"], "\"Status\"");
  quillet.Kill();
}

TEST_F(QuilletScreenTest, AWindowManagerMaximisesMinimisesAndSizesTheWindow) {
  ASSERT_TRUE(x_.StartWindowManager()) << x_.Missing();
  Child quillet = Start(true);
  const unsigned long w = x_.WaitForWindow(kMainWindow);
  ASSERT_NE(w, 0u) << ReadText(Root() / "screen.log");
  Model normal, m;
  ASSERT_TRUE(WaitForModel(Holds("Quillet1.WindowState", "0"), &normal));
  // Maximised the window takes the screen, and the layout stays as it was;
  // restored it comes back to its size. Minimised and restored likewise.
  struct Step {
    void (orn_test::ScreenSession::*ask)(unsigned long);
    const char *state, *width, *height;
  } steps[] = {
      {&orn_test::ScreenSession::Maximize, "2", "19200", "15360"},
      {&orn_test::ScreenSession::Restore, "0", nullptr, nullptr},
      {&orn_test::ScreenSession::Minimize, "1", nullptr, nullptr},
      {&orn_test::ScreenSession::Restore, "0", nullptr, nullptr},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string("WindowState ") + step.state);
    (x_.*step.ask)(w);
    ASSERT_TRUE(WaitForModel(Holds("Quillet1.WindowState", step.state), &m)) << m["Quillet1.WindowState"];
    EXPECT_EQ(m["Quillet1.Width"], step.width ? step.width : normal["Quillet1.Width"]);
    EXPECT_EQ(m["Quillet1.Height"], step.height ? step.height : normal["Quillet1.Height"]);
    for (const char* laidOut : {"Quillet1.L1.Width", "Quillet1.L1.Height", "Quillet1.Status.Top"})
      EXPECT_EQ(m[laidOut], normal[laidOut]) << laidOut;
  }

  // Sized by the window manager to 1000 x 700 pixels inside its frame: the
  // window lays itself out for that size (the model counts 8 pixels across
  // and 28 down for the frame).
  ASSERT_TRUE(x_.Xdotool({"windowsize", std::to_string(w), "1000", "700"}));
  ASSERT_TRUE(WaitForModel(Holds("Quillet1.Width", "15120"), &m)) << m["Quillet1.Width"];
  EXPECT_EQ(m["Quillet1.Height"], "10920");
  EXPECT_EQ(std::stoi(m["Quillet1.L1.Width"]), 15120 - std::stoi(m["Quillet1.L1.Left"]) - 8 * 15);
  EXPECT_EQ(std::stoi(m["Quillet1.Status.Top"]), 10920 - std::stoi(m["Quillet1.Status.Height"]) - 28 * 15);

  // The help box stands over the empty view in the screenshot, and where
  // it stood the view shows again once it has gone. The pointer stands
  // aside, so that no tooltip shows.
  ASSERT_TRUE(x_.Xdotool({"mousemove", "1279", "1023"}));
  const WindowBox view = Place("L1", &m), main = x_.Box(w);
  constexpr uint32_t kViewGrey = 0x808080;
  ASSERT_GT(x_.Screenshot().Count(main.x + view.x, main.y + view.y, view.width, view.height, kViewGrey),
            view.width * view.height * 9 / 10)
      << "the empty view is not grey";
  ASSERT_TRUE(ClickOn(w, "DoHelp", &m));
  const unsigned long help = x_.WaitForWindow("HELP !$");
  ASSERT_NE(help, 0u);
  WindowBox box;
  Shot shot;
  EXPECT_TRUE(x_.WaitForScreen(
      [&](const Shot& s) {
        box = x_.Box(help);
        return box.width > 0 && s.Count(box.x, box.y, box.width, box.height, kViewGrey) == 0 &&
               s.Count(box.x - 20, box.y, 10, box.height, kViewGrey) == 10 * box.height;
      },
      10s, &shot))
      << "the box at " << box.x << "," << box.y << " " << box.width << "x" << box.height;
  EXPECT_GT(box.x, main.x + view.x + 20);
  EXPECT_LT(box.x + box.width, main.x + view.x + view.width);
  ASSERT_TRUE(x_.Key(help, "Return"));
  ASSERT_TRUE(x_.WaitForNoWindow("HELP !$"));
  EXPECT_TRUE(x_.WaitForScreen(
      [&](const Shot& s) { return s.Count(box.x, box.y, box.width, box.height, kViewGrey) == box.width * box.height; },
      10s, &shot))
      << "the view is not shown again where the box stood";
  if (HasFailure()) shot.SavePng(Root() / "screen-box.png");
  quillet.Kill();
}

}  // namespace
}  // namespace quillet_test
