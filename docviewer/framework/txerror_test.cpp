#include "docviewer/framework/txerror.h"

#include <algorithm>
#include <filesystem>
#include <thread>
#include <vector>

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/fwtest.h"
#include "docviewer/framework/sysexcept.h"
#include "platform/uiscript/uiscript.h"

namespace {

using fwtest::RecordingLogger;

class TXErrorTest : public fwtest::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    std::string path = WriteFile("msg.txt", "0x40210001 400\n0xC0200048 Table %s is full\n0x40200050 Note %d\n");
    log_ = new RecordingLogger(0);
    std::u16string wide = fw::Wide(path);
    module_ = std::make_unique<CComModuleEx>(u"Test", 0, CComModuleEx::res_path, wide.c_str(), log_, nullptr,
                                             com::kGuidNull);
  }
  RecordingLogger* log_ = nullptr;
  std::unique_ptr<CComModuleEx> module_;
};

TEST_F(TXErrorTest, IdsSeveritiesAndTexts) {
  struct Case {
    uint32_t hr, sysErr;
    fw::FmtArg arg;
    int sev;
    std::u16string descr, sysText;
  };
  const Case cases[] = {
      {0xC0200048, 0, "ThrTable", 5, u"Table ThrTable is full", u""},
      {0x40200050, 0, 7, 4, u"Note 7", u""},                      // informational id of the suite: a warning
      {0x40070050, 0, 7, 5, u"AppError (id=40070050)", u""},      // of another facility: an error
      {0xC0200049, 2, 0, 5, u"AppError (id=C0200049)", u"The system cannot find the file specified."},
      {0xC0200049, E_FAIL_HR, 0, 5, u"AppError (id=C0200049)", u""},
      {0xC0200049, 0xDEAD, 0, 5, u"AppError (id=C0200049)", u""},  // no text: empty
      {0xC0200049, 12029, 0, 5, u"AppError (id=C0200049)", u"No connection to the server can be made."},
      {0, 5, 0, 5, u"", u"Access is denied."},
  };
  for (const Case& c : cases) {
    TXError e(c.hr, c.sysErr, "Unit::Case", c.arg);
    EXPECT_EQ(e.m_sev, c.sev) << std::hex << c.hr;
    EXPECT_EQ(e.m_descr, c.descr) << std::hex << c.hr;
    EXPECT_EQ(e.m_sysText, c.sysText) << c.sysErr;
  }
  TXError given(0xC0200048, u"own text", 5, "Unit::Case", "X");
  EXPECT_EQ(given.m_sysText, u"own text");
  TXError categorised(EvtCat{12}, 0xC0200048, 0, nullptr, "Unit::Case", "Y");
  EXPECT_EQ(categorised.m_category, 12);
  EXPECT_EQ(categorised.m_descr, u"Table Y is full");
  TXError plain(0xC0200048);
  EXPECT_EQ(plain.m_sev, 5);
  EXPECT_TRUE(plain.m_descr.empty());
}

TEST_F(TXErrorTest, StdHResult) {
  struct Case {
    uint32_t hr, sysErr, result;
  };
  const Case cases[] = {
      {0xC0200048, 0, 0xC0200048},
      {0xC0210018, 5, 0x80070005},  // facility 0x021 reports the system error
      {0xC0210018, 0, 0x80004005},
      {0, 0, 0x80004005},
      {0x40200001, 0, 0xC0200001},
      {87, 0, 0x80070057},
      {0x00123456, 0, 0x80123456},
  };
  for (const Case& c : cases) {
    TXError e(c.hr);
    e.m_extError = c.sysErr;
    EXPECT_EQ(e.StdHResult(), c.result) << std::hex << c.hr;
  }
}

TEST_F(TXErrorTest, BatchModeDecidesWithoutABox) {
  module_->SetBackgrnd();
  struct Case {
    uint32_t flags;
    int answer;
  };
  for (const Case& c : {Case{TXError::xf_resume, 4}, Case{TXError::xf_ignoreable, 5}, Case{0, 3}}) {
    TXError e(0xC0200048, 0, "Unit::Batch", "T");
    e.ExcFlags(c.flags);
    EXPECT_EQ(e.Show(), c.answer);
    EXPECT_TRUE(e.m_xflags & TXError::xf_displayed);
  }
  EXPECT_TRUE(Transcript().empty());
  EXPECT_EQ(log_->records.size(), 3u);  // severity 5: logged each time
}

TEST_F(TXErrorTest, HiddenDesktopCountsAsBatch) {
  setenv("ORN_DESKTOP", "hidden", 1);
  TXError e(0xC0200048, 0, "Unit::Hidden", "T");
  e.ExcFlags(TXError::xf_resume);
  EXPECT_EQ(e.Show(), 4);
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(TXErrorTest, InteractiveShowAsksWithThePromptOfItsFlags) {
  struct Case {
    uint32_t flags;
    const char* queued;
    int answer;
    std::string style, text;
  };
  const Case cases[] = {
      {0x30, "retry", 4, "270370",
       "Error: Table T is full\\n\\nAccess is denied.\\nAbbrechen, nochmals versuchen oder ignorieren"},
      {0x30, "ignore", 5, "270370", ""},
      {0x10, "cancel", 3, "270373", "Error: Table T is full\\n\\nAccess is denied.\\nNochmals versuchen oder abbrechen?"},
      {0x20, "ok", 5, "270369", "Error: Table T is full\\n\\nAccess is denied.\\nProblem ignorieren oder abbrechen?"},
      {0x00, nullptr, 3, "270352", "Error: Table T is full\\n\\nAccess is denied."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Path("transcript.txt"));
    if (c.queued) uiscript::AnswerQueue::Instance().Push(*uiscript::ParseAnswer(c.queued));
    TXError e(0xC0200048, 5, "Unit::Ask", "T");
    e.ExcFlags(c.flags);
    EXPECT_EQ(e.Show(), c.answer) << c.flags;
    std::vector<std::string> lines = Transcript();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" | " + c.style + " | "), std::string::npos) << lines[0];
    if (!c.text.empty()) {
      EXPECT_NE(lines[0].find(c.text), std::string::npos) << lines[0];
    }
  }
}

TEST_F(TXErrorTest, ShowingWhileTwelveAreAliveAnswersAbortWithoutABox) {
  int base = TXError::InstanceCount();
  std::vector<TXError> alive(10 - base, TXError(0xC0200048));
  {
    TXError e(0xC0200048, 0, "Unit::Deep", "T");  // the 11th
    EXPECT_EQ(e.Show(), 3);
    EXPECT_EQ(Transcript().size(), 1u);
  }
  alive.emplace_back(0xC0200048);
  TXError e(0xC0200048, 0, "Unit::Deep", "T");  // the 12th
  ASSERT_EQ(TXError::InstanceCount(), 12);
  size_t logged = log_->records.size();
  EXPECT_EQ(e.Show(), 3);
  EXPECT_EQ(Transcript().size(), 1u);
  // Without a box, the error is still marked displayed and logged.
  EXPECT_TRUE(e.m_xflags & TXError::xf_displayed);
  ASSERT_EQ(log_->records.size(), logged + 1);
  EXPECT_EQ(log_->records.back().message, u"Table T is full");
}

TEST_F(TXErrorTest, ThrowingGivesAMarkedCopy) {
  int base = TXError::InstanceCount();
  uiscript::AnswerQueue::Instance().Push(uiscript::kAbort);
  try {
    TXError e(0xC0200048, 0, "Unit::Throw", "T");
    e.ExcFlags(TXError::xf_resume | TXError::xf_ignoreable);
    e.Throw(6);
    FAIL() << "not thrown";
  } catch (const TXError& thrown) {
    EXPECT_EQ(thrown.m_sev, 6);
    EXPECT_EQ(thrown.m_xflags & (TXError::xf_thrown | TXError::xf_ignoreable | TXError::xf_resume),
              TXError::xf_thrown | TXError::xf_ignoreable);
    EXPECT_EQ(TXError::LastThrown(), 0xC0200048u);
    TXError copy(thrown);
    // Showing a thrown copy drops the prompt bits (ignoring among them): OK only, abort.
    EXPECT_EQ(copy.Show(), 3);
    EXPECT_NE(Transcript().back().find(" | 270352 | "), std::string::npos);
  }
  EXPECT_EQ(TXError::InstanceCount(), base);
}

TEST_F(TXErrorTest, ExecModes) {
  module_->SetBackgrnd();
  TXError e(0xC0200048, 0, "Unit::Exec", "T");
  log_->records.clear();
  EXPECT_EQ(e.Exec(TXError::exec_log), 5);
  ASSERT_EQ(log_->records.size(), 1u);
  EXPECT_EQ(log_->records[0].severity, 4);
  EXPECT_EQ(log_->records[0].message, u"Table T is full");
  EXPECT_EQ(e.Exec(TXError::exec_none), 5);
  EXPECT_EQ(log_->records.size(), 1u);
  e.ExcFlags(TXError::xf_resume);
  EXPECT_EQ(e.Exec(TXError::exec_display), 5);
  EXPECT_EQ(e.m_xflags & TXError::xf_resume, TXError::xf_resume);  // prompt bits come back
  EXPECT_EQ(e.Exec(TXError::exec_show), 4);                         // resume answers retry: no throw
  e.m_xflags = 0;
  try {
    e.Exec(TXError::exec_show, true);
    FAIL() << "not thrown";
  } catch (const TXError& thrown) {
    EXPECT_EQ(thrown.m_sev, 4);
  }
}

TEST_F(TXErrorTest, PercentInADescriptionIsLoggedAsItIs) {
  TXError e(0xC0200048, 0, "Unit::Path", "C:\\100%\\%s%n.rtf");
  ASSERT_EQ(e.m_descr, u"Table C:\\100%\\%s%n.rtf is full");
  log_->records.clear();
  EXPECT_TRUE(e.Log());
  ASSERT_EQ(log_->records.size(), 1u);
  EXPECT_EQ(log_->records[0].message, e.m_descr);
  EXPECT_EQ(log_->records[0].source, u"Unit::Path (Test)");
}

TEST_F(TXErrorTest, InstanceCounterHoldsUnderThreads) {
  int base = TXError::InstanceCount();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 20000; ++i) {
        TXError e(0xC0200048);
        TXError copy(e);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(TXError::InstanceCount(), base);
}

TEST_F(TXErrorTest, DumpWritesItsBlockWhileTracing) {
  TraceOn(true);
  TXError e(0xC0200048, 5, "Unit::Dump", "T");
  std::vector<std::string> lines = DebugLines();
  auto first = std::find_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("MSG: --- TXError --- ", 0) == 0; });
  ASSERT_GE(lines.end() - first, 13);
  const char* expected[] = {"--- TXError --- ", "    in Unit::Dump", "    title ctor", "Err= C0200048",
                            "    descr= Table T is full", "extErr= 00000005", "    descr= Access is denied.",
                            "Sev= 5", "    xflags= 00000000", "InstanceCount= ", "    lastErr= ", "    retry= ",
                            "--- end TXError --- (TXError::Dump txerror.cpp"};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(first[i].rfind(std::string("MSG: ") + expected[i], 0), 0u) << first[i];
  EXPECT_EQ(first[9].rfind("MSG: InstanceCount= " + std::to_string(TXError::InstanceCount()) + " ", 0), 0u);
}

}  // namespace
