// The large pages of the viewer benchmark, and libtiff's own decode of them.
//
//   photo_pages make FILE      writes three 6000 x 4000 photo-like pages,
//                              JPEG-compressed (YCbCr, quality 90, 16 rows
//                              a strip), as a camera or a scan to TIFF
//                              stores them
//   photo_pages decode FILE N  decodes page N to RGB with libtiff and
//                              libjpeg alone (libjpeg converts the colours)
//                              and prints the seconds
//
// The pages are the same on every run (fixed seed).

#include <tiffio.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000, kRowsPerStrip = 16, kPages = 3;

// Smooth colour fields with fine grain: what a photograph gives a JPEG coder.
void Row(uint32_t page, uint32_t y, uint64_t& seed, std::vector<uint8_t>& row) {
  for (uint32_t x = 0; x < kWidth; ++x) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    const int grain = static_cast<int>(seed >> 60) - 8;
    const double u = x / 600.0 + page, v = y / 500.0;
    const int r = static_cast<int>(128 + 90 * std::sin(u) * std::cos(v * 0.7)) + grain;
    const int g = static_cast<int>(128 + 80 * std::sin(u * 0.6 + v)) + grain;
    const int b = static_cast<int>(128 + 100 * std::cos(v * 1.3 - u * 0.2)) + grain;
    uint8_t* p = &row[3 * x];
    p[0] = static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
    p[1] = static_cast<uint8_t>(g < 0 ? 0 : g > 255 ? 255 : g);
    p[2] = static_cast<uint8_t>(b < 0 ? 0 : b > 255 ? 255 : b);
  }
}

int Make(const char* path) {
  TIFF* t = TIFFOpen(path, "w");
  if (!t) return 1;
  uint64_t seed = 0x2545F4914F6CDD1Dull;
  std::vector<uint8_t> row(kWidth * 3);
  for (uint32_t page = 0; page < kPages; ++page) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(t, TIFFTAG_JPEGQUALITY, 90);
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0f);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(t, TIFFTAG_PAGENUMBER, page, kPages);
    for (uint32_t y = 0; y < kHeight; ++y) {
      Row(page, y, seed, row);
      if (TIFFWriteScanline(t, row.data(), y, 0) < 0) return 1;
    }
    if (!TIFFWriteDirectory(t)) return 1;
  }
  TIFFClose(t);
  return 0;
}

int Decode(const char* path, int page) {
  const auto start = std::chrono::steady_clock::now();
  TIFF* t = TIFFOpen(path, "r");
  if (!t || !TIFFSetDirectory(t, static_cast<tdir_t>(page - 1))) return 1;
  TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 3);
  const tmsize_t strip = TIFFStripSize(t);
  size_t at = 0;
  for (tstrip_t i = 0; i < TIFFNumberOfStrips(t); ++i) {
    const tmsize_t got = TIFFReadEncodedStrip(t, i, pixels.data() + at, strip);
    if (got < 0) return 1;
    at += static_cast<size_t>(got);
  }
  TIFFClose(t);
  std::printf("%.4f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "make" && argc == 3) return Make(argv[2]);
  if (what == "decode" && argc == 4) return Decode(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: photo_pages make FILE | decode FILE PAGE\n");
  return 2;
}
