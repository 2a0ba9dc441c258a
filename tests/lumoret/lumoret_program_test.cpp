// Runs the real Lumoret from its command line under operator scripts and
// reads what it did: its exit code, the transcript of its title, status
// texts and boxes, the registry value of its placement and the PDF files
// its print jobs left in the spool folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/eventlog/eventlog.h"
#include "platform/registry/registry.h"
#include "tests/lumoret/lumoret_run.h"

namespace {

namespace fs = std::filesystem;

const char* const kQuestion =
    "msgbox | ORN RTF Viewer | 308 | Das Dokument ist noch nicht ausgedruckt worden. Wollen Sie es wirklich "
    "schließen? | ";

using lumoret_test::Outcome;
using lumoret_test::ReadFile;
using lumoret_test::Shell;

class LumoretTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-lumoret-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::ofstream(dir_ / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n"
                                        "name=Jammed; dpi=300; size=2480x3508; offset=50x50; failpage=2\n";
    // Registry calls of this process (reading and seeding the placement) use
    // the program's registry.
    setenv("ORN_REGISTRY_DIR", (dir_ / "registry").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORN_REGISTRY_DIR");
    fs::remove_all(dir_);
  }

  fs::path Doc(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  // Lines "Zeile 1" to "Zeile n" as plain text.
  fs::path Lines(int n) {
    std::string text;
    for (int i = 1; i <= n; ++i) text += "Zeile " + std::to_string(i) + (i < n ? "\r\n" : "");
    return Doc("lines.txt", text);
  }
  std::vector<fs::path> Spooled() const { return lumoret_test::Spooled(dir_); }

  Outcome Run(const std::vector<std::string>& args, const std::vector<std::string>& script,
              const std::map<std::string, std::string>& env = {}) {
    return lumoret_test::RunLumoret(dir_, args, script, env);
  }

  fs::path dir_;
};

TEST_F(LumoretTest, LoadedDocumentAsksBeforeClosingAndTakesEitherAnswer) {
  fs::path doc = Doc("brief.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}} Sehr geehrte Damen und Herren\\par}");
  Outcome o = Run({"-f", doc.string()},
                  {"state", "answer no", "close", "answer no", "menu Schließen", "answer yes", "key alt+f4"});
  EXPECT_EQ(o.exitCode, 255) << o.stderrText;  // -1: loaded, not printed
  EXPECT_TRUE(o.Has("caption | ORN RTF Viewer | ORN RTF Viewer - brief.rtf"));
  auto state = o.State();
  EXPECT_EQ(state["status"], "Dokument geladen");
  EXPECT_EQ(state["menu:501"], "enabled");
  EXPECT_EQ(state["button:501"], "4");
  EXPECT_EQ(o.Starting(kQuestion), (std::vector<std::string>{std::string(kQuestion) + "no",
                                                              std::string(kQuestion) + "no",
                                                              std::string(kQuestion) + "yes"}));
}

TEST_F(LumoretTest, EndOfScriptEndsTheSessionWithoutTheCloseQuestion) {
  Outcome o = Run({"-f", Lines(3).string()}, {"answer yes"});
  EXPECT_TRUE(o.Has("script | end | endsession"));
  EXPECT_TRUE(o.Starting("msgbox").empty());  // the queued yes stays unused
  EXPECT_EQ(o.exitCode, 255) << o.stderrText;  // -1: loaded, not printed
  EXPECT_EQ(o.stderrText, "");
}

TEST_F(LumoretTest, PrintsOnTheChosenPrinterAndEndsWithOne) {
  // 69 lines of 10-point Liberation Mono fit between the margins of the
  // 300-dpi A4 page.
  fs::path doc = Lines(150);
  for (std::string how : {"menu 501", "key ctrl+p", "button 501"}) {
    fs::remove_all(dir_ / "spool");
    Outcome o = Run({"-f", doc.string()}, {"printer \"Office A4\"", how});
    EXPECT_EQ(o.exitCode, 1) << how << o.stderrText;
    EXPECT_TRUE(o.Has("printdlg | Office A4,Jammed | Office A4")) << how;
    auto statuses = o.Starting("status | ");
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(statuses[statuses.size() - 3], "status | Drucker auswählen");
    EXPECT_EQ(statuses[statuses.size() - 2], "status | Dokument wird gedruckt ...");
    EXPECT_EQ(statuses.back(), "status | Dokument gedruckt");
    EXPECT_TRUE(o.Starting("msgbox").empty()) << how;  // a printed document closes without asking
    auto pdfs = Spooled();
    ASSERT_EQ(pdfs.size(), 1u) << how;
    EXPECT_TRUE(std::regex_search(Shell("pdfinfo '" + pdfs[0].string() + "'"), std::regex("Pages: +3\n")));
    std::string page2 = Shell("pdftotext -f 2 -l 2 -layout '" + pdfs[0].string() + "' -");
    std::istringstream lines(page2);
    std::string first;
    while (first.find("Zeile") == std::string::npos && std::getline(lines, first)) {
    }
    EXPECT_NE(first.find("Zeile 70"), std::string::npos) << page2;
    EXPECT_EQ(page2.find("Zeile 69\n"), std::string::npos);
    EXPECT_NE(page2.find("Zeile 138"), std::string::npos);
    EXPECT_EQ(page2.find("Zeile 139"), std::string::npos);
  }
}

TEST_F(LumoretTest, CancelledPrintDialogLeavesTheStatusAndPrintsNothing) {
  Outcome o = Run({"-f", Lines(3).string()}, {"printer cancel", "menu 501", "state", "answer yes", "close"});
  EXPECT_EQ(o.State()["status"], "Drucker auswählen");
  EXPECT_TRUE(o.Has("printdlg | Office A4,Jammed | cancel"));
  EXPECT_TRUE(Spooled().empty());
  EXPECT_EQ(o.exitCode, 255);
}

TEST_F(LumoretTest, MissingFileShowsTheSystemTextAndEndsWithMinusTwo) {
  Outcome o = Run({"-f", (dir_ / "nichtda.rtf").string()}, {"state", "menu 501"});
  EXPECT_TRUE(o.Has("msgbox | ORN RTF Viewer | 8208 | The system cannot find the file specified.\\r\\n | ok (default)"));
  auto state = o.State();
  EXPECT_EQ(state["title"], "ORN RTF Viewer");
  EXPECT_EQ(state["status"], "Kein Dokument");
  EXPECT_EQ(state["menu:501"], "greyed");
  EXPECT_EQ(state["button:501"], "16");
  EXPECT_TRUE(o.Has("menu | 501 | greyed"));
  EXPECT_TRUE(o.Starting(kQuestion).empty());
  EXPECT_EQ(o.exitCode, 254);
}

TEST_F(LumoretTest, NoFileGivenOrTheValueMissing) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"-c", "x", "-f"}}) {
    Outcome o = Run(args, {});
    EXPECT_EQ(o.exitCode, 254);
    EXPECT_TRUE(o.Starting("msgbox").empty());
  }
}

TEST_F(LumoretTest, KindThreeIsAPukLetterClosedWithoutQuestion) {
  fs::path doc = Doc("puk.rtf", "{\\rtf1 PUK 12345678}");
  Outcome o = Run({"-t", "3", "-f", doc.string(), "-c", "Ihre PUK"}, {});
  EXPECT_TRUE(o.Has("caption | ORN RTF Viewer | PUK - Ihre PUK"));
  EXPECT_TRUE(o.Starting("msgbox").empty());
  EXPECT_EQ(o.exitCode, 255);
  o = Run({"-n", "-t", "1", "-f", doc.string()}, {});
  EXPECT_TRUE(o.Has("caption | ORN RTF Viewer | Antragsformular - puk.rtf"));
  EXPECT_TRUE(o.Starting("msgbox").empty());
}

TEST_F(LumoretTest, CaptionWithQuotesOrATrailingBackslashArrivesUnchanged) {
  fs::path doc = Doc("puk.rtf", "{\\rtf1 PUK 12345678}");
  for (const std::string caption : {"Mein Ordner\\", "Sag \"Hallo\"", "C:\\a b\\\\"}) {
    SCOPED_TRACE(caption);
    Outcome o = Run({"-t", "3", "-f", doc.string(), "-c", caption}, {});
    EXPECT_TRUE(o.Has("caption | ORN RTF Viewer | PUK - " + caption));
  }
}

TEST_F(LumoretTest, StartUpFailureBeforeTheWindowEndsWithZero) {
  Outcome o = Run({"-f", Lines(2).string()}, {}, {{"ORN_FAIL_LOAD", "RichEd20.dll"}});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.Starting("caption").empty());
}

// A "LogLevel" beyond its 16 bits is reported through the event log and
// the viewer carries on with the default level.
TEST_F(LumoretTest, ALogLevelTooLargeForItsShortIsLoggedAndTheViewerRuns) {
  reg::Key key = 0;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "SOFTWARE\\Dornvale\\ORN\\SysParam", &key), reg::kSuccess);
  ASSERT_EQ(reg::SetDword(key, "LogLevel", 0x00011170), reg::kSuccess);
  reg::CloseKey(key);
  Outcome o = Run({"-f", Lines(2).string()}, {"state", "answer yes", "close"}, {{"ORN_DESKTOP", "hidden"}});
  EXPECT_EQ(o.exitCode, 255) << o.stderrText;  // loaded, not printed
  EXPECT_EQ(o.State()["status"], "Dokument geladen");
  std::vector<evlog::Record> overflow;
  for (const evlog::Record& r : evlog::ReadLog((dir_ / "eventlog.txt").string()))
    if (r.strings.size() > 2 && r.strings[1] == "C0200090") overflow.push_back(r);
  ASSERT_EQ(overflow.size(), 1u);
  EXPECT_EQ(overflow[0].source, "ORN4");
  EXPECT_EQ(overflow[0].type, evlog::kError);
  EXPECT_EQ(overflow[0].strings[2], "COrnReg::shortVal (Lumoret)");
}

TEST_F(LumoretTest, PlacementIsWrittenOnCloseAndRestoredAtStart) {
  fs::path doc = Lines(2);
  Outcome o = Run({"-f", doc.string()}, {"move 100 120 700 620", "answer yes", "close"});
  ASSERT_EQ(o.exitCode, 255);
  lumoret_test::Placement p;
  ASSERT_TRUE(lumoret_test::ReadPlacement(&p));
  EXPECT_EQ(p.type, reg::kBinary);
  EXPECT_EQ(p.size, 44u);
  EXPECT_EQ(p.fields[0], 44);
  EXPECT_EQ(p.fields[2], 1);  // shown normally
  EXPECT_EQ(std::vector<int32_t>(p.fields.begin() + 7, p.fields.end()), (std::vector<int32_t>{100, 120, 700, 620}));

  o = Run({"-f", doc.string()}, {"state", "answer yes", "close"});
  EXPECT_EQ(o.State()["rect"], "100,120,700,620");
}

TEST_F(LumoretTest, PlacementOfTheWrongSizeOrOffScreenIsIgnored) {
  auto record = [](int32_t show, int32_t l, int32_t t, int32_t r, int32_t b) {
    std::vector<int32_t> v = {44, 0, show, -1, -1, -1, -1, l, t, r, b};
    std::vector<uint8_t> bytes(v.size() * 4);
    std::memcpy(bytes.data(), v.data(), bytes.size());
    return bytes;
  };
  auto good = record(1, 200, 100, 900, 600);
  struct Case {
    const char* what;
    std::vector<uint8_t> value;
    std::string rect;
    std::string show;
    reg::ValueType type = reg::kBinary;
  };
  // The full screen is 1280 x 964 (1280 x 1024 less task bar and caption);
  // the default window is 40,40,1000,808.
  std::vector<Case> cases = {
      {"whole and on screen", good, "200,100,900,600", "normal"},
      {"40 bytes", std::vector<uint8_t>(good.begin(), good.end() - 4), "40,40,1000,808", "normal"},
      {"48 bytes", [&] { auto v = good; v.resize(48, 0); return v; }(), "40,40,1000,808", "normal"},
      {"left 0", record(1, 0, 100, 700, 600), "40,40,1000,808", "normal"},
      {"right beyond the screen", record(1, 900, 100, 1280, 600), "40,40,1000,808", "normal"},
      {"bottom beyond the screen", record(1, 100, 500, 700, 964), "40,40,1000,808", "normal"},
      {"narrower than 400", record(1, 100, 100, 499, 600), "40,40,1000,808", "normal"},
      {"lower than 200", record(1, 100, 100, 700, 299), "40,40,1000,808", "normal"},
      {"saved minimised", record(2, 200, 100, 900, 600), "200,100,900,600", "normal"},
      {"saved hidden", record(0, 200, 100, 900, 600), "200,100,900,600", "normal"},
      {"not binary", good, "40,40,1000,808", "normal", reg::kMultiString},
  };
  for (const auto& c : cases) {
    reg::Key key = 0;
    ASSERT_EQ(reg::CreateKey(reg::Hive::CurrentUser, "software\\kalmoor\\lumoret", &key), reg::kSuccess);
    reg::SetValue(key, "placement", c.type, c.value.data(), static_cast<uint32_t>(c.value.size()));
    reg::CloseKey(key);
    Outcome o = Run({}, {"state"});
    EXPECT_EQ(o.State()["rect"], c.rect) << c.what;
    EXPECT_EQ(o.State()["show"], c.show) << c.what;
    EXPECT_EQ(o.exitCode, 254) << c.what;
  }
}

TEST_F(LumoretTest, FailingPrinterShowsItsErrorAndKeepsTheDocument) {
  Outcome o = Run({"-f", Lines(150).string()}, {"printer Jammed", "menu 501", "state", "answer yes", "close"});
  EXPECT_TRUE(o.Has("msgbox | ORN RTF Viewer | 8208 | The device is not ready.\\r\\n | ok (default)"));
  EXPECT_TRUE(o.Has("spool | Jammed | aborted"));
  auto state = o.State();
  EXPECT_EQ(state["status"], "Dokument geladen");
  EXPECT_EQ(state["cursor"], "arrow");
  EXPECT_EQ(state["menu:501"], "enabled");
  EXPECT_TRUE(Spooled().empty());
  EXPECT_EQ(o.exitCode, 255);
}

TEST_F(LumoretTest, CloseAndPrintDuringPrintingWaitForThePrintToEnd) {
  // Both arrive while the first page is being printed.
  Outcome o = Run({"-f", Lines(150).string()}, {"menu 501", "nested menu 501", "nested close"});
  EXPECT_EQ(o.exitCode, 1) << o.stderrText;
  EXPECT_EQ(o.Starting("spool | ").size(), 1u);
  EXPECT_EQ(o.Starting("printdlg").size(), 1u);
  EXPECT_TRUE(o.Starting("msgbox").empty());
  ASSERT_EQ(Spooled().size(), 1u);
  EXPECT_TRUE(std::regex_search(Shell("pdfinfo '" + Spooled()[0].string() + "'"), std::regex("Pages: +3\n")));

  // A print that fails: the waiting close comes after the error and asks.
  o = Run({"-f", Lines(150).string()}, {"printer Jammed", "menu 501", "nested close", "answer yes", "close"});
  auto boxes = o.Starting("msgbox");
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[0].find("The device is not ready."), std::string::npos);
  EXPECT_EQ(boxes[1], std::string(kQuestion) + "no (default)");
  EXPECT_EQ(boxes[2], std::string(kQuestion) + "yes");  // the script's own close
  EXPECT_EQ(o.exitCode, 255);
}

TEST_F(LumoretTest, AboutDialogShowsTheProduct) {
  Outcome o = Run({}, {"menu Info..."});
  auto dialogs = o.Starting("dialog | About | ");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_NE(dialogs[0].find("Kalmoor ORN\\nORN RTF Viewer\\n"), std::string::npos) << dialogs[0];
  EXPECT_EQ(o.exitCode, 254);
}

TEST_F(LumoretTest, BadScriptEndsWith124) {
  Outcome o = Run({}, {"clik 501"});
  EXPECT_EQ(o.exitCode, 124);
  EXPECT_NE(o.stderrText.find("ui script line 1: unknown verb 'clik'"), std::string::npos) << o.stderrText;
}

}  // namespace
