#include "platform/richedit/richedit.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <string>
#include <vector>

#include "platform/ole/live.h"
#include "platform/printing/gdi.h"
#include "platform/richedit/document.h"
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
  rich::Document doc;
  rich::Layout layout{&doc};
  std::vector<Embedded> objects;  // one per mark of doc, in order; pictures hold none
  // The document's lines at the screen's width, from its start: laid out as
  // far as they were needed (or laid out in the background) so far.
  std::vector<rich::PlacedLine> screenLines;
  int32_t screenWidth = -1;
  LONG screenNext = 0;      // the first character of the lines still to lay out
  bool screenDone = false;  // every line is known
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
  LONG scrollX = 0;  // pixels of the lines scrolled off at the left
  bool mouseDown = false;
  int contextMenus = 0;

  LONG Length() const { return doc.Length(); }
  wchar_t At(LONG cp) const { return static_cast<wchar_t>(doc.chars[static_cast<size_t>(cp)]); }
  void Changed() {
    layout.Invalidate();
    screenWidth = -1;
    formatCached = false;
  }
  CHARRANGE Sel() const { return {std::min(anchor, caret), std::max(anchor, caret)}; }
};

Control* Data(HWND h) {
  if (GetClassNameW(h) != RICHEDIT_CLASSW) return nullptr;
  return reinterpret_cast<Control*>(GetWindowLongPtrW(h, 0));
}

bool ReadOnly(const Control& c) { return (GetWindowLongPtrW(c.hwnd, GWL_STYLE) & ES_READONLY) != 0; }

void ReleaseEmbedded(Embedded& e, bool close) {
  if (close && e.object) e.object->Close(ole::OLECLOSE_NOSAVE);
  if (e.object) e.object->Release();
  if (e.storage) e.storage->Release();
  e = Embedded{};
}

// Replaces [from, to) with `insert`, whose marks stand for `inserted` in
// order. Objects inside the removed range are announced to the callback and
// released.
void Replace(Control& c, LONG from, LONG to, rich::Document insert, std::vector<Embedded> inserted) {
  from = std::clamp<LONG>(from, 0, c.Length());
  to = std::clamp<LONG>(to, from, c.Length());
  size_t firstObj = c.doc.MarksBefore(from);
  size_t removedObjs = c.doc.MarksBefore(to) - firstObj;
  for (size_t i = 0; i < removedObjs; ++i) {
    Embedded& e = c.objects[firstObj + i];
    if (e.object && c.callback) c.callback->DeleteObject(e.object);
    ReleaseEmbedded(e, true);
  }
  auto objAt = c.objects.begin() + static_cast<ptrdiff_t>(firstObj);
  objAt = c.objects.erase(objAt, objAt + static_cast<ptrdiff_t>(removedObjs));
  inserted.resize(insert.marks.size());
  c.objects.insert(objAt, inserted.begin(), inserted.end());
  LONG length = insert.Length();
  // A whole new document is moved in, not copied: a large one is held once.
  if (from == 0 && to == c.Length()) c.doc = std::move(insert);
  else c.doc.Replace(from, to, insert);
  c.anchor = c.caret = from + length;
  c.Changed();
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
LONG Insert(Control& c, LONG from, LONG to, rtf::Parsed parsed) {
  rich::Document& doc = parsed.doc;
  std::vector<rich::Mark> original = doc.marks;
  std::vector<Embedded> taken(parsed.objects.size());
  int32_t shift = 0;
  for (const rich::Mark& m : original) {
    if (m.object < 0 || static_cast<size_t>(m.object) >= parsed.objects.size()) continue;
    const rtf::Object& o = parsed.objects[static_cast<size_t>(m.object)];
    int32_t cp = m.cp + shift;
    if (OfferObject(c, o, from + cp, &taken[static_cast<size_t>(m.object)])) continue;
    doc.Replace(cp, cp + 1, o.result);
    shift += o.result.Length() - 1;
  }
  std::vector<Embedded> inserted;
  inserted.reserve(doc.marks.size());
  for (const rich::Mark& m : doc.marks)
    inserted.push_back(m.object >= 0 && static_cast<size_t>(m.object) < taken.size() ? taken[static_cast<size_t>(m.object)]
                                                                                     : Embedded{});
  for (rich::Mark& m : doc.marks) m.object = -1;
  LONG length = doc.Length();
  Replace(c, from, to, std::move(doc), std::move(inserted));
  return length;
}

// Text typed, pasted or set as plain text: CR LF and LF become paragraph
// ends; it takes the formats around it.
rich::Document PlainText(const std::wstring& s) {
  rich::Document d;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\r' && i + 1 < s.size() && s[i + 1] == L'\n') continue;
    d.chars.push_back(s[i] == L'\n' ? rich::kParagraphEnd : static_cast<char32_t>(s[i]));
    if (s[i] == static_cast<wchar_t>(rich::kObjectMark)) d.marks.push_back({static_cast<int32_t>(d.chars.size() - 1), nullptr, -1});
  }
  return d;
}

// ---- the OLE interface of a control

// The mark of the index-th embedded object (pictures are no objects).
size_t MarkOfObject(const Control& c, LONG index) {
  LONG seen = -1;
  for (size_t i = 0; i < c.objects.size(); ++i)
    if (c.objects[i].object && ++seen == index) return i;
  return c.objects.size();
}

class OleInterface final : public IRichEditOle, public ole::detail::Counted<OleInterface> {
 public:
  explicit OleInterface(Control* c) : control_(c) {}
  void Detach() { control_ = nullptr; }

  ole::HRESULT QueryInterface(ole::REFIID riid, void** out) override {
    return ole::detail::QueryOne<IRichEditOle>(this, riid, IID_IRichEditOle, out);
  }
  ole::ULONG AddRef() override { return static_cast<ole::ULONG>(AddRefImpl()); }
  ole::ULONG Release() override { return static_cast<ole::ULONG>(ReleaseImpl()); }

  LONG GetObjectCount() override {
    if (!control_) return 0;
    return static_cast<LONG>(std::count_if(control_->objects.begin(), control_->objects.end(),
                                           [](const Embedded& e) { return e.object != nullptr; }));
  }

  ole::HRESULT GetObject(LONG index, REOBJECT* out, DWORD flags) override {
    if (!control_) return ole::CO_E_RELEASED;
    if (!out || out->cbStruct != sizeof(REOBJECT)) return ole::E_INVALIDARG;
    if (index < 0 || index >= GetObjectCount()) return ole::E_INVALIDARG;
    size_t at = MarkOfObject(*control_, index);
    const Embedded& e = control_->objects[at];
    out->cp = control_->doc.marks[at].cp;
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
    for (auto& e : control_->objects)
      if (e.object) ole::DeactivateInPlace(e.object);
    return ole::S_OK;
  }

 private:
  Control* control_;
};

// ---- screen layout

// The formatting rectangle: the client area less the margins the text keeps
// from its edges (none at the bottom).
constexpr LONG kMarginX = 3, kMarginTop = 2;
RECT FormatRect(const Control& c) {
  RECT r;
  GetClientRect(c.hwnd, &r);
  return RECT{kMarginX, kMarginTop, std::max(kMarginX, r.right - kMarginX), std::max(kMarginTop, r.bottom)};
}

int32_t ScreenWidth(const Control& c) {
  if (c.lineWidth > 1) return c.lineWidth;
  const RECT r = FormatRect(c);
  return std::max<int32_t>((r.right - r.left) * kTwipsPerPixel, 1);
}

constexpr int32_t kEmptyLineHeight = 240;

// The screen's lines are laid out a piece at a time, each piece about this
// many twips high (some screens' worth), so that showing the start of a long
// document does not wait for its end.
constexpr int32_t kScreenPieceTwips = 1440 * 40;

// Lays out the next piece of the screen's lines. A piece begins again at the
// start of the last line known: that line is placed by both pieces, and its
// two tops give the offset of the new piece, whatever spacing lies between
// paragraphs there. False when every line is known.
bool LayOutScreenPiece(Control& c) {
  const int32_t width = ScreenWidth(c);
  if (c.screenWidth != width) {
    c.screenLines.clear();
    c.screenNext = 0;
    c.screenDone = false;
    c.screenWidth = width;
  }
  if (c.screenDone) return false;
  rich::FillRequest req;
  req.width = width;
  req.page = false;
  req.first = c.screenLines.empty() ? 0 : c.screenLines.back().start;
  // A line taller than the piece: a higher piece, until it gets past it.
  for (int32_t height = kScreenPieceTwips;; height *= 2) {
    req.height = height;
    rich::FillResult r = c.layout.Fill(req, nullptr);
    const bool more = r.next < c.Length();
    if (more && r.lines.size() < 2 && r.next <= c.screenNext && height < (1 << 29)) continue;
    int32_t offset = 0;
    if (!c.screenLines.empty() && !r.lines.empty()) {
      offset = c.screenLines.back().top - r.lines.front().top;
      c.screenLines.pop_back();
    }
    for (rich::PlacedLine& l : r.lines) {
      l.top += offset;
      c.screenLines.push_back(l);
    }
    c.screenNext = r.next;
    c.screenDone = !more || r.lines.empty();
    break;
  }
  if (c.screenDone && c.screenLines.empty()) c.screenLines.push_back({0, c.Length(), 0, kEmptyLineHeight});
  return !c.screenDone;
}

// The screen's lines, laid out at least until line `line` is known and the
// character `cp` is placed (or to the end of the document).
const std::vector<rich::PlacedLine>& ScreenLinesTo(Control& c, size_t line, LONG cp = -1) {
  if (c.screenWidth != ScreenWidth(c)) LayOutScreenPiece(c);
  while (!c.screenDone && (c.screenLines.size() <= line || c.screenNext <= cp)) LayOutScreenPiece(c);
  return c.screenLines;
}

// Every line of the document at the screen's width.
const std::vector<rich::PlacedLine>& ScreenLines(Control& c) { return ScreenLinesTo(c, SIZE_MAX); }

size_t LineOf(const std::vector<rich::PlacedLine>& lines, LONG cp) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (cp < lines[i].end) return i;
  return lines.size() - 1;
}

// The last position of a line the caret can take (before its break).
LONG LineLast(const Control& c, const rich::PlacedLine& l) {
  LONG end = l.end;
  if (end > l.start) {
    wchar_t ch = c.At(end - 1);
    if (ch == L'\r' || ch == L'\v' || ch == L'\a' || ch == L'\f') --end;
  }
  return end;
}

LONG CpFromPoint(Control& c, LPARAM lParam) {
  const RECT format = FormatRect(c);
  int32_t y = (GET_Y_LPARAM(lParam) - format.top) * kTwipsPerPixel;
  const auto first = static_cast<size_t>(std::max<LONG>(c.firstLine, 0));
  const auto& lines = ScreenLinesTo(c, first + 1);
  size_t i = std::min<size_t>(first, lines.size() - 1);
  while (y >= lines[i].height) {
    if (i + 1 >= lines.size()) {
      if (!LayOutScreenPiece(c) && i + 1 >= lines.size()) break;
      continue;
    }
    y -= lines[i].height;
    ++i;
  }
  return c.layout.CharAtX(lines[i], c.screenWidth, (GET_X_LPARAM(lParam) - format.left + c.scrollX) * kTwipsPerPixel);
}

void ScrollTo(Control& c, LONG line) {
  LONG count = static_cast<LONG>(ScreenLinesTo(c, static_cast<size_t>(std::max<LONG>(line, 0))).size());
  c.firstLine = std::clamp<LONG>(line, 0, count - 1);
}

// The lines scroll to the left until their end stands at the formatting
// rectangle's right edge.
void ScrollXTo(Control& c, LONG x) {
  const RECT r = FormatRect(c);
  c.scrollX = std::clamp<LONG>(x, 0, std::max<LONG>(0, ScreenWidth(c) / kTwipsPerPixel - (r.right - r.left)));
}

LONG VisibleLines(Control& c) {
  RECT r;
  GetClientRect(c.hwnd, &r);
  int32_t lineHeight = std::max<int32_t>(ScreenLinesTo(c, 0).front().height, 1);
  return std::max<LONG>(1, r.bottom * kTwipsPerPixel / lineHeight);
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
  SetClipboardText(c.doc.chars.Wide(static_cast<size_t>(s.cpMin), static_cast<size_t>(s.cpMax)));
}

void Edit(Control& c, LONG from, LONG to, const rich::Document& insert) {
  if (ReadOnly(c)) return;
  Replace(c, from, to, insert, {});
  c.modified = true;
}

// ---- messages

LRESULT StreamIn(Control& c, WPARAM format, EDITSTREAM* es) {
  if (!es || !es->pfnCallback) return 0;
  es->dwError = 0;
  try {
    rtf::Bytes bytes;
    std::vector<uint8_t> buf(kStreamChunk);
    while (true) {
      LONG done = 0;
      DWORD r = es->pfnCallback(es->dwCookie, buf.data(), kStreamChunk, &done);
      if (r) {
        es->dwError = r;
        break;
      }
      if (done <= 0) break;
      bytes.Append(buf.data(), static_cast<size_t>(std::min(done, kStreamChunk)));
    }
    // RTF asked for but not given is read as plain text, as the platform does.
    rtf::Parsed parsed;
    if ((format & SF_RTF) && rtf::LooksLikeRtf(bytes.Prefix(5))) {
      parsed = rtf::ReadRtf(bytes);
    } else {
      parsed.doc = rtf::ReadPlain(bytes);
    }
    bytes = rtf::Bytes();
    CHARRANGE s = c.Sel();
    bool selection = (format & SFF_SELECTION) != 0;
    LRESULT n = Insert(c, selection ? s.cpMin : 0, selection ? s.cpMax : c.Length(), std::move(parsed));
    if (!selection) c.anchor = c.caret = 0;  // a new document starts at its beginning
    return n;
  } catch (const std::bad_alloc&) {
    // Too large for the memory there is: nothing of it is taken.
    es->dwError = ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
}

// Lays out and (with a cairo context) draws from paint.first: the one path
// of the control's document to a device. The column's origin is at
// (originX, originY) device units; width and height are twips.
rich::FillResult Paint(Control& c, const RichEditPaint& p, double originX, double originY, int32_t width,
                       int32_t height, int32_t wrap, bool takeOversized) {
  rich::FillRequest req;
  req.first = p.first;
  req.last = p.last;
  req.width = wrap;
  req.height = height;
  req.page = !p.screen;
  req.scroll = p.scroll;
  req.takeOversized = takeOversized;
  cairo_t* cr = p.cr;
  if (cr && p.dpiX > 0 && p.dpiY > 0) {
    cairo_save(cr);
    cairo_translate(cr, originX, originY);
    cairo_scale(cr, p.dpiX / 1440.0, p.dpiY / 1440.0);
    // A line higher than the page, or the screen's partly visible ones, stay
    // inside the column.
    cairo_rectangle(cr, -1440, 0, width + 2880, height);
    cairo_clip(cr);
    rich::FillResult r = c.layout.Fill(req, cr);
    cairo_restore(cr);
    return r;
  }
  return c.layout.Fill(req, nullptr);
}

LRESULT FormatRange(Control& c, bool render, FORMATRANGE* fr) {
  if (!fr) {
    c.layout.Release();
    c.formatCached = false;
    return 0;
  }
  c.formatCached = true;
  RichEditPaint p;
  p.first = fr->chrg.cpMin;
  p.last = fr->chrg.cpMax;
  double originX = 0, originY = 0;
  if (render && fr->hdc) {
    p.cr = PageCairoContext(fr->hdc);
    p.dpiX = GetDeviceCaps(fr->hdc, LOGPIXELSX);
    p.dpiY = GetDeviceCaps(fr->hdc, LOGPIXELSY);
    originX = fr->rc.left * p.dpiX / 1440.0;
    originY = fr->rc.top * p.dpiY / 1440.0;
  }
  int32_t width = fr->rc.right - fr->rc.left;
  int32_t height = std::max(fr->rc.bottom - fr->rc.top, 0);
  bool wholePage = height >= fr->rcPage.bottom - fr->rcPage.top;
  rich::FillResult r = Paint(c, p, originX, originY, width, height, width, wholePage);
  fr->rc.bottom = fr->rc.top + r.bottom;
  return r.next;
}

LRESULT KeyDown(Control& c, WPARAM vk) {
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  // The caret's line and the one below it, for the arrows.
  ScreenLinesTo(c, 0, c.caret);
  ScreenLinesTo(c, LineOf(c.screenLines, c.caret) + 1);
  const auto& lines = c.screenLines;
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
    Edit(c, s.cpMin, s.cpMax, PlainText(std::wstring(1, ch)));
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
      rtf::Parsed parsed;
      std::string narrow(s.begin(), s.end());  // RTF is 7-bit; wider characters come as \u
      if (rtf::LooksLikeRtf(narrow)) parsed = rtf::ReadRtf(narrow);
      else parsed.doc = PlainText(s);
      Insert(*c, 0, c->Length(), std::move(parsed));
      c->anchor = c->caret = 0;
      c->modified = false;
      return 1;
    }
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<wchar_t*>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min(c->doc.chars.size(), static_cast<size_t>(wParam) - 1);
      for (size_t i = 0; i < n; ++i) buf[i] = c->At(static_cast<LONG>(i));
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
      c->layout.Release();
      return 1;
    case EM_STREAMIN: return StreamIn(*c, wParam, reinterpret_cast<EDITSTREAM*>(lParam));
    case EM_FORMATRANGE: return FormatRange(*c, wParam != 0, reinterpret_cast<FORMATRANGE*>(lParam));
    case EM_GETTEXTRANGE: {
      auto* tr = reinterpret_cast<TEXTRANGEW*>(lParam);
      if (!tr || !tr->lpstrText) return 0;
      LONG from = std::clamp<LONG>(tr->chrg.cpMin, 0, c->Length());
      LONG to = tr->chrg.cpMax < 0 ? c->Length() : std::clamp<LONG>(tr->chrg.cpMax, from, c->Length());
      for (LONG i = from; i < to; ++i) tr->lpstrText[i - from] = c->At(i);
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
    case EM_LINEINDEX: {
      // -1: the line of the caret.
      const bool caret = static_cast<intptr_t>(wParam) < 0;
      const auto& lines = caret ? ScreenLinesTo(*c, 0, c->caret) : ScreenLinesTo(*c, static_cast<size_t>(wParam));
      auto line = caret ? LineOf(lines, c->caret) : static_cast<size_t>(wParam);
      return line < lines.size() ? lines[line].start : -1;
    }
    case EM_LINEFROMCHAR: {
      LONG cp = static_cast<intptr_t>(wParam) < 0 ? c->Sel().cpMin : static_cast<LONG>(wParam);
      return static_cast<LRESULT>(LineOf(ScreenLinesTo(*c, 0, cp), cp));
    }
    case EM_LINESCROLL: ScrollTo(*c, c->firstLine + static_cast<LONG>(lParam)); return 1;
    case WM_VSCROLL:
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollTo(*c, c->firstLine - 1); break;
        case SB_LINEDOWN: ScrollTo(*c, c->firstLine + 1); break;
        case SB_PAGEUP: ScrollTo(*c, c->firstLine - VisibleLines(*c)); break;
        case SB_PAGEDOWN: ScrollTo(*c, c->firstLine + VisibleLines(*c)); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: ScrollTo(*c, HIWORD(wParam)); break;
        case SB_TOP: ScrollTo(*c, 0); break;
        case SB_BOTTOM: ScrollTo(*c, static_cast<LONG>(ScreenLines(*c).size())); break;
        default: break;
      }
      return 0;
    case WM_HSCROLL: {
      RECT r;
      GetClientRect(h, &r);
      constexpr LONG kStep = 16;
      switch (LOWORD(wParam)) {
        case SB_LINELEFT: ScrollXTo(*c, c->scrollX - kStep); break;
        case SB_LINERIGHT: ScrollXTo(*c, c->scrollX + kStep); break;
        case SB_PAGELEFT: ScrollXTo(*c, c->scrollX - r.right); break;
        case SB_PAGERIGHT: ScrollXTo(*c, c->scrollX + r.right); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: ScrollXTo(*c, HIWORD(wParam)); break;
        case SB_LEFT: ScrollXTo(*c, 0); break;
        case SB_RIGHT: ScrollXTo(*c, ScreenWidth(*c) / kTwipsPerPixel); break;
        default: break;
      }
      return 0;
    }
    case WM_SIZE:
      ScrollXTo(*c, c->scrollX);  // a wider window needs less of it
      return DefWindowProcW(h, msg, wParam, lParam);
    case EM_GETRECT:
      if (auto* r = reinterpret_cast<RECT*>(lParam)) *r = FormatRect(*c);
      return 0;
    case EM_GETSCROLLPOS: {
      auto* at = reinterpret_cast<POINT*>(lParam);
      if (!at) return 0;
      const auto& lines = ScreenLinesTo(*c, static_cast<size_t>(std::max<LONG>(c->firstLine, 0)));
      at->x = c->scrollX;
      at->y = lines[static_cast<size_t>(std::clamp<LONG>(c->firstLine, 0, static_cast<LONG>(lines.size()) - 1))].top /
              kTwipsPerPixel;
      return 1;
    }
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
      while (a > 0 && IsWordChar(c->At(a - 1))) --a;
      while (b < c->Length() && IsWordChar(c->At(b))) ++b;
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
  out->documentBytes = c->doc.MemoryBytes();
  return true;
}

LONG RichEditScreenLines(HWND control, bool* complete) {
  Control* c = Data(control);
  if (complete) *complete = true;
  if (!c) return 0;
  const auto& lines = ScreenLinesTo(*c, 0);
  if (complete) *complete = c->screenDone;
  const auto known = static_cast<LONG>(lines.size());
  if (c->screenDone || c->screenNext <= 0) return known;
  // The rest at the density of the lines known so far.
  const double estimate = static_cast<double>(known) * c->Length() / c->screenNext;
  return std::max<LONG>(known + 1, static_cast<LONG>(std::min(estimate, 2.0e9)));
}

bool RichEditLayOutMore(HWND control, int milliseconds) {
  Control* c = Data(control);
  if (!c) return false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  bool more = true;
  do more = LayOutScreenPiece(*c);
  while (more && std::chrono::steady_clock::now() < until);
  return more;
}

bool PaintRichEdit(HWND control, const RichEditPaint& p, RichEditPainted* out) {
  Control* c = Data(control);
  if (!c || p.dpiX <= 0 || p.dpiY <= 0) return false;
  int32_t width = static_cast<int32_t>((p.area.right - p.area.left) * 1440.0 / p.dpiX);
  int32_t height = static_cast<int32_t>((p.area.bottom - p.area.top) * 1440.0 / p.dpiY);
  int32_t wrap = p.lineWidth > 0 ? p.lineWidth : p.lineWidth == kControlLineWidth ? ScreenWidth(*c) : width;
  rich::FillResult r = Paint(*c, p, p.area.left, p.area.top, width, std::max(height, 0), wrap, false);
  if (out) {
    out->next = r.next;
    out->bottom = r.bottom;
    out->width = wrap;
  }
  return true;
}

}  // namespace win
