#include "docviewer/framework/ornmodule.h"

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/fwtest.h"
#include "docviewer/framework/sysexcept.h"
#include "docviewer/framework/txerror.h"

namespace {

class OrnModuleTest : public fwtest::Sandbox {
 protected:
  void TearDown() override {
    shm::RemoveFileMapping(COrnModule::kSharedMemName);
    Sandbox::TearDown();
  }
  // The events of one application error id (the message library's own
  // "Read RegKey" warning comes along: the test registry names none).
  std::vector<evlog::Record> EventsOf(const std::string& id) const {
    std::vector<evlog::Record> found;
    for (const evlog::Record& r : Events())
      if (r.strings.size() > 1 && r.strings[1] == id) found.push_back(r);
    return found;
  }
};

TEST_F(OrnModuleTest, ModuleOfTheViewer) {
  COrnModule module(u"Lumoret", 0, 3, 4);
  EXPECT_EQ(CComModuleEx::Module(), &module);
  EXPECT_EQ(module.EventSourceName(), u"ORN4");
  ASSERT_EQ(module.EventLogCount(), 1);
  ASSERT_NE(module.SysLog(), nullptr);
  EXPECT_EQ(module.SysLog()->SourceName(), u"ORN4");
  EXPECT_EQ(module.TraceLvl(0), 3);
  EXPECT_EQ(module.Reg().path(), "SOFTWARE\\Dornvale\\ORN\\SysParam");

  SetDword("SOFTWARE\\Dornvale\\ORN\\SysParam", "LogLevel", 5);
  ASSERT_TRUE(module.Init(nullptr));
  EXPECT_EQ(module.TraceLvl(0), 5);
  EXPECT_EQ(module.MinSeverity(), 5);

  EXPECT_FALSE(module._LogEvt(4, "MFrame::OnCreate", 0, 0, 0, nullptr, 0, nullptr, "below the level"));
  EXPECT_TRUE(module._LogEvt(5, "MFrame::OnCreate", 0, 0, 0, nullptr, 0, nullptr, "Lade %s ...", "brief.rtf"));
  std::vector<evlog::Record> events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].source, "ORN4");
  EXPECT_EQ(events[0].category, 4);  // the module's default category
  EXPECT_EQ(events[0].eventId, 0xC0210021u);
  EXPECT_EQ(events[0].strings[2], "MFrame::OnCreate (Lumoret)");
  EXPECT_EQ(events[0].strings[3], "Lade brief.rtf ...");

  module.Term();
  module.Term();
  EXPECT_EQ(module.SysLog(), nullptr);
  EXPECT_FALSE(module._LogEvt(6, "after", 0, 0, 0, nullptr, 0, nullptr, "x"));
}

TEST_F(OrnModuleTest, MissingLogLevelIsFourAndLoggedAsWarning) {
  SetDword("SOFTWARE\\Dornvale\\ORN\\SysParam", "MaxHits", 1);  // the key, without "LogLevel"
  COrnModule module(u"Lumoret", 0, 3, 4);
  ASSERT_TRUE(module.Init(nullptr));
  EXPECT_EQ(module.TraceLvl(0), 4);
  std::vector<evlog::Record> events = EventsOf("C0200066");
  ASSERT_EQ(events.size(), 1u);  // the unreadable value, as a warning
  EXPECT_EQ(events[0].type, evlog::kWarning);
}

TEST_F(OrnModuleTest, SharedMemoryIsMappedReadOnlyOnce) {
  COrnModule module(u"Lumoret", 1, 3, 4);
  EXPECT_EQ(module.MapSharedMem(TXError::exec_log), nullptr);
  std::vector<evlog::Record> events = EventsOf("C0200100");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, evlog::kWarning);
  try {
    module.MapSharedMem(TXError::exec_show);
    FAIL() << "not raised";
  } catch (const TXError& e) {
    EXPECT_EQ(e.m_hr, apperr::kSharedMem);
    EXPECT_EQ(e.m_extError, 2u);
  }

  const uint8_t block[] = {'O', 'R', 'N', '4'};
  ASSERT_EQ(shm::CreateFileMapping(COrnModule::kSharedMemName, block), shm::kSuccess);
  const void* view = module.MapSharedMem(TXError::exec_show);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(module.SharedMemSize(), 4u);
  EXPECT_EQ(static_cast<const char*>(view)[3], '4');
  EXPECT_EQ(module.MapSharedMem(TXError::exec_show), view);

  // Read-only: a write is an access violation.
  try {
    SysExcept::Guard([&] { *const_cast<volatile char*>(static_cast<const char*>(view)) = 'x'; });
    FAIL() << "write went through";
  } catch (const SysExcept& e) {
    std::u16string text;
    e.Description(&text, nullptr);
    EXPECT_EQ(text.rfind(u"Access Violation (Write ", 0), 0u) << fw::Utf8(text);
  }

  module.freeShMem();
  module.freeShMem();  // nothing left to free
  EXPECT_EQ(module.SharedMemSize(), 0u);
  EXPECT_NE(module.MapSharedMem(TXError::exec_show), nullptr);  // mapped again; the destructor frees it
}

TEST_F(OrnModuleTest, DestroyedWithoutEverMappingOrShuttingDown) {
  auto module = std::make_unique<COrnModule>(u"Lumoret", 1, 0, 4);
  EXPECT_EQ(module->TraceLvl(0), 4);  // logger level 0 means 4
  module->ShutDown(false);
  EXPECT_NO_THROW(module.reset());
  EXPECT_EQ(CComModuleEx::Module(), nullptr);
}

}  // namespace
