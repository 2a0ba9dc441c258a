#include "platform/windows/script.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <deque>
#include <map>
#include <string_view>

#include "platform/win32/environment.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/detail.h"
#include "platform/windows/display.h"
#include "platform/windows/menu.h"
#include "platform/windows/operator.h"
#include "platform/windows/text.h"
#include "platform/windows/window.h"

namespace win {

namespace {

struct Driver {
  bool loaded = false;
  std::vector<uiscript::Step> steps;
  size_t next = 0;
  int endPhase = 0;  // 0 script running, 1 close asked
  // A real screen and no script: the operator works until the program
  // ends; no steps, no watchdog, no close at the end.
  bool operatorSession = false;
  void (*onStillOpen)() = nullptr;
  std::deque<PrinterChoice> printers;
};

Driver& D() {
  static Driver d;
  return d;
}

std::string Joined(const uiscript::Step& step) {
  std::string s = step.verb;
  for (const auto& a : step.args) s += " " + a;
  return s;
}

HWND RequireWindow(const uiscript::Step& step) {
  HWND h = OperatorWindow();
  if (!h) uiscript::Fail(step, step.verb + ": no window is open");
  return h;
}

int ParseInt(const uiscript::Step& step, const std::string& word) {
  try {
    size_t used = 0;
    int v = std::stoi(word, &used);
    if (used == word.size()) return v;
  } catch (const std::exception&) {
  }
  uiscript::Fail(step, "'" + word + "' is not a number");
}

// N of a printer step's "copies=N" (at most four digits); 0 for any other word.
int CopiesOf(const std::string& arg) {
  const std::string_view prefix = "copies=";
  if (arg.rfind(prefix, 0) != 0 || arg.size() == prefix.size() || arg.size() > prefix.size() + 4 ||
      arg.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
    return 0;
  return std::stoi(arg.substr(prefix.size()));
}

std::wstring MenuLabel(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'\t') break;
    if (c != L'&') out += c;
  }
  return out;
}

// Finds a command item by id or label below `menu`; its id or 0.
UINT FindMenuItem(HMENU menu, const std::wstring& label, int id) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      if (UINT found = FindMenuItem(sub, label, id)) return found;
      continue;
    }
    UINT itemId = GetMenuItemID(menu, i);
    if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) continue;
    if ((id > 0 && itemId == static_cast<UINT>(id)) ||
        (id <= 0 && MenuLabel(GetMenuStringW(menu, static_cast<UINT>(i), MF_BYPOSITION)) == label))
      return itemId;
  }
  return 0;
}

void CollectMenuStates(HMENU menu, std::vector<std::string>* out) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      CollectMenuStates(sub, out);
      continue;
    }
    UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    if (state & MF_SEPARATOR) continue;
    out->push_back("menu:" + std::to_string(GetMenuItemID(menu, i)) + "=" +
                   ((state & (MF_GRAYED | MF_DISABLED)) ? "greyed" : "enabled"));
  }
}

struct KeyName {
  const char* name;
  int vk;
};
constexpr KeyName kKeys[] = {
    {"enter", VK_RETURN}, {"tab", VK_TAB},       {"esc", VK_ESCAPE},  {"space", VK_SPACE},
    {"backspace", VK_BACK}, {"pgup", VK_PRIOR},  {"pgdn", VK_NEXT},   {"end", VK_END},
    {"home", VK_HOME},    {"left", VK_LEFT},     {"up", VK_UP},       {"right", VK_RIGHT},
    {"down", VK_DOWN},    {"insert", VK_INSERT}, {"delete", VK_DELETE},
};

int VirtualKeyOf(const uiscript::Step& step, const std::string& name) {
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
    return std::toupper(static_cast<unsigned char>(name[0]));
  if (name.size() >= 2 && name[0] == 'f' && std::isdigit(static_cast<unsigned char>(name[1]))) {
    int n = ParseInt(step, name.substr(1));
    if (n >= 1 && n <= 12) return VK_F1 + n - 1;
  }
  for (const auto& k : kKeys)
    if (name == k.name) return k.vk;
  uiscript::Fail(step, "unknown key '" + name + "'");
}

void PressKeys(const uiscript::Step& step, const std::string& combo) {
  std::string lower;
  for (char c : combo) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t plus = lower.find('+', start);
    parts.push_back(lower.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  bool ctrl = false, alt = false, shift = false;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (parts[i] == "ctrl") ctrl = true;
    else if (parts[i] == "alt") alt = true;
    else if (parts[i] == "shift") shift = true;
    else uiscript::Fail(step, "unknown modifier '" + parts[i] + "'");
  }
  int vk = VirtualKeyOf(step, parts.back());
  HWND target = KeyTarget();
  if (!target) uiscript::Fail(step, step.verb + ": no window is open");
  // Modifiers go down first and up last, as the fingers do.
  if (ctrl) PostKey(target, VK_CONTROL, true, false);
  if (shift) PostKey(target, VK_SHIFT, true, false);
  if (alt) PostKey(target, VK_MENU, true, true);
  PostKey(target, vk, true, alt);
  PostKey(target, vk, false, alt);
  if (alt) PostKey(target, VK_MENU, false, true);
  if (shift) PostKey(target, VK_SHIFT, false, false);
  if (ctrl) PostKey(target, VK_CONTROL, false, false);
}

HWND FindChildOfClass(HWND parent, const wchar_t* cls) { return FindWindowExW(parent, nullptr, cls, nullptr); }

void ClickButton(const uiscript::Step& step, int id) {
  HWND top = RequireWindow(step);
  HWND tb = FindChildOfClass(top, TOOLBARCLASSNAMEW);
  if (!tb) uiscript::Fail(step, "button: the window has no toolbar");
  if (!ClickToolbarButton(tb, id)) uiscript::Fail(step, "button: no toolbar button " + std::to_string(id));
}

void WriteState(const uiscript::Step& step) {
  HWND top = RequireWindow(step);
  std::vector<std::string> fields = {"state", "title=" + ToUtf8(GetWindowTextW(top))};
  if (HWND sb = FindChildOfClass(top, STATUSCLASSNAMEW)) {
    WPARAM part = SendMessageW(sb, SB_ISSIMPLE, 0, 0) ? SB_SIMPLEID : 0;
    auto len = static_cast<size_t>(SendMessageW(sb, SB_GETTEXTLENGTHW, part, 0) & 0xFFFF);
    std::wstring text(len + 1, L'\0');
    SendMessageW(sb, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(len);
    fields.push_back("status=" + ToUtf8(text));
  }
  WINDOWPLACEMENT wp;
  GetWindowPlacement(top, &wp);
  RECT r;
  GetWindowRect(top, &r);
  fields.push_back("rect=" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
                   "," + std::to_string(r.bottom));
  fields.push_back(std::string("show=") + (!IsWindowVisible(top) ? "hidden"
                                           : IsIconic(top)       ? "minimized"
                                           : IsZoomed(top)       ? "maximized"
                                                                 : "normal"));
  HCURSOR wait = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT));
  fields.push_back(std::string("cursor=") + (GetCursor() == wait ? "wait" : "arrow"));
  if (HMENU menu = GetMenu(top)) CollectMenuStates(menu, &fields);
  if (HWND tb = FindChildOfClass(top, TOOLBARCLASSNAMEW)) {
    auto count = SendMessageW(tb, TB_BUTTONCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      TBBUTTON b;
      SendMessageW(tb, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
      if (b.fsStyle == BTNS_SEP) continue;
      fields.push_back("button:" + std::to_string(b.idCommand) + "=" + std::to_string(b.fsState));
    }
  }
  uiscript::Transcript::Write(fields);
}

void Expect(const uiscript::Step& step, size_t count, const char* usage) {
  if (step.args.size() != count) uiscript::Fail(step, step.verb + " takes " + usage);
}

void Run(const uiscript::Step& step) {
  if (uiscript::RunSharedStep(step)) return;
  const std::string& v = step.verb;
  if (v == "menu") {
    Expect(step, 1, "one command id or item text");
    HWND top = RequireWindow(step);
    HMENU menu = GetMenu(top);
    if (!menu) uiscript::Fail(step, "menu: the window has no menu");
    bool numeric = !step.args[0].empty() && std::isdigit(static_cast<unsigned char>(step.args[0][0]));
    int id = numeric ? ParseInt(step, step.args[0]) : 0;
    UINT item = FindMenuItem(menu, FromUtf8(step.args[0]), id);
    if (!item) uiscript::Fail(step, "menu: no item '" + step.args[0] + "'");
    ChooseMenuCommand(top, item);
  } else if (v == "key") {
    if (step.args.empty()) uiscript::Fail(step, "key takes one or more keys");
    for (const auto& k : step.args) PressKeys(step, k);
  } else if (v == "button") {
    Expect(step, 1, "one command id");
    ClickButton(step, ParseInt(step, step.args[0]));
  } else if (v == "close") {
    Expect(step, 0, "no arguments");
    PostSysCommand(RequireWindow(step), SC_CLOSE);
  } else if (v == "move") {
    Expect(step, 4, "left top right bottom");
    int l = ParseInt(step, step.args[0]), t = ParseInt(step, step.args[1]);
    int r = ParseInt(step, step.args[2]), b = ParseInt(step, step.args[3]);
    if (r <= l || b <= t) uiscript::Fail(step, "move: an empty rectangle");
    MoveWindow(RequireWindow(step), l, t, r - l, b - t, true);
  } else if (v == "show") {
    Expect(step, 1, "normal, maximized or minimized");
    const std::string& how = step.args[0];
    WPARAM cmd = how == "normal" ? WPARAM{SC_RESTORE} : how == "maximized" ? WPARAM{SC_MAXIMIZE} : how == "minimized" ? WPARAM{SC_MINIMIZE} : WPARAM{0};
    if (!cmd) uiscript::Fail(step, "show: '" + how + "' is not normal, maximized or minimized");
    PostSysCommand(RequireWindow(step), cmd);
  } else if (v == "printer") {
    const char* usage = "a printer name or cancel, then copies=N (1 to 9999) and collate if wanted";
    if (step.args.empty() || step.args.size() > 3) uiscript::Fail(step, std::string("printer takes ") + usage);
    PrinterChoice c;
    c.cancel = step.args[0] == "cancel";
    if (!c.cancel) c.name = FromUtf8(step.args[0]);
    for (size_t i = 1; i < step.args.size(); ++i) {
      const std::string& a = step.args[i];
      if (a == "collate") {
        c.collate = true;
      } else if (const int copies = CopiesOf(a); copies >= 1 && copies <= 9999) {
        c.copies = copies;
      } else {
        uiscript::Fail(step, std::string("printer takes ") + usage + ", not '" + a + "'");
      }
    }
    D().printers.push_back(c);
  } else if (v == "state") {
    Expect(step, 0, "no arguments");
    WriteState(step);
  } else {
    uiscript::Fail(step, "unknown verb '" + v + "'");
  }
}

void Load() {
  Driver& d = D();
  if (d.loaded) return;
  d.loaded = true;
  const char* script = std::getenv("ORN_UI_SCRIPT");
  d.operatorSession = GetDisplay() != nullptr && (script == nullptr || *script == 0);
  if (d.operatorSession) return;
  uiscript::StartWatchdog("windows");
  d.steps = uiscript::LoadScriptFromEnvironment();
}

}  // namespace

// A program then ends with its own exit code, without the close question
// of its close box.
void EndSession() {
  std::vector<HWND> tops;
  for (HWND h = FindWindowExW(nullptr, nullptr, nullptr, nullptr); h;
       h = FindWindowExW(nullptr, h, nullptr, nullptr))
    tops.push_back(h);
  bool ending = true;
  for (HWND h : tops) ending = ending && (!IsWindow(h) || SendMessageW(h, WM_QUERYENDSESSION, 0, 0) != 0);
  for (HWND h : tops)
    if (IsWindow(h)) SendMessageW(h, WM_ENDSESSION, ending ? 1 : 0, 0);
  if (!ending) return;
  for (HWND h : tops)
    if (IsWindow(h)) DestroyWindow(h);
}

std::optional<PrinterChoice> TakePrinterChoice() {
  auto& q = D().printers;
  if (q.empty()) return std::nullopt;
  PrinterChoice c = q.front();
  q.pop_front();
  return c;
}

void SetScriptForTest(std::vector<uiscript::Step> steps, void (*onStillOpen)()) {
  D() = Driver{};
  D().loaded = true;
  D().steps = std::move(steps);
  D().onStillOpen = onStillOpen;
}

namespace detail {

bool RunScriptIdle(bool nested) {
  Load();
  Driver& d = D();
  if (d.next < d.steps.size()) {
    uiscript::Step step = d.steps[d.next];
    bool marked = step.verb == "nested";
    if (nested && !marked) return false;
    ++d.next;
    if (marked) {
      if (step.args.empty()) uiscript::Fail(step, "nested takes a step");
      step.verb = step.args.front();
      step.args.erase(step.args.begin());
    }
    uiscript::Transcript::Write({"step", std::to_string(step.line), Joined(step)});
    Run(step);
    return true;
  }
  if (nested || d.operatorSession) return false;
  HWND top = OperatorWindow();
  if (!top) return false;
  if (d.endPhase == 0) {
    d.endPhase = 1;
    uiscript::Transcript::Write({"script", "end", "endsession"});
    EndSession();
    return true;
  }
  uiscript::Transcript::Write({"script", "end", "still open"});
  std::fprintf(stderr, "windows: the program still runs after the session ended at the end of the script, "
                       "ended with exit code 125\n");
  if (d.onStillOpen) d.onStillOpen();
  win32::ExitProcess(125);
}

void ResetScript() { D() = Driver{}; }

}  // namespace detail

}  // namespace win
