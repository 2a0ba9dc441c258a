// BMP, written by hand: 1, 4 and 8 and 24 bits uncompressed, RLE8 and RLE4;
// read: the same plus 2 bits, 16 and 32 bits (5-5-5 by default, any
// BI_BITFIELDS masks, an alpha mask laid on white), with every header kind
// of the table below.
//
// Damaged data that still leaves a picture is read without harm: RLE
// pixels beyond a row's end or below the last row are dropped (a delta may
// move there too), pixels the RLE data skips keep palette index 0, and an
// index beyond the palette reads black, as it does everywhere in the
// control. Data that ends before its end mark is damaged.
//
// A read looks at the header first and checks every length and offset it
// states against the size of the file before it allocates or reads
// anything more; then it reads the pixel rows once, in order, and only as
// many bytes as the image needs (a file may be far longer than its image).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "platform/imaging/stdio_file.h"

namespace imaging {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

// The kinds of information header, by their size: where the fields sit and
// whether the colour masks are part of the header.
struct HeaderKind {
  uint32_t size;
  const char* name;
  bool core;         // 16-bit width and height, 3-byte palette entries
  bool os2;          // compression 3 and 4 mean other things here: not read
  int masksInHeader;  // colour masks held from offset 54 of the file
};
constexpr HeaderKind kHeaderKinds[] = {
    {12, "BITMAPCOREHEADER", true, true, 0},  {16, "OS22XBITMAPHEADER-16", false, true, 0},
    {40, "BITMAPINFOHEADER", false, false, 0}, {52, "BITMAPV2INFOHEADER", false, false, 3},
    {56, "BITMAPV3INFOHEADER", false, false, 4}, {64, "OS22XBITMAPHEADER", false, true, 0},
    {108, "BITMAPV4HEADER", false, false, 4}, {124, "BITMAPV5HEADER", false, false, 4},
};

// A header kind by its size; a larger unknown one reads as its
// BITMAPINFOHEADER part, as it always has.
const HeaderKind* KindOf(uint32_t size) {
  for (const HeaderKind& k : kHeaderKinds) {
    if (k.size == size) return &k;
  }
  return size > 40 ? &kHeaderKinds[2] : nullptr;
}

// One colour channel of a 16- or 32-bit pixel: its mask, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0, shift = 0, top = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!(m & 1)) {
      m >>= 1;
      ++shift;
    }
    top = m;
  }
  uint8_t Of(uint32_t px, uint8_t absent) const {
    if (!top) return absent;
    const uint64_t v = (px & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + top / 2) / top);
  }
};
constexpr size_t kWindow = size_t{1} << 18;  // bytes read from a file at a time

uint32_t U32(const uint8_t* f) {
  return f[0] | f[1] << 8 | f[2] << 16 | static_cast<uint32_t>(f[3]) << 24;
}
uint16_t U16(const uint8_t* f) { return static_cast<uint16_t>(f[0] | f[1] << 8); }

void Put32(std::vector<uint8_t>& f, uint32_t v) {
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& f, uint16_t v) {
  f.push_back(static_cast<uint8_t>(v));
  f.push_back(static_cast<uint8_t>(v >> 8));
}

// The bytes of a BMP by offset: in place for one in memory; for a file, a
// window that moves forward as the reader does, so a reader going from the
// front to the back reads each byte of the file once.
class Bytes {
 public:
  explicit Bytes(const ImageSource& src) {
    if (src.inMemory()) {
      memory_ = src.bytes().data();
      size_ = src.bytes().size();
      return;
    }
    fd_ = ::open(src.path().c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
      opened_ = false;
      return;
    }
    size_ = static_cast<uint64_t>(st.st_size);
  }
  ~Bytes() {
    if (fd_ >= 0) ::close(fd_);
  }
  Bytes(const Bytes&) = delete;
  Bytes& operator=(const Bytes&) = delete;

  bool opened() const { return opened_; }
  uint64_t size() const { return size_; }
  // `n` bytes from offset `at`; null when they are not all in the file (or
  // cannot be read). Valid until the next call.
  const uint8_t* Get(uint64_t at, size_t n) {
    if (at > size_ || n > size_ - at) return nullptr;
    if (memory_) return memory_ + at;
    if (at < start_ || at + n > start_ + window_.size()) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(std::max(n, kWindow), size_ - at));
      window_.resize(want);
      size_t got = 0;
      while (got < want) {
        const ssize_t r = ::pread(fd_, window_.data() + got, want - got, static_cast<off_t>(at + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
          window_.clear();
          return nullptr;
        }
        got += static_cast<size_t>(r);
      }
      start_ = at;
    }
    return window_.data() + (at - start_);
  }

 private:
  const uint8_t* memory_ = nullptr;
  int fd_ = -1;
  bool opened_ = true;
  uint64_t size_ = 0;
  std::vector<uint8_t> window_;
  uint64_t start_ = 0;
};

struct Header {
  int32_t width = 0, height = 0;
  bool topDown = false;
  int bits = 0;
  uint32_t compression = kRgb;
  uint32_t offBits = 0;
  std::vector<Colour> palette;
  double xdpi = kDefaultDpi, ydpi = kDefaultDpi;
  uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, alpha of 16 and 32 bits
  bool alpha = false;

  bool rle() const { return compression == kRle8 || compression == kRle4; }
  // 24 and 32 bits with the usual masks: bytes B, G, R (, X).
  bool plainBytes() const {
    return bits == 24 || (bits == 32 && !alpha && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
  }

  uint64_t stride() const { return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4; }
};

int16_t ParseHeader(Bytes& f, Header& h) {
  const uint8_t* p = f.Get(0, 18);
  if (!p || p[0] != 'B' || p[1] != 'M') return kPixoDamagedFile;
  h.offBits = U32(p + 10);
  const uint32_t size = U32(p + 14);
  const HeaderKind* kind = KindOf(size);
  if (!kind) return kPixoDamagedFile;
  // The header's fields, those a short header lacks read as 0.
  uint8_t hd[14 + 124] = {};
  const size_t have = 14 + std::min<uint32_t>(size, 124);
  if (!(p = f.Get(0, have))) return kPixoDamagedFile;
  std::memcpy(hd, p, have);
  int64_t height = 0;
  uint32_t used = 0;
  if (kind->core) {
    h.width = U16(hd + 18);
    height = U16(hd + 20);
    h.bits = U16(hd + 24);
  } else {
    h.width = static_cast<int32_t>(U32(hd + 18));
    height = static_cast<int32_t>(U32(hd + 22));
    h.bits = U16(hd + 28);
    h.compression = U32(hd + 30);
    const auto xppm = static_cast<int32_t>(U32(hd + 38)), yppm = static_cast<int32_t>(U32(hd + 42));
    if (xppm > 0) h.xdpi = DpiFromPerMetre(xppm);
    if (yppm > 0) h.ydpi = DpiFromPerMetre(yppm);
    used = U32(hd + 46);
  }
  h.topDown = height < 0;
  height = std::abs(height);
  if (!ValidImageSize(h.width, height)) return kPixoDamagedFile;
  h.height = static_cast<int32_t>(height);
  const bool bitsOk = h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8 || h.bits == 16 ||
                      h.bits == 24 || h.bits == 32;
  const bool fields = !kind->os2 && (h.compression == kBitFields || h.compression == kAlphaBitFields) &&
                      (h.bits == 16 || h.bits == 32);
  const bool compressionOk = h.compression == kRgb || fields || (h.compression == kRle8 && h.bits == 8) ||
                             (h.compression == kRle4 && h.bits == 4);
  if (!bitsOk || !compressionOk) return kPixoUnknownFormat;
  if (h.topDown && h.rle()) return kPixoDamagedFile;
  uint64_t palAt = 14 + static_cast<uint64_t>(size);
  if (h.bits == 16 || h.bits == 32) {
    const uint32_t defaults16[3] = {0x7C00, 0x03E0, 0x001F}, defaults32[3] = {0xFF0000, 0xFF00, 0xFF};
    for (int i = 0; i < 3; ++i) h.masks[i] = h.bits == 16 ? defaults16[i] : defaults32[i];
    if (fields) {
      const int n = kind->masksInHeader ? kind->masksInHeader : h.compression == kAlphaBitFields ? 4 : 3;
      const uint8_t* m = kind->masksInHeader ? hd + 54 : f.Get(54, 4 * static_cast<size_t>(n));
      if (!m) return kPixoDamagedFile;
      for (int i = 0; i < n; ++i) h.masks[i] = U32(m + 4 * i);
      if (!kind->masksInHeader) palAt += 4 * static_cast<uint64_t>(n);
      h.alpha = n == 4 && h.masks[3] != 0;
    }
  }
  if (h.bits <= 8) {
    const size_t entry = kind->core ? 3 : 4;
    const uint32_t room = 1u << h.bits;
    if (used > room) return kPixoDamagedFile;
    const uint32_t n = used ? used : room;
    const uint8_t* pal = f.Get(palAt, n * entry);
    if (!pal) return kPixoDamagedFile;
    for (uint32_t i = 0; i < n; ++i, pal += entry) h.palette.push_back(MakeColour(pal[2], pal[1], pal[0]));
  }
  if (h.offBits > f.size()) return kPixoDamagedFile;
  return kPixoOk;
}

// Before the image is allocated: uncompressed rows must all be in the file.
// Compressed data is checked as it is decoded.
bool RowsFit(const Bytes& f, const Header& h) {
  return h.rle() || h.stride() * static_cast<uint64_t>(h.height) <= f.size() - h.offBits;
}

// One stored row into a held row: B, G, R (and X) to R, G, B; masked
// 16- and 32-bit pixels to R, G, B laid on white; packed indices to one
// byte each.
void DecodeRow(const uint8_t* s, const Header& h, uint8_t* d) {
  const int32_t width = h.width;
  const int bits = h.bits;
  if ((bits == 16 || bits == 32) && !h.plainBytes()) {
    const Channel r(h.masks[0]), g(h.masks[1]), b(h.masks[2]), a(h.alpha ? h.masks[3] : 0);
    for (int32_t x = 0; x < width; ++x, d += 3) {
      const uint32_t px = bits == 16 ? U16(s + 2 * x) : U32(s + 4 * x);
      const uint8_t alpha = a.Of(px, 255);
      d[0] = OnPaper(r.Of(px, 0), alpha, 255);
      d[1] = OnPaper(g.Of(px, 0), alpha, 255);
      d[2] = OnPaper(b.Of(px, 0), alpha, 255);
    }
  } else if (bits == 24) {
    for (int32_t x = 0; x < width; ++x, s += 3, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  } else if (bits == 32) {
    for (int32_t x = 0; x < width; ++x, s += 4, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  } else if (bits == 8) {
    std::memcpy(d, s, static_cast<size_t>(width));
  } else {
    const int perByte = 8 / bits, mask = (1 << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
      d[x] = static_cast<uint8_t>((s[x / perByte] >> (8 - bits - (x % perByte) * bits)) & mask);
    }
  }
}

int16_t DecodeRgb(Bytes& f, const Header& h, Image& img) {
  const uint64_t stride = h.stride();
  const int32_t rowsAtOnce = static_cast<int32_t>(std::max<uint64_t>(1, kWindow / stride));
  for (int32_t r = 0; r < h.height; r += rowsAtOnce) {
    const int32_t n = std::min(rowsAtOnce, h.height - r);
    const uint8_t* s = f.Get(h.offBits + stride * r, static_cast<size_t>(stride * n));
    if (!s) return kPixoDamagedFile;
    for (int32_t i = 0; i < n; ++i, s += stride) {
      DecodeRow(s, h, img.row(h.topDown ? r + i : h.height - 1 - (r + i)));
    }
  }
  return kPixoOk;
}

// RLE8 and RLE4; rows count from the bottom. Pixels beyond a row's end are
// dropped; data that ends before the end-of-bitmap mark is damaged.
int16_t DecodeRle(Bytes& f, const Header& h, Image& img) {
  const bool four = h.compression == kRle4;
  int64_t x = 0, y = 0;
  uint64_t pos = h.offBits;
  auto put = [&](uint8_t v) {
    if (x < h.width && y < h.height) img.row(static_cast<int32_t>(h.height - 1 - y))[x] = v;
    ++x;
  };
  while (true) {
    const uint8_t* p = f.Get(pos, 2);
    if (!p) return kPixoDamagedFile;
    const uint8_t a = p[0], b = p[1];
    pos += 2;
    if (a > 0) {
      for (int i = 0; i < a; ++i) put(four ? (i % 2 ? b & 0x0F : b >> 4) : b);
    } else if (b == 0) {
      x = 0;
      ++y;
    } else if (b == 1) {
      return kPixoOk;
    } else if (b == 2) {
      const uint8_t* d = f.Get(pos, 2);
      if (!d) return kPixoDamagedFile;
      x += d[0];
      y += d[1];
      pos += 2;
    } else {
      const size_t bytes = four ? (b + 1u) / 2 : b;
      const size_t padded = bytes + (bytes & 1);
      const uint8_t* run = f.Get(pos, padded);
      if (!run) return kPixoDamagedFile;
      for (int i = 0; i < b; ++i) put(four ? (i % 2 ? run[i / 2] & 0x0F : run[i / 2] >> 4) : run[i]);
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

  int16_t ReadInfo(const ImageSource& src, int32_t page, FileInfo& info) const override {
    if (page != 1) return kPixoBadArgument;
    Bytes f(src);
    if (!f.opened()) return kPixoFileNotFound;
    Header h;
    const int16_t rc = ParseHeader(f, h);
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

  int16_t Read(const ImageSource& src, int32_t page, Image& out) const override {
    if (page != 1) return kPixoBadArgument;
    Bytes f(src);
    if (!f.opened()) return kPixoFileNotFound;
    Header h;
    int16_t rc = ParseHeader(f, h);
    if (rc != kPixoOk) return rc;
    if (!RowsFit(f, h)) return kPixoDamagedFile;
    Image img;
    // RLE data may skip pixels, which stay at index 0.
    const bool rle = h.rle();
    const int32_t held = h.bits > 8 ? 24 : h.bits == 2 ? 4 : h.bits;
    if (!rle) {
      img.CreateForWriting(h.width, h.height, held);
    } else {
      img.Create(h.width, h.height, held);
    }
    if (h.bits <= 8) img.SetPalette(h.palette);
    rc = rle ? DecodeRle(f, h, img) : DecodeRgb(f, h, img);
    if (rc != kPixoOk) return rc;
    img.SetResolution(h.xdpi, h.ydpi);
    out = std::move(img);
    return kPixoOk;
  }

  int16_t Write(ImageSink& sink, const Image& img, const SaveRequest& req) const override {
    const size_t before = sink.bytes ? sink.bytes->size() : 0;
    try {
      return WriteBmp(sink, img, req);
    } catch (const std::bad_alloc&) {
      if (sink.bytes) sink.bytes->resize(before);
      return kPixoWriteFailed;
    }
  }

 private:
  static int16_t WriteBmp(ImageSink& sink, const Image& img, const SaveRequest& req) {
    const uint32_t compression =
        req.format != kFormatBmpRle ? kRgb : img.bits() == 8 ? kRle8 : kRle4;
    std::vector<Colour> palette = img.palette();
    if (img.indexed() && palette.empty()) palette.push_back(kBlack);
    const std::vector<uint8_t> pixels = EncodePixels(img, compression);
    const auto offBits = static_cast<uint32_t>(14 + 40 + 4 * palette.size());
    std::vector<uint8_t> local;
    std::vector<uint8_t>& f = sink.bytes ? *sink.bytes : local;
    if (sink.bytes) sink.CheckRoom(f.size() + offBits + pixels.size());
    f.reserve(f.size() + offBits + pixels.size());
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
    if (sink.bytes) return kPixoOk;
    StdioFile file{std::fopen(sink.path.c_str(), "wb")};
    if (!file.f) return kPixoWriteFailed;
    const bool written = std::fwrite(f.data(), 1, f.size(), file.f) == f.size();
    return file.Finish() && written ? kPixoOk : kPixoWriteFailed;
  }
};

}  // namespace

const ImageCodec& BmpCodec() {
  static const Bmp codec;
  return codec;
}

}  // namespace imaging
