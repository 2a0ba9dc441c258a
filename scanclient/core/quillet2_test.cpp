// The sample window: one instance per main window, loaded hidden on first
// use; Escape hides it; in the normal state L2 fills it less its frame.

#include "scanclient/core/quillet2.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/imaging/pixo_control.h"
#include "platform/slider/slider.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/core_test_env.h"
#include "scanclient/core/quillet1.h"

namespace quillet {
namespace {

class SampleTest : public testing::CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    imaging::RegisterPixoControl();
    slider::RegisterSliderClass();
    App.TwipsPerPixelX = 15;
    App.TwipsPerPixelY = 12;
    w = std::make_unique<Quillet1>();
  }
  void Key(Quillet2& s, int16_t key) {
    int16_t code = key, shift = 0;
    s.KeyDown(code, shift);  // as the runtime raises it
  }
  std::unique_ptr<Quillet1> w;
};

TEST_F(SampleTest, CreatedOnceAndLoadedHidden) {
  Quillet2& s = w->SampleWindow();
  EXPECT_EQ(&w->SampleWindow(), &s);
  EXPECT_EQ(s.Name(), "Quillet2");
  EXPECT_TRUE(s.Loaded());
  EXPECT_FALSE(s.Visible());
  EXPECT_NE(s.L2.Object(), nullptr);  // the imaging control exists
}

TEST_F(SampleTest, EscapeHidesOtherKeysDoNot) {
  Quillet2& s = w->SampleWindow();
  s.Show();
  for (int16_t key : {13, 65, 112, 32}) {
    Key(s, key);
    EXPECT_TRUE(s.Visible()) << key;
  }
  Key(s, 27);
  EXPECT_FALSE(s.Visible());
  EXPECT_TRUE(s.Loaded());  // hidden, not unloaded: the sample stays
}

TEST_F(SampleTest, ResizeFitsL2OnlyInTheNormalState) {
  Quillet2& s = w->SampleWindow();
  s.Show();
  s.L2.Left = 30;
  s.L2.Top = 45;
  s.Width = 9000;
  s.Height = 7000;
  EXPECT_EQ(s.L2.Width, 9000 - 8 * 15);
  EXPECT_EQ(s.L2.Height, 7000 - 32 * 12);
  EXPECT_EQ(s.L2.Left, 30);
  EXPECT_EQ(s.L2.Top, 45);

  s.WindowState = forms::kMaximized;
  EXPECT_EQ(s.L2.Width, 9000 - 8 * 15);
  s.WindowState = forms::kNormal;
  s.WindowState = forms::kMinimized;
  EXPECT_EQ(s.L2.Height, 7000 - 32 * 12);
  s.WindowState = forms::kNormal;

  s.Width = 60;  // narrower than its frame
  EXPECT_EQ(s.L2.Width, 0);
}

}  // namespace
}  // namespace quillet
