#include "docviewer/reutil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/windows/errors.h"
#include "platform/windows/fileio.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"
#include "platform/windows/text.h"
#include "tests/support/scratch_dir.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

TEST(MarginsToTwips, PageEdgesFromTheMarginsAndTheOffsets) {
  struct Case {
    REUtil::PrinterMetrics m;
    RECT page;
  };
  REUtil::PrintMargins viewer{125, 50, 125, 50};
  std::vector<Case> cases = {
      // 300 dpi A4 with a 50-pixel unprintable edge.
      {{300, 300, 2480, 3508, 50, 50}, {1560, 480, 10344, 16358}},
      // Offsets beyond the margins: the edges stay at 0, never negative.
      {{600, 600, 4960, 7016, 1000, 400}, {0, 0, 4960 * 1440 / 600, 7016 * 1440 / 600}},
      // Different resolutions across and down.
      {{600, 300, 4960, 3508, 0, 0}, {1800, 720, (4960 - 750) * 1440 / 600, (3508 - 150) * 1440 / 300}},
      // A display context has no resolution for this: an empty page.
      {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    RECT page{1, 1, 1, 1};
    REUtil::MarginsToTwips(viewer, c.m, &page);
    EXPECT_EQ(page, c.page) << c.m.dpiX << "x" << c.m.dpiY;
  }
}

class REUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    SetScriptForTest({});
    dir_ = scratch_.path();
    setenv("ORN_SPOOL_DIR", (dir_ / "spool").c_str(), 1);
    setenv("ORN_REGISTRY_DIR", (dir_ / "reg").c_str(), 1);
    RegisterRichEditLibrary();
    LoadLibraryW(L"RichEd20.dll");
    WNDCLASSEXW wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Host";
    RegisterClassExW(&wc);
    host_ = CreateWindowExW(0, L"Host", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    edit_ = CreateWindowExW(0, RICHEDIT_CLASSW, nullptr, WS_CHILD | ES_MULTILINE, 0, 0, 100, 100, host_, nullptr,
                            nullptr, nullptr);
    // 1440 dpi: a twip is a device pixel. "Jam" fails at its second page.
    PrinterInfo twips;
    twips.name = L"Twips";
    twips.dpiX = twips.dpiY = 1440;
    twips.width = 14400;
    twips.height = 14400;
    twips.offsetX = twips.offsetY = 0;
    PrinterInfo jam = twips;
    jam.name = L"Jam";
    jam.failPage = 2;
    SetPrintersForTest({twips, jam});
  }
  void TearDown() override {
    ResetWindowsForTest();
    ResetPrintersForTest();
    unsetenv("ORN_SPOOL_DIR");
    unsetenv("ORN_REGISTRY_DIR");
  }

  std::wstring Path(const std::string& name) { return FromUtf8((dir_ / name).string()); }
  std::wstring File(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return Path(name);
  }
  std::wstring Text() {
    std::wstring buf(4096, L'\0');
    TEXTRANGEW tr{{0, -1}, buf.data()};
    buf.resize(static_cast<size_t>(SendMessageW(edit_, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr))));
    return buf;
  }
  // The lines of each page of the printed document, read back from its PDF.
  static std::vector<std::vector<std::wstring>> Pages(HDC dc) {
    std::string text;
    if (FILE* p = ::popen(("pdftotext -layout '" + SpoolFileForTest(dc) + "' -").c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
      ::pclose(p);
    }
    std::vector<std::vector<std::wstring>> pages(1);
    std::string line;
    for (char c : text) {
      if (c == '\f') {
        pages.emplace_back();
      } else if (c == '\n') {
        size_t a = line.find_first_not_of(' ');
        if (a != std::string::npos) pages.back().push_back(FromUtf8(line.substr(a)));
        line.clear();
      } else {
        line += c;
      }
    }
    while (!pages.empty() && pages.back().empty()) pages.pop_back();  // pdftotext ends each page with a form feed
    return pages;
  }
  bool CacheHeld() {
    RichEditInspection in;
    InspectRichEdit(edit_, &in);
    return in.formatCached;
  }

  orn_test::ScratchDir scratch_{"reutil"};
  fs::path dir_;
  HWND host_ = nullptr, edit_ = nullptr;
};

TEST_F(REUtilTest, LoadsRtfOrPlainTextByTheFirstFiveBytes) {
  struct Case {
    std::string bytes;
    std::wstring text;
  };
  std::vector<Case> cases = {
      {"{\\RTF1 Hallo\\par Welt}", L"Hallo\rWelt"},
      {"plain\r\n{\\rtf1 later}", L"plain\r{\\rtf1 later}"},
      {"{\\rt", L"{\\rt"},
      {"", L""},
  };
  for (const auto& c : cases) {
    SendMessageW(edit_, EM_SETMODIFY, 1, 0);
    EXPECT_TRUE(REUtil::LoadREFile(edit_, File("doc", c.bytes).c_str())) << c.bytes;
    EXPECT_EQ(Text(), c.text) << c.bytes;
    EXPECT_EQ(SendMessageW(edit_, EM_GETMODIFY, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  }
}

TEST_F(REUtilTest, LoadFailureKeepsTheFailuresOwnError) {
  struct Case {
    std::wstring path;
    DWORD error;
  };
  fs::create_directories(dir_ / "folder");
  std::vector<Case> cases = {
      {Path("missing.rtf"), ERROR_FILE_NOT_FOUND},
      {Path("folder"), ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(REUtil::LoadREFile(edit_, c.path.c_str()));
    EXPECT_EQ(GetLastError(), c.error);
  }
  // A read that fails in the middle: the handle is closed (successfully)
  // afterwards, and still the read's error is what the caller sees.
  std::wstring doc = File("doc.txt", std::string(9000, 'x'));
  FailReadForTest(5000, ERROR_READ_FAULT);
  EXPECT_FALSE(REUtil::LoadREFile(edit_, doc.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
}

TEST_F(REUtilTest, LoadsTextFromMemory) {
  EXPECT_TRUE(REUtil::LoadREText(edit_, "{\\rtf1 Gr\\'fc\\'dfe}"));
  EXPECT_EQ(Text(), L"Grüße");
  EXPECT_TRUE(REUtil::LoadREText(edit_, "ab"));
  EXPECT_EQ(Text(), L"ab");
  EXPECT_FALSE(REUtil::LoadREText(edit_, ""));
  EXPECT_FALSE(REUtil::LoadREText(edit_, nullptr));
}

TEST_F(REUtilTest, EndOfTextIsWhereNoCharacterStands) {
  REUtil::LoadREText(edit_, "ab");
  EXPECT_FALSE(REUtil::IsEOF(edit_, 1));
  EXPECT_TRUE(REUtil::IsEOF(edit_, 2));
}

// Three lines of 10 points (about 230 twips each) fit one page of 720 twips.
const RECT kPage{0, 0, 1440, 720};

TEST_F(REUtilTest, PrintsOnePagePerPageRectangle) {
  struct Case {
    const char* text;
    std::vector<std::vector<std::wstring>> pages;
  };
  std::vector<Case> cases = {
      {"a\nb", {{L"a", L"b"}}},
      // Ends exactly at a page boundary: no empty extra page.
      {"a\nb\nc", {{L"a", L"b", L"c"}}},
      {"1\n2\n3\n4\n5\n6\n7", {{L"1", L"2", L"3"}, {L"4", L"5", L"6"}, {L"7"}}},
      // A tall line that does not fit leaves page 1 short; page 2 gets the
      // whole page again.
      {"{\\rtf1 a\\par b\\par{\\fs40 C}\\par d}", {{L"a", L"b"}, {L"C", L"d"}}},
  };
  for (const auto& c : cases) {
    HDC dc = CreateDCW(nullptr, L"Twips", nullptr, nullptr);
    REUtil::LoadREText(edit_, c.text);
    EXPECT_TRUE(REUtil::PrintREDoc(dc, edit_, kPage)) << c.text;
    EXPECT_EQ(Pages(dc), c.pages) << c.text;
    EXPECT_FALSE(SpoolFileForTest(dc).empty());
    EXPECT_FALSE(CacheHeld());
    DeleteDC(dc);
  }
}

// A page lower than a line would otherwise take nothing, and the print run
// would end there or print blank pages for ever.
TEST_F(REUtilTest, LineHigherThanThePageIsPrintedOnAPageOfItsOwn) {
  HDC dc = CreateDCW(nullptr, L"Twips", nullptr, nullptr);
  REUtil::LoadREText(edit_, "line one\nline two");
  EXPECT_TRUE(REUtil::PrintREDoc(dc, edit_, RECT{0, 0, 1440, 200}));
  EXPECT_EQ(Pages(dc).size(), 2u);
  EXPECT_FALSE(CacheHeld());
  DeleteDC(dc);
}

TEST_F(REUtilTest, FailingPrinterAbortsAndReportsItsError) {
  HDC dc = CreateDCW(nullptr, L"Jam", nullptr, nullptr);
  REUtil::LoadREText(edit_, "1\n2\n3\n4");
  EXPECT_FALSE(REUtil::PrintREDoc(dc, edit_, kPage));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));  // not the abort's success
  EXPECT_TRUE(SpoolFileForTest(dc).empty());
  DeleteDC(dc);
  HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  EXPECT_FALSE(REUtil::PrintREDoc(display, edit_, kPage));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  DeleteDC(display);
}

TEST_F(REUtilTest, SeparatePageCallsDriveADocument) {
  HDC dc = CreateDCW(nullptr, L"Twips", nullptr, nullptr);
  REUtil::LoadREText(edit_, "1\n2\n3\n4");
  ASSERT_TRUE(REUtil::StartREDoc(dc));
  StartPage(dc);
  EXPECT_EQ(REUtil::PrintREPage(dc, edit_, kPage, 0, -1), 6);
  EndPage(dc);
  EXPECT_TRUE(CacheHeld());
  EXPECT_TRUE(REUtil::EndREDoc(dc, edit_));
  EXPECT_FALSE(CacheHeld());
  EXPECT_FALSE(SpoolFileForTest(dc).empty());
  DeleteDC(dc);
}

std::vector<UINT> g_pumped;
LRESULT PumpedProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m >= WM_USER) g_pumped.push_back(m);
  return DefWindowProcW(h, m, w, l);
}

TEST_F(REUtilTest, AbortProcedureRunsWaitingMessagesAndLeavesTheQuit) {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = PumpedProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Pumped";
  RegisterClassExW(&wc);
  HWND w = CreateWindowExW(0, L"Pumped", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  g_pumped.clear();
  PostMessageW(w, WM_USER + 1, 0, 0);
  PostQuitMessage(5);
  PostMessageW(w, WM_USER + 2, 0, 0);
  EXPECT_TRUE(REUtil::AbortProc(nullptr, 0));
  EXPECT_EQ(g_pumped, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  MSG m;
  EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), 0);  // the main loop still gets its quit
  EXPECT_EQ(m.wParam, 5u);
}

}  // namespace
