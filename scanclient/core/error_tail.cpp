#include "scanclient/core/error_tail.h"

#include <cstdlib>

#include "platform/eventlog/eventlog.h"
#include "platform/runtime/convert.h"
#include "platform/uiscript/uiscript.h"
#include "platform/win32/environment.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"

namespace quillet {
namespace {

std::function<void(int32_t)>& ProcessExit() {
  static std::function<void(int32_t)> exitFn;
  return exitFn;
}

[[noreturn]] void EndProcess(int32_t code) {
  if (ProcessExit()) {
    ProcessExit()(code);
    std::abort();  // a test hook that returns has broken its contract
  }
  win32::ExitProcess(code);
}

// The tail and ExitNow log on their way out. A log file that cannot be
// written must not stop them: the program still has to end with its code.
void LogOnTheWayOut(const std::string& line) {
  try {
    LogLine(line);
  } catch (const rt::RuntimeError&) {
  }
}

std::string Signed(int32_t n) { return rt::Str(static_cast<double>(n)); }
std::string Plain(int32_t n) { return rt::CStr(static_cast<double>(n)); }

}  // namespace

void SetProcessExitForTest(std::function<void(int32_t)> exitFn) { ProcessExit() = std::move(exitFn); }

void EndProgram(int32_t code) { EndProcess(App.UseExitCode ? code : 0); }

void ExitNow(int32_t rc) {
  if (App.DebugLevel > 0) LogOnTheWayOut("BEG-ExitNow," + Plain(rc));
  std::string stamp = NowGeneral();
  if (App.DebugLevel > 0) {
    LogOnTheWayOut("Ended RC=" + Plain(rc) + ":" + stamp + ";" + App.TempPath + ";" + App.ComputerName +
                   ";" + App.UserName + ";" + App.IniPath + ";" + App.LogPath);
  }
  LogEvent("Ended RC=" + Plain(rc) + ":" + stamp, evlog::kInformation, 0, NowEventData());
  EndProgram(rc);
}

ProcScope::ProcScope(std::string tag, Tail tail, std::optional<std::string> args, bool logEntry)
    : tag_(std::move(tag)), tail_(tail), args_(std::move(args)), logEntry_(logEntry) {}

void ProcScope::Enter() {
  if (logEntry_ && App.DebugLevel > 7) LogLine("BEG-" + tag_ + (args_ ? "," + *args_ : ""));
}

void ProcScope::ErrorExit(int32_t fatalCode, std::string fatalText) {
  code = fatalCode;
  text = std::move(fatalText);
  ErrorExit();
}

void ProcScope::ErrorExit() { throw Jump{this}; }

void ProcScope::Fatal() {
  std::string message = "Error:" + Signed(code) + "=" + text;
  LogOnTheWayOut(message);
  uiscript::MessageBox(message, uiscript::kOkOnly, App.ProductName);
  if (tail_ == Tail::Direct) EndProgram(code);
  ExitNow(code);
}

bool ProcScope::Failed(const rt::RuntimeError& e) {
  if (code != 0) Fatal();
  errorNumber_ = e.number();
  std::string message = "Error:" + Signed(e.number()) + "/" + Signed(App.rc) + "=" + e.description() +
                        " in " + tag_ + " Step-" + Signed(step);
  LogOnTheWayOut(message);
  uiscript::MessageBox(message, uiscript::kOkOnly, "Error !");
  if (tail_ == Tail::ExitNow) ExitNow(e.number());
  return false;
}

}  // namespace quillet
