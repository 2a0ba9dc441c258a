#include "platform/forms/screen.h"

#include <cstdlib>
#include <string>

#include "platform/settings/settings.h"
#include "platform/uiscript/uiscript.h"

namespace forms {
namespace {

// A whole number from 1 to `max`, or nothing.
bool ParsePositive(const std::string& s, int32_t max, int32_t* out) {
  if (s.empty() || s.size() > 6) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  long v = std::strtol(s.c_str(), nullptr, 10);
  if (v < 1 || v > max) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

ScreenObject::ScreenObject() {
  MousePointer.OnChange([this] {
    history_.push_back(MousePointer);
    if (watch_) watch_();
  });
  Reset();
}

void ScreenObject::Reset() {
  const uiscript::ScreenPixels screen = uiscript::ScreenFromEnvironment();
  widthPx_ = screen.width;
  heightPx_ = screen.height;
  twipsPerPixel_ = 15;
  if (const char* v = std::getenv("ORN_TWIPS_PER_PIXEL"); v && *v) {
    if (!ParsePositive(v, 1440, &twipsPerPixel_))
      settings::BadSetting("ORN_TWIPS_PER_PIXEL", "a whole number of twips per pixel from 1 to 1440", v);
  }
  MousePointer.Init(0);
  history_.clear();
}

ScreenObject& Screen() {
  static ScreenObject screen;
  return screen;
}

}  // namespace forms
