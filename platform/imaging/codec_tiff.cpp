// TIFF through libtiff: every compression of the save format codes, pages
// read one at a time and appended one at a time; files on disk or bytes in
// memory (through libtiff's client procedures).
//
// Black-and-white images are written min-is-white (the usual form for fax
// compressions), grey images min-is-black, other palette images with a
// colour map, true colour as RGB or, for the CMYK code, as separated CMYK
// in the standard reading: each colour is (255 - ink) x (255 - black) / 255,
// as libtiff's RGBA reader and every other reader take it. Every page is
// marked as a page of a multi-page document, the first one too.
//
// Pages with an alpha channel are read through libtiff's RGBA reader, which
// hands out premultiplied colours (it multiplies unassociated alpha in), and
// laid on white. A kind of page libtiff reads but this control does not
// (floating-point or 64-bit samples, a compression not built in) is
// unsupported (kPixoUnknownFormat), not damaged.

#include <sys/mman.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "platform/imaging/bands.h"
#include "platform/imaging/edits.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

// libtiff reports to stderr by default; a damaged file is our caller's
// failure code, not console noise.
struct QuietLibtiff {
  QuietLibtiff() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  }
};

// How many bytes to copy at once from `src` to `dst`: all `n`, or 2 KiB
// when the destination lies 1 to 15 bytes past the source modulo a page.
// glibc moves a larger piece with "rep movsb", which AMD Zen processors run
// about ten times slower at such a distance (a 1 MB strip took 0.43 ms to
// copy instead of 0.03): uncompressed strips after a file's 8-byte header,
// from an image block into a vector both mapped at the same page offset, are
// just that case. Pieces of 2 KiB stay under glibc's threshold for it and
// copy at about 0.04 ms a megabyte there.
size_t CopyPiece(const uint8_t* dst, const uint8_t* src, size_t n) {
  constexpr size_t kPiece = 2048;
  const auto distance = (reinterpret_cast<uintptr_t>(dst) - reinterpret_cast<uintptr_t>(src)) % 4096;
  return distance == 0 || distance >= 16 ? n : std::min(n, kPiece);
}

// A TIFF in memory for libtiff: the bytes of one to read, or a vector that
// receives one written from its current end on (`base`).
struct MemoryFile {
  std::span<const uint8_t> in;
  std::vector<uint8_t>* out = nullptr;
  const ImageSink* sink = nullptr;  // the room `out` may take
  uint64_t base = 0;
  uint64_t pos = 0;

  uint64_t size() const { return out ? out->size() - base : in.size(); }

  static MemoryFile* Of(thandle_t h) { return static_cast<MemoryFile*>(h); }
  static tmsize_t Read(thandle_t h, void* buf, tmsize_t n) {
    MemoryFile& m = *Of(h);
    const uint64_t size = m.size();
    const uint64_t got = m.pos >= size ? 0 : std::min<uint64_t>(static_cast<uint64_t>(n), size - m.pos);
    const uint8_t* from = m.out ? m.out->data() + m.base : m.in.data();
    if (got) std::memcpy(buf, from + m.pos, got);
    m.pos += got;
    return static_cast<tmsize_t>(got);
  }
  // A C callback: running out of memory is a failed write (-1), which
  // libtiff reports as its own error.
  static tmsize_t Write(thandle_t h, void* buf, tmsize_t n) {
    try {
      return Put(*Of(h), buf, n);
    } catch (const std::bad_alloc&) {
      return -1;
    }
  }
  // Overwrites what lies at the position and appends the rest, so the
  // bytes of a strip are copied once, never cleared first.
  static tmsize_t Put(MemoryFile& m, void* buf, tmsize_t n) {
    if (!m.out || n < 0) return -1;
    if (m.sink) m.sink->CheckRoom(std::max<uint64_t>(m.out->size(), m.base + m.pos + static_cast<uint64_t>(n)));
    std::vector<uint8_t>& v = *m.out;
    const auto* p = static_cast<const uint8_t*>(buf);
    const uint64_t at = m.base + m.pos;
    if (at > v.size()) v.resize(at);
    const size_t over = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(n), v.size() - at));
    for (size_t done = 0, piece = 0; done < over; done += piece) {
      piece = CopyPiece(v.data() + at + done, p + done, over - done);
      std::memcpy(v.data() + at + done, p + done, piece);
    }
    const auto total = static_cast<size_t>(n);
    if (v.capacity() - v.size() < total - over) v.reserve(std::max(v.size() + total - over, 2 * v.capacity()));
    for (size_t done = over, piece = 0; done < total; done += piece) {
      piece = CopyPiece(v.data() + v.size(), p + done, total - done);
      v.insert(v.end(), p + done, p + done + piece);
    }
    m.pos += static_cast<uint64_t>(n);
    return n;
  }
  static toff_t Seek(thandle_t h, toff_t off, int whence) {
    MemoryFile& m = *Of(h);
    const uint64_t from = whence == SEEK_CUR ? m.pos : whence == SEEK_END ? m.size() : 0;
    m.pos = from + off;
    return m.pos;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h) { return Of(h)->size(); }
  // Bytes to read are handed to libtiff in place: no copy of the strips.
  static int Map(thandle_t h, void** base, toff_t* size) {
    MemoryFile& m = *Of(h);
    if (m.out) return 0;
    *base = const_cast<uint8_t*>(m.in.data());
    *size = m.in.size();
    return 1;
  }
  static void Unmap(thandle_t, void*, toff_t) {}
};

// A TIFF in a file the caller keeps open, read through a window of 1 MiB:
// a page copied from one file into another is read piece by piece, never
// held whole, and libtiff's many small reads of raw strips cost no call
// each. Read only.
//
// The window is mapped for the copy alone and unmapped after it. From the
// heap it would stay with the thread that copied: once a sheet's pixels
// have been freed the allocator keeps blocks of that size in its arenas,
// and each of the commit's workers has an arena of its own.
struct WindowFile {
  static constexpr size_t kWindow = size_t{1} << 20;

  explicit WindowFile(int file) : fd(file) {
    struct stat st {};
    size = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    void* at = ::mmap(nullptr, kWindow, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) size = 0;  // reads nothing: the copy fails
    else buffer = static_cast<uint8_t*>(at);
  }
  ~WindowFile() {
    if (buffer) ::munmap(buffer, kWindow);
  }
  WindowFile(const WindowFile&) = delete;
  WindowFile& operator=(const WindowFile&) = delete;

  int fd;
  uint64_t size = 0;
  uint64_t pos = 0;
  uint8_t* buffer = nullptr;  // kWindow bytes
  size_t filled = 0;          // bytes of the file in `buffer`
  uint64_t start = 0;         // the file offset of buffer[0]

  static WindowFile* Of(thandle_t h) { return static_cast<WindowFile*>(h); }
  // What pread gives at `at`, retried when a signal cuts it short; 0 at
  // the end or on an error.
  size_t ReadAt(uint8_t* to, size_t n, uint64_t at) const {
    for (;;) {
      const ssize_t got = ::pread(fd, to, n, static_cast<off_t>(at));
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) return 0;
    }
  }
  static tmsize_t Read(thandle_t h, void* buf, tmsize_t n) {
    WindowFile& f = *Of(h);
    auto* to = static_cast<uint8_t*>(buf);
    size_t done = 0;
    const auto want = static_cast<size_t>(std::max<tmsize_t>(n, 0));
    while (done < want) {
      const uint64_t at = f.pos + done;
      if (at < f.start || at >= f.start + f.filled) {
        if (!f.buffer) break;
        if (want - done >= kWindow) {  // a large read goes straight to the caller
          const size_t got = f.ReadAt(to + done, want - done, at);
          if (got == 0) break;
          done += got;
          continue;
        }
        f.filled = f.ReadAt(f.buffer, kWindow, at);
        f.start = at;
        if (f.filled == 0) break;
      }
      const size_t from = static_cast<size_t>(at - f.start);
      const size_t piece = std::min(want - done, f.filled - from);
      std::memcpy(to + done, f.buffer + from, piece);
      done += piece;
    }
    f.pos += done;
    return static_cast<tmsize_t>(done);
  }
  static tmsize_t Write(thandle_t, void*, tmsize_t) { return -1; }
  static toff_t Seek(thandle_t h, toff_t off, int whence) {
    WindowFile& f = *Of(h);
    const uint64_t from = whence == SEEK_CUR ? f.pos : whence == SEEK_END ? f.size : 0;
    f.pos = from + off;
    return f.pos;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h) { return Of(h)->size; }
  static int Map(thandle_t, void**, toff_t*) { return 0; }
  static void Unmap(thandle_t, void*, toff_t) {}
};

// An open file with what libtiff reported on it. libtiff passes over tag
// data it cannot read ("IO error during reading of ...; tag ignored") with
// a warning only, and goes on with a changed page (a palette page without
// its colour map reads as grey): such a file is damaged, as is one that
// caused any error.
class Tif {
 public:
  // A file on disk by its path, or the memory file `memory` (kept alive by
  // the caller) when it is given. Files are read without mapping them
  // ("rm"): a page needs a few strips, and mapping and unmapping the file
  // for every page read costs more; uncompressed strips are still read
  // straight into the caller's rows.
  Tif(const std::string& path, const char* mode, MemoryFile* memory = nullptr) {
    TIFFOpenOptions* options = Options();
    if (memory) {
      tif = TIFFClientOpenExt("memory", mode, memory, MemoryFile::Read, MemoryFile::Write, MemoryFile::Seek,
                              MemoryFile::Close, MemoryFile::Size, MemoryFile::Map, MemoryFile::Unmap, options);
    } else {
      tif = TIFFOpenExt(path.c_str(), mode, options);
    }
    TIFFOpenOptionsFree(options);
  }
  // The file `window` reads (kept alive by the caller), for reading.
  explicit Tif(WindowFile& window) {
    TIFFOpenOptions* options = Options();
    tif = TIFFClientOpenExt("file", "r", &window, WindowFile::Read, WindowFile::Write, WindowFile::Seek,
                            WindowFile::Close, WindowFile::Size, WindowFile::Map, WindowFile::Unmap, options);
    TIFFOpenOptionsFree(options);
  }
  ~Tif() { Close(); }
  Tif(const Tif&) = delete;
  Tif& operator=(const Tif&) = delete;
  void Close() {
    if (tif) TIFFClose(tif);
    tif = nullptr;
  }

  TIFF* tif = nullptr;
  bool damaged = false;

 private:
  // Options that report to this object.
  TIFFOpenOptions* Options() {
    static QuietLibtiff quiet;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
    return options;
  }

  // libtiff skips a tag it has no definition for with an error report and
  // reads the page without it; that alone damages nothing.
  static int OnError(TIFF*, void* self, const char*, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (!std::strstr(text, "custom tag")) static_cast<Tif*>(self)->damaged = true;
    return 1;
  }
  static int OnWarning(TIFF*, void* self, const char*, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (std::strstr(text, "IO error")) static_cast<Tif*>(self)->damaged = true;
    return 1;
  }
};

uint16_t CompressionOf(int32_t format) {
  switch (format) {
    case kFormatTiffLzw:
    case kFormatTiffLzwCmyk: return COMPRESSION_LZW;
    case kFormatTiffPackBits: return COMPRESSION_PACKBITS;
    case kFormatTiffDeflate: return COMPRESSION_ADOBE_DEFLATE;
    case kFormatTiffJbig: return COMPRESSION_JBIG;
    case kFormatTiffCcittRle: return COMPRESSION_CCITTRLE;
    case kFormatTiffG3:
    case kFormatTiffG3_2D: return COMPRESSION_CCITTFAX3;
    case kFormatTiffG4: return COMPRESSION_CCITTFAX4;
    default: return COMPRESSION_NONE;
  }
}

bool OneBitOnly(int32_t format) {
  const uint16_t c = CompressionOf(format);
  return c == COMPRESSION_JBIG || c == COMPRESSION_CCITTRLE || c == COMPRESSION_CCITTFAX3 ||
         c == COMPRESSION_CCITTFAX4;
}

double ResolutionOf(TIFF* tif, ttag_t tag) {
  float res = 0;
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tif, tag, &res) || !(res > 0)) return kDefaultDpi;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit == RESUNIT_CENTIMETER) return std::round(res * 2.54 * 100) / 100;
  return res;
}

// The directory of page `page` (from 1) made current.
bool SelectPage(TIFF* tif, int32_t page) {
  return page >= 1 && TIFFSetDirectory(tif, static_cast<tdir_t>(page - 1));
}

struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
  uint16_t inkset = INKSET_CMYK;
};

Layout LayoutOf(TIFF* tif) {
  Layout l;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &l.inkset);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric)) {
    l.photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
  }
  return l;
}

// The sample size and count a page may state: more would be no image any
// reader shows, and their product, the depth, would overflow.
bool PlausiblePixel(const Layout& l) {
  return l.bits >= 1 && l.bits <= 64 && l.samples >= 1 && l.samples <= 32;
}

// Rows of `bits`-bit samples (MSB first) made into `size` bytes a sample,
// through a table of what every stored byte becomes: a byte of 1-bit
// samples turns into 8 pixels with one copy.
class SampleRows {
 public:
  // `value`(sample, to) writes the `size` bytes of a sample.
  template <typename Value>
  SampleRows(int bits, int size, Value value)
      : bits_(bits), size_(size), chunk_((8 / bits) * size), table_(256 * static_cast<size_t>(chunk_)) {
    const int perByte = 8 / bits, mask = (1 << bits) - 1;
    for (int b = 0; b < 256; ++b) {
      for (int k = 0; k < perByte; ++k) value((b >> (8 - bits - k * bits)) & mask, &table_[b * chunk_ + k * size]);
    }
  }

  void Row(const uint8_t* in, uint32_t width, uint8_t* out) const {
    switch (chunk_) {
      case 1: return Whole<1>(in, width, out);
      case 2: return Whole<2>(in, width, out);
      case 3: return Whole<3>(in, width, out);
      case 4: return Whole<4>(in, width, out);
      case 6: return Whole<6>(in, width, out);
      case 8: return Whole<8>(in, width, out);
      case 12: return Whole<12>(in, width, out);
      default: return Whole<24>(in, width, out);
    }
  }

 private:
  template <int kChunk>
  void Whole(const uint8_t* in, uint32_t width, uint8_t* out) const {
    const uint32_t perByte = 8 / bits_, whole = width / perByte;
    for (uint32_t i = 0; i < whole; ++i, out += kChunk) std::memcpy(out, &table_[in[i] * kChunk], kChunk);
    const uint32_t rest = width % perByte;
    if (rest) std::memcpy(out, &table_[in[whole] * kChunk], rest * static_cast<uint32_t>(size_));
  }

  int bits_, size_, chunk_;
  std::vector<uint8_t> table_;
};

// Packs one byte-per-sample row into `bits`-bit samples, MSB first;
// `sampleOf` gives the sample of each byte.
void Pack(const uint8_t* in, uint32_t width, int bits, const uint8_t* sampleOf, uint8_t* out, size_t outBytes) {
  if (bits == 8) {
    for (uint32_t x = 0; x < width; ++x) out[x] = sampleOf[in[x]];
    return;
  }
  std::memset(out, 0, outBytes);
  if (bits == 1) {
    // Eight bytes of 0 and 1 (the usual held indices) become one byte at
    // once: the product gathers byte k's bit as bit 7 - k of its top byte.
    const uint64_t flip = sampleOf[0] == 1 && sampleOf[1] == 0 ? 0xFF : sampleOf[0] == 0 && sampleOf[1] == 1 ? 0 : 2;
    const uint32_t whole = width / 8;
    for (uint32_t i = 0; i < whole; ++i, in += 8) {
      uint64_t v;
      std::memcpy(&v, in, 8);
      if (flip != 2 && (v & ~uint64_t{0x0101010101010101}) == 0 && std::endian::native == std::endian::little) {
        out[i] = static_cast<uint8_t>(((v * 0x8040201008040201) >> 56) ^ flip);
        continue;
      }
      uint32_t b = 0;
      for (int k = 0; k < 8; ++k) b = b << 1 | (sampleOf[in[k]] & 1);
      out[i] = static_cast<uint8_t>(b);
    }
    for (uint32_t k = 0; k < width % 8; ++k) out[whole] |= static_cast<uint8_t>((sampleOf[in[k]] & 1) << (7 - k));
    return;
  }
  const uint32_t perByte = 8 / bits;
  for (uint32_t x = 0; x < width; ++x) {
    out[x / perByte] |= static_cast<uint8_t>(sampleOf[in[x]] << (8 - bits - (x % perByte) * bits));
  }
}

// The rows of a page, decoded one strip at a time: some codecs (JBIG among
// them) decode and encode whole strips only.
class StripReader {
 public:
  StripReader(TIFF* tif, uint32_t height) : tif_(tif), height_(height) {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &perStrip_);
    perStrip_ = std::clamp<uint32_t>(perStrip_, 1, height);
    line_ = static_cast<size_t>(std::max<tmsize_t>(TIFFScanlineSize(tif), 0));
  }
  size_t lineBytes() const { return line_; }
  // Row y, rows asked in order; null when its strip cannot be decoded whole.
  const uint8_t* Row(uint32_t y) {
    const uint32_t strip = y / perStrip_;
    if (!loaded_ || strip != strip_) {
      const uint32_t rows = std::min(perStrip_, height_ - strip * perStrip_);
      buf_.resize(rows * line_);
      const tmsize_t got = TIFFReadEncodedStrip(tif_, strip, buf_.data(), static_cast<tmsize_t>(buf_.size()));
      if (got < static_cast<tmsize_t>(buf_.size())) return nullptr;
      strip_ = strip;
      loaded_ = true;
    }
    return buf_.data() + static_cast<size_t>(y - strip_ * perStrip_) * line_;
  }

 private:
  TIFF* tif_;
  uint32_t height_;
  uint32_t perStrip_ = 0;
  size_t line_ = 0;
  std::vector<uint8_t> buf_;
  uint32_t strip_ = 0;
  bool loaded_ = false;
};

// Uncompressed strips that follow each other in a file on disk, each just
// its rows, read into the rows of `out` with a few reads: libtiff reads such
// a page a strip at a time, a seek and a read for each (3,508 strips of one
// row for an A4 page at 300 dpi). `fd` is the file
// libtiff reads, -1 for one in memory. False when the page is not of that
// kind or a read comes short; the caller then reads it through libtiff,
// which reports what is wrong.
bool ReadWholeStrips(TIFF* tif, int fd, uint32_t height, uint32_t perStrip, Image& out) {
  uint16_t compression = COMPRESSION_NONE, fillOrder = FILLORDER_MSB2LSB;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
  // Another fill order has libtiff reverse the bits of every byte.
  if (compression != COMPRESSION_NONE || fillOrder != FILLORDER_MSB2LSB || fd < 0) return false;
  const auto line = static_cast<uint64_t>(out.stride());
  const uint32_t strips = (height + perStrip - 1) / perStrip;
  if (TIFFNumberOfStrips(tif) < strips) return false;
  int err = 0;
  const uint64_t first = TIFFGetStrileOffsetWithErr(tif, 0, &err);
  uint64_t next = first;
  for (uint32_t i = 0; i < strips && !err; ++i) {
    const uint64_t bytes = line * std::min(perStrip, height - i * perStrip);
    if (TIFFGetStrileOffsetWithErr(tif, i, &err) != next || TIFFGetStrileByteCountWithErr(tif, i, &err) != bytes) {
      return false;
    }
    next += bytes;
  }
  if (err) return false;
  // Row y lies at first + y x line. Bands of rows are read side by side:
  // the copy from the file cache into fresh memory is most of the time.
  std::atomic<bool> whole{true};
  uint8_t* const rows = out.row(0);
  InBands(static_cast<int32_t>(height), static_cast<size_t>(next - first), [&](int32_t from, int32_t to) {
    uint8_t* at = rows + line * static_cast<uint64_t>(from);
    const uint64_t begin = first + line * static_cast<uint64_t>(from);
    const uint64_t total = line * static_cast<uint64_t>(to - from);
    for (uint64_t done = 0; done < total && whole;) {
      // Pieces well under the kernel's limit of one read.
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(total - done, uint64_t{1} << 30));
      const ssize_t got = ::pread(fd, at + done, piece, static_cast<off_t>(begin + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) whole = false;
      if (got > 0) done += static_cast<uint64_t>(got);
    }
  });
  return whole;
}

// Decodes every strip straight into the rows of `out`, whose rows must be
// laid out as the file's lines are (contiguous samples of 8 bits).
bool ReadStripsInto(TIFF* tif, int fd, uint32_t height, Image& out) {
  uint32_t perStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &perStrip);
  perStrip = std::clamp<uint32_t>(perStrip, 1, height);
  if (ReadWholeStrips(tif, fd, height, perStrip, out)) return true;
  const auto line = static_cast<tmsize_t>(out.stride());
  for (uint32_t y = 0; y < height; y += perStrip) {
    const tmsize_t bytes = line * std::min(perStrip, height - y);
    if (TIFFReadEncodedStrip(tif, y / perStrip, out.row(static_cast<int32_t>(y)), bytes) < bytes) return false;
  }
  return true;
}

// True when the page has an alpha channel (associated or not).
bool HasAlpha(TIFF* tif) {
  uint16_t count = 0;
  uint16_t* kinds = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds)) return false;
  for (uint16_t i = 0; i < count; ++i) {
    if (kinds[i] == EXTRASAMPLE_ASSOCALPHA || kinds[i] == EXTRASAMPLE_UNASSALPHA) return true;
  }
  return false;
}

// Any layout libtiff can decode, as true colour laid on white.
int16_t ReadAsRgba(TIFF* tif, const Layout& l, Image& out) {
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  char why[1024];
  if (!TIFFIsCODECConfigured(compression) || !TIFFRGBAImageOK(tif, why)) return kPixoUnknownFormat;
  std::vector<uint32_t> raster(static_cast<size_t>(l.width) * l.height);
  if (!TIFFReadRGBAImageOriented(tif, l.width, l.height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
    return kPixoDamagedFile;
  }
  out.CreateForWriting(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), 24);
  for (uint32_t y = 0; y < l.height; ++y) {
    uint8_t* d = out.row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < l.width; ++x) {
      const uint32_t p = raster[static_cast<size_t>(y) * l.width + x];
      const auto a = static_cast<uint8_t>(TIFFGetA(p));
      d[3 * x] = PremultipliedOnPaper(static_cast<uint8_t>(TIFFGetR(p)), a, 255);
      d[3 * x + 1] = PremultipliedOnPaper(static_cast<uint8_t>(TIFFGetG(p)), a, 255);
      d[3 * x + 2] = PremultipliedOnPaper(static_cast<uint8_t>(TIFFGetB(p)), a, 255);
    }
  }
  return kPixoOk;
}

// Grey and palette pages of 1, 2, 4 or 8 bits: their indices, or with
// `trueColour` their colours (as ChangeDepth to 24 bits would make them).
int16_t ReadIndexed(TIFF* tif, const Layout& l, bool trueColour, Image& out) {
  const bool palette = l.photometric == PHOTOMETRIC_PALETTE;
  const int heldBits = l.bits == 2 ? 4 : l.bits;
  const int n = 1 << l.bits;
  std::vector<uint8_t> map(n);  // file sample -> held index
  for (int v = 0; v < n; ++v) {
    if (palette) {
      map[v] = static_cast<uint8_t>(v);
    } else {
      const int level = l.photometric == PHOTOMETRIC_MINISWHITE ? n - 1 - v : v;
      map[v] = static_cast<uint8_t>(l.bits == 2 ? level * 5 : level);  // 2 bits: 4 of 16 levels
    }
  }
  std::vector<Colour> pal = GreyRamp(heldBits);
  if (palette) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) return kPixoDamagedFile;
    // Some writers store 8-bit values in the 16-bit colour map.
    bool eightBit = true;
    for (int i = 0; i < n; ++i) eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
    const int shift = eightBit ? 0 : 8;
    pal.resize(n);
    for (int i = 0; i < n; ++i) pal[i] = MakeColour(r[i] >> shift, g[i] >> shift, b[i] >> shift);
  }
  const auto w = static_cast<int32_t>(l.width), h = static_cast<int32_t>(l.height);
  out.CreateForWriting(w, h, trueColour ? 24 : heldBits);
  if (!trueColour && palette) out.SetPalette(pal);
  StripReader rows(tif, l.height);
  if (rows.lineBytes() < (static_cast<size_t>(l.width) * l.bits + 7) / 8) return kPixoDamagedFile;
  const SampleRows held(l.bits, trueColour ? 3 : 1, [&](int sample, uint8_t* to) {
    if (!trueColour) {
      *to = map[sample];
      return;
    }
    const Colour c = pal[map[sample]];
    to[0] = RedOf(c);
    to[1] = GreenOf(c);
    to[2] = BlueOf(c);
  });
  for (uint32_t y = 0; y < l.height; ++y) {
    const uint8_t* line = rows.Row(y);
    if (!line) return kPixoDamagedFile;
    held.Row(line, l.width, out.row(static_cast<int32_t>(y)));
  }
  return kPixoOk;
}

// One colour of a CMYK pixel, truncated as libtiff's RGBA reader does.
uint8_t CmykColour(uint8_t ink, uint8_t black) { return static_cast<uint8_t>((255 - ink) * (255 - black) / 255); }

// The ink of one colour under `black`: the least ink that CmykColour reads
// back as `colour` (colour <= 255 - black).
uint8_t InkFor(uint8_t colour, uint8_t black) {
  const int white = 255 - black;
  if (white == 0) return 0;
  return static_cast<uint8_t>(255 - (colour * 255 + white - 1) / white);
}

// 8-bit RGB or CMYK, contiguous samples; `fd` as for ReadWholeStrips.
int16_t ReadColour(TIFF* tif, int fd, const Layout& l, Image& out) {
  out.CreateForWriting(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), 24);
  StripReader rows(tif, l.height);
  if (rows.lineBytes() < static_cast<size_t>(l.width) * l.samples) return kPixoDamagedFile;
  if (l.samples == 3 && rows.lineBytes() == static_cast<size_t>(out.stride())) {
    return ReadStripsInto(tif, fd, l.height, out) ? kPixoOk : kPixoDamagedFile;
  }
  const bool cmyk = l.photometric == PHOTOMETRIC_SEPARATED;
  for (uint32_t y = 0; y < l.height; ++y) {
    const uint8_t* s = rows.Row(y);
    if (!s) return kPixoDamagedFile;
    uint8_t* d = out.row(static_cast<int32_t>(y));
    if (l.samples == 3) {
      std::memcpy(d, s, static_cast<size_t>(l.width) * 3);
    } else if (cmyk) {
      for (uint32_t x = 0; x < l.width; ++x, s += 4, d += 3) {
        for (int i = 0; i < 3; ++i) d[i] = CmykColour(s[i], s[3]);
      }
    } else {
      for (uint32_t x = 0; x < l.width; ++x, s += l.samples, d += 3) std::memcpy(d, s, 3);
    }
  }
  return kPixoOk;
}

int16_t ReadPage(TIFF* tif, int fd, bool trueColour, Image& out) {
  const Layout l = LayoutOf(tif);
  if (!ValidImageSize(l.width, l.height) || !PlausiblePixel(l)) return kPixoDamagedFile;
  const bool simple = !TIFFIsTiled(tif) && l.planar == PLANARCONFIG_CONTIG;
  int16_t rc;
  if (simple && l.samples == 1 && (l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8) &&
      (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE ||
       l.photometric == PHOTOMETRIC_PALETTE)) {
    rc = ReadIndexed(tif, l, trueColour, out);
  } else if (simple && l.bits == 8 && !HasAlpha(tif) &&
             ((l.photometric == PHOTOMETRIC_RGB && l.samples >= 3) ||
              (l.photometric == PHOTOMETRIC_SEPARATED && l.inkset == INKSET_CMYK && l.samples == 4))) {
    rc = ReadColour(tif, fd, l, out);
  } else {
    rc = ReadAsRgba(tif, l, out);
  }
  if (rc != kPixoOk) return rc;
  out.SetResolution(ResolutionOf(tif, TIFFTAG_XRESOLUTION), ResolutionOf(tif, TIFFTAG_YRESOLUTION));
  return kPixoOk;
}

int16_t WritePage(TIFF* tif, const Image& img, const SaveRequest& req) {
  const auto w = static_cast<uint32_t>(img.width()), h = static_cast<uint32_t>(img.height());
  const bool cmyk = req.format == kFormatTiffLzwCmyk;
  const bool bitonal = img.bits() == 1 && img.IsBitonal();
  uint16_t photometric = PHOTOMETRIC_RGB, samples = 3, bits = 8;
  if (cmyk) {
    photometric = PHOTOMETRIC_SEPARATED;
    samples = 4;
  } else if (img.indexed()) {
    samples = 1;
    bits = static_cast<uint16_t>(img.bits());
    photometric = bitonal ? PHOTOMETRIC_MINISWHITE
                          : img.IsGrey() ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
  }
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  if (cmyk) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
  if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, CompressionOf(req.format))) return kPixoUnsupportedCode;
  if (req.format == kFormatTiffG3) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, 0u);
  if (req.format == kFormatTiffG3_2D) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(img.xdpi()));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(img.ydpi()));
  TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  std::vector<uint16_t> map[3];
  if (photometric == PHOTOMETRIC_PALETTE) {
    const size_t n = size_t{1} << bits;
    for (auto& m : map) m.assign(n, 0);
    for (size_t i = 0; i < img.palette().size(); ++i) {
      const Colour c = img.palette()[i];
      map[0][i] = static_cast<uint16_t>(RedOf(c) * 257);
      map[1][i] = static_cast<uint16_t>(GreenOf(c) * 257);
      map[2][i] = static_cast<uint16_t>(BlueOf(c) * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  }
  // JBIG codes a page as one strip; the others take libtiff's strip size.
  const uint32_t perStrip = req.format == kFormatTiffJbig ? h : std::clamp<uint32_t>(TIFFDefaultStripSize(tif, 0), 1, h);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, perStrip);

  const auto lineBytes = static_cast<size_t>(std::max<tmsize_t>(TIFFScanlineSize(tif), 0));
  // Rows of 8-bit samples laid out as the image holds them (true colour, 256
  // indices) go to libtiff in place, strip by strip: with no predictor and
  // no byte swapping for 8-bit samples its encoders only read them.
  // Uncompressed strips are those bytes as they are and go out raw, without
  // a pass through libtiff's encoding buffer.
  if (!cmyk && !bitonal && bits == 8 && lineBytes == static_cast<size_t>(img.stride())) {
    const bool raw = CompressionOf(req.format) == COMPRESSION_NONE;
    for (uint32_t y = 0; y < h; y += perStrip) {
      const auto bytes = static_cast<tmsize_t>(std::min(perStrip, h - y) * lineBytes);
      auto* rows = const_cast<uint8_t*>(img.row(static_cast<int32_t>(y)));
      const tmsize_t done = raw ? TIFFWriteRawStrip(tif, y / perStrip, rows, bytes)
                                : TIFFWriteEncodedStrip(tif, y / perStrip, rows, bytes);
      if (done < 0) return kPixoWriteFailed;
    }
    return TIFFWriteDirectory(tif) ? kPixoOk : kPixoWriteFailed;
  }
  std::vector<uint8_t> strip(lineBytes * perStrip);
  // Held index -> sample written. Min-is-white: 0 is white, any other
  // colour (an index beyond the palette reads black) is 1.
  std::array<uint8_t, 256> sampleOf;
  for (size_t i = 0; i < sampleOf.size(); ++i) {
    const bool white = i < img.palette().size() && img.palette()[i] == kWhite;
    sampleOf[i] = bitonal ? (white ? 0 : 1) : static_cast<uint8_t>(i);
  }
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* line = strip.data() + (y % perStrip) * lineBytes;
    const uint8_t* s = img.row(static_cast<int32_t>(y));
    if (cmyk) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* rgb = s + 3 * x;
        // The black is what the lightest colour lacks; the inks make up the rest.
        const auto k = static_cast<uint8_t>(255 - std::max({rgb[0], rgb[1], rgb[2]}));
        uint8_t* d = line + 4 * x;
        for (int i = 0; i < 3; ++i) d[i] = InkFor(rgb[i], k);
        d[3] = k;
      }
    } else if (img.indexed()) {
      Pack(s, w, bits, sampleOf.data(), line, lineBytes);
    } else {
      std::memcpy(line, s, static_cast<size_t>(w) * 3);
    }
    if (y % perStrip == perStrip - 1 || y == h - 1) {
      const auto bytes = static_cast<tmsize_t>((y % perStrip + 1) * lineBytes);
      if (TIFFWriteEncodedStrip(tif, y / perStrip, strip.data(), bytes) < 0) return kPixoWriteFailed;
    }
  }
  if (!TIFFWriteDirectory(tif)) return kPixoWriteFailed;
  return kPixoOk;
}

// Page `page` (with `clamp`, held inside 1 .. the page count) in one open
// of the file; grey and palette pages asked for in true colour become it as
// they are decoded, with no page of indices in between.
int16_t ReadPageOf(const ImageSource& src, int32_t page, bool clamp, int32_t bits, Image& out) {
  MemoryFile memory{src.bytes()};
  Tif t(src.path(), src.inMemory() ? "r" : "rm", src.inMemory() ? &memory : nullptr);
  if (!t.tif) return kPixoDamagedFile;
  if (clamp) page = std::clamp<int32_t>(page, 1, std::max<int32_t>(TIFFNumberOfDirectories(t.tif), 1));
  if (!SelectPage(t.tif, page)) return kPixoDamagedFile;
  Image img;
  int16_t rc = ReadPage(t.tif, src.inMemory() ? -1 : TIFFFileno(t.tif), bits == 24, img);
  if (rc != kPixoOk) return rc;
  if (t.damaged) return kPixoDamagedFile;
  if (bits != 0 && bits != img.bits()) rc = ChangeDepth(img, bits, 0, 0, {});
  if (rc == kPixoOk) out = std::move(img);
  return rc;
}

class Tiff final : public ImageCodec {
 public:
  bool Sniff(std::span<const uint8_t> h) const override {
    if (h.size() < 4) return false;
    return (h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
           (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43));
  }

  bool Writes(int32_t format) const override {
    switch (format) {
      case kFormatTiff: case kFormatTiffDeflate: case kFormatTiffLzw: case kFormatTiffCcittRle:
      case kFormatTiffG3: case kFormatTiffG3_2D: case kFormatTiffG4: case kFormatTiffLzwCmyk:
      case kFormatTiffPackBits: case kFormatTiffJbig: return true;
      default: return false;
    }
  }

  bool Holds(int32_t format, int32_t bits, bool /*grey*/) const override {
    if (OneBitOnly(format)) return bits == 1;
    if (format == kFormatTiffLzwCmyk) return bits == 24;
    return true;
  }

  int16_t ReadInfo(const ImageSource& src, int32_t page, FileInfo& info) const override {
    return InfoOf(src, page, false, info);
  }

  int16_t ReadNearestInfo(const ImageSource& src, int32_t page, FileInfo& info) const override {
    return InfoOf(src, page, true, info);
  }

  int16_t Read(const ImageSource& src, int32_t page, Image& out) const override {
    return ReadPageOf(src, page, false, 0, out);
  }

  int16_t ReadAs(const ImageSource& src, int32_t page, int32_t bits, Image& out) const override {
    return ReadPageOf(src, page, true, bits, out);
  }

  int16_t Write(ImageSink& sink, const Image& img, const SaveRequest& req) const override {
    if (!TIFFIsCODECConfigured(CompressionOf(req.format))) return kPixoUnsupportedCode;
    if (sink.bytes && req.append) return kPixoWriteFailed;
    MemoryFile memory;
    memory.out = sink.bytes;
    memory.sink = &sink;
    memory.base = sink.bytes ? sink.bytes->size() : 0;
    Tif t(sink.path, req.append ? "a" : "w", sink.bytes ? &memory : nullptr);
    if (!t.tif) return kPixoWriteFailed;
    int16_t rc = WritePage(t.tif, img, req);
    const bool flushed = rc == kPixoOk && TIFFFlush(t.tif) != 0;
    t.Close();  // before the bytes are cut back: closing may still write
    if (rc == kPixoOk && (!flushed || t.damaged)) rc = kPixoWriteFailed;
    if (rc != kPixoOk && sink.bytes) sink.bytes->resize(memory.base);
    return rc;
  }

 private:
  // One open of the file for the page count and the page described.
  static int16_t InfoOf(const ImageSource& src, int32_t page, bool clamp, FileInfo& info) {
    MemoryFile memory{src.bytes()};
    Tif t(src.path(), src.inMemory() ? "r" : "rm", src.inMemory() ? &memory : nullptr);
    if (!t.tif) return kPixoDamagedFile;
    info.pageCount = TIFFNumberOfDirectories(t.tif);
    if (clamp) page = std::clamp<int32_t>(page, 1, std::max(info.pageCount, 1));
    if (!SelectPage(t.tif, page)) return kPixoDamagedFile;
    const Layout l = LayoutOf(t.tif);
    if (!PlausiblePixel(l)) return kPixoDamagedFile;
    info.width = static_cast<int32_t>(l.width);
    info.height = static_cast<int32_t>(l.height);
    info.bits = l.bits * l.samples;
    info.page = page;
    info.xdpi = ResolutionOf(t.tif, TIFFTAG_XRESOLUTION);
    info.ydpi = ResolutionOf(t.tif, TIFFTAG_YRESOLUTION);
    return ValidImageSize(info.width, info.height) && !t.damaged ? kPixoOk : kPixoDamagedFile;
  }
};

}  // namespace

namespace {

// The page of `in` into `path` (see CopyTiffPage).
int16_t CopyPage(Tif& in, const std::string& path, bool append) {
  if (!in.tif) return kPixoWriteFailed;
  Tif out(path, append ? "a" : "w");
  if (!out.tif) return kPixoWriteFailed;
  // The tags WritePage sets, as it set them.
  uint32_t w = 0, h = 0, perStrip = 0;
  uint16_t bits = 0, samples = 0, photometric = 0, planar = 0, orientation = 0, compression = 0, unit = 0;
  float xres = 0, yres = 0;
  uint32_t subfile = 0;
  if (!TIFFGetField(in.tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(in.tif, TIFFTAG_IMAGELENGTH, &h) ||
      !TIFFGetField(in.tif, TIFFTAG_ROWSPERSTRIP, &perStrip)) {
    return kPixoWriteFailed;
  }
  TIFFGetFieldDefaulted(in.tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(in.tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(in.tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(in.tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(in.tif, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(in.tif, TIFFTAG_COMPRESSION, &compression);
  TIFFSetField(out.tif, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(out.tif, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(out.tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(out.tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(out.tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(out.tif, TIFFTAG_PLANARCONFIG, planar);
  TIFFSetField(out.tif, TIFFTAG_ORIENTATION, orientation);
  if (uint16_t inkset = 0; TIFFGetField(in.tif, TIFFTAG_INKSET, &inkset)) TIFFSetField(out.tif, TIFFTAG_INKSET, inkset);
  if (!TIFFSetField(out.tif, TIFFTAG_COMPRESSION, compression)) return kPixoUnsupportedCode;
  if (uint32_t g3 = 0; TIFFGetField(in.tif, TIFFTAG_GROUP3OPTIONS, &g3)) TIFFSetField(out.tif, TIFFTAG_GROUP3OPTIONS, g3);
  if (TIFFGetField(in.tif, TIFFTAG_RESOLUTIONUNIT, &unit)) TIFFSetField(out.tif, TIFFTAG_RESOLUTIONUNIT, unit);
  if (TIFFGetField(in.tif, TIFFTAG_XRESOLUTION, &xres)) TIFFSetField(out.tif, TIFFTAG_XRESOLUTION, xres);
  if (TIFFGetField(in.tif, TIFFTAG_YRESOLUTION, &yres)) TIFFSetField(out.tif, TIFFTAG_YRESOLUTION, yres);
  if (TIFFGetField(in.tif, TIFFTAG_SUBFILETYPE, &subfile)) TIFFSetField(out.tif, TIFFTAG_SUBFILETYPE, subfile);
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (TIFFGetField(in.tif, TIFFTAG_COLORMAP, &red, &green, &blue)) {
    TIFFSetField(out.tif, TIFFTAG_COLORMAP, red, green, blue);
  }
  TIFFSetField(out.tif, TIFFTAG_ROWSPERSTRIP, perStrip);
  std::vector<uint8_t> strip;
  const tstrip_t strips = TIFFNumberOfStrips(in.tif);
  const uint64_t* counts = nullptr;
  if (!TIFFGetField(in.tif, TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts) return kPixoWriteFailed;
  for (tstrip_t i = 0; i < strips; ++i) {
    strip.resize(static_cast<size_t>(counts[i]));
    const tmsize_t n = TIFFReadRawStrip(in.tif, i, strip.data(), static_cast<tmsize_t>(strip.size()));
    if (n != static_cast<tmsize_t>(strip.size())) return kPixoWriteFailed;
    if (TIFFWriteRawStrip(out.tif, i, strip.data(), n) < 0) return kPixoWriteFailed;
  }
  if (!TIFFWriteDirectory(out.tif)) return kPixoWriteFailed;
  const bool flushed = TIFFFlush(out.tif) != 0;
  out.Close();
  return flushed && !out.damaged && !in.damaged ? kPixoOk : kPixoWriteFailed;
}

}  // namespace

int16_t CopyTiffPage(std::span<const uint8_t> onePage, const std::string& path, bool append) {
  MemoryFile memory{onePage};
  Tif in("memory", "r", &memory);
  return CopyPage(in, path, append);
}

int16_t CopyTiffPage(int fd, const std::string& path, bool append) {
  WindowFile window(fd);
  Tif in(window);
  return CopyPage(in, path, append);
}

const ImageCodec& TiffCodec() {
  static const Tiff codec;
  return codec;
}

}  // namespace imaging
