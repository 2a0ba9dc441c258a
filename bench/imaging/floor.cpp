// The floor of each benchmark case: what a small program that calls the
// codec libraries directly needs for the same work with the same settings.
// Inputs are loaded first and not timed; the program prints the seconds of
// the timed part and the bytes it wrote.
//
//   floor CASE OUTDIR INPUT...
//
// Cases that write the sheets (24-bit BMP inputs, 300 dpi), each as Quillet
// saves them, five sheets to a file where the format has pages; they also
// print the bytes written:
//   tiff-lzw    RGB, LZW
//   tiff-g4     grey (299 R + 587 G + 114 B) / 1000, black below 128, G4
//   jpeg        quality 75, 2 x 2 chroma sampling
//   png         the filter and zlib level the imaging control uses
//   png-default libpng's own choice of filters and zlib level
//   gray8       grey levels, LZW
//   col8        nearest colour of the 6 x 6 x 6 cube and 40 greys (found as
//               the imaging control finds it), LZW
//   bw          nearer of black and white, G4
// Cases that read (OUTDIR is not used):
//   read-bmp    read and decode each BMP once, keeping every sheet
//   read-tiff   decode each TIFF once, keeping every page
//   pages       decode pages 2 to the last of one multi-page TIFF into one
//               buffer

#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>
// clang-format off
#include <csetjmp>
#include <jpeglib.h>
// clang-format on

#include "platform/imaging/edits.h"
#include "platform/imaging/nearest_colour.h"
#include "platform/imaging/png_settings.h"

namespace {

constexpr int kPagesPerFile = 5;
constexpr float kDpi = 300;

std::vector<std::string> gWritten;  // the files written, for their sizes

// Pixel buffers are left uncleared: every byte is written before it is read.
using Pixels = std::unique_ptr<uint8_t[]>;

struct Sheet {
  int width = 0, height = 0;
  Pixels rgb;
  const uint8_t* Row(int y) const { return rgb.get() + static_cast<size_t>(y) * width * 3; }
};

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// A bottom-up 24-bit BMP, read in pieces and turned into top-down R, G, B rows.
bool ReadBmp(const std::string& path, Sheet& s) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t head[54];
  bool ok = std::fread(head, 1, sizeof head, f) == sizeof head && head[0] == 'B' && head[28] == 24;
  if (ok) {
    s.width = static_cast<int>(U32(head + 18));
    s.height = static_cast<int>(U32(head + 22));
    s.rgb.reset(new uint8_t[static_cast<size_t>(s.width) * s.height * 3]);
    ok = std::fseek(f, U32(head + 10), SEEK_SET) == 0;
  }
  const size_t stride = (static_cast<size_t>(s.width) * 3 + 3) / 4 * 4;
  const int rowsAtOnce = static_cast<int>((size_t{1} << 18) / stride) + 1;
  std::vector<uint8_t> chunk(stride * rowsAtOnce);
  for (int r = 0; ok && r < s.height; r += rowsAtOnce) {
    const int n = std::min(rowsAtOnce, s.height - r);
    ok = std::fread(chunk.data(), stride, n, f) == static_cast<size_t>(n);
    for (int i = 0; ok && i < n; ++i) {
      const uint8_t* in = chunk.data() + stride * i;
      uint8_t* out = s.rgb.get() + static_cast<size_t>(s.height - 1 - (r + i)) * s.width * 3;
      for (int x = 0; x < s.width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
  }
  std::fclose(f);
  return ok;
}

uint8_t Grey(const uint8_t* p) { return static_cast<uint8_t>((299u * p[0] + 587u * p[1] + 114u * p[2] + 500u) / 1000u); }

// One page of a TIFF: `row(y, buffer)` fills row y in the file's layout.
struct Page {
  uint16_t samples, bits, photometric, compression;
  const uint16_t* colormap = nullptr;  // 3 x 256 entries for a palette page
};

bool WritePage(TIFF* t, const Sheet& s, const Page& p, bool later,
               const std::function<void(int, uint8_t*)>& row) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samples);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(t, TIFFTAG_COMPRESSION, p.compression);
  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, kDpi);
  TIFFSetField(t, TIFFTAG_YRESOLUTION, kDpi);
  if (later) TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  if (p.colormap) TIFFSetField(t, TIFFTAG_COLORMAP, p.colormap, p.colormap + 256, p.colormap + 512);
  const uint32_t perStrip = std::min<uint32_t>(TIFFDefaultStripSize(t, 0), s.height);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, perStrip);
  const size_t line = static_cast<size_t>(TIFFScanlineSize(t));
  std::vector<uint8_t> strip(line * perStrip);
  for (uint32_t y0 = 0; y0 < static_cast<uint32_t>(s.height); y0 += perStrip) {
    const uint32_t n = std::min<uint32_t>(perStrip, s.height - y0);
    for (uint32_t i = 0; i < n; ++i) row(static_cast<int>(y0 + i), strip.data() + line * i);
    if (TIFFWriteEncodedStrip(t, y0 / perStrip, strip.data(), static_cast<tmsize_t>(line * n)) < 0) return false;
  }
  return TIFFWriteDirectory(t) != 0;
}

// The sheets as multi-page TIFFs, kPagesPerFile to a file.
bool WriteTiffs(const std::string& out, const std::vector<Sheet>& sheets, const Page& p,
                const std::function<void(const Sheet&, int, uint8_t*)>& row) {
  for (size_t first = 0; first < sheets.size(); first += kPagesPerFile) {
    gWritten.push_back(out + "/floor-" + std::to_string(first / kPagesPerFile) + ".tif");
    TIFF* t = TIFFOpen(gWritten.back().c_str(), "w");
    if (!t) return false;
    for (size_t k = first; k < std::min(sheets.size(), first + kPagesPerFile); ++k) {
      const Sheet& s = sheets[k];
      if (!WritePage(t, s, p, k != first, [&](int y, uint8_t* b) { row(s, y, b); })) return false;
    }
    TIFFClose(t);
  }
  return true;
}

void PackBits(const uint8_t* ones, size_t width, uint8_t* out) {
  std::memset(out, 0, (width + 7) / 8);
  for (size_t x = 0; x < width; ++x) out[x >> 3] |= static_cast<uint8_t>(ones[x] << (7 - (x & 7)));
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
void JpegFail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); }

bool WriteJpeg(const std::string& path, const Sheet& s) {
  gWritten.push_back(path);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct c{};
  JpegError err{};
  c.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return false;
  }
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = s.width;
  c.image_height = s.height;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 75, TRUE);
  c.density_unit = 1;
  c.X_density = c.Y_density = static_cast<UINT16>(kDpi);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(s.Row(static_cast<int>(c.next_scanline)));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(f) == 0;
}

bool WritePng(const std::string& path, const Sheet& s, bool chosen) {
  gWritten.push_back(path);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, s.width, s.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (chosen) {
    png_set_filter(png, PNG_FILTER_TYPE_BASE, imaging::kPngRowFilter);
    png_set_compression_level(png, imaging::kPngZlibLevel);
  }
  const auto ppm = static_cast<png_uint_32>(kDpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < s.height; ++y) png_write_row(png, s.Row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

// Every strip of the current page into `buffer` (made when it is null).
bool DecodeTiffPage(TIFF* t, Pixels& buffer) {
  const tstrip_t strips = TIFFNumberOfStrips(t);
  if (!buffer) buffer.reset(new uint8_t[static_cast<size_t>(TIFFStripSize(t)) * strips]);
  size_t at = 0;
  for (tstrip_t i = 0; i < strips; ++i) {
    const tmsize_t got = TIFFReadEncodedStrip(t, i, buffer.get() + at, TIFFStripSize(t));
    if (got < 0) return false;
    at += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: floor CASE OUTDIR INPUT...\n");
    return 2;
  }
  const std::string what = argv[1], out = argv[2];
  const std::vector<std::string> inputs(argv + 3, argv + argc);
  const bool reads = what == "read-bmp" || what == "read-tiff" || what == "pages";
  std::vector<Sheet> sheets;
  if (!reads) {
    for (const std::string& in : inputs) {
      sheets.emplace_back();
      if (!ReadBmp(in, sheets.back())) {
        std::fprintf(stderr, "floor: cannot read %s\n", in.c_str());
        return 1;
      }
    }
  }
  TIFFSetWarningHandler(nullptr);
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  if (what == "tiff-lzw") {
    ok = WriteTiffs(out, sheets, {3, 8, PHOTOMETRIC_RGB, COMPRESSION_LZW},
                    [](const Sheet& s, int y, uint8_t* b) { std::memcpy(b, s.Row(y), s.width * 3); });
  } else if (what == "tiff-g4" || what == "bw") {
    const bool nearer = what == "bw";
    std::vector<uint8_t> ones;
    ok = WriteTiffs(out, sheets, {1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4},
                    [&](const Sheet& s, int y, uint8_t* b) {
                      ones.resize(s.width);
                      const uint8_t* p = s.Row(y);
                      for (int x = 0; x < s.width; ++x, p += 3) {
                        if (nearer) {
                          const int black = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
                          const int white = (255 - p[0]) * (255 - p[0]) + (255 - p[1]) * (255 - p[1]) +
                                            (255 - p[2]) * (255 - p[2]);
                          ones[x] = white < black ? 0 : 1;
                        } else {
                          // Grey (299 R + 587 G + 114 B + 500) / 1000 below 128.
                          ones[x] = 299u * p[0] + 587u * p[1] + 114u * p[2] < 127500u;
                        }
                      }
                      PackBits(ones.data(), static_cast<size_t>(s.width), b);
                    });
  } else if (what == "gray8") {
    ok = WriteTiffs(out, sheets, {1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW},
                    [](const Sheet& s, int y, uint8_t* b) {
                      const uint8_t* p = s.Row(y);
                      for (int x = 0; x < s.width; ++x, p += 3) b[x] = Grey(p);
                    });
  } else if (what == "col8") {
    // The nearest-colour search of the imaging control: its exact answer
    // needs it, and the floor is what goes around it.
    const std::vector<imaging::Colour> palette = imaging::StandardPalette(8);
    imaging::NearestColour nearest(palette);
    std::array<uint16_t, 768> map{};
    for (size_t i = 0; i < palette.size(); ++i) {
      map[i] = static_cast<uint16_t>(imaging::RedOf(palette[i]) * 257);
      map[256 + i] = static_cast<uint16_t>(imaging::GreenOf(palette[i]) * 257);
      map[512 + i] = static_cast<uint16_t>(imaging::BlueOf(palette[i]) * 257);
    }
    Page page{1, 8, PHOTOMETRIC_PALETTE, COMPRESSION_LZW, map.data()};
    ok = WriteTiffs(out, sheets, page, [&](const Sheet& s, int y, uint8_t* b) {
      const uint8_t* p = s.Row(y);
      for (int x = 0; x < s.width; ++x, p += 3) b[x] = nearest(imaging::MakeColour(p[0], p[1], p[2]));
    });
  } else if (what == "jpeg") {
    for (size_t k = 0; ok && k < sheets.size(); ++k) ok = WriteJpeg(out + "/floor-" + std::to_string(k) + ".jpg", sheets[k]);
  } else if (what == "png" || what == "png-default") {
    for (size_t k = 0; ok && k < sheets.size(); ++k)
      ok = WritePng(out + "/floor-" + std::to_string(k) + ".png", sheets[k], what == "png");
  } else if (what == "read-bmp") {
    // Each sheet is kept, as a program holding its sheets keeps them.
    std::vector<Sheet> kept(inputs.size());
    for (size_t i = 0; ok && i < inputs.size(); ++i) ok = ReadBmp(inputs[i], kept[i]);
  } else if (what == "read-tiff") {
    std::vector<Pixels> kept(inputs.size());
    for (size_t i = 0; ok && i < inputs.size(); ++i) {
      TIFF* t = TIFFOpen(inputs[i].c_str(), "r");
      ok = t && DecodeTiffPage(t, kept[i]);
      if (t) TIFFClose(t);
    }
  } else if (what == "pages") {
    TIFF* t = TIFFOpen(inputs[0].c_str(), "r");
    Pixels pixels;
    ok = t != nullptr;
    for (tdir_t d = 1; ok && TIFFSetDirectory(t, d); ++d) ok = DecodeTiffPage(t, pixels);
    if (t) TIFFClose(t);
  } else {
    std::fprintf(stderr, "floor: unknown case %s\n", what.c_str());
    return 2;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok) {
    std::fprintf(stderr, "floor: %s failed\n", what.c_str());
    return 1;
  }
  uintmax_t bytes = 0;
  for (const std::string& f : gWritten) bytes += std::filesystem::file_size(f);
  if (reads) {
    std::printf("%.4f\n", seconds);
  } else {
    std::printf("%.4f %ju\n", seconds, bytes);
  }
  return 0;
}
