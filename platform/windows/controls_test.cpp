// Status bar, toolbar, message boxes and dialogs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/uiscript/uiscript.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/dialog.h"
#include "platform/windows/fake_display.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"
#include "tests/support/scratch_dir.h"

namespace win {
namespace {

std::vector<std::pair<WORD, LPARAM>> g_commands;

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_COMMAND) g_commands.emplace_back(LOWORD(w), l);
  return DefWindowProcW(h, m, w, l);
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    SetScriptForTest({});
    uiscript::AnswerQueue::Instance().Clear();
    g_commands.clear();
    transcript_ = scratch_ / "transcript.txt";
    setenv("ORN_UI_TRANSCRIPT", transcript_.c_str(), 1);
    INITCOMMONCONTROLSEX icc;
    icc.dwICC = ICC_BAR_CLASSES;
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    WNDCLASSEXW wc;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Parent";
    RegisterClassExW(&wc);
    parent_ = CreateWindowExW(0, L"Parent", L"P", WS_OVERLAPPEDWINDOW, 0, 0, 608, 428, nullptr, nullptr, nullptr,
                              nullptr);
  }
  void TearDown() override {
    ResetWindowsForTest();
    unsetenv("ORN_UI_TRANSCRIPT");
  }
  std::vector<std::string> Lines() {
    std::ifstream in(transcript_);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
  HWND Child(const wchar_t* cls, DWORD style = 0) {
    return CreateWindowExW(0, cls, nullptr, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent_, nullptr, nullptr,
                           nullptr);
  }

  orn_test::ScratchDir scratch_{"win-controls"};
  std::filesystem::path transcript_;
  HWND parent_ = nullptr;
};

TEST_F(ControlsTest, StatusBarSimpleTextIsReadBackAndTranscribedOnChange) {
  HWND sb = Child(STATUSCLASSNAMEW);
  SendMessageW(sb, SB_SIMPLE, 1, 0);
  SendMessageW(sb, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L"Dokument geladen"));
  SendMessageW(sb, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L"Dokument geladen"));
  SendMessageW(sb, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L"Drucker auswählen"));
  wchar_t buf[64];
  auto r = SendMessageW(sb, SB_GETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(buf));
  EXPECT_EQ(std::wstring(buf), L"Drucker auswählen");
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(r)), 17);
  std::vector<std::string> statuses;
  for (const auto& l : Lines())
    if (l.rfind("status | ", 0) == 0) statuses.push_back(l);
  EXPECT_EQ(statuses, (std::vector<std::string>{"status | Dokument geladen", "status | Drucker auswählen"}));
}

TEST_F(ControlsTest, BarsSizeThemselvesToTheParent) {
  HWND sb = Child(STATUSCLASSNAMEW);
  HWND tb = Child(TOOLBARCLASSNAMEW);
  SendMessageW(sb, WM_SIZE, 0, 0);
  SendMessageW(tb, WM_SIZE, 0, 0);
  RECT pc, rs, rt;
  GetClientRect(parent_, &pc);
  GetWindowRect(sb, &rs);
  GetWindowRect(tb, &rt);
  POINT o{0, 0};
  ClientToScreen(parent_, &o);
  EXPECT_EQ(rs.bottom - o.y, pc.bottom);
  EXPECT_EQ(rs.bottom - rs.top, 22);
  EXPECT_EQ(rt.top - o.y, 0);
  EXPECT_EQ(rt.right - rt.left, pc.right);
}

HWND MakeToolbar(HWND tb, BYTE state) {
  SendMessageW(tb, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(L"Drucken\0"));
  SendMessageW(tb, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL()));
  SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON b;
  b.iBitmap = STD_PRINT;
  b.idCommand = 501;
  b.fsState = state;
  b.iString = 0;
  EXPECT_EQ(SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b)), 1);
  return tb;
}

void Click(HWND tb, int x, int y) {
  SendMessageW(tb, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  SendMessageW(tb, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

TEST_F(ControlsTest, ToolbarButtonCommandsOnlyWhileEnabled) {
  HWND tb = MakeToolbar(Child(TOOLBARCLASSNAMEW, TBSTYLE_FLAT), TBSTATE_ENABLED);
  wchar_t text[32];
  SendMessageW(tb, TB_GETBUTTONTEXTW, 501, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text), L"Drucken");
  Click(tb, 30, 10);
  ASSERT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0], (std::pair<WORD, LPARAM>{501, reinterpret_cast<LPARAM>(tb)}));
  Click(tb, 100, 10);  // beside the button
  SendMessageW(tb, TB_SETSTATE, 501, MAKELPARAM(TBSTATE_INDETERMINATE, 0));
  EXPECT_EQ(SendMessageW(tb, TB_GETSTATE, 501, 0), TBSTATE_INDETERMINATE);
  Click(tb, 30, 10);
  EXPECT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(SendMessageW(tb, TB_GETSTATE, 999, 0), -1);
}

TEST_F(ControlsTest, ToolbarRefusesButtonsOfAnotherStructureSize) {
  HWND tb = Child(TOOLBARCLASSNAMEW);
  SendMessageW(tb, TB_BUTTONSTRUCTSIZE, 20, 0);
  TBBUTTON b;
  EXPECT_EQ(SendMessageW(tb, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b)), 0);
  EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 0);
}

TEST_F(ControlsTest, MessageBoxTakesQueuedAnswerElseDefault) {
  UINT style = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
  EXPECT_EQ(MessageBoxW(parent_, L"Schließen?", L"ORN RTF Viewer", style), IDNO);
  uiscript::AnswerQueue::Instance().Push(uiscript::kYes);
  EXPECT_EQ(MessageBoxW(parent_, L"Schließen?", L"ORN RTF Viewer", style), IDYES);
  auto lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "msgbox | ORN RTF Viewer | 308 | Schließen? | no (default)");
  EXPECT_EQ(lines.back(), "msgbox | ORN RTF Viewer | 308 | Schließen? | yes");
}

intptr_t AboutProc(HWND h, UINT m, WPARAM w, LPARAM) {
  if (m == WM_COMMAND && LOWORD(w) >= 1 && LOWORD(w) <= 7) {
    EndDialog(h, LOWORD(w));
    return 1;
  }
  return m == WM_INITDIALOG;
}

intptr_t StubbornProc(HWND, UINT m, WPARAM, LPARAM) { return m == WM_INITDIALOG; }

class DialogTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    DialogTemplate t;
    t.title = L"About";
    t.cx = 230;
    t.cy = 75;
    t.items = {{L"Static", L"", -1, SS_ICON}, {L"Static", L"Kalmoor ORN", -1, 0},
               {L"Static", L"ORN RTF Viewer", -1, 0}, {L"Button", L"OK", IDOK, BS_DEFPUSHBUTTON}};
    AddDialogResource(GetModuleHandleW(nullptr), 103, t);
  }
};

TEST_F(DialogTest, DialogEndsWithTheDefaultButtonOrTheQueuedAnswer) {
  EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), parent_, AboutProc, 0), IDOK);
  EXPECT_EQ(Lines().back(), "dialog | About | Kalmoor ORN\\nORN RTF Viewer | ok (default)");
  uiscript::AnswerQueue::Instance().Push(uiscript::kOk);
  EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), parent_, AboutProc, 0), IDOK);
  EXPECT_EQ(Lines().back(), "dialog | About | Kalmoor ORN\\nORN RTF Viewer | ok");
  EXPECT_EQ(FindWindowExW(nullptr, nullptr, L"#32770", nullptr), nullptr);
}

TEST_F(DialogTest, OnAScreenTheOperatorAnswersUnlessTheScriptQueuedAnAnswer) {
  FakeDisplay screen;
  screen.dialogAnswer = IDCANCEL;  // Escape or the close box
  SetDisplay(&screen);
  EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), parent_, AboutProc, 0), IDCANCEL);
  EXPECT_EQ(Lines().back(), "dialog | About | Kalmoor ORN\\nORN RTF Viewer | cancel");
  uiscript::AnswerQueue::Instance().Push(uiscript::kOk);
  EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), parent_, AboutProc, 0), IDOK);
  SetDisplay(nullptr);
  EXPECT_EQ(screen.dialogs, 1);
}

TEST_F(DialogTest, AnswerTheDialogDoesNotOfferIsAScriptError) {
  uiscript::AnswerQueue::Instance().Push(uiscript::kRetry);
  EXPECT_THROW(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), parent_, AboutProc, 0),
               uiscript::ScriptError);
  EXPECT_EQ(FindWindowExW(nullptr, nullptr, L"#32770", nullptr), nullptr);
}

TEST_F(DialogTest, DialogThatNeverEndsIsClosedWithMinusOne) {
  EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), parent_, StubbornProc, 0), -1);
  EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(999), parent_, AboutProc, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

}  // namespace
}  // namespace win
