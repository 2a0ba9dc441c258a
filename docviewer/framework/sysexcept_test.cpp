#include "docviewer/framework/sysexcept.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#include <vector>

#include "docviewer/framework/AppRegistry.h"
#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/fwtest.h"

namespace {

// The faults; this file is built with -fnon-call-exceptions (from orn_framework).
// Volatile accesses and a visible result keep the optimiser from removing them,
// and no_sanitize keeps the undefined-behaviour checks of a sanitizer build
// from ending the program before the processor raises the fault.
volatile int g_sink;

[[gnu::noinline, gnu::no_sanitize("null")]] void WriteToZero() {
  volatile int* volatile p = nullptr;
  *p = 1;
}

[[gnu::noinline, gnu::no_sanitize("integer-divide-by-zero")]] void DivideByZero() {
  volatile int zero = 0;
  g_sink = 7 / zero;
}

[[gnu::noinline]] void ReadFrom(uintptr_t address) {
  volatile int* volatile p = reinterpret_cast<volatile int*>(address);
  g_sink = *p;
}

class SysExceptTest : public fwtest::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    module_ = std::make_unique<CComModuleEx>(u"Test", 1, CComModuleEx::res_this, nullptr, nullptr, nullptr,
                                             com::kGuidNull);
  }
  // Runs `f` guarded; the SysExcept's description, or "" when none came.
  template <class F>
  std::u16string Fault(F f, uint32_t* code = nullptr, std::u16string* stack = nullptr) {
    try {
      SysExcept::Guard(f);
    } catch (const SysExcept& e) {
      if (code) *code = e.Code();
      std::u16string text;
      e.Description(&text, stack);
      EXPECT_GE(e.m_nStkTrc, 1);
      EXPECT_EQ(e.StackEntry(0), e.Record().address);
      return text;
    }
    return u"";
  }
  std::unique_ptr<CComModuleEx> module_;
};

bool StartsWith(const std::u16string& text, const std::u16string& head) { return text.rfind(head, 0) == 0; }

TEST_F(SysExceptTest, WriteToAddressZeroAndDivisionByZeroArriveAsSysExcept) {
  uint32_t code = 0;
  std::u16string stack;
  std::u16string text = Fault([] { WriteToZero(); }, &code, &stack);
  EXPECT_EQ(code, 0xC0000005u);
  EXPECT_TRUE(StartsWith(text, u"Access Violation (Write 00000000) @ ")) << fw::Utf8(text);
  // The location names the section of the program that faulted, then the program.
  EXPECT_NE(text.find(u" '.text'"), std::u16string::npos) << fw::Utf8(text);
  EXPECT_TRUE(text.ends_with(u" - framework_test")) << fw::Utf8(text);
  EXPECT_NE(stack.find(u"'.text' - framework_test\n"), std::u16string::npos) << fw::Utf8(stack);

  text = Fault([] { DivideByZero(); }, &code);
  EXPECT_EQ(code, 0xC0000094u);
  EXPECT_TRUE(StartsWith(text, u"Integer Divide by zero @ ")) << fw::Utf8(text);

  // The process lives on and the next fault is translated too.
  text = Fault([] { ReadFrom(0x10); }, &code);
  EXPECT_TRUE(StartsWith(text, u"Access Violation (Read 00000010) @ ")) << fw::Utf8(text);
  EXPECT_EQ(Fault([] { return 1; }), u"");
}

TEST_F(SysExceptTest, ModuleInstallsTheTranslatorForItsThreadAndTheRecordIsDumped) {
  TraceOn(true);
  try {
    WriteToZero();
    FAIL() << "no exception";
  } catch (const SysExcept& e) {
    EXPECT_EQ(e.Code(), 0xC0000005u);
  }
  std::vector<std::string> lines = DebugLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind("MSG: DumpExcept SysExcept::ctor (DumpExcept sysexcept.cpp ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("MSG:     err C0000005 (", 0), 0u) << lines[1];
  EXPECT_EQ(lines[4].rfind("MSG:     relER 00000000 (", 0), 0u) << lines[4];
}

TEST_F(SysExceptTest, WithoutImageHelpTheLocationIsUnknown) {
  imghlp::FailForTest(imghlp::TestFault::kLoadFails);
  std::u16string text = Fault([] { WriteToZero(); });
  imghlp::FailForTest(imghlp::TestFault::kNone);
  EXPECT_TRUE(StartsWith(text, u"Access Violation (Write 00000000) @  ?:")) << fw::Utf8(text);
  EXPECT_TRUE(text.ends_with(u"   - unknown")) << fw::Utf8(text);
}

// A fault taken while the faulting thread is inside a registry call (and
// holds its lock): the translation, whose trace check reads the registry
// itself, must neither wait for that lock nor leave it taken. Run in a
// child process, so that a hang ends in a kill instead of a stuck test run.
TEST_F(SysExceptTest, AFaultInsideARegistryCallGivesASysExceptInTime) {
  TraceOn(true);
  reg::Key k = 0;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "SOFTWARE\\Dornvale\\ORN\\SysParam", &k), reg::kSuccess);
  ASSERT_EQ(reg::SetBinary(k, "Blob", std::vector<uint8_t>(64, 7)), reg::kSuccess);
  reg::CloseKey(k);
  void* readOnly = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(readOnly, MAP_FAILED);
  pid_t child = fork();
  if (child == 0) {
    int code = 2;  // no SysExcept
    CAppReg key("Dornvale\\ORN", "SysParam");
    try {
      SysExcept::Guard([&] { key.valBin("Blob", readOnly, 64, false); });
    } catch (const SysExcept& e) {
      // The registry is free again, for another thread too: the lock went
      // with the exception.
      uint8_t copy[64] = {};
      std::thread([&] { key.valBin("Blob", copy, 64, false); }).join();
      code = e.Code() != 0xC0000005 ? 3 : copy[63] != 7 ? 4 : 0;
    }
    _exit(code);
  }
  int status = 0;
  bool ended = false;
  for (int waited = 0; waited < 2000 && !ended; ++waited) {
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) usleep(10000);
  }
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  munmap(readOnly, 4096);
  ASSERT_TRUE(ended) << "no SysExcept within 20 seconds";
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SysExceptDeath, FaultOnAThreadWithoutTranslatorEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        sysexc::ScopedTranslator translator(&SysExcept::se_trans);  // this thread only
        std::thread([] { WriteToZero(); }).join();
      },
      ::testing::KilledBySignal(SIGSEGV), "");
}

TEST(SysExceptCodes, TextsOfTheCodes) {
  sysexc::ExceptionRecord read;
  read.numberParameters = 2;
  read.information[0] = 0;
  read.information[1] = 0x1234ABCD;
  const std::pair<uint32_t, std::u16string> cases[] = {
      {0x80000002, u"Data Misalignment"},        {0x80000003, u"Breakpoint"},
      {0x80000004, u"Single Step"},              {0xC0000005, u"Access Violation (Read 1234ABCD)"},
      {0xC0000006, u"In page Error"},            {0xC000008C, u"Array bounds exceeded"},
      {0xC000008D, u"Float - Denormal operand"}, {0xC000008E, u"Float - Divide by zero"},
      {0xC000008F, u"Float - inexact result"},   {0xC0000090, u"Float - invalid operation"},
      {0xC0000091, u"Float - Overflow"},         {0xC0000092, u"Float - Stack Check"},
      {0xC0000093, u"Float - Underflow"},        {0xC0000094, u"Integer Divide by zero"},
      {0xC0000095, u"Integer Overflow"},         {0xC0000096, u"Privileged Instruction"},
      {0xC000001D, u"<C000001D>"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(SysExcept::CodeText(code, &read), text) << std::hex << code;
  EXPECT_EQ(GetModName(nullptr), u"<?>");
}

}  // namespace
