#include "docviewer/framework/evtlogsys.h"

#include <atomic>
#include <thread>
#include <vector>

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/fwtest.h"

namespace {

using EventLogTest = fwtest::Sandbox;

LogRecord Record(uint32_t kind, int severity, uint32_t appError, bool sysText) {
  LogRecord r;
  r.kind = kind;
  r.severity = severity;
  r.category = 4;
  r.txNr = 0x1A2B;
  r.source = u"MFrame::OnCreate (Lumoret)";
  r.appError = appError;
  r.message = u"Dokument geladen";
  r.sysError = 5;
  r.sysErrorText = u"as text";
  if (sysText) r.sysText = u"Access is denied.";
  return r;
}

TEST_F(EventLogTest, EventIdsTypesAndStringsOfEachKind) {
  struct Case {
    LogRecord record;
    uint32_t eventId;
    uint16_t type;
    size_t strings;
  };
  const Case cases[] = {
      {Record(LogRecord::sys_except, 6, 0xC0220017, false), 0xC0220023, evlog::kError, 5},
      {Record(LogRecord::int_except, 5, 0xC0200040, true), 0xC0220024, evlog::kError, 5},
      {Record(LogRecord::log_call, 2, 0, false), 0x40210027, evlog::kInformation, 4},
      {Record(LogRecord::log_call, 3, 0xC0200048, true), 0x40210028, evlog::kInformation, 6},
      {Record(LogRecord::log_call, 6, 0xC0200048, false), 0xC0220011, evlog::kError, 4},
      {Record(LogRecord::log_call, 5, 0xC0220019, true), 0xC0220012, evlog::kError, 6},
      {Record(LogRecord::log_call, 4, 0xC0200066, true), 0xC0210022, evlog::kWarning, 6},
      {Record(LogRecord::log_call, 5, 0xC0200066, false), 0xC0210021, evlog::kError, 4},
  };
  EvtLogSystem logger(u"ORN4", 0);
  for (const Case& c : cases) EXPECT_EQ(logger.intLogMsg(c.record), 0);
  std::vector<evlog::Record> events = Events();
  ASSERT_EQ(events.size(), std::size(cases));
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].source, "ORN4");
    EXPECT_EQ(events[i].eventId, cases[i].eventId) << i;
    EXPECT_EQ(events[i].type, cases[i].type) << i;
    EXPECT_EQ(events[i].category, 4);
    EXPECT_EQ(events[i].strings.size(), cases[i].strings) << i;
  }
  EXPECT_EQ(events[0].strings, (std::vector<std::string>{"1A2B", "C0220017", "MFrame::OnCreate (Lumoret)",
                                                         "Dokument geladen", "as text"}));
  EXPECT_EQ(events[2].strings, (std::vector<std::string>{"1A2B", "", "MFrame::OnCreate (Lumoret)",
                                                         "Dokument geladen"}));
  EXPECT_EQ(events[6].strings[4], "00000005");
  EXPECT_EQ(events[6].strings[5], "Access is denied.");
}

TEST_F(EventLogTest, EmptyFieldsAndRawData) {
  EvtLogSystem logger(u"ORN4", 0);
  LogRecord r;
  r.severity = 4;
  r.message = u"no txNr";
  r.sysText = u"";
  const uint8_t data[] = {0xDE, 0xAD};
  r.data = data;
  r.dataSize = 2;
  EXPECT_EQ(logger.intLogMsg(r), 0);
  std::vector<evlog::Record> events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].strings, (std::vector<std::string>{"", "", "", "no txNr", "", ""}));
  EXPECT_EQ(events[0].data, (std::vector<uint8_t>{0xDE, 0xAD}));
}

TEST_F(EventLogTest, FailedRegistrationIsFinal) {
  setenv("ORN_EVENTLOG_FAIL", "register", 1);
  EvtLogSystem logger(u"ORN4", 0);
  EXPECT_EQ(logger.intLogMsg(Record(LogRecord::log_call, 4, 0, false)), -1);
  EXPECT_EQ(logger.Status(), EvtLogBase::els_error);
  unsetenv("ORN_EVENTLOG_FAIL");
  EXPECT_EQ(logger.intLogMsg(Record(LogRecord::log_call, 4, 0, false)), -1);  // no new attempt
  EXPECT_TRUE(Events().empty());
  EXPECT_TRUE(logger.IsValid());
}

TEST_F(EventLogTest, FailingReportIsReportedOnceThroughTheModule) {
  setenv("ORN_EVENTLOG_FAIL", "report", 1);
  auto* logger = new EvtLogSystem(u"ORN4", 0);
  CComModuleEx module(u"Test", 0, CComModuleEx::res_this, nullptr, logger, nullptr, com::kGuidNull);
  EXPECT_FALSE(module._LogEvt(4, "A::b", 0, 0, 0, nullptr, 0, nullptr, "warning only"));
  EXPECT_TRUE(Transcript().empty());  // a warning's failure is not passed on
  EXPECT_FALSE(module._LogEvt(5, "A::b", 0, 0, 0, nullptr, 0, nullptr, "an error"));
  EXPECT_EQ(logger->Status(), EvtLogBase::els_ok);  // failed this time only
  // The failure of the error goes to _LogExcept, whose record fails again
  // and is not reported a third time; nobody took it, so it is shown.
  EXPECT_EQ(Transcript(), std::vector<std::string>{
                              "msgbox | Test | 270352 | Error: ReportEvent failed\\nEvtLogSystem::reportEvent (Test) | "
                              "ok (default)"});
  unsetenv("ORN_EVENTLOG_FAIL");
  EXPECT_TRUE(module._LogEvt(5, "A::b", 0, 0, 0, nullptr, 0, nullptr, "an error"));
  EXPECT_EQ(Events().size(), 1u);
}

// Records from the unlocked path (_LogExcept) on several threads while the
// module asks the logger to release its source: every record is reported.
TEST_F(EventLogTest, RecordsFromSeveralThreadsAreAllReportedWhileTheSourceIsReleased) {
  EvtLogSystem logger(u"ORN4", 0);
  std::atomic<bool> done{false};
  std::atomic<int> failed{0};
  std::thread releaser([&] {
    while (!done) logger.FreeRes();
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&] {
      for (int i = 0; i < 100; ++i) failed += logger.intLogMsg(Record(LogRecord::int_except, 5, 0, false)) != 0;
    });
  }
  for (std::thread& w : writers) w.join();
  done = true;
  releaser.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Events().size(), 400u);
  EXPECT_EQ(logger.Status(), EvtLogBase::els_ok);
}

}  // namespace
