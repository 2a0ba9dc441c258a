#pragma once
// What a test needs to know of the sanitizers its build uses (ORN_SANITIZE).

#include <gtest/gtest.h>

namespace orn_test {

#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif
#else
inline constexpr bool kThreadSanitizer = false;
#endif

}  // namespace orn_test

// A test of the system-exception translator: it throws out of the handler of
// a processor fault, which ThreadSanitizer cannot follow (its own handler
// then reports corrupt state or loses the fault). Such a test skips itself,
// saying why, in a ThreadSanitizer build.
#define ORN_SKIP_UNDER_THREAD_SANITIZER_TRANSLATOR()                                                \
  do {                                                                                              \
    if (orn_test::kThreadSanitizer)                                                                 \
      GTEST_SKIP() << "ThreadSanitizer cannot follow an exception thrown out of a signal handler"; \
  } while (0)
