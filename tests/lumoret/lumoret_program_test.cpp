// Runs the real Lumoret from its command line under operator scripts and
// reads what it did: its exit code, the transcript of its title, status
// texts and boxes, the registry value of its placement and the PDF files
// its print jobs left in the spool folder.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
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

#include "platform/registry/registry.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* const kQuestion =
    "msgbox | ORN RTF Viewer | 308 | Das Dokument ist noch nicht ausgedruckt worden. Wollen Sie es wirklich "
    "schließen? | ";

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Shell(const std::string& cmd) {
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> transcript;
  std::string stderrText;

  bool Has(const std::string& line) const {
    return std::find(transcript.begin(), transcript.end(), line) != transcript.end();
  }
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& l : transcript)
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }
  // The fields of the last "state" line, "title" -> "...", "rect" -> "...".
  std::map<std::string, std::string> State() const {
    std::map<std::string, std::string> fields;
    auto states = Starting("state | ");
    if (states.empty()) return fields;
    std::string line = states.back().substr(8);
    size_t start = 0;
    while (start <= line.size()) {
      size_t bar = line.find(" | ", start);
      std::string f = line.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
      auto eq = f.find('=');
      if (eq != std::string::npos) fields[f.substr(0, eq)] = f.substr(eq + 1);
      if (bar == std::string::npos) break;
      start = bar + 3;
    }
    return fields;
  }
};

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
  std::vector<fs::path> Spooled() const {
    std::vector<fs::path> out;
    if (fs::exists(dir_ / "spool"))
      for (const auto& e : fs::directory_iterator(dir_ / "spool")) out.push_back(e.path());
    return out;
  }

  Outcome Run(const std::vector<std::string>& args, const std::vector<std::string>& script,
              const std::map<std::string, std::string>& env = {}) {
    fs::path scriptFile = dir_ / "run.script";
    fs::path transcript = dir_ / "run.transcript";
    fs::path errFile = dir_ / "run.stderr";
    fs::remove(transcript);
    std::string text;
    for (const auto& l : script) text += l + "\n";
    std::ofstream(scriptFile) << text;

    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      auto eq = kv.find('=');
      if (eq != std::string::npos && kv.rfind("ORN_", 0) != 0) vars[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    vars["ORN_UI_SCRIPT"] = scriptFile.string();
    vars["ORN_UI_TRANSCRIPT"] = transcript.string();
    vars["ORN_REGISTRY_DIR"] = (dir_ / "registry").string();
    vars["ORN_SPOOL_DIR"] = (dir_ / "spool").string();
    vars["ORN_PRINTERS"] = (dir_ / "printers").string();
    vars["ORN_EVENTLOG"] = (dir_ / "eventlog.txt").string();
    vars["ORN_UI_TIMEOUT"] = "30";
    for (const auto& [k, v] : env) vars[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : vars) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {LUMORET_EXE};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    Outcome out;
    pid_t pid = fork();
    if (pid == 0) {
      int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 2);
      chdir(dir_.c_str());
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    std::istringstream lines(ReadFile(transcript));
    for (std::string l; std::getline(lines, l);) out.transcript.push_back(l);
    out.stderrText = ReadFile(errFile);
    return out;
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
  // 66 lines of 10 points fit between the margins of the 300-dpi A4 page.
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
    EXPECT_NE(first.find("Zeile 67"), std::string::npos) << page2;
    EXPECT_EQ(page2.find("Zeile 66\n"), std::string::npos);
    EXPECT_NE(page2.find("Zeile 132"), std::string::npos);
    EXPECT_EQ(page2.find("Zeile 133"), std::string::npos);
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

TEST_F(LumoretTest, StartUpFailureBeforeTheWindowEndsWithZero) {
  Outcome o = Run({"-f", Lines(2).string()}, {}, {{"ORN_FAIL_LOAD", "RichEd20.dll"}});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.Starting("caption").empty());
}

TEST_F(LumoretTest, PlacementIsWrittenOnCloseAndRestoredAtStart) {
  fs::path doc = Lines(2);
  Outcome o = Run({"-f", doc.string()}, {"move 100 120 700 620", "answer yes", "close"});
  ASSERT_EQ(o.exitCode, 255);
  reg::Key key = 0;
  ASSERT_EQ(reg::OpenKey(reg::Hive::CurrentUser, "Software\\Kalmoor\\Lumoret", &key), reg::kSuccess);
  int32_t record[11] = {};
  uint32_t size = sizeof record;
  reg::ValueType type = reg::kNone;
  ASSERT_EQ(reg::QueryValue(key, "placement", &type, reinterpret_cast<uint8_t*>(record), &size), reg::kSuccess);
  reg::CloseKey(key);
  EXPECT_EQ(type, reg::kBinary);
  EXPECT_EQ(size, 44u);
  EXPECT_EQ(record[0], 44);
  EXPECT_EQ(record[2], 1);  // shown normally
  EXPECT_EQ(std::vector<int32_t>(record + 7, record + 11), (std::vector<int32_t>{100, 120, 700, 620}));

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
