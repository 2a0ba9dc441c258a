#pragma once
// A real timer on the screen's clock (pump.h): calls its work once when the
// time comes, inside the event loop and through Guard. Timers of the forms
// runtime and of the window stand-in are built on it.

#include <cstdint>
#include <functional>

namespace screen {

class Alarm {
 public:
  Alarm() = default;
  ~Alarm();
  Alarm(const Alarm&) = delete;
  Alarm& operator=(const Alarm&) = delete;

  // Calls `work` once at `dueMs` of ClockMs() (at once when that has
  // passed); replaces an earlier setting.
  void Set(int64_t dueMs, std::function<void()> work);
  void Cancel();
  bool Armed() const { return source_ != 0; }
  int64_t Due() const { return due_; }

 private:
  static int Fire(void* self);
  unsigned source_ = 0;
  int64_t due_ = 0;
  std::function<void()> work_;
};

}  // namespace screen
