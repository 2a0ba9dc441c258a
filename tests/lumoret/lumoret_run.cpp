#include "tests/lumoret/lumoret_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

extern char** environ;

namespace lumoret_test {

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

std::vector<fs::path> Spooled(const fs::path& dir) {
  std::vector<fs::path> out;
  if (fs::exists(dir / "spool"))
    for (const auto& e : fs::directory_iterator(dir / "spool")) out.push_back(e.path());
  return out;
}

std::vector<PdfWord> PdfWords(const std::string& pdf, const std::string& pages) {
  std::vector<PdfWord> out;
  std::regex word(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  int page = 0;
  std::istringstream lines(Shell("pdftotext -bbox " + (pages.empty() ? "" : pages + " ") + pdf + " -"));
  for (std::string l; std::getline(lines, l);) {
    if (l.find("<page ") != std::string::npos) ++page;
    std::smatch m;
    if (std::regex_search(l, m, word))
      out.push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), page, m[5]});
  }
  return out;
}

bool ReadPlacement(Placement* out) {
  reg::Key key = 0;
  if (reg::OpenKey(reg::Hive::CurrentUser, "software\\kalmoor\\lumoret", &key) != reg::kSuccess) return false;
  out->size = sizeof out->fields;
  const reg::Status status =
      reg::QueryValue(key, "placement", &out->type, reinterpret_cast<uint8_t*>(out->fields.data()), &out->size);
  reg::CloseKey(key);
  return status == reg::kSuccess;
}

bool Outcome::Has(const std::string& line) const {
  return std::find(transcript.begin(), transcript.end(), line) != transcript.end();
}

std::vector<std::string> Outcome::Starting(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& l : transcript)
    if (l.rfind(prefix, 0) == 0) out.push_back(l);
  return out;
}

std::map<std::string, std::string> Outcome::State() const {
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

Outcome RunLumoret(const fs::path& dir, const std::vector<std::string>& args, const std::vector<std::string>& script,
                   const std::map<std::string, std::string>& env, const Limits& limits) {
  fs::path scriptFile = dir / "run.script";
  fs::path transcript = dir / "run.transcript";
  fs::path errFile = dir / "run.stderr";
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
  vars["ORN_REGISTRY_DIR"] = (dir / "registry").string();
  vars["ORN_SPOOL_DIR"] = (dir / "spool").string();
  vars["ORN_PRINTERS"] = (dir / "printers").string();
  vars["ORN_EVENTLOG"] = (dir / "eventlog.txt").string();
  vars["ORN_UI_TIMEOUT"] = "30";
  for (const auto& [k, v] : env) {
    if (v.empty()) vars.erase(k);
    else vars[k] = v;
  }
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
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (limits.addressSpace) {
      rlimit r{limits.addressSpace, limits.addressSpace};
      setrlimit(RLIMIT_AS, &r);
    }
    if (limits.fileSize) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit r{limits.fileSize, limits.fileSize};
      setrlimit(RLIMIT_FSIZE, &r);
    }
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

}  // namespace lumoret_test
