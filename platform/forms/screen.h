#pragma once
// The screen: its size, its twips per pixel and the mouse pointer.
//
// ORN_SCREEN="WxH" sets the size in pixels (default 1280x1024);
// ORN_TWIPS_PER_PIXEL a whole number of twips per pixel, both directions
// (default 15). A malformed value ends the run with 124 at the first use of
// the screen rather than being guessed (settings::BadSetting).

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/forms/prop.h"

namespace forms {

class ScreenObject {
 public:
  float TwipsPerPixelX() const { return static_cast<float>(twipsPerPixel_); }
  float TwipsPerPixelY() const { return static_cast<float>(twipsPerPixel_); }
  // Size in twips, as the runtime's Screen reports it.
  float Width() const { return static_cast<float>(widthPx_ * twipsPerPixel_); }
  float Height() const { return static_cast<float>(heightPx_ * twipsPerPixel_); }
  int32_t WidthPx() const { return widthPx_; }
  int32_t HeightPx() const { return heightPx_; }

  // 0 default, 11 hourglass, ...; every change is recorded in order.
  Prop<int16_t> MousePointer = 0;
  const std::vector<int16_t>& PointerHistory() const { return history_; }
  // Called after every change of MousePointer (a real screen shows the
  // pointer at once, while the program's work still runs); null: nothing.
  void WatchPointer(std::function<void()> watch) { watch_ = std::move(watch); }

  // Reads the environment again and forgets the pointer history (tests).
  void Reset();

 private:
  friend ScreenObject& Screen();
  ScreenObject();
  int32_t widthPx_ = 1280, heightPx_ = 1024, twipsPerPixel_ = 15;
  std::vector<int16_t> history_;
  std::function<void()> watch_;
};

ScreenObject& Screen();

}  // namespace forms
