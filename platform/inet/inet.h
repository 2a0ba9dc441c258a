#pragma once
// The Internet library's message texts. The library holds texts for its
// error numbers, which lie above 12000 and below 12174; on the platform it
// is "wininet.dll", loaded on demand. Here it is a message library
// (platform/msgres) built into the program.

#include <cstdint>

#include "platform/msgres/msgres.h"

namespace inet {

inline constexpr uint32_t kErrorBase = 12000;  // errors lie above this
inline constexpr uint32_t kErrorLast = 12174;  // and below this

// Loads the library; 0 when it cannot be loaded. Free it with
// msgres::FreeLibrary.
msgres::Library LoadLibrary();

// Test hook: makes LoadLibrary fail (true) or work again (false).
void FailLoadForTest(bool fail);

}  // namespace inet
