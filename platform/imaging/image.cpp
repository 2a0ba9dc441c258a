#include "platform/imaging/image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

namespace imaging {

namespace {

// The last large pixel block given back, kept for the next image of the
// same size: a viewer paging through a file or a commit converting sheet
// after sheet then reuses that memory instead of having the system map and
// clear fresh pages for every page, which costs more than decoding one.
class SpareBlock {
 public:
  static constexpr size_t kKeptFrom = size_t{1} << 20;

  void* Take(size_t bytes) {
    std::lock_guard lock(mutex_);
    if (!block_ || bytes_ != bytes) return nullptr;
    return std::exchange(block_, nullptr);
  }
  void Give(void* block, size_t bytes) {
    void* previous = nullptr;
    {
      std::lock_guard lock(mutex_);
      previous = std::exchange(block_, block);
      bytes_ = bytes;
    }
    std::free(previous);
  }

 private:
  std::mutex mutex_;
  void* block_ = nullptr;
  size_t bytes_ = 0;
};

// Never destroyed: images may be freed while the program ends.
SpareBlock& Spare() {
  static auto* spare = new SpareBlock;
  return *spare;
}

// Gives a pixel block back: a large one is kept, a small one freed; one
// handed over to a caller (ReleasePixels) is the caller's.
struct BlockReturn {
  size_t bytes;
  bool handedOver = false;
  void operator()(uint8_t* p) const {
    if (!handedOver) GiveBackPixels(p, bytes);
  }
};

// A pixel block, from malloc. Fresh memory comes from calloc, which gets it
// zeroed from the system without a pass over it; a kept block is cleared
// here.
std::shared_ptr<uint8_t[]> NewBlock(size_t bytes, bool zeroed) {
  void* p = bytes < SpareBlock::kKeptFrom ? nullptr : Spare().Take(bytes);
  if (p && zeroed) std::memset(p, 0, bytes);
  if (!p) p = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  if (!p) throw std::bad_alloc();
  return std::shared_ptr<uint8_t[]>(static_cast<uint8_t*>(p), BlockReturn{bytes});
}

}  // namespace

std::vector<Colour> GreyRamp(int32_t bits) {
  const int n = 1 << bits;
  std::vector<Colour> ramp(n);
  for (int i = 0; i < n; ++i) {
    const auto g = static_cast<uint8_t>(i * 255 / (n - 1));
    ramp[i] = MakeColour(g, g, g);
  }
  return ramp;
}

void GiveBackPixels(uint8_t* pixels, size_t bytes) {
  if (!pixels) return;
  if (bytes < SpareBlock::kKeptFrom) {
    std::free(pixels);
  } else {
    Spare().Give(pixels, bytes);
  }
}

bool ValidImageSize(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= kMaxPixels;
}

bool Image::Create(int32_t width, int32_t height, int32_t bits) { return Make(width, height, bits, true); }

bool Image::CreateForWriting(int32_t width, int32_t height, int32_t bits) {
  return Make(width, height, bits, false);
}

bool Image::Make(int32_t width, int32_t height, int32_t bits, bool cleared) {
  *this = Image();
  if (!ValidImageSize(width, height)) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
  width_ = width;
  height_ = height;
  bits_ = bits;
  if (bits <= 8) palette_ = GreyRamp(bits);
  data_ = NewBlock(static_cast<size_t>(stride()) * height, cleared);
  return true;
}

uint8_t* Image::ReleasePixels() {
  if (!data_ || shared()) return nullptr;
  auto* giveBack = std::get_deleter<BlockReturn>(data_);
  if (!giveBack) return nullptr;
  giveBack->handedOver = true;
  uint8_t* pixels = data_.get();
  *this = Image();
  return pixels;
}

void Image::Unshare() {
  const size_t bytes = static_cast<size_t>(stride()) * height_;
  std::shared_ptr<uint8_t[]> own = NewBlock(bytes, false);
  std::memcpy(own.get(), data_.get(), bytes);
  data_ = std::move(own);
}

bool Image::operator==(const Image& o) const {
  if (width_ != o.width_ || height_ != o.height_ || bits_ != o.bits_ || xdpi_ != o.xdpi_ || ydpi_ != o.ydpi_ ||
      palette_ != o.palette_)
    return false;
  if (data_ == o.data_) return true;
  return std::memcmp(data_.get(), o.data_.get(), static_cast<size_t>(stride()) * height_) == 0;
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
