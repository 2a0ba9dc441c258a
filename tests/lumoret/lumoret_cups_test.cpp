// Lumoret on a machine with CUPS: the test starts a scheduler of its own on
// a private socket, with one queue whose device is a file, and prints a
// letter to it through the print dialog; the PDF the queue wrote is read
// back.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>

#include "platform/printing/cups.h"
#include "tests/lumoret/lumoret_run.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using lumoret_test::Outcome;
using lumoret_test::Shell;

constexpr const char* kCupsd = "/usr/sbin/cupsd";

// A driver that hands a PDF to the device as it is, on US Letter at 600 dpi
// (neither the embedded printer's page nor its resolution).
const char* const kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "ORNTEST.PPD"
*Manufacturer: "ORN"
*Product: "(ORN Test)"
*ModelName: "ORN Test PDF"
*ShortNickName: "ORN Test PDF"
*NickName: "ORN Test PDF"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter2: "application/pdf application/vnd.orn-pdf 0 FILTER"
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: Letter
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: Letter
*PageRegion Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: Letter
*ImageableArea Letter/US Letter: "18 36 594 756"
*DefaultPaperDimension: Letter
*PaperDimension Letter/US Letter: "612 792"
*OpenUI *Resolution/Resolution: PickOne
*OrderDependency: 10 AnySetup *Resolution
*DefaultResolution: 600dpi
*Resolution 600dpi/600 DPI: "<</HWResolution[600 600]>>setpagedevice"
*CloseUI: *Resolution
)ppd";

class LumoretCupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "a private cupsd runs its filters only when started as root";
    ASSERT_TRUE(fs::exists(kCupsd)) << "cupsd is missing: ./kit installs the package cups";
    fs::path root = dir_ / "cups";  // the scheduler's own files, apart from Lumoret's
    for (const char* d : {"conf", "spool", "tmp", "cache", "state", "log", "out", "args"}) fs::create_directories(root / d);
    fs::permissions(root / "args", fs::perms::all);  // the filter, run as lp, notes its arguments there
    // The scheduler runs its filter as its own user (lp), who must reach it.
    fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    std::ofstream(root / "conf/cupsd.conf") << "Listen " << Socket().string() << "\n"
                                            << "LogLevel warn\nBrowsing No\nDefaultAuthType None\nWebInterface No\n"
                                               "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                               "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                                               "</Policy>\n";
    std::ofstream(root / "conf/cups-files.conf")
        << "ServerRoot " << (root / "conf").string() << "\nRequestRoot " << (root / "spool").string()
        << "\nTempDir " << (root / "tmp").string() << "\nCacheDir " << (root / "cache").string() << "\nStateDir "
        << (root / "state").string() << "\nErrorLog " << (root / "log/error_log").string() << "\nAccessLog "
        << (root / "log/access_log").string() << "\nPageLog " << (root / "log/page_log").string()
        << "\nFileDevice Yes\nSandboxing Relaxed\n";
    fs::path filter = root / "conf/passpdf";
    std::ofstream(filter) << "#!/bin/sh\n# The PDF goes to the device as it is; the copies and options are noted.\n"
                             "printf '%s\\n%s\\n' \"$4\" \"$5\" > '" << Args().string() << "'\nexec cat \"${6:--}\"\n";
    fs::permissions(filter, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    std::string ppd = kPpd;
    ppd.replace(ppd.find("FILTER"), 6, filter.string());
    std::ofstream(root / "letter.ppd") << ppd;

    pid_ = fork();
    if (pid_ == 0) {
      execl(kCupsd, kCupsd, "-f", "-c", (root / "conf/cupsd.conf").c_str(), "-s",
            (root / "conf/cups-files.conf").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100 && !fs::exists(Socket()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(Socket())) << lumoret_test::ReadFile(root / "log/error_log");
    log_ = root / "log/error_log";
    std::string add = Shell("CUPS_SERVER='" + Socket().string() + "' lpadmin -p Buero -E -v 'file://" +
                            Out().string() + "' -P '" + (root / "letter.ppd").string() +
                            "' 2>&1 && CUPS_SERVER='" + Socket().string() + "' lpadmin -d Buero 2>&1 && echo added");
    ASSERT_NE(add.find("added"), std::string::npos) << add;
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  fs::path Socket() const { return dir_ / "cups/cups.sock"; }
  fs::path Out() const { return dir_ / "cups/out/letter.pdf"; }
  fs::path Args() const { return dir_ / "cups/args/filter"; }
  // Waits for the queue to write its file; pdfinfo's words on it.
  std::string WaitForOutput() const {
    std::string info;
    for (int i = 0; i < 100; ++i) {
      info = Shell("pdfinfo '" + Out().string() + "' 2>/dev/null");
      if (info.find("Pages:") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return info;
  }

  orn_test::ScratchDir dir_{"lumoret-cups"};
  pid_t pid_ = -1;
  fs::path log_;
};

TEST_F(LumoretCupsTest, LetterReachesTheQueueAsPdfOnItsPage) {
  fs::path letter = fs::path(std::getenv("ORN_TEST_SRCDIR")) / "tests/lumoret/testdata/brief.rtf";
  // No printers file: the printers are the embedded one and CUPS's.
  Outcome o = lumoret_test::RunLumoret(dir_.path(), {"-f", letter.string()}, {"printer Buero", "menu 501"},
                                       {{"ORN_PRINTERS", ""}, {"CUPS_SERVER", Socket().string()}});
  ASSERT_EQ(o.exitCode, 1) << o.stderrText;
  EXPECT_TRUE(o.Has("printdlg | ORN PDF,Buero | Buero"));
  ASSERT_EQ(o.Starting("spool | Buero | cups job ").size(), 1u);
  EXPECT_TRUE(std::regex_match(o.Starting("spool | Buero | cups job ")[0], std::regex("spool \\| Buero \\| cups job [0-9]+ \\| 2")));
  EXPECT_FALSE(fs::exists(dir_ / "spool") && !fs::is_empty(dir_ / "spool"));  // nothing kept in the spool folder

  fs::path out = Out();
  std::string info = WaitForOutput();
  EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +2\n"))) << info << lumoret_test::ReadFile(log_);
  EXPECT_NE(info.find("612 x 792 pts"), std::string::npos) << info;  // the queue's Letter, not A4
  std::string fonts = Shell("pdffonts '" + out.string() + "'");
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\\+LiberationSans-Bold "))) << fonts;
  EXPECT_TRUE(std::regex_search(fonts, std::regex("\\+LiberationSans-Italic "))) << fonts;
  std::string text = Shell("pdftotext -layout '" + out.string() + "' -");
  EXPECT_TRUE(std::regex_search(text, std::regex("\n *Feld +Wert *\n"))) << text;
  EXPECT_NE(text.find("Sehr geehrte Frau Müller,"), std::string::npos) << text;
}

TEST_F(LumoretCupsTest, CupsDefaultIsTheDefaultAndARefusedJobIsAFailedPrint) {
  fs::path letter = fs::path(std::getenv("ORN_TEST_SRCDIR")) / "tests/lumoret/testdata/brief.rtf";
  std::map<std::string, std::string> env = {{"ORN_PRINTERS", ""}, {"CUPS_SERVER", Socket().string()}};
  // The queue no longer takes jobs: the dialog still offers it (as CUPS's
  // default), but the job it is sent fails the print.
  std::string reject = Shell("CUPS_SERVER='" + Socket().string() + "' cupsreject Buero 2>&1 && echo rejected");
  ASSERT_NE(reject.find("rejected"), std::string::npos) << reject;
  Outcome o = lumoret_test::RunLumoret(dir_.path(), {"-f", letter.string()}, {"key ctrl+p", "answer yes"}, env);
  EXPECT_TRUE(o.Has("printdlg | ORN PDF,Buero | Buero (default)"));
  EXPECT_EQ(o.exitCode, 255) << o.stderrText;  // -1: loaded, not printed
  EXPECT_TRUE(o.Has("msgbox | ORN RTF Viewer | 8208 | A device attached to the system is not functioning.\\r\\n | "
                    "ok (default)"));
  ASSERT_EQ(o.Starting("spool | Buero | aborted").size(), 1u);
  EXPECT_TRUE(o.Starting("status | Dokument gedruckt").empty());
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(LumoretCupsTest, CopiesAndCollationOfTheDialogReachTheJob) {
  fs::path letter = fs::path(std::getenv("ORN_TEST_SRCDIR")) / "tests/lumoret/testdata/brief.rtf";
  std::map<std::string, std::string> env = {{"ORN_PRINTERS", ""}, {"CUPS_SERVER", Socket().string()}};
  Outcome o = lumoret_test::RunLumoret(dir_.path(), {"-f", letter.string()}, {"printer Buero copies=3 collate", "menu 501"}, env);
  ASSERT_EQ(o.exitCode, 1) << o.stderrText;
  ASSERT_EQ(o.Starting("spool | Buero | cups job ").size(), 1u);
  EXPECT_TRUE(std::regex_match(o.Starting("spool | Buero | cups job ")[0],
                               std::regex("spool \\| Buero \\| cups job [0-9]+ \\| 2 \\| 3 copies collated")));
  // The document went once; the printer was asked for the copies.
  EXPECT_TRUE(std::regex_search(WaitForOutput(), std::regex("Pages: +2\n")));
  std::string args = lumoret_test::ReadFile(Args());
  EXPECT_EQ(args.substr(0, 2), "3\n") << args;
  EXPECT_NE(args.find("separate-documents-collated-copies"), std::string::npos) << args;
}

TEST_F(LumoretCupsTest, ASpoolFileThatCannotBeReadToItsEndFailsTheJob) {
  ::setenv("CUPS_SERVER", Socket().c_str(), 1);
  // A folder opens but gives a read error at once.
  fs::create_directories(dir_ / "unreadable.pdf");
  int job = 0;
  win::DWORD error = 0;
  std::string why;
  EXPECT_FALSE(win::cups::Submit(L"Buero", (dir_ / "unreadable.pdf").string(), "Brief", 1, false, &job, &error, &why));
  EXPECT_EQ(error, win::ERROR_READ_FAULT);
  EXPECT_NE(why.find("Is a directory"), std::string::npos) << why;
  // Nothing was printed, and the job begun is cancelled.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(fs::exists(Out()));
  EXPECT_EQ(Shell("CUPS_SERVER='" + Socket().string() + "' lpstat -o Buero 2>&1"), "");
  ::unsetenv("CUPS_SERVER");
}

}  // namespace
