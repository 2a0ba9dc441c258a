// Runs the programs as a newcomer does, headless and without an operator
// script or a transcript, and reads their exit code and standard error.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/eventlog/eventlog.h"
#include "platform/registry/registry.h"
#include "tests/support/scratch_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs `exe` with `args` in `dir`, the caller's environment without its ORN_
// variables and without a display (the programs would show their windows
// there), plus `extra`; standard error goes to dir/stderr.txt.
int RunProgram(const fs::path& dir, const std::string& exe, std::vector<std::string> args, std::vector<std::string> extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    if (var.rfind("ORN_", 0) != 0 && var.rfind("DISPLAY=", 0) != 0 && var.rfind("WAYLAND_DISPLAY=", 0) != 0)
      env.push_back(var);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  args.insert(args.begin(), exe);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a shell command and returns its standard output.
std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A malformed setting: one line that names the variable, what it takes and
// the value, and exit code 124.
TEST(BadSettings, EveryProgramNamesTheVariableAndEndsWith124) {
  struct Case {
    const char* program;
    const char* variable;
    const char* value;
    const char* takes;
  } cases[] = {
      {"Quillet", "ORN_FIXED_TIME", "gestern", "a time \"yyyy-mm-dd hh:nn:ss\""},
      {"Quillet", "ORN_SCREEN", "big", "WIDTHxHEIGHT in pixels, such as 1280x1024"},
      {"Quillet", "ORN_TWIPS_PER_PIXEL", "x", "a whole number of twips per pixel from 1 to 1440"},
      {"Quillet", "ORN_UI_TIMEOUT", "soon", "a number of seconds from 0 (no limit) to 86400"},
      {"Quillet", "ORN_FAIL", "tempath", "a comma list of temppath, computername, username"},
      {"Quillet", "ORN_EVENTLOG_FAIL", "all", "a comma list of register, report"},
      {"Glimpra", "ORN_SCREEN", "1280", "WIDTHxHEIGHT in pixels, such as 1280x1024"},
      {"Glimpra", "ORN_TWIPS_PER_PIXEL", "0", "a whole number of twips per pixel from 1 to 1440"},
      {"Glimpra", "ORN_FAIL", "user", "a comma list of temppath, computername, username"},
      {"Glimpra", "ORN_DISPLAY", "x11", "none or screen"},
      {"Lumoret", "ORN_SCREEN", "1280x", "WIDTHxHEIGHT in pixels, such as 1280x1024"},
      {"Lumoret", "ORN_UI_TIMEOUT", "-1", "a number of seconds from 0 (no limit) to 86400"},
      {"Lumoret", "ORN_DESKTOP", "hide", "hidden or visible"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.variable + "=" + c.value);
    const orn_test::ScratchDir dir("bad-setting");
    fs::copy_file(DEMO_INI, dir / "Quillet.ini");
    std::ofstream(dir / "letter.rtf") << "{\\rtf1 Hallo}";
    std::vector<std::string> env = {
        std::string(c.variable) + "=" + c.value,
        "ORN_PROGRAM_DIR=" + dir.str(),
        "ORN_DRIVE_C=" + dir.str(),
        "ORN_EVENTLOG=" + (dir / "events.txt").string(),
        "ORN_REGISTRY_DIR=" + (dir / "reg").string(),
    };
    if (std::string(c.variable) != "ORN_UI_TIMEOUT") env.push_back("ORN_UI_TIMEOUT=30");
    const std::string program = c.program;
    const int code = program == "Quillet"   ? RunProgram(dir.path(), QUILLET_EXE, {"DEMO", "4711", "out"}, env)
                     : program == "Glimpra" ? RunProgram(dir.path(), GLIMPRA_EXE, {"letter.rtf"}, env)
                                            : RunProgram(dir.path(), LUMORET_EXE, {"-f", "letter.rtf"}, env);
    EXPECT_EQ(code, 124);
    EXPECT_EQ(ReadText(dir / "stderr.txt"), std::string(c.variable) + " must be " + c.takes + ", not '" + c.value + "'\n");
  }
}

// Without a transcript nobody would see a message box: each goes to
// standard error as one line, caption and text.
TEST(HeadlessBoxes, WithoutTranscriptGoToStandardError) {
  const orn_test::ScratchDir dir("headless-box");
  const std::vector<std::string> env = {"ORN_REGISTRY_DIR=" + (dir / "reg").string(),
                                        "ORN_EVENTLOG=" + (dir / "events.txt").string(), "ORN_UI_TIMEOUT=30"};
  EXPECT_EQ(RunProgram(dir.path(), GLIMPRA_EXE, {"missing.png"}, env), 0);
  EXPECT_EQ(ReadText(dir / "stderr.txt"), "ERROR: File not found\n");
  EXPECT_EQ(RunProgram(dir.path(), LUMORET_EXE, {"-f", "missing.rtf"}, env), 254);  // -2: nothing loaded
  EXPECT_EQ(ReadText(dir / "stderr.txt"), "ORN RTF Viewer: The system cannot find the file specified.\n");
}

// Without a script the operator's session ends at once: Lumoret's window
// goes without the close question and the program ends with its own code.
TEST(HeadlessEnd, LumoretEndsWithTheCodeOfItsState) {
  struct Case {
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {{"-f", "letter.rtf"}, 255},             // -1: loaded, not printed
      {{"-t", "3", "-f", "letter.rtf"}, 255},  // a PUK letter, which asks nothing anyway
      {{"-f", "letter.rtf", "-n"}, 255},
      {{}, 254},                               // -2: nothing loaded
  };
  for (const Case& c : cases) {
    const orn_test::ScratchDir dir("headless-end");
    std::ofstream(dir / "letter.rtf") << "{\\rtf1 Sehr geehrte Frau M\\'fcller}";
    const std::vector<std::string> env = {"ORN_REGISTRY_DIR=" + (dir / "reg").string(),
                                          "ORN_EVENTLOG=" + (dir / "events.txt").string(), "ORN_UI_TIMEOUT=30"};
    EXPECT_EQ(RunProgram(dir.path(), LUMORET_EXE, c.args, env), c.code) << ::testing::PrintToString(c.args);
    EXPECT_EQ(ReadText(dir / "stderr.txt"), "") << ::testing::PrintToString(c.args);
  }
}

// Quillet's log names the computer and the user in capitals, also beyond
// ASCII, as the platform's case mapping gives them.
TEST(Names, UpperCasedBeyondAscii) {
  const orn_test::ScratchDir dir("names");
  fs::copy_file(DEMO_INI, dir / "Quillet.ini");
  const std::vector<std::string> env = {"ORN_PROGRAM_DIR=" + dir.str(), "ORN_DRIVE_C=" + dir.str(),
                                        "ORN_EVENTLOG=" + (dir / "events.txt").string(), "ORN_UI_TIMEOUT=30",
                                        "ORN_USER_NAME=m\xC3\xBCller", "ORN_COMPUTER_NAME=b\xC3\xBCro-7"};
  fs::create_directory(dir / "out");
  EXPECT_EQ(RunProgram(dir.path(), QUILLET_EXE, {"DEMO", "4711", "out"}, env), 256 - 9);  // -9: closed by the system
  const std::string log = ReadText(dir / "Quillet.log");
  EXPECT_NE(log.find(";B\xC3\x9CRO-7;M\xC3\x9CLLER;"), std::string::npos) << log;
}

// Lumoret on a machine as a fresh installation leaves it: orn-setup has
// registered the message catalogue and the SysParam defaults, so a start
// logs nothing; before it, the two missing pieces are two warnings.
TEST(Installation, SetUpMachineLogsNothingAtLumoretsStart) {
  const orn_test::ScratchDir dir("installation");
  std::ofstream(dir / "letter.rtf") << "{\\rtf1 Hallo}";
  const std::vector<std::string> env = {"ORN_REGISTRY_DIR=" + (dir / "reg").string(),
                                        "ORN_EVENTLOG=" + (dir / "events.txt").string(), "ORN_UI_TIMEOUT=30"};
  ASSERT_EQ(RunProgram(dir.path(), LUMORET_EXE, {"-f", "letter.rtf"}, env), 255);
  const std::string before = ReadText(dir / "events.txt");
  EXPECT_NE(before.find("Read RegKey"), std::string::npos) << before;
  EXPECT_NE(before.find("AppError (id=C02000A7)"), std::string::npos) << before;
  fs::remove(dir / "events.txt");

  ASSERT_EQ(RunProgram(dir.path(), SETUP_EXE, {}, env), 0) << ReadText(dir / "stderr.txt");
  ASSERT_EQ(RunProgram(dir.path(), LUMORET_EXE, {"-f", "letter.rtf"}, env), 255);
  EXPECT_FALSE(fs::exists(dir / "events.txt")) << ReadText(dir / "events.txt");

  // A real problem still shows, now with the catalogue's text.
  setenv("ORN_REGISTRY_DIR", (dir / "reg").c_str(), 1);
  reg::Key key = 0;
  ASSERT_EQ(reg::OpenKey(reg::Hive::LocalMachine, "SOFTWARE\\Dornvale\\ORN\\SysParam", &key), reg::kSuccess);
  EXPECT_EQ(reg::DeleteValue(key, "LogLevel"), reg::kSuccess);
  reg::CloseKey(key);
  unsetenv("ORN_REGISTRY_DIR");
  ASSERT_EQ(RunProgram(dir.path(), LUMORET_EXE, {"-f", "letter.rtf"}, env), 255);
  const std::vector<evlog::Record> events = evlog::ReadLog((dir / "events.txt").string());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, evlog::kWarning);
  ASSERT_GE(events[0].strings.size(), 4u);
  EXPECT_EQ(events[0].strings[3], "The registry value SOFTWARE\\Dornvale\\ORN\\SysParam\\LogLevel cannot be read");
}

// A hive a crash left damaged is set aside and started anew; one that
// cannot be read at all is named, with what to do, by orn-setup.
TEST(Installation, OrnSetupMendsADamagedHiveAndNamesOneItCannotRead) {
  const orn_test::ScratchDir dir("damaged-hive");
  fs::create_directories(dir / "reg");
  const fs::path hive = dir / "reg" / "HKEY_LOCAL_MACHINE.hive";
  std::ofstream(hive) << "";  // what a power cut before the flush left
  const std::vector<std::string> env = {"ORN_REGISTRY_DIR=" + (dir / "reg").string(),
                                        "ORN_EVENTLOG=" + (dir / "events.txt").string()};
  ASSERT_EQ(RunProgram(dir.path(), SETUP_EXE, {}, env), 0) << ReadText(dir / "stderr.txt");
  EXPECT_TRUE(fs::exists(hive.string() + ".damaged"));
  const std::vector<evlog::Record> events = evlog::ReadLog((dir / "events.txt").string());
  ASSERT_EQ(events.size(), 1u);
  ASSERT_EQ(events[0].strings.size(), 1u);
  EXPECT_NE(events[0].strings[0].find(hive.string() + ".damaged"), std::string::npos) << events[0].strings[0];

  fs::remove(hive);
  ASSERT_EQ(mkfifo(hive.c_str(), 0600), 0);
  ASSERT_EQ(RunProgram(dir.path(), SETUP_EXE, {}, env), 1);
  const std::string err = ReadText(dir / "stderr.txt");
  EXPECT_NE(err.find("the hive file " + hive.string() + " cannot be read"), std::string::npos) << err;
  EXPECT_NE(err.find("move it away"), std::string::npos) << err;
}

// A pipe or a device given as the document is refused with the load
// error instead of blocking the viewer or reading without end.
TEST(Lumoret, DocumentThatIsNotARegularFileIsRefused) {
  const orn_test::ScratchDir dir("not-a-file");
  ASSERT_EQ(mkfifo((dir / "pipe.rtf").c_str(), 0600), 0);
  const std::vector<std::string> env = {"ORN_REGISTRY_DIR=" + (dir / "reg").string(),
                                        "ORN_EVENTLOG=" + (dir / "events.txt").string(), "ORN_UI_TIMEOUT=30",
                                        "ORN_UI_TRANSCRIPT=" + (dir / "transcript.txt").string()};
  for (const std::string& document : {(dir / "pipe.rtf").string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(document);
    fs::remove(dir / "transcript.txt");
    EXPECT_EQ(RunProgram(dir.path(), LUMORET_EXE, {"-f", document}, env), 254);
    const std::string transcript = ReadText(dir / "transcript.txt");
    EXPECT_NE(transcript.find("msgbox | ORN RTF Viewer | 8208 | Access is denied."), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("status | Kein Dokument"), std::string::npos) << transcript;
  }
}

// A one-page letter, one A4 printer and a script that prints the letter,
// written into `dir`; the environment Lumoret prints them with, its PDFs
// going to dir/spool.
std::vector<std::string> PrintSetUp(const orn_test::ScratchDir& dir) {
  std::ofstream(dir / "letter.rtf") << "{\\rtf1 Sehr geehrte Damen und Herren,\\par hier ist der Brief.}";
  std::ofstream(dir / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n";
  std::ofstream(dir / "script.txt") << "menu 501\nanswer yes\n";
  return {"ORN_REGISTRY_DIR=" + (dir / "reg").string(),      "ORN_EVENTLOG=" + (dir / "events.txt").string(),
          "ORN_UI_TIMEOUT=30",                                "ORN_UI_SCRIPT=" + (dir / "script.txt").string(),
          "ORN_PRINTERS=" + (dir / "printers").string(),      "ORN_SPOOL_DIR=" + (dir / "spool").string()};
}

// The files with a PDF's name in `spool` (none when it is missing).
std::vector<fs::path> PdfsIn(const fs::path& spool) {
  std::vector<fs::path> pdfs;
  if (fs::exists(spool)) {
    for (const auto& e : fs::directory_iterator(spool)) {
      if (e.path().extension() == ".pdf") pdfs.push_back(e.path());
    }
  }
  return pdfs;
}

// A print beyond the file-size limit (ulimit -f) fails as a print on a
// full disk does, with Lumoret's -1, instead of the signal killing it; the
// spool folder is left without a PDF.
TEST(Lumoret, PrintBeyondTheFileSizeLimitFailsWithMinusOne) {
  const orn_test::ScratchDir dir("file-size-limit");
  const std::vector<std::string> env = PrintSetUp(dir);
  // The child inherits the limit; SIGXFSZ keeps its default action here.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 2000;
  setrlimit(RLIMIT_FSIZE, &small);
  const int code = RunProgram(dir.path(), LUMORET_EXE, {"-f", "letter.rtf"}, env);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(code, 255) << ReadText(dir / "stderr.txt");
  EXPECT_EQ(PdfsIn(dir / "spool").size(), 0u);
}

// Lumoret killed at points of its print: the spool folder holds the whole
// PDF or none under a PDF's name.
TEST(Lumoret, PrintKilledAtAnyPointLeavesNoPdfOrTheWholeOne) {
  const orn_test::ScratchDir dir("print-killed");
  const std::vector<std::string> printing = PrintSetUp(dir);
  const struct {
    const char* point;
    int pdfs;
  } points[] = {{"create:1", 0}, {"write:1", 0}, {"write:3", 0}, {"sync:1", 0}, {"rename:1", 0}, {"syncdir:1", 1}};
  for (const auto& p : points) {
    SCOPED_TRACE(p.point);
    fs::remove_all(dir / "spool");
    std::vector<std::string> env = printing;
    env.push_back(std::string("ORN_DURABLE_KILL=") + p.point);
    EXPECT_EQ(RunProgram(dir.path(), LUMORET_EXE, {"-f", "letter.rtf"}, env), -1);  // killed
    const std::vector<fs::path> pdfs = PdfsIn(dir / "spool");
    for (const fs::path& pdf : pdfs) {
      const std::string info = Shell("pdfinfo " + pdf.string() + " 2>&1");
      EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    }
    EXPECT_EQ(pdfs.size(), static_cast<size_t>(p.pdfs));
  }
}

}  // namespace
