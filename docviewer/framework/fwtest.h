#pragma once
// Test sandbox of the framework tests: every platform stand-in the
// framework reaches points into a fresh directory of its own.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "docviewer/framework/evtlogsys.h"
#include "platform/eventlog/eventlog.h"
#include "platform/registry/registry.h"
#include "tests/support/scratch_dir.h"

namespace fwtest {

class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }
  std::string ReadFile(const std::string& name) const;
  std::string WriteFile(const std::string& name, const std::string& text) const;  // its path
  std::vector<std::string> DebugLines() const;
  std::vector<std::string> Transcript() const;  // message boxes, one line each
  std::vector<evlog::Record> Events() const;

  // HKEY_LOCAL_MACHINE values.
  void SetDword(const std::string& key, const std::string& name, uint32_t value) const;
  void SetString(const std::string& key, const std::string& name, const std::string& text,
                 reg::ValueType type = reg::kString) const;
  void DeleteValue(const std::string& key, const std::string& name) const;
  void TraceOn(bool on) const;

 private:
  std::unique_ptr<orn_test::ScratchDir> scratch_;
  std::filesystem::path dir_;
};

// A logger that keeps copies of what it gets and answers `answer`.
class RecordingLogger : public EvtLogBase {
 public:
  explicit RecordingLogger(int minSeverity, int answer = 0, int* deleted = nullptr)
      : EvtLogBase(minSeverity), answer_(answer), deleted_(deleted) {}
  ~RecordingLogger() override {
    if (deleted_ != nullptr) ++*deleted_;
  }
  int intLogMsg(const LogRecord& record) override {
    records.push_back(record);
    return answer_;
  }
  void FreeRes() override { ++freed; }

  std::vector<LogRecord> records;
  int freed = 0;

 private:
  int answer_;
  int* deleted_;
};

}  // namespace fwtest
