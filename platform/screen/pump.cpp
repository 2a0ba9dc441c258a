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

struct Lost {
  bool lost = false;
  bool handled = false;
  std::function<void()> handler;
};
Lost& L() {
  static Lost l;
  return l;
}

// Runs the lost display's handler once it is due, then what it threw.
void AfterEvent() {
  Lost& l = L();
  if (l.lost && !l.handled && l.handler) {
    l.handled = true;
    Guard(l.handler);
  }
  RethrowPending();
}

}  // namespace

bool DisplayLost() { return L().lost; }
void NoteDisplayLost() {
  L().lost = true;
  // The loss may be noticed while the loop prepares to wait; woken, the
  // wait ends at once and the session's end is not left for an event that
  // will never come.
  g_main_context_wakeup(nullptr);
}
void SetDisplayLostHandler(std::function<void()> handler) {
  L().handler = std::move(handler);
  L().handled = false;
}

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
  AfterEvent();
  // A lost display's source stays ready for ever: one round then.
  while (g_main_context_iteration(nullptr, FALSE) && !DisplayLost()) AfterEvent();
  AfterEvent();
}

void RunUntil(const std::function<bool()>& done) {
  AfterEvent();
  while (!done()) {
    g_main_context_iteration(nullptr, TRUE);
    AfterEvent();
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
