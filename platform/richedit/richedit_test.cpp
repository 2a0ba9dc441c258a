// The rich edit control: streaming, editing rules, layout for printing,
// input and the OLE side.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/printing/gdi.h"
#include "platform/richedit/richedit.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"

namespace win {
namespace {

// A cookie of bytes handed out in small pieces; fails after `failAfter`
// calls when that is set.
struct Source {
  std::string bytes;
  size_t pos = 0;
  int calls = 0;
  int failAfter = -1;
};

DWORD Feed(uintptr_t cookie, uint8_t* buf, LONG cb, LONG* done) {
  auto* s = reinterpret_cast<Source*>(cookie);
  if (s->failAfter >= 0 && s->calls++ >= s->failAfter) return 99;
  size_t n = std::min<size_t>({static_cast<size_t>(cb), s->bytes.size() - s->pos, 7});
  std::memcpy(buf, s->bytes.data() + s->pos, n);
  s->pos += n;
  *done = static_cast<LONG>(n);
  return 0;
}

class Callback final : public IRichEditOleCallback {
 public:
  ole::HRESULT acceptData = ole::S_OK;
  ole::HRESULT insertAnswer = ole::S_OK;
  int refs = 0, storages = 0, inserts = 0, deletes = 0, accepts = 0;
  DWORD lastReco = 99;
  std::vector<ole::IStorage*> given;

  ole::HRESULT QueryInterface(ole::REFIID, void**) override { return ole::E_NOINTERFACE; }
  ole::ULONG AddRef() override { return static_cast<ole::ULONG>(++refs); }
  ole::ULONG Release() override { return static_cast<ole::ULONG>(--refs); }
  ole::HRESULT GetNewStorage(ole::IStorage** out) override {
    ++storages;
    ole::ILockBytes* lb = nullptr;
    ole::CreateILockBytesOnHGlobal(nullptr, 1, &lb);
    ole::HRESULT hr = ole::StgCreateDocfileOnILockBytes(
        lb, ole::STGM_CREATE | ole::STGM_READWRITE | ole::STGM_SHARE_EXCLUSIVE, 0, out);
    lb->Release();
    given.push_back(*out);
    return hr;
  }
  ole::HRESULT GetInPlaceContext(ole::IOleInPlaceFrame**, ole::IOleInPlaceUIWindow**,
                                 ole::OLEINPLACEFRAMEINFO*) override {
    return ole::E_FAIL;
  }
  ole::HRESULT ShowContainerUI(ole::BOOL) override { return ole::E_FAIL; }
  ole::HRESULT QueryInsertObject(ole::CLSID*, ole::IStorage*, LONG) override {
    ++inserts;
    return insertAnswer;
  }
  ole::HRESULT DeleteObject(ole::IOleObject*) override {
    ++deletes;
    return ole::S_OK;
  }
  ole::HRESULT QueryAcceptData(ole::IDataObject*, ole::CLIPFORMAT*, DWORD reco, ole::BOOL, ole::HGLOBAL) override {
    ++accepts;
    lastReco = reco;
    return acceptData;
  }
  ole::HRESULT ContextSensitiveHelp(ole::BOOL) override { return ole::E_NOTIMPL; }
  ole::HRESULT GetClipboardData(CHARRANGE*, DWORD, ole::IDataObject**) override { return ole::E_NOTIMPL; }
  ole::HRESULT GetDragDropEffect(ole::BOOL, DWORD, DWORD*) override { return ole::E_NOTIMPL; }
  ole::HRESULT GetContextMenu(WORD, ole::IOleObject*, CHARRANGE*, HMENU*) override { return ole::E_NOTIMPL; }
};

class RichEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    SetScriptForTest({});
    RegisterRichEditLibrary();
    ASSERT_NE(LoadLibraryW(L"RichEd20.dll"), nullptr);
    edit_ = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 0, 0,
                            Parent(), nullptr, nullptr, nullptr);
    ASSERT_NE(edit_, nullptr);
    MoveWindow(edit_, 0, 0, 120, 60, true);  // 1800 x 900 twips
  }
  void TearDown() override { ResetWindowsForTest(); }

  static HWND Parent() {
    WNDCLASSEXW wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Host";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, L"Host", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                           nullptr);
  }
  LRESULT Stream(const std::string& bytes, WPARAM format, DWORD* error = nullptr, int failAfter = -1) {
    Source src{bytes, 0, 0, failAfter};
    EDITSTREAM es;
    es.dwCookie = reinterpret_cast<uintptr_t>(&src);
    es.pfnCallback = Feed;
    LRESULT n = SendMessageW(edit_, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
    if (error) *error = es.dwError;
    return n;
  }
  std::wstring Text(LONG from = 0, LONG to = -1) {
    std::wstring buf(4096, L'\0');
    TEXTRANGEW tr{{from, to}, buf.data()};
    auto n = SendMessageW(edit_, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr));
    buf.resize(static_cast<size_t>(n));
    return buf;
  }
  CHARRANGE Sel() {
    CHARRANGE r;
    SendMessageW(edit_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
  }
  void SetCallback(Callback* cb) { SendMessageW(edit_, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(cb)); }

  HWND edit_ = nullptr;
};

TEST_F(RichEditTest, StreamsRtfAndPlainTextInPieces) {
  EXPECT_EQ(Stream("{\\rtf1 Hallo\\par Welt}", SF_RTF), 10);
  EXPECT_EQ(Text(), L"Hallo\rWelt");
  EXPECT_EQ(Text(6, 8), L"We");
  EXPECT_EQ(Text(10, 11), L"");  // no character past the end
  EXPECT_EQ(Stream("{\\rtf1 is plain}", SF_TEXT), 16);
  EXPECT_EQ(Text(), L"{\\rtf1 is plain}");
  EXPECT_EQ(Stream("no rtf\r\nhere", SF_RTF), 11);  // RTF asked for, text given
  EXPECT_EQ(Text(), L"no rtf\rhere");
  EXPECT_EQ(SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0), 11);
}

TEST_F(RichEditTest, StreamErrorIsReportedAndKeepsWhatCame) {
  DWORD error = 0;
  Stream("0123456789abcdef", SF_TEXT, &error, 2);
  EXPECT_EQ(error, 99u);
  EXPECT_EQ(Text(), L"0123456789abcd");  // two pieces of seven
}

TEST_F(RichEditTest, ReadOnlyRefusesTypingAndPasting) {
  Callback cb;
  Stream("ab", SF_TEXT);
  SendMessageW(edit_, EM_SETMODIFY, 0, 0);
  SendMessageW(edit_, EM_SETREADONLY, 1, 0);
  EXPECT_TRUE(GetWindowLongPtrW(edit_, GWL_STYLE) & ES_READONLY);
  SendMessageW(edit_, WM_CHAR, 'x', 0);
  SetClipboardText(L"pasted");
  SendMessageW(edit_, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(), L"ab");
  EXPECT_EQ(SendMessageW(edit_, EM_GETMODIFY, 0, 0), 0);

  SendMessageW(edit_, EM_SETREADONLY, 0, 0);
  SendMessageW(edit_, WM_CHAR, 'x', 0);
  EXPECT_EQ(Text(), L"xab");
  EXPECT_EQ(SendMessageW(edit_, EM_GETMODIFY, 0, 0), 1);
  SetCallback(&cb);
  cb.acceptData = ole::E_FAIL;
  SendMessageW(edit_, WM_PASTE, 0, 0);
  EXPECT_FALSE(DropTextForTest(edit_, L"dropped"));
  EXPECT_EQ(Text(), L"xab");
  EXPECT_EQ(cb.accepts, 2);
  EXPECT_EQ(cb.lastReco, static_cast<DWORD>(RECO_DROP));
  cb.acceptData = ole::S_OK;
  SendMessageW(edit_, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(), L"xpastedab");
  SetCallback(nullptr);
  EXPECT_EQ(cb.refs, 0);
}

// The height of the control's first line, in twips, as EM_FORMATRANGE
// measures it.
int32_t FirstLineHeight(HWND edit) {
  FORMATRANGE fr;
  fr.rc = fr.rcPage = {0, 0, 14400, 14400};
  fr.chrg = {0, 1};
  SendMessageW(edit, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr));
  return fr.rc.bottom;
}

TEST_F(RichEditTest, FormatRangeFillsTheRectangleAndReturnsTheNextCharacter) {
  // Five short paragraphs of one line each.
  Stream("l1\nl2\nl3\nl4\nl5", SF_TEXT);
  int32_t h = FirstLineHeight(edit_);
  ASSERT_GT(h, 150);  // 10 points and some
  FORMATRANGE fr;
  fr.rc = {0, 0, 1440, 3 * h + h / 2};
  fr.rcPage = fr.rc;
  fr.chrg = {0, -1};
  EXPECT_EQ(SendMessageW(edit_, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr)), 9);
  EXPECT_EQ(fr.rc.bottom, 3 * h);  // the bottom of the last line
  fr.rc.bottom = 3 * h + h / 2;
  fr.chrg = {9, -1};
  EXPECT_EQ(SendMessageW(edit_, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr)), 14);
  fr.rc = {0, 0, 1440, h - 1};  // lower than one line: nothing fits
  fr.chrg = {3, -1};
  EXPECT_EQ(SendMessageW(edit_, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr)), 3);
  fr.rcPage = fr.rc;  // unless that is the whole page: the line is printed, clipped
  EXPECT_EQ(SendMessageW(edit_, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr)), 6);
  RichEditInspection in;
  InspectRichEdit(edit_, &in);
  EXPECT_TRUE(in.formatCached);
  SendMessageW(edit_, EM_FORMATRANGE, 0, 0);
  InspectRichEdit(edit_, &in);
  EXPECT_FALSE(in.formatCached);
}

TEST_F(RichEditTest, PaintDrawsWhatFormatRangeMeasures) {
  Stream("{\\rtf1 one two three four five six seven eight nine ten\\par\\fs40 big\\par end}", SF_RTF);
  FORMATRANGE fr;
  fr.rc = fr.rcPage = {0, 0, 2000, 1500};
  fr.chrg = {0, -1};
  auto next = SendMessageW(edit_, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr));
  ASSERT_GT(next, 0);
  ASSERT_LT(next, 60);
  // The same column at 144 dpi: a tenth of the twips.
  cairo_surface_t* rec = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
  cairo_t* cr = cairo_create(rec);
  RichEditPaint p;
  p.cr = cr;
  p.dpiX = p.dpiY = 144;
  p.area = {50, 30, 50 + 200, 30 + 150};
  RichEditPainted painted;
  ASSERT_TRUE(PaintRichEdit(edit_, p, &painted));
  EXPECT_EQ(painted.next, next);
  EXPECT_EQ(painted.bottom, fr.rc.bottom);
  double x, y, w, hgt;
  cairo_recording_surface_ink_extents(rec, &x, &y, &w, &hgt);
  EXPECT_GE(x, 50);
  EXPECT_GE(y, 30);
  EXPECT_LE(x + w, 50 + 200 + 1);
  EXPECT_LE(y + hgt, 30 + fr.rc.bottom / 10.0 + 1);
  EXPECT_GT(w, 100);  // the first line nearly fills the column
  // A screen scrolled by the first line shows the second where the first was.
  p.screen = true;
  p.scroll = FirstLineHeight(edit_);
  p.lineWidth = 2000;
  cairo_surface_t* rec2 = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
  cairo_t* cr2 = cairo_create(rec2);
  p.cr = cr2;
  ASSERT_TRUE(PaintRichEdit(edit_, p, &painted));
  double y2, unused;
  cairo_recording_surface_ink_extents(rec2, &unused, &y2, &unused, &unused);
  EXPECT_NEAR(y2, y, 1.5);
  EXPECT_EQ(painted.next, SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0));  // a screen is no page: the rest follows
  cairo_destroy(cr);
  cairo_destroy(cr2);
  cairo_surface_destroy(rec);
  cairo_surface_destroy(rec2);
}

TEST_F(RichEditTest, ClicksKeysAndTheWheel) {
  Stream("first line\nsecond\nthird\nfourth\nfifth", SF_TEXT);
  int lineHeight = FirstLineHeight(edit_) / 15 + 1;  // pixels, rounded up
  // A click past the end of the second line puts the caret before its break.
  SendMessageW(edit_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, lineHeight + 2));
  SendMessageW(edit_, WM_LBUTTONUP, 0, MAKELPARAM(100, lineHeight + 2));
  EXPECT_EQ(Sel().cpMin, 11 + 6);
  EXPECT_EQ(GetFocus(), edit_);
  SendMessageW(edit_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, lineHeight + 2));
  EXPECT_EQ(Sel().cpMin, 11);
  MSG m;
  PostMessageW(edit_, WM_KEYDOWN, VK_SHIFT, 0);
  PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);  // the thread's key state now has Shift down
  SendMessageW(edit_, WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageW(edit_, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Sel().cpMin, 11);
  EXPECT_EQ(Sel().cpMax, 13);
  SendMessageW(edit_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(Sel().cpMin, 0);
  EXPECT_EQ(Sel().cpMax, 5);
  SendMessageW(edit_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 3);
  SendMessageW(edit_, WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
  SendMessageW(edit_, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 4);
  EXPECT_EQ(SendMessageW(edit_, EM_GETLINECOUNT, 0, 0), 5);
}

TEST_F(RichEditTest, LinesOfTheScreenByIndexAndTheScrollBarsThumb) {
  Stream("first line\nsecond\nthird\nfourth\nfifth", SF_TEXT);
  struct Case {
    WPARAM line;
    LRESULT start;
  };
  for (const Case& c : std::vector<Case>{{0, 0}, {1, 11}, {4, 31}, {5, -1}})
    EXPECT_EQ(SendMessageW(edit_, EM_LINEINDEX, c.line, 0), c.start) << c.line;
  struct CharCase {
    WPARAM cp;
    LRESULT line;
  };
  for (const CharCase& c : std::vector<CharCase>{{0, 0}, {10, 0}, {11, 1}, {30, 3}, {36, 4}})
    EXPECT_EQ(SendMessageW(edit_, EM_LINEFROMCHAR, c.cp, 0), c.line) << c.cp;
  SendMessageW(edit_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 2), 0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
  SendMessageW(edit_, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 9), 0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 4);  // no further than the last line
}

TEST_F(RichEditTest, LinesWiderThanTheWindowScrollToTheLeft) {
  Stream("first line\nsecond\nthird", SF_TEXT);
  SetWindowPos(edit_, nullptr, 0, 0, 206, 100, SWP_NOZORDER);
  RECT format;
  SendMessageW(edit_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format, (RECT{3, 2, 203, 100}));
  SendMessageW(edit_, EM_SETTARGETDEVICE, 0, 4500);  // 300 pixels: 100 more than the text's room
  auto scrolled = [this] {
    POINT at;
    SendMessageW(edit_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&at));
    return at.x;
  };
  struct Case {
    WPARAM code;
    LONG x;
  };
  for (const Case& c : std::vector<Case>{{SB_LINERIGHT, 16},
                                         {SB_LINERIGHT, 32},
                                         {SB_PAGERIGHT, 100},
                                         {SB_LINELEFT, 84},
                                         {MAKEWPARAM(SB_THUMBPOSITION, 40), 40},
                                         {MAKEWPARAM(SB_THUMBTRACK, 500), 100},
                                         {SB_LEFT, 0},
                                         {SB_RIGHT, 100}}) {
    SendMessageW(edit_, WM_HSCROLL, c.code, 0);
    EXPECT_EQ(scrolled(), c.x) << c.code;
  }
  SetWindowPos(edit_, nullptr, 0, 0, 256, 100, SWP_NOZORDER);
  EXPECT_EQ(scrolled(), 50) << "a wider window needs less";
  SendMessageW(edit_, WM_VSCROLL, SB_LINEDOWN, 0);
  POINT at;
  SendMessageW(edit_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&at));
  EXPECT_EQ(at.y, FirstLineHeight(edit_) / 15);
  SetWindowPos(edit_, nullptr, 0, 0, 306, 100, SWP_NOZORDER);
  EXPECT_EQ(scrolled(), 0) << "everything fits";
}

TEST_F(RichEditTest, TheScreenPaintWrapsWhereTheControlsOwnLinesDo) {
  Stream("one two three four five six seven eight nine ten eleven twelve", SF_TEXT);
  SendMessageW(edit_, EM_SETTARGETDEVICE, 0, 1500);  // narrow: several lines
  const LRESULT second = SendMessageW(edit_, EM_LINEINDEX, 1, 0);
  ASSERT_GT(second, 0);
  // A wide area: with the control's width the first line still ends where
  // the control's own first line ends; with the area's width it does not.
  RichEditPaint p;
  p.screen = true;
  p.area = {0, 0, 2000, 1000};
  p.dpiX = p.dpiY = 1440;
  p.lineWidth = kControlLineWidth;
  p.last = static_cast<LONG>(second);
  RichEditPainted painted;
  ASSERT_TRUE(PaintRichEdit(edit_, p, &painted));
  EXPECT_EQ(painted.next, second);
  EXPECT_EQ(painted.width, 1500);
  p.lineWidth = 0;
  ASSERT_TRUE(PaintRichEdit(edit_, p, &painted));
  EXPECT_GT(painted.next, second);
}

const char* kTwoObjects =
    "{\\rtf1 a{\\object{\\*\\objclass Paint.Picture}{\\*\\objdata 414243}{\\result R1}}b"
    "{\\object{\\*\\objclass Other}{\\result R2}}c}";

TEST_F(RichEditTest, ObjectsTakenByTheCallbackGetStorageWithTheirData) {
  Callback cb;
  SetCallback(&cb);
  EXPECT_EQ(Stream(kTwoObjects, SF_RTF), 5);
  EXPECT_EQ(Text(), L"a\uFFFCb\uFFFCc");
  EXPECT_EQ(cb.storages, 2);
  EXPECT_EQ(cb.inserts, 2);
  IRichEditOle* reo = nullptr;
  ASSERT_TRUE(SendMessageW(edit_, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&reo)));
  ASSERT_EQ(reo->GetObjectCount(), 2);
  REOBJECT o;
  ASSERT_EQ(reo->GetObject(0, &o, REO_GETOBJ_POLEOBJ | REO_GETOBJ_PSTG), ole::S_OK);
  EXPECT_EQ(o.cp, 1);
  ole::IStream* s = nullptr;
  ASSERT_EQ(o.pstg->OpenStream(L"CONTENTS", nullptr, ole::STGM_READ | ole::STGM_SHARE_EXCLUSIVE, 0, &s), ole::S_OK);
  char buf[8] = {};
  ole::ULONG got = 0;
  s->Read(buf, sizeof buf, &got);
  EXPECT_EQ(std::string(buf, got), "ABC");
  s->Release();
  o.poleobj->DoVerb(ole::OLEIVERB_OPEN);
  o.poleobj->DoVerb(ole::OLEIVERB_INPLACEACTIVATE);
  const ole::ObjectActivity* act = ole::ActivityOf(o.poleobj);
  REOBJECT again;
  reo->GetObject(0, &again, REO_GETOBJ_NO_INTERFACES);
  EXPECT_EQ(again.dwFlags & (REO_OPEN | REO_INPLACEACTIVE), static_cast<DWORD>(REO_OPEN | REO_INPLACEACTIVE));
  reo->InPlaceDeactivate();
  reo->GetObject(0, &again, REO_GETOBJ_NO_INTERFACES);
  EXPECT_EQ(again.dwFlags & REO_INPLACEACTIVE, 0u);
  REOBJECT wrongSize;
  wrongSize.cbStruct = 56;
  EXPECT_EQ(reo->GetObject(0, &wrongSize, 0), ole::E_INVALIDARG);

  // The control closes and lets go of everything when it is destroyed.
  o.poleobj->AddRef();
  ole::IOleObject* kept = o.poleobj;
  o.poleobj->Release();
  o.pstg->Release();
  DestroyWindow(edit_);
  EXPECT_EQ(act->closes, 1);
  EXPECT_EQ(act->lastCloseOption, static_cast<DWORD>(ole::OLECLOSE_NOSAVE));
  kept->Release();
  EXPECT_EQ(cb.refs, 0);
  EXPECT_EQ(reo->GetObjectCount(), 0);
  EXPECT_EQ(reo->GetObject(0, &again, 0), ole::CO_E_RELEASED);
  reo->Release();
}

TEST_F(RichEditTest, ObjectsNotTakenGiveWayToTheirResultText) {
  int before = ole::LiveObjectCount();
  Stream(kTwoObjects, SF_RTF);  // no callback
  EXPECT_EQ(Text(), L"aR1bR2c");
  Callback cb;
  cb.insertAnswer = ole::E_FAIL;
  SetCallback(&cb);
  Stream(kTwoObjects, SF_RTF);
  EXPECT_EQ(Text(), L"aR1bR2c");
  EXPECT_EQ(cb.storages, 2);
  EXPECT_EQ(ole::LiveObjectCount(), before);  // refused storages were released
  SetCallback(nullptr);
}

TEST_F(RichEditTest, HostNamesAndTargetDeviceAreKept) {
  IRichEditOle* reo = nullptr;
  SendMessageW(edit_, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&reo));
  reo->SetHostNames("ORN", "Untitled");
  HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  SendMessageW(edit_, EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(display), 8640);
  RichEditInspection in;
  ASSERT_TRUE(InspectRichEdit(edit_, &in));
  EXPECT_EQ(in.hostApp, "ORN");
  EXPECT_EQ(in.hostObject, "Untitled");
  EXPECT_EQ(in.targetDevice, display);
  EXPECT_EQ(in.lineWidth, 8640);
  EXPECT_FALSE(InspectRichEdit(GetParent(edit_), &in));
  reo->Release();
  DeleteDC(display);
}

}  // namespace
}  // namespace win
