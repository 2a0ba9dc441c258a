#include "platform/richedit/picture.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/imaging/image.h"

namespace win::rich {

namespace {

constexpr int32_t kMaxTwips = 22 * 1440;
constexpr int32_t kTwipsPerPixel = 15;  // 96 pixels an inch

uint32_t BigEndian32(const std::string& d, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(d[at])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d[at + 2])) << 8 | static_cast<uint8_t>(d[at + 3]);
}

constexpr size_t kKeptPictures = 8;               // pictures a layout keeps ready
constexpr size_t kKeptBytes = size_t{64} << 20;  // of decoded pixels at most

// A surface that only carries a JPEG file for a PDF (its pixels are never
// made) costs nothing to keep.
bool CarriesJpeg(cairo_surface_t* surface) {
  const unsigned char* data = nullptr;
  unsigned long length = 0;
  cairo_surface_get_mime_data(surface, CAIRO_MIME_TYPE_JPEG, &data, &length);
  return data != nullptr;
}

// Gives a surface a copy of `data` as its data of `mime` type, which the
// surface owns and frees; nothing when memory or cairo refuses it.
void AttachMimeData(cairo_surface_t* surface, const char* mime, const std::string& data) {
  auto* copy = static_cast<unsigned char*>(std::malloc(data.size()));
  if (!copy) return;
  std::memcpy(copy, data.data(), data.size());
  if (cairo_surface_set_mime_data(surface, mime, copy, data.size(), std::free, copy) != CAIRO_STATUS_SUCCESS)
    std::free(copy);
}

// What a failed decode must release lives here, in memory the jump leaves
// alone.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  cairo_surface_t* surface = nullptr;
  unsigned char* row = nullptr;
};

void JpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void JpegQuiet(j_common_ptr, int) {}

// Decodes a JPEG file into a surface. Null when it fails.
cairo_surface_t* DecodeJpeg(const std::string& data, bool headerOnly, int32_t* width, int32_t* height) {
  jpeg_decompress_struct info;
  JpegError err;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegQuiet;
  // Nothing with a destructor is created between here and the jumps.
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&info);
    if (err.surface) cairo_surface_destroy(err.surface);
    std::free(err.row);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  *width = static_cast<int32_t>(info.image_width);
  *height = static_cast<int32_t>(info.image_height);
  if (headerOnly || int64_t{info.image_width} * info.image_height > imaging::kMaxPixels) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  err.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(info.output_width),
                                           static_cast<int>(info.output_height));
  err.row = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(info.output_width) * 3));
  if (cairo_surface_status(err.surface) != CAIRO_STATUS_SUCCESS || !err.row) std::longjmp(err.jump, 1);
  unsigned char* pixels = cairo_image_surface_get_data(err.surface);
  int stride = cairo_image_surface_get_stride(err.surface);
  const unsigned char* row = err.row;
  while (info.output_scanline < info.output_height) {
    JSAMPROW r = err.row;
    jpeg_read_scanlines(&info, &r, 1);
    auto* out = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(info.output_scanline - 1) * static_cast<size_t>(stride));
    for (JDIMENSION x = 0; x < info.output_width; ++x)
      out[x] = 0xFF000000u | static_cast<uint32_t>(row[x * 3]) << 16 | static_cast<uint32_t>(row[x * 3 + 1]) << 8 | row[x * 3 + 2];
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::free(err.row);
  cairo_surface_t* surface = err.surface;
  cairo_surface_mark_dirty(surface);
  return surface;
}

struct PngSource {
  const std::string* data;
  size_t pos = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* out, unsigned int length) {
  auto* src = static_cast<PngSource*>(closure);
  if (src->data->size() - src->pos < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, src->data->data() + src->pos, length);
  src->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool ImagePixels(const Picture& p, int32_t* width, int32_t* height) {
  if (p.kind == Picture::Kind::kPng) {
    if (p.data.size() < 24 || p.data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
    uint32_t w = BigEndian32(p.data, 16), h = BigEndian32(p.data, 20);
    if (w == 0 || h == 0 || w > 1000000 || h > 1000000) return false;
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
  }
  if (p.kind == Picture::Kind::kJpeg) {
    *width = *height = 0;
    DecodeJpeg(p.data, true, width, height);
    return *width > 0 && *height > 0;
  }
  return false;
}

void SetPictureSize(Picture* p, const PictureSizeWords& w) {
  int64_t width = w.goalWidth, height = w.goalHeight;
  int32_t pw = 0, ph = 0;
  if ((width <= 0 || height <= 0) && ImagePixels(*p, &pw, &ph)) {
    width = int64_t{pw} * kTwipsPerPixel;
    height = int64_t{ph} * kTwipsPerPixel;
  } else if (width <= 0 || height <= 0) {
    int64_t scale = w.metric ? 1440 : kTwipsPerPixel * 2540;
    width = int64_t{w.picw} * scale / 2540;
    height = int64_t{w.pich} * scale / 2540;
  }
  width = width * w.scaleX / 100;
  height = height * w.scaleY / 100;
  p->width = static_cast<int32_t>(std::clamp<int64_t>(width, 0, kMaxTwips));
  p->height = static_cast<int32_t>(std::clamp<int64_t>(height, 0, kMaxTwips));
}

void PictureCache::Clear() {
  for (Kept& k : kept_)
    if (k.surface) cairo_surface_destroy(k.surface);
  kept_.clear();
}

cairo_surface_t* PictureCache::Surface(const Picture& p, bool vector) {
  // Only a JPEG is drawn differently on a PDF; a PNG's pixels serve both.
  vector = vector && p.kind == Picture::Kind::kJpeg;
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->picture == &p && it->vector == vector) {
      kept_.splice(kept_.begin(), kept_, it);
      return kept_.front().surface;
    }
  }
  cairo_surface_t* image = nullptr;
  int32_t w = 0, h = 0;
  // A header that claims more pixels than the imaging control holds is a
  // damaged or hostile file: it is not decoded.
  bool fits = ImagePixels(p, &w, &h) && int64_t{w} * h <= imaging::kMaxPixels;
  if (fits && p.kind == Picture::Kind::kJpeg && vector) {
    // The PDF takes the file itself; the surface only carries it and its
    // size, its pixels are never read (nor touched, so never really made).
    image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    AttachMimeData(image, CAIRO_MIME_TYPE_JPEG, p.data);  // the PDF embeds the file as it is
  } else if (fits && p.kind == Picture::Kind::kPng) {
    PngSource src{&p.data};
    image = cairo_image_surface_create_from_png_stream(ReadPng, &src);
    ++decoded_;
  } else if (fits && p.kind == Picture::Kind::kJpeg) {
    image = DecodeJpeg(p.data, false, &w, &h);
    ++decoded_;
  }
  if (image && (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(image) <= 0 ||
                cairo_image_surface_get_height(image) <= 0)) {
    cairo_surface_destroy(image);
    image = nullptr;
  }
  if (image) {
    // One picture drawn many times (copies, every page) is one image of the PDF.
    AttachMimeData(image, CAIRO_MIME_TYPE_UNIQUE_ID, "orn-picture-" + std::to_string(reinterpret_cast<uintptr_t>(&p)));
  }
  kept_.push_front({&p, vector, image});
  // The last few, and of them no more pixels than a budget (the one just
  // made always stays).
  auto bytes = [](const Kept& k) {
    bool decoded = k.surface && !CarriesJpeg(k.surface);
    return decoded ? static_cast<size_t>(cairo_image_surface_get_stride(k.surface)) *
                         static_cast<size_t>(cairo_image_surface_get_height(k.surface))
                   : size_t{0};
  };
  size_t total = 0;
  for (const Kept& k : kept_) total += bytes(k);
  while (kept_.size() > 1 && (kept_.size() > kKeptPictures || total > kKeptBytes)) {
    total -= bytes(kept_.back());
    if (kept_.back().surface) cairo_surface_destroy(kept_.back().surface);
    kept_.pop_back();
  }
  return image;
}

void DrawPicture(cairo_t* cr, const Picture& p, double x, double y, double width, double height, PictureCache* cache) {
  if (width <= 0 || height <= 0 || !cache) return;
  cairo_surface_type_t target = cairo_surface_get_type(cairo_get_target(cr));
  bool vector = target == CAIRO_SURFACE_TYPE_PDF || target == CAIRO_SURFACE_TYPE_RECORDING;
  cairo_surface_t* image = cache->Surface(p, vector);
  if (!image) return;
  int iw = cairo_image_surface_get_width(image), ih = cairo_image_surface_get_height(image);
  cairo_save(cr);
  cairo_rectangle(cr, x, y, width, height);
  cairo_clip(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, width / iw, height / ih);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
}

}  // namespace win::rich
