#pragma once
// TXError, the framework's application exception: an application error id
// with its text, a system error with its text, a severity (1-3 information,
// 4 warning, 5 error, 6 fatal), a category, the failing method and flags
// that decide whether the operator may retry or ignore. It can be shown,
// logged through the module, turned into COM error information or an
// HRESULT, and thrown. Showing and logging never throw; only Throw and
// Exec(0) throw - a copy, marked as thrown.
//
//   TXError(apperr::kRegValue, status, "CAppReg::getValue", path, name).Exec(raise ? 0 : 2);

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "docviewer/framework/fwtext.h"
#include "platform/com/errorinfo.h"

// An event category, as the first argument of TXError's category form.
enum class EvtCat : uint16_t {};

class TXError {
 public:
  enum XFlags : uint32_t {
    xf_resume = 0x10,      // retry allowed
    xf_ignoreable = 0x20,  // ignoring allowed
    xf_prompt = 0x70,      // the prompt bits
    xf_appl_fatal = 0x100,
    xf_displayed = 0x200,
    xf_thrown = 0x400,     // a thrown copy: no prompt
  };
  // Answers of Show, Throw and Exec.
  enum Answer : int { ans_abort = 3, ans_retry = 4, ans_ignore = 5 };
  enum ExecMode : int { exec_show = 0, exec_display = 1, exec_log = 2, exec_none = 3 };

  // The description is the id's text filled with `args`; the system text is
  // the system error's text (none for 0 and E_FAIL).
  template <class... A>
  TXError(uint32_t appError, uint32_t sysError, const char* method, const A&... args) {
    auto a = fw::Args(args...);
    Init(appError, sysError, nullptr, method, a);
    Counted("ctor");
  }
  // The same with a given system text.
  template <class... A>
  TXError(uint32_t appError, const char16_t* sysText, uint32_t sysError, const char* method, const A&... args) {
    auto a = fw::Args(args...);
    Init(appError, sysError, sysText, method, a);
    Counted("ctor");
  }
  // The same and an event category.
  template <class... A>
  TXError(EvtCat category, uint32_t appError, uint32_t sysError, const char16_t* sysText, const char* method,
          const A&... args) {
    auto a = fw::Args(args...);
    Init(appError, sysError, sysText, method, a);
    m_category = static_cast<uint16_t>(category);
    Counted("TXError::ctor/arg");
  }
  // Severity 5, no texts, flags 0.
  explicit TXError(uint32_t appError);
  TXError(const TXError& other);
  TXError& operator=(const TXError&) = default;
  virtual ~TXError();

  // Asks the operator (or, in batch mode, decides); 3 abort, 4 retry, 5 ignore.
  virtual int Show();
  // Logs through the module with `severity` (0 = its own); true when taken.
  virtual bool Log(int severity = 0);
  // Writes the error as a block of trace lines.
  virtual void Dump(const char* title) const;

  void Init(uint32_t appError, uint32_t sysError, const char16_t* sysText, const char* method,
            std::span<const fw::FmtArg> args);
  // Sets xf_resume, xf_ignoreable, xf_displayed, xf_appl_fatal where `bits` has them.
  TXError& ExcFlags(uint32_t bits);
  // Sets the severity (0 = keep) and shows; answer 3 throws a copy.
  int Throw(int severity = 0);
  // Mode 0: show, answer 3 throws a copy (of severity 4 with `warn`); 1:
  // show without prompt; 2: log as a warning; 3: nothing. Other modes as 1.
  int Exec(int mode, bool warn = false);
  // Sets the thread's COM error information; the application error, or
  // E_FAIL when it is 0.
  uint32_t SetCOMErrorInfo(const com::Guid* iid, const char16_t* helpFile, uint32_t helpContext);
  uint32_t StdHResult() const;

  // Live TXError objects in the process.
  static int InstanceCount();
  // The last error thrown (Throw, Exec) and the number of retry answers,
  // both process-wide; shown by Dump.
  static uint32_t LastThrown();
  static int RetryCount();

  uint32_t m_hr = 0;
  int m_sev = 5;
  uint32_t m_xflags = 0;
  std::u16string m_descr;
  std::u16string m_sysText;
  uint32_t m_extError = 0;
  uint16_t m_category = 0;
  std::string m_method;  // at most 31 characters

 private:
  void Counted(const char* title);
  [[noreturn]] void ThrowCopy(int severity);
};

inline constexpr uint32_t E_FAIL_HR = 0x80004005;

// Writes COM error information as a block of trace lines.
void DumpErrorInfo(const char* title, const com::ErrorInfo* info);
