#pragma once
// The viewer's error tail: a run-time error inside a procedure is shown in a
// box titled "Error !" with its number, the last system result, its
// description, the procedure's tag and step, and the command line.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/runtime/error.h"

namespace viewer {

class ErrorBox {
 public:
  ErrorBox(std::string tag, const std::string& cmdLine) : tag_(std::move(tag)), cmdLine_(cmdLine) {}

  int32_t step = 0;

  // Runs `stmt`; a run-time error inside it is reported and the caller goes
  // on. True when it ran without error.
  template <class Stmt>
  bool Try(Stmt&& stmt) {
    try {
      stmt();
      return true;
    } catch (const rt::RuntimeError& e) {
      Report(e);
      return false;
    }
  }

  void Report(const rt::RuntimeError& e) const;

  // The box's text, for `number` and `description` at the current step.
  std::string Text(int32_t number, const std::string& description) const;

 private:
  std::string tag_;
  const std::string& cmdLine_;
};

// Runs `stmt` and passes over a run-time error inside it.
template <class Stmt>
void PassOver(Stmt&& stmt) {
  try {
    stmt();
  } catch (const rt::RuntimeError&) {
  }
}

}  // namespace viewer
