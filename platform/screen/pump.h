#pragma once
// The event pump of the real screen: DoEvents, the operator's loop and every
// nested wait (a modal box, a print job's abort procedure) run through here.
//
// GTK calls back into C++ from C code, which an exception must not cross:
// every callback runs its work through Guard, which keeps the exception
// (End, a run-time error, a failed script step), and the pump rethrows it
// in the C++ frame that runs the loop.

#include <cstdint>
#include <functional>

namespace screen {

// Runs `work`; an exception it throws is kept for the pump (the first one
// wins until it was rethrown).
void Guard(const std::function<void()>& work);
// Rethrows the exception Guard kept, once; nothing when there is none.
void RethrowPending();

// Runs every event that is ready, without waiting, then RethrowPending.
void PumpPending();
// Runs events, waiting for them, until `done()` is true; `done` is checked
// before each wait and after each event. Something must wake the loop when
// `done` turns true by time alone (an Alarm, see RunFor).
void RunUntil(const std::function<bool()>& done);
// Runs events for `ms` real milliseconds.
void RunFor(int64_t ms);

// True once the connection to the display is lost (the X server went away,
// or a window manager's kill closed it); nothing may draw any more.
bool DisplayLost();
// Marks the display lost (the X connection's error handler).
void NoteDisplayLost();
// What the program does when the display is lost: run once, inside Guard,
// by the pump that notices it (the session ends). Null: nothing.
void SetDisplayLostHandler(std::function<void()> handler);

// The real clock: milliseconds since the process first asked, monotonic.
int64_t ClockMs();

}  // namespace screen
