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

#include <dlfcn.h>
#include <limits.h>

#include <string>

namespace orn_test {

// SANE's test backend cancels its reader thread when a scan ends, and now and
// then the thread's buffer leaks that way. Tests that unload SANE (sane_exit)
// keep the backend mapped to the end of the process: the leak check then
// names the library, and the suppression file leaves its leak out. Call it
// once SANE's library is loaded (the test links it).
inline void KeepSaneTestBackendMapped() {
  static const bool kept = [] {
    void* sane = dlopen("libsane.so.1", RTLD_LAZY | RTLD_NOLOAD);
    char dir[PATH_MAX];
    const bool found = sane && dlinfo(sane, RTLD_DI_ORIGIN, dir) == 0;
    if (sane) dlclose(sane);
    return found && dlopen((std::string(dir) + "/sane/libsane-test.so.1").c_str(), RTLD_LAZY | RTLD_NODELETE);
  }();
  (void)kept;
}

}  // namespace orn_test
