#include "scanclient/core/error_tail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/eventlog/eventlog.h"
#include "platform/runtime/error.h"
#include "scanclient/core/core_test_env.h"

namespace quillet {
namespace {

using testing::CoreTest;
using testing::ProgramEnded;
using testing::ReadLines;
using Lines = std::vector<std::string>;

class ErrorTailTest : public CoreTest {
 protected:
  // Runs `body` in a scope and returns the exit code the tail ended with.
  template <class Body>
  int32_t EndCode(ProcScope& p, Body body) {
    try {
      p.Run(body);
    } catch (const ProgramEnded& e) {
      return e.code;
    }
    ADD_FAILURE() << "the program did not end";
    return 12345;
  }
  Lines Transcript() const { return ReadLines(TranscriptFile()); }
  std::vector<evlog::Record> Events() const { return evlog::ReadLog(EventLogFile().string()); }
};

TEST_F(ErrorTailTest, DirectFatalLogsShowsAndExitsWithoutSummary) {
  App.DebugLevel = 9;
  ProcScope p("Load", Tail::Direct);
  EXPECT_EQ(EndCode(p, [&] { p.ErrorExit(-5, "Too few parameters"); }), -5);
  EXPECT_EQ(Log(), (Lines{"2024-05-06 07:08:09 BEG-Load", "2024-05-06 07:08:09 Error:-5=Too few parameters"}));
  ASSERT_EQ(Transcript().size(), 1u);
  EXPECT_NE(Transcript()[0].find("| Quillet |"), std::string::npos);
  EXPECT_NE(Transcript()[0].find("Error:-5=Too few parameters"), std::string::npos);
  EXPECT_TRUE(Events().empty());
}

TEST_F(ErrorTailTest, NoExitCodeOnADevelopmentMachine) {
  App.UseExitCode = false;
  ProcScope p("Load", Tail::Direct);
  EXPECT_EQ(EndCode(p, [&] { p.ErrorExit(-6, "INI file not found!"); }), 0);
}

TEST_F(ErrorTailTest, ExitNowFatalWritesSummaryAndEventRecord) {
  App.DebugLevel = 1;
  App.TempPath = "/tmp/";
  App.ComputerName = "PC1";
  App.UserName = "ANNA";
  ProcScope p("ReadIni", Tail::ExitNow);
  EXPECT_EQ(EndCode(p, [&] { p.ErrorExit(-20, "no image"); }), -20);
  std::string summary = "Ended RC=-20:06.05.2024 07:08:09;/tmp/;PC1;ANNA;" + App.IniPath + ";" + App.LogPath;
  EXPECT_EQ(Log(), (Lines{"2024-05-06 07:08:09 Error:-20=no image", "2024-05-06 07:08:09 BEG-ExitNow,-20",
                          "2024-05-06 07:08:09 " + summary}));
  auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].strings, (Lines{"Ended RC=-20:06.05.2024 07:08:09"}));
  EXPECT_EQ(std::string(events[0].data.begin(), events[0].data.end()), "20240506 070809");
}

TEST_F(ErrorTailTest, ExitNowWritesNoLogLinesAtLevelZero) {
  EXPECT_THROW(ExitNow(-9), ProgramEnded);
  EXPECT_FALSE(std::filesystem::exists(App.LogPath));
  ASSERT_EQ(Events().size(), 1u);
  EXPECT_EQ(Events()[0].strings[0].rfind("Ended RC=-9:", 0), 0u);
}

TEST_F(ErrorTailTest, RunTimeErrorThroughExitNowEndsWithTheErrorNumber) {
  App.rc = 0;
  ProcScope p("Tool", Tail::ExitNow, "3");
  EXPECT_EQ(EndCode(p, [&] {
              p.step = 2;
              rt::Raise(rt::kSubscriptOutOfRange);
            }),
            9);
  EXPECT_EQ(Log(), (Lines{"2024-05-06 07:08:09 Error: 9/ 0=Subscript out of range in Tool Step- 2"}));
  ASSERT_EQ(Transcript().size(), 1u);
  EXPECT_NE(Transcript()[0].find("| Error ! |"), std::string::npos);
  EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ErrorTailTest, DirectRunTimeErrorAbandonsTheProcedureAndGoesOn) {
  App.rc = -3;
  bool rest = false;
  ProcScope p("Resize", Tail::Direct);
  EXPECT_FALSE(p.Run([&] {
    p.step = 0;
    rt::Raise(rt::kOverflow);
    rest = true;
  }));
  EXPECT_FALSE(rest);
  EXPECT_EQ(p.errorNumber(), rt::kOverflow);
  EXPECT_EQ(Log(), (Lines{"2024-05-06 07:08:09 Error: 6/-3=Overflow in Resize Step- 0"}));
  EXPECT_TRUE(Events().empty());
}

TEST_F(ErrorTailTest, ConversionModeRecordsTheErrorAndContinues) {
  ProcScope p("ReadIni", Tail::ExitNow);
  bool after = false;
  EXPECT_EQ(EndCode(p, [&] {
              p.step = -1;
              EXPECT_FALSE(p.Try([] { rt::Raise(rt::kFileNotFound); }));
              EXPECT_EQ(p.code, -53);
              after = true;
              p.step = 1;
              p.ErrorExit();
            }),
            -53);
  EXPECT_TRUE(after);
  EXPECT_EQ(Log().front(), "2024-05-06 07:08:09 Error:-53=File not found");
}

TEST_F(ErrorTailTest, OutsideConversionModeTryLeavesTheErrorToTheTail) {
  ProcScope p("ReadIni", Tail::ExitNow);
  EXPECT_EQ(EndCode(p, [&] {
              p.step = 5;
              p.Try([] { rt::Raise(rt::kFileNotFound); });
            }),
            53);
}

TEST_F(ErrorTailTest, EntryLineFromLevelEightWithArguments) {
  for (int16_t level : {7, 8}) {
    App.DebugLevel = level;
    ProcScope p("EnDisGUI", Tail::ExitNow, "-1");
    EXPECT_TRUE(p.Run([] {}));
  }
  EXPECT_EQ(Log(), (Lines{"2024-05-06 07:08:09 BEG-EnDisGUI,-1"}));
}

TEST_F(ErrorTailTest, UnwritableLogStillEndsWithTheCode) {
  App.DebugLevel = 1;
  App.LogPath = (Prog() / "missing-dir" / "Quillet.log").string();
  ProcScope p("ShowInf", Tail::ExitNow);
  EXPECT_EQ(EndCode(p, [&] { p.ErrorExit(-7, "x"); }), -7);
  EXPECT_EQ(Transcript().size(), 1u);
  EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ErrorTailTest, UnwritableEntryLineIsReportedAsARunTimeError) {
  App.DebugLevel = 8;
  App.LogPath = (Prog() / "missing-dir" / "Quillet.log").string();
  ProcScope p("CheckPage", Tail::ExitNow);
  int32_t code = EndCode(p, [] {});
  EXPECT_GT(code, 0);
  ASSERT_EQ(Transcript().size(), 1u);
  EXPECT_NE(Transcript()[0].find("in CheckPage Step- 0"), std::string::npos);
}

}  // namespace
}  // namespace quillet
