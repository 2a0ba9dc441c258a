#pragma once
// Test helper: the run-time error number a call raises, 0 when it returns.

#include <cstdint>

#include "platform/runtime/error.h"

namespace rt {

template <typename F>
int32_t ErrorNumberOf(F&& call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace rt
