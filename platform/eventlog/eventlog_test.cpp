#include "platform/eventlog/eventlog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/runtime/datetime.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-evlog-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    log_ = dir_ + "/events.txt";
    setenv("ORN_EVENTLOG", log_.c_str(), 1);
    unsetenv("ORN_EVENTLOG_FAIL");
    rt::SetClockForTest([] { return rt::DateTime{2024, 5, 6, 7, 8, 9}; });
  }
  void TearDown() override {
    rt::SetClockForTest(nullptr);
    unsetenv("ORN_EVENTLOG");
    unsetenv("ORN_EVENTLOG_FAIL");
    fs::remove_all(dir_);
  }
  std::string dir_, log_;
};

TEST_F(EventLogTest, RegisterReportDeregister) {
  evlog::Source s = evlog::RegisterEventSource("", "Quillet");
  ASSERT_NE(s, 0u);
  std::string data = "20240506 070809";
  ASSERT_TRUE(evlog::ReportEvent(s, evlog::kInformation, 0, 0, {"Started:06.05.2024 07:08:09"},
                                 std::vector<uint8_t>(data.begin(), data.end())));
  EXPECT_TRUE(evlog::DeregisterEventSource(s));
  EXPECT_EQ(ReadFile(log_),
            "2024-05-06 07:08:09\tQuillet\t4\t0\t0\tStarted:06.05.2024 07:08:09\t"
            "323032343035303620303730383039\n");

  // A closed handle is no longer usable.
  EXPECT_FALSE(evlog::ReportEvent(s, evlog::kError, 0, 0, {}, {}));
  EXPECT_EQ(evlog::LastError(), 6u);
  EXPECT_FALSE(evlog::DeregisterEventSource(s));
  EXPECT_EQ(evlog::LastError(), 6u);
  EXPECT_FALSE(evlog::ReportEvent(0, evlog::kError, 0, 0, {}, {}));
}

TEST_F(EventLogTest, EscapingRoundTripsThroughReadLog) {
  struct Case {
    std::string source;
    uint16_t type, category;
    uint32_t id;
    std::vector<std::string> strings;
    std::vector<uint8_t> data;
  } cases[] = {
      {"ORN4", evlog::kWarning, 4, 0xC0210022u,
       {"", "C0200066", "CAppReg::getValue (Lumoret)", "a|b\\c\td\ne\rf", "00000002", "x"},
       {0x00, 0xFF, 0x7A}},
      {"tab\tand|bar", evlog::kAuditFailure, 65535, 0xFFFFFFFFu, {"|", "\\", "\\|"}, {}},
      {"Quillet", evlog::kInformation, 0, 0, {}, {}},
  };
  evlog::Source s = 0;
  for (const auto& c : cases) {
    s = evlog::RegisterEventSource("", c.source);
    ASSERT_NE(s, 0u);
    ASSERT_TRUE(evlog::ReportEvent(s, c.type, c.category, c.id, c.strings, c.data));
    evlog::DeregisterEventSource(s);
  }
  // Lines that do not parse are skipped.
  std::ofstream(log_, std::ios::app) << "not a record\n"
                                        "2024-05-06 07:08:09\tX\t4\t0\t0\tbad\\q\t\n"
                                        "2024-05-06 07:08:09\tX\t70000\t0\t0\t\t\n"
                                        "2024-05-06 07:08:09\tX\t4\t0\t0\t\tABC\n";
  auto records = evlog::ReadLog(log_);
  ASSERT_EQ(records.size(), std::size(cases));
  for (size_t i = 0; i < records.size(); ++i) {
    const auto& r = records[i];
    const auto& c = cases[i];
    EXPECT_EQ(r.time, "2024-05-06 07:08:09");
    EXPECT_EQ(r.source, c.source);
    EXPECT_EQ(r.type, c.type);
    EXPECT_EQ(r.category, c.category);
    EXPECT_EQ(r.eventId, c.id);
    EXPECT_EQ(r.strings, c.strings);
    EXPECT_EQ(r.data, c.data);
  }
  EXPECT_TRUE(evlog::ReadLog(dir_ + "/missing.txt").empty());
}

TEST_F(EventLogTest, FailureSwitches) {
  setenv("ORN_EVENTLOG_FAIL", "register", 1);
  EXPECT_EQ(evlog::RegisterEventSource("", "Quillet"), 0u);
  EXPECT_EQ(evlog::LastError(), 5u);

  setenv("ORN_EVENTLOG_FAIL", "report", 1);
  evlog::Source s = evlog::RegisterEventSource("", "Quillet");
  ASSERT_NE(s, 0u);
  EXPECT_FALSE(evlog::ReportEvent(s, evlog::kInformation, 0, 0, {"m"}, {}));
  EXPECT_EQ(evlog::LastError(), 1502u);
  EXPECT_TRUE(evlog::DeregisterEventSource(s));

  setenv("ORN_EVENTLOG_FAIL", "report, register", 1);
  EXPECT_EQ(evlog::RegisterEventSource("", "Quillet"), 0u);
  unsetenv("ORN_EVENTLOG_FAIL");
  EXPECT_FALSE(fs::exists(log_));

  EXPECT_EQ(evlog::RegisterEventSource("", ""), 0u);
  EXPECT_EQ(evlog::LastError(), 87u);
  EXPECT_EQ(evlog::RegisterEventSource("\\\\OTHERHOST", "Quillet"), 0u);
  EXPECT_EQ(evlog::LastError(), 1722u);

  // A log that cannot be written is a failed report, not a silent success.
  setenv("ORN_EVENTLOG", (dir_ + "/no/such/dir/log.txt").c_str(), 1);
  s = evlog::RegisterEventSource("", "Quillet");
  EXPECT_FALSE(evlog::ReportEvent(s, evlog::kInformation, 0, 0, {"m"}, {}));
  EXPECT_EQ(evlog::LastError(), 3u);
  evlog::DeregisterEventSource(s);
}

TEST_F(EventLogTest, DefaultFileIsInTheTemporaryDirectory) {
  unsetenv("ORN_EVENTLOG");
  const char* old = getenv("ORN_TEMP_PATH");
  std::string saved = old ? old : "";
  setenv("ORN_TEMP_PATH", dir_.c_str(), 1);
  evlog::Source s = evlog::RegisterEventSource("", "Glimpra");
  ASSERT_TRUE(evlog::ReportEvent(s, evlog::kError, 1, 2, {"x"}, {}));
  evlog::DeregisterEventSource(s);
  auto records = evlog::ReadLog(dir_ + "/orn-eventlog.txt");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].source, "Glimpra");

  // The temporary folder is everyone's: a link planted under the log's name
  // is not followed into another file.
  const std::string shared = dir_ + "/shared", victim = dir_ + "/victim.txt";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, shared + "/orn-eventlog.txt");
  setenv("ORN_TEMP_PATH", shared.c_str(), 1);
  s = evlog::RegisterEventSource("", "Glimpra");
  EXPECT_FALSE(evlog::ReportEvent(s, evlog::kError, 1, 2, {"x"}, {}));
  EXPECT_EQ(evlog::LastError(), 5u);
  evlog::DeregisterEventSource(s);
  EXPECT_EQ(ReadFile(victim), "precious");

  if (old) setenv("ORN_TEMP_PATH", saved.c_str(), 1);
  else unsetenv("ORN_TEMP_PATH");
}

}  // namespace
