#include "platform/imaging/view.h"

#include <algorithm>

namespace imaging {

void View::SetClientSize(int32_t width, int32_t height) {
  clientW_ = std::max(width, 0);
  clientH_ = std::max(height, 0);
}

void View::NewImage(int32_t width, int32_t height) {
  imageW_ = width;
  imageH_ = height;
  dstLeft_ = dstTop_ = 0;
  dcl[0] = dcl[1] = 0;
  dcl[2] = width;
  dcl[3] = height;
}

bool View::SetScaleMode(int32_t mode) {
  if (mode != kActualSize && mode != kFit && mode != kPercent) return false;
  if (mode == kPercent) {
    zoom_ = Zoom();
  } else {
    dstLeft_ = dstTop_ = 0;
  }
  mode_ = mode;
  return true;
}

double View::FitZoom(int32_t clientW, int32_t clientH, int32_t imageW, int32_t imageH) {
  if (clientW <= 0 || clientH <= 0 || imageW <= 0 || imageH <= 0) return 100;
  return std::min(clientW * 100.0 / imageW, clientH * 100.0 / imageH);
}

double View::Zoom() const {
  switch (mode_) {
    case kFit: return FitZoom(clientW_, clientH_, imageW_, imageH_);
    case kPercent: return zoom_;
    default: return 100;
  }
}

bool View::SetZoom(double percent) {
  if (!(percent > 0) || percent > 100000) return false;
  if (mode_ == kPercent) {
    const double factor = percent / zoom_;
    dstLeft_ *= factor;
    dstTop_ *= factor;
  }
  zoom_ = percent;
  return true;
}

void View::Visible(double out[4]) const {
  const double z = Zoom() / 100;
  const double left = std::max(0.0, -dstLeft_ / z);
  const double top = std::max(0.0, -dstTop_ / z);
  const double right = std::min<double>(imageW_, (clientW_ - dstLeft_) / z);
  const double bottom = std::min<double>(imageH_, (clientH_ - dstTop_) / z);
  out[0] = left;
  out[1] = top;
  out[2] = std::max(0.0, right - left);
  out[3] = std::max(0.0, bottom - top);
}

bool View::ZoomToRect(double left, double top, double width, double height) {
  if (!(width > 0) || !(height > 0) || imageW_ <= 0 || clientW_ <= 0 || clientH_ <= 0) return false;
  const double oldZoom = Zoom();
  const double newZoom = oldZoom * std::min(clientW_ / width, clientH_ / height);
  if (newZoom > 100000) return false;
  const double imageX = (left - dstLeft_) * 100 / oldZoom;
  const double imageY = (top - dstTop_) * 100 / oldZoom;
  mode_ = kPercent;
  zoom_ = newZoom;
  dstLeft_ = -imageX * newZoom / 100;
  dstTop_ = -imageY * newZoom / 100;
  return true;
}

}  // namespace imaging
