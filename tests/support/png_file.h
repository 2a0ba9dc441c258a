#pragma once
// A PNG file in memory, written by libpng from the samples given: the
// fixture of tests that need the kinds of PNG other programs write.

#include <png.h>

#include <cstdint>
#include <vector>

namespace orn_test {

struct PngSpec {
  int type = PNG_COLOR_TYPE_RGB, depth = 8;
  std::vector<uint8_t> rows{};       // every row's samples as the file holds them, one after the other
  std::vector<png_color> palette{};  // palette images
  std::vector<uint8_t> paletteAlpha{};  // tRNS of a palette image
  int trnsGrey = -1;                    // tRNS of a grey image
  png_color_16 background{};            // bKGD when `hasBackground`
  bool hasBackground = false;
};

namespace detail {
inline void AppendPng(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
}  // namespace detail

// The file of `height` rows of `width` pixels; empty if libpng refuses.
inline std::vector<uint8_t> WritePng(const PngSpec& s, uint32_t width, uint32_t height) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, detail::AppendPng, nullptr);
  png_set_IHDR(png, info, width, height, s.depth, s.type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.paletteAlpha.empty()) {
    png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
  }
  if (s.trnsGrey >= 0) {
    png_color_16 t{};
    t.gray = static_cast<png_uint_16>(s.trnsGrey);
    png_set_tRNS(png, info, nullptr, 0, &t);
  }
  if (s.hasBackground) png_set_bKGD(png, info, &s.background);
  png_write_info(png, info);
  std::vector<uint8_t> rows = s.rows;
  const size_t stride = height == 0 ? 0 : rows.size() / height;
  for (uint32_t y = 0; y < height; ++y) png_write_row(png, rows.data() + y * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace orn_test
