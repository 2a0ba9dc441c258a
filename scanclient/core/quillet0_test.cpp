#include "scanclient/core/quillet0.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/eventlog/eventlog.h"
#include "platform/runtime/error.h"
#include "scanclient/core/core_test_env.h"

namespace quillet {
namespace {

using testing::CoreTest;
using testing::ReadLines;
using testing::ReadText;

class GetIniTest : public CoreTest {};

TEST_F(GetIniTest, CutsInlineCommentsAndLongValues) {
  WriteIni("[Quality]\r\nTrimSample=400 !!comment\r\nNote=abc  !!x\r\nLead=!!all comment\r\n"
           "Long=" + std::string(600, 'x') + "\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::string value;
  } cases[] = {
      {"Quality", "TrimSample", "400 "},
      {"quality", "note", "abc  "},
      {"Quality", "Lead", ""},
      {"Quality", "Long", std::string(511, 'x')},
      {"Quality", "Missing", ""},
      {"Nowhere", "TrimSample", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(GetIni(c.section, c.key), c.value) << c.key;
}

TEST_F(GetIniTest, MissingFileReadsEmpty) { EXPECT_EQ(GetIni("General", "Title"), ""); }

class LogLineTest : public CoreTest {};

TEST_F(LogLineTest, AppendsStampedLinesWithCrLf) {
  LogLine("first");
  LogLine("Error:-5=Too few parameters");
  EXPECT_EQ(ReadText(App.LogPath),
            "2024-05-06 07:08:09 first\r\n2024-05-06 07:08:09 Error:-5=Too few parameters\r\n");
}

TEST_F(LogLineTest, FallsBackToDriveCUntilLogPathIsSet) {
  App.LogPath.clear();
  LogLine("early");
  EXPECT_EQ(ReadLines(DriveC() / "Quillet.log"), (std::vector<std::string>{"2024-05-06 07:08:09 early"}));
}

TEST_F(LogLineTest, UnwritableLogRaisesToTheCallerNamingTheFile) {
  App.LogPath = (Prog() / "no-such-dir" / "x.log").string();
  try {
    LogLine("lost");
    ADD_FAILURE() << "no error";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), rt::kPathNotFound);
    EXPECT_EQ(e.description(), rt::ErrorDescription(rt::kPathNotFound) + " (" + App.LogPath + ")");
  }
}

TEST(RoundInt, HalvesRoundUp) {
  struct Case {
    double x;
    int16_t expected;
  } cases[] = {{0.49999, 0}, {0.5, 1}, {-0.5, 0}, {-0.51, -1}, {2.5, 3}, {-2.5, -2},
               {32767.4, 32767}, {-32768.0, -32768}};
  for (const Case& c : cases) EXPECT_EQ(RoundInt(c.x), c.expected) << c.x;
}

TEST(RoundInt, OutsideSixteenBitsOverflows) {
  for (double x : {32767.5, -32768.6, 1e9}) {
    try {
      RoundInt(x);
      ADD_FAILURE() << x;
    } catch (const rt::RuntimeError& e) {
      EXPECT_EQ(e.number(), rt::kOverflow);
    }
  }
}

class LogEventTest : public CoreTest {
 protected:
  void TearDown() override {
    unsetenv("ORN_EVENTLOG_FAIL");
    CoreTest::TearDown();
  }
};

TEST_F(LogEventTest, WritesOneInformationRecordUnderTheTitle) {
  LogEvent("Started:06.05.2024 07:08:09", evlog::kInformation, 0, "20240506 070809");
  auto records = evlog::ReadLog(EventLogFile().string());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].source, "Quillet");
  EXPECT_EQ(records[0].type, 4);
  EXPECT_EQ(records[0].category, 0);
  EXPECT_EQ(records[0].eventId, 0u);
  EXPECT_EQ(records[0].strings, (std::vector<std::string>{"Started:06.05.2024 07:08:09"}));
  std::string data(records[0].data.begin(), records[0].data.end());
  EXPECT_EQ(data, "20240506 070809");
  EXPECT_FALSE(std::filesystem::exists(TranscriptFile()));
}

TEST_F(LogEventTest, UnregisteredSourceIsSkippedSilently) {
  setenv("ORN_EVENTLOG_FAIL", "register", 1);
  LogEvent("x", evlog::kInformation, 0, "d");
  EXPECT_TRUE(evlog::ReadLog(EventLogFile().string()).empty());
  EXPECT_FALSE(std::filesystem::exists(TranscriptFile()));
}

TEST_F(LogEventTest, FailedReportShowsOneBoxPerCall) {
  setenv("ORN_EVENTLOG_FAIL", "report", 1);
  LogEvent("x", evlog::kInformation, 0, "d");
  LogEvent("y", evlog::kInformation, 0, "d");
  auto lines = ReadLines(TranscriptFile());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("Quillet"), std::string::npos);
  EXPECT_NE(lines[0].find("Error writing to event log:1502"), std::string::npos);
}

}  // namespace
}  // namespace quillet
