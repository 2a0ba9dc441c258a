#include "platform/forms/app.h"

#include <gtest/gtest.h>

#include "platform/forms/screen.h"
#include "platform/forms/test_support.h"

namespace forms {
namespace {

using testing::FormsTest;
using testing::MainForm;
using testing::Script;

class AppTest : public FormsTest {
 protected:
  // Records events of the form and its controls as text lines.
  void Record(MainForm& f) {
    auto mouse = [this](std::string what) {
      return [this, what](int16_t b, int16_t s, float x, float y) {
        log.push_back(what + " " + std::to_string(b) + " " + std::to_string(s) + " " + rt::CStr(x) + " " + rt::CStr(y));
      };
    };
    f.DoOK.MouseDown = mouse("DoOK.MouseDown");
    f.DoOK.MouseUp = mouse("DoOK.MouseUp");
    f.DoOK.Click = [this] { log.push_back("DoOK.Click"); };
    f.Page.MouseUp = [this](int16_t i, int16_t b, int16_t s, float, float) {
      log.push_back("Page.MouseUp " + std::to_string(i) + " " + std::to_string(b) + " " + std::to_string(s));
    };
    f.QueryUnload = [this, &f](int16_t& cancel, int16_t mode) {
      log.push_back("QueryUnload " + std::to_string(mode));
      cancel = refuseClose;
      (void)f;
    };
  }
  int Run(MainForm& f, std::string_view script) { return App::Instance().Run(f, Script(script)); }
  std::vector<std::string> log;
  int16_t refuseClose = 0;
};

TEST_F(AppTest, ClickIsMouseDownMouseUpClickAndTheSessionEndClosesTheForm) {
  MainForm f;
  Record(f);
  EXPECT_EQ(Run(f, "click DoOK\nclick Page(0)\n"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"DoOK.MouseDown 1 0 600 187.5", "DoOK.MouseUp 1 0 600 187.5", "DoOK.Click",
                                           "Page.MouseUp 0 1 0", "QueryUnload 2"}));
  EXPECT_FALSE(f.Loaded());
}

TEST_F(AppTest, MouseStepsPassButtonShiftAndPosition) {
  MainForm f;
  Record(f);
  EXPECT_EQ(Run(f, "mousedown DoOK right ctrl+shift 10 20.5\nmouseup DoOK 1 4 0 0\nclose"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"DoOK.MouseDown 2 3 10 20.5", "DoOK.MouseUp 1 4 0 0", "QueryUnload 0"}));
}

TEST_F(AppTest, BadOrUnreachableStepsEndTheRunNamingTheLine) {
  struct Case {
    const char* script;
    std::function<void(MainForm&)> prepare;
    const char* message;
  } cases[] = {
      {"click DoOK\nclik DoOK", nullptr, "ui script line 2: unknown verb 'clik'"},
      {"click Nope", nullptr, "ui script line 1: no control 'Nope' on Main"},
      {"click Page(5)", nullptr, "ui script line 1: no control 'Page(5)' on Main"},
      {"click Other.DoOK", nullptr, "ui script line 1: no loaded form 'Other'"},
      {"click DoOK", [](MainForm& f) { f.DoOK.Visible = false; }, "ui script line 1: DoOK is hidden"},
      {"click Thumb(0)", [](MainForm& f) { f.Thumb(0).Put(kExtEnabled, false); },
       "ui script line 1: Thumb(0) is disabled"},
      {"mousedown DoOK 1 0 x 5", nullptr, "ui script line 1: X and Y must be numbers of twips"},
      {"mousedown DoOK 3 0 1 5", nullptr, "ui script line 1: bad mouse button '3' (0, 1, 2, 4 or left, right, middle)"},
      {"key F13", nullptr, "ui script line 1: unknown key 'F13'"},
      {"key F1 hyper", nullptr, "ui script line 1: bad shift state 'hyper' (0..7 or shift, ctrl, alt joined by +)"},
      {"click DoOK twice", nullptr, "ui script line 1: usage: click NAME"},
      {"pick Zoom 999", nullptr, "ui script line 1: Zoom has no item \"999\""},
      {"slide View 5", nullptr, "ui script line 1: View does not take slide"},
      {"type DoOK abc", nullptr, "ui script line 1: DoOK does not take type"},
      {"timer Tim", nullptr, "ui script line 1: timer Tim is not enabled"},
      {"timer DoOK", nullptr, "ui script line 1: DoOK is not a timer"},
      {"close\nclick DoOK", nullptr, "ui script line 2: the program has ended; no window takes this step"},
      {"answer yes\nclick DoOK", [](MainForm& f) { f.DoOK.Click = [] { MsgBox("Done"); }; },
       "ui script: answer 'yes' does not fit the message box \"TestApp\" (ok)"},
  };
  for (const Case& c : cases) {
    App::Instance().Reset();
    MainForm f;
    if (c.prepare) c.prepare(f);
    ::testing::internal::CaptureStderr();
    int code = Run(f, c.script);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 124) << c.script;
    EXPECT_EQ(err, std::string(c.message) + "\n") << c.script;
  }
}

TEST_F(AppTest, KeysGoToTheFormFirstWithKeyPreviewThenToTheFocusedControl) {
  MainForm f;
  f.KeyDown = [&](int16_t& code, int16_t& shift) {
    log.push_back("Form.KeyDown " + std::to_string(code) + "/" + std::to_string(shift));
    if (code >= 112 && code <= 123) code = 0;  // swallow function keys
  };
  f.KeyPress = [&](int16_t& ascii) { log.push_back("Form.KeyPress " + std::to_string(ascii)); };
  f.DoOK.KeyDown = [&](int16_t& code, int16_t&) { log.push_back("DoOK.KeyDown " + std::to_string(code)); };
  f.DoOK.KeyUp = [&](int16_t& code, int16_t&) { log.push_back("DoOK.KeyUp " + std::to_string(code)); };
  f.QueryUnload = [&](int16_t&, int16_t mode) { log.push_back("QueryUnload " + std::to_string(mode)); };
  EXPECT_EQ(Run(f, "key F5\nclick DoOK\nkey F2 ctrl\nkey a shift\nkey F4 alt"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"Form.KeyDown 116/0", "Form.KeyDown 113/2", "DoOK.KeyUp 113",
                                           "Form.KeyDown 65/1", "DoOK.KeyDown 65", "Form.KeyPress 65", "DoOK.KeyUp 65",
                                           "Form.KeyDown 115/4", "QueryUnload 0"}));
}

TEST_F(AppTest, ProgramThatRefusesTheSessionEndIsEndedWith125) {
  MainForm f;
  Record(f);
  refuseClose = 1;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(f, "close"), 125);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "forms: the program still runs after the system closed its windows, ended with exit code 125\n");
  EXPECT_EQ(log, (std::vector<std::string>{"QueryUnload 0", "QueryUnload 2"}));
}

TEST_F(AppTest, EndInAHandlerStopsTheRunAtOnce) {
  MainForm f;
  Record(f);
  f.DoOK.Click = [] { End(7); };
  EXPECT_EQ(Run(f, "click DoOK\nclick Page(0)"), 7);
  EXPECT_EQ(log, (std::vector<std::string>{"DoOK.MouseDown 1 0 600 187.5", "DoOK.MouseUp 1 0 600 187.5"}));
  EXPECT_FALSE(f.Loaded());
}

TEST_F(AppTest, UncaughtRunTimeErrorShowsTheRuntimesBoxAndEnds123) {
  MainForm f;
  f.DoOK.Click = [] { rt::Raise(rt::kTypeMismatch); };
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(f, "click DoOK\nclick DoOK"), 123);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "forms: run-time error 13: Type mismatch\n");
  EXPECT_EQ(Transcript(), "msgbox | TestApp | 16 | Run-time error '13':\\n\\nType mismatch | ok (default)\n");
}

TEST_F(AppTest, QueuedAnswerReachesTheProgramsMessageBox) {
  MainForm f;
  int16_t answer = 0;
  f.DoOK.Click = [&] { answer = MsgBox("Save?", uiscript::kYesNo | uiscript::kIconQuestion, "Frage !"); };
  EXPECT_EQ(Run(f, "answer no\nclick DoOK"), 0);
  EXPECT_EQ(answer, uiscript::kNo);
  EXPECT_EQ(Transcript(), "msgbox | Frage ! | 36 | Save? | no\n");
}

TEST_F(AppTest, WaitFiresDueTimersOnTheRuntimesClock) {
  MainForm f;
  std::vector<int64_t> ticks;
  f.DoOK.Click = [&] { f.Tim.Enabled = true; };
  f.Tim.Tick = [&] {
    ticks.push_back(App::Instance().Now());
    if (ticks.size() == 3) f.Tim.Enabled = false;
  };
  EXPECT_EQ(Run(f, "wait 100\nclick DoOK\nwait 299\ntimer Tim\nwait 1\nwait 1000\nclick DoOK\nwait 300\ndump " +
                       (dir_ / "d.txt").string()),
            0);
  // Enabled at 100: due at 400; the step "timer" at 399 plans the next at 699.
  EXPECT_EQ(ticks, (std::vector<int64_t>{399, 699, 999, 1700}));
}

TEST_F(AppTest, DropOffersTheFilesAndHonoursARefusal) {
  MainForm f;
  f.Page.OLEDragOver = [&](int16_t, DataObject& data, int32_t& effect, int16_t, int16_t, float, float, int16_t state) {
    log.push_back("over " + std::to_string(effect) + " " + std::to_string(state));
    if (data.Files.size() != 1) effect = kDropEffectNone;
  };
  f.Page.OLEDragDrop = [&](int16_t index, DataObject& data, int32_t&, int16_t, int16_t, float, float) {
    ASSERT_TRUE(data.GetFormat(DataObject::kCFFiles));
    log.push_back("drop " + std::to_string(index) + " " + data.Files[0]);
  };
  f.Thumb.Event = [&](int16_t index, int32_t id, std::span<rt::Variant> args) {
    log.push_back("Thumb " + std::to_string(index) + " " + std::to_string(id) + " " + rt::CStr(args[0]));
  };
  EXPECT_EQ(Run(f, "drop Page(0) /in/a.tif /in/b.tif\ndrop Page(0) \"/in/c d.tif\"\ndrop Thumb(0) /x.tif /y.tif"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"over 7 0", "over 7 0", "drop 0 /in/c d.tif", "Thumb 0 42 /x.tif",
                                           "Thumb 0 42 /y.tif"}));
  EXPECT_EQ(Transcript(),
            "drop | Main.Page(0) | /in/a.tif; /in/b.tif | effect 0\n"
            "drop | Main.Page(0) | /in/c d.tif | effect 7\n"
            "drop | Main.Thumb(0) | /x.tif; /y.tif | OLEDropFile\n");
}

TEST_F(AppTest, TypingRaisesChangeAndPickingRaisesClick) {
  MainForm f;
  f.Zoom.AddItem("50");
  f.Zoom.AddItem("100");
  f.Status.Change = [&] { log.push_back("Status.Change " + f.Status.Text.Get()); };
  f.Zoom.Change = [&] { log.push_back("Zoom.Change " + f.Zoom.Text.Get()); };
  f.Zoom.Click = [&] { log.push_back("Zoom.Click " + f.Zoom.Text.Get()); };
  EXPECT_EQ(Run(f, "type Status \"a b\"\npick Zoom #1\npick Zoom 50\ntype Zoom 75"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"Status.Change a b", "Zoom.Click 100", "Zoom.Click 50", "Zoom.Change 75"}));
}

TEST_F(AppTest, OperatorResizeIsOneResizeInPixels) {
  MainForm f;
  std::vector<std::string> sizes;
  f.Resize = [&] { sizes.push_back(rt::CStr(f.Width) + "x" + rt::CStr(f.Height) + "/" + std::to_string(f.WindowState)); };
  EXPECT_EQ(Run(f, "resize 500 400\nmaximize\nrestore\nresize 500 400"), 0);
  EXPECT_EQ(sizes, (std::vector<std::string>{"6000x4500/0", "7500x6000/0", "19200x15360/2", "7500x6000/0"}));

  App::Instance().Reset();
  MainForm fixed;
  fixed.BorderStyle = 1;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(fixed, "resize 500 400"), 124);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ui script line 1: form Main has a fixed border\n");
}

TEST_F(AppTest, DumpListsEveryPropertyInAStableOrder) {
  MainForm f;
  f.Load = [&] {
    f.Page.Load(1);
    f.Page(1).Caption = "Sheet \"2\"";
    f.Zoom.AddItem("100");
    f.Thumb(0).Put(338, "a.tif");
  };
  std::string path = (dir_ / "dump.txt").string();
  EXPECT_EQ(Run(f, "dump " + path + "\ndump " + path + ".2"), 0);
  std::string dump = ReadFile(path);
  EXPECT_EQ(dump, ReadFile(path + ".2"));
  for (const char* line : {
           "Main.Caption = \"Test\"\n",
           "Main.ScaleWidth = 5880\n",
           "Main.Visible = True\n",
           "Main.DoOK.Caption = \"OK\"\nMain.DoOK.Left = 120\n",
           "Main.Page(0).Tag = \" 1\"\n",
           "Main.Page(1).Caption = \"Sheet \\\"2\\\"\"\n",
           "Main.Page(1).Visible = False\n",
           "Main.Page(1).BackColor = &H8000000F\n",
           "Main.Zoom.List(0) = \"100\"\n",
           "Main.Tim.Enabled = False\nMain.Tim.Tag = \"\"\nMain.Tim.Interval = 300\n",
           "Main.View.ProgId = \"Test.Probe\"\nMain.View.P154 = 3\n",
           "Main.Thumb(0).P338 = a.tif\n",
           "Screen.Width = 19200\n",
           "Screen.TwipsPerPixelY = 15\n",
           "App.Title = \"TestApp\"\n",
       })
    EXPECT_NE(dump.find(line), std::string::npos) << line;
  // Controls appear in design order, elements by index.
  EXPECT_LT(dump.find("Main.DoOK."), dump.find("Main.Page(0)."));
  EXPECT_LT(dump.find("Main.Page(0)."), dump.find("Main.Page(1)."));
  EXPECT_LT(dump.find("Main.Page(1)."), dump.find("Main.Zoom."));
}

TEST_F(AppTest, ScreenSizeAndTwipsPerPixelComeFromTheEnvironment) {
  setenv("ORN_SCREEN", "1024x768", 1);
  setenv("ORN_TWIPS_PER_PIXEL", "12", 1);
  Screen().Reset();
  EXPECT_EQ(Screen().Width(), 1024 * 12);
  EXPECT_EQ(Screen().Height(), 768 * 12);
  EXPECT_EQ(Screen().TwipsPerPixelX(), 12);
  setenv("ORN_SCREEN", "1024*768", 1);
  EXPECT_EXIT(Screen().Reset(), ::testing::ExitedWithCode(124), "^ORN_SCREEN must be .*, not '1024\\*768'\n$");
  unsetenv("ORN_SCREEN");
  setenv("ORN_TWIPS_PER_PIXEL", "0", 1);
  EXPECT_EXIT(Screen().Reset(), ::testing::ExitedWithCode(124),
              "^ORN_TWIPS_PER_PIXEL must be a whole number of twips per pixel from 1 to 1440, not '0'\n$");
  unsetenv("ORN_TWIPS_PER_PIXEL");
  Screen().Reset();
  EXPECT_EQ(Screen().Width(), 1280 * 15);
  Screen().MousePointer = 11;
  Screen().MousePointer = 11;
  Screen().MousePointer = 0;
  EXPECT_EQ(Screen().PointerHistory(), (std::vector<int16_t>{11, 0}));
}

// A screen that records what the runtime asks of it; its loop lets the
// "operator" act through `operatorAct` until the loop's condition holds.
class RecordingDisplay : public Display {
 public:
  void Sync() override { ++syncs; }
  void Pump() override { ++pumps; }
  void RunUntil(const std::function<bool()>& done) override {
    ++loops;
    while (!done() && operatorAct) operatorAct();
  }
  void RunFor(int64_t ms) override {
    for (int64_t t = 0; t < ms; t += 50) {
      clock += 50;
      App::Instance().FireDueTimers();
    }
  }
  int64_t Clock() const override { return clock; }

  int syncs = 0, pumps = 0, loops = 0;
  int64_t clock = 1000;
  std::function<void()> operatorAct;
};

class AppOnScreenTest : public AppTest {
 protected:
  void TearDown() override {
    App::Instance().SetDisplay(nullptr);
    unsetenv("ORN_UI_SCRIPT");
    AppTest::TearDown();
  }
  RecordingDisplay display;
};

TEST_F(AppOnScreenTest, AScriptedRunShowsTheModelAfterEachStepAndClosesAtItsEnd) {
  MainForm f;
  Record(f);
  App::Instance().SetDisplay(&display);
  EXPECT_EQ(Run(f, "click DoOK\nclick Page(0)\n"), 0);
  EXPECT_EQ(display.syncs, 1) << "once after the main window showed";
  EXPECT_EQ(display.pumps, 2) << "after every step";
  EXPECT_EQ(display.loops, 0);
  EXPECT_EQ(log.back(), "QueryUnload 2");
}

TEST_F(AppOnScreenTest, TheOperatorsRunLastsUntilTheProgramEndsWithoutTheScriptsClose) {
  MainForm f;
  Record(f);
  App& app = App::Instance();
  app.SetDisplay(&display);
  unsetenv("ORN_UI_SCRIPT");
  int acts = 0;
  // The operator clicks OK, then the close box, which the program first refuses.
  refuseClose = 1;
  display.operatorAct = [&] {
    ++acts;
    if (acts == 1) app.OperatorAct(f, &f.DoOK, OperatorAction{});
    if (acts == 2) app.OperatorClose(f);
    if (acts == 3) {
      refuseClose = 0;
      app.OperatorClose(f);
    }
  };
  EXPECT_EQ(app.Run(f), 0);
  EXPECT_EQ(display.loops, 1);
  EXPECT_EQ(acts, 3);
  EXPECT_EQ(log, (std::vector<std::string>{"DoOK.MouseDown 1 0 600 187.5", "DoOK.MouseUp 1 0 600 187.5", "DoOK.Click",
                                           "QueryUnload 0", "QueryUnload 0"}));
  EXPECT_FALSE(f.Loaded());
}

TEST_F(AppOnScreenTest, TimeIsTheScreensClockAndWaitLetsRealTimePass) {
  MainForm f;
  int ticks = 0;
  f.Tim.Tick = [&] { ++ticks; };
  App& app = App::Instance();
  app.SetDisplay(&display);
  f.Load = [&] {
    f.Tim.Enabled = true;  // due 300 ms after now on the screen's clock
  };
  EXPECT_EQ(Run(f, "wait 700\n"), 0);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(app.Now(), 1700);
}

TEST_F(AppOnScreenTest, DoEventsLetsTheScreenRunPendingInput) {
  MainForm f;
  App::Instance().SetDisplay(&display);
  f.DoOK.Click = [] { DoEvents(); };
  EXPECT_EQ(Run(f, "click DoOK\n"), 0);
  EXPECT_EQ(display.pumps, 2) << "DoEvents, then the pump after the step";
}

}  // namespace
}  // namespace forms
