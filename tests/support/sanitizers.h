#pragma once
// What the tests do for the sanitizer builds (ORN_SANITIZE).

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
