#include "platform/win32/environment.h"

#include <fcntl.h>
#include <signal.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

#include "platform/runtime/strings.h"
#include "platform/settings/settings.h"

extern char** environ;

namespace win32 {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool EnvSet(const char* name) { return std::getenv(name) != nullptr; }


// True when ORN_FAIL names `query` (comma list, blanks and case ignored).
bool Failing(std::string_view query) {
  return settings::ListNames("ORN_FAIL", {"temppath", "computername", "username"}, query);
}

std::string WithSlash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

// Copies `name` into the caller's buffer the way the name queries do.
bool AnswerName(const std::string& name, std::string* out, uint32_t* size) {
  if (!out || !size) return false;
  if (name.size() + 1 > *size) {
    *size = static_cast<uint32_t>(name.size() + 1);  // needed, with terminator
    return false;
  }
  *out = name;
  *size = static_cast<uint32_t>(name.size());
  return true;
}

std::mutex g_cmdMutex;
bool g_cmdSet = false;
std::vector<std::string> g_words;
std::vector<std::string> g_switches;

bool HasSeparator(std::string_view s) { return s.find_first_of(" ,=/") != std::string_view::npos; }

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

bool IsSwitchName(std::string_view name, const std::vector<std::string>& switches) {
  for (const std::string& known : switches) {
    if (rt::UCase(name) == known) return true;
  }
  return false;
}

std::string JoinWord(const std::string& w, const std::vector<std::string>& switches) {
  if (!w.empty() && w[0] == '/') {
    const size_t eq = w.find('=');
    const std::string_view name = std::string_view(w).substr(1, eq == std::string::npos ? w.npos : eq - 1);
    if (IsSwitchName(name, switches)) {
      if (eq == std::string::npos) return w;
      const std::string_view value = std::string_view(w).substr(eq + 1);
      return w.substr(0, eq + 1) + (HasSeparator(value) ? Quoted(value) : std::string(value));
    }
  }
  return w.empty() || HasSeparator(w) ? Quoted(w) : w;
}

// argv of this process when main() did not hand it over.
std::vector<std::string> ProcCmdline() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::vector<std::string> words;
  for (std::string w; std::getline(in, w, '\0');) words.push_back(w);
  if (!words.empty()) words.erase(words.begin());
  return words;
}

}  // namespace

std::string TempDirectory() {
  std::string p = EnvSet("ORN_TEMP_PATH") ? Env("ORN_TEMP_PATH") : Env("TMPDIR");
  if (p.empty()) p = "/tmp";
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

uint32_t GetTempPath(uint32_t bufferChars, std::string* out) {
  if (!out || Failing("temppath")) return 0;
  std::string p = WithSlash(TempDirectory());
  // Too long for the buffer: the size it would need, with the terminator,
  // and nothing copied. Callers must compare the answer with bufferChars.
  if (p.size() + 1 > bufferChars) {
    out->clear();
    return static_cast<uint32_t>(p.size() + 1);
  }
  *out = p;
  return static_cast<uint32_t>(p.size());
}

bool GetComputerName(std::string* out, uint32_t* size) {
  if (Failing("computername")) return false;
  std::string name;
  if (EnvSet("ORN_COMPUTER_NAME")) {
    name = Env("ORN_COMPUTER_NAME");
  } else {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return false;
    name = host;
    name = name.substr(0, name.find('.'));  // the host part, without a domain
  }
  return AnswerName(rt::UCase(name), out, size);
}

bool GetUserName(std::string* out, uint32_t* size) {
  if (Failing("username")) return false;
  std::string name;
  if (EnvSet("ORN_USER_NAME")) {
    name = Env("ORN_USER_NAME");
  } else {
    passwd pw{};
    passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found) name = found->pw_name;
    if (name.empty()) name = Env("USER");
    if (name.empty()) name = Env("LOGNAME");
    if (name.empty()) return false;
  }
  return AnswerName(rt::UCase(name), out, size);
}

std::string StateDirectory() {
  std::string base = Env("XDG_STATE_HOME");
  if (base.empty() || base.front() != '/') {
    std::string home = Env("HOME");
    if (home.empty()) {
      passwd pw{};
      passwd* found = nullptr;
      char buf[4096];
      if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found) home = found->pw_dir;
    }
    base = home + "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string dir = base + "/orn";
  std::error_code ignored;
  // Only the last part is private: the parents are the user's usual folders.
  std::filesystem::create_directories(base, ignored);
  ::mkdir(dir.c_str(), 0700);
  return dir;
}

std::string ProgramDirectory() {
  std::string dir = Env("ORN_PROGRAM_DIR");
  if (dir.empty()) {
    // The kernel's name of the executable has every link resolved.
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
      dir.assign(buf, static_cast<size_t>(n));
      dir = dir.substr(0, dir.rfind('/'));
    }
    if (dir.empty()) dir = ".";
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string JoinCommandLine(const std::vector<std::string>& words, const std::vector<std::string>& switches) {
  std::string text;
  for (const auto& w : words) {
    if (!text.empty()) text += ' ';
    text += JoinWord(w, switches);
  }
  // The programs strip one pair of quotes that encloses the whole text, which
  // would eat the quotes of a quoted first and last word ("/tmp/a.tif" alone
  // would then parse as switches). A trailing "," keeps the text from being
  // enclosed; the parser ignores it as a separator.
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text += ',';
  return text;
}

void SetCommandLine(int argc, char** argv, std::vector<std::string> switches) {
  ::signal(SIGXFSZ, SIG_IGN);
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  g_words.clear();
  for (int i = 1; i < argc; ++i) g_words.emplace_back(argv[i]);
  g_switches = std::move(switches);
  g_cmdSet = true;
}

std::vector<std::string> CommandLineWords() {
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  return g_cmdSet ? g_words : ProcCmdline();
}

std::string CommandLine() {
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  return JoinCommandLine(g_cmdSet ? g_words : ProcCmdline(), g_switches);
}

std::string HostPath(std::string_view path) {
  std::string p(path);
  if (p.size() >= 2 && (p[0] == 'C' || p[0] == 'c') && p[1] == ':' &&
      (p.size() == 2 || p[2] == '\\' || p[2] == '/')) {
    std::string drive = EnvSet("ORN_DRIVE_C") ? Env("ORN_DRIVE_C") : TempDirectory();
    while (drive.size() > 1 && drive.back() == '/') drive.pop_back();
    p = drive + (p.size() > 2 ? "/" + p.substr(3) : "");
  }
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

void ExitProcess(int32_t code) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  // No static destructors or exit handlers, like the platform call; the
  // host keeps the low 8 bits of the code (-5 leaves as 251).
  _exit(static_cast<int>(static_cast<uint32_t>(code) & 0xFFu));
}

bool StartProgram(std::string_view program, const std::vector<std::string>& args) {
  if (std::string started = Env("ORN_STARTED"); !started.empty()) {
    std::string line(program);
    for (const auto& a : args) line += " | " + a;
    line += '\n';
    int fd = open(started.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ssize_t n = write(fd, line.data(), line.size());
      (void)n;  // the record is a test aid; the start does not depend on it
      close(fd);
    }
  }
  std::string base(program.substr(program.find_last_of("/\\") + 1));
  base = rt::LCase(base);
  std::string exe(program);
  if (base == "notepad" || base == "notepad.exe") {
    exe = Env("ORN_EDITOR");
    if (exe.empty()) return true;  // recorded only
  }
  std::vector<std::string> argvText{exe};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  // The program gets the signal dispositions of its own, not this
  // process's ignored SIGXFSZ.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  // Not waited for: the started program outlives this call, as on the platform.
  const bool started = posix_spawnp(&pid, exe.c_str(), nullptr, &attr, argv.data(), environ) == 0;
  posix_spawnattr_destroy(&attr);
  return started;
}

}  // namespace win32
