// PNG through libpng: palette images of 1, 4 and 8 bits, grey of 1, 4 and 8
// bits and true colour, the resolution in the pHYs chunk; files on disk or
// bytes in memory. Transparency (an alpha channel or tRNS) is laid on the
// file's background colour (bKGD), else on white: a palette's entries are
// laid on it, any other image becomes true colour. 16-bit samples keep
// their high byte.
//
// libpng reports errors by longjmp to the setjmp of the function that owns
// the png structures; every C++ object of those functions exists before the
// setjmp, so the jump skips no destructor.

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
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

// A C callback: running out of memory becomes libpng's error jump, taken
// after the handler has left its C++ frame.
void AppendBytes(png_structp png, png_bytep data, size_t n) {
  auto* sink = static_cast<const ImageSink*>(png_get_io_ptr(png));
  bool full = false;
  try {
    sink->CheckRoom(sink->bytes->size() + n);
    sink->bytes->insert(sink->bytes->end(), data, data + n);
  } catch (const std::bad_alloc&) {
    full = true;
  }
  if (full) png_error(png, "out of memory");
}
void NoFlush(png_structp) {}

// The colour transparent pixels are laid on: the file's background colour
// (bKGD, at the file's depth) or white.
Colour Paper(png_structp png, png_infop pi, int type, int depth) {
  png_color_16p bk = nullptr;
  if (!png_get_bKGD(png, pi, &bk)) return kWhite;
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp pal = nullptr;
    int n = 0;
    if (!png_get_PLTE(png, pi, &pal, &n) || bk->index >= n) return kWhite;
    return MakeColour(pal[bk->index].red, pal[bk->index].green, pal[bk->index].blue);
  }
  const auto level = [depth](png_uint_16 v) {
    return static_cast<uint8_t>(depth == 16 ? v >> 8 : v * 255u / ((1u << depth) - 1));
  };
  if ((type & PNG_COLOR_MASK_COLOR) == 0) return MakeColour(level(bk->gray), level(bk->gray), level(bk->gray));
  return MakeColour(level(bk->red), level(bk->green), level(bk->blue));
}

int16_t Decode(const ImageSource& src, FileInfo* info, Image* out) {
  StdioFile file{src.inMemory() ? nullptr : std::fopen(src.path().c_str(), "rb")};
  if (!src.inMemory() && !file.f) return kPixoFileNotFound;
  MemoryReader memory{src.bytes()};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, Silent);
  if (!png) return kPixoDamagedFile;
  png_infop pi = png_create_info_struct(png);
  Image img;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> rgba, alphas;
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
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, pi, PNG_INFO_tRNS);
    const Colour paper = Paper(png, pi, type, depth);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_interlace_handling(png);
    if (alpha && type != PNG_COLOR_TYPE_PALETTE) {
      // R, G, B, A rows, laid on paper into a true-colour image.
      png_set_expand(png);
      png_set_gray_to_rgb(png);
      png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
      png_read_update_info(png, pi);
      if (png_get_rowbytes(png, pi) != 4 * static_cast<size_t>(w)) png_error(png, "layout");
      img.CreateForWriting(static_cast<int32_t>(w), static_cast<int32_t>(h), 24);
      rgba.resize(4 * static_cast<size_t>(w) * h);
      rows.resize(h);
      for (png_uint_32 y = 0; y < h; ++y) rows[y] = rgba.data() + 4 * static_cast<size_t>(w) * y;
      png_read_image(png, rows.data());
      png_read_end(png, nullptr);
      for (png_uint_32 y = 0; y < h; ++y) {
        uint8_t* d = img.row(static_cast<int32_t>(y));
        const uint8_t* p = rows[y];
        for (png_uint_32 x = 0; x < w; ++x, p += 4, d += 3) {
          d[0] = OnPaper(p[0], p[3], RedOf(paper));
          d[1] = OnPaper(p[1], p[3], GreenOf(paper));
          d[2] = OnPaper(p[2], p[3], BlueOf(paper));
        }
      }
    } else {
      // The palette's tRNS, read before the update drops it.
      png_bytep trans = nullptr;
      int nTrans = 0;
      if (alpha) png_get_tRNS(png, pi, &trans, &nTrans, nullptr);
      alphas.assign(trans, trans + nTrans);
      png_set_strip_alpha(png);
      png_read_update_info(png, pi);
      img.CreateForWriting(static_cast<int32_t>(w), static_cast<int32_t>(h), bits);
      if (type == PNG_COLOR_TYPE_PALETTE) {
        png_colorp pal = nullptr;
        int n = 0;
        if (!png_get_PLTE(png, pi, &pal, &n)) png_error(png, "no palette");
        std::vector<Colour> colours;
        for (int i = 0; i < n; ++i) {
          const Colour c = MakeColour(pal[i].red, pal[i].green, pal[i].blue);
          colours.push_back(i < static_cast<int>(alphas.size()) ? OnPaper(c, alphas[i], paper) : c);
        }
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
      png_set_write_fn(png, &sink, AppendBytes, NoFlush);
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
