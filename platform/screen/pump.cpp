#include "platform/screen/pump.h"

#include <gtk/gtk.h>

#include <chrono>
#include <exception>

#include "platform/screen/alarm.h"

namespace screen {
namespace {

std::exception_ptr& Pending() {
  static std::exception_ptr pending;
  return pending;
}

}  // namespace

void Guard(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    if (!Pending()) Pending() = std::current_exception();
  }
}

void RethrowPending() {
  if (std::exception_ptr e = Pending()) {
    Pending() = nullptr;
    std::rethrow_exception(e);
  }
}

void PumpPending() {
  while (g_main_context_iteration(nullptr, FALSE)) RethrowPending();
  RethrowPending();
}

void RunUntil(const std::function<bool()>& done) {
  RethrowPending();
  while (!done()) {
    g_main_context_iteration(nullptr, TRUE);
    RethrowPending();
  }
}

void RunFor(int64_t ms) {
  const int64_t target = ClockMs() + ms;
  Alarm wake;
  wake.Set(target, [] {});
  RunUntil([target] { return ClockMs() >= target; });
}

int64_t ClockMs() {
  static const auto start = std::chrono::steady_clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace screen
