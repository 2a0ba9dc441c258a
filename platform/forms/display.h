#pragma once
// A real screen under the forms runtime (platform/screen gives one). The
// runtime keeps the model; the display shows it and turns what the operator
// does into the runtime's operator actions (App's Operator... calls).
// Headless there is no display and the runtime runs as before.

#include <cstdint>
#include <functional>

namespace forms {

class Display {
 public:
  virtual ~Display() = default;
  // Shows every loaded form and control as the model has them now.
  virtual void Sync() = 0;
  // Shows the model, then lets the input and timers that are due run, and
  // returns without waiting (DoEvents).
  virtual void Pump() = 0;
  // Shows the model and runs input and timers until `done` is true; checked
  // after every event. A handler's exception (End, a run-time error) comes
  // out of here.
  virtual void RunUntil(const std::function<bool()>& done) = 0;
  // Runs input and timers for `ms` real milliseconds (a script's wait).
  virtual void RunFor(int64_t ms) = 0;
  // The real clock in milliseconds; it only grows.
  virtual int64_t Clock() const = 0;
};

}  // namespace forms
