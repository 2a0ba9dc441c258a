#include "platform/imaging/image.h"

#include <algorithm>
#include <limits>

namespace imaging {

uint8_t GreyOf(Colour c) {
  return static_cast<uint8_t>((299 * RedOf(c) + 587 * GreenOf(c) + 114 * BlueOf(c) + 500) / 1000);
}

std::vector<Colour> GreyRamp(int32_t bits) {
  const int n = 1 << bits;
  std::vector<Colour> ramp(n);
  for (int i = 0; i < n; ++i) {
    const auto g = static_cast<uint8_t>(i * 255 / (n - 1));
    ramp[i] = MakeColour(g, g, g);
  }
  return ramp;
}

bool ValidImageSize(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= kMaxPixels;
}

bool Image::Create(int32_t width, int32_t height, int32_t bits) {
  *this = Image();
  if (!ValidImageSize(width, height)) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
  width_ = width;
  height_ = height;
  bits_ = bits;
  if (bits <= 8) palette_ = GreyRamp(bits);
  data_.assign(static_cast<size_t>(stride()) * height, 0);
  return true;
}

bool Image::IsGrey() const { return indexed() && palette_ == GreyRamp(bits_); }

bool Image::IsBitonal() const {
  if (!indexed()) return false;
  for (Colour c : palette_) {
    if (c != kBlack && c != kWhite) return false;
  }
  return palette_.size() <= 2;
}

void Image::SetPalette(std::vector<Colour> palette) {
  palette.resize(std::min<size_t>(palette.size(), size_t{1} << bits_));
  palette_ = std::move(palette);
}

Colour Image::At(int32_t x, int32_t y) const {
  const uint8_t* p = row(y);
  if (bits_ == 24) return MakeColour(p[3 * x], p[3 * x + 1], p[3 * x + 2]);
  const uint8_t i = p[x];
  return i < palette_.size() ? palette_[i] : kBlack;
}

void Image::Set(int32_t x, int32_t y, Colour c) {
  uint8_t* p = row(y);
  if (bits_ == 24) {
    p[3 * x] = RedOf(c);
    p[3 * x + 1] = GreenOf(c);
    p[3 * x + 2] = BlueOf(c);
  } else {
    p[x] = NearestIndex(c);
  }
}

uint8_t Image::NearestIndex(Colour c) const {
  int best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (size_t i = 0; i < palette_.size(); ++i) {
    const int dr = RedOf(c) - RedOf(palette_[i]);
    const int dg = GreenOf(c) - GreenOf(palette_[i]);
    const int db = BlueOf(c) - BlueOf(palette_[i]);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace imaging
