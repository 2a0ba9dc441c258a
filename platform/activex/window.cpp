#include "platform/activex/window.h"

#include <map>
#include <mutex>

namespace ax {
namespace {

std::mutex g_mu;
HWND g_next = 0x10;
std::map<HWND, std::string>& Windows() {
  static std::map<HWND, std::string> windows;
  return windows;
}

}  // namespace

HWND CreateHostWindow(const std::string& title) {
  std::lock_guard lock(g_mu);
  HWND h = g_next;
  g_next += 4;
  Windows()[h] = title;
  return h;
}

void DestroyHostWindow(HWND hwnd) {
  std::lock_guard lock(g_mu);
  Windows().erase(hwnd);
}

bool IsWindow(HWND hwnd) {
  std::lock_guard lock(g_mu);
  return Windows().count(hwnd) != 0;
}

}  // namespace ax
