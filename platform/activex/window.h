#pragma once
// Windows as far as the controls need them: a handle that names a live
// window of the container, with its title.

#include <cstdint>
#include <string>

namespace ax {

using HWND = uintptr_t;  // 0 = none

HWND CreateHostWindow(const std::string& title);
void DestroyHostWindow(HWND hwnd);
bool IsWindow(HWND hwnd);

}  // namespace ax
