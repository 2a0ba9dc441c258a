// BMP, written by hand: 1, 4, 8 and 24 bits uncompressed, RLE8 and RLE4;
// read: the same plus 32-bit and the old 12-byte header. Every length and
// offset in a file is checked against the file's size before it is used.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2;

uint32_t U32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& f, size_t at) {
  return static_cast<uint16_t>(f[at] | f[at + 1] << 8);
}

void Put32(std::vector<uint8_t>& f, uint32_t v) {
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& f, uint16_t v) {
  f.push_back(static_cast<uint8_t>(v));
  f.push_back(static_cast<uint8_t>(v >> 8));
}

struct Header {
  int32_t width = 0, height = 0;
  bool topDown = false;
  int bits = 0;
  uint32_t compression = kRgb;
  uint32_t offBits = 0;
  std::vector<Colour> palette;
  double xdpi = kDefaultDpi, ydpi = kDefaultDpi;
};

int16_t ReadAll(const std::string& path, std::vector<uint8_t>& f) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kPixoFileNotFound;
  f.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.bad() ? kPixoDamagedFile : kPixoOk;
}

int16_t ParseHeader(const std::vector<uint8_t>& f, Header& h) {
  if (f.size() < 26 || f[0] != 'B' || f[1] != 'M') return kPixoDamagedFile;
  h.offBits = U32(f, 10);
  const uint32_t size = U32(f, 14);
  size_t entry = 4;
  uint32_t used = 0;
  int64_t height = 0;
  if (size == 12) {
    h.width = U16(f, 18);
    height = U16(f, 20);
    h.bits = U16(f, 24);
    entry = 3;
  } else if (size >= 40 && f.size() >= 54) {
    h.width = static_cast<int32_t>(U32(f, 18));
    height = static_cast<int32_t>(U32(f, 22));
    h.bits = U16(f, 28);
    h.compression = U32(f, 30);
    const auto xppm = static_cast<int32_t>(U32(f, 38)), yppm = static_cast<int32_t>(U32(f, 42));
    if (xppm > 0) h.xdpi = DpiFromPerMetre(xppm);
    if (yppm > 0) h.ydpi = DpiFromPerMetre(yppm);
    used = U32(f, 46);
  } else {
    return kPixoDamagedFile;
  }
  h.topDown = height < 0;
  height = std::abs(height);
  if (!ValidImageSize(h.width, height)) return kPixoDamagedFile;
  h.height = static_cast<int32_t>(height);
  const bool bitsOk = h.bits == 1 || h.bits == 4 || h.bits == 8 || h.bits == 24 || h.bits == 32;
  const bool compressionOk = h.compression == kRgb || (h.compression == kRle8 && h.bits == 8) ||
                             (h.compression == kRle4 && h.bits == 4);
  if (!bitsOk || !compressionOk) return kPixoUnknownFormat;
  if (h.topDown && h.compression != kRgb) return kPixoDamagedFile;
  if (h.bits <= 8) {
    const uint32_t room = 1u << h.bits;
    if (used > room) return kPixoDamagedFile;
    const uint32_t n = used ? used : room;
    const size_t start = 14 + static_cast<size_t>(size);
    if (start + n * entry > f.size()) return kPixoDamagedFile;
    for (uint32_t i = 0; i < n; ++i) {
      const size_t at = start + i * entry;
      h.palette.push_back(MakeColour(f[at + 2], f[at + 1], f[at]));
    }
  }
  if (h.offBits > f.size()) return kPixoDamagedFile;
  return kPixoOk;
}

int16_t DecodeRgb(const std::vector<uint8_t>& f, const Header& h, Image& img) {
  const uint64_t stride = (static_cast<uint64_t>(h.width) * h.bits + 31) / 32 * 4;
  if (h.offBits + stride * h.height > f.size()) return kPixoDamagedFile;
  for (int32_t r = 0; r < h.height; ++r) {
    const uint8_t* s = f.data() + h.offBits + stride * r;
    uint8_t* d = img.row(h.topDown ? r : h.height - 1 - r);
    for (int32_t x = 0; x < h.width; ++x) {
      if (h.bits >= 24) {
        const uint8_t* p = s + static_cast<size_t>(x) * (h.bits / 8);
        d[3 * x] = p[2];
        d[3 * x + 1] = p[1];
        d[3 * x + 2] = p[0];
      } else {
        const uint32_t bit = static_cast<uint32_t>(x) * h.bits;
        d[x] = static_cast<uint8_t>((s[bit / 8] >> (8 - h.bits - bit % 8)) & ((1 << h.bits) - 1));
      }
    }
  }
  return kPixoOk;
}

// RLE8 and RLE4; rows count from the bottom. Pixels beyond a row's end are
// dropped; data that ends before the end-of-bitmap mark is damaged.
int16_t DecodeRle(const std::vector<uint8_t>& f, const Header& h, Image& img) {
  const bool four = h.compression == kRle4;
  int64_t x = 0, y = 0;
  size_t pos = h.offBits;
  auto put = [&](uint8_t v) {
    if (x < h.width && y < h.height) img.row(static_cast<int32_t>(h.height - 1 - y))[x] = v;
    ++x;
  };
  while (true) {
    if (pos + 2 > f.size()) return kPixoDamagedFile;
    const uint8_t a = f[pos], b = f[pos + 1];
    pos += 2;
    if (a > 0) {
      for (int i = 0; i < a; ++i) put(four ? (i % 2 ? b & 0x0F : b >> 4) : b);
    } else if (b == 0) {
      x = 0;
      ++y;
    } else if (b == 1) {
      return kPixoOk;
    } else if (b == 2) {
      if (pos + 2 > f.size()) return kPixoDamagedFile;
      x += f[pos];
      y += f[pos + 1];
      pos += 2;
    } else {
      const size_t bytes = four ? (b + 1u) / 2 : b;
      const size_t padded = bytes + (bytes & 1);
      if (pos + padded > f.size()) return kPixoDamagedFile;
      for (int i = 0; i < b; ++i) put(four ? (i % 2 ? f[pos + i / 2] & 0x0F : f[pos + i / 2] >> 4) : f[pos + i]);
      pos += padded;
    }
  }
}

// One row of indices as RLE8 or RLE4: runs of two or more equal pixels as
// runs, at least three differing ones in absolute mode.
void EncodeRleRow(const uint8_t* p, int32_t w, bool four, std::vector<uint8_t>& out) {
  int32_t i = 0;
  while (i < w) {
    int32_t run = 1;
    while (i + run < w && run < 255 && p[i + run] == p[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<uint8_t>(run));
      out.push_back(four ? static_cast<uint8_t>(p[i] << 4 | p[i]) : p[i]);
      i += run;
      continue;
    }
    int32_t j = i;
    while (j < w && j - i < 255 && !(j + 2 < w && p[j] == p[j + 1] && p[j] == p[j + 2])) ++j;
    const int32_t n = j - i;
    if (n < 3) {
      for (int32_t k = i; k < j; ++k) {
        out.push_back(1);
        out.push_back(four ? static_cast<uint8_t>(p[k] << 4) : p[k]);
      }
    } else {
      out.push_back(0);
      out.push_back(static_cast<uint8_t>(n));
      size_t bytes = 0;
      for (int32_t k = 0; k < n; ++k) {
        if (!four) {
          out.push_back(p[i + k]);
          ++bytes;
        } else if (k % 2 == 0) {
          out.push_back(static_cast<uint8_t>(p[i + k] << 4));
          ++bytes;
        } else {
          out.back() |= p[i + k];
        }
      }
      if (bytes & 1) out.push_back(0);
    }
    i = j;
  }
}

std::vector<uint8_t> EncodePixels(const Image& img, uint32_t compression) {
  std::vector<uint8_t> data;
  const int32_t w = img.width(), h = img.height(), bits = img.bits();
  if (compression != kRgb) {
    for (int32_t r = h - 1; r >= 0; --r) {
      EncodeRleRow(img.row(r), w, compression == kRle4, data);
      data.push_back(0);
      data.push_back(r == 0 ? 1 : 0);  // end of line, end of bitmap after the last
    }
    return data;
  }
  const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
  data.assign(stride * h, 0);
  for (int32_t r = 0; r < h; ++r) {
    uint8_t* d = data.data() + stride * r;
    const uint8_t* s = img.row(h - 1 - r);
    for (int32_t x = 0; x < w; ++x) {
      if (bits == 24) {
        d[3 * x] = s[3 * x + 2];
        d[3 * x + 1] = s[3 * x + 1];
        d[3 * x + 2] = s[3 * x];
      } else {
        const uint32_t bit = static_cast<uint32_t>(x) * bits;
        d[bit / 8] |= static_cast<uint8_t>(s[x] << (8 - bits - bit % 8));
      }
    }
  }
  return data;
}

class Bmp final : public ImageCodec {
 public:
  bool Sniff(std::span<const uint8_t> h) const override {
    return h.size() >= 2 && h[0] == 'B' && h[1] == 'M';
  }

  bool Writes(int32_t format) const override { return format == kFormatBmp || format == kFormatBmpRle; }

  bool Holds(int32_t format, int32_t bits, bool) const override {
    return format == kFormatBmpRle ? bits == 4 || bits == 8 : true;
  }

  int16_t ReadInfo(const std::string& path, int32_t page, FileInfo& info) const override {
    if (page != 1) return kPixoBadArgument;
    std::vector<uint8_t> f;
    Header h;
    int16_t rc = ReadAll(path, f);
    if (rc == kPixoOk) rc = ParseHeader(f, h);
    if (rc != kPixoOk) return rc;
    info.width = h.width;
    info.height = h.height;
    info.bits = h.bits;
    info.page = 1;
    info.pageCount = 1;
    info.xdpi = h.xdpi;
    info.ydpi = h.ydpi;
    return kPixoOk;
  }

  int16_t Read(const std::string& path, int32_t page, Image& out) const override {
    if (page != 1) return kPixoBadArgument;
    std::vector<uint8_t> f;
    Header h;
    int16_t rc = ReadAll(path, f);
    if (rc == kPixoOk) rc = ParseHeader(f, h);
    if (rc != kPixoOk) return rc;
    Image img;
    img.Create(h.width, h.height, h.bits > 8 ? 24 : h.bits);
    if (h.bits <= 8) img.SetPalette(h.palette);
    rc = h.compression == kRgb ? DecodeRgb(f, h, img) : DecodeRle(f, h, img);
    if (rc != kPixoOk) return rc;
    img.SetResolution(h.xdpi, h.ydpi);
    out = std::move(img);
    return kPixoOk;
  }

  int16_t Write(const std::string& path, const Image& img, const SaveRequest& req) const override {
    const uint32_t compression =
        req.format != kFormatBmpRle ? kRgb : img.bits() == 8 ? kRle8 : kRle4;
    std::vector<Colour> palette = img.palette();
    if (img.indexed() && palette.empty()) palette.push_back(kBlack);
    const std::vector<uint8_t> pixels = EncodePixels(img, compression);
    const auto offBits = static_cast<uint32_t>(14 + 40 + 4 * palette.size());
    std::vector<uint8_t> f;
    f.push_back('B');
    f.push_back('M');
    Put32(f, offBits + static_cast<uint32_t>(pixels.size()));
    Put32(f, 0);
    Put32(f, offBits);
    Put32(f, 40);
    Put32(f, static_cast<uint32_t>(img.width()));
    Put32(f, static_cast<uint32_t>(img.height()));
    Put16(f, 1);
    Put16(f, static_cast<uint16_t>(img.bits()));
    Put32(f, compression);
    Put32(f, static_cast<uint32_t>(pixels.size()));
    Put32(f, static_cast<uint32_t>(std::lround(img.xdpi() / 0.0254)));
    Put32(f, static_cast<uint32_t>(std::lround(img.ydpi() / 0.0254)));
    Put32(f, static_cast<uint32_t>(palette.size()));
    Put32(f, 0);
    for (Colour c : palette) {
      f.push_back(BlueOf(c));
      f.push_back(GreenOf(c));
      f.push_back(RedOf(c));
      f.push_back(0);
    }
    f.insert(f.end(), pixels.begin(), pixels.end());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return kPixoWriteFailed;
    out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    out.close();
    return out ? kPixoOk : kPixoWriteFailed;
  }
};

}  // namespace

const ImageCodec& BmpCodec() {
  static const Bmp codec;
  return codec;
}

}  // namespace imaging
