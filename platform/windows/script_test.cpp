#include "platform/windows/script.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/windows/commctrl.h"
#include "platform/windows/fake_display.h"
#include "platform/windows/menu.h"
#include "platform/windows/operator.h"
#include "platform/windows/window.h"
#include "tests/support/scratch_dir.h"

namespace win {
namespace {

struct Log {
  std::vector<std::string> events;
  bool refuseClose = false;
  bool refuseSessionEnd = false;
  bool pumpOnCommand = false;
} g;

LRESULT FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_COMMAND: {
      g.events.push_back("command " + std::to_string(LOWORD(w)));
      if (g.pumpOnCommand) {  // as a print abort procedure does
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          g.events.push_back("pumped " + std::to_string(msg.message));
          DispatchMessageW(&msg);
        }
        g.events.push_back("pump done");
      }
      return 0;
    }
    case WM_CLOSE:
      g.events.push_back("close");
      if (g.refuseClose) return 0;
      break;
    case WM_QUERYENDSESSION:
      g.events.push_back("queryendsession");
      if (g.refuseSessionEnd) return 0;
      break;
    case WM_ENDSESSION:
      g.events.push_back("endsession " + std::to_string(w));
      return 0;
    case WM_DESTROY:
      g.events.push_back("destroy");
      PostQuitMessage(7);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(h, m, w, l);
}

struct StillOpen {};

uiscript::Step S(int line, std::string verb, std::vector<std::string> args = {}) {
  return uiscript::Step{line, std::move(verb), std::move(args)};
}

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    g = Log{};
    transcript_ = scratch_ / "transcript.txt";
    setenv("ORN_UI_TRANSCRIPT", transcript_.c_str(), 1);
    INITCOMMONCONTROLSEX icc;
    icc.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x400000});
    wc.lpszClassName = L"Frame";
    RegisterClassExW(&wc);
    menu_ = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 501, L"&Drucken...\tCtrl+P");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, 500, L"S&chließen\tAlt+F4");
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&Datei");
    frame_ = CreateWindowExW(0, L"Frame", L"Viewer", WS_OVERLAPPEDWINDOW, 10, 10, 600, 400, nullptr, menu_, nullptr,
                             nullptr);
    ShowWindow(frame_, SW_SHOWNORMAL);
    ACCEL a{0, 16, 501};
    accel_ = CreateAcceleratorTableW(&a, 1);
  }
  void TearDown() override {
    ResetWindowsForTest();
    unsetenv("ORN_UI_TRANSCRIPT");
  }
  int Loop() {
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
      if (!TranslateAcceleratorW(frame_, accel_, &m)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
    }
    return static_cast<int>(m.wParam);
  }
  std::vector<std::string> Lines() {
    std::ifstream in(transcript_);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }

  orn_test::ScratchDir scratch_{"win-script"};
  std::filesystem::path transcript_;
  HWND frame_ = nullptr;
  HMENU menu_ = nullptr;
  HACCEL accel_ = nullptr;
};

TEST_F(ScriptTest, MenuStepsChooseByIdOrTextAndSkipGreyedItems) {
  EnableMenuItem(menu_, 500, MF_BYCOMMAND | MF_GRAYED);
  SetScriptForTest({S(1, "menu", {"501"}), S(2, "menu", {"Schließen"}), S(3, "menu", {"Drucken..."})});
  EXPECT_EQ(Loop(), 7);
  std::vector<std::string> expected = {"command 501", "command 501", "queryendsession", "endsession 1", "destroy"};
  EXPECT_EQ(g.events, expected);
  auto lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "menu | 500 | greyed"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "script | end | endsession"), lines.end());
}

TEST_F(ScriptTest, KeysReachAcceleratorsAndTheSystemClose) {
  SetScriptForTest({S(1, "key", {"ctrl+p"}), S(2, "key", {"p"}), S(3, "key", {"alt+f4"})});
  EXPECT_EQ(Loop(), 7);
  EXPECT_EQ(g.events, (std::vector<std::string>{"command 501", "close", "destroy"}));
}

TEST_F(ScriptTest, NestedStepWaitsForTheNestedPump) {
  g.pumpOnCommand = true;
  g.refuseClose = true;
  SetScriptForTest({S(1, "menu", {"501"}), S(2, "nested", {"close"}), S(3, "menu", {"500"})});
  EXPECT_EQ(Loop(), 7);  // the session end destroys the window that refused to close
  ASSERT_GE(g.events.size(), 4u);
  EXPECT_EQ(g.events[0], "command 501");
  EXPECT_EQ(g.events[1], "pumped " + std::to_string(WM_SYSCOMMAND));
  EXPECT_EQ(g.events[2], "close");  // inside the command, not after it
  EXPECT_EQ(g.events[3], "pump done");
}

TEST_F(ScriptTest, OnAScreenWithoutAScriptTheLoopWaitsForTheOperator) {
  unsetenv("ORN_UI_SCRIPT");
  FakeDisplay screen;
  screen.inputs = {[this] {
                     // Ctrl+P as the keyboard gives it, key by key.
                     PostKey(frame_, VK_CONTROL, true, false);
                     PostKey(frame_, 'P', true, false);
                     PostKey(frame_, 'P', false, false);
                     PostKey(frame_, VK_CONTROL, false, false);
                   },
                   [this] { PostSysCommand(frame_, SC_CLOSE); }};
  g.pumpOnCommand = true;  // the command pumps as the print abort procedure does
  SetDisplay(&screen);
  const int code = Loop();
  SetDisplay(nullptr);
  EXPECT_EQ(code, 7);
  // The keys' releases, still queued, come in the command's nested pump.
  const std::string keyUp = "pumped " + std::to_string(WM_KEYUP);
  const std::vector<std::string> expected = {"command 501", keyUp, keyUp, "pump done", "close", "destroy"};
  EXPECT_EQ(g.events, expected);
  EXPECT_EQ(screen.waits, 2);
  EXPECT_GE(screen.pumps, 3);  // before each wait and in the nested pump
  for (const std::string& l : Lines()) EXPECT_EQ(l.rfind("script", 0), std::string::npos) << l;
}

TEST_F(ScriptTest, SessionEndAtTheEndOfTheScriptSkipsTheCloseBox) {
  g.refuseClose = true;  // the close box would keep the window
  SetScriptForTest({});
  EXPECT_EQ(Loop(), 7);
  EXPECT_EQ(g.events, (std::vector<std::string>{"queryendsession", "endsession 1", "destroy"}));
  EXPECT_EQ(Lines().back(), "script | end | endsession");
}

TEST_F(ScriptTest, WindowThatRefusesTheSessionEndEndsTheRun) {
  g.refuseSessionEnd = true;
  SetScriptForTest({}, [] { throw StillOpen{}; });  // instead of the exit with 125
  EXPECT_THROW(Loop(), StillOpen);
  EXPECT_EQ(g.events, (std::vector<std::string>{"queryendsession", "endsession 0"}));
  auto lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "script | end | endsession");
  EXPECT_EQ(lines.back(), "script | end | still open");
}

TEST_F(ScriptTest, StateDescribesTheActiveWindow) {
  HWND sb = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame_, nullptr,
                            nullptr, nullptr);
  SendMessageW(sb, SB_SIMPLE, 1, 0);
  SendMessageW(sb, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L"Kein Dokument"));
  EnableMenuItem(menu_, 501, MF_BYCOMMAND | MF_GRAYED);
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT)));
  SetScriptForTest({S(1, "move", {"100", "50", "700", "550"}), S(2, "state")});
  Loop();
  std::string state;
  for (const auto& l : Lines())
    if (l.rfind("state |", 0) == 0) state = l;
  EXPECT_EQ(state,
            "state | title=Viewer | status=Kein Dokument | rect=100,50,700,550 | show=normal | cursor=wait | "
            "menu:501=greyed | menu:500=enabled");
}

TEST_F(ScriptTest, PrinterChoicesQueueInOrder) {
  SetScriptForTest({S(1, "printer", {"Office A4"}), S(2, "printer", {"cancel"})});
  Loop();
  auto first = TakePrinterChoice();
  auto second = TakePrinterChoice();
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(first->cancel);
  EXPECT_EQ(first->name, L"Office A4");
  EXPECT_TRUE(second->cancel);
  EXPECT_FALSE(TakePrinterChoice());
}

TEST_F(ScriptTest, BadStepsAreScriptErrorsNamingTheLine) {
  struct Case {
    uiscript::Step step;
    std::string message;
  };
  std::vector<Case> cases = {
      {S(4, "clik"), "ui script line 4: unknown verb 'clik'"},
      {S(5, "menu", {"777"}), "ui script line 5: menu: no item '777'"},
      {S(6, "key", {"hyper+x"}), "ui script line 6: unknown modifier 'hyper'"},
      {S(7, "move", {"1", "2", "1", "9"}), "ui script line 7: move: an empty rectangle"},
      {S(8, "button", {"501"}), "ui script line 8: button: the window has no toolbar"},
  };
  for (const auto& c : cases) {
    SetScriptForTest({c.step});
    MSG m;
    try {
      GetMessageW(&m, nullptr, 0, 0);
      ADD_FAILURE() << c.message;
    } catch (const uiscript::ScriptError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

}  // namespace
}  // namespace win
