#pragma once
// The view of an imaging control, kept as numbers: there is no screen.
//
// The view is the display area the container gives the control (client
// width x height, display pixels). The image is drawn at `Zoom()` percent
// with its top left corner at (DstLeft, DstTop) of the view; those offsets
// are 0 or negative once the image is scrolled. Image pixel p lies at
// display pixel p x zoom / 100 + Dst.
//
// Fit rule (ScaleMode 3): the largest zoom at which the whole image fits
// the view, min(client width / image width, client height / image height)
// x 100, unrounded, larger than 100 for a small image; the image sits at
// the view's top left corner. A view without a size (not hosted) fits at
// 100.
//
// Zoom-to-rectangle rule: a rectangle of the view (display pixels) is
// enlarged by min(client width / its width, client height / its height);
// the image point under its top left corner moves to the view's top left
// corner, and the view keeps that zoom (ScaleMode 4).

#include <cstdint>

namespace imaging {

class View {
 public:
  enum ScaleMode : int32_t { kActualSize = 0, kFit = 3, kPercent = 4 };

  void SetClientSize(int32_t width, int32_t height);
  int32_t clientWidth() const { return clientW_; }
  int32_t clientHeight() const { return clientH_; }

  // A new image (or a changed image size): offsets back to 0, the display
  // clip the whole image.
  void NewImage(int32_t width, int32_t height);

  int32_t scaleMode() const { return mode_; }
  // False for a mode other than 0, 3 and 4. Modes 0 and 3 put the image
  // back at the top left corner; mode 4 keeps the zoom in effect before.
  bool SetScaleMode(int32_t mode);
  // The zoom in effect, percent.
  double Zoom() const;
  // The zoom of mode 4. In mode 4 the image point at the view's top left
  // corner stays there. False for a value not above 0 or above 100000.
  bool SetZoom(double percent);
  static double FitZoom(int32_t clientW, int32_t clientH, int32_t imageW, int32_t imageH);

  double dstLeft() const { return dstLeft_; }
  double dstTop() const { return dstTop_; }
  void SetDstLeft(double v) { dstLeft_ = v; }
  void SetDstTop(double v) { dstTop_ = v; }
  double dstWidth() const { return imageW_ * Zoom() / 100; }
  double dstHeight() const { return imageH_ * Zoom() / 100; }

  // Display clip, image pixels.
  double dcl[4] = {0, 0, 0, 0};

  // The part of the image inside the view, image pixels: left, top, width, height.
  void Visible(double out[4]) const;

  // Zoom-to-rectangle rule above; false (nothing changes) for an empty
  // rectangle or a view without an image.
  bool ZoomToRect(double left, double top, double width, double height);

  // Image pixels to display pixels and back.
  double ToDisplayX(double x) const { return x * Zoom() / 100 + dstLeft_; }
  double ToDisplayY(double y) const { return y * Zoom() / 100 + dstTop_; }

 private:
  int32_t clientW_ = 0, clientH_ = 0;
  int32_t imageW_ = 0, imageH_ = 0;
  int32_t mode_ = kActualSize;
  double zoom_ = 100;
  double dstLeft_ = 0, dstTop_ = 0;
};

}  // namespace imaging
