#pragma once
// The debugger output stand-in. Each text becomes one line (a line break is
// added when the text has none) at the end of the file named by
// ORN_DEBUG_OUTPUT, which is read on every call; without the variable the
// text is discarded, as on a machine where no debugger listens. A line is
// written with one append, so lines of threads and processes do not mix.

#include <string_view>

namespace dbgout {

void OutputDebugStringA(std::string_view text);

}  // namespace dbgout
