// The control's lines at the screen's width, laid out piece by piece as a
// view needs them: the same lines as one layout of the whole document, an
// estimated count until the end is known, the end reached by scrolling, and
// printing untouched by it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/richedit/layout.h"
#include "platform/richedit/richedit.h"
#include "platform/richedit/rtf.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"

namespace win {
namespace {

constexpr LONG kLineWidth = 8640;  // twips, the display's line width

// A document of many screens: paragraphs with space before and after them,
// larger type, long paragraphs that wrap, table rows, page breaks, and a
// last line of its own.
std::string LongDocument() {
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
  for (int i = 1; i <= 2000; ++i) {
    if (i % 97 == 0) rtf += "\\trowd\\cellx3000\\cellx8000 Zelle " + std::to_string(i) + "\\cell rechts\\cell\\row ";
    if (i % 211 == 0) rtf += "\\page ";
    rtf += "\\pard\\sb" + std::to_string(i % 7 * 20) + "\\sa" + std::to_string(i % 5 * 30);
    rtf += i % 13 == 0 ? "\\fs32 " : "\\fs20 ";
    rtf += "Zeile " + std::to_string(i) + ":";
    const int words = i % 11 == 0 ? 60 : 4;
    for (int w = 0; w < words; ++w) rtf += " Wort";
    rtf += "\\par ";
  }
  return rtf + "\\pard Die letzte Zeile.}";
}

// The lines of one layout of the whole document at the line width.
std::vector<rich::PlacedLine> WholeLayout(const std::string& rtf) {
  rtf::Parsed parsed = rtf::ReadRtf(rtf);
  rich::Layout layout(&parsed.doc);
  rich::FillRequest req;
  req.width = kLineWidth;
  req.page = false;
  return layout.Fill(req, nullptr).lines;
}

DWORD Feed(uintptr_t cookie, uint8_t* buf, LONG cb, LONG* done) {
  auto* s = reinterpret_cast<std::pair<const std::string*, size_t>*>(cookie);
  const size_t n = std::min(static_cast<size_t>(cb), s->first->size() - s->second);
  std::copy_n(s->first->data() + s->second, n, buf);
  s->second += n;
  *done = static_cast<LONG>(n);
  return 0;
}

class ScreenLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    SetScriptForTest({});
    RegisterRichEditLibrary();
    ASSERT_NE(LoadLibraryW(L"RichEd20.dll"), nullptr);
  }
  void TearDown() override { ResetWindowsForTest(); }

  // A control 400 x 300 pixels holding `rtf`, its lines `kLineWidth` wide.
  HWND NewControl(const std::string& rtf) {
    HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_VISIBLE | ES_MULTILINE, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    EXPECT_NE(edit, nullptr);
    std::pair<const std::string*, size_t> src{&rtf, 0};
    EDITSTREAM es;
    es.dwCookie = reinterpret_cast<uintptr_t>(&src);
    es.pfnCallback = Feed;
    SendMessageW(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    SendMessageW(edit, EM_SETTARGETDEVICE, 0, kLineWidth);
    return edit;
  }

  // Where each printed page starts, A4 less the viewer's margins.
  static std::vector<LRESULT> PageStarts(HWND edit) {
    std::vector<LRESULT> starts;
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    FORMATRANGE fr{};
    for (LRESULT at = 0; at < length && starts.size() < 1000;) {
      starts.push_back(at);
      fr.rc = fr.rcPage = {0, 0, 10100, 15900};
      fr.chrg = {static_cast<LONG>(at), -1};
      at = SendMessageW(edit, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr));
    }
    SendMessageW(edit, EM_FORMATRANGE, 0, 0);
    return starts;
  }
};

TEST_F(ScreenLinesTest, LinesLaidOutAsNeededAreTheLinesOfOneLayout) {
  const std::string rtf = LongDocument();
  const std::vector<rich::PlacedLine> whole = WholeLayout(rtf);
  ASSERT_GT(whole.size(), 2000u);
  HWND edit = NewControl(rtf);

  bool complete = true;
  const LONG estimate = RichEditScreenLines(edit, &complete);
  EXPECT_FALSE(complete) << "the first screen needs a piece of the document, not all of it";
  EXPECT_GT(estimate, static_cast<LONG>(whole.size()) / 2);
  EXPECT_LT(estimate, static_cast<LONG>(whole.size()) * 2);

  // Line by line from the start, as scrolling down asks for them.
  for (size_t i = 0; i < whole.size(); ++i) {
    ASSERT_EQ(SendMessageW(edit, EM_LINEINDEX, i, 0), whole[i].start) << "line " << i;
    SendMessageW(edit, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, i), 0);
    POINT at{};
    SendMessageW(edit, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&at));
    ASSERT_EQ(at.y, whole[i].top / 15) << "the top of line " << i;
  }
  EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), static_cast<LRESULT>(whole.size()));
  EXPECT_EQ(RichEditScreenLines(edit, &complete), static_cast<LONG>(whole.size()));
  EXPECT_TRUE(complete);
}

TEST_F(ScreenLinesTest, ScrollingToTheEndShowsTheLastLine) {
  const std::string rtf = LongDocument();
  const size_t lines = WholeLayout(rtf).size();
  struct Case {
    const char* name;
    bool background;  // the rest laid out in slices first, as a view does
  } cases[] = {{"straight to the end", false}, {"after the background layout", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND edit = NewControl(rtf);
    bool complete = true;
    RichEditScreenLines(edit, &complete);
    ASSERT_FALSE(complete);
    if (c.background) {
      int slices = 0;
      while (RichEditLayOutMore(edit, 1)) ++slices;
      EXPECT_GT(slices, 0);
      EXPECT_EQ(RichEditScreenLines(edit, &complete), static_cast<LONG>(lines));
      EXPECT_TRUE(complete);
    }
    SendMessageW(edit, WM_VSCROLL, SB_BOTTOM, 0);
    const LRESULT first = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_EQ(first, static_cast<LRESULT>(lines) - 1);
    // What the view paints from there: the document's last line, to its end.
    RichEditPaint paint;
    paint.area = {0, 0, 400, 300};
    paint.lineWidth = kControlLineWidth;
    paint.screen = true;
    paint.first = static_cast<LONG>(SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(first), 0));
    RichEditPainted painted;
    ASSERT_TRUE(PaintRichEdit(edit, paint, &painted));
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    EXPECT_EQ(painted.next, length);
    std::wstring last(64, L'\0');
    TEXTRANGEW tr{{paint.first, static_cast<LONG>(length)}, last.data()};
    last.resize(static_cast<size_t>(SendMessageW(edit, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr))));
    EXPECT_EQ(last, L"Die letzte Zeile.");
  }
}

TEST_F(ScreenLinesTest, PrintedPagesAreTheSameWhateverTheScreenLaidOutBefore) {
  const std::string rtf = LongDocument();
  const std::vector<LRESULT> untouched = PageStarts(NewControl(rtf));
  ASSERT_GT(untouched.size(), 10u);
  HWND shown = NewControl(rtf);
  RichEditScreenLines(shown, nullptr);
  SendMessageW(shown, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 700), 0);
  RichEditLayOutMore(shown, 1);
  EXPECT_EQ(PageStarts(shown), untouched);
  EXPECT_EQ(SendMessageW(shown, EM_GETFIRSTVISIBLELINE, 0, 0), 700) << "the screen kept its place";
}

}  // namespace
}  // namespace win
