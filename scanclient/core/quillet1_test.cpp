// The main window's layout procedures on a window built from its design
// table (not loaded: no start-up runs), with the real imaging and slider
// controls.

#include "scanclient/core/quillet1.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include "platform/imaging/pixo_control.h"
#include "platform/runtime/error.h"
#include "platform/slider/slider.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/window_test_env.h"

namespace quillet {
namespace {

using testing::MainWindowTest;
constexpr float px = 15;  // twips per pixel

class WindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    App.MinWidthPx = 800;
    App.MinHeightPx = 600;
  }
  void Tools(const std::string& list) {
    App.DocTypeTable[0][Doc::Tools] = list;
    w->Tools(0);
  }
};

TEST_F(WindowTest, EmptyToolListHidesTheWholeRow) {
  const float start = w->DoCheck.Left;
  Tools("");
  forms::VisibleControl* row[] = {&w->DoCheck, &w->DoSelect, &w->DoInfo, &w->DoSetup, &w->ZoomFact};
  for (forms::VisibleControl* c : row) {
    EXPECT_FALSE(c->Visible) << c->FullName();
  }
  for (int16_t i = 0; i < 10; ++i) EXPECT_FALSE(w->Tool(i).Visible) << i;
  for (int16_t i = 0; i < 3; ++i) EXPECT_FALSE(w->Zoom(i).Visible) << i;
  EXPECT_FALSE(w->SlideB.Visible);
  EXPECT_FALSE(w->Slide(0).Visible);
  EXPECT_EQ(w->Logo.Left, start + 15 * px);  // the five group advances
  EXPECT_EQ(w->Logo.Top, 3 * px);
  EXPECT_EQ(w->Shape(0).Height, w->DoCheck.Height + 10 * px);
  EXPECT_EQ(w->DoCheck.Left, start);  // a hidden control keeps its place
}

TEST_F(WindowTest, ZoomAloneStandsAfterTwoGroupAdvances) {
  const float start = w->DoCheck.Left;
  Tools("ZOOM/");
  EXPECT_TRUE(w->Tool(2).Visible);
  EXPECT_EQ(w->Tool(2).Left, start + 6 * px);
  EXPECT_EQ(w->Logo.Left, w->Tool(2).Left + w->Tool(2).Width + 12 * px);
  EXPECT_FALSE(w->Tool(0).Visible);
  EXPECT_FALSE(w->DoCheck.Visible);
}

TEST_F(WindowTest, CodesAreFoundAnywhereCaseSensitively) {
  Tools("chek/xxMOVEyyMOVE");
  EXPECT_FALSE(w->DoCheck.Visible);
  EXPECT_TRUE(w->Tool(0).Visible);
  EXPECT_EQ(w->Logo.Left, w->Tool(0).Left + w->Tool(0).Width + 12 * px);  // placed once
}

TEST_F(WindowTest, HelpButtonFollowsTheLogoOnlyWithACaption) {
  const float designLeft = w->DoHelp.Left;
  Tools("MOVE/");
  EXPECT_EQ(w->DoHelp.Left, designLeft);
  w->DoHelp.Tag = "Help";
  Tools("MOVE/");
  EXPECT_EQ(w->DoHelp.Left, w->Logo.Left + w->Logo.Width + 6 * px);
}

TEST_F(WindowTest, GammaAloneOpensTheSliderRow) {
  Tools("GAMA/");
  EXPECT_TRUE(w->SlideG.Visible);
  EXPECT_TRUE(w->Slide(2).Visible);
  EXPECT_FALSE(w->SlideB.Visible);
  EXPECT_EQ(w->Slide(2).Left, w->ZoomFact.Left + w->ZoomFact.Width + 6 * px);
  EXPECT_EQ(w->SlideG.Left, w->Slide(2).Left + w->Slide(2).Width + 3 * px);
  EXPECT_EQ(w->Shape(0).Height, w->DoCheck.Height + 10 * px + w->SlideB.Height + 5 * px);
}

TEST_F(WindowTest, SetupModeShowsEveryScanOption) {
  w->DoSetup.Tag = "1";
  Tools("SETU/");
  for (int16_t i = 0; i < 6; ++i) {
    EXPECT_TRUE(w->Twain(i).Visible) << i;
    EXPECT_TRUE(w->Label(i).Visible) << i;
  }
  EXPECT_EQ(w->Shape(0).Height, w->DoCheck.Height + w->Twain(0).Height + 15 * px);
}

TEST_F(WindowTest, RowOutsideTheTableFailsBeforeAnyChange) {
  const float logo = w->Logo.Left;
  try {
    w->Tools(10);
    FAIL();
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), rt::kSubscriptOutOfRange);
  }
  EXPECT_EQ(w->Logo.Left, logo);
  w->DoSetup.Tag = "x";
  EXPECT_THROW(w->Tools(0), rt::RuntimeError);  // a non-numeric setup flag
}

TEST_F(WindowTest, ResizeEnforcesTheMinimumAndStretchesTheView) {
  w->Width = 500 * px;  // not loaded: no Resize event yet
  w->Height = 400 * px;
  w->Form_Resize();
  EXPECT_EQ(w->Width, 800 * px);
  EXPECT_EQ(w->Height, 600 * px);

  w->Width = 1000 * px;
  w->Height = 700 * px;
  w->Form_Resize();
  const float W = 1000 * px, H = 700 * px;
  EXPECT_EQ(w->Status.Top, H - w->Status.Height - 28 * px);
  EXPECT_EQ(w->Status.Width, W - 8 * px);
  EXPECT_EQ(w->Shape(0).Width, W - w->Shape(0).Left - 8 * px);
  EXPECT_EQ(w->Shape(1).Height, H - w->Shape(1).Top - 8 * px);
  EXPECT_EQ(w->Shape(2).Top, w->Shape(0).Top + w->Shape(0).Height);
  EXPECT_EQ(w->Shape(2).Height, H - w->Shape(2).Top - 8 * px);
  EXPECT_EQ(w->L1.Left, w->Shape(2).Left);
  EXPECT_EQ(w->L1.Top, w->Shape(2).Top);
  EXPECT_EQ(w->L1.Width, W - w->L1.Left - 8 * px);
  EXPECT_EQ(w->L1.Height, w->Status.Top - w->L1.Top - 2 * px);
  // The combo row: 5 pixels under DoCheck, labels bottom-aligned, 4 pixels apart.
  EXPECT_EQ(w->Twain(0).Top, w->DoCheck.Top + w->DoCheck.Height + 5 * px);
  EXPECT_EQ(w->Label(0).Top + w->Label(0).Height, w->Twain(0).Top + w->Twain(0).Height);
  EXPECT_EQ(w->Label(0).Left, w->L1.Left + 3 * px);
  EXPECT_EQ(w->Label(1).Left, w->Twain(0).Left + w->Twain(0).Width + 4 * px);
  EXPECT_EQ(w->Twain(5).Top, w->Twain(0).Top);
}

TEST_F(WindowTest, ResizeKeepsRoomUnderOkAndMakesWayForTheSliders) {
  w->DoOK.Top = 9000;
  w->SlideC.Visible = true;
  w->Form_Resize();
  EXPECT_EQ(w->Height, 9000 + w->DoOK.Height + 54 * px);
  EXPECT_EQ(w->Twain(0).Top, w->DoCheck.Top + w->DoCheck.Height + 5 * px + w->SlideB.Height + 5 * px);
}

TEST_F(WindowTest, ResizeLeavesAMaximisedWindowAndShowsTheSizeAtLevelNine) {
  App.DebugLevel = 9;
  w->Width = 800 * px;
  w->Height = 600 * px;
  w->Form_Resize();
  EXPECT_EQ(w->Status.Text.Get(), "800x600");
  w->Width = 800 * px + 7;
  w->Form_Resize();
  EXPECT_EQ(w->Status.Text.Get(), "800.466666666667x600");
}

class EnDisTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    for (int16_t k = 1; k <= 2; ++k) {
      w->Page.Load(k);
      w->Thumb.Load(k);
    }
  }
  std::string Reachable() {
    std::string s;
    for (int16_t k = 0; k < 3; ++k) {
      EXPECT_EQ(w->Page(k).Enabled.Get(), w->Thumb(k).Enabled.Get()) << k;
      s += w->Page(k).Enabled ? '1' : '0';
    }
    return s;
  }
};

TEST_F(EnDisTest, SheetOrderRule) {
  struct Case {
    int16_t force;
    int32_t colors[3];
    const char* reachable;
  } cases[] = {
      {1, {NotAllOkColor, NotAllOkColor, NotAllOkColor}, "100"},
      {1, {SheetOkColor, NotAllOkColor, NotAllOkColor}, "110"},
      {1, {SheetOkColor, SheetOkColor, NotAllOkColor}, "111"},
      {1, {NotAllOkColor, SheetOkColor, NotAllOkColor}, "111"},
      {1, {0x00FF01, NotAllOkColor, NotAllOkColor}, "100"},
      {0, {NotAllOkColor, SheetChangedColor, NotAllOkColor}, "111"},
  };
  for (const Case& c : cases) {
    App.ForceSequence = c.force;
    for (int16_t k = 0; k < 3; ++k) w->Page(k).BackColor = c.colors[k];
    w->EnDisGUI(-1);
    EXPECT_EQ(Reachable(), "000");
    EXPECT_FALSE(w->DoOK.Enabled);
    w->EnDisGUI(1);
    EXPECT_EQ(Reachable(), c.reachable) << c.force << " " << c.colors[0] << " " << c.colors[1];
    EXPECT_TRUE(w->DoOK.Enabled);
  }
}

TEST_F(EnDisTest, OtherModesChangeNothingAndHiddenCaptionsKeepTheirCombo) {
  w->EnDisGUI(-1);
  w->EnDisGUI(0);
  w->EnDisGUI(2);
  EXPECT_EQ(Reachable(), "000");
  w->Label(1).Visible = true;
  w->Twain(0).Enabled = false;
  w->Twain(1).Enabled = false;
  w->EnDisGUI(1);
  EXPECT_FALSE(w->Twain(0).Enabled);
  EXPECT_TRUE(w->Twain(1).Enabled);
}

TEST_F(WindowTest, ShowInfWritesTheGeometryFromLevelFour) {
  PixCall(w->L1, imaging::Pixo::CreateImage, {int32_t{800}, int32_t{600}, int16_t{24}});
  w->Status.Text = "before";
  App.DebugLevel = 3;
  w->ShowInf(1);
  EXPECT_EQ(w->Status.Text.Get(), "before");
  App.DebugLevel = 4;
  w->ShowInf(0);
  EXPECT_EQ(w->Status.Text.Get(), "before");
  w->ShowInf(1);
  const std::string line = w->Status.Text;
  EXPECT_EQ(line.rfind(" Img:0800/0600  ", 0), 0u) << line;
  const std::string pair = R"([+-]\d{4,}/[+-]\d{4,})";
  EXPECT_TRUE(std::regex_match(line, std::regex(R"( Img:0800/0600  )" + pair + "( Src:" + pair + "  " + pair +
                                                ")( Scl:" + pair + "  " + pair + ")( Dst:" + pair + "  " +
                                                pair + ")( Dcl:" + pair + "  " + pair + ")")))
      << line;
}

}  // namespace
}  // namespace quillet
