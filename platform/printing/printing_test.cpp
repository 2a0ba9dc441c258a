#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/printing/gdi.h"
#include "platform/runtime/durable_file.h"
#include "platform/uiscript/uiscript.h"
#include "platform/printing/printdlg.h"
#include "platform/windows/fake_display.h"
#include "platform/windows/script.h"
#include "tests/support/env_guard.h"
#include "tests/support/scratch_dir.h"

namespace win {
namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& cmd) {
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

class PrintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("ORN_SPOOL_DIR", (dir_ / "spool").c_str(), 1);
    setenv("ORN_UI_TRANSCRIPT", (dir_ / "transcript.txt").c_str(), 1);
    PrinterInfo a4;
    a4.name = L"Office A4";
    a4.dpiX = a4.dpiY = 300;
    a4.width = 2480;
    a4.height = 3508;
    a4.offsetX = a4.offsetY = 50;
    PrinterInfo jam = a4;
    jam.name = L"Jammed";
    jam.failPage = 2;
    jam.isDefault = true;
    SetPrintersForTest({a4, jam});
    SetScriptForTest({});
  }
  void TearDown() override {
    ResetPrintersForTest();
    unsetenv("ORN_SPOOL_DIR");
    unsetenv("ORN_UI_TRANSCRIPT");
    unsetenv("ORN_PRINTERS");
  }
  std::string LastLine() {
    std::ifstream in(dir_ / "transcript.txt");
    std::string last;
    for (std::string l; std::getline(in, l);) last = l;
    return last;
  }
  orn_test::ScratchDir scratch_{"printing"};
  fs::path dir_;
};

TEST_F(PrintingTest, ConfigurationFileIsReadAndBadLinesAreRefused) {
  fs::path file = dir_ / "printers";
  std::ofstream(file) << "# test printers\n"
                         "name=Wide; dpi=600x300; size=4960x3508; offset=10x20\n"
                         "\n"
                         "name=Jam; dpi=300; size=2480x3508; default; failpage=3; failerror=63\n";
  setenv("ORN_PRINTERS", file.c_str(), 1);
  ResetPrintersForTest();
  const auto& list = ConfiguredPrinters();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, L"Wide");
  EXPECT_EQ(list[0].dpiX, 600);
  EXPECT_EQ(list[0].dpiY, 300);
  EXPECT_EQ(list[0].offsetY, 20);
  EXPECT_EQ(DefaultPrinter()->name, L"Jam");
  EXPECT_EQ(list[1].failPage, 3);
  EXPECT_EQ(list[1].failError, 63u);

  struct Case {
    std::string line, message;
  };
  std::vector<Case> bad = {
      {"name=X; dpi=300", "line 1: name, dpi and size are required"},
      {"name=X; dpi=abc; size=1x1", "line 1: 'abc' is not a number"},
      {"name=X; dpi=300; size=100x100; offset=50x10", "line 1: the offsets leave no printable area"},
      {"name=X; dpi=300; size=100x100; colour", "line 1: unknown field 'colour'"},
  };
  // Each is a bad setting: one line on standard error that names the
  // variable, what it takes, the file and the fault, and exit code 124.
  auto refused = [&](const std::string& why) {
    ResetPrintersForTest();
    std::string pattern = "^ORN_PRINTERS must be a file of printers, one a line: name=NAME; dpi=.*, not '";
    for (char c : std::string(getenv("ORN_PRINTERS")) + "' (" + why + ")") {
      if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos) pattern += '\\';
      pattern += c;
    }
    EXPECT_EXIT(ConfiguredPrinters(), ::testing::ExitedWithCode(124), pattern + "\n$") << why;
  };
  for (const auto& c : bad) {
    std::ofstream(file) << c.line << "\n";
    refused(c.message);
  }
  setenv("ORN_PRINTERS", (dir_ / "missing").c_str(), 1);
  refused("it cannot be read");
  setenv("ORN_PRINTERS", file.c_str(), 1);
  std::ofstream(file) << "";  // no printers at all
  ResetPrintersForTest();
  EXPECT_EQ(DefaultPrinter(), nullptr);
}

TEST_F(PrintingTest, ContextsReportTheirDevice) {
  HDC prn = CreateDCW(L"WINSPOOL", L"Office A4", nullptr, nullptr);
  HDC disp = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_TRUE(prn && disp);
  EXPECT_EQ(GetDeviceCaps(prn, LOGPIXELSX), 300);
  EXPECT_EQ(GetDeviceCaps(prn, PHYSICALWIDTH), 2480);
  EXPECT_EQ(GetDeviceCaps(prn, PHYSICALOFFSETY), 50);
  EXPECT_EQ(GetDeviceCaps(prn, HORZRES), 2380);
  EXPECT_EQ(GetDeviceCaps(disp, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(disp, PHYSICALWIDTH), 0);
  EXPECT_EQ(CreateDCW(L"WINSPOOL", L"Nobody", nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  EXPECT_EQ(StartDocW(disp, nullptr), SP_ERROR);  // the display prints nothing
  DeleteDC(prn);
  DeleteDC(disp);
  EXPECT_EQ(GetDeviceCaps(prn, LOGPIXELSX), 0);
}

int g_abortCalls = 0;
BOOL CountingAbort(HDC, int) { return ++g_abortCalls < 2; }

TEST_F(PrintingTest, DocumentBecomesAPdfWithOnePagePerPage) {
  HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
  DOCINFOW di;
  di.lpszDocName = L"ORN - RichEdit";
  g_abortCalls = 0;
  SetAbortProc(dc, [](HDC, int) -> BOOL { ++g_abortCalls; return 1; });
  ASSERT_GT(StartDocW(dc, &di), 0);
  for (int page = 1; page <= 2; ++page) {
    ASSERT_GT(StartPage(dc), 0);
    SelectFontHeight(dc, 50);
    std::wstring text = page == 1 ? L"Seite 1 Grüße" : L"Seite 2 Grüße";
    EXPECT_TRUE(TextOutW(dc, 100, 100, text.c_str(), static_cast<int>(text.size())));
    ASSERT_GT(EndPage(dc), 0);
  }
  EXPECT_FALSE(TextOutW(dc, 0, 0, L"x", 1));  // between pages
  ASSERT_GT(EndDoc(dc), 0);
  EXPECT_EQ(g_abortCalls, 2);
  std::string pdf = SpoolFileForTest(dc);
  EXPECT_TRUE(std::regex_match(fs::path(pdf).filename().string(),
                                std::regex("ORN_-_RichEdit-" + std::to_string(::getpid()) + "-[0-9]+\\.pdf")))
      << pdf;
  ASSERT_TRUE(fs::exists(pdf));
  std::string info = Shell("pdfinfo '" + pdf + "'");
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +2\n"))) << info;
  EXPECT_TRUE(std::regex_search(info, std::regex("Title: +ORN - RichEdit\n"))) << info;
  EXPECT_NE(info.find("595.2 x 841.92 pts"), std::string::npos) << info;  // A4 at 300 dpi
  std::string text = Shell("pdftotext '" + pdf + "' -");
  EXPECT_NE(text.find("Seite 1 Grüße"), std::string::npos) << text;
  EXPECT_NE(text.find("Seite 2 Grüße"), std::string::npos) << text;
  auto drawn = DrawnTextsForTest(dc);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[1].page, 2);
  EXPECT_EQ(drawn[1].height, 50);
  EXPECT_EQ(LastLine(), "spool | Office A4 | " + fs::path(pdf).filename().string() + " | 2");
  DeleteDC(dc);
}

TEST_F(PrintingTest, FailingPageAndAbortLeaveNoFileAndSetTheErrors) {
  HDC dc = CreateDCW(nullptr, L"Jammed", nullptr, nullptr);
  DOCINFOW di;
  di.lpszDocName = L"job";
  ASSERT_GT(StartDocW(dc, &di), 0);
  ASSERT_GT(StartPage(dc), 0);
  ASSERT_GT(EndPage(dc), 0);
  EXPECT_EQ(StartPage(dc), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_GT(AbortDoc(dc), 0);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);  // a caller must take the code before
  EXPECT_EQ(LastLine(), "spool | Jammed | aborted");
  EXPECT_TRUE(fs::is_empty(dir_ / "spool"));

  g_abortCalls = 0;
  HDC other = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
  SetAbortProc(other, CountingAbort);  // continues once, then cancels
  StartDocW(other, &di);
  StartPage(other);
  EXPECT_GT(EndPage(other), 0);
  StartPage(other);
  EXPECT_EQ(EndPage(other), SP_APPABORT);
  EXPECT_EQ(GetLastError(), ERROR_PRINT_CANCELLED);
  EXPECT_EQ(EndDoc(other), SP_ERROR);  // the document is gone
  EXPECT_TRUE(fs::is_empty(dir_ / "spool"));
  DeleteDC(dc);
  DeleteDC(other);
}

TEST_F(PrintingTest, UnwritableSpoolFolderFailsTheDocument) {
  std::ofstream(dir_ / "file") << "x";
  setenv("ORN_SPOOL_DIR", (dir_ / "file").c_str(), 1);
  HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
  DOCINFOW di;
  EXPECT_EQ(StartDocW(dc, &di), SP_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  DeleteDC(dc);
}

TEST_F(PrintingTest, DefaultSpoolFolderIsTheUsersOwnInTheTemporaryFolder) {
  // The temporary folder is everyone's: what another user planted under the
  // spool folder's name takes no document.
  const fs::path temp = dir_ / "tmp", victim = dir_ / "victim";
  fs::create_directories(temp);
  fs::create_directories(victim);
  fs::permissions(temp, fs::perms::all | fs::perms::sticky_bit);
  const fs::path spool = temp / ("orn-spool-" + std::to_string(::getuid()));
  orn_test::EnvGuard env;
  env.Set("ORN_SPOOL_DIR", nullptr);
  env.Set("XDG_RUNTIME_DIR", nullptr);
  env.Set("ORN_TEMP_PATH", temp.c_str());
  HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
  DOCINFOW di;
  for (int planted = 0; planted < 2; ++planted) {
    fs::remove_all(spool);
    if (planted) fs::create_directory_symlink(victim, spool);
    EXPECT_EQ(StartDocW(dc, &di) > 0, !planted) << planted;
    if (planted) {
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    } else {
      EXPECT_EQ(fs::status(spool).permissions(), fs::perms::owner_all);
      EXPECT_GT(EndDoc(dc), 0);
      EXPECT_FALSE(fs::is_empty(spool));
    }
  }
  EXPECT_TRUE(fs::is_empty(victim));
  DeleteDC(dc);
}

TEST_F(PrintingTest, DefaultSpoolFolderIsInTheUsersRuntimeFolderWhenItIsPrivate) {
  // Only a runtime folder no one else may enter takes the jobs; any other
  // leaves them to the per-user folder in the temporary path.
  const fs::path temp = dir_ / "tmp", runtime = dir_ / "run";
  fs::create_directories(temp);
  const fs::path fallback = temp / ("orn-spool-" + std::to_string(::getuid()));
  orn_test::EnvGuard env;
  env.Set("ORN_SPOOL_DIR", nullptr);
  env.Set("ORN_TEMP_PATH", temp.c_str());
  struct Case {
    const char* what;
    fs::perms mode;
    bool link;
    bool relative;
    fs::path expected;
  } cases[] = {
      {"private", fs::perms::owner_all, false, false, runtime / "orn-spool"},
      {"others may enter", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec, false, false,
       fallback},
      {"group may write", fs::perms::owner_all | fs::perms::group_all, false, false, fallback},
      {"a link to a private folder", fs::perms::owner_all, true, false, fallback},
      {"not absolute", fs::perms::owner_all, false, true, fallback},
  };
  for (const Case& c : cases) {
    fs::remove_all(runtime);
    fs::remove_all(dir_ / "real");
    fs::remove_all(fallback);
    const fs::path folder = c.link ? dir_ / "real" : runtime;
    fs::create_directory(folder);
    fs::permissions(folder, c.mode);
    if (c.link) fs::create_directory_symlink(folder, runtime);
    env.Set("XDG_RUNTIME_DIR", c.relative ? fs::relative(runtime).c_str() : runtime.c_str());
    HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
    DOCINFOW di;
    ASSERT_GT(StartDocW(dc, &di), 0) << c.what;
    ASSERT_GT(EndDoc(dc), 0) << c.what;
    EXPECT_EQ(fs::path(SpoolFileForTest(dc)).parent_path(), c.expected) << c.what;
    EXPECT_EQ(fs::status(c.expected).permissions(), fs::perms::owner_all) << c.what;
    DeleteDC(dc);
  }
}

TEST_F(PrintingTest, WritesTheDiskRefusesFailTheirStep) {
  // A file size limit stands for a full disk; the signal it sends is ignored
  // so that the write itself fails, with EFBIG.
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldSignal = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 3000;
  setrlimit(RLIMIT_FSIZE, &small);
  HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
  DOCINFOW di;
  ASSERT_GT(StartDocW(dc, &di), 0);
  int failed = 0;
  DWORD error = 0;
  for (int page = 1; page <= 20 && !failed; ++page) {
    StartPage(dc);
    for (int line = 0; line < 40; ++line) {
      std::wstring text = L"Seite " + std::to_wstring(page) + L" Zeile " + std::to_wstring(line) + L" Grüße";
      TextOutW(dc, 100, 100 + line * 60, text.c_str(), static_cast<int>(text.size()));
    }
    if (EndPage(dc) <= 0) {
      failed = page;
      error = GetLastError();
    }
  }
  if (!failed && EndDoc(dc) <= 0) {
    failed = -1;
    error = GetLastError();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldSignal);
  EXPECT_NE(failed, 0);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DISK_FULL));
  if (failed > 0) AbortDoc(dc);
  EXPECT_EQ(LastLine(), "spool | Office A4 | aborted");
  EXPECT_TRUE(fs::is_empty(dir_ / "spool"));
  DeleteDC(dc);
}

// Ends the process at the n-th durable step of one kind, as a kill would.
class CrashAt : public rt::DurableFaults {
 public:
  CrashAt(rt::DurableStep step, int n) : step_(step), n_(n) {}
  int Before(rt::DurableStep step, const std::string&) override {
    if (step == step_ && --n_ == 0) _exit(9);
    return 0;
  }

 private:
  rt::DurableStep step_;
  int n_;
};

TEST_F(PrintingTest, APrintKilledAnywhereLeavesNoPdfOrTheWholeOne) {
  using rt::DurableStep;
  // Three pages, each a write of its own and more at the end.
  auto print = [] {
    HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
    DOCINFOW di;
    di.lpszDocName = L"Brief";
    if (StartDocW(dc, &di) <= 0) return 1;
    for (int page = 1; page <= 3; ++page) {
      StartPage(dc);
      const std::wstring text = L"Seite " + std::to_wstring(page);
      TextOutW(dc, 100, 100, text.c_str(), static_cast<int>(text.size()));
      if (EndPage(dc) <= 0) return 1;
    }
    return EndDoc(dc) > 0 ? 0 : 1;
  };
  const std::pair<DurableStep, int> points[] = {
      {DurableStep::kCreate, 1}, {DurableStep::kWrite, 1},    {DurableStep::kWrite, 2},
      {DurableStep::kWrite, 4},  {DurableStep::kSyncFile, 1}, {DurableStep::kRename, 1},
      {DurableStep::kSyncFolder, 1},
  };
  for (const auto& [step, n] : points) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(step) << ":" << n);
    fs::remove_all(dir_ / "spool");
    const pid_t pid = fork();
    if (pid == 0) {
      CrashAt crash(step, n);
      rt::SetDurableFaults(&crash);
      print();
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 9);  // stopped there
    int pdfs = 0;
    for (const auto& e : fs::directory_iterator(dir_ / "spool")) {
      if (e.path().extension() != ".pdf") continue;  // a temporary left aside
      ++pdfs;
      // Under a PDF's name only the whole document.
      EXPECT_NE(Shell("pdfinfo " + e.path().string() + " 2>&1").find("Pages:           3"), std::string::npos);
    }
    EXPECT_EQ(pdfs, step == DurableStep::kSyncFolder ? 1 : 0);
  }
}

TEST_F(PrintingTest, CharacterThePdfRefusesFailsTheTextAndThePage) {
  HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, nullptr);
  DOCINFOW di;
  ASSERT_GT(StartDocW(dc, &di), 0);
  StartPage(dc);
  std::wstring lone = L"a\xD800" L"b";  // half a surrogate pair
  EXPECT_FALSE(TextOutW(dc, 0, 0, lone.c_str(), 3));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(EndPage(dc), SP_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_GT(AbortDoc(dc), 0);
  EXPECT_TRUE(fs::is_empty(dir_ / "spool"));
  DeleteDC(dc);
}

TEST_F(PrintingTest, WithoutConfigurationAndWithoutCupsThePdfPrinterIsAll) {
  unsetenv("ORN_PRINTERS");
  setenv("CUPS_SERVER", (dir_ / "no-cups.sock").c_str(), 1);
  ResetPrintersForTest();
  const auto& list = ConfiguredPrinters();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, L"ORN PDF");
  EXPECT_EQ(DefaultPrinter(), &list[0]);
  unsetenv("CUPS_SERVER");
}

TEST_F(PrintingTest, OnAScreenTheOperatorChoosesThePrinterUnlessTheScriptDid) {
  FakeDisplay screen;
  screen.printer = PrinterPick{0, 3, true};
  SetDisplay(&screen);
  PRINTDLGW pd;
  pd.Flags = PD_RETURNDC;
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(LastLine(), "printdlg | Office A4,Jammed | Office A4");
  EXPECT_EQ(pd.nCopies, 3) << "the screen's copies take the script's path";
  EXPECT_TRUE(pd.Flags & PD_COLLATE);
  DeleteDC(pd.hDC);
  screen.printer = std::nullopt;  // cancelled
  EXPECT_FALSE(PrintDlgW(&pd));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(LastLine(), "printdlg | Office A4,Jammed | cancel");
  SetScriptForTest({{1, "printer", {"Jammed"}}});
  MSG m;
  GetMessageW(&m, nullptr, 0, 0);  // the loop runs the script
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(LastLine(), "printdlg | Office A4,Jammed | Jammed");
  DeleteDC(pd.hDC);
  SetDisplay(nullptr);
  EXPECT_EQ(screen.printDialogs, 2);
}

TEST_F(PrintingTest, PrintDialogFollowsTheScriptOrItsDefault) {
  PRINTDLGW pd;
  pd.Flags = PD_RETURNDC | PD_RETURNDEFAULT;
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(GetDeviceCaps(pd.hDC, PHYSICALWIDTH), 2480);
  DeleteDC(pd.hDC);

  pd.Flags = PD_RETURNDC;
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(LastLine(), "printdlg | Office A4,Jammed | Jammed (default)");
  DeleteDC(pd.hDC);

  SetScriptForTest({{1, "printer", {"Office A4"}}, {2, "printer", {"cancel"}}, {3, "printer", {"Ghost"}}});
  MSG m;
  GetMessageW(&m, nullptr, 0, 0);  // the loop runs the script
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(LastLine(), "printdlg | Office A4,Jammed | Office A4");
  DeleteDC(pd.hDC);
  EXPECT_FALSE(PrintDlgW(&pd));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(pd.hDC, nullptr);
  EXPECT_THROW(PrintDlgW(&pd), uiscript::ScriptError);

  pd.lStructSize = 20;
  EXPECT_FALSE(PrintDlgW(&pd));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
  pd.lStructSize = sizeof(PRINTDLGW);
  SetPrintersForTest({});
  EXPECT_FALSE(PrintDlgW(&pd));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_NODEFAULTPRN));
}

TEST_F(PrintingTest, CopiesOfADeviceModeAreWrittenOncePerCopyAndTheDialogHandsThemOver) {
  struct Case {
    short copies;
    bool collate;
    std::string pages;  // the document's page on each page of the PDF
    std::string line;
  };
  std::vector<Case> cases = {
      {1, false, "12", " | 2"}, {2, false, "1122", " | 2 | 2 copies"}, {3, true, "121212", " | 2 | 3 copies collated"}};
  for (const auto& c : cases) {
    DEVMODEW mode;
    mode.dmFields = DM_COPIES | DM_COLLATE;
    mode.dmCopies = c.copies;
    mode.dmCollate = c.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    HDC dc = CreateDCW(nullptr, L"Office A4", nullptr, &mode);
    ASSERT_NE(dc, nullptr);
    DOCINFOW di;
    ASSERT_GT(StartDocW(dc, &di), 0);
    for (int page = 1; page <= 2; ++page) {
      ASSERT_GT(StartPage(dc), 0);
      std::wstring text = L"Seite" + std::to_wstring(page);
      EXPECT_TRUE(TextOutW(dc, 100, 100, text.c_str(), static_cast<int>(text.size())));
      cairo_t* cr = PageCairoContext(dc);  // drawing of the page's own kind goes into every copy
      cairo_rectangle(cr, 100, 300, 50, 50);
      cairo_fill(cr);
      ASSERT_GT(EndPage(dc), 0);
    }
    ASSERT_GT(EndDoc(dc), 0);
    std::string pdf = SpoolFileForTest(dc);
    std::string order;
    for (size_t i = 1; i <= c.pages.size() + 1; ++i) {
      std::string text = Shell("pdftotext -f " + std::to_string(i) + " -l " + std::to_string(i) + " '" + pdf + "' - 2>/dev/null");
      if (text.find("Seite1") != std::string::npos) order += '1';
      if (text.find("Seite2") != std::string::npos) order += '2';
    }
    EXPECT_EQ(order, c.pages) << c.copies;
    EXPECT_TRUE(std::regex_search(Shell("pdfinfo '" + pdf + "'"), std::regex("Pages: +" + std::to_string(c.pages.size()) + "\n")));
    EXPECT_EQ(LastLine(), "spool | Office A4 | " + fs::path(pdf).filename().string() + c.line);
    DeleteDC(dc);
  }
  DEVMODEW none;
  none.dmFields = DM_COPIES;
  none.dmCopies = 0;
  EXPECT_EQ(CreateDCW(nullptr, L"Office A4", nullptr, &none), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // The dialog puts the operator's copies into the context it makes, or
  // without PD_USEDEVMODECOPIESANDCOLLATE into nCopies and PD_COLLATE.
  SetScriptForTest({{1, "printer", {"Office A4", "copies=2", "collate"}}, {2, "printer", {"Office A4", "copies=4"}}});
  MSG m;
  GetMessageW(&m, nullptr, 0, 0);
  PRINTDLGW pd;
  pd.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(pd.nCopies, 1);
  DOCINFOW di;
  ASSERT_GT(StartDocW(pd.hDC, &di), 0);
  ASSERT_GT(StartPage(pd.hDC), 0);
  ASSERT_GT(EndPage(pd.hDC), 0);
  ASSERT_GT(EndDoc(pd.hDC), 0);
  EXPECT_NE(LastLine().find(" | 1 | 2 copies collated"), std::string::npos) << LastLine();
  DeleteDC(pd.hDC);
  pd.Flags = PD_RETURNDC;
  ASSERT_TRUE(PrintDlgW(&pd));
  EXPECT_EQ(pd.nCopies, 4);
  EXPECT_FALSE(pd.Flags & PD_COLLATE);
  DeleteDC(pd.hDC);
}

}  // namespace
}  // namespace win
