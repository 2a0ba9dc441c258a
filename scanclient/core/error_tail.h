#pragma once
// The one error tail of the scanning client and its one way to end.
//
// Every procedure with a log tag runs its body through a ProcScope:
//
//   ProcScope p("Resize", Tail::Direct);
//   p.Run([&] {
//     ...; p.step = 1; ...
//     if (bad) p.ErrorExit(-6, "INI file not found!");
//   });
//
// Run logs the "BEG-" entry line (DebugLevel > 7) and turns a fatal code
// set by ErrorExit, or a run-time error (rt::RuntimeError) raised inside the
// body, into a log line, a message box and the end of the program:
//   Tail::ExitNow  ExitNow(code) or ExitNow(error number).
//   Tail::Direct   the process exit with the code, without summary or event
//                  record; after a run-time error report Run abandons the
//                  rest of the body and returns false (the program goes on).
// A negative step is conversion mode: inside p.Try(...) a run-time error only
// sets code = -number and text = description, and the procedure goes on.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/runtime/error.h"

namespace quillet {

enum class Tail { Direct, ExitNow };

// Ends the run: logs "BEG-ExitNow" and the "Ended RC=" summary when
// DebugLevel > 0, writes the "Ended RC=" event record and ends the process
// with rc as exit code (exit code 0 when UseExitCode is false).
[[noreturn]] void ExitNow(int32_t rc);

// Ends the process with `code` when UseExitCode is true, else plainly with 0.
[[noreturn]] void EndProgram(int32_t code);

// Replaces the process exit (tests install one that throws). The function
// must not return; null restores the real exit.
void SetProcessExitForTest(std::function<void(int32_t)> exitFn);

class ProcScope {
 public:
  // `args`, when given, follows the tag in the entry line after a ",".
  // With `logEntry` false the procedure writes its entry line itself.
  ProcScope(std::string tag, Tail tail, std::optional<std::string> args = std::nullopt, bool logEntry = true);
  ProcScope(const ProcScope&) = delete;
  ProcScope& operator=(const ProcScope&) = delete;

  int32_t step = 0;
  int32_t code = 0;
  std::string text;

  // Runs `body` under the tail. True when it ran to its end; false when the
  // direct variant reported a run-time error (its number in errorNumber()).
  template <class Body>
  bool Run(Body&& body) {
    try {
      Enter();
      body();
      return true;
    } catch (const Jump& jump) {
      if (jump.scope != this) throw;
      Fatal();
    } catch (const rt::RuntimeError& e) {
      return Failed(e);
    }
  }

  // Conversion mode: runs one statement. While step is negative a run-time
  // error in it sets code and text and returns false; otherwise the error
  // goes to the tail as usual.
  template <class Stmt>
  bool Try(Stmt&& stmt) {
    try {
      stmt();
      return true;
    } catch (const rt::RuntimeError& e) {
      if (step >= 0) throw;
      code = -e.number();
      text = e.description();
      return false;
    }
  }

  // A fatal condition of the procedure: code and text go to the tail. Only
  // valid inside Run.
  [[noreturn]] void ErrorExit(int32_t fatalCode, std::string fatalText);
  // Goes to the tail with the code and text already set.
  [[noreturn]] void ErrorExit();

  int32_t errorNumber() const { return errorNumber_; }
  const std::string& tag() const { return tag_; }

 private:
  struct Jump {
    const ProcScope* scope;
  };
  void Enter();
  [[noreturn]] void Fatal();
  bool Failed(const rt::RuntimeError& e);

  std::string tag_;
  Tail tail_;
  std::optional<std::string> args_;
  bool logEntry_ = true;
  int32_t errorNumber_ = 0;
};

}  // namespace quillet
