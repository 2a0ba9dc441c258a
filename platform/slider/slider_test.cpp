#include "platform/slider/slider.h"

#include <gtest/gtest.h>

#include "platform/forms/app.h"
#include "platform/forms/ole_control.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"

namespace slider {
namespace {

const forms::FormDesign kDesign = {
    .Name = "F",
    .Controls = {{.Type = forms::ControlType::OleControl, .Name = "SlideB", .Width = 1500, .Height = 300,
                  .ProgId = kProgId, .Properties = {{kMax, rt::Variant(int32_t{100})}, {kMin, rt::Variant(int32_t{-100})}}}},
};

class F : public forms::Form {
 public:
  F() : Form(kDesign) {
    Bind(SlideB, "SlideB");
    SlideB.Event = [this](int32_t id, std::span<rt::Variant>) {
      events.push_back((id == kEventScroll ? "Scroll " : id == kEventChange ? "Change " : "? ") +
                       std::to_string(rt::CLng(SlideB.Get(kValue))));
    };
  }
  forms::OleControl SlideB;
  std::vector<std::string> events;
};

class SliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSliderClass();
    setenv("ORN_UI_TIMEOUT", "0", 1);
    forms::App::Instance().Reset();
  }
  void TearDown() override { forms::App::Instance().Reset(); }
};

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const rt::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

TEST_F(SliderTest, ValueFromCodeRaisesChangeOnlyWhenThePositionMoves) {
  F f;
  EXPECT_EQ(f.SlideB.Get(kMin), rt::Variant(int32_t{-100}));
  f.SlideB.Put(kValue, int32_t{-95});
  f.SlideB.Put(kValue, -95.0);
  f.SlideB.Put(kValue, int16_t{-100});
  EXPECT_EQ(f.events, (std::vector<std::string>{"Change -95", "Change -100"}));
  EXPECT_EQ(ErrorOf([&] { f.SlideB.Put(kValue, int32_t{-101}); }), 380);
  EXPECT_EQ(ErrorOf([&] { f.SlideB.Put(kMin, int32_t{200}); }), 380);
  EXPECT_EQ(ErrorOf([&] { f.SlideB.Get(99); }), 438);
  // Narrowing the range moves the value into it, as a move would.
  f.SlideB.Put(kMin, int32_t{-50});
  EXPECT_EQ(f.events.back(), "Change -50");
}

TEST_F(SliderTest, OperatorDragScrollsAndTheReleaseChanges) {
  F f;
  int code = forms::App::Instance().Run(
      f, uiscript::ParseScript("slide SlideB 30 hold\nslide SlideB 40 hold\nslide SlideB 40\nslide SlideB 40\n"
                               "slide SlideB 5 hold\nslide SlideB 40\n"));
  EXPECT_EQ(code, 0);
  // The last drag ends where it began: no Change.
  EXPECT_EQ(f.events,
            (std::vector<std::string>{"Scroll 30", "Scroll 40", "Change 40", "Scroll 5", "Scroll 40"}));
}

TEST_F(SliderTest, DragBeyondTheRangeOrAClickIsAScriptError) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"slide SlideB 101", "ui script line 1: the slider's range is -100 to 100, not 101\n"},
      {"click SlideB", "ui script line 1: SlideB does not take click\n"},
  };
  for (const Case& c : cases) {
    forms::App::Instance().Reset();
    F f;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(forms::App::Instance().Run(f, uiscript::ParseScript(c.script)), 124);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_TRUE(f.events.empty());
  }
}

TEST_F(SliderTest, DumpShowsTheSliderState) {
  F f;
  f.SlideB.Put(kValue, int32_t{20});
  f.Show();
  std::string dump = forms::App::Instance().Dump();
  EXPECT_NE(dump.find("F.SlideB.Value = 20\nF.SlideB.Min = -100\nF.SlideB.Max = 100\n"), std::string::npos) << dump;
}

}  // namespace
}  // namespace slider
