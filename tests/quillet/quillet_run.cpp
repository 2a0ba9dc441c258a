#include "tests/quillet/quillet_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "tests/support/bmp_file.h"

extern char** environ;

namespace quillet_test {

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Lines ReadLines(const fs::path& p) {
  Lines lines;
  std::stringstream s(ReadText(p));
  for (std::string line; std::getline(s, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::map<std::string, std::string> ReadDump(const fs::path& p) {
  std::map<std::string, std::string> m;
  for (const std::string& line : ReadLines(p)) {
    const size_t eq = line.find(" = ");
    if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 3);
  }
  return m;
}


void WriteBmp(const fs::path& p, int32_t width, int32_t height, uint8_t level) {
  std::ofstream(p, std::ios::binary) << orn_test::GreyBmp(
      width, height, [level](int32_t, int32_t) { return level; }, static_cast<char>(level));
}

void WriteBmp(const fs::path& p, int32_t width, int32_t height, const std::function<uint8_t(int32_t, int32_t)>& grey) {
  orn_test::WriteGreyBmp(p, width, height, grey);
}

void QuilletRun::SetUp() {
  std::string pattern = (fs::temp_directory_path() / ("quillet-" + folder_ + "-XXXXXX")).string();
  root_ = mkdtemp(pattern.data());
  for (const char* d : {"bin", "c", "tmp", "out"}) fs::create_directories(root_ / d);
  fs::copy_file(QUILLET_EXE, Bin() / "Quillet");
  env_ = {
      {"ORN_DRIVE_C", (root_ / "c").string()},
      {"ORN_TEMP_PATH", (root_ / "tmp").string() + "/"},
      {"ORN_EVENTLOG", (root_ / "events.txt").string()},
      {"ORN_UI_TRANSCRIPT", (root_ / "transcript.txt").string()},
      {"ORN_UI_SCRIPT", (root_ / "script.txt").string()},
      {"ORN_FIXED_TIME", "2024-05-06 07:08:09"},
      {"ORN_COMPUTER_NAME", "PC7"},
      {"ORN_USER_NAME", "anna"},
      {"ORN_SCREEN", "1280x1024"},
      {"ORN_TWIPS_PER_PIXEL", "15"},
      {"ORN_UI_TIMEOUT", "60"},
      // No scanner backend: the runs neither find this machine's scanners nor
      // wait for network scanners to answer. The scan tests name their own.
      {"SANE_CONFIG_DIR", (root_ / "sane").string()},
  };
  fs::create_directories(root_ / "sane");
  std::ofstream(root_ / "sane" / "dll.conf") << "";
  Script("");
}

void QuilletRun::TearDown() {
  if (!HasFailure()) fs::remove_all(root_);
}

void QuilletRun::Ini(const std::string& text) const {
  std::ofstream(Bin() / "Quillet.ini", std::ios::binary) << text;
}

void QuilletRun::Script(std::string text) const {
  for (size_t at = text.find("dump "); at != std::string::npos; at = text.find("dump ", at + 5)) {
    text.insert(at + 5, root_.string() + "/");
  }
  std::ofstream(root_ / "script.txt") << text;
}

int QuilletRun::Run(const std::vector<std::string>& args) {
  const pid_t pid = Start(args, "");
  return pid < 0 ? -1 : Wait(pid);
}

int QuilletRun::Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

pid_t QuilletRun::Start(const std::vector<std::string>& args, const std::string& tag) {
  std::vector<std::string> argv{(Bin() / "Quillet").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string kv = *e;
    if (kv.rfind("ORN_", 0) != 0) env[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
  }
  for (const auto& [k, v] : env_) env[k] = v;
  std::vector<std::string> envText;
  for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
  std::vector<char*> a, e;
  for (auto& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  for (auto& s : envText) e.push_back(s.data());
  e.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string errPath = (root_ / (tag.empty() ? "stderr.txt" : "stderr-" + tag + ".txt")).string();
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // The child inherits the limits: set for the spawn, then restored. A
  // killed run leaves no core file.
  rlimit oldSize{}, oldCore{};
  getrlimit(RLIMIT_FSIZE, &oldSize);
  getrlimit(RLIMIT_CORE, &oldCore);
  if (fileSizeLimit_ > 0) {
    rlimit size = oldSize, core = oldCore;
    size.rlim_cur = std::min<rlim_t>(fileSizeLimit_, oldSize.rlim_max);
    core.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &size);
    setrlimit(RLIMIT_CORE, &core);
  }
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data());
  posix_spawn_file_actions_destroy(&actions);
  setrlimit(RLIMIT_FSIZE, &oldSize);
  setrlimit(RLIMIT_CORE, &oldCore);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << a[0];
    return -1;
  }
  return pid;
}

int QuilletRun::RunDemo(const std::vector<std::string>& more) {
  std::vector<std::string> args{"demo", "12345", Out().string()};
  args.insert(args.end(), more.begin(), more.end());
  return Run(args);
}

bool QuilletRun::Logged(const std::string& text) const {
  const Lines log = Log();
  return std::find(log.begin(), log.end(), kStamp + text) != log.end();
}

bool QuilletRun::LoggedStartingWith(const std::string& prefix) const {
  const Lines log = Log();
  return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(kStamp + prefix, 0) == 0; });
}

Lines QuilletRun::MessageBoxes() const {
  Lines boxes;
  for (const std::string& l : Transcript())
    if (l.rfind("msgbox | ", 0) == 0) boxes.push_back(l);
  return boxes;
}

}  // namespace quillet_test
