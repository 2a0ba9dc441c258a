#include "platform/imaging/edits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "platform/imaging/bands.h"
#include "platform/imaging/nearest_colour.h"
#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

using Lut = std::array<uint8_t, 256>;

uint8_t Clamp255(double v) {
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(std::lround(v));
}

// A blank image of the same kind (bits, palette, resolution) as `like`.
Image Blank(const Image& like, int32_t width, int32_t height) {
  Image out;
  out.CreateForWriting(width, height, like.bits());
  if (like.indexed()) out.SetPalette(like.palette());
  out.SetResolution(like.xdpi(), like.ydpi());
  return out;
}

int BytesPerPixel(const Image& img) { return img.bits() == 24 ? 3 : 1; }

void CopyPixel(const Image& src, int32_t sx, int32_t sy, Image& dst, int32_t dx, int32_t dy) {
  const int n = BytesPerPixel(src);
  std::memcpy(dst.row(dy) + dx * n, src.row(sy) + sx * n, n);
}

int16_t RotateQuarter(Image& img, int quarter) {
  const int32_t w = img.width(), h = img.height();
  const bool swap = quarter % 2 == 1;
  Image out = Blank(img, swap ? h : w, swap ? w : h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      switch (quarter) {
        case 1: CopyPixel(img, x, y, out, h - 1 - y, x); break;
        case 2: CopyPixel(img, x, y, out, w - 1 - x, h - 1 - y); break;
        default: CopyPixel(img, x, y, out, y, w - 1 - x); break;
      }
    }
  }
  if (swap) out.SetResolution(img.ydpi(), img.xdpi());
  img = std::move(out);
  return kPixoOk;
}

int16_t RotateAny(Image& img, int32_t hundredths, Colour fill) {
  const double a = hundredths / 100.0 * M_PI / 180.0;
  const double c = std::cos(a), s = std::sin(a);
  const int32_t w = img.width(), h = img.height();
  const int32_t nw = ToPixel(std::abs(w * c) + std::abs(h * s));
  const int32_t nh = ToPixel(std::abs(w * s) + std::abs(h * c));
  if (!ValidImageSize(nw, nh)) return kPixoBadArgument;
  Image out = Blank(img, nw, nh);
  Fill(out, fill);
  for (int32_t y = 0; y < nh; ++y) {
    for (int32_t x = 0; x < nw; ++x) {
      // Back from the target pixel's centre to the source (y points down, so
      // a positive angle turns clockwise on screen).
      const double dx = x + 0.5 - nw / 2.0, dy = y + 0.5 - nh / 2.0;
      const auto sx = static_cast<int32_t>(std::floor(dx * c + dy * s + w / 2.0));
      const auto sy = static_cast<int32_t>(std::floor(-dx * s + dy * c + h / 2.0));
      if (sx >= 0 && sy >= 0 && sx < w && sy < h) CopyPixel(img, sx, sy, out, x, y);
    }
  }
  img = std::move(out);
  return kPixoOk;
}

// Applies a level table to every channel; grey images keep their ramp.
void ApplyLut(Image& img, const Lut& lut) {
  if (img.bits() == 24) {
    for (int32_t y = 0; y < img.height(); ++y) {
      uint8_t* p = img.row(y);
      for (int32_t i = 0; i < img.stride(); ++i) p[i] = lut[p[i]];
    }
    return;
  }
  if (img.IsGrey()) {
    const int n = static_cast<int>(img.palette().size());
    std::vector<uint8_t> index(n);
    for (int i = 0; i < n; ++i) {
      const int level = lut[RedOf(img.palette()[i])];
      index[i] = static_cast<uint8_t>((level * (n - 1) + 127) / 255);
    }
    for (int32_t y = 0; y < img.height(); ++y) {
      uint8_t* p = img.row(y);
      for (int32_t x = 0; x < img.width(); ++x) p[x] = p[x] < n ? index[p[x]] : p[x];
    }
    return;
  }
  std::vector<Colour> pal = img.palette();
  for (Colour& c : pal) c = MakeColour(lut[RedOf(c)], lut[GreenOf(c)], lut[BlueOf(c)]);
  img.SetPalette(std::move(pal));
}

// The colour of every index of an indexed image; indices beyond its palette
// read black, as At() reads them.
std::array<Colour, 256> ColoursOf(const Image& img) {
  std::array<Colour, 256> colours;
  colours.fill(kBlack);
  std::copy(img.palette().begin(), img.palette().end(), colours.begin());
  return colours;
}

// Maps every pixel of `img` onto `palette` by nearest colour, giving an
// image of `bits` bits.
Image MapToPalette(const Image& img, int32_t bits, std::vector<Colour> palette) {
  Image out;
  out.CreateForWriting(img.width(), img.height(), bits);
  out.SetPalette(std::move(palette));
  out.SetResolution(img.xdpi(), img.ydpi());
  const int32_t w = img.width();
  if (img.indexed()) {
    std::array<uint8_t, 256> map;
    const std::array<Colour, 256> colours = ColoursOf(img);
    for (size_t i = 0; i < map.size(); ++i) map[i] = out.NearestIndex(colours[i]);
    for (int32_t y = 0; y < img.height(); ++y) {
      const uint8_t* s = img.crow(y);
      uint8_t* d = out.row(y);
      for (int32_t x = 0; x < w; ++x) d[x] = map[s[x]];
    }
    return out;
  }
  NearestColour nearest(out.palette());
  for (int32_t y = 0; y < img.height(); ++y) {
    const uint8_t* s = img.crow(y);
    uint8_t* d = out.row(y);
    Colour last = 0xFFFFFFFF;  // no colour: the first pixel is looked up
    uint8_t index = 0;
    for (int32_t x = 0; x < w; ++x, s += 3) {
      const Colour c = MakeColour(s[0], s[1], s[2]);
      if (c != last) {
        last = c;
        index = nearest(c);
      }
      d[x] = index;
    }
  }
  return out;
}

// Column sums of a row. The sums and the row never overlap (restrict lets
// the compiler add many bytes at once); 16-bit sums hold up to 257 rows and
// add twice as many bytes at once as 32-bit ones.
template <typename Sum>
void AddBytes(Sum* __restrict sum, const uint8_t* __restrict row, size_t n) {
  for (size_t i = 0; i < n; ++i) sum[i] = static_cast<Sum>(sum[i] + row[i]);
}
template <typename Sum>
void AddLevels(Sum* __restrict sum, const uint8_t* __restrict row, const uint8_t* __restrict level, size_t n) {
  for (size_t i = 0; i < n; ++i) sum[i] = static_cast<Sum>(sum[i] + level[row[i]]);
}
constexpr int32_t kRowsIn16Bits = 65535 / 255;

// The column sums of rows y0 .. y1 - 1 of `src` (grey levels through
// `level` when it is given) into `column`.
void SumColumns(const Image& src, int32_t y0, int32_t y1, const uint8_t* level, std::vector<uint16_t>& part,
                std::vector<uint32_t>& column) {
  std::fill(column.begin(), column.end(), 0u);
  for (int32_t sy = y0; sy < y1;) {
    const int32_t end = std::min(y1, sy + kRowsIn16Bits);
    std::fill(part.begin(), part.end(), uint16_t{0});
    for (; sy < end; ++sy) {
      if (level) {
        AddLevels(part.data(), src.crow(sy), level, part.size());
      } else {
        AddBytes(part.data(), src.crow(sy), part.size());
      }
    }
    for (size_t i = 0; i < column.size(); ++i) column[i] += part[i];
  }
}

// The image's own colours when at most `n`, sorted by value; else the mean
// colours of the `n` fullest cells of a 5-5-5 histogram (ties to the lower cell).
std::vector<Colour> OptimisedPalette(const Image& img, size_t n) {
  std::unordered_map<Colour, bool> distinct;
  for (int32_t y = 0; y < img.height() && distinct.size() <= n; ++y) {
    for (int32_t x = 0; x < img.width() && distinct.size() <= n; ++x) distinct[img.At(x, y)] = true;
  }
  std::vector<Colour> pal;
  if (distinct.size() <= n) {
    for (const auto& [c, unused] : distinct) pal.push_back(c);
    std::sort(pal.begin(), pal.end());
    return pal;
  }
  struct Cell {
    int64_t count = 0, r = 0, g = 0, b = 0;
  };
  std::vector<Cell> cells(1 << 15);
  for (int32_t y = 0; y < img.height(); ++y) {
    for (int32_t x = 0; x < img.width(); ++x) {
      const Colour c = img.At(x, y);
      Cell& cell = cells[(RedOf(c) >> 3) << 10 | (GreenOf(c) >> 3) << 5 | BlueOf(c) >> 3];
      ++cell.count;
      cell.r += RedOf(c);
      cell.g += GreenOf(c);
      cell.b += BlueOf(c);
    }
  }
  std::vector<int> order(cells.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return cells[a].count > cells[b].count; });
  for (size_t i = 0; i < n && cells[order[i]].count > 0; ++i) {
    const Cell& cell = cells[order[i]];
    auto mean = [&](int64_t sum) { return static_cast<uint8_t>((sum + cell.count / 2) / cell.count); };
    pal.push_back(MakeColour(mean(cell.r), mean(cell.g), mean(cell.b)));
  }
  return pal;
}

}  // namespace

int32_t ToPixel(double v) {
  if (std::isnan(v)) return 0;
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::lround(v));
}

bool Region::Contains(int32_t x, int32_t y) const {
  if (x < left || y < top || x >= left + width || y >= top + height) return false;
  return mask.empty() || mask[static_cast<size_t>(y - top) * width + (x - left)] != 0;
}

Region RectRegion(const Image& img, double left, double top, double width, double height) {
  const int64_t l = std::max<int64_t>(ToPixel(left), 0);
  const int64_t t = std::max<int64_t>(ToPixel(top), 0);
  const int64_t r = std::min<int64_t>(int64_t{ToPixel(left)} + ToPixel(width), img.width());
  const int64_t b = std::min<int64_t>(int64_t{ToPixel(top)} + ToPixel(height), img.height());
  Region reg;
  if (r <= l || b <= t) return reg;
  reg.left = static_cast<int32_t>(l);
  reg.top = static_cast<int32_t>(t);
  reg.width = static_cast<int32_t>(r - l);
  reg.height = static_cast<int32_t>(b - t);
  return reg;
}

Region ColourRegion(const Image& img, int32_t mode, Colour c) {
  const bool wantDifferent = mode == 6;
  int32_t l = img.width(), t = img.height(), r = -1, b = -1;
  for (int32_t y = 0; y < img.height(); ++y) {
    for (int32_t x = 0; x < img.width(); ++x) {
      if ((img.At(x, y) != c) == wantDifferent) {
        l = std::min(l, x);
        r = std::max(r, x);
        t = std::min(t, y);
        b = std::max(b, y);
      }
    }
  }
  Region reg;
  if (r < 0) return reg;
  reg.left = l;
  reg.top = t;
  reg.width = r - l + 1;
  reg.height = b - t + 1;
  reg.mask.resize(static_cast<size_t>(reg.width) * reg.height);
  for (int32_t y = t; y <= b; ++y) {
    for (int32_t x = l; x <= r; ++x) {
      reg.mask[static_cast<size_t>(y - t) * reg.width + (x - l)] = (img.At(x, y) != c) == wantDifferent;
    }
  }
  return reg;
}

int16_t Rotate(Image& img, int32_t hundredths, Colour fill) {
  if (img.empty()) return kPixoNoImage;
  const int32_t a = (hundredths % 36000 + 36000) % 36000;
  if (a == 0) return kPixoOk;
  if (a % 9000 == 0) return RotateQuarter(img, a / 9000);
  return RotateAny(img, a, fill);
}

void Mirror(Image& img) {
  const int n = BytesPerPixel(img);
  for (int32_t y = 0; y < img.height(); ++y) {
    uint8_t* p = img.row(y);
    for (int32_t l = 0, r = img.width() - 1; l < r; ++l, --r) {
      std::swap_ranges(p + l * n, p + l * n + n, p + r * n);
    }
  }
}

void Flip(Image& img) {
  for (int32_t t = 0, b = img.height() - 1; t < b; ++t, --b) {
    std::swap_ranges(img.row(t), img.row(t) + img.stride(), img.row(b));
  }
}

int16_t Crop(Image& img, double left, double top, double width, double height) {
  if (img.empty()) return kPixoNoImage;
  const Region r = RectRegion(img, left, top, width, height);
  if (r.empty()) return kPixoBadArgument;
  Image out = Blank(img, r.width, r.height);
  const int n = BytesPerPixel(img);
  for (int32_t y = 0; y < r.height; ++y) {
    std::memcpy(out.row(y), img.crow(r.top + y) + r.left * n, static_cast<size_t>(r.width) * n);
  }
  img = std::move(out);
  return kPixoOk;
}

int16_t Resize(Image& img, double width, double height, int32_t mode) {
  if (img.empty()) return kPixoNoImage;
  const int32_t nw = ToPixel(width), nh = ToPixel(height);
  if (!ValidImageSize(nw, nh)) return kPixoBadArgument;
  const Image& src = img;
  const int32_t w = src.width(), h = src.height();
  const bool grey = src.IsGrey();
  const bool average = mode == 2 && (src.bits() == 24 || grey);
  const int n = BytesPerPixel(src);
  Image out = Blank(src, nw, nh);
  // The source cells each target column covers; at least one.
  std::vector<int32_t> x0(nw), x1(nw);
  for (int32_t x = 0; x < nw; ++x) {
    x0[x] = static_cast<int32_t>(int64_t{x} * w / nw);
    x1[x] = std::max(x0[x] + 1, static_cast<int32_t>(int64_t{x + 1} * w / nw));
  }
  const int levels = grey ? static_cast<int>(src.palette().size()) : 0;
  std::array<uint8_t, 256> level{};  // grey: index -> level 0..255
  if (grey) {
    for (size_t i = 0; i < src.palette().size(); ++i) level[i] = RedOf(src.palette()[i]);
  }
  // Target rows from..to - 1; each reads only its own source rows. The
  // rows are found from the first one: taking a row may unshare an image,
  // which a band must not do while others run.
  uint8_t* const target = out.row(0);
  const auto stride = static_cast<size_t>(out.stride());
  auto rows = [&](int32_t from, int32_t to) {
    // A column sum covers at most 65535 rows of 255: 32 bits hold it.
    std::vector<uint32_t> column(average ? static_cast<size_t>(w) * (grey ? 1 : 3) : 0);
    std::vector<uint16_t> part(column.size());
    for (int32_t y = from; y < to; ++y) {
      const int32_t y0 = static_cast<int32_t>(int64_t{y} * h / nh);
      const int32_t y1 = std::max(y0 + 1, static_cast<int32_t>(int64_t{y + 1} * h / nh));
      uint8_t* d = target + stride * static_cast<size_t>(y);
      if (!average) {
        const uint8_t* s = src.crow(y0);
        for (int32_t x = 0; x < nw; ++x) std::memcpy(d + x * n, s + x0[x] * n, n);
        continue;
      }
      // Column sums over the source rows of this target row, then the sums
      // over each target pixel's columns: every source pixel is read once.
      SumColumns(src, y0, y1, grey ? level.data() : nullptr, part, column);
      for (int32_t x = 0; x < nw; ++x) {
        const int64_t count = int64_t{x1[x] - x0[x]} * (y1 - y0);
        if (grey) {
          int64_t sum = 0;
          for (int32_t sx = x0[x]; sx < x1[x]; ++sx) sum += column[sx];
          const int64_t value = (sum + count / 2) / count;
          d[x] = static_cast<uint8_t>((value * (levels - 1) + 127) / 255);
        } else {
          int64_t sum[3] = {0, 0, 0};
          for (int32_t sx = x0[x]; sx < x1[x]; ++sx) {
            for (int i = 0; i < 3; ++i) sum[i] += column[3 * static_cast<size_t>(sx) + i];
          }
          for (int i = 0; i < 3; ++i) d[3 * x + i] = static_cast<uint8_t>((sum[i] + count / 2) / count);
        }
      }
    }
  };
  // Averaging a sheet reads all its pixels, which one core alone reads
  // slower than memory can deliver them (4 ms for an A4 page at 300 dpi, the
  // check sample of every scan and drop): a large one is averaged in bands.
  const size_t bytes = average ? static_cast<size_t>(src.stride()) * h : 0;
  InBands(nh, bytes, rows);
  img = std::move(out);
  return kPixoOk;
}

int16_t ConvertToGrey(Image& img, int32_t bits) {
  if (img.empty()) return kPixoNoImage;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return kPixoBadArgument;
  const Image& src = img;
  Image out;
  out.CreateForWriting(src.width(), src.height(), bits);
  out.SetResolution(src.xdpi(), src.ydpi());
  // Grey level -> what the target holds for it.
  std::array<uint8_t, 256> held;
  for (int g = 0; g < 256; ++g) {
    held[g] = bits == 1 ? (g >= 128 ? 1 : 0) : bits == 4 ? static_cast<uint8_t>((g * 15 + 127) / 255) : static_cast<uint8_t>(g);
  }
  const int32_t w = src.width();
  if (src.indexed()) {
    // Index -> what the target holds, through the index's grey level.
    const std::array<Colour, 256> colours = ColoursOf(src);
    std::array<uint8_t, 3 * 256> to;
    const int n = bits == 24 ? 3 : 1;
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t g = GreyOf(colours[i]);
      for (int k = 0; k < n; ++k) to[n * i + k] = bits == 24 ? g : held[g];
    }
    for (int32_t y = 0; y < src.height(); ++y) {
      const uint8_t* s = src.crow(y);
      uint8_t* d = out.row(y);
      if (n == 3) {
        for (int32_t x = 0; x < w; ++x, d += 3) std::memcpy(d, &to[3 * s[x]], 3);
      } else {
        for (int32_t x = 0; x < w; ++x) d[x] = to[s[x]];
      }
    }
  } else {
    for (int32_t y = 0; y < src.height(); ++y) {
      const uint8_t* s = src.crow(y);
      uint8_t* d = out.row(y);
      if (bits == 1) {
        // Level 128 and up is white: (weighted sum + 500) / 1000 >= 128.
        for (int32_t x = 0; x < w; ++x, s += 3) d[x] = 299u * s[0] + 587u * s[1] + 114u * s[2] >= 127500u;
      } else if (bits == 24) {
        for (int32_t x = 0; x < w; ++x, s += 3, d += 3) d[0] = d[1] = d[2] = GreyOf(s[0], s[1], s[2]);
      } else {
        for (int32_t x = 0; x < w; ++x, s += 3) d[x] = held[GreyOf(s[0], s[1], s[2])];
      }
    }
  }
  img = std::move(out);
  return kPixoOk;
}

std::vector<Colour> StandardPalette(int32_t bits) {
  if (bits == 1) return {kBlack, kWhite};
  if (bits == 4) {
    return {MakeColour(0, 0, 0),       MakeColour(128, 0, 0),   MakeColour(0, 128, 0),
            MakeColour(128, 128, 0),   MakeColour(0, 0, 128),   MakeColour(128, 0, 128),
            MakeColour(0, 128, 128),   MakeColour(192, 192, 192), MakeColour(128, 128, 128),
            MakeColour(255, 0, 0),     MakeColour(0, 255, 0),   MakeColour(255, 255, 0),
            MakeColour(0, 0, 255),     MakeColour(255, 0, 255), MakeColour(0, 255, 255),
            MakeColour(255, 255, 255)};
  }
  std::vector<Colour> pal;
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) pal.push_back(MakeColour(r * 51, g * 51, b * 51));
    }
  }
  for (int k = 1; k <= 40; ++k) {
    const auto v = static_cast<uint8_t>((k * 255 + 20) / 41);
    pal.push_back(MakeColour(v, v, v));
  }
  return pal;
}

int16_t ChangeDepth(Image& img, int32_t bits, int32_t mode, int32_t colours,
                    const std::vector<Colour>& staged) {
  if (img.empty()) return kPixoNoImage;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return kPixoBadArgument;
  if (bits == 24) {
    if (img.bits() == 24) return kPixoOk;
    const Image& src = img;
    Image out;
    out.CreateForWriting(src.width(), src.height(), 24);
    out.SetResolution(src.xdpi(), src.ydpi());
    std::array<uint8_t, 3 * 256> rgb;  // index -> R, G, B
    const std::array<Colour, 256> colours = ColoursOf(src);
    for (size_t i = 0; i < colours.size(); ++i) {
      rgb[3 * i] = RedOf(colours[i]);
      rgb[3 * i + 1] = GreenOf(colours[i]);
      rgb[3 * i + 2] = BlueOf(colours[i]);
    }
    for (int32_t y = 0; y < src.height(); ++y) {
      const uint8_t* s = src.crow(y);
      uint8_t* d = out.row(y);
      for (int32_t x = 0; x < src.width(); ++x, d += 3) std::memcpy(d, &rgb[3 * s[x]], 3);
    }
    img = std::move(out);
    return kPixoOk;
  }
  const size_t room = size_t{1} << bits;
  std::vector<Colour> palette;
  if (mode & 16) {
    const size_t n = colours <= 0 ? room : std::min<size_t>(colours, room);
    palette.assign(staged.begin(), staged.begin() + std::min(n, staged.size()));
    palette.resize(n, kBlack);
  } else if (mode & 2) {
    palette = OptimisedPalette(img, room);
  } else if (img.IsGrey()) {
    palette = GreyRamp(bits);
  } else if (img.indexed() && img.palette().size() <= room) {
    palette = img.palette();
  } else {
    palette = StandardPalette(bits);
  }
  img = MapToPalette(img, bits, std::move(palette));
  return kPixoOk;
}

int16_t AdjustBrightness(Image& img, int32_t value) {
  if (img.empty()) return kPixoNoImage;
  if (value < -1000 || value > 1000) return kPixoBadArgument;
  if (value == 0) return kPixoOk;
  const double delta = value * 255.0 / 1000.0;
  Lut lut;
  for (int i = 0; i < 256; ++i) lut[i] = Clamp255(i + delta);
  ApplyLut(img, lut);
  return kPixoOk;
}

int16_t AdjustContrast(Image& img, int32_t value) {
  if (img.empty()) return kPixoNoImage;
  if (value < -1000 || value > 1000) return kPixoBadArgument;
  if (value == 0) return kPixoOk;
  Lut lut;
  for (int i = 0; i < 256; ++i) lut[i] = Clamp255(128 + (i - 128) * (1000.0 + value) / 1000.0);
  ApplyLut(img, lut);
  return kPixoOk;
}

int16_t AdjustGamma(Image& img, int32_t value) {
  if (img.empty()) return kPixoNoImage;
  if (value < 1 || value > 10000) return kPixoBadArgument;
  if (value == 100) return kPixoOk;
  Lut lut;
  for (int i = 0; i < 256; ++i) lut[i] = Clamp255(255.0 * std::pow(i / 255.0, 100.0 / value));
  ApplyLut(img, lut);
  return kPixoOk;
}

void Fill(Image& img, Colour c) {
  if (img.empty()) return;
  uint8_t* first = img.row(0);
  img.Set(0, 0, c);
  const int n = BytesPerPixel(img);
  for (int32_t x = 1; x < img.width(); ++x) std::memcpy(first + x * n, first, n);
  for (int32_t y = 1; y < img.height(); ++y) std::memcpy(img.row(y), first, img.stride());
}

int16_t ComposeOp(Image& img, int32_t a, int32_t /*b*/, int32_t op) {
  if (img.empty()) return kPixoNoImage;
  if (op != 1 && op != 6) return kPixoBadArgument;
  const double delta = op == 1 ? a : -static_cast<double>(a);
  Lut lut;
  for (int i = 0; i < 256; ++i) lut[i] = Clamp255(i + delta);
  ApplyLut(img, lut);
  return kPixoOk;
}

void Combine(Image& dst, const Image& src, const Region& srcRegion, int32_t left, int32_t top,
             int32_t width, int32_t height, int32_t srcLeft, int32_t srcTop, int32_t flags) {
  if (dst.empty() || src.empty()) return;
  const bool blend = flags == kCombineBlend;
  // Only the part that lies inside both images is touched.
  const int64_t i0 = std::max<int64_t>({0, -int64_t{left}, -int64_t{srcLeft}});
  const int64_t j0 = std::max<int64_t>({0, -int64_t{top}, -int64_t{srcTop}});
  const int64_t i1 = std::min<int64_t>({width, int64_t{dst.width()} - left, int64_t{src.width()} - srcLeft});
  const int64_t j1 = std::min<int64_t>({height, int64_t{dst.height()} - top, int64_t{src.height()} - srcTop});
  for (int64_t j = j0; j < j1; ++j) {
    for (int64_t i = i0; i < i1; ++i) {
      const auto sx = static_cast<int32_t>(srcLeft + i), sy = static_cast<int32_t>(srcTop + j);
      if (!srcRegion.empty() && !srcRegion.Contains(sx, sy)) continue;
      const auto dx = static_cast<int32_t>(left + i), dy = static_cast<int32_t>(top + j);
      Colour c = src.At(sx, sy);
      if (blend) {
        const Colour d = dst.At(dx, dy);
        c = MakeColour((RedOf(c) + RedOf(d) + 1) / 2, (GreenOf(c) + GreenOf(d) + 1) / 2,
                       (BlueOf(c) + BlueOf(d) + 1) / 2);
      }
      dst.Set(dx, dy, c);
    }
  }
}

}  // namespace imaging
