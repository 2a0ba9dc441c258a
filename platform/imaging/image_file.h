#pragma once
// Image files: one codec per file format (TIFF, JPEG, PNG, BMP) behind one
// interface, and the functions the control uses to read and write files.
//
// Files are recognised by their first bytes, not their names. Pages count
// from 1. Every failure is a PixoResult; no codec throws, and a damaged or
// truncated file gives kPixoDamagedFile.

#include <cstdint>
#include <span>
#include <string>

#include "platform/imaging/image.h"

namespace imaging {

struct FileInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 0;       // bits per pixel as stored (1, 4, 8, 24, ...)
  int32_t page = 0;       // the page described
  int32_t pageCount = 0;
  double xdpi = 0;
  double ydpi = 0;
  int64_t sizeOnDisk = 0;  // bytes of the whole file
};

// How a codec writes: the format code (PixoFormat) selects compression and
// variant; `img` already has the bits and palette the file gets.
struct SaveRequest {
  int32_t format = 0;
  int32_t quality = 0;  // JPEG 1..100; 0 = 75
  bool append = false;  // add a page to an existing multi-page file
};

class ImageCodec {
 public:
  virtual ~ImageCodec() = default;
  // True when a file starting with these bytes is this codec's.
  virtual bool Sniff(std::span<const uint8_t> head) const = 0;
  // True when this codec writes format code `format`.
  virtual bool Writes(int32_t format) const = 0;
  // True when the format code can hold an image of `bits` (and grey-ness).
  virtual bool Holds(int32_t format, int32_t bits, bool grey) const = 0;
  // Size, bits, resolution and page count for page `page` (in range).
  virtual int16_t ReadInfo(const std::string& path, int32_t page, FileInfo& info) const = 0;
  virtual int16_t Read(const std::string& path, int32_t page, Image& out) const = 0;
  virtual int16_t Write(const std::string& path, const Image& img, const SaveRequest& req) const = 0;
};

const ImageCodec& TiffCodec();
const ImageCodec& JpegCodec();
const ImageCodec& PngCodec();
const ImageCodec& BmpCodec();

// Information on page `page` of a file; a page below 1 reads as 1, one above
// the count as the last page, and `info.page` tells which was described.
int16_t ReadImageInfo(const std::string& path, int32_t page, FileInfo& info);
// Reads page `page` (clamped the same way) as stored.
int16_t ReadImageFile(const std::string& path, int32_t page, Image& out);
// Writes `img` with format code `format` at `bits` bits per pixel (0: as
// held), converting a copy first: fewer bits take the nearest colours (grey
// images stay grey; 1 bit is black below grey level 128, else white), JPEG's
// 8 bits are grey. kPixoUnsupportedCode for a code with no codec here,
// kPixoUnsupportedBits when the code cannot hold the bits.
int16_t WriteImageFile(const std::string& path, const Image& img, int32_t format, int32_t bits,
                       int32_t quality, bool append);

// Resolution read from a file as pixels per metre, in dpi rounded to 0.01.
double DpiFromPerMetre(double perMetre);

}  // namespace imaging
