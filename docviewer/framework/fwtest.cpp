#include "docviewer/framework/fwtest.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/uiscript/uiscript.h"

namespace fwtest {

void Sandbox::SetUp() {
  scratch_ = std::make_unique<orn_test::ScratchDir>("fwtest");
  dir_ = scratch_->path();
  setenv("ORN_REGISTRY_DIR", Path("registry").c_str(), 1);
  setenv("ORN_EVENTLOG", Path("eventlog.txt").c_str(), 1);
  setenv("ORN_DEBUG_OUTPUT", Path("debug.txt").c_str(), 1);
  setenv("ORN_UI_TRANSCRIPT", Path("transcript.txt").c_str(), 1);
  std::string prefix = "fwtest" + std::to_string(::getpid()) + "_";
  setenv("ORN_SHM_PREFIX", prefix.c_str(), 1);
  unsetenv("ORN_DESKTOP");
  unsetenv("ORN_UI_SCRIPT");
  unsetenv("ORN_EVENTLOG_FAIL");
  uiscript::AnswerQueue::Instance().Clear();
}

void Sandbox::TearDown() {
  // FWTEST_KEEP keeps the folder of a passing test too, for a look.
  if (std::getenv("FWTEST_KEEP") != nullptr) (void)scratch_.release();
  scratch_.reset();
}

std::string Sandbox::ReadFile(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Sandbox::WriteFile(const std::string& name, const std::string& text) const {
  std::ofstream(Path(name), std::ios::binary) << text;
  return Path(name).string();
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

reg::Key Open(const std::string& key) {
  reg::Key k = 0;
  EXPECT_EQ(reg::CreateKey(reg::Hive::LocalMachine, key, &k), reg::kSuccess) << key;
  return k;
}

}  // namespace

std::vector<std::string> Sandbox::DebugLines() const { return Lines(ReadFile("debug.txt")); }
std::vector<std::string> Sandbox::Transcript() const { return Lines(ReadFile("transcript.txt")); }
std::vector<evlog::Record> Sandbox::Events() const { return evlog::ReadLog(Path("eventlog.txt").string()); }

void Sandbox::SetDword(const std::string& key, const std::string& name, uint32_t value) const {
  reg::Key k = Open(key);
  EXPECT_EQ(reg::SetDword(k, name, value), reg::kSuccess);
  reg::CloseKey(k);
}

void Sandbox::SetString(const std::string& key, const std::string& name, const std::string& text,
                        reg::ValueType type) const {
  reg::Key k = Open(key);
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  EXPECT_EQ(reg::SetValue(k, name, type, bytes.data(), static_cast<uint32_t>(bytes.size())), reg::kSuccess);
  reg::CloseKey(k);
}

void Sandbox::DeleteValue(const std::string& key, const std::string& name) const {
  reg::Key k = Open(key);
  reg::DeleteValue(k, name);
  reg::CloseKey(k);
}

void Sandbox::TraceOn(bool on) const {
  if (on) SetDword("SOFTWARE\\Dornvale\\ORN\\Trace", "LogType", 1);
  else DeleteValue("SOFTWARE\\Dornvale\\ORN\\Trace", "LogType");
}

}  // namespace fwtest
