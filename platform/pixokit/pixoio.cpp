#include "platform/pixokit/pixoio.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

namespace {

constexpr int32_t kOk = 1;
constexpr int32_t kNoMemory = -1;
constexpr int32_t kBadBitmap = -2;
constexpr int32_t kWriteError = -5;
constexpr int32_t kBadFormat = -9;
constexpr int32_t kBadBits = -27;
constexpr int32_t kBandRows = 16;

// One row of a loaded image as the bitmap holds it: R, G, B bytes (24) or
// grey levels (8). `colours` gives an indexed image's index -> colour.
void BitmapRow(const imaging::Image& img, int32_t y, int32_t bits, const std::array<imaging::Colour, 256>& colours,
               uint8_t* out) {
  const uint8_t* s = img.crow(y);
  const int32_t w = img.width();
  if (img.bits() == 24) {
    if (bits == 24) {
      std::memcpy(out, s, static_cast<size_t>(w) * 3);
    } else {
      for (int32_t x = 0; x < w; ++x, s += 3) out[x] = imaging::GreyOf(s[0], s[1], s[2]);
    }
    return;
  }
  for (int32_t x = 0; x < w; ++x) {
    const imaging::Colour c = colours[s[x]];
    if (bits == 8) {
      out[x] = imaging::GreyOf(c);
    } else {
      out[3 * x] = imaging::RedOf(c);
      out[3 * x + 1] = imaging::GreenOf(c);
      out[3 * x + 2] = imaging::BlueOf(c);
    }
  }
}

}  // namespace

extern "C" {

int32_t PXIO_SaveBitmapMemory(PXBITMAP* bitmap, ax::HGLOBAL* out, int32_t format, int32_t bits, int32_t quality,
                              PXSAVECALLBACK callback, void* userData, uint32_t* length) {
  if (!out || !length) return -13;
  *out = nullptr;
  *length = 0;
  std::vector<uint8_t> bytes;
  const int32_t r = PXIO_SaveBitmapBytes(bitmap, bytes, format, bits, quality, callback, userData);
  if (r != kOk) return r;
  ax::HGLOBAL mem = ax::GlobalAlloc(ax::GMEM_MOVEABLE, bytes.size());
  if (!mem) return kNoMemory;
  std::memcpy(ax::GlobalLock(mem), bytes.data(), bytes.size());
  ax::GlobalUnlock(mem);
  *out = mem;
  *length = static_cast<uint32_t>(bytes.size());
  return kOk;
}

int32_t PXIO_LoadBitmapMemory(const uint8_t* data, uint32_t length, PXBITMAP* bitmap, uint32_t size, int32_t bits,
                              PXLOADCALLBACK callback, void* userData) {
  if (!bitmap || size != sizeof(PXBITMAP) || (!data && length)) return -13;
  if (bits != 0 && bits != 8 && bits != 24) return kBadBits;
  const std::span<const uint8_t> bytes(data, length);
  imaging::FileInfo fi;
  imaging::Image img;
  if (imaging::ReadImageInfoMemory(bytes, 1, fi) != imaging::kPixoOk ||
      imaging::ReadImageMemory(bytes, 1, img) != imaging::kPixoOk || img.empty())
    return kBadFormat;
  int32_t want = bits ? bits : (img.indexed() && img.IsGrey() ? 8 : 24);
  PXBITMAP loaded;
  int32_t r = kOk;
  // Pixels already laid out as the bitmap holds them (true colour; 256 grey
  // levels, whose indices are their levels) become the bitmap's as they are.
  const bool asHeld = (want == 24 && img.bits() == 24) || (want == 8 && img.bits() == 8 && img.IsGrey());
  const int32_t w = img.width(), h = img.height();
  uint8_t* pixels = asHeld ? img.ReleasePixels() : nullptr;
  if (pixels) {
    r = PXC_AdoptBitmapData(&loaded, w, h, want, pixels);
    if (r != kOk) std::free(pixels);
  } else {
    r = PXC_CreateBitmap(&loaded, w, h, want);
    std::array<imaging::Colour, 256> colours;
    colours.fill(imaging::kBlack);
    std::copy(img.palette().begin(), img.palette().end(), colours.begin());
    uint8_t* rows = r == kOk ? PXC_BitmapData(&loaded) : nullptr;
    for (int32_t y = 0; rows && y < h; ++y) {
      BitmapRow(img, y, want, colours, rows + static_cast<size_t>(y) * loaded.BytesPerLine);
    }
  }
  if (r != kOk) return r;
  loaded.XResolution = static_cast<int32_t>(fi.xdpi + 0.5);
  loaded.YResolution = static_cast<int32_t>(fi.ydpi + 0.5);
  PXFILEINFO info{fi.width, fi.height, fi.bits, 0, length};
  if (callback) {
    for (int32_t first = 0; first < loaded.Height; first += kBandRows) {
      int32_t count = std::min(kBandRows, loaded.Height - first);
      uint8_t* band = PXC_BitmapData(&loaded) + static_cast<size_t>(first) * loaded.BytesPerLine;
      r = callback(&info, &loaded, band, count * loaded.BytesPerLine, first, count, userData);
      if (r != kOk) {
        PXC_FreeBitmap(&loaded);
        return r;
      }
    }
  }
  std::memcpy(bitmap, &loaded, sizeof loaded);
  return kOk;
}
}

int32_t PXIO_SaveBitmapBytes(PXBITMAP* bitmap, std::vector<uint8_t>& out, int32_t format, int32_t bits,
                             int32_t quality, PXSAVECALLBACK callback, void* userData) {
  out.clear();
  if (!bitmap || !(bitmap->Flags & BITMAP_ALLOCATED) || !callback) return kBadBitmap;
  imaging::Image img;
  if (!img.CreateForWriting(bitmap->Width, bitmap->Height, bitmap->BitsPerPixel)) return kBadBits;
  // The callback's rows go straight into the image when their lines are
  // as long as the image's; else through a band buffer.
  const bool direct = bitmap->BytesPerLine == img.stride();
  std::vector<uint8_t> band(direct ? 0 : static_cast<size_t>(bitmap->BytesPerLine) * kBandRows);
  for (int32_t first = 0; first < bitmap->Height; first += kBandRows) {
    int32_t count = std::min(kBandRows, bitmap->Height - first);
    int32_t r = callback(bitmap, direct ? img.row(first) : band.data(), first, count, userData);
    if (r != kOk) return r;
    for (int32_t i = 0; !direct && i < count; ++i) {
      std::memcpy(img.row(first + i), band.data() + static_cast<size_t>(i) * bitmap->BytesPerLine,
                  static_cast<size_t>(std::min(img.stride(), bitmap->BytesPerLine)));
    }
  }
  // 255 is the toolkit's "default quality".
  int32_t q = quality >= 1 && quality <= 100 ? quality : 0;
  // Room for the pixels as they are: an uncompressed file grows in place.
  out.reserve(static_cast<size_t>(img.stride()) * img.height() + 65536);
  if (imaging::WriteImageMemory(out, img, format, bits, q) != imaging::kPixoOk || out.size() > UINT32_MAX) {
    out.clear();
    return kWriteError;
  }
  return kOk;
}

int32_t PXIO_FreeBitmap(PXBITMAP* bitmap) {
  if (!bitmap) return kBadBitmap;
  const size_t bytes = static_cast<size_t>(bitmap->BytesPerLine) * static_cast<size_t>(bitmap->Height);
  if (uint8_t* pixels = PXC_DetachBitmapData(bitmap)) imaging::GiveBackPixels(pixels, bytes);
  return PXC_FreeBitmap(bitmap);
}
