// The viewer's window run in-process on the forms runtime and the imaging
// control, so the test can read the pixels of the view and press the mouse
// on the control itself.

#include "viewer/glimpra1.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "guicommon/cmdline.h"
#include "platform/forms/app.h"
#include "platform/imaging/image.h"
#include "platform/imaging/pixo_control.h"
#include "platform/win32/environment.h"
#include "platform/imaging/pixo_calls.h"
#include "viewer/test_fixtures.h"

namespace viewer {
namespace {

namespace fs = std::filesystem;
using testing::WriteTiff;

constexpr imaging::Colour kPink = imaging::MakeColour(246, 156, 156);
constexpr imaging::Colour kPinkBlended = imaging::MakeColour(251, 206, 206);  // half over white
constexpr imaging::Colour kGreyBlended = imaging::MakeColour(128, 128, 128);  // black half over white

// Answers every text width with 0, like a font without the text's glyphs.
class ZeroWidthTextControl : public imaging::PixoControl {
 public:
  rt::Variant Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) override {
    if (dispid == static_cast<int32_t>(Pixo::TextWidthOf)) return int16_t{0};
    return PixoControl::Invoke(dispid, kind, args);
  }
};

class Glimpra1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-glimpra1-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    oldDir_ = fs::current_path();
    // Plain names: on this host an absolute path alone would read as switches.
    fs::current_path(dir_);
    setenv("ORN_COMPUTER_NAME", "desk07", 1);
    setenv("ORN_USER_NAME", "tester", 1);
    unsetenv("ORN_FAIL");
    unsetenv("ORN_UI_TRANSCRIPT");
    imaging::RegisterPixoControl();
    forms::App::Instance().Reset();
  }
  void TearDown() override {
    form_.reset();
    forms::App::Instance().Reset();
    imaging::RegisterPixoControl();
    fs::current_path(oldDir_);
    fs::remove_all(dir_);
  }

  // Starts the viewer with `words` on its command line, ending the last one.
  Glimpra1& Start(std::vector<std::string> words) {
    form_.reset();
    forms::App::Instance().Reset();
    words.insert(words.begin(), "Glimpra");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    win32::SetCommandLine(static_cast<int>(argv.size()), argv.data(), kSwitchNames);
    form_ = std::make_unique<Glimpra1>();
    form_->LoadForm();
    return *form_;
  }

  imaging::PixoControl& View() { return dynamic_cast<imaging::PixoControl&>(*form_->L1.Object()); }

  // Pixels of the shown page inside [x0, x1) x [y0, y1) that satisfy `pick`.
  int Count(int x0, int y0, int x1, int y1, const std::function<bool(imaging::Colour)>& pick) {
    const imaging::Image* img = View().CurrentImage();
    int n = 0;
    for (int y = y0; y < y1 && y < img->height(); ++y)
      for (int x = x0; x < x1 && x < img->width(); ++x) n += pick(img->At(x, y)) ? 1 : 0;
    return n;
  }
  int CountColour(int x0, int y0, int x1, int y1, imaging::Colour c) {
    return Count(x0, y0, x1, y1, [c](imaging::Colour p) { return p == c; });
  }

  fs::path dir_, oldDir_;
  std::unique_ptr<Glimpra1> form_;
};

TEST_F(Glimpra1Test, WatermarkIsTiledPinkAtASlantWithAlternatingModes) {
  WriteTiff("page.tif", {{250, 120, 24}});
  Start({"page.tif", "/W=Kopie"});
  ASSERT_NE(View().CurrentImage(), nullptr);
  // The tile at the origin is laid as it is, its neighbours half over the
  // page (where the full text colour cannot occur).
  EXPECT_GT(CountColour(0, 0, 100, 100, kPink), 20);
  EXPECT_GT(CountColour(100, 0, 200, 100, kPinkBlended), 20);
  EXPECT_EQ(CountColour(100, 0, 200, 100, kPink), 0);
  EXPECT_GT(CountColour(0, 100, 100, 120, kPinkBlended) + CountColour(100, 100, 200, 120, kPink), 0);

  // At 45 degrees the text spans the cell both ways.
  int left = 100, right = -1, top = 100, bottom = -1;
  const imaging::Image* img = View().CurrentImage();
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      if (img->At(x, y) != imaging::kWhite) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  EXPECT_GT(right - left, 60);
  EXPECT_GT(bottom - top, 60);
}

TEST_F(Glimpra1Test, WatermarkTurnsBlackOnABitonalPageAndStaysBlack) {
  WriteTiff("mixed.tif", {{250, 120, 1}, {250, 120, 24}});
  Glimpra1& f = Start({"mixed.tif", "/W=Kopie"});
  for (int page = 1; page <= 2; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    EXPECT_EQ(f.State.ShownPage, page);
    EXPECT_GT(CountColour(0, 0, 100, 100, imaging::kBlack), 20);
    EXPECT_GT(CountColour(100, 0, 200, 100, kGreyBlended), 20);
    // The text's core is black now; only its blended edges keep a tint.
    EXPECT_EQ(CountColour(0, 0, 250, 120, kPink), 0);
    int16_t key = 34, shift = 0;  // PageDown
    f.Form_KeyDown(key, shift);
  }
}

TEST_F(Glimpra1Test, NoWatermarkWithoutTextAndNoneFromATextOfBlanks) {
  struct Case {
    std::vector<std::string> args;
    bool cell;
  } cases[] = {
      {{"page.tif"}, false},
      {{"page.tif", "/W= "}, true},  // a cell without a single text pixel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    WriteTiff("page.tif", {{250, 120, 24, 0x00FF00}});
    Glimpra1& f = Start(c.args);
    EXPECT_EQ(rt::CLng(PixGet(f.L0, Pixo::BitmapHandle)) != 0, c.cell);
    EXPECT_EQ(CountColour(0, 0, 250, 120, 0x00FF00), 250 * 120) << "the page must stay as loaded";
  }
}

TEST_F(Glimpra1Test, AWatermarkOfNoWidthKeepsTheStartFontSize) {
  com::RegisterControlClass(imaging::kPixoProgId, [] { return std::make_shared<ZeroWidthTextControl>(); });
  WriteTiff("page.tif", {{250, 120, 24}});
  Glimpra1& f = Start({"page.tif", "/W=x"});
  rt::Object font = PixGet(f.L0, Pixo::Font).AsObject();
  EXPECT_EQ(rt::CDbl(font->Get(static_cast<int32_t>(imaging::PixoFont::Size))), 10);
  EXPECT_EQ(f.State.LoadCount, 1) << "the start-up went on to the first page";
}

TEST_F(Glimpra1Test, AShortTextGrowsUntilItSpansTheCellALongOneKeepsSizeTen) {
  struct Case {
    const char* text;
    bool grows;
  } cases[] = {{"I", true}, {"Vertraulich - nur zur Ansicht", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteTiff("page.tif", {{250, 120, 24}});
    Glimpra1& f = Start({"page.tif", std::string("/W=") + c.text});
    rt::Object font = PixGet(f.L0, Pixo::Font).AsObject();
    double size = rt::CDbl(font->Get(static_cast<int32_t>(imaging::PixoFont::Size)));
    double width = rt::CDbl(PixCall(f.L0, Pixo::TextWidthOf, {std::string(c.text)}));
    if (c.grows) {
      EXPECT_GE(width, 100);
      font->Put(static_cast<int32_t>(imaging::PixoFont::Size), size - 1);
      EXPECT_LT(rt::CDbl(PixCall(f.L0, Pixo::TextWidthOf, {std::string(c.text)})), 100) << "one size too many";
    } else {
      EXPECT_EQ(size, 10);
    }
  }
}

TEST_F(Glimpra1Test, CtrlDragZoomsToTheDrawnRectangle) {
  WriteTiff("page.tif", {{400, 300, 24}});
  Glimpra1& f = Start({"page.tif"});
  imaging::PixoControl& view = View();
  // A Ctrl click draws no rectangle: nothing changes.
  view.UserMouseDown(1, 2, 20, 20);
  EXPECT_EQ(rt::CLng(PixGet(f.L1, Pixo::MousePointer)), 2);
  view.UserMouseUp(1, 2, 20, 20);
  EXPECT_EQ(rt::CDbl(PixGet(f.L1, Pixo::ZoomPercent)), 100);
  // A 100 x 75 rectangle in the 400 x 300 view fills it: 400 %.
  view.UserMouseDown(1, 2, 20, 20);
  view.UserMouseMove(1, 2, 120, 95);
  view.UserMouseUp(1, 2, 120, 95);
  EXPECT_EQ(rt::CDbl(PixGet(f.L1, Pixo::ZoomPercent)), 400);
  EXPECT_EQ(rt::CDbl(PixGet(f.L1, Pixo::DstLeft)), -80);
  EXPECT_EQ(f.State.MouseCode, 0);
}

// Pages turned as the operator turns them; with `inOrder` every page read
// ahead is dropped first, so each page is read by its own load.
struct TurnedPage {
  imaging::Image image;
  std::string caption, toolTip;
  int16_t page = 0, width = 0, height = 0, bits = 0;
};

class Glimpra1ReadAheadTest : public Glimpra1Test {
 protected:
  void Turn(int16_t key, bool inOrder) {
    if (inOrder) View().DropReadAhead();
    int16_t shift = 0;
    form_->Form_KeyDown(key, shift);
  }
  TurnedPage Shown() {
    TurnedPage t;
    if (const imaging::Image* img = View().CurrentImage()) t.image = *img;
    t.caption = form_->Caption.Get();
    t.toolTip = form_->L1.ToolTipText.Get();
    const ViewerState& s = form_->State;
    t.page = s.ShownPage, t.width = s.ShownWidth, t.height = s.ShownHeight, t.bits = s.ShownBits;
    return t;
  }
  std::vector<std::string> TranscriptLines() {
    std::ifstream in(dir_ / "transcript.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  static constexpr int16_t kPageUp = 33, kPageDown = 34;
};

TEST_F(Glimpra1ReadAheadTest, APageReadAheadIsThePageReadInOrder) {
  for (int16_t bits : {int16_t{24}, int16_t{8}, int16_t{1}}) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    WriteTiff("pages.tif", {{60, 40, bits, 0x3366CC}, {70, 50, bits, 0xFFFFFF}, {80, 30, bits, 0x102030}});
    std::vector<TurnedPage> runs[2];
    for (bool inOrder : {false, true}) {
      Start({"pages.tif"});
      if (!inOrder) {
        EXPECT_EQ(View().ReadAheadPages(), (std::vector<int32_t>{2, 3}));
      }
      for (int turn = 0; turn < 2; ++turn) {
        Turn(kPageDown, inOrder);
        runs[inOrder].push_back(Shown());
      }
      EXPECT_EQ(View().ReadAheadsTaken(), inOrder ? 0 : 2);
    }
    for (size_t i = 0; i < 2; ++i) {
      const TurnedPage &ahead = runs[0][i], &inOrder = runs[1][i];
      EXPECT_EQ(ahead.page, static_cast<int16_t>(i + 2));
      EXPECT_FALSE(ahead.image.empty());
      EXPECT_TRUE(ahead.image == inOrder.image) << "page " << ahead.page;
      EXPECT_EQ(ahead.caption, inOrder.caption);
      EXPECT_EQ(ahead.toolTip, inOrder.toolTip);
      EXPECT_EQ(std::tie(ahead.width, ahead.height, ahead.bits), std::tie(inOrder.width, inOrder.height, inOrder.bits));
    }
  }
}

TEST_F(Glimpra1ReadAheadTest, GoingElsewhereDropsThePagesReadAhead) {
  std::vector<testing::PageFixture> six;
  for (int32_t page = 1; page <= 6; ++page) six.push_back({40, 30, 24, page});
  WriteTiff("six.tif", six);
  WriteTiff("one.tif", {{20, 20, 24}});
  Glimpra1& f = Start({"six.tif"});
  ASSERT_EQ(imaging::kMostPagesAhead, 4);
  EXPECT_EQ(View().ReadAheadPages(), (std::vector<int32_t>{2, 3, 4, 5}));
  Turn(kPageDown, false);
  EXPECT_EQ(View().ReadAheadsTaken(), 1);
  EXPECT_EQ(View().ReadAheadPages(), (std::vector<int32_t>{3, 4, 5, 6})) << "pages 3 to 5 are kept, page 6 added";
  Turn(kPageUp, false);
  EXPECT_EQ(f.State.ShownPage, 1);
  EXPECT_EQ(View().ReadAheadsTaken(), 1) << "page 1 was not read ahead";
  EXPECT_EQ(View().ReadAheadPages(), (std::vector<int32_t>{2, 3, 4, 5})) << "page 6 was dropped";
  f.L1_FileEvent("one.tif");
  EXPECT_EQ(f.State.ShownPageCount, 1);
  EXPECT_TRUE(View().ReadAheadPages().empty());
  EXPECT_EQ(View().ReadAheadsTaken(), 1);
}

TEST_F(Glimpra1ReadAheadTest, AFileRewrittenAfterItsPageWasReadAheadIsReadAgain) {
  WriteTiff("pages.tif", {{40, 30, 24, 0x0000FF}, {40, 30, 24, 0x00FF00}});
  Glimpra1& f = Start({"pages.tif"});
  ASSERT_EQ(View().ReadAheadPages(), (std::vector<int32_t>{2}));
  WriteTiff("pages.tif", {{40, 30, 24, 0x0000FF}, {50, 30, 24, 0xFF0000}});
  Turn(kPageDown, false);
  EXPECT_EQ(f.State.ShownPage, 2);
  EXPECT_EQ(f.State.ShownWidth, 50);
  EXPECT_EQ(CountColour(0, 0, 50, 30, 0xFF0000), 50 * 30) << "the page as the file now holds it";
}

// A turn that fails shows what it shows in order: the same boxes at the
// same steps, the same captions, the same page left on show.
TEST_F(Glimpra1ReadAheadTest, APageThatFailsShowsTheSameBoxAtTheSameStep) {
  struct Case {
    const char* name;
    std::vector<testing::PageFixture> pages;
    bool replaceByText;  // the file becomes a text file after its start
    const char* box;     // a text the transcript must hold, "" for none
  } cases[] = {
      {"a page too wide for the viewer's numbers", {{100, 50, 24}, {40000, 2, 24}}, false, "Overflow in Load_File Step- 4"},
      {"a file that is no image any more", {{100, 50, 24}, {100, 50, 24}}, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> transcripts[2];
    TurnedPage shown[2];
    for (bool inOrder : {false, true}) {
      WriteTiff("pages.tif", c.pages);
      fs::remove(dir_ / "transcript.txt");
      setenv("ORN_UI_TRANSCRIPT", (dir_ / "transcript.txt").c_str(), 1);
      Start({"pages.tif"});
      if (!inOrder) {
        EXPECT_EQ(View().ReadAheadPages(), (std::vector<int32_t>{2}));
      }
      if (c.replaceByText) std::ofstream("pages.tif") << "no image\n";
      const size_t before = TranscriptLines().size();
      Turn(kPageDown, inOrder);
      std::vector<std::string> lines = TranscriptLines();
      transcripts[inOrder].assign(lines.begin() + static_cast<ptrdiff_t>(before), lines.end());
      shown[inOrder] = Shown();
      unsetenv("ORN_UI_TRANSCRIPT");
    }
    EXPECT_EQ(transcripts[0], transcripts[1]);
    EXPECT_EQ(shown[0].page, shown[1].page);
    EXPECT_EQ(shown[0].caption, shown[1].caption);
    EXPECT_TRUE(shown[0].image == shown[1].image);
    bool boxed = false;
    for (const std::string& line : transcripts[0]) boxed = boxed || line.find(c.box) != std::string::npos;
    if (*c.box) {
      EXPECT_TRUE(boxed) << ::testing::PrintToString(transcripts[0]);
    }
  }
}

TEST(Glimpra1CommandLine, AFileInTheRootIsTheFileNotASwitch) {
  char prog[] = "Glimpra", file[] = "/photo.png", title[] = "/t=Akte", del[] = "/D";
  char* argv[] = {prog, file, title, del, nullptr};
  win32::SetCommandLine(4, argv, kSwitchNames);
  EXPECT_EQ(guicommon::ParseCmd(win32::CommandLine()), 3);
  EXPECT_EQ(guicommon::GetParam("1"), "/photo.png");
  EXPECT_EQ(guicommon::GetParam("T"), "Akte");
  EXPECT_EQ(guicommon::GetParam("D"), "1");
}

TEST_F(Glimpra1Test, SetsTheViewUpInOrderAndFreesItsImageOnClosing) {
  WriteTiff("page.tif", {{64, 48, 24}});
  imaging::StartJournal();
  Glimpra1& f = Start({"page.tif"});
  std::vector<std::string> journal = imaging::StopJournal();
  // The puts on L1 before it is asked about the file.
  const std::string l1 = View().InstanceName() + "#" + std::to_string(View().Serial()) + " ";
  std::vector<std::string> puts;
  for (const std::string& line : journal) {
    if (line.rfind(l1, 0) != 0) continue;
    std::string rest = line.substr(l1.size());
    if (rest.rfind("call 357 ", 0) == 0) break;
    if (rest.rfind("put ", 0) == 0) puts.push_back(rest.substr(4, rest.find(' ', 4) - 4));
  }
  EXPECT_EQ(puts, (std::vector<std::string>{"56", "57", "107", "154", "104", "105", "165", "168", "167"}));

  ASSERT_NE(View().CurrentImage(), nullptr);
  EXPECT_TRUE(f.Close(forms::kFormControlMenu));
  EXPECT_EQ(View().CurrentImage(), nullptr);
}

}  // namespace
}  // namespace viewer
