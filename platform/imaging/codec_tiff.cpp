// TIFF through libtiff: every compression of the save format codes, pages
// read one at a time and appended one at a time.
//
// Black-and-white images are written min-is-white (the usual form for fax
// compressions), grey images min-is-black, other palette images with a
// colour map, true colour as RGB or, for the CMYK code, as separated CMYK
// in the standard reading: each colour is (255 - ink) x (255 - black) / 255,
// as libtiff's RGBA reader and every other reader take it. Every page is
// marked as a page of a multi-page document, the first one too.

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

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

// An open file with what libtiff reported on it. libtiff passes over tag
// data it cannot read ("IO error during reading of ...; tag ignored") with
// a warning only, and goes on with a changed page (a palette page without
// its colour map reads as grey): such a file is damaged, as is one that
// caused any error.
class Tif {
 public:
  Tif(const std::string& path, const char* mode) {
    static QuietLibtiff quiet;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
    tif = TIFFOpenExt(path.c_str(), mode, options);
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
  static int OnError(TIFF*, void* self, const char*, const char*, va_list) {
    static_cast<Tif*>(self)->damaged = true;
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

// Unpacks one row of `bits`-bit samples (MSB first) into one byte each.
void Unpack(const uint8_t* in, uint32_t width, int bits, uint8_t* out) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t bit = x * bits;
    out[x] = static_cast<uint8_t>((in[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1));
  }
}

void Pack(const uint8_t* in, uint32_t width, int bits, uint8_t* out, size_t outBytes) {
  std::memset(out, 0, outBytes);
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t bit = x * bits;
    out[bit / 8] |= static_cast<uint8_t>(in[x] << (8 - bits - bit % 8));
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

// Any layout libtiff can decode, as true colour.
int16_t ReadAsRgba(TIFF* tif, const Layout& l, Image& out) {
  std::vector<uint32_t> raster(static_cast<size_t>(l.width) * l.height);
  if (!TIFFReadRGBAImageOriented(tif, l.width, l.height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
    return kPixoDamagedFile;
  }
  out.Create(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), 24);
  for (uint32_t y = 0; y < l.height; ++y) {
    uint8_t* d = out.row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < l.width; ++x) {
      const uint32_t p = raster[static_cast<size_t>(y) * l.width + x];
      d[3 * x] = static_cast<uint8_t>(TIFFGetR(p));
      d[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(p));
      d[3 * x + 2] = static_cast<uint8_t>(TIFFGetB(p));
    }
  }
  return kPixoOk;
}

// Grey and palette pages of 1, 2, 4 or 8 bits, keeping their indices.
int16_t ReadIndexed(TIFF* tif, const Layout& l, Image& out) {
  const bool palette = l.photometric == PHOTOMETRIC_PALETTE;
  const int heldBits = l.bits == 2 ? 4 : l.bits;
  out.Create(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), heldBits);
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
  if (palette) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) return kPixoDamagedFile;
    // Some writers store 8-bit values in the 16-bit colour map.
    bool eightBit = true;
    for (int i = 0; i < n; ++i) eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
    const int shift = eightBit ? 0 : 8;
    std::vector<Colour> pal(n);
    for (int i = 0; i < n; ++i) pal[i] = MakeColour(r[i] >> shift, g[i] >> shift, b[i] >> shift);
    out.SetPalette(std::move(pal));
  }
  StripReader rows(tif, l.height);
  if (rows.lineBytes() < (static_cast<size_t>(l.width) * l.bits + 7) / 8) return kPixoDamagedFile;
  std::vector<uint8_t> samples(l.width);
  for (uint32_t y = 0; y < l.height; ++y) {
    const uint8_t* line = rows.Row(y);
    if (!line) return kPixoDamagedFile;
    Unpack(line, l.width, l.bits, samples.data());
    uint8_t* d = out.row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < l.width; ++x) d[x] = map[samples[x]];
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

// 8-bit RGB or CMYK, contiguous samples.
int16_t ReadColour(TIFF* tif, const Layout& l, Image& out) {
  out.Create(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), 24);
  StripReader rows(tif, l.height);
  if (rows.lineBytes() < static_cast<size_t>(l.width) * l.samples) return kPixoDamagedFile;
  const bool cmyk = l.photometric == PHOTOMETRIC_SEPARATED;
  for (uint32_t y = 0; y < l.height; ++y) {
    const uint8_t* line = rows.Row(y);
    if (!line) return kPixoDamagedFile;
    uint8_t* d = out.row(static_cast<int32_t>(y));
    for (uint32_t x = 0; x < l.width; ++x) {
      const uint8_t* s = &line[static_cast<size_t>(x) * l.samples];
      for (int i = 0; i < 3; ++i) d[3 * x + i] = cmyk ? CmykColour(s[i], s[3]) : s[i];
    }
  }
  return kPixoOk;
}

int16_t ReadPage(TIFF* tif, Image& out) {
  const Layout l = LayoutOf(tif);
  if (!ValidImageSize(l.width, l.height) || !PlausiblePixel(l)) return kPixoDamagedFile;
  const bool simple = !TIFFIsTiled(tif) && l.planar == PLANARCONFIG_CONTIG;
  int16_t rc;
  if (simple && l.samples == 1 && (l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8) &&
      (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE ||
       l.photometric == PHOTOMETRIC_PALETTE)) {
    rc = ReadIndexed(tif, l, out);
  } else if (simple && l.bits == 8 &&
             ((l.photometric == PHOTOMETRIC_RGB && l.samples >= 3) ||
              (l.photometric == PHOTOMETRIC_SEPARATED && l.inkset == INKSET_CMYK && l.samples == 4))) {
    rc = ReadColour(tif, l, out);
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
  std::vector<uint8_t> strip(lineBytes * perStrip);
  std::vector<uint8_t> samplesOfRow(w);
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
      for (uint32_t x = 0; x < w; ++x) {
        // Min-is-white: 0 is white.
        samplesOfRow[x] = bitonal ? (img.At(static_cast<int32_t>(x), static_cast<int32_t>(y)) == kWhite ? 0 : 1) : s[x];
      }
      Pack(samplesOfRow.data(), w, bits, line, lineBytes);
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

  int16_t ReadInfo(const std::string& path, int32_t page, FileInfo& info) const override {
    Tif t(path, "r");
    if (!t.tif) return kPixoDamagedFile;
    info.pageCount = TIFFNumberOfDirectories(t.tif);
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

  int16_t Read(const std::string& path, int32_t page, Image& out) const override {
    Tif t(path, "r");
    if (!t.tif || !SelectPage(t.tif, page)) return kPixoDamagedFile;
    Image img;
    const int16_t rc = ReadPage(t.tif, img);
    if (rc != kPixoOk) return rc;
    if (t.damaged) return kPixoDamagedFile;
    out = std::move(img);
    return kPixoOk;
  }

  int16_t Write(const std::string& path, const Image& img, const SaveRequest& req) const override {
    if (!TIFFIsCODECConfigured(CompressionOf(req.format))) return kPixoUnsupportedCode;
    Tif t(path, req.append ? "a" : "w");
    if (!t.tif) return kPixoWriteFailed;
    const int16_t rc = WritePage(t.tif, img, req);
    if (rc != kPixoOk) return rc;
    const bool flushed = TIFFFlush(t.tif) != 0;
    t.Close();
    return flushed && !t.damaged ? kPixoOk : kPixoWriteFailed;
  }
};

}  // namespace

const ImageCodec& TiffCodec() {
  static const Tiff codec;
  return codec;
}

}  // namespace imaging
