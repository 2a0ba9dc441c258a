// The main window's function keys on a window built from its design table
// (not loaded), with the real slider and imaging controls. What a key calls
// shows in the entry lines the called procedures log from level 8.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"
#include "platform/slider/slider.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/window_test_env.h"

namespace quillet {
namespace {

using Lines = std::vector<std::string>;
using testing::MainWindowTest;

enum : int16_t { F1 = 112, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12 };
enum : int16_t { kShift = 1, kCtrl = 2, kAlt = 4 };

class KeyTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    App.MinWidthPx = 800;
    App.MinHeightPx = 600;
    w->L1.Tag = "0";
    started_ = testing::ScratchDir() / "started.txt";
    std::filesystem::remove(started_);
    setenv("ORN_STARTED", started_.c_str(), 1);
    unsetenv("ORN_EDITOR");
  }
  void TearDown() override {
    unsetenv("ORN_STARTED");
    MainWindowTest::TearDown();
  }

  // Presses the key; returns the key code the controls would see.
  int16_t Press(int16_t key, int16_t shift) {
    int16_t code = key;
    w->Form_KeyDown(code, shift);
    return code;
  }
  Lines Started() const { return testing::ReadLines(started_); }
  // The log without its time stamps.
  Lines LogText() const {
    Lines lines = Log();
    for (std::string& l : lines) l = l.substr(20);
    return lines;
  }
  bool Logged(const std::string& line) const {
    Lines lines = LogText();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  bool LoggedPrefix(const std::string& prefix) const {
    Lines lines = LogText();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  static int32_t Value(forms::OleControl& s) { return rt::CLng(s.Get(slider::kValue)); }
  static void SetValue(forms::OleControl& s, int32_t v) { s.Put(slider::kValue, v); }

  std::filesystem::path started_;
};

TEST_F(KeyTest, F1StartsNotepadByModifierAndTraceLevel) {
  const std::string ini = "Notepad | " + App.IniPath;
  const std::string log = "Notepad | " + App.LogPath;
  struct Case {
    int16_t shift, level;
    Lines started;
  } cases[] = {
      {kShift, 7, {}},          {kShift, 8, {ini}},       {kCtrl, 3, {}},   {kCtrl, 4, {log}},
      {kShift | kCtrl, 8, {ini, log}}, {kShift | kCtrl, 4, {log}}, {0, 9, {}}, {kShift | kAlt, 8, {ini}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(started_);
    App.DebugLevel = c.level;
    EXPECT_EQ(Press(F1, c.shift), 0);
    EXPECT_EQ(Started(), c.started) << "shift " << c.shift << " level " << c.level;
  }
}

TEST_F(KeyTest, SliderKeysResetAndStepWithinTheirBounds) {
  struct Case {
    int16_t key, shift;
    bool visible;
    int32_t start, expected;
  } cases[] = {
      {F2, 0, true, 30, 0},       {F2, kShift, true, -95, -100}, {F2, kShift, true, -96, -96},
      {F2, kCtrl, true, 95, 100}, {F2, kCtrl, true, 96, 96},     {F2, kShift | kCtrl, true, 30, 30},
      {F2, kAlt, true, 30, 30},   {F2, 0, false, 30, 30},        {F3, kShift, true, 0, -5},
      {F3, 0, true, -40, 0},      {F3, kCtrl, false, 0, 0},      {F4, 0, true, 50, 10},
      {F4, kShift, true, 2, 1},   {F4, kShift, true, 1, 1},      {F4, kCtrl, true, 99, 100},
      {F4, kCtrl, true, 100, 100}, {F4, 0, false, 50, 50},
  };
  for (const Case& c : cases) {
    forms::OleControl* sliders[] = {&w->SlideB, &w->SlideC, &w->SlideG};
    forms::OleControl& target = *sliders[c.key - F2];
    for (forms::OleControl* s : sliders) {
      s->Visible = true;
      SetValue(*s, 7);
    }
    target.Visible = c.visible;
    SetValue(target, c.start);
    EXPECT_EQ(Press(c.key, c.shift), 0);
    const std::string label = "key " + std::to_string(c.key) + " shift " + std::to_string(c.shift);
    EXPECT_EQ(Value(target), c.expected) << label;
    for (forms::OleControl* s : sliders) {
      if (s != &target) {
        EXPECT_EQ(Value(*s), 7) << label;  // only the key's own slider moves
      }
    }
  }
}

TEST_F(KeyTest, GammaGoesDownToOneAndStays) {
  w->SlideG.Visible = true;
  SetValue(w->SlideG, 55);
  Press(F4, 0);
  std::vector<int32_t> seen{Value(w->SlideG)};
  for (int i = 0; i < 10; ++i) {
    Press(F4, kShift);
    seen.push_back(Value(w->SlideG));
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 1}));
}

TEST_F(KeyTest, KeysCallTheirProcedures) {
  App.DebugLevel = 8;
  struct Case {
    int16_t key, shift;
    int hiddenTool;         // a Tool button hidden by the tool list, -1 none
    const char* called;     // entry line that must be logged
    const char* notCalled;  // entry line prefix that must not be
  } cases[] = {
      {F5, 0, -1, "BEG-Resize", "BEG-ShowInf"},
      {F6, 0, -1, "BEG-Tool,0", "BEG-ShowInf"},
      {F7, kShift, -1, "BEG-Tool,1", "BEG-ShowInf"},
      {F8, 0, -1, "BEG-Tool,2", "BEG-ShowInf"},
      {F9, 0, -1, "BEG-Tool,3", "BEG-ShowInf"},
      {F10, 0, -1, "BEG-Tool,4", "BEG-ShowInf"},
      {F11, 0, -1, "BEG-Tool,5", "BEG-ShowInf"},
      {F8, 0, 2, nullptr, "BEG-Tool,"},
      {F12, 0, -1, "BEG-L1Thumb,2", "BEG-ShowInf"},
      {F12, kShift, -1, "BEG-ShowInf,1", "BEG-L1Thumb"},
      {F12, kCtrl, -1, "BEG-ShowInf,1", "BEG-L1Thumb"},
      {F12, kAlt, -1, "BEG-ShowInf,1", "BEG-L1Thumb"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(App.LogPath);
    for (int16_t i = 0; i < w->Tool.Count(); ++i) w->Tool(i).Visible = i != c.hiddenTool;
    const std::string label = "key " + std::to_string(c.key) + " shift " + std::to_string(c.shift);
    EXPECT_EQ(Press(c.key, c.shift), 0) << label;
    Lines log = LogText();
    ASSERT_FALSE(log.empty()) << label;
    EXPECT_EQ(log[0], "BEG-KeyDown," + std::to_string(c.key) + "/" + std::to_string(c.shift)) << label;
    if (c.called) {
      EXPECT_TRUE(Logged(c.called)) << label;
    }
    EXPECT_FALSE(LoggedPrefix(c.notCalled)) << label;
    EXPECT_TRUE(Started().empty()) << label;
  }
}

TEST_F(KeyTest, F12WithAModifierShowsTheGeometryReport) {
  App.DebugLevel = 4;
  Press(F12, kCtrl);
  EXPECT_EQ(w->Status.Text.Get().rfind(" Img:0000/0000", 0), 0u) << w->Status.Text.Get();
}

TEST_F(KeyTest, EchoLastKeyAndSwallowedFunctionKeys) {
  struct Case {
    int16_t key, shift, level;
    int16_t seen;      // what the controls see
    const char* echo;  // Status text afterwards
  } cases[] = {
      {F2, kShift, 7, 0, "Key:113/1"},  {F2, kShift, 6, 0, "before"}, {F1, 0, 7, 0, "Key:112/0"},
      {F11, kCtrl | kAlt, 7, 0, "Key:122/6"}, {65, kShift, 7, 65, "Key:65/1"},  {27, 0, 0, 27, "before"},
      {111, 0, 0, 111, "before"},        {124, 0, 0, 124, "before"},
  };
  for (const Case& c : cases) {
    App.DebugLevel = c.level;
    App.LastKeyCode = 0;
    w->Status.Text = "before";
    const int refreshes = w->Status.RefreshCount();
    EXPECT_EQ(Press(c.key, c.shift), c.seen) << c.key;
    EXPECT_EQ(App.LastKeyCode, c.key);
    EXPECT_EQ(w->Status.Text.Get(), c.echo) << c.key;
    // The echo is repainted at once.
    EXPECT_EQ(w->Status.RefreshCount() > refreshes, c.level > 6) << c.key;
  }
  EXPECT_FALSE(std::filesystem::exists(App.LogPath));  // no entry line below level 8
}

TEST_F(KeyTest, FailedNotepadStartIsLoggedAndTheRunGoesOn) {
  setenv("ORN_EDITOR", (testing::ScratchDir() / "no-such-editor").c_str(), 1);
  App.DebugLevel = 8;
  EXPECT_EQ(Press(F1, kShift), 0);
  EXPECT_TRUE(Logged("Notepad failed:" + App.IniPath));
  EXPECT_EQ(Started(), Lines{"Notepad | " + App.IniPath});
}

}  // namespace
}  // namespace quillet
