// JPEG through libjpeg: colour (three chroma samplings by format code) and
// grey, the resolution in the JFIF header; files on disk or bytes in memory.
//
// libjpeg reports fatal errors by calling error_exit, which must not return;
// it jumps back to the setjmp of the function that owns the codec objects.
// Every C++ object of those functions exists before the setjmp, so the jump
// skips no destructor. A file the decoder has to warn about (a premature
// end, a corrupt segment) counts as damaged; a valid kind the library does
// not decode (12-bit samples, lossless) is unsupported (kPixoUnknownFormat).
//
// A photo's EXIF orientation is applied as it is read: the image and the
// file information are the upright picture.

#include <cstdio>
// clang-format off
#include <csetjmp>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "platform/imaging/edits.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/stdio_file.h"
#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

struct ErrorManager {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool unsupported = false;
};

// The library's errors that name a valid kind of file it does not decode.
constexpr int kUnsupportedKinds[] = {JERR_BAD_PRECISION, JERR_ARITH_NOTIMPL, JERR_NOT_COMPILED,
                                     JERR_SOF_UNSUPPORTED, JERR_CONVERSION_NOTIMPL};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->unsupported = std::find(std::begin(kUnsupportedKinds), std::end(kUnsupportedKinds),
                               err->mgr.msg_code) != std::end(kUnsupportedKinds);
  std::longjmp(err->jump, 1);
}

// The EXIF orientation (1 to 8) of an APP1 marker, 1 when it has none.
int ExifOrientation(const jpeg_saved_marker_ptr markers) {
  for (jpeg_saved_marker_ptr m = markers; m; m = m->next) {
    const JOCTET* p = m->data;
    const size_t n = m->data_length;
    if (m->marker != JPEG_APP0 + 1 || n < 14 || std::memcmp(p, "Exif\0\0", 6) != 0) continue;
    const JOCTET* t = p + 6;
    const size_t size = n - 6;
    const bool le = t[0] == 'I' && t[1] == 'I';
    if (!le && !(t[0] == 'M' && t[1] == 'M')) continue;
    const auto u16 = [&](size_t at) { return le ? t[at] | t[at + 1] << 8 : t[at] << 8 | t[at + 1]; };
    const auto u32 = [&](size_t at) {
      return le ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16 : uint32_t(u16(at)) << 16 | uint32_t(u16(at + 2));
    };
    const uint32_t ifd = u32(4);
    if (ifd > size - 2 || size < 8) continue;
    const unsigned count = u16(ifd);
    for (unsigned i = 0; i < count && ifd + 2 + 12 * (i + 1) <= size; ++i) {
      const size_t e = ifd + 2 + 12 * i;
      if (u16(e) == 0x0112 && u16(e + 2) == 3) {
        const int v = u16(e + 8);
        return v >= 1 && v <= 8 ? v : 1;
      }
    }
  }
  return 1;
}

// Turns a decoded picture stored with EXIF orientation `o` upright.
void MakeUpright(Image& img, int o) {
  if (o == 2 || o == 4) (o == 2 ? Mirror(img) : Flip(img));
  if (o == 3) Rotate(img, 18000, kBlack);
  if (o >= 5) Rotate(img, o == 5 || o == 6 ? 9000 : 27000, kBlack);
  if (o == 5 || o == 7) Mirror(img);
}

// Counts warnings (level -1) as the library's own handler would, silently.
void CountWarnings(j_common_ptr cinfo, int level) {
  if (level < 0) ++cinfo->err->num_warnings;
}

double DpiOf(const jpeg_decompress_struct& d, bool x) {
  const double v = x ? d.X_density : d.Y_density;
  if (v <= 0) return kDefaultDpi;
  if (d.density_unit == 1) return v;
  if (d.density_unit == 2) return std::round(v * 2.54 * 100) / 100;
  return kDefaultDpi;
}

// A compressed image written into a byte vector, in blocks as libjpeg asks.
struct VectorDestination {
  jpeg_destination_mgr mgr;
  std::vector<uint8_t>* out;
  const ImageSink* sink;

  static constexpr size_t kBlock = 65536;
  static VectorDestination* Of(j_compress_ptr c) { return reinterpret_cast<VectorDestination*>(c->dest); }
  // Opens a block at the vector's end for the encoder to fill. A C
  // callback: running out of memory becomes the library's error exit,
  // taken after the handler has left its C++ frame.
  static void Init(j_compress_ptr c) {
    if (Grow(*Of(c))) return;
    c->err->msg_code = JERR_OUT_OF_MEMORY;
    c->err->error_exit(reinterpret_cast<j_common_ptr>(c));
  }
  static bool Grow(VectorDestination& d) noexcept {
    try {
      const size_t start = d.out->size();
      d.sink->CheckRoom(start + kBlock);
      d.out->resize(start + kBlock);
      d.mgr.next_output_byte = d.out->data() + start;
      d.mgr.free_in_buffer = kBlock;
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  // The block is full: keep it and open the next.
  static boolean Empty(j_compress_ptr c) {
    Init(c);
    return TRUE;
  }
  // Only the part of the last block written stays.
  static void Term(j_compress_ptr c) {
    VectorDestination& d = *Of(c);
    d.out->resize(d.out->size() - d.mgr.free_in_buffer);
  }
};

// Reads the header (and with `out` the whole image) of a JPEG file.
int16_t Decode(const ImageSource& src, FileInfo* info, Image* out) {
  StdioFile file{src.inMemory() ? nullptr : std::fopen(src.path().c_str(), "rb")};
  if (!src.inMemory() && !file.f) return kPixoFileNotFound;
  jpeg_decompress_struct d{};
  ErrorManager err{};
  std::vector<uint8_t> line;
  Image img;
  d.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnError;
  err.mgr.emit_message = CountWarnings;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    return err.unsupported ? kPixoUnknownFormat : kPixoDamagedFile;
  }
  jpeg_create_decompress(&d);
  if (file.f) {
    jpeg_stdio_src(&d, file.f);
  } else {
    jpeg_mem_src(&d, src.bytes().data(), static_cast<unsigned long>(src.bytes().size()));
  }
  jpeg_save_markers(&d, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&d, TRUE);
  const int orientation = ExifOrientation(d.marker_list);
  const bool sideways = orientation >= 5;
  const bool grey = d.num_components == 1;
  const bool cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
  if (info) {
    info->width = static_cast<int32_t>(sideways ? d.image_height : d.image_width);
    info->height = static_cast<int32_t>(sideways ? d.image_width : d.image_height);
    info->bits = 8 * d.num_components;
    info->pageCount = 1;
    info->xdpi = DpiOf(d, !sideways);
    info->ydpi = DpiOf(d, sideways);
  }
  if (!ValidImageSize(d.image_width, d.image_height)) {
    jpeg_destroy_decompress(&d);
    return kPixoDamagedFile;
  }
  if (out) {
    d.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&d);
    img.CreateForWriting(static_cast<int32_t>(d.output_width), static_cast<int32_t>(d.output_height), grey ? 8 : 24);
    line.resize(static_cast<size_t>(d.output_width) * d.output_components);
    while (d.output_scanline < d.output_height) {
      const auto y = static_cast<int32_t>(d.output_scanline);
      JSAMPROW rows[1] = {grey || cmyk ? line.data() : img.row(y)};
      jpeg_read_scanlines(&d, rows, 1);
      if (grey) std::copy(line.begin(), line.end(), img.row(y));
      if (cmyk) {
        // Adobe writes CMYK inverted: each byte is 255 minus the ink.
        uint8_t* p = img.row(y);
        for (JDIMENSION x = 0; x < d.output_width; ++x) {
          const uint8_t* s = &line[4 * static_cast<size_t>(x)];
          for (int i = 0; i < 3; ++i) p[3 * x + i] = static_cast<uint8_t>(s[i] * s[3] / 255);
        }
      }
    }
    jpeg_finish_decompress(&d);
    img.SetResolution(DpiOf(d, true), DpiOf(d, false));
  }
  const bool warned = err.mgr.num_warnings > 0;
  jpeg_destroy_decompress(&d);
  if (warned) return kPixoDamagedFile;
  if (out && orientation != 1) MakeUpright(img, orientation);
  if (out) *out = std::move(img);
  return kPixoOk;
}

class Jpeg final : public ImageCodec {
 public:
  bool Sniff(std::span<const uint8_t> h) const override {
    return h.size() >= 3 && h[0] == 0xFF && h[1] == 0xD8 && h[2] == 0xFF;
  }

  bool Writes(int32_t format) const override {
    return format == kFormatJpeg || format == kFormatJpeg422 || format == kFormatJpeg444;
  }

  bool Holds(int32_t, int32_t bits, bool grey) const override {
    return bits == 24 || (bits == 8 && grey);
  }

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

  int16_t Write(ImageSink& sink, const Image& img, const SaveRequest& req) const override {
    StdioFile file{sink.bytes ? nullptr : std::fopen(sink.path.c_str(), "wb")};
    if (!sink.bytes && !file.f) return kPixoWriteFailed;
    // Volatile: read again after the error jump, so it must not live in a register.
    const volatile size_t before = sink.bytes ? sink.bytes->size() : 0;
    VectorDestination vector{{}, sink.bytes, &sink};
    jpeg_compress_struct c{};
    ErrorManager err{};
    std::vector<uint8_t> line(static_cast<size_t>(img.width()));
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnError;
    err.mgr.emit_message = CountWarnings;
    if (setjmp(err.jump)) {
      jpeg_destroy_compress(&c);
      if (sink.bytes) sink.bytes->resize(before);
      return kPixoWriteFailed;
    }
    jpeg_create_compress(&c);
    if (file.f) {
      jpeg_stdio_dest(&c, file.f);
    } else {
      vector.mgr.init_destination = VectorDestination::Init;
      vector.mgr.empty_output_buffer = VectorDestination::Empty;
      vector.mgr.term_destination = VectorDestination::Term;
      c.dest = &vector.mgr;
    }
    const bool grey = img.bits() == 8;
    c.image_width = static_cast<JDIMENSION>(img.width());
    c.image_height = static_cast<JDIMENSION>(img.height());
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, req.quality <= 0 ? 75 : std::min(req.quality, 100), TRUE);
    if (!grey) {
      const int h = req.format == kFormatJpeg444 ? 1 : 2;
      const int v = req.format == kFormatJpeg ? 2 : 1;
      c.comp_info[0].h_samp_factor = h;
      c.comp_info[0].v_samp_factor = v;
    }
    c.write_JFIF_header = TRUE;
    c.density_unit = 1;
    c.X_density = static_cast<UINT16>(std::clamp<long>(std::lround(img.xdpi()), 1, 65535));
    c.Y_density = static_cast<UINT16>(std::clamp<long>(std::lround(img.ydpi()), 1, 65535));
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      const auto y = static_cast<int32_t>(c.next_scanline);
      JSAMPROW rows[1] = {const_cast<uint8_t*>(img.row(y))};
      if (grey) {
        // Grey images hold ramp indices, which are their levels.
        std::copy(img.row(y), img.row(y) + img.width(), line.begin());
        rows[0] = line.data();
      }
      jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return sink.bytes || file.Finish() ? kPixoOk : kPixoWriteFailed;
  }
};

}  // namespace

const ImageCodec& JpegCodec() {
  static const Jpeg codec;
  return codec;
}

}  // namespace imaging
