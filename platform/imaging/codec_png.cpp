// PNG through libpng: palette images of 1, 4 and 8 bits, grey of 1, 4 and 8
// bits and true colour, the resolution in the pHYs chunk; files on disk or
// bytes in memory.
//
// libpng reports errors by longjmp to the setjmp of the function that owns
// the png structures; every C++ object of those functions exists before the
// setjmp, so the jump skips no destructor.

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/stdio_file.h"
#include "platform/imaging/pixo_members.h"
#include "platform/imaging/png_settings.h"

namespace imaging {
namespace {

void Silent(png_structp, png_const_charp) {}
// libpng prints an error itself when its handler returns; this one jumps.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Bits per pixel held for a file's colour type and depth.
int HeldBits(int colourType, int depth) {
  if (colourType == PNG_COLOR_TYPE_PALETTE || colourType == PNG_COLOR_TYPE_GRAY) {
    return depth == 2 ? 4 : depth > 8 ? 8 : depth;
  }
  if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) return 8;
  return 24;
}

// The bytes of a PNG in memory, read in order.
struct MemoryReader {
  std::span<const uint8_t> bytes;
  size_t pos = 0;

  static void Read(png_structp png, png_bytep out, size_t n) {
    auto* m = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (n > m->bytes.size() - m->pos) png_error(png, "end of data");
    std::memcpy(out, m->bytes.data() + m->pos, n);
    m->pos += n;
  }
};

void AppendBytes(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

int16_t Decode(const ImageSource& src, FileInfo* info, Image* out) {
  StdioFile file{src.inMemory() ? nullptr : std::fopen(src.path().c_str(), "rb")};
  if (!src.inMemory() && !file.f) return kPixoFileNotFound;
  MemoryReader memory{src.bytes()};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, Silent);
  if (!png) return kPixoDamagedFile;
  png_infop pi = png_create_info_struct(png);
  Image img;
  std::vector<png_bytep> rows;
  if (!pi || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &pi, nullptr);
    return kPixoDamagedFile;
  }
  if (file.f) {
    png_init_io(png, file.f);
  } else {
    png_set_read_fn(png, &memory, MemoryReader::Read);
  }
  // Guards against an absurd size in a damaged header before any allocation.
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, pi);
  const png_uint_32 w = png_get_image_width(png, pi), h = png_get_image_height(png, pi);
  const int type = png_get_color_type(png, pi), depth = png_get_bit_depth(png, pi);
  const int bits = HeldBits(type, depth);
  double xdpi = kDefaultDpi, ydpi = kDefaultDpi;
  png_uint_32 px = 0, py = 0;
  int unit = 0;
  if (png_get_pHYs(png, pi, &px, &py, &unit) && unit == PNG_RESOLUTION_METER && px > 0 && py > 0) {
    xdpi = DpiFromPerMetre(px);
    ydpi = DpiFromPerMetre(py);
  }
  if (info) {
    info->width = static_cast<int32_t>(w);
    info->height = static_cast<int32_t>(h);
    info->bits = png_get_channels(png, pi) * depth;
    info->pageCount = 1;
    info->xdpi = xdpi;
    info->ydpi = ydpi;
  }
  if (!ValidImageSize(w, h)) {
    png_destroy_read_struct(&png, &pi, nullptr);
    return kPixoDamagedFile;
  }
  if (out) {
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, pi);
    img.CreateForWriting(static_cast<int32_t>(w), static_cast<int32_t>(h), bits);
    if (type == PNG_COLOR_TYPE_PALETTE) {
      png_colorp pal = nullptr;
      int n = 0;
      if (!png_get_PLTE(png, pi, &pal, &n)) png_error(png, "no palette");
      std::vector<Colour> colours;
      for (int i = 0; i < n; ++i) colours.push_back(MakeColour(pal[i].red, pal[i].green, pal[i].blue));
      img.SetPalette(std::move(colours));
    }
    if (png_get_rowbytes(png, pi) != static_cast<size_t>(img.stride())) png_error(png, "layout");
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = img.row(static_cast<int32_t>(y));
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    if (type == PNG_COLOR_TYPE_GRAY && depth == 2) {
      // Four levels held as 4 of the 16 levels of a 4-bit grey image.
      for (png_uint_32 y = 0; y < h; ++y) {
        for (png_uint_32 x = 0; x < w; ++x) rows[y][x] = static_cast<png_byte>(rows[y][x] * 5);
      }
    }
    img.SetResolution(xdpi, ydpi);
  }
  png_destroy_read_struct(&png, &pi, nullptr);
  if (out) *out = std::move(img);
  return kPixoOk;
}

class Png final : public ImageCodec {
 public:
  bool Sniff(std::span<const uint8_t> h) const override {
    return h.size() >= 8 && png_sig_cmp(h.data(), 0, 8) == 0;
  }

  bool Writes(int32_t format) const override { return format == kFormatPng; }
  bool Holds(int32_t, int32_t, bool) const override { return true; }

  int16_t ReadInfo(const ImageSource& src, int32_t page, FileInfo& info) const override {
    if (page != 1) return kPixoBadArgument;
    const int16_t rc = Decode(src, &info, nullptr);
    info.page = 1;
    return rc;
  }

  int16_t Read(const ImageSource& src, int32_t page, Image& out) const override {
    if (page != 1) return kPixoBadArgument;
    return Decode(src, nullptr, &out);
  }

  int16_t Write(ImageSink& sink, const Image& img, const SaveRequest&) const override {
    StdioFile file{sink.bytes ? nullptr : std::fopen(sink.path.c_str(), "wb")};
    if (!sink.bytes && !file.f) return kPixoWriteFailed;
    // Volatile: read again after the error jump, so it must not live in a register.
    const volatile size_t before = sink.bytes ? sink.bytes->size() : 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, Silent);
    if (!png) return kPixoWriteFailed;
    png_infop pi = png_create_info_struct(png);
    std::vector<png_color> pal;
    std::vector<png_bytep> rows(static_cast<size_t>(img.height()));
    if (!pi || setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &pi);
      if (sink.bytes) sink.bytes->resize(before);
      return kPixoWriteFailed;
    }
    if (file.f) {
      png_init_io(png, file.f);
    } else {
      png_set_write_fn(png, sink.bytes, AppendBytes, NoFlush);
    }
    const bool grey = img.IsGrey();
    const int type = img.bits() == 24 ? PNG_COLOR_TYPE_RGB : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
    const int depth = img.bits() == 24 ? 8 : img.bits();
    png_set_IHDR(png, pi, static_cast<png_uint_32>(img.width()), static_cast<png_uint_32>(img.height()),
                 depth, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (type == PNG_COLOR_TYPE_PALETTE) {
      for (Colour c : img.palette()) pal.push_back(png_color{RedOf(c), GreenOf(c), BlueOf(c)});
      if (pal.empty()) pal.push_back(png_color{0, 0, 0});
      png_set_PLTE(png, pi, pal.data(), static_cast<int>(pal.size()));
    }
    png_set_pHYs(png, pi, static_cast<png_uint_32>(std::lround(img.xdpi() / 0.0254)),
                 static_cast<png_uint_32>(std::lround(img.ydpi() / 0.0254)), PNG_RESOLUTION_METER);
    if (depth == 8 && type != PNG_COLOR_TYPE_PALETTE) {
      png_set_filter(png, PNG_FILTER_TYPE_BASE, kPngRowFilter);
      png_set_compression_level(png, kPngZlibLevel);
    }
    png_write_info(png, pi);
    png_set_packing(png);
    for (int32_t y = 0; y < img.height(); ++y) rows[y] = const_cast<png_bytep>(img.row(y));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &pi);
    return sink.bytes || file.Finish() ? kPixoOk : kPixoWriteFailed;
  }
};

}  // namespace

const ImageCodec& PngCodec() {
  static const Png codec;
  return codec;
}

}  // namespace imaging
