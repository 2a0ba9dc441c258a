#include "platform/windows/window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <deque>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/uiscript/uiscript.h"
#include "platform/windows/detail.h"
#include "platform/windows/display.h"
#include "platform/windows/text.h"

namespace win {

namespace {

constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr int kFrame = 4;
constexpr int kCaption = 20;
constexpr int kMenuBar = 20;
constexpr int kTaskBar = 40;
constexpr int kScrollBar = 17;

std::wstring Upper(std::wstring_view s) {
  std::wstring out(s);
  for (auto& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return out;
}

struct ClassInfo {
  WNDCLASSEXW wc;
  std::wstring name;
  std::wstring menuName;
  bool system = false;
};

struct Window {
  uintptr_t id = 0;
  std::wstring className;
  WNDPROC proc = nullptr;
  std::wstring text;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // null for top-level windows
  std::vector<HWND> children;
  RECT rect;        // parent client coordinates (screen for top-level)
  RECT normalRect;  // top-level: the restored rectangle
  int sizeState = 0;  // SIZE_RESTORED, SIZE_MINIMIZED, SIZE_MAXIMIZED
  HMENU menu = nullptr;
  LONG_PTR childId = 0;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  std::vector<LONG_PTR> extra;
  std::map<std::wstring, HANDLE> props;  // keys upper case: names are atoms
  bool destroying = false;
  bool enabled = true;
};

struct State {
  std::map<std::wstring, ClassInfo> classes;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t nextId = 0x10012;
  HWND desktop = nullptr;
  std::deque<MSG> queue;
  bool quit = false;
  int quitCode = 0;
  HWND focus = nullptr;
  HWND active = nullptr;
  std::map<int, bool> keys;
  DWORD time = 0;
  HCURSOR cursor = nullptr;
  bool hasClipboard = false;
  std::wstring clipboard;
  Display* display = nullptr;
};

State& S() {
  static State state;
  return state;
}

HWND ToHandle(uintptr_t id) { return reinterpret_cast<HWND>(id); }
uintptr_t ToId(HWND h) { return reinterpret_cast<uintptr_t>(h); }

Window* Find(HWND h) {
  auto& s = S();
  auto it = s.windows.find(ToId(h));
  return it == s.windows.end() ? nullptr : it->second.get();
}

Window* FindOrFail(HWND h) {
  Window* w = Find(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

bool IsTopLevel(const Window& w) { return !(w.style & WS_CHILD); }

// ORN_SCREEN is read once for the run.
std::pair<int, int> ScreenSize() {
  static const std::pair<int, int> size = [] {
    const uiscript::ScreenPixels screen = uiscript::ScreenFromEnvironment();
    return std::pair<int, int>{screen.width, screen.height};
  }();
  return size;
}

// Non-client sizes of a window: left, top, right, bottom.
RECT NonClient(const Window& w) {
  RECT nc;
  if (IsTopLevel(w) && (w.style & WS_CAPTION) == WS_CAPTION) {
    nc = {kFrame, kFrame + kCaption + (w.menu ? kMenuBar : 0), kFrame, kFrame};
  } else if (w.style & WS_BORDER) {
    nc = {1, 1, 1, 1};
  }
  if (!IsTopLevel(w)) {
    if (w.style & WS_VSCROLL) nc.right += kScrollBar;
    if (w.style & WS_HSCROLL) nc.bottom += kScrollBar;
  }
  return nc;
}

std::pair<int, int> ClientSize(const Window& w) {
  if (w.sizeState == SIZE_MINIMIZED) return {0, 0};
  RECT nc = NonClient(w);
  int cx = (w.rect.right - w.rect.left) - nc.left - nc.right;
  int cy = (w.rect.bottom - w.rect.top) - nc.top - nc.bottom;
  return {std::max(cx, 0), std::max(cy, 0)};
}

// Screen position of a window's client origin.
POINT ClientOrigin(HWND h) {
  POINT origin;
  for (Window* w = Find(h); w; w = w->parent ? Find(w->parent) : nullptr) {
    RECT nc = NonClient(*w);
    origin.x += w->rect.left + nc.left;
    origin.y += w->rect.top + nc.top;
  }
  return origin;
}

void SendSize(HWND h) {
  Window* w = Find(h);
  if (!w) return;
  auto [cx, cy] = ClientSize(*w);
  SendMessageW(h, WM_SIZE, static_cast<WPARAM>(w->sizeState),
               MAKELPARAM(static_cast<WORD>(cx), static_cast<WORD>(cy)));
}

void WriteTitle(const Window& w) {
  if (IsTopLevel(w) && w.className != L"#32769")
    uiscript::Transcript::Write({"caption", ToUtf8(w.className), ToUtf8(w.text)});
}

void Activate(HWND h) {
  auto& s = S();
  if (s.active == h) return;
  HWND old = s.active;
  s.active = h;
  if (old && Find(old)) SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
  SendMessageW(h, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
}

void EnsureDesktop() {
  auto& s = S();
  if (s.desktop) return;
  auto w = std::make_unique<Window>();
  w->id = 0x10010;
  w->className = L"#32769";
  w->proc = DefWindowProcW;
  // Hidden only in a session without an operator (ORN_DESKTOP=hidden).
  w->style = (uiscript::DesktopVisible() ? DWORD{WS_VISIBLE} : DWORD{0}) | WS_CLIPCHILDREN;
  auto [sw, sh] = ScreenSize();
  w->rect = {0, 0, sw, sh};
  w->normalRect = w->rect;
  s.desktop = ToHandle(w->id);
  s.windows[w->id] = std::move(w);
  detail::RegisterDialogClasses();
}

// Top-level windows are kept as children of the desktop for enumeration;
// their `parent` stays null.
std::vector<HWND>& ChildList(HWND parent) {
  EnsureDesktop();
  Window* p = Find(parent ? parent : S().desktop);
  return p->children;
}

bool IsCharKey(int vk) {
  return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN ||
         vk == VK_TAB || vk == VK_ESCAPE || vk == VK_BACK;
}

void NoteKey(const MSG& m) {
  auto& s = S();
  switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      s.keys[static_cast<int>(m.wParam)] = true;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      s.keys[static_cast<int>(m.wParam)] = false;
      break;
    default:
      break;
  }
}

bool TakeQueued(MSG* msg, bool remove) {
  auto& s = S();
  if (!s.queue.empty()) {
    *msg = s.queue.front();
    if (remove) {
      s.queue.pop_front();
      NoteKey(*msg);
    }
    return true;
  }
  if (s.quit) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(s.quitCode);
    if (remove) s.quit = false;
    return true;
  }
  return false;
}

// The character message of a key goes before everything queued after the
// key, as the platform's TranslateMessage places it.
void PostFront(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = S().time;
  S().queue.push_front(m);
}

}  // namespace

// ---- classes

bool RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || IS_INTRESOURCE(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  EnsureDesktop();
  auto key = Upper(wc->lpszClassName);
  auto& classes = S().classes;
  if (classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return false;
  }
  ClassInfo info;
  info.wc = *wc;
  info.name = wc->lpszClassName;
  if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName)) info.menuName = wc->lpszMenuName;
  info.wc.lpszClassName = nullptr;
  info.wc.lpszMenuName = nullptr;
  // Classes registered before the first test reset (the dialog classes,
  // the common controls of a loaded library) are the system's.
  info.system = wc->hInstance == nullptr;
  classes[key] = info;
  return true;
}

bool UnregisterClassW(const wchar_t* className, HINSTANCE) {
  if (!className) return false;
  auto& classes = S().classes;
  if (!classes.erase(Upper(className))) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return false;
  }
  return true;
}

bool GetClassInfoExW(HINSTANCE, const wchar_t* className, WNDCLASSEXW* out) {
  EnsureDesktop();
  if (!className) return false;
  auto it = S().classes.find(Upper(className));
  if (it == S().classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return false;
  }
  *out = it->second.wc;
  out->lpszClassName = it->second.name.c_str();
  return true;
}

uintptr_t SetClassLongPtrW(HWND hwnd, int index, uintptr_t value) {
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  auto it = S().classes.find(Upper(w->className));
  if (it == S().classes.end()) return 0;
  auto& wc = it->second.wc;
  uintptr_t old = 0;
  switch (index) {
    case GCLP_HICON:
      old = reinterpret_cast<uintptr_t>(wc.hIcon);
      wc.hIcon = reinterpret_cast<HICON>(value);
      break;
    case GCLP_HCURSOR:
      old = reinterpret_cast<uintptr_t>(wc.hCursor);
      wc.hCursor = reinterpret_cast<HCURSOR>(value);
      break;
    case GCLP_HBRBACKGROUND:
      old = reinterpret_cast<uintptr_t>(wc.hbrBackground);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(value);
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
  return old;
}

uintptr_t GetClassLongPtrW(HWND hwnd, int index) {
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  auto it = S().classes.find(Upper(w->className));
  if (it == S().classes.end()) return 0;
  const auto& wc = it->second.wc;
  switch (index) {
    case GCLP_HICON: return reinterpret_cast<uintptr_t>(wc.hIcon);
    case GCLP_HCURSOR: return reinterpret_cast<uintptr_t>(wc.hCursor);
    case GCLP_HBRBACKGROUND: return reinterpret_cast<uintptr_t>(wc.hbrBackground);
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

std::wstring GetClassNameW(HWND hwnd) {
  Window* w = FindOrFail(hwnd);
  return w ? w->className : std::wstring();
}

// ---- windows

HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                     HINSTANCE instance, void* param) {
  EnsureDesktop();
  auto& s = S();
  if (!className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto cls = s.classes.find(Upper(className));
  if (cls == s.classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (parent == s.desktop) parent = nullptr;
  if ((style & WS_CHILD) && !Find(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (parent && !(style & WS_CHILD)) parent = nullptr;  // owned windows are top-level here

  auto w = std::make_unique<Window>();
  w->id = s.nextId;
  s.nextId += 2;
  w->className = cls->second.name;
  w->proc = cls->second.wc.lpfnWndProc;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->parent = parent;
  w->instance = instance;
  w->extra.assign(static_cast<size_t>(std::max(cls->second.wc.cbWndExtra, 0)) / sizeof(LONG_PTR) + 1, 0);
  if (style & WS_CHILD) {
    w->childId = static_cast<LONG_PTR>(reinterpret_cast<uintptr_t>(menuOrId));
  } else {
    w->menu = menuOrId;
    if (x == CW_USEDEFAULT) {
      auto [sw, sh] = ScreenSize();
      x = 40;
      y = 40;
      if (width == CW_USEDEFAULT) {
        width = sw * 3 / 4;
        height = sh * 3 / 4;
      }
    }
  }
  if (width == CW_USEDEFAULT) width = height = 0;
  w->rect = {x, y, x + width, y + height};
  w->normalRect = w->rect;
  HWND h = ToHandle(w->id);
  s.windows[w->id] = std::move(w);
  ChildList(parent).insert(ChildList(parent).begin(), h);

  CREATESTRUCTW cs{param, instance, menuOrId, parent, height, width, y, x, static_cast<LONG>(style),
                   windowName, className, exStyle};
  if (!SendMessageW(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    DestroyWindow(h);
    return nullptr;
  }
  if (Window* nw = Find(h); nw && IsTopLevel(*nw)) WriteTitle(*nw);
  if (SendMessageW(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!Find(h)) return nullptr;
  SendSize(h);
  if (Find(h)) SendMessageW(h, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  if ((style & WS_VISIBLE) && Find(h)) ShowWindow(h, SW_SHOW);
  SetLastError(ERROR_SUCCESS);
  return Find(h) ? h : nullptr;
}

bool DestroyWindow(HWND hwnd) {
  Window* w = FindOrFail(hwnd);
  if (!w || hwnd == S().desktop) return false;
  if (w->destroying) return true;
  w->destroying = true;
  auto& s = S();
  if (w->style & WS_VISIBLE) w->style &= ~WS_VISIBLE;
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  // Children may have been destroyed by the handler; take the list anew.
  while (true) {
    Window* cur = Find(hwnd);
    if (!cur || cur->children.empty()) break;
    HWND child = cur->children.front();
    if (Window* c = Find(child); c && !c->destroying) {
      DestroyWindow(child);
    } else {
      cur->children.erase(cur->children.begin());
    }
  }
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  Window* cur = Find(hwnd);
  if (!cur) return true;
  auto& siblings = ChildList(cur->parent);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  if (s.focus == hwnd) s.focus = nullptr;
  if (s.active == hwnd) s.active = nullptr;
  // Posted messages for the window die with it, as on the platform.
  std::erase_if(s.queue, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  s.windows.erase(ToId(hwnd));
  return true;
}

bool IsWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

HWND GetDesktopWindow() {
  EnsureDesktop();
  return S().desktop;
}

HWND GetParent(HWND hwnd) {
  Window* w = FindOrFail(hwnd);
  return w ? w->parent : nullptr;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  Window* w = FindOrFail(hwnd);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return w->parent ? w->parent : GetDesktopWindow();
  HWND h = hwnd;
  while (Window* cur = Find(h)) {
    if (!cur->parent) return h;
    h = cur->parent;
  }
  return nullptr;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  Window* w = FindOrFail(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_HWNDNEXT) {
    auto& list = ChildList(w->parent);
    auto it = std::find(list.begin(), list.end(), hwnd);
    if (it == list.end() || ++it == list.end()) return nullptr;
    return *it;
  }
  if (cmd == GW_OWNER) return nullptr;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HWND GetDlgItem(HWND parent, int id) {
  Window* p = FindOrFail(parent);
  if (!p) return nullptr;
  for (HWND c : p->children) {
    Window* w = Find(c);
    if (w && w->childId == id) return c;
  }
  return nullptr;
}

HWND FindWindowExW(HWND parent, HWND after, const wchar_t* className, const wchar_t* windowName) {
  EnsureDesktop();
  if (parent && !Find(parent)) return nullptr;
  const auto& list = ChildList(parent);
  auto it = list.begin();
  if (after) {
    it = std::find(list.begin(), list.end(), after);
    if (it == list.end()) return nullptr;
    ++it;
  }
  for (; it != list.end(); ++it) {
    Window* w = Find(*it);
    if (!w || w->destroying) continue;
    if (className && Upper(w->className) != Upper(className)) continue;
    if (windowName && w->text != windowName) continue;
    return *it;
  }
  return nullptr;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_WNDPROC:
      old = ProcToLong(w->proc);
      w->proc = LongToProc(value);
      break;
    case GWLP_USERDATA:
      old = w->userData;
      w->userData = value;
      break;
    case GWLP_ID:
      old = w->childId;
      w->childId = value;
      break;
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      break;
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      break;
    default: {
      if (index < 0 || static_cast<size_t>(index) % sizeof(LONG_PTR) != 0 ||
          static_cast<size_t>(index) / sizeof(LONG_PTR) >= w->extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      auto& slot = w->extra[static_cast<size_t>(index) / sizeof(LONG_PTR)];
      old = slot;
      slot = value;
    }
  }
  return old;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return ProcToLong(w->proc);
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->childId;
    case GWLP_HINSTANCE: return static_cast<LONG_PTR>(reinterpret_cast<uintptr_t>(w->instance));
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    default:
      if (index < 0 || static_cast<size_t>(index) % sizeof(LONG_PTR) != 0 ||
          static_cast<size_t>(index) / sizeof(LONG_PTR) >= w->extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      return w->extra[static_cast<size_t>(index) / sizeof(LONG_PTR)];
  }
}

HMENU GetMenu(HWND hwnd) {
  Window* w = FindOrFail(hwnd);
  return w && IsTopLevel(*w) ? w->menu : nullptr;
}

bool SetMenu(HWND hwnd, HMENU menu) {
  Window* w = FindOrFail(hwnd);
  if (!w || !IsTopLevel(*w)) return false;
  w->menu = menu;
  SendSize(hwnd);
  return true;
}

bool SetWindowTextW(HWND hwnd, const wchar_t* text) {
  if (!FindOrFail(hwnd)) return false;
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) != 0;
}

std::wstring GetWindowTextW(HWND hwnd) {
  if (!FindOrFail(hwnd)) return {};
  auto len = static_cast<size_t>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
  std::wstring buf(len + 1, L'\0');
  auto got = static_cast<size_t>(SendMessageW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data())));
  buf.resize(std::min(got, len));
  return buf;
}

bool ShowWindow(HWND hwnd, int cmd) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  int oldState = w->sizeState;
  bool show = cmd != SW_HIDE;
  if (IsTopLevel(*w)) {
    switch (cmd) {
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE:
      case SW_FORCEMINIMIZE:
        w->sizeState = SIZE_MINIMIZED;
        break;
      case SW_SHOWMAXIMIZED: {
        w->sizeState = SIZE_MAXIMIZED;
        auto [sw, sh] = ScreenSize();
        w->rect = {-kFrame, -kFrame, sw + kFrame, sh - kTaskBar + kFrame};
        break;
      }
      case SW_SHOWNORMAL:
      case SW_RESTORE:
      case SW_SHOWDEFAULT:
        if (w->sizeState != SIZE_RESTORED) {
          w->sizeState = SIZE_RESTORED;
          w->rect = w->normalRect;
        }
        break;
      default:
        break;
    }
  }
  if (show) w->style |= WS_VISIBLE;
  else w->style &= ~WS_VISIBLE;
  if (show != wasVisible) SendMessageW(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (Find(hwnd) && oldState != Find(hwnd)->sizeState) SendSize(hwnd);
  Window* cur = Find(hwnd);
  if (cur && IsTopLevel(*cur) && show && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE &&
      cmd != SW_SHOWMINNOACTIVE) {
    Activate(hwnd);
  }
  if (cur && !show && S().active == hwnd) S().active = nullptr;
  return wasVisible;
}

bool IsWindowVisible(HWND hwnd) {
  for (Window* w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr) {
    if (!(w->style & WS_VISIBLE)) return false;
  }
  return Find(hwnd) != nullptr;
}

bool IsIconic(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->sizeState == SIZE_MINIMIZED;
}

bool IsZoomed(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->sizeState == SIZE_MAXIMIZED;
}

bool EnableWindow(HWND hwnd, bool enable) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  bool wasDisabled = !w->enabled;
  if (w->enabled != enable) {
    w->enabled = enable;
    if (enable) w->style &= ~WS_DISABLED;
    else w->style |= WS_DISABLED;
    SendMessageW(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
  }
  return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && w->enabled;
}

bool UpdateWindow(HWND hwnd) { return FindOrFail(hwnd) != nullptr; }
bool InvalidateRect(HWND hwnd, const RECT*, bool) { return hwnd == nullptr || FindOrFail(hwnd) != nullptr; }

bool GetWindowRect(HWND hwnd, RECT* out) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  *out = w->rect;
  if (w->parent) {
    POINT o = ClientOrigin(w->parent);
    out->left += o.x;
    out->right += o.x;
    out->top += o.y;
    out->bottom += o.y;
  }
  return true;
}

bool GetClientRect(HWND hwnd, RECT* out) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  auto [cx, cy] = ClientSize(*w);
  *out = {0, 0, cx, cy};
  return true;
}

bool ClientToScreen(HWND hwnd, POINT* pt) {
  if (!FindOrFail(hwnd)) return false;
  POINT o = ClientOrigin(hwnd);
  pt->x += o.x;
  pt->y += o.y;
  return true;
}

bool ScreenToClient(HWND hwnd, POINT* pt) {
  if (!FindOrFail(hwnd)) return false;
  POINT o = ClientOrigin(hwnd);
  pt->x -= o.x;
  pt->y -= o.y;
  return true;
}

bool SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  RECT old = w->rect;
  RECT r = old;
  if (!(flags & SWP_NOMOVE)) {
    r.right += x - r.left;
    r.bottom += y - r.top;
    r.left = x;
    r.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(cx, 0);
    r.bottom = r.top + std::max(cy, 0);
  }
  w->rect = r;
  // A maximised or minimised window keeps its state and the rectangle it
  // comes back to; only a normal window's placement follows the move.
  if (IsTopLevel(*w) && w->sizeState == SIZE_RESTORED) w->normalRect = r;
  bool sized = (r.right - r.left) != (old.right - old.left) || (r.bottom - r.top) != (old.bottom - old.top);
  bool moved = r.left != old.left || r.top != old.top;
  if (sized) SendSize(hwnd);
  if (moved && Find(hwnd)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(r.left), static_cast<WORD>(r.top)));
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* out) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  *out = WINDOWPLACEMENT{};
  out->length = sizeof(WINDOWPLACEMENT);
  out->showCmd = w->sizeState == SIZE_MINIMIZED   ? SW_SHOWMINIMIZED
                 : w->sizeState == SIZE_MAXIMIZED ? SW_SHOWMAXIMIZED
                                                  : SW_SHOWNORMAL;
  out->ptMinPosition = {-1, -1};
  out->ptMaxPosition = {-1, -1};
  out->rcNormalPosition = IsTopLevel(*w) ? w->normalRect : w->rect;
  return true;
}

bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp) {
  Window* w = FindOrFail(hwnd);
  if (!w) return false;
  if (!wp || wp->length != sizeof(WINDOWPLACEMENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const RECT& r = wp->rcNormalPosition;
  if (IsTopLevel(*w) && w->sizeState == SIZE_RESTORED) {
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
  } else if (IsTopLevel(*w)) {
    w->normalRect = r;
  } else {
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
  }
  if (Find(hwnd)) ShowWindow(hwnd, static_cast<int>(wp->showCmd));
  return true;
}

HWND SetFocus(HWND hwnd) {
  auto& s = S();
  if (hwnd && !FindOrFail(hwnd)) return nullptr;
  HWND old = s.focus;
  if (old == hwnd) return old;
  s.focus = hwnd;
  if (old && Find(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && Find(hwnd) && S().focus == hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() { return S().focus; }
HWND GetActiveWindow() { return S().active; }

HWND SetActiveWindow(HWND hwnd) {
  HWND old = S().active;
  if (Window* w = FindOrFail(hwnd); w && IsTopLevel(*w)) Activate(hwnd);
  return old;
}

int GetSystemMetrics(int index) {
  auto [sw, sh] = ScreenSize();
  switch (index) {
    case SM_CXSCREEN: return sw;
    case SM_CYSCREEN: return sh;
    case SM_CXFULLSCREEN: return sw;
    case SM_CYFULLSCREEN: return sh - kTaskBar - kCaption;
    default: return 0;
  }
}

// ---- properties

bool SetPropW(HWND hwnd, const wchar_t* name, HANDLE data) {
  Window* w = FindOrFail(hwnd);
  if (!w || !name) return false;
  w->props[Upper(name)] = data;
  return true;
}

HANDLE GetPropW(HWND hwnd, const wchar_t* name) {
  Window* w = Find(hwnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(Upper(name));
  return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND hwnd, const wchar_t* name) {
  Window* w = Find(hwnd);
  if (!w || !name) return nullptr;
  auto it = w->props.find(Upper(name));
  if (it == w->props.end()) return nullptr;
  HANDLE data = it->second;
  w->props.erase(it);
  return data;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
      return 1;
    }
    case WM_SETTEXT: {
      auto* text = reinterpret_cast<const wchar_t*>(lParam);
      std::wstring t = text ? text : L"";
      if (t != w->text) {
        w->text = t;
        WriteTitle(*w);
      }
      return 1;
    }
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<wchar_t*>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
      std::copy_n(w->text.begin(), n, buf);
      buf[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_QUERYENDSESSION:
      return 1;  // the session may end
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageW(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & KF_ALTDOWN_LPARAM)) {
        HWND root = GetAncestor(hwnd, GA_ROOT);
        if (root) SendMessageW(root, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
      return 0;
    case WM_MOUSEWHEEL:
      if (w->parent) return SendMessageW(w->parent, msg, wParam, lParam);
      return 0;
    default:
      return 0;
  }
}

// ---- messages

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = FindOrFail(hwnd);
  if (!w) return 0;
  WNDPROC proc = w->proc;
  return proc(hwnd, msg, wParam, lParam);
}

bool PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !FindOrFail(hwnd)) return false;
  auto& s = S();
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = ++s.time;
  s.queue.push_back(m);
  return true;
}

void SetDisplay(Display* display) { S().display = display; }
Display* GetDisplay() { return S().display; }

void PostQuitMessage(int exitCode) {
  S().quit = true;
  S().quitCode = exitCode;
}

int GetMessageW(MSG* msg, HWND, UINT, UINT) {
  while (true) {
    if (TakeQueued(msg, true)) return msg->message == WM_QUIT ? 0 : 1;
    if (Display* d = S().display) {
      // What the screen has ready comes before the script's next step.
      d->Pump();
      if (!S().queue.empty() || S().quit) continue;
    }
    if (detail::RunScriptIdle(false)) continue;
    if (Display* d = S().display; d && FindWindowExW(nullptr, nullptr, nullptr, nullptr)) {
      // The operator's session: wait for real input.
      d->RunUntil([] { return !S().queue.empty() || S().quit || !FindWindowExW(nullptr, nullptr, nullptr, nullptr); });
      continue;
    }
    // Nothing is queued, the script is done and no window is left to get
    // input: the platform would wait for ever; this ends the loop instead.
    *msg = MSG{};
    msg->message = WM_QUIT;
    return 0;
  }
}

bool PeekMessageW(MSG* msg, HWND, UINT, UINT, UINT removeFlags) {
  bool remove = (removeFlags & PM_REMOVE) != 0;
  if (TakeQueued(msg, remove)) return true;
  if (Display* d = S().display) {
    d->Pump();
    if (TakeQueued(msg, remove)) return true;
  }
  if (remove && detail::RunScriptIdle(true)) return TakeQueued(msg, remove);
  return false;
}

bool TranslateMessage(const MSG* msg) {
  if (!msg) return false;
  int vk = static_cast<int>(msg->wParam);
  if (msg->message == WM_KEYDOWN && IsCharKey(vk)) {
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    wchar_t ch = 0;
    if (vk >= 'A' && vk <= 'Z') {
      ch = ctrl ? static_cast<wchar_t>(vk - 'A' + 1) : static_cast<wchar_t>(shift ? vk : vk - 'A' + 'a');
    } else if (vk >= '0' && vk <= '9') {
      if (ctrl) return false;
      ch = static_cast<wchar_t>(vk);
    } else {
      ch = vk == VK_RETURN ? L'\r' : vk == VK_TAB ? L'\t' : vk == VK_ESCAPE ? L'\x1b' : vk == VK_BACK ? L'\b' : L' ';
    }
    PostFront(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam);
    return true;
  }
  if (msg->message == WM_SYSKEYDOWN && (msg->lParam & KF_ALTDOWN_LPARAM) && vk >= 'A' && vk <= 'Z') {
    PostFront(msg->hwnd, WM_SYSCHAR, static_cast<WPARAM>(vk - 'A' + 'a'), msg->lParam);
    return true;
  }
  return false;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int16_t GetKeyState(int virtualKey) {
  auto& keys = S().keys;
  auto it = keys.find(virtualKey);
  return it != keys.end() && it->second ? static_cast<int16_t>(0x8000) : 0;
}

// ---- cursors

HCURSOR LoadCursorW(HINSTANCE instance, const wchar_t* name) {
  if (instance != nullptr || !IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  auto id = reinterpret_cast<uintptr_t>(name);
  if (id != IDC_ARROW && id != IDC_WAIT) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(id);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = S().cursor;
  S().cursor = cursor;
  if (Display* display = GetDisplay(); display && old != cursor) display->CursorChanged();
  return old;
}

HCURSOR GetCursor() { return S().cursor; }

// ---- clipboard

void SetClipboardText(std::wstring text) {
  S().clipboard = std::move(text);
  S().hasClipboard = true;
}

bool GetClipboardText(std::wstring* out) {
  if (!S().hasClipboard) return false;
  *out = S().clipboard;
  return true;
}

void EmptyClipboard() {
  S().hasClipboard = false;
  S().clipboard.clear();
}

void ResetWindowsForTest() {
  EnsureDesktop();
  auto& s = S();
  while (HWND top = FindWindowExW(nullptr, nullptr, nullptr, nullptr)) DestroyWindow(top);
  s.queue.clear();
  s.quit = false;
  s.quitCode = 0;
  s.focus = nullptr;
  s.active = nullptr;
  s.keys.clear();
  s.cursor = nullptr;
  EmptyClipboard();
  std::erase_if(s.classes, [](const auto& kv) { return !kv.second.system; });
  detail::ResetScript();
  detail::ResetMenus();
}

}  // namespace win
