#include "platform/richedit/richedit.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ole/live.h"
#include "platform/printing/gdi.h"
#include "platform/richedit/layout.h"
#include "platform/richedit/rtf.h"
#include "platform/windows/menu.h"
#include "platform/windows/resources.h"
#include "platform/windows/text.h"

namespace win {

namespace {

constexpr int32_t kTwipsPerPixel = 15;
constexpr LONG kStreamChunk = 4096;
enum SelectionType : WORD { SEL_EMPTY = 0, SEL_TEXT = 1 };

struct Embedded {
  ole::IOleObject* object = nullptr;
  ole::IStorage* storage = nullptr;
  ole::CLSID clsid;
};

class OleInterface;

struct Control {
  HWND hwnd = nullptr;
  rtf::Text text;
  std::vector<Embedded> objects;  // in the order of their marks in the text
  LONG anchor = 0, caret = 0;
  bool modified = false;
  bool redraw = true;
  HDC target = nullptr;
  LONG lineWidth = 0;
  bool formatCached = false;
  IRichEditOleCallback* callback = nullptr;
  OleInterface* ole = nullptr;
  std::string hostApp, hostObject;
  LONG firstLine = 0;
  bool mouseDown = false;
  int contextMenus = 0;

  LONG Length() const { return static_cast<LONG>(text.chars.size()); }
  CHARRANGE Sel() const { return {std::min(anchor, caret), std::max(anchor, caret)}; }
};

Control* Data(HWND h) {
  if (GetClassNameW(h) != RICHEDIT_CLASSW) return nullptr;
  return reinterpret_cast<Control*>(GetWindowLongPtrW(h, 0));
}

bool ReadOnly(const Control& c) { return (GetWindowLongPtrW(c.hwnd, GWL_STYLE) & ES_READONLY) != 0; }

LONG MarksBefore(const Control& c, LONG cp) {
  return static_cast<LONG>(std::count(c.text.chars.begin(), c.text.chars.begin() + cp, rtf::kObjectMark));
}

void ReleaseEmbedded(Embedded& e, bool close) {
  if (close && e.object) e.object->Close(ole::OLECLOSE_NOSAVE);
  if (e.object) e.object->Release();
  if (e.storage) e.storage->Release();
  e = Embedded{};
}

// Replaces text[from, to) with `insert`, whose object marks stand for
// `inserted` in order. Objects inside the removed range are announced to the
// callback and released.
void Replace(Control& c, LONG from, LONG to, const rtf::Text& insert, std::vector<Embedded> inserted) {
  from = std::clamp<LONG>(from, 0, c.Length());
  to = std::clamp<LONG>(to, from, c.Length());
  LONG firstObj = MarksBefore(c, from);
  LONG removedObjs = MarksBefore(c, to) - firstObj;
  for (LONG i = 0; i < removedObjs; ++i) {
    Embedded& e = c.objects[static_cast<size_t>(firstObj + i)];
    if (c.callback) c.callback->DeleteObject(e.object);
    ReleaseEmbedded(e, true);
  }
  auto objAt = c.objects.begin() + firstObj;
  objAt = c.objects.erase(objAt, objAt + removedObjs);
  c.objects.insert(objAt, inserted.begin(), inserted.end());
  c.text.chars.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert.chars);
  c.text.sizes.erase(c.text.sizes.begin() + from, c.text.sizes.begin() + to);
  c.text.sizes.insert(c.text.sizes.begin() + from, insert.sizes.begin(), insert.sizes.end());
  c.anchor = c.caret = from + static_cast<LONG>(insert.chars.size());
  c.formatCached = false;
}

ole::CLSID ClassIdOf(const std::string& className) {
  // A fixed id per class name; the platform would look the name up.
  uint32_t h = 2166136261u;
  for (char ch : className) h = (h ^ static_cast<uint8_t>(ch)) * 16777619u;
  return ole::CLSID{h, 0x4F52, 0x4E00, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};
}

// Offers one object of streamed RTF to the callback; true when it was
// inserted (then *out holds it).
bool OfferObject(Control& c, const rtf::Object& o, LONG cp, Embedded* out) {
  if (!c.callback) return false;
  ole::IStorage* stg = nullptr;
  if (ole::Failed(c.callback->GetNewStorage(&stg)) || !stg) return false;
  ole::CLSID clsid = ClassIdOf(o.className);
  ole::IStream* contents = nullptr;
  bool stored = ole::Succeeded(stg->CreateStream(L"CONTENTS", ole::STGM_CREATE | ole::STGM_READWRITE |
                                                           ole::STGM_SHARE_EXCLUSIVE, 0, 0, &contents));
  if (stored) {
    if (!o.data.empty()) stored = ole::Succeeded(contents->Write(o.data.data(), static_cast<ole::ULONG>(o.data.size()), nullptr));
    contents->Release();
  }
  if (!stored || ole::Failed(stg->SetClass(clsid)) || c.callback->QueryInsertObject(&clsid, stg, cp) != ole::S_OK) {
    stg->Release();
    return false;
  }
  out->object = ole::CreateEmbeddedObject(clsid, stg);
  out->storage = stg;
  out->clsid = clsid;
  return true;
}

// Puts a read document at [from, to): objects the callback takes stay as
// marks, the others give way to their result text. Returns the characters
// inserted.
LONG Insert(Control& c, LONG from, LONG to, const rtf::Document& doc) {
  rtf::Text text;
  std::vector<Embedded> taken;
  size_t next = 0;
  for (size_t i = 0; i < doc.text.chars.size(); ++i) {
    wchar_t ch = doc.text.chars[i];
    if (ch == rtf::kObjectMark && next < doc.objects.size()) {
      const rtf::Object& o = doc.objects[next++];
      Embedded e;
      if (OfferObject(c, o, from + static_cast<LONG>(text.chars.size()), &e)) {
        text.Add(ch, doc.text.sizes[i]);
        taken.push_back(e);
      } else {
        text.chars += o.result.chars;
        text.sizes.insert(text.sizes.end(), o.result.sizes.begin(), o.result.sizes.end());
      }
      continue;
    }
    text.Add(ch, doc.text.sizes[i]);
  }
  Replace(c, from, to, text, std::move(taken));
  return static_cast<LONG>(text.chars.size());
}

rtf::Text PlainText(const std::wstring& s) {
  rtf::Text t;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\r' && i + 1 < s.size() && s[i + 1] == L'\n') continue;
    t.Add(s[i] == L'\n' ? L'\r' : s[i], rtf::kDefaultSize);
  }
  return t;
}

// ---- the OLE interface of a control

class OleInterface final : public IRichEditOle, public ole::detail::Counted<OleInterface> {
 public:
  explicit OleInterface(Control* c) : control_(c) {}
  void Detach() { control_ = nullptr; }

  ole::HRESULT QueryInterface(ole::REFIID riid, void** out) override {
    return ole::detail::QueryOne<IRichEditOle>(this, riid, IID_IRichEditOle, out);
  }
  ole::ULONG AddRef() override { return static_cast<ole::ULONG>(AddRefImpl()); }
  ole::ULONG Release() override { return static_cast<ole::ULONG>(ReleaseImpl()); }

  LONG GetObjectCount() override { return control_ ? static_cast<LONG>(control_->objects.size()) : 0; }

  ole::HRESULT GetObject(LONG index, REOBJECT* out, DWORD flags) override {
    if (!control_) return ole::CO_E_RELEASED;
    if (!out || out->cbStruct != sizeof(REOBJECT)) return ole::E_INVALIDARG;
    if (index < 0 || index >= GetObjectCount()) return ole::E_INVALIDARG;
    const Embedded& e = control_->objects[static_cast<size_t>(index)];
    LONG cp = 0, seen = -1;
    for (; cp < control_->Length(); ++cp)
      if (control_->text.chars[static_cast<size_t>(cp)] == rtf::kObjectMark && ++seen == index) break;
    out->cp = cp;
    out->clsid = e.clsid;
    out->dwFlags = 0;
    if (const ole::ObjectActivity* a = ole::ActivityOf(e.object)) {
      if (a->open) out->dwFlags |= REO_OPEN;
      if (a->inPlace) out->dwFlags |= REO_INPLACEACTIVE;
    }
    out->poleobj = nullptr;
    out->pstg = nullptr;
    if (flags & REO_GETOBJ_POLEOBJ) {
      out->poleobj = e.object;
      e.object->AddRef();
    }
    if (flags & REO_GETOBJ_PSTG) {
      out->pstg = e.storage;
      e.storage->AddRef();
    }
    return ole::S_OK;
  }

  ole::HRESULT SetHostNames(const char* app, const char* object) override {
    if (!control_) return ole::CO_E_RELEASED;
    if (!app || !object) return ole::E_INVALIDARG;
    control_->hostApp = app;
    control_->hostObject = object;
    return ole::S_OK;
  }

  ole::HRESULT InPlaceDeactivate() override {
    if (!control_) return ole::CO_E_RELEASED;
    for (auto& e : control_->objects) ole::DeactivateInPlace(e.object);
    return ole::S_OK;
  }

 private:
  Control* control_;
};

// ---- screen layout

int32_t ScreenWidth(const Control& c) {
  if (c.lineWidth > 1) return c.lineWidth;
  RECT r;
  GetClientRect(c.hwnd, &r);
  return std::max<int32_t>(r.right * kTwipsPerPixel, 1);
}

std::vector<layout::Line> ScreenLines(const Control& c) {
  auto lines = layout::Lines(c.text, 0, c.Length(), ScreenWidth(c));
  if (lines.empty()) lines.push_back({0, 0, layout::LineHeight(rtf::kDefaultSize)});
  return lines;
}

size_t LineOf(const std::vector<layout::Line>& lines, LONG cp) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (cp < lines[i].end) return i;
  return lines.size() - 1;
}

// The last position of a line the caret can take (before its break).
LONG LineLast(const Control& c, const layout::Line& l) {
  LONG end = l.end;
  if (end > l.start) {
    wchar_t ch = c.text.chars[static_cast<size_t>(end - 1)];
    if (ch == L'\r' || ch == L'\v') --end;
  }
  return end;
}

LONG CpInLine(const Control& c, const layout::Line& l, int32_t xTwips) {
  int32_t x = 0;
  LONG last = LineLast(c, l);
  for (LONG i = l.start; i < last; ++i) {
    int32_t w = c.text.chars[static_cast<size_t>(i)] == L'\t'
                    ? (x / layout::kTabStop + 1) * layout::kTabStop - x
                    : layout::CharWidth(c.text.sizes[static_cast<size_t>(i)]);
    if (xTwips < x + w / 2) return i;
    x += w;
  }
  return last;
}

LONG CpFromPoint(const Control& c, LPARAM lParam) {
  auto lines = ScreenLines(c);
  int32_t y = GET_Y_LPARAM(lParam) * kTwipsPerPixel;
  size_t i = std::min<size_t>(static_cast<size_t>(std::max<LONG>(c.firstLine, 0)), lines.size() - 1);
  while (i + 1 < lines.size() && y >= lines[i].height) {
    y -= lines[i].height;
    ++i;
  }
  return CpInLine(c, lines[i], GET_X_LPARAM(lParam) * kTwipsPerPixel);
}

void ScrollTo(Control& c, LONG line) {
  LONG count = static_cast<LONG>(ScreenLines(c).size());
  c.firstLine = std::clamp<LONG>(line, 0, count - 1);
}

LONG VisibleLines(const Control& c) {
  RECT r;
  GetClientRect(c.hwnd, &r);
  return std::max<LONG>(1, r.bottom * kTwipsPerPixel / layout::LineHeight(rtf::kDefaultSize));
}

void MoveCaret(Control& c, LONG to, bool extend) {
  c.caret = std::clamp<LONG>(to, 0, c.Length());
  if (!extend) c.anchor = c.caret;
}

bool IsWordChar(wchar_t ch) { return ch != L' ' && ch != L'\t' && ch != L'\r' && ch != L'\v'; }

// ---- clipboard and data offers

// Asks the callback whether `text` may come in; true when it may.
bool AcceptData(Control& c, const std::wstring& text, DWORD reco) {
  if (ReadOnly(c)) return false;
  if (!c.callback) return true;
  ole::IDataObject* data = ole::CreateTextDataObject(text);
  ole::CLIPFORMAT format = 0;
  ole::HRESULT hr = c.callback->QueryAcceptData(data, &format, reco, 1, nullptr);
  data->Release();
  return ole::Succeeded(hr);
}

bool TakeText(Control& c, const std::wstring& text, DWORD reco) {
  if (!AcceptData(c, text, reco)) return false;
  CHARRANGE s = c.Sel();
  Replace(c, s.cpMin, s.cpMax, PlainText(text), {});
  c.modified = true;
  return true;
}

void Copy(Control& c) {
  CHARRANGE s = c.Sel();
  if (s.cpMin == s.cpMax) return;
  if (c.callback) {
    ole::IDataObject* data = nullptr;
    if (c.callback->GetClipboardData(&s, RECO_COPY, &data) == ole::S_OK && data) {
      ole::FORMATETC f;
      f.cfFormat = ole::CF_UNICODETEXT;
      ole::STGMEDIUM m;
      if (ole::Succeeded(data->GetData(&f, &m))) {
        SetClipboardText(static_cast<const wchar_t*>(ole::GlobalLock(m.hGlobal)));
        ole::GlobalUnlock(m.hGlobal);
        ole::ReleaseStgMedium(&m);
      }
      data->Release();
      return;
    }
  }
  SetClipboardText(c.text.chars.substr(static_cast<size_t>(s.cpMin), static_cast<size_t>(s.cpMax - s.cpMin)));
}

void Edit(Control& c, LONG from, LONG to, const rtf::Text& insert) {
  if (ReadOnly(c)) return;
  Replace(c, from, to, insert, {});
  c.modified = true;
}

// ---- messages

LRESULT StreamIn(Control& c, WPARAM format, EDITSTREAM* es) {
  if (!es || !es->pfnCallback) return 0;
  std::string bytes;
  std::vector<uint8_t> buf(kStreamChunk);
  es->dwError = 0;
  while (true) {
    LONG done = 0;
    DWORD r = es->pfnCallback(es->dwCookie, buf.data(), kStreamChunk, &done);
    if (r) {
      es->dwError = r;
      break;
    }
    if (done <= 0) break;
    bytes.append(reinterpret_cast<const char*>(buf.data()), static_cast<size_t>(std::min(done, kStreamChunk)));
  }
  // RTF asked for but not given is read as plain text, as the platform does.
  rtf::Document doc = (format & SF_RTF) && rtf::LooksLikeRtf(bytes) ? rtf::ReadRtf(bytes) : rtf::ReadPlain(bytes);
  CHARRANGE s = c.Sel();
  bool selection = (format & SFF_SELECTION) != 0;
  LRESULT n = Insert(c, selection ? s.cpMin : 0, selection ? s.cpMax : c.Length(), doc);
  if (!selection) c.anchor = c.caret = 0;  // a new document starts at its beginning
  return n;
}

LRESULT FormatRange(Control& c, bool render, FORMATRANGE* fr) {
  if (!fr) {
    c.formatCached = false;
    return 0;
  }
  c.formatCached = true;
  LONG len = c.Length();
  LONG from = std::clamp<LONG>(fr->chrg.cpMin, 0, len);
  LONG to = fr->chrg.cpMax < 0 || fr->chrg.cpMax > len ? len : fr->chrg.cpMax;
  int32_t avail = fr->rc.bottom - fr->rc.top;
  int32_t top = 0;
  LONG next = from;
  if (from < to) {
    int dpiX = render && fr->hdc ? GetDeviceCaps(fr->hdc, LOGPIXELSX) : 0;
    int dpiY = render && fr->hdc ? GetDeviceCaps(fr->hdc, LOGPIXELSY) : 0;
    for (const auto& line : layout::Lines(c.text, from, to, fr->rc.right - fr->rc.left)) {
      if (top + line.height > avail) break;
      if (dpiX > 0 && dpiY > 0) {
        for (const auto& run : layout::Runs(c.text, line)) {
          std::wstring s = c.text.chars.substr(static_cast<size_t>(run.start), static_cast<size_t>(run.end - run.start));
          std::replace(s.begin(), s.end(), rtf::kObjectMark, L' ');  // objects are not drawn here
          SelectFontHeight(fr->hdc, std::max(1, run.size * 10 * dpiY / 1440));
          TextOutW(fr->hdc, (fr->rc.left + run.x) * dpiX / 1440, (fr->rc.top + top) * dpiY / 1440, s.c_str(),
                   static_cast<int>(s.size()));
        }
      }
      top += line.height;
      next = line.end;
    }
  }
  fr->rc.bottom = fr->rc.top + top;
  return next;
}

LRESULT KeyDown(Control& c, WPARAM vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  auto lines = ScreenLines(c);
  size_t li = LineOf(lines, c.caret);
  switch (vk) {
    case VK_LEFT: MoveCaret(c, c.caret - 1, shift); break;
    case VK_RIGHT: MoveCaret(c, c.caret + 1, shift); break;
    case VK_HOME: MoveCaret(c, ctrl ? 0 : lines[li].start, shift); break;
    case VK_END: MoveCaret(c, ctrl ? c.Length() : LineLast(c, lines[li]), shift); break;
    case VK_UP:
    case VK_DOWN: {
      size_t target = vk == VK_UP ? (li == 0 ? 0 : li - 1) : std::min(li + 1, lines.size() - 1);
      LONG column = c.caret - lines[li].start;
      MoveCaret(c, std::min(lines[target].start + column, LineLast(c, lines[target])), shift);
      break;
    }
    case VK_PRIOR: ScrollTo(c, c.firstLine - VisibleLines(c)); break;
    case VK_NEXT: ScrollTo(c, c.firstLine + VisibleLines(c)); break;
    case VK_DELETE: {
      CHARRANGE s = c.Sel();
      Edit(c, s.cpMin, s.cpMax > s.cpMin ? s.cpMax : s.cpMin + 1, {});
      break;
    }
    case 'A':
      if (ctrl) {
        c.anchor = 0;
        c.caret = c.Length();
      }
      break;
    case 'C':
      if (ctrl) Copy(c);
      break;
    case 'V':
      if (ctrl) SendMessageW(c.hwnd, WM_PASTE, 0, 0);
      break;
    default: break;
  }
  return 0;
}

LRESULT Char(Control& c, wchar_t ch) {
  CHARRANGE s = c.Sel();
  if (ch == L'\b') {
    Edit(c, s.cpMax > s.cpMin ? s.cpMin : s.cpMin - 1, s.cpMax, {});
  } else if (ch == L'\r' || ch == L'\t' || ch >= 0x20) {
    uint16_t size = s.cpMin > 0 ? c.text.sizes[static_cast<size_t>(s.cpMin - 1)] : rtf::kDefaultSize;
    rtf::Text t;
    t.Add(ch, size);
    Edit(c, s.cpMin, s.cpMax, t);
  }
  return 0;
}

LRESULT RichEditProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* c = new Control;
    c->hwnd = h;
    SetWindowLongPtrW(h, 0, reinterpret_cast<LONG_PTR>(c));
    return DefWindowProcW(h, msg, wParam, lParam) ? 1 : 0;
  }
  Control* c = reinterpret_cast<Control*>(GetWindowLongPtrW(h, 0));
  if (!c) return DefWindowProcW(h, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      if (c->callback) c->callback->Release();
      c->callback = nullptr;
      for (auto& e : c->objects) ReleaseEmbedded(e, true);
      c->objects.clear();
      if (c->ole) {
        c->ole->Detach();
        c->ole->Release();
        c->ole = nullptr;
      }
      return 0;
    case WM_NCDESTROY:
      delete c;
      SetWindowLongPtrW(h, 0, 0);
      return 0;
    case WM_SETTEXT: {
      auto* t = reinterpret_cast<const wchar_t*>(lParam);
      std::wstring s = t ? t : L"";
      std::string narrow(s.begin(), s.end());  // RTF is 7-bit; wider characters come as \u
      rtf::Document doc = rtf::LooksLikeRtf(narrow) ? rtf::ReadRtf(narrow) : rtf::Document{PlainText(s), {}};
      Insert(*c, 0, c->Length(), doc);
      c->anchor = c->caret = 0;
      c->modified = false;
      return 1;
    }
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<wchar_t*>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min(c->text.chars.size(), static_cast<size_t>(wParam) - 1);
      std::copy_n(c->text.chars.begin(), n, buf);
      buf[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return c->Length();
    case WM_SETREDRAW: c->redraw = wParam != 0; return 0;
    case EM_SETREADONLY: {
      LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
      SetWindowLongPtrW(h, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~static_cast<LONG_PTR>(ES_READONLY)));
      return 1;
    }
    case EM_GETMODIFY: return c->modified ? 1 : 0;
    case EM_SETMODIFY: c->modified = wParam != 0; return 0;
    case EM_SETTARGETDEVICE:
      c->target = reinterpret_cast<HDC>(wParam);
      c->lineWidth = static_cast<LONG>(lParam);
      c->formatCached = false;
      return 1;
    case EM_STREAMIN: return StreamIn(*c, wParam, reinterpret_cast<EDITSTREAM*>(lParam));
    case EM_FORMATRANGE: return FormatRange(*c, wParam != 0, reinterpret_cast<FORMATRANGE*>(lParam));
    case EM_GETTEXTRANGE: {
      auto* tr = reinterpret_cast<TEXTRANGEW*>(lParam);
      if (!tr || !tr->lpstrText) return 0;
      LONG from = std::clamp<LONG>(tr->chrg.cpMin, 0, c->Length());
      LONG to = tr->chrg.cpMax < 0 ? c->Length() : std::clamp<LONG>(tr->chrg.cpMax, from, c->Length());
      std::copy(c->text.chars.begin() + from, c->text.chars.begin() + to, tr->lpstrText);
      tr->lpstrText[to - from] = L'\0';
      return to - from;
    }
    case EM_EXGETSEL:
      if (auto* r = reinterpret_cast<CHARRANGE*>(lParam)) *r = c->Sel();
      return 0;
    case EM_EXSETSEL: {
      auto* r = reinterpret_cast<CHARRANGE*>(lParam);
      if (!r) return 0;
      LONG to = r->cpMax < 0 ? c->Length() : r->cpMax;
      c->anchor = std::clamp<LONG>(r->cpMin, 0, c->Length());
      c->caret = std::clamp<LONG>(to, 0, c->Length());
      return c->caret;
    }
    case EM_GETSEL: {
      CHARRANGE s = c->Sel();
      if (auto* p = reinterpret_cast<DWORD*>(wParam)) *p = static_cast<DWORD>(s.cpMin);
      if (auto* p = reinterpret_cast<DWORD*>(lParam)) *p = static_cast<DWORD>(s.cpMax);
      return MAKELPARAM(static_cast<WORD>(s.cpMin), static_cast<WORD>(s.cpMax));
    }
    case EM_GETLINECOUNT: return static_cast<LRESULT>(ScreenLines(*c).size());
    case EM_GETFIRSTVISIBLELINE: return c->firstLine;
    case EM_LINESCROLL: ScrollTo(*c, c->firstLine + static_cast<LONG>(lParam)); return 1;
    case WM_VSCROLL:
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollTo(*c, c->firstLine - 1); break;
        case SB_LINEDOWN: ScrollTo(*c, c->firstLine + 1); break;
        case SB_PAGEUP: ScrollTo(*c, c->firstLine - VisibleLines(*c)); break;
        case SB_PAGEDOWN: ScrollTo(*c, c->firstLine + VisibleLines(*c)); break;
        case SB_TOP: ScrollTo(*c, 0); break;
        case SB_BOTTOM: ScrollTo(*c, static_cast<LONG>(ScreenLines(*c).size())); break;
        default: break;
      }
      return 0;
    case WM_MOUSEWHEEL: {
      int delta = static_cast<int16_t>(HIWORD(wParam));
      ScrollTo(*c, c->firstLine - delta / WHEEL_DELTA * 3);
      return 0;
    }
    case EM_SETOLECALLBACK: {
      auto* cb = reinterpret_cast<IRichEditOleCallback*>(lParam);
      if (cb) cb->AddRef();
      if (c->callback) c->callback->Release();
      c->callback = cb;
      return 1;
    }
    case EM_GETOLEINTERFACE: {
      auto** out = reinterpret_cast<IRichEditOle**>(lParam);
      if (!out) return 0;
      if (!c->ole) c->ole = new OleInterface(c);
      c->ole->AddRef();
      *out = c->ole;
      return 1;
    }
    case WM_LBUTTONDOWN:
      SetFocus(h);
      MoveCaret(*c, CpFromPoint(*c, lParam), false);
      c->mouseDown = true;
      return 0;
    case WM_MOUSEMOVE:
      if (c->mouseDown && (wParam & MK_LBUTTON)) MoveCaret(*c, CpFromPoint(*c, lParam), true);
      return 0;
    case WM_LBUTTONUP:
      c->mouseDown = false;
      return 0;
    case WM_LBUTTONDBLCLK: {
      LONG cp = CpFromPoint(*c, lParam), a = cp, b = cp;
      while (a > 0 && IsWordChar(c->text.chars[static_cast<size_t>(a - 1)])) --a;
      while (b < c->Length() && IsWordChar(c->text.chars[static_cast<size_t>(b)])) ++b;
      c->anchor = a;
      c->caret = b;
      return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      SetFocus(h);
      return 0;
    case WM_RBUTTONUP:
      if (c->callback) {
        CHARRANGE s = c->Sel();
        HMENU menu = nullptr;
        ++c->contextMenus;
        if (c->callback->GetContextMenu(s.cpMin == s.cpMax ? SEL_EMPTY : SEL_TEXT, nullptr, &s, &menu) ==
                ole::S_OK &&
            menu)
          DestroyMenu(menu);  // no menu is shown headless
      }
      return 0;
    case WM_KEYDOWN: return KeyDown(*c, wParam);
    case WM_CHAR: return Char(*c, static_cast<wchar_t>(wParam));
    case WM_COPY: Copy(*c); return 0;
    case WM_PASTE: {
      std::wstring text;
      if (GetClipboardText(&text)) TakeText(*c, text, RECO_PASTE);
      return 0;
    }
    default: return DefWindowProcW(h, msg, wParam, lParam);
  }
}

void Attach(HMODULE) {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = RichEditProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.lpszClassName = RICHEDIT_CLASSW;
  RegisterClassExW(&wc);
}

}  // namespace

void RegisterRichEditLibrary() { RegisterLibrary(kRichEditLibrary, Attach); }

bool DropTextForTest(HWND control, const std::wstring& text) {
  Control* c = Data(control);
  if (!c) return false;
  if (c->callback) {
    DWORD effect = 1;  // DROPEFFECT_COPY
    c->callback->GetDragDropEffect(0, 0, &effect);
  }
  return TakeText(*c, text, RECO_DROP);
}

bool InspectRichEdit(HWND control, RichEditInspection* out) {
  Control* c = Data(control);
  if (!c || !out) return false;
  out->redraw = c->redraw;
  out->targetDevice = c->target;
  out->lineWidth = c->lineWidth;
  out->formatCached = c->formatCached;
  out->hostApp = c->hostApp;
  out->hostObject = c->hostObject;
  out->callback = c->callback;
  out->contextMenuRequests = c->contextMenus;
  return true;
}

}  // namespace win
