// Quillet in a real window on the demo profile: the operator clicks sheet
// buttons that scan from the scanner stack's test device, drags a file from
// a file manager onto a sheet button, answers the boxes and presses OK or
// the close box; the screen shows the sheets' check colours, and the run
// ends with the exit code and files of the same steps headless.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "tests/quillet/quillet_run.h"
#include "tests/support/screen_session.h"

namespace quillet_test {
namespace {

using namespace std::chrono_literals;
using orn_test::Child;
using orn_test::Shot;

constexpr uint32_t kGreen = 0x00FF00, kRed = 0xFF0000;

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

  // Quillet on the screen as the operator starts it: no script.
  Child Start() {
    std::map<std::string, std::string> vars = Variables();
    vars["ORN_UI_SCRIPT"] = "";
    return Child::Spawn({(Bin() / "Quillet").string(), "demo", "12345", Out().string()}, x_.Environment(vars),
                        Root(), Root() / "screen.log");
  }

  // A control's box in the window's client area, pixels.
  orn_test::WindowBox Place(const std::string& control) {
    auto px = [&](const char* p) { return std::stoi(layout_.at("Quillet1." + control + "." + p)) / 15; };
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

  bool ClickOn(unsigned long window, const std::string& control) {
    const orn_test::WindowBox c = Place(control);
    return x_.Click(window, c.x + c.width / 2, c.y + c.height / 2);
  }

  orn_test::ScreenSession x_;
  std::map<std::string, std::string> layout_;
};

TEST_F(QuilletScreenTest, ScansTakesADroppedFileAndSavesOnOk) {
  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow("^Quillet 2[.]14");
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

TEST_F(QuilletScreenTest, TheCloseBoxEndsAsHeadless) {
  // Headless first: the close box with nothing scanned asks twice; "no" to
  // going back, "yes" to ending without saving.
  Script("answer no\nanswer yes\nclose\n");
  const int headless = RunDemo();
  const Lines headlessBoxes = MessageBoxes();
  ASSERT_EQ(headlessBoxes.size(), 2u);
  fs::remove(Root() / "transcript.txt");

  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow("^Quillet 2[.]14");
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

TEST_F(QuilletScreenTest, TheSourceDialogListsTheScannersToChooseFrom) {
  std::ofstream(Root() / "sane" / "test.conf") << "number_of_devices 2\nmode Color\ndepth 8\nresolution 75\n";
  Child quillet = Start();
  const unsigned long w = x_.WaitForWindow("^Quillet 2[.]14");
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

}  // namespace
}  // namespace quillet_test
