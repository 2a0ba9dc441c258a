#pragma once
// The rich edit control, window class "RichEdit20W" of the library
// "RichEd20.dll": LoadLibraryW(L"RichEd20.dll") registers the class.
//
// The control keeps a rich-text document (document.h: characters with
// character and paragraph formats, tables, pictures) read from RTF or plain
// text (rtf.h), lays it out with Pango (layout.h) and draws it with cairo:
// EM_FORMATRANGE onto a printer's page, PaintRichEdit onto any cairo
// context. Positions count characters (code points). In the text, as
// WM_GETTEXT and EM_GETTEXTRANGE give it: "\r" ends a paragraph or a table
// row, "\v" is a line break, U+0007 ends a table cell, "\f" is a page break,
// and a picture or embedded object is one U+FFFC.
//
// EM_FORMATRANGE fills the rectangle from chrg.cpMin with whole lines and
// returns the first character that did not fit (a table row is not split;
// a page break ends the page; a line higher than the whole page is printed
// clipped, so that printing moves on); rc.bottom becomes the bottom of the
// last line. It lays out only what the page needs, so printing a document
// costs time in proportion to its pages. wParam 0 measures without
// drawing; lParam 0 releases what was kept laid out. The lines wrap at the
// rectangle's width.
//
// A stream that does not fit in memory loads nothing: EM_STREAMIN returns
// 0 with dwError ERROR_NOT_ENOUGH_MEMORY.
//
// Embedded objects of streamed RTF are offered to the OLE callback: the
// control asks it for storage (GetNewStorage), writes the object's data
// into the stream "CONTENTS" of that storage and asks QueryInsertObject;
// an object that is not taken (no callback, a failure, a refusal) is
// replaced by its result text. Pasted text (WM_PASTE) and dropped text
// (DropTextForTest) are first offered to QueryAcceptData, whose failure
// refuses them; a read-only control takes neither.
//
// Input: a left click puts the caret at the character under it (a double
// click selects the word, a move with the button down extends the
// selection); keys move the caret (arrows, Home/End, with Ctrl the whole
// text, with Shift selecting), Ctrl+A selects all, Ctrl+C copies, Ctrl+V
// pastes; typing, Backspace and Delete edit unless read-only. WM_VSCROLL,
// EM_LINESCROLL, PageUp/PageDown and the wheel (three lines a notch) scroll
// by whole lines of the screen's layout, whose first shown line
// EM_GETFIRSTVISIBLELINE gives; EM_LINEINDEX gives a line's first character
// and EM_LINEFROMCHAR the line of a character. WM_HSCROLL scrolls the lines
// to the left by pixels, until their end stands at the window's right edge;
// EM_GETSCROLLPOS gives the pixels scrolled off at the left and above. The
// text keeps margins from the client area's edges (3 pixels at the sides, 2
// at the top): EM_GETRECT gives the rectangle inside them, where the lines
// stand, and mouse positions count from it. On the screen a twip is 1/15
// pixel.
// A right click asks the callback for a context menu (GetContextMenu); none
// is shown.

#include <cairo.h>

#include <string>

#include "platform/ole/com.h"
#include "platform/ole/oleobject.h"
#include "platform/ole/storage.h"
#include "platform/windows/window.h"

namespace win {

inline constexpr const wchar_t* RICHEDIT_CLASSW = L"RichEdit20W";
inline constexpr const wchar_t* kRichEditLibrary = L"RichEd20.dll";
// Makes "RichEd20.dll" loadable (linking the object library
// orn_richedit_dll does it before main).
void RegisterRichEditLibrary();

inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_NOHIDESEL = 0x0100;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_SAVESEL = 0x00008000;
inline constexpr DWORD ES_SUNKEN = 0x00004000;
inline constexpr DWORD ES_SELECTIONBAR = 0x01000000;

enum EditMessage : UINT {
  EM_GETSEL = 0x00B0,
  EM_GETRECT = 0x00B2,
  EM_LINESCROLL = 0x00B6,
  EM_GETMODIFY = 0x00B8,
  EM_SETMODIFY = 0x00B9,
  EM_GETLINECOUNT = 0x00BA,
  EM_LINEINDEX = 0x00BB,
  EM_LINEFROMCHAR = 0x00C9,
  EM_GETFIRSTVISIBLELINE = 0x00CE,
  EM_SETREADONLY = 0x00CF,
  EM_EXGETSEL = WM_USER + 52,
  EM_EXSETSEL = WM_USER + 55,
  EM_FORMATRANGE = WM_USER + 57,
  EM_GETOLEINTERFACE = WM_USER + 60,
  EM_SETOLECALLBACK = WM_USER + 70,
  EM_SETTARGETDEVICE = WM_USER + 72,
  EM_STREAMIN = WM_USER + 73,
  EM_GETTEXTRANGE = WM_USER + 75,
  EM_GETSCROLLPOS = WM_USER + 221,
};

// The low word of WM_VSCROLL and WM_HSCROLL; with SB_THUMBPOSITION and
// SB_THUMBTRACK the high word is the line to show first (WM_VSCROLL) or the
// pixels to scroll off at the left (WM_HSCROLL).
enum ScrollCode : WPARAM {
  SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
  SB_TOP = 6, SB_BOTTOM = 7,
  SB_LINELEFT = 0, SB_LINERIGHT = 1, SB_PAGELEFT = 2, SB_PAGERIGHT = 3, SB_LEFT = 6, SB_RIGHT = 7,
};

struct CHARRANGE {
  LONG cpMin = 0;
  LONG cpMax = 0;  // -1: to the end
};

struct TEXTRANGEW {
  CHARRANGE chrg;
  wchar_t* lpstrText = nullptr;  // room for the range and a NUL
};

// Rectangles in twips, relative to the device context's printable origin.
struct FORMATRANGE {
  HDC hdc = nullptr;        // drawn on
  HDC hdcTarget = nullptr;  // measured for
  RECT rc;                  // the area to fill; on return its bottom is the last line's
  RECT rcPage;              // the whole page
  CHARRANGE chrg;
};

inline constexpr WPARAM SF_TEXT = 0x0001;
inline constexpr WPARAM SF_RTF = 0x0002;
inline constexpr WPARAM SFF_SELECTION = 0x8000;
using EDITSTREAMCALLBACK = DWORD (*)(uintptr_t cookie, uint8_t* buffer, LONG bytes, LONG* done);
struct EDITSTREAM {
  uintptr_t dwCookie = 0;
  DWORD dwError = 0;  // the callback's non-zero answer, when it gave one
  EDITSTREAMCALLBACK pfnCallback = nullptr;
};

// ---- drawing: one layout for the page and the screen
//
// PaintRichEdit is the one way the control's document reaches a device:
// EM_FORMATRANGE uses it for printer pages, and a screen view paints its
// window with it, so both show the same lines. The lines wrap at
// `lineWidth` (the target device's line width on a screen, the page's width
// on a page); everything else is in the device units of `cr`, whose
// resolution `dpiX` and `dpiY` give.
struct RichEditPaint {
  cairo_t* cr = nullptr;        // null: measure only
  double dpiX = 96, dpiY = 96;  // device units an inch
  RECT area;                    // device units on cr: the column's top-left corner and the clip
  // Twips; 0: the area's width; kControlLineWidth: the width the control
  // wraps its own screen lines at (its target device's line width, else
  // its window's width), so that the lines are the ones EM_LINEINDEX counts.
  LONG lineWidth = 0;
  LONG first = 0, last = -1;    // characters; last -1: to the end
  // Screen: twips of the layout from `first` that are scrolled off above
  // area.top; lines partly in the area are drawn clipped and page breaks are
  // no pages. Page (screen false): whole lines only, up to a page break.
  LONG scroll = 0;
  bool screen = false;
};
inline constexpr LONG kControlLineWidth = -1;
struct RichEditPainted {
  LONG next = 0;    // the first character not placed
  LONG bottom = 0;  // twips from the top of the first line to the bottom of the last
  LONG width = 0;   // twips the lines wrapped at
};
// False when `control` is not a rich edit control.
bool PaintRichEdit(HWND control, const RichEditPaint& paint, RichEditPainted* out);

// The control lays its lines out at the screen's width only as far as it
// needs them (the lines shown, the line asked for; EM_GETLINECOUNT and
// scrolling to the end lay out everything), so a long document shows its
// start at once. A screen view asks for the count below for its scroll bar
// and lays out the rest in slices while the operator reads.
//
// The number of lines: exact when `complete` comes back true, else an
// estimate from the lines laid out so far (at least one more than those).
// 0 when `control` is not a rich edit control.
LONG RichEditScreenLines(HWND control, bool* complete);
// Lays out further lines for about `milliseconds`; false once every line is
// laid out (or `control` is not a rich edit control).
bool RichEditLayOutMore(HWND control, int milliseconds);

// ---- OLE side

enum RecoKind : DWORD { RECO_PASTE = 0, RECO_DROP = 1, RECO_COPY = 2, RECO_CUT = 3, RECO_DRAG = 4 };
inline constexpr DWORD REO_INPLACEACTIVE = 0x02000000;
inline constexpr DWORD REO_OPEN = 0x04000000;
inline constexpr DWORD REO_SELECTED = 0x08000000;
inline constexpr DWORD REO_GETOBJ_NO_INTERFACES = 0;
inline constexpr DWORD REO_GETOBJ_POLEOBJ = 1;
inline constexpr DWORD REO_GETOBJ_PSTG = 2;

// Layout of the Linux ABI (56 bytes in the platform's 32-bit layout):
// cbStruct must be sizeof(REOBJECT).
struct REOBJECT {
  DWORD cbStruct = sizeof(REOBJECT);
  LONG cp = 0;
  ole::CLSID clsid;
  ole::IOleObject* poleobj = nullptr;
  ole::IStorage* pstg = nullptr;
  ole::IOleClientSite* polesite = nullptr;
  LONG sizelX = 0, sizelY = 0;
  DWORD dvaspect = ole::DVASPECT_CONTENT;
  DWORD dwFlags = 0;
  DWORD dwUser = 0;
};

inline constexpr ole::IID IID_IRichEditOle{0x00020D00, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr ole::IID IID_IRichEditOleCallback{0x00020D03, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Subset of the platform's IRichEditOle, in slot order. After the control
// is destroyed it has no objects and GetObject fails with CO_E_RELEASED.
class IRichEditOle : public ole::IUnknown {
 public:
  virtual LONG GetObjectCount() = 0;
  // REO_GETOBJ_POLEOBJ in `flags` hands out the object with a reference.
  virtual ole::HRESULT GetObject(LONG index, REOBJECT* out, DWORD flags) = 0;
  virtual ole::HRESULT SetHostNames(const char* containerApp, const char* containerObject) = 0;
  // Ends the in-place activity of every object.
  virtual ole::HRESULT InPlaceDeactivate() = 0;

 protected:
  ~IRichEditOle() = default;
};

class IRichEditOleCallback : public ole::IUnknown {
 public:
  virtual ole::HRESULT GetNewStorage(ole::IStorage** storage) = 0;
  virtual ole::HRESULT GetInPlaceContext(ole::IOleInPlaceFrame** frame, ole::IOleInPlaceUIWindow** doc,
                                         ole::OLEINPLACEFRAMEINFO* frameInfo) = 0;
  virtual ole::HRESULT ShowContainerUI(ole::BOOL show) = 0;
  virtual ole::HRESULT QueryInsertObject(ole::CLSID* clsid, ole::IStorage* storage, LONG cp) = 0;
  virtual ole::HRESULT DeleteObject(ole::IOleObject* object) = 0;
  virtual ole::HRESULT QueryAcceptData(ole::IDataObject* data, ole::CLIPFORMAT* format, DWORD reco,
                                       ole::BOOL really, ole::HGLOBAL metaPict) = 0;
  virtual ole::HRESULT ContextSensitiveHelp(ole::BOOL enterMode) = 0;
  virtual ole::HRESULT GetClipboardData(CHARRANGE* range, DWORD reco, ole::IDataObject** data) = 0;
  virtual ole::HRESULT GetDragDropEffect(ole::BOOL drag, DWORD keyState, DWORD* effect) = 0;
  virtual ole::HRESULT GetContextMenu(WORD selectionType, ole::IOleObject* object, CHARRANGE* range,
                                      HMENU* menu) = 0;

 protected:
  ~IRichEditOleCallback() = default;
};

// ---- for tests

// Drops `text` onto the control at the caret, as a drag and drop would;
// true when the control took it.
bool DropTextForTest(HWND control, const std::wstring& text);

struct RichEditInspection {
  bool redraw = true;
  HDC targetDevice = nullptr;
  LONG lineWidth = 0;
  bool formatCached = false;  // EM_FORMATRANGE has laid out since the last release
  std::string hostApp, hostObject;
  IRichEditOleCallback* callback = nullptr;
  int contextMenuRequests = 0;
  size_t documentBytes = 0;  // memory the document holds
};
// False when `control` is not a rich edit control.
bool InspectRichEdit(HWND control, RichEditInspection* out);

}  // namespace win
