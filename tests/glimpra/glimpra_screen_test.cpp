// Glimpra in a real window: started as an operator starts it on an X server
// of the test's own, worked with the real keyboard and the close box, and
// read from screenshots.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "tests/support/bmp_file.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/screen_session.h"
#include "viewer/test_fixtures.h"

namespace {

using namespace std::chrono_literals;
using orn_test::Child;
using orn_test::ScreenSession;
using orn_test::Shot;
using viewer::testing::WriteTiff;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;
constexpr int32_t kRedFill = 0x0000FF, kBlueFill = 0xFF0000;  // &H00BBGGRR
constexpr uint32_t kWatermark = 0xF69C9C;                    // RGB(246,156,156)

class GlimpraScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Missing();
  }

  std::map<std::string, std::string> Variables() const {
    return {{"ORN_COMPUTER_NAME", "desk07"}, {"ORN_USER_NAME", "tester"}, {"ORN_TEMP_PATH", dir_.str() + "/"},
            {"ORN_SCREEN", "1280x1024"},    {"ORN_TWIPS_PER_PIXEL", "15"}};
  }

  // Glimpra on the screen, as the operator starts it (no script).
  Child Start(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {GLIMPRA_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Child::Spawn(argv, x_.Environment(Variables()), dir_.path(), dir_ / "screen.log");
  }

  // The exit code of the same run headless, the operator's steps scripted.
  int Headless(const std::vector<std::string>& args, const std::string& script) {
    std::ofstream(dir_ / "steps.txt") << script;
    std::map<std::string, std::string> vars = Variables();
    vars["ORN_UI_SCRIPT"] = (dir_ / "steps.txt").string();
    vars["ORN_DISPLAY"] = "none";
    std::vector<std::string> argv = {GLIMPRA_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    Child c = Child::Spawn(argv, orn_test::CleanEnvironment(vars), dir_.path());
    return c.Wait(60s).value_or(-1);
  }

  // Waits until most of the window's first 40 x 40 pixels are `rgb`.
  bool Shows(unsigned long window, uint32_t rgb) {
    Shot last;
    const bool ok = x_.WaitForScreen(
        [&](const Shot& s) {
          const orn_test::WindowBox b = x_.Box(window);
          return s.Count(b.x + 5, b.y + 5, 40, 40, rgb) == 1600;
        },
        20s, &last);
    if (!ok) last.SavePng(dir_ / "screen.png");
    return ok;
  }

  ScreenSession x_;
  orn_test::ScratchDir dir_{"glimpra-screen"};
};

TEST_F(GlimpraScreenTest, ShowsTheImageWithItsCaptionAndPagesWithTheKeys) {
  WriteTiff((dir_ / "pages.tif").string(), {{300, 200, 24, kRedFill}, {300, 200, 24, kBlueFill}});
  Child glimpra = Start({"pages.tif"});
  const unsigned long w = x_.WaitForWindow("^pages[.]tif:300x200[.]24  1/2 [(]100%[)] ");
  ASSERT_NE(w, 0u) << "no window with the first page's caption";
  const orn_test::WindowBox box = x_.Box(w);
  EXPECT_GE(box.width, 300);
  EXPECT_GE(box.height, 200);
  EXPECT_TRUE(Shows(w, kRed)) << "the first page's pixels";

  ASSERT_TRUE(x_.Key(w, "Next"));
  EXPECT_NE(x_.WaitForWindow("^pages[.]tif:300x200[.]24  2/2 "), 0u) << x_.Title(w);
  EXPECT_TRUE(Shows(w, kBlue)) << "the second page's pixels";
  ASSERT_TRUE(x_.Key(w, "Prior"));
  EXPECT_NE(x_.WaitForWindow("^pages[.]tif:300x200[.]24  1/2 "), 0u) << x_.Title(w);
  EXPECT_TRUE(Shows(w, kRed));

  ASSERT_TRUE(x_.Key(w, "Escape"));
  const std::optional<int> code = glimpra.Wait(20s);
  ASSERT_TRUE(code.has_value()) << "Escape did not end the viewer";
  EXPECT_EQ(*code, Headless({"pages.tif"}, "key Escape\n"));
}

TEST_F(GlimpraScreenTest, TheCloseBoxEndsTheViewerAsItDoesHeadless) {
  WriteTiff((dir_ / "one.tif").string(), {{200, 150, 24, kBlueFill}});
  Child glimpra = Start({"one.tif"});
  const unsigned long w = x_.WaitForWindow("^one[.]tif:");
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(Shows(w, kBlue));
  x_.CloseBox(w);
  const std::optional<int> code = glimpra.Wait(20s);
  ASSERT_TRUE(code.has_value()) << "the close box did not end the viewer";
  EXPECT_EQ(*code, Headless({"one.tif"}, "close\n"));
  EXPECT_TRUE(x_.WaitForNoWindow("^one[.]tif:", 5s));
}

TEST_F(GlimpraScreenTest, AWindowTakenAwayFromOutsideEndsTheSessionAsAtTheEndOfAScript) {
  WriteTiff((dir_ / "one.tif").string(), {{200, 150, 24, kBlueFill}});
  // Headless, the session ends when the script is done.
  const int ended = Headless({"one.tif"}, "");
  using Removal = ScreenSession::Removal;
  for (Removal how : {Removal::kDestroy, Removal::kKill, Removal::kServer}) {
    SCOPED_TRACE(static_cast<int>(how));
    ScreenSession x;
    ASSERT_TRUE(x.Available()) << x.Missing();
    Child glimpra = Child::Spawn({GLIMPRA_EXE, "one.tif"}, x.Environment(Variables()), dir_.path(),
                                 dir_ / "screen.log");
    const unsigned long w = x.WaitForWindow("^one[.]tif:");
    ASSERT_NE(w, 0u);
    x.Remove(w, how);
    const std::optional<int> code = glimpra.Wait(20s);
    ASSERT_TRUE(code.has_value()) << "the viewer runs on without its window";
    EXPECT_EQ(*code, ended);
  }
}

TEST_F(GlimpraScreenTest, TheWatermarkTilesShowOverThePage) {
  WriteTiff((dir_ / "white.tif").string(), {{400, 300, 24, 0xFFFFFF}});
  Child glimpra = Start({"white.tif", "/W=MUSTER"});
  const unsigned long w = x_.WaitForWindow("^white[.]tif:");
  ASSERT_NE(w, 0u);
  Shot last;
  const bool tiled = x_.WaitForScreen(
      [&](const Shot& s) {
        const orn_test::WindowBox b = x_.Box(w);
        // Tiles cover the whole page: the pale text shows in each quarter.
        for (int qy = 0; qy < 2; ++qy)
          for (int qx = 0; qx < 2; ++qx)
            if (s.Count(b.x + qx * 200, b.y + qy * 150, 200, 150, kWatermark) < 20) return false;
        return true;
      },
      20s, &last);
  if (!tiled) last.SavePng(dir_ / "screen.png");
  EXPECT_TRUE(tiled);
}

TEST_F(GlimpraScreenTest, AClickZoomsButAButtonHeldPastTheClickTimerDoesNot) {
  // Black left of column 150, white from it on.
  orn_test::WriteGreyBmp(dir_ / "halves.bmp", 300, 200, [](int32_t x, int32_t) { return x < 150 ? 0 : 255; });
  Child glimpra = Start({"halves.bmp"});
  const unsigned long w = x_.WaitForWindow("^halves[.]bmp:");
  ASSERT_NE(w, 0u);
  // At 100 % the edge stands at column 150; at 125 % (anchored at the top
  // left corner) at 187, so column 170 turns from white to black.
  auto columnIs = [&](uint32_t rgb) {
    Shot last;
    const bool ok = x_.WaitForScreen(
        [&](const Shot& s) {
          const orn_test::WindowBox b = x_.Box(w);
          // Below the pointer's tooltip, which tells the file's name and size.
          return s.Count(b.x + 165, b.y + 120, 10, 70, rgb) == 700;
        },
        10s, &last);
    if (!ok) last.SavePng(dir_ / "screen.png");
    return ok;
  };
  EXPECT_TRUE(columnIs(0xFFFFFF));
  ASSERT_TRUE(x_.Click(w, 40, 40));
  EXPECT_TRUE(columnIs(0x000000)) << "a click zooms in by a quarter";
  // Held longer than the click timer's 300 ms on the real clock: a press,
  // not a click, and no zoom. The right button then zooms out.
  ASSERT_TRUE(x_.Xdotool({"mousedown", "3"}));
  std::this_thread::sleep_for(900ms);
  ASSERT_TRUE(x_.Xdotool({"mouseup", "3"}));
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(columnIs(0x000000)) << "the held button zoomed out";
  ASSERT_TRUE(x_.Xdotool({"click", "3"}));
  EXPECT_TRUE(columnIs(0xFFFFFF)) << "a right click zooms out";
  x_.CloseBox(w);
  EXPECT_TRUE(glimpra.Wait(20s).has_value());
}

}  // namespace
