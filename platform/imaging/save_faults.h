#pragma once
// A full disk on demand, for tests of the programs' savers: with
// ORN_PIXO_FAIL_SAVE=n the n-th file save of the imaging control in this
// process stops half-way through, as a write on a full disk does. The file
// keeps what had reached it (the first half of what the save added) and the
// save answers kPixoWriteFailed.

#include <cstdint>
#include <functional>
#include <string>

namespace imaging {

// Runs `write`, which saves into `path`, and counts it as one save; the
// save the fault is set for is cut as above.
int16_t SaveWithFaults(const std::string& path, const std::function<int16_t()>& write);

// The same in two halves, for a save taken now and written later on
// another thread: TakeSave() counts the save (saves are numbered in the
// order they are taken, on one thread) and tells whether it is the one to
// fail; WriteWithFault runs `write` with that answer.
bool TakeSave();
int16_t WriteWithFault(bool fail, const std::string& path, const std::function<int16_t()>& write);

// Sets the fault for the n-th save from now on (0: none), in place of the
// variable (unit tests).
void FailSaveForTest(int32_t n);

}  // namespace imaging
