#include "platform/eventlog/eventlog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

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
  // A pipe without a reader fails the report at once instead of holding the
  // program; reading one back finds no records instead of blocking.
  const std::string pipe = dir_ + "/pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  setenv("ORN_EVENTLOG", pipe.c_str(), 1);
  EXPECT_FALSE(evlog::ReportEvent(s, evlog::kInformation, 0, 0, {"m"}, {}));
  EXPECT_EQ(evlog::LastError(), 29u);
  EXPECT_TRUE(evlog::ReadLog(pipe).empty());
  evlog::DeregisterEventSource(s);
}

struct SystemLogLine {
  std::string ident;
  int priority;
  std::string message;
};
std::vector<SystemLogLine> g_systemLog;
void Capture(const std::string& ident, int priority, const std::string& message) {
  g_systemLog.push_back({ident, priority, message});
}

// Without ORN_EVENTLOG the records go to the system log (syslog(3), seen
// here through the writer it is called by), and no file is written.
TEST_F(EventLogTest, WithoutAFileRecordsGoToTheSystemLog) {
  unsetenv("ORN_EVENTLOG");
  const char* old = getenv("ORN_TEMP_PATH");
  std::string saved = old ? old : "";
  setenv("ORN_TEMP_PATH", dir_.c_str(), 1);
  g_systemLog.clear();
  evlog::SystemLogWriter previous = evlog::SetSystemLogWriterForTest(&Capture);
  evlog::Source s = evlog::RegisterEventSource("", "Quillet");
  std::string data = "20240506 070809";
  struct Case {
    uint16_t type;
    int priority;
  } cases[] = {{evlog::kError, LOG_ERR},          {evlog::kWarning, LOG_WARNING},
               {evlog::kInformation, LOG_INFO},    {evlog::kSuccess, LOG_INFO},
               {evlog::kAuditSuccess, LOG_NOTICE}, {evlog::kAuditFailure, LOG_WARNING}};
  for (const Case& c : cases)
    EXPECT_TRUE(evlog::ReportEvent(s, c.type, 4, 0x40210027, {"Ended RC= 1", "a|b\nc"}, {}));
  EXPECT_TRUE(evlog::ReportEvent(s, evlog::kInformation, 0, 0, {"Started:06.05.2024 07:08:09"},
                                 std::vector<uint8_t>(data.begin(), data.end())));
  evlog::DeregisterEventSource(s);
  evlog::SetSystemLogWriterForTest(previous);
  ASSERT_EQ(g_systemLog.size(), std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(g_systemLog[i].ident, "Quillet");
    EXPECT_EQ(g_systemLog[i].priority, cases[i].priority) << cases[i].type;
    EXPECT_EQ(g_systemLog[i].message, "Ended RC= 1 | a\\|b\\nc [category 4, event 0x40210027]");
  }
  EXPECT_EQ(g_systemLog.back().message,
            "Started:06.05.2024 07:08:09 [category 0, event 0x00000000, data 323032343035303620303730383039]");
  EXPECT_TRUE(fs::is_empty(dir_));
  if (old) setenv("ORN_TEMP_PATH", saved.c_str(), 1);
  else unsetenv("ORN_TEMP_PATH");
}

TEST_F(EventLogTest, FileInAFolderOthersCanWriteIsNeverAPlantedLink) {
  // As in /tmp: a link planted under the log file's name is not followed
  // into another file.
  const std::string shared = dir_ + "/shared", victim = dir_ + "/victim.txt";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  std::ofstream(victim) << "precious";
  fs::create_symlink(victim, shared + "/events.txt");
  setenv("ORN_EVENTLOG", (shared + "/events.txt").c_str(), 1);
  evlog::Source s = evlog::RegisterEventSource("", "Glimpra");
  EXPECT_FALSE(evlog::ReportEvent(s, evlog::kError, 1, 2, {"x"}, {}));
  EXPECT_EQ(evlog::LastError(), 5u);
  evlog::DeregisterEventSource(s);
  EXPECT_EQ(ReadFile(victim), "precious");
}

}  // namespace
