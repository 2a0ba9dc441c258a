#pragma once
// The image model of the imaging control: pixels, palette, bits, resolution.
//
// Images of 1, 4 and 8 bits hold one palette index per pixel (one byte each
// in memory, packed only in files) and a palette of at most 2^bits colours;
// a grey image is one whose palette is the even ramp from black to white
// (2, 16 or 256 levels). Images of 24 bits hold R, G, B bytes per pixel.
// Colours are &H00BBGGRR Longs, the way the system writes them.
//
// An Image is a value: a copy is independent of its original. Copies share
// their pixel block until one of them takes a row to write (copy on write),
// so handing an A4 page from control to control costs no pixel copy.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace imaging {

using Colour = uint32_t;

constexpr Colour MakeColour(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Colour>(r) | static_cast<Colour>(g) << 8 | static_cast<Colour>(b) << 16;
}
constexpr uint8_t RedOf(Colour c) { return c & 0xFF; }
constexpr uint8_t GreenOf(Colour c) { return (c >> 8) & 0xFF; }
constexpr uint8_t BlueOf(Colour c) { return (c >> 16) & 0xFF; }
constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;

// Grey level of a colour, rounded: (299 R + 587 G + 114 B) / 1000.
constexpr uint8_t GreyOf(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}
constexpr uint8_t GreyOf(Colour c) { return GreyOf(RedOf(c), GreenOf(c), BlueOf(c)); }

// Images hold no transparency: a file's transparent pixels are laid on
// paper (its own background colour, else white) as they are read, alpha 0
// transparent, 255 opaque, partial alpha blended and rounded. A
// premultiplied sample already holds its share of the colour.
constexpr uint8_t OnPaper(uint8_t c, uint8_t alpha, uint8_t paper) {
  return static_cast<uint8_t>((c * alpha + paper * (255u - alpha) + 127u) / 255u);
}
constexpr uint8_t PremultipliedOnPaper(uint8_t c, uint8_t alpha, uint8_t paper) {
  const unsigned v = c + (paper * (255u - alpha) + 127u) / 255u;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}
constexpr Colour OnPaper(Colour c, uint8_t alpha, Colour paper) {
  return MakeColour(OnPaper(RedOf(c), alpha, RedOf(paper)), OnPaper(GreenOf(c), alpha, GreenOf(paper)),
                    OnPaper(BlueOf(c), alpha, BlueOf(paper)));
}

// Largest image the control holds, in pixels; bigger sizes are refused, so
// a damaged file header cannot ask for an absurd allocation.
inline constexpr int64_t kMaxPixels = int64_t{1} << 27;
inline constexpr int32_t kMaxSide = 65535;
inline constexpr double kDefaultDpi = 96.0;

class Image {
 public:
  Image() = default;  // empty: no pixels

  // A new image filled with palette index 0 (black) or black; bits 1, 4 and
  // 8 get the grey ramp. False (and an empty image) for a size or bits out
  // of range.
  bool Create(int32_t width, int32_t height, int32_t bits);
  // The same for a caller that writes every pixel before anyone reads one
  // (a decoder, a conversion): the pixels are not cleared first.
  bool CreateForWriting(int32_t width, int32_t height, int32_t bits);

  bool empty() const { return width_ == 0; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t bits() const { return bits_; }
  bool indexed() const { return bits_ <= 8 && bits_ > 0; }
  // True when the palette is the grey ramp of the image's bits.
  bool IsGrey() const;
  // Only black and white (1 bit, or a palette of black and/or white only).
  bool IsBitonal() const;

  double xdpi() const { return xdpi_; }
  double ydpi() const { return ydpi_; }
  void SetResolution(double x, double y) {
    xdpi_ = x;
    ydpi_ = y;
  }

  const std::vector<Colour>& palette() const { return palette_; }
  // Replaces the palette (at most 2^bits entries); indices stay.
  void SetPalette(std::vector<Colour> palette);

  // Bytes per row in memory: width for indexed images, 3 x width for 24 bits.
  int32_t stride() const { return bits_ == 24 ? width_ * 3 : width_; }
  // Row y to change. The first one taken from pixels that a copy still
  // shares gives this image a block of its own; a pointer taken before a
  // copy was made must not be written through afterwards.
  uint8_t* row(int32_t y) {
    if (shared()) Unshare();
    return data_.get() + static_cast<size_t>(y) * stride();
  }
  const uint8_t* row(int32_t y) const { return data_.get() + static_cast<size_t>(y) * stride(); }
  // Row y to read, also from an image that may be written: never copies.
  const uint8_t* crow(int32_t y) const { return row(y); }
  // True while this image and `other` share one pixel block.
  bool SharesPixelsWith(const Image& other) const { return data_ && data_ == other.data_; }
  // Hands the pixel block (stride() x height bytes from malloc) to a caller
  // who frees it with std::free; the image is empty afterwards. Null, and
  // the image unchanged, while a copy shares the block (see GiveBackPixels).
  uint8_t* ReleasePixels();

  // Colour of a pixel (inside the image).
  Colour At(int32_t x, int32_t y) const;
  // Sets a pixel to a colour: indexed images take the nearest palette entry.
  void Set(int32_t x, int32_t y, Colour c);
  // Index of the palette entry nearest to `c` (squared RGB distance, the
  // lowest index on a tie); indexed images only.
  uint8_t NearestIndex(Colour c) const;

  // Same size, bits, resolution, palette and pixels.
  bool operator==(const Image& o) const;

 private:
  bool shared() const { return data_.use_count() > 1; }
  void Unshare();
  bool Make(int32_t width, int32_t height, int32_t bits, bool cleared);

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bits_ = 0;
  double xdpi_ = kDefaultDpi;
  double ydpi_ = kDefaultDpi;
  std::vector<Colour> palette_;
  std::shared_ptr<uint8_t[]> data_;  // stride() x height bytes, null when empty
};

// The grey ramp of 2^bits levels (bits 1, 4 or 8).
std::vector<Colour> GreyRamp(int32_t bits);
// True when width, height and bits make an image the control can hold.
bool ValidImageSize(int64_t width, int64_t height);
// Frees a pixel block of `bytes` from malloc that its holder is done with
// (one from ReleasePixels, say), keeping a large one for the next image of
// that size instead, as images do with their own.
void GiveBackPixels(uint8_t* pixels, size_t bytes);

}  // namespace imaging
