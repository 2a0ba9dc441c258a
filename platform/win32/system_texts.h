#pragma once
// The system's own texts for the error codes the programs meet: one table
// for every caller that asks the system for an error's text.

#include <cstdint>

namespace win32 {

// The text of system error `code`, without a line break; null when the
// system has no text for it.
const char* SystemErrorText(uint32_t code);

}  // namespace win32
