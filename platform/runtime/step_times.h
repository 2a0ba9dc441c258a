#pragma once
// Step times for the benchmarks: with ORN_STEP_TIMES naming a file, each
// MarkStep appends one line "NAME NANOSECONDS" (the monotonic clock), so a
// benchmark times one step of a program (a commit, a page turn, a first
// paint) instead of the whole process. Without the variable a mark only
// tests the descriptor kept from the first mark. Safe to call from any
// thread; lines are written whole.

#include <string_view>

namespace rt {

void MarkStep(std::string_view name);

// Marks NAME.begin when made and NAME.end when destroyed.
class StepScope {
 public:
  explicit StepScope(std::string_view name);
  ~StepScope();
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

 private:
  std::string_view name_;
};

}  // namespace rt
