// Writes the benchmark's input files: A4 sheets at 300 dpi (2480 x 3508,
// 24-bit) as a scanner delivers them and as a clean office document would
// look, a scan-like sheet as a TIFF, and a multi-page fax-coded TIFF.
//
//   make_sheets DIR
//     DIR/scan-01.bmp .. scan-10.bmp    off-white paper with noise, text
//                                       strokes, a colour logo, a photo block
//     DIR/clean-01.bmp .. clean-10.bmp  white paper, black text, flat logo,
//                                       the photo block without the noise
//     DIR/scan.tif                      scan-01 as an uncompressed RGB TIFF
//     DIR/pages-g4.tif                  20 bitonal text pages, G4 coded
//
// Every file is the same on every run (fixed seeds).

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 2480, kHeight = 3508, kDpi = 300;
constexpr int kSheets = 10, kFaxPages = 20;

struct Rng {
  uint64_t s;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 16);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  // Roughly bell-shaped noise in -spread..spread.
  int Noise(int spread) {
    if (spread == 0) return 0;
    return (Below(2 * spread + 1) + Below(2 * spread + 1)) / 2 - spread;
  }
};

struct Sheet {
  std::vector<uint8_t> rgb = std::vector<uint8_t>(static_cast<size_t>(kWidth) * kHeight * 3);
  uint8_t* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * kWidth + x) * 3]; }
  void Put(int x, int y, int r, int g, int b) {
    uint8_t* p = At(x, y);
    p[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
    p[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
    p[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
  }
};

// One sheet: `scan` adds paper tone and sensor noise to every pixel.
Sheet MakeSheet(uint64_t seed, bool scan) {
  Sheet s;
  Rng rng{seed * 0x9E3779B97F4A7C15ull + 1};
  const int paper[3] = {scan ? 244 : 255, scan ? 242 : 255, scan ? 236 : 255};
  const int grain = scan ? 6 : 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int n = rng.Noise(grain);
      s.Put(x, y, paper[0] + n + rng.Noise(grain / 3), paper[1] + n, paper[2] + n + rng.Noise(grain / 3));
    }
  }
  // Text: lines of words, each word a run of glyph-like strokes.
  const int ink = scan ? 45 : 0;
  for (int top = 700; top + 30 < kHeight - 250; top += 52) {
    if (top > 1500 && top < 2300) continue;  // the photo block's rows
    int x = 220;
    const int lineEnd = kWidth - 220 - rng.Below(600);
    while (x < lineEnd) {
      const int word = 40 + rng.Below(140);
      for (int gx = x; gx < std::min(x + word, lineEnd); ++gx) {
        for (int gy = top; gy < top + 28; ++gy) {
          const int cx = (gx - x) % 13, cy = gy - top;
          const bool stroke = cx < 3 || (cx < 10 && (cy < 3 || (cy > 12 && cy < 16) || cy > 24));
          if (!stroke) continue;
          const int n = rng.Noise(grain * 2);
          s.Put(gx, gy, ink + n, ink + n, ink + 10 + n);
        }
      }
      x += word + 22 + rng.Below(10);
    }
  }
  // Logo: a red disc and a blue bar, top right.
  for (int y = 220; y < 520; ++y) {
    for (int x = kWidth - 620; x < kWidth - 220; ++x) {
      const int dx = x - (kWidth - 470), dy = y - 370;
      const int n = rng.Noise(grain);
      if (dx * dx + dy * dy < 150 * 150) s.Put(x, y, 200 + n, 30 + n, 40 + n);
      else if (x > kWidth - 330 && y > 300) s.Put(x, y, 30 + n, 60 + n, 180 + n);
    }
  }
  // Photo: colour fields with the fine detail of a photograph (the same on
  // both kinds of sheet), and the scanner's grain on top on a scan.
  Rng detail{seed + 7};
  for (int y = 1560; y < 2240; ++y) {
    for (int x = 300; x < 1250; ++x) {
      const int n = detail.Noise(10) + rng.Noise(grain * 2);
      const double fx = x + static_cast<double>(seed) * 37, fy = y;
      s.Put(x, y, static_cast<int>(128 + 100 * std::sin(fx / 70)) + n,
            static_cast<int>(128 + 90 * std::cos(fy / 55)) + n,
            static_cast<int>(128 + 80 * std::sin((fx + fy) / 90)) + n);
    }
  }
  return s;
}

bool WriteBmp(const std::string& path, const Sheet& s) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const uint32_t row = kWidth * 3;  // a multiple of 4 already
  const uint32_t ppm = static_cast<uint32_t>(std::lround(kDpi / 0.0254));
  const uint32_t fields[] = {54 + row * kHeight, 0, 54, 40, kWidth, kHeight};
  uint8_t head[54] = {'B', 'M'};
  auto put32 = [&head](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) head[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  for (int i = 0; i < 6; ++i) put32(2 + 4 * i, fields[i]);
  head[26] = 1;
  head[28] = 24;
  put32(34, row * kHeight);
  put32(38, ppm);
  put32(42, ppm);
  bool ok = std::fwrite(head, 1, sizeof head, f) == sizeof head;
  std::vector<uint8_t> line(row);
  for (int y = kHeight - 1; y >= 0 && ok; --y) {
    const uint8_t* p = &s.rgb[static_cast<size_t>(y) * row];
    for (uint32_t i = 0; i < row; i += 3) {
      line[i] = p[i + 2];
      line[i + 1] = p[i + 1];
      line[i + 2] = p[i];
    }
    ok = std::fwrite(line.data(), 1, row, f) == row;
  }
  return std::fclose(f) == 0 && ok;
}

void Tags(TIFF* t, uint16_t samples, uint16_t bits, uint16_t photometric, uint16_t compression) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(kDpi));
  TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(kDpi));
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
}

bool WriteTiff(const std::string& path, const Sheet& s) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  Tags(t, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE);
  bool ok = true;
  for (int y = 0; y < kHeight && ok; ++y) ok = TIFFWriteScanline(t, const_cast<uint8_t*>(&s.rgb[static_cast<size_t>(y) * kWidth * 3]), y) > 0;
  TIFFClose(t);
  return ok;
}

// Clean pages made bitonal (black below grey 128), min-is-white, G4.
bool WriteFaxPages(const std::string& path) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return false;
  bool ok = true;
  std::vector<uint8_t> line((kWidth + 7) / 8);
  for (int page = 0; page < kFaxPages && ok; ++page) {
    const Sheet s = MakeSheet(100 + page, false);
    Tags(t, 1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(t, TIFFTAG_PAGENUMBER, page, kFaxPages);
    for (int y = 0; y < kHeight && ok; ++y) {
      std::fill(line.begin(), line.end(), 0);
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* p = &s.rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
        if ((299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000 < 128) line[x / 8] |= 0x80 >> (x % 8);
      }
      ok = TIFFWriteScanline(t, line.data(), y) > 0;
    }
    ok = ok && TIFFWriteDirectory(t);
  }
  TIFFClose(t);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sheets DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  for (int i = 1; i <= kSheets; ++i) {
    char name[32];
    for (bool scan : {true, false}) {
      std::snprintf(name, sizeof name, "/%s-%02d.bmp", scan ? "scan" : "clean", i);
      const Sheet s = MakeSheet(static_cast<uint64_t>(i), scan);
      if (!WriteBmp(dir + name, s) || (scan && i == 1 && !WriteTiff(dir + "/scan.tif", s))) {
        std::fprintf(stderr, "make_sheets: cannot write into %s\n", dir.c_str());
        return 1;
      }
    }
  }
  if (!WriteFaxPages(dir + "/pages-g4.tif")) {
    std::fprintf(stderr, "make_sheets: cannot write %s/pages-g4.tif\n", dir.c_str());
    return 1;
  }
  return 0;
}
