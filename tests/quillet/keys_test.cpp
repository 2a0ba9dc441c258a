// Whole-program tests of the keyboard, the close box and the small buttons:
// Quillet runs from its command line with an operator script of "key"
// steps; the tests read the log, the transcript, the dumps and the record
// of started programs (ORN_STARTED).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines ReadLines(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  Lines lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// A profile of one document type with two sheets; `tools` is the start
// tool list, `level` the trace level.
std::string Ini(int level, const std::string& tools, const std::string& text = "Label_07=OK\r\n") {
  return "[General]\r\nDebugLevel=" + std::to_string(level) + "\r\n[Layout]\r\nTools=" + tools + "\r\n[Text]\r\n" +
         text + "[DEMO_1]\r\nPages=2\r\nName=Invoice\r\n";
}

class KeysRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillet-keys-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "out");
    fs::copy_file(QUILLET_EXE, root_ / "bin" / "Quillet");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // Runs Quillet on the profile with the script; returns its exit status.
  int Run(const std::string& ini, const std::string& script) {
    std::ofstream(root_ / "bin" / "Quillet.ini", std::ios::binary) << ini;
    std::string text = script;
    for (size_t at = text.find("dump "); at != std::string::npos; at = text.find("dump ", at + 5))
      text.insert(at + 5, root_.string() + "/");
    std::ofstream(root_ / "script.txt") << text;
    fs::remove(LogPath());
    fs::remove(root_ / "started.txt");
    fs::remove(root_ / "transcript.txt");

    std::vector<std::string> argv{(root_ / "bin" / "Quillet").string(), "demo", "12345", (root_ / "out").string()};
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      if (kv.rfind("ORN_", 0) != 0) env[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
    }
    const std::map<std::string, std::string> ours = {
        {"ORN_DRIVE_C", root_.string()},
        {"ORN_TEMP_PATH", root_.string() + "/"},
        {"ORN_EVENTLOG", (root_ / "events.txt").string()},
        {"ORN_UI_TRANSCRIPT", (root_ / "transcript.txt").string()},
        {"ORN_UI_SCRIPT", (root_ / "script.txt").string()},
        {"ORN_STARTED", (root_ / "started.txt").string()},
        {"ORN_FIXED_TIME", "2024-05-06 07:08:09"},
        {"ORN_COMPUTER_NAME", "PC7"},
        {"ORN_USER_NAME", "anna"},
        {"ORN_SCREEN", "1280x1024"},
        {"ORN_TWIPS_PER_PIXEL", "15"},
        {"ORN_UI_TIMEOUT", "60"},
    };
    for (const auto& [k, v] : ours) env[k] = v;
    std::vector<std::string> envText;
    for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : envText) e.push_back(s.data());
    e.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string errPath = (root_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << a[0];
      return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
      ADD_FAILURE() << "Quillet did not exit normally";
      return -1;
    }
    return WEXITSTATUS(status);
  }

  fs::path IniPath() const { return root_ / "bin" / "Quillet.ini"; }
  fs::path LogPath() const { return root_ / "bin" / "Quillet.log"; }
  // The log without its time stamps.
  Lines Log() const {
    Lines lines = ReadLines(LogPath());
    for (std::string& l : lines) l = l.substr(20);
    return lines;
  }
  bool Logged(const std::string& line) const {
    Lines log = Log();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  Lines Started() const { return ReadLines(root_ / "started.txt"); }
  Lines MessageBoxes() const {
    Lines boxes;
    for (const std::string& l : ReadLines(root_ / "transcript.txt"))
      if (l.rfind("msgbox | ", 0) == 0) boxes.push_back(l);
    return boxes;
  }
  std::map<std::string, std::string> Dump(const std::string& name) const {
    std::map<std::string, std::string> m;
    for (const std::string& line : ReadLines(root_ / name)) {
      const size_t eq = line.find(" = ");
      if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 3);
    }
    return m;
  }
  std::string Stderr() const {
    std::ifstream in(root_ / "stderr.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path root_;
};

constexpr int kSystemClose = 256 - 9;  // the session's end closes the window: ExitNow(-9)

TEST_F(KeysRun, F1OpensTheIniAndTheLogInNotepadByTraceLevel) {
  const std::string ini = "Notepad | " + IniPath().string();
  const std::string log = "Notepad | " + LogPath().string();
  struct Case {
    int level;
    Lines started;
  } cases[] = {{3, {}}, {4, {log, log}}, {7, {log, log}}, {8, {ini, log, ini, log}}};
  for (const Case& c : cases) {
    EXPECT_EQ(Run(Ini(c.level, "MOVE/"), "key F1 shift\nkey F1 ctrl\nkey F1 shift+ctrl\nkey F1\n"), kSystemClose)
        << Stderr();
    EXPECT_EQ(Started(), c.started) << "level " << c.level;
  }
}

TEST_F(KeysRun, SliderKeysStepTheShownSlidersAndEchoTheKey) {
  // Brightness and gamma are in the tool list, contrast is not.
  EXPECT_EQ(Run(Ini(7, "MOVE/BRIG/GAMA/"),
                "key F2 ctrl\nkey F2 ctrl\nkey F3 ctrl\nkey F4 shift\nkey F4 shift\nkey F2 shift+ctrl\n"
                "dump keys.txt\nkey F2\ndump reset.txt\n"),
            kSystemClose)
      << Stderr();
  auto d = Dump("keys.txt");
  ASSERT_FALSE(d.empty()) << Stderr();
  EXPECT_EQ(d["Quillet1.SlideB.Value"], "10");
  EXPECT_EQ(d["Quillet1.SlideC.Value"], "0");  // hidden: F3 does nothing
  EXPECT_EQ(d["Quillet1.SlideG.Value"], "8");
  EXPECT_EQ(d["Quillet1.Status.Text"], "\"Key:113/3\"");
  EXPECT_EQ(Dump("reset.txt")["Quillet1.SlideB.Value"], "0");
}

TEST_F(KeysRun, F12ChecksTheSheetOrReportsTheGeometry) {
  EXPECT_EQ(Run(Ini(8, "MOVE/"), "key F12\nkey F12 alt\ndump report.txt\n"), kSystemClose) << Stderr();
  Lines log = Log();
  auto key = std::find(log.begin(), log.end(), "BEG-KeyDown,123/0");
  ASSERT_NE(key, log.end());
  ASSERT_NE(key + 1, log.end());
  EXPECT_EQ(*(key + 1), "BEG-L1Thumb,2");  // CheckPage(2)
  auto alt = std::find(log.begin(), log.end(), "BEG-KeyDown,123/4");
  ASSERT_NE(alt, log.end());
  ASSERT_NE(alt + 1, log.end());
  EXPECT_EQ(*(alt + 1), "BEG-ShowInf,1");
  EXPECT_EQ(Dump("report.txt")["Quillet1.Status.Text"].rfind("\" Img:0000/0000  +0000/+0000 Src:", 0), 0u);
}

TEST_F(KeysRun, ToolKeysActOnlyOnShownToolButtons) {
  EXPECT_EQ(Run(Ini(8, "MOVE/ZOOM/"), "key F8\nkey F7\n"), kSystemClose) << Stderr();
  EXPECT_TRUE(Logged("BEG-Tool,2"));   // ZOOM shows
  EXPECT_FALSE(Logged("BEG-Tool,1"));  // ZWIN does not
}

TEST_F(KeysRun, AltF4CommitsAndTheWindowStaysOpen) {
  // Alt+F4 comes as a close through the control menu: the commit runs in
  // place of the unload; its questions take their default answers here, so
  // nothing ends the run until the session closes the window.
  EXPECT_EQ(Run(Ini(8, "MOVE/"), "key F4 alt\ndump open.txt\n"), kSystemClose) << Stderr();
  Lines log = Log();
  auto unload = std::find(log.begin(), log.end(), "BEG-UnLoad,0/0");
  ASSERT_NE(unload, log.end());
  ASSERT_NE(unload + 1, log.end());
  EXPECT_EQ(*(unload + 1), "BEG-DoOK");
  EXPECT_EQ(Dump("open.txt")["Quillet1.Caption"], "\"Quillet 2.14\"");
  EXPECT_TRUE(Logged("BEG-UnLoad,0/2"));  // the session's end, afterwards
}

TEST_F(KeysRun, CheckButtonChecksTheShownSheet) {
  EXPECT_EQ(Run(Ini(8, "CHEK/MOVE/"), "click DoCheck\n"), kSystemClose) << Stderr();
  Lines log = Log();
  auto check = std::find(log.begin(), log.end(), "BEG-Check");
  ASSERT_NE(check, log.end());
  ASSERT_NE(check + 1, log.end());
  EXPECT_EQ(*(check + 1), "BEG-L1Thumb,2");
}

TEST_F(KeysRun, HelpButtonWithoutHelpTextShowsNothing) {
  const std::string text = "Label_07=OK\r\nLabel_08=Help\r\n";
  EXPECT_EQ(Run(Ini(8, "MOVE/", text), "click DoHelp\n"), kSystemClose) << Stderr();
  EXPECT_TRUE(Logged("BEG-Help"));
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(Run(Ini(1, "MOVE/", text + "Help=One{CR}Two{CR}{CR}Three\r\n"), "click DoHelp\n"), kSystemClose);
  EXPECT_EQ(MessageBoxes(), Lines{"msgbox | Quillet V2.14 HELP ! | 0 | One\\rTwo\\r\\rThree | ok (default)"});
}

}  // namespace
