#include "docviewer/framework/commoduleex.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/fwtest.h"
#include "docviewer/framework/txerror.h"
#include "platform/inet/inet.h"

namespace {

using fwtest::RecordingLogger;

class ModuleTest : public fwtest::Sandbox {
 protected:
  // A batch module (no boxes) whose texts come from the module itself.
  CComModuleEx* MakeModule(EvtLogBase* logger = nullptr, int batch = 1) {
    module_ = std::make_unique<CComModuleEx>(u"Test", batch, CComModuleEx::res_this, nullptr, logger, nullptr,
                                             com::kGuidNull);
    return module_.get();
  }
  std::unique_ptr<CComModuleEx> module_;
};

TEST(CallContext, PackingTable) {
  struct Case {
    cctx ctx;
    CALLCTXPACKED packed;
  };
  const Case cases[] = {
      {{0x1234, 5, exec_background | errAsWrn}, 0x03051234},
      {{0xFFFF, 6, 0}, 0x0006FFFF},
      {{0, 0, 0}, 0},
      {{1, 0x1FF, 0x101}, 0x01FF0001},  // fields wider than their bits are cut
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CComModuleEx::packCtx(c.ctx), c.packed);
    cctx back = CComModuleEx::unpackCtx(c.packed);
    EXPECT_EQ(back.txNr, c.ctx.txNr);
    EXPECT_EQ(back.traceLvl, c.ctx.traceLvl & 0xFF);
    EXPECT_EQ(back.flags, c.ctx.flags & 0xFF);
  }
}

TEST_F(ModuleTest, TwentyFourthThreadSharesTheModuleContext) {
  auto* log = new RecordingLogger(0);
  CComModuleEx* m = MakeModule(log);
  for (uint32_t id = 1; id <= 23; ++id) EXPECT_EQ(m->addThrItem(100 + id)->thrId, 100 + id);
  EXPECT_EQ(m->ThrCount(), 24);
  EXPECT_TRUE(log->records.empty());

  // A real 24th thread.
  ThrItem* item = nullptr;
  std::thread([&] { item = m->addThrItem(0); }).join();
  EXPECT_EQ(item->thrId, kModuleCtx);
  ASSERT_EQ(log->records.size(), 1u);
  EXPECT_EQ(log->records[0].severity, 5);
  EXPECT_EQ(log->records[0].appError, apperr::kTableFull);
  EXPECT_EQ(log->records[0].source, u"CComModuleEx::addThrItem (Test)");

  // A released slot in the middle is reused; releasing the last ones shrinks the count.
  m->RelContext(105);
  EXPECT_EQ(m->addThrItem(999) - m->addThrItem(101), 4);
  for (uint32_t id = 120; id <= 123; ++id) m->RelContext(id);
  m->RelContext(119 - 1);  // 118 sits below 119: no shrink past a used slot
  EXPECT_EQ(m->ThrCount(), 20);
  m->RelContext(119);
  EXPECT_EQ(m->ThrCount(), 18);  // 119 and the free 118 go
  m->RelContext(kModuleCtx);     // refused
  EXPECT_NE(m->findThrCtx(kModuleCtx), nullptr);
}

TEST_F(ModuleTest, ContextsOfThreads) {
  CComModuleEx* m = MakeModule();
  EXPECT_EQ(m->findThrCtx(0), nullptr);
  EXPECT_THROW(m->findThrCtx(0, true), TXError);

  CALLCTXPACKED packed = CComModuleEx::packCtx({7, 3, errAsWrn});
  EXPECT_TRUE(m->setCtx(&packed, "test"));
  cctx now = CComModuleEx::unpackCtx(m->cCtx());
  EXPECT_EQ(now.txNr, 7);
  EXPECT_EQ(now.traceLvl, 3u);
  EXPECT_EQ(now.flags, errAsWrn | exec_background);  // the module's flags are added
  EXPECT_TRUE(m->ErrAsWarn(-1));

  CALLCTXPACKED other = CComModuleEx::packCtx({9, 1, 0});
  EXPECT_FALSE(m->setCtx(&other, "test"));  // the thread has one: it is handed back
  EXPECT_EQ(other, m->cCtx());

  CALLCTXPACKED badLevel = CComModuleEx::packCtx({5, 9, 0});
  EXPECT_TRUE(m->setCtx(&badLevel, "test", 77));
  EXPECT_EQ(CComModuleEx::unpackCtx(m->cCtx(77)).traceLvl, 4u);  // 9 is out of range: the default stays

  EXPECT_FALSE(m->ErrAsWarn(0));
  EXPECT_EQ(m->thrCtx().flags & errAsWrn, 0u);
}

TEST_F(ModuleTest, FifthLoggerIsRefused) {
  auto* first = new RecordingLogger(0);
  CComModuleEx* m = MakeModule(first);
  for (int i = 1; i < EVTLOGS_MAX; ++i) EXPECT_EQ(m->AddEventLog(new RecordingLogger(3)), i);
  RecordingLogger fifth(0);
  EXPECT_EQ(m->AddEventLog(&fifth), -1);  // the caller keeps what was refused
  EXPECT_EQ(m->EventLogCount(), EVTLOGS_MAX);
  ASSERT_EQ(first->records.size(), 1u);
  EXPECT_EQ(first->records[0].appError, apperr::kTableFull);
  EXPECT_TRUE(fifth.records.empty());
}

TEST_F(ModuleTest, LoggerLevelsAndRemoval) {
  int deleted = 0;
  auto* low = new RecordingLogger(2, 0, &deleted);
  auto* high = new RecordingLogger(5, 0, &deleted);
  CComModuleEx* m = MakeModule(low);
  m->AddEventLog(high);
  m->SetTraceLvl(3, 0);
  EXPECT_EQ(m->MinSeverity(), 3);
  EXPECT_FALSE(m->_LogEvt(2, nullptr, 0, 0, 0, nullptr, 0, nullptr, "below every minimum"));
  EXPECT_TRUE(m->_LogEvt(4, nullptr, 0, 0, 0, nullptr, 0, nullptr, "only low"));
  EXPECT_EQ(low->records.size(), 1u);
  EXPECT_EQ(high->records.size(), 0u);

  m->RemEventLog(0, true);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(m->MinSeverity(), 0);
  EXPECT_EQ(m->EventLogCount(), 2);  // the slot stays, the last one is still there
  m->ShutDown(false);
  EXPECT_EQ(high->freed, 1);
  m->ShutDown(true);
  m->ShutDown(true);  // again: nothing left to do
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(m->EventLogCount(), 0);
}

TEST_F(ModuleTest, LogRecordTexts) {
  auto* log = new RecordingLogger(0);
  CComModuleEx* m = MakeModule(log);
  m->SetDefCategory(4);
  struct Case {
    int sev;
    uint32_t appErr, sysErr;
    const char* format;
    const char* arg;
    std::u16string message;
    uint32_t recordAppErr;
    bool hasSysText;
  };
  const Case cases[] = {
      {3, 0, 0, nullptr, "", u"Unspecified Error", 0, false},
      {4, 0, 0, "Lade %s ...", "C:\\100%\\brief%s.rtf", u"Lade C:\\100%\\brief%s.rtf ...", 0, false},
      {4, 0, 0, "%s%s", "only one", u"*Execption/Params: %s%s", 0, false},
      {5, 0xC0200049, 0, nullptr, "", u"AppError (id=C0200049)", 0xC0200049, false},
      {5, 0, 2, nullptr, "", u"The system cannot find the file specified.", 2, false},  // the system error stands in
      {5, 0xC0200066, 2, "read", "", u"read", 0xC0200066, true},
  };
  for (const Case& c : cases) {
    log->records.clear();
    EXPECT_TRUE(m->_LogEvt(c.sev, "Unit::Case", 0, c.appErr, c.sysErr, nullptr, 0, nullptr, c.format, c.arg));
    ASSERT_EQ(log->records.size(), 1u);
    const LogRecord& r = log->records[0];
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(r.appError, c.recordAppErr);
    EXPECT_EQ(r.sysText.has_value(), c.hasSysText);
    EXPECT_EQ(r.category, 4);
    EXPECT_EQ(r.source, u"Unit::Case (Test)");
  }
  log->records.clear();
  m->_LogEvt(4, nullptr, 9, 0, 0, u"given", 0, nullptr, "%s", std::string(300, 'x'));
  ASSERT_EQ(log->records.size(), 1u);
  EXPECT_EQ(log->records[0].message, std::u16string(251, u'x') + u"..");
  EXPECT_EQ(log->records[0].sysText, u"given");
  EXPECT_FALSE(log->records[0].source.has_value());
  EXPECT_EQ(log->records[0].category, 9);
}

TEST_F(ModuleTest, ErrorsAsWarnings) {
  auto* log = new RecordingLogger(0);
  CComModuleEx* m = MakeModule(log);
  m->ErrAsWarn(1);
  m->_LogEvt(5, nullptr, 0, 0, 0, nullptr, 0, nullptr, "e");
  m->_LogEvt(6, nullptr, 0, 0, 0, nullptr, 0, nullptr, "f");
  ASSERT_EQ(log->records.size(), 2u);
  EXPECT_EQ(log->records[0].severity, 4);
  EXPECT_EQ(log->records[1].severity, 6);
}

TEST_F(ModuleTest, ExceptionRecordsAndTheirBox) {
  auto* log = new RecordingLogger(6, 2);  // refuses everything
  CComModuleEx* m = MakeModule(log, 0);    // interactive
  EXPECT_FALSE(m->_LogExcept(true, "Unit::Fault", 0xC0220017, nullptr, u"Access Violation"));
  ASSERT_EQ(log->records.size(), 1u);  // handed over although below the logger's minimum
  const LogRecord& r = log->records[0];
  EXPECT_EQ(r.kind, LogRecord::sys_except);
  EXPECT_EQ(r.severity, 6);
  EXPECT_EQ(r.category, 1);
  EXPECT_EQ(r.message, u"System Exception");
  EXPECT_EQ(r.sysErrorText, u"Access Violation");
  EXPECT_EQ(Transcript(), std::vector<std::string>{"msgbox | Test | 270352 | Fatal Error: System Exception\\n"
                                                  "Unit::Fault (Test) | ok (default)"});
}

// A logger that, like an event log that cannot write, reports its failure
// through the module while it is being called.
class FailingLogger : public EvtLogBase {
 public:
  FailingLogger() : EvtLogBase(0) {}
  int intLogMsg(const LogRecord&) override {
    ++calls;
    if (calls < 100) CComModuleEx::Module()->_LogExcept(false, "Failing::log", apperr::kInternal, u"failed", nullptr);
    return 2;
  }
  void FreeRes() override {}
  int calls = 0;
};

TEST_F(ModuleTest, FailingLoggerDoesNotRecurseThroughLogExcept) {
  auto* log = new FailingLogger;
  CComModuleEx* m = MakeModule(log);
  EXPECT_FALSE(m->_LogEvt(5, nullptr, 0, 0, 0, nullptr, 0, nullptr, "x"));
  // The record, the first failure report; the report of the report stops.
  EXPECT_EQ(log->calls, 2);
  log->calls = 0;
  EXPECT_FALSE(m->_LogExcept(false, "A::b", 0, nullptr, nullptr));
  EXPECT_EQ(log->calls, 1);
}

// A logger that holds its call open until the other thread has removed it
// (or a moment has passed, when the removal waits for the call), then
// notes whether it had been deleted in the meantime.
std::atomic<bool> g_slowLoggerDeleted{false};
class SlowLogger : public EvtLogBase {
 public:
  SlowLogger() : EvtLogBase(0) {}
  ~SlowLogger() override { g_slowLoggerDeleted = true; }
  int intLogMsg(const LogRecord&) override {
    entered = true;
    for (int i = 0; i < 200 && !removed; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    deletedInCall = g_slowLoggerDeleted.load();
    ++calls;  // a member touched after the wait: freed memory if the logger went
    return 0;
  }
  void FreeRes() override {}
  inline static std::atomic<bool> entered{false}, removed{false}, deletedInCall{false};
  int calls = 0;
};

// _LogExcept calls its loggers outside the module lock; removing a logger
// with delete meanwhile (RemEventLog or the process shut-down) must not
// free it under the running call. Under AddressSanitizer a logger freed too
// early is a use after free inside intLogMsg.
TEST_F(ModuleTest, ALoggerIsNeverDeletedWhileItIsBeingCalled) {
  for (bool shutDown : {false, true}) {
    SlowLogger::entered = SlowLogger::removed = SlowLogger::deletedInCall = false;
    g_slowLoggerDeleted = false;
    CComModuleEx* m = MakeModule(new SlowLogger);
    std::thread remover([&] {
      while (!SlowLogger::entered) std::this_thread::yield();
      if (shutDown) m->ShutDown(true);
      else m->RemEventLog(0, true);
      SlowLogger::removed = true;
    });
    EXPECT_TRUE(m->_LogExcept(true, "Unit::Fault", 0, u"fault", nullptr)) << shutDown;
    remover.join();
    EXPECT_FALSE(SlowLogger::deletedInCall) << shutDown;
    EXPECT_TRUE(g_slowLoggerDeleted) << shutDown;  // deleted once the call was over
    EXPECT_EQ(m->EventLogCount(), 0) << shutDown;
  }
}

class MessageLibraryTest : public ModuleTest {
 protected:
  std::string Catalogue(const char* version) {
    return WriteFile("ornmsg.txt", std::string("0x40210001 ") + version +
                                       "\n0xC0200048 Table %s is full\n0xC0200066 Value %s\\%s unreadable\n"
                                       "0xC0200090 Missing %s argument\n");
  }
  std::unique_ptr<CComModuleEx> Make(uint32_t mode, const char16_t* source, EvtLogBase* logger) {
    return std::make_unique<CComModuleEx>(u"Test", 1, mode, source, logger, nullptr, com::kGuidNull);
  }
};

TEST_F(MessageLibraryTest, TextsFromTheLibraryNamedByPath) {
  std::u16string path = fw::Wide(Catalogue("400 ORN messages"));
  auto m = Make(CComModuleEx::res_path, path.c_str(), nullptr);
  msgres::SetModuleCatalogue("0x80210300 own text %d\n");
  EXPECT_EQ(m->errorDesc(0xC0200048, "ThrTable"), u"Table ThrTable is full");
  EXPECT_EQ(m->errorDesc(0xC0200066, "SOFTWARE\\A", "LogLevel"), u"Value SOFTWARE\\A\\LogLevel unreadable");
  EXPECT_EQ(m->errorDesc(0xC0200090), u"AppError=C0200090 - *Execption* Invalid Params");
  EXPECT_EQ(m->errorDesc(0xC0200049), u"AppError (id=C0200049)");
  EXPECT_EQ(m->errorDesc(0x80210300, 5), u"own text 5");  // code 768 and above: the module's own
  EXPECT_EQ(m->errorDesc(0), u"No Error");
  EXPECT_EQ(m->MsgResMode(), CComModuleEx::res_path);
}

TEST_F(MessageLibraryTest, WrongVersionIsRefused) {
  auto* log = new RecordingLogger(0);
  std::u16string path = fw::Wide(Catalogue("399 old"));
  auto m = Make(CComModuleEx::res_path, path.c_str(), log);
  EXPECT_EQ(m->errorDesc(0xC0200048, "x"), u"AppError (id=C0200048)");
  EXPECT_EQ(m->MsgResMode(), CComModuleEx::res_this);
  ASSERT_EQ(log->records.size(), 1u);
  EXPECT_EQ(log->records[0].kind, LogRecord::int_except);
  EXPECT_EQ(log->records[0].appError, apperr::kMsgResVersion);
  EXPECT_EQ(log->records[0].message, u"Incompatible Version='399 old', '400' expected.");
  EXPECT_EQ(log->records[0].sysErrorText, path);
}

TEST_F(MessageLibraryTest, EventSourceEntryNamesTheLibrary) {
  auto* log = new RecordingLogger(0);
  auto m = Make(CComModuleEx::res_evtsrc, u"ORN4", log);
  EXPECT_EQ(m->errorDesc(0xC0200048, "x"), u"AppError (id=C0200048)");  // no entry yet
  ASSERT_EQ(log->records.size(), 1u);
  EXPECT_EQ(log->records[0].message, u"Read RegKey");
  EXPECT_EQ(log->records[0].severity, 4);
  m.reset();

  SetString("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ORN4", "EventMessageFile",
            Catalogue("400"), reg::kExpandString);
  m = Make(CComModuleEx::res_evtsrc, u"ORN4", nullptr);
  EXPECT_EQ(m->errorDesc(0xC0200048, "x"), u"Table x is full");
  EXPECT_EQ(m->MsgResMode(), CComModuleEx::res_path);
}

TEST_F(ModuleTest, SystemErrorTexts) {
  CComModuleEx* m = MakeModule();
  struct Case {
    uint32_t error;
    bool found;
    std::u16string text;
  };
  const Case cases[] = {
      {0, true, u"No Error (0)"},
      {2, true, u"The system cannot find the file specified."},  // the platform's text without its line break
      {0x80200005, true, u"Appl.80200005"},
      {0xC0220017, true, u"Appl.C0220017"},
      {12007, true, u"The server name cannot be resolved."},
      {12174, false, u"unknown 2F8E"},
      {0xDEAD, false, u"unknown DEAD"},
  };
  for (const Case& c : cases) {
    std::u16string text;
    EXPECT_EQ(m->sysErrorDesc(c.error, &text), c.found) << c.error;
    EXPECT_EQ(text, c.text) << c.error;
  }
}

TEST_F(ModuleTest, InternetLibraryThatCannotLoadIsNotRetried) {
  inet::FailLoadForTest(true);
  CComModuleEx* m = MakeModule();
  std::u16string text;
  EXPECT_FALSE(m->sysErrorDesc(12007, &text));
  inet::FailLoadForTest(false);
  EXPECT_FALSE(m->sysErrorDesc(12007, &text));  // the failed load is remembered
}

TEST_F(ModuleTest, MessageBoxText) {
  CComModuleEx* m = MakeModule();
  m->MsgBox(0, 5, u"Datei fehlt", u"Nochmals?", nullptr, 0x10);
  m->MsgBox(7, 2, u"Info only", nullptr, u"Caption", 0);
  m->MsgBox(7, 9, u"above 6", nullptr, u"C", 0);
  EXPECT_EQ(Transcript(), (std::vector<std::string>{
                              "msgbox | Test | 270352 | Error: Datei fehlt\\nNochmals? | ok (default)",
                              "msgbox | Caption | 0 | Info only | ok (default)",
                              "msgbox | C | 0 | Error: above 6 | ok (default)"}));
}

TEST_F(ModuleTest, ModulePath) {
  CComModuleEx* m = MakeModule();
  std::string full;
  ASSERT_TRUE(m->GetModulePath(&full, 0));
  std::filesystem::path self(full);
  EXPECT_EQ(self.filename(), "framework_test");
  const std::string dir = self.parent_path().string();
  struct Case {
    uint32_t type;
    const char* replacement;
    bool ok;
    std::string path;
  };
  const Case cases[] = {
      {0x100, nullptr, true, full},
      {1, nullptr, true, dir},
      {2, nullptr, true, "framework_test"},
      {2, ".ini", true, "framework_test.ini"},
      {0, ".", true, full},  // no extension to remove
      {0, "other.cfg", true, dir + "/other.cfg"},
      {1, "x", false, ""},
      {3, nullptr, false, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(m->GetModulePath(&out, c.type, c.replacement), c.ok) << c.type;
    if (c.ok) {
      EXPECT_EQ(out, c.path) << c.type;
    }
  }
  std::string ini;
  ASSERT_TRUE(m->GetModulePath(&ini, 2, ".ini"));
  std::string back;
  ASSERT_TRUE(m->GetModulePath(&back, 0, ini.c_str()));
  EXPECT_EQ(back, dir + "/framework_test.ini");
}

TEST_F(ModuleTest, ErrorInfoOfTheThread) {
  CComModuleEx* m = MakeModule();
  const com::Guid iid{0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  ASSERT_TRUE(m->SetIErrorInfo("Ctl::Put", u"bad value", true, &iid, u"help.chm", 42));
  std::shared_ptr<com::ErrorInfo> info = com::GetErrorInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->description, u"Ctl::Put(bad value)");
  EXPECT_TRUE(info->guid == iid);
  EXPECT_EQ(info->helpFile, u"help.chm");
  EXPECT_EQ(info->helpContext, 42u);
  EXPECT_EQ(com::GetErrorInfo(), nullptr);  // taken

  TXError error(0xC0200049, 5, "Ctl::Get");
  EXPECT_EQ(error.SetCOMErrorInfo(nullptr, nullptr, 0), 0xC0200049u);
  info = com::GetErrorInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->description, u"Ctl::Get(AppError (id=C0200049)\nAccess is denied.)");
  EXPECT_EQ(TXError(0).SetCOMErrorInfo(nullptr, nullptr, 0), 0x80004005u);
}

TEST_F(ModuleTest, ProgramIdOfTheClassNamesTheSource) {
  const com::Guid clsid{0xA1B2C3D4, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};
  reg::Key key = 0;
  ASSERT_EQ(reg::CreateKey(reg::Hive::ClassesRoot, "CLSID\\" + com::GuidText(clsid) + "\\ProgID", &key),
            reg::kSuccess);
  reg::SetString(key, "", "OrnViewer.Document.1");
  reg::CloseKey(key);
  auto* log = new RecordingLogger(0);
  CComModuleEx m(u"Test", 1, CComModuleEx::res_this, nullptr, log, &clsid, com::kGuidNull);
  EXPECT_EQ(m.ProgId(), u"OrnViewer");
  m._LogEvt(4, "Doc::Load", 0, 0, 0, nullptr, 0, nullptr, "x");
  ASSERT_EQ(log->records.size(), 1u);
  EXPECT_EQ(log->records[0].source, u"Doc::Load (OrnViewer)");

  const com::Guid unknown{1, 2, 3, {}};
  CComModuleEx fallback(u"Test", 1, CComModuleEx::res_this, nullptr, nullptr, &unknown, com::kGuidNull);
  EXPECT_EQ(fallback.ProgId(), u"");
}

TEST_F(ModuleTest, LibraryEntryPoint) {
  auto* log = new RecordingLogger(0);
  CComModuleEx* m = MakeModule(log);
  int instance = 0;
  EXPECT_TRUE(m->DllMain(&instance, 1));
  EXPECT_EQ(m->GetModuleInstance(), &instance);
  EXPECT_NE(m->findThrCtx(0), nullptr);
  std::thread([&] { EXPECT_TRUE(m->DllMain(&instance, 2)); }).join();
  EXPECT_EQ(m->ThrCount(), 3);
  EXPECT_TRUE(m->DllMain(&instance, 0));
  EXPECT_EQ(m->ThrCount(), 1);
  EXPECT_EQ(m->EventLogCount(), 0);
  EXPECT_EQ(m->GetModuleInstance(), nullptr);
}

TEST(SeverityNames, Table) {
  const std::pair<int, std::string> cases[] = {{0, "None"}, {1, "Info"}, {3, "Info"}, {4, "Warning"},
                                               {5, "Error"}, {6, "Fatal Error"}, {7, "???"}};
  for (const auto& [sev, name] : cases) EXPECT_EQ(SeverityName(sev), name);
}

}  // namespace
