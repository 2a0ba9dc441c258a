#pragma once
// Image files: one codec per file format (TIFF, JPEG, PNG, BMP) behind one
// interface, and the functions the control uses to read and write files.
// The same codecs read and write a file's bytes held in memory (what the
// binding control keeps in a BLOB column), with no file in between.
//
// Files are recognised by their first bytes, not their names. Pages count
// from 1. Every failure is a PixoResult; no codec throws, and a damaged or
// truncated file gives kPixoDamagedFile.

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

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

// What a codec reads: a file by its path, or a file's bytes in memory (the
// caller keeps them alive for the call).
class ImageSource {
 public:
  static ImageSource File(const std::string& path) { return ImageSource(path, {}, false); }
  static ImageSource Memory(std::span<const uint8_t> bytes) { return ImageSource({}, bytes, true); }
  bool inMemory() const { return memory_; }
  const std::string& path() const { return path_; }
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  ImageSource(std::string path, std::span<const uint8_t> bytes, bool memory)
      : path_(std::move(path)), bytes_(bytes), memory_(memory) {}
  std::string path_;
  std::span<const uint8_t> bytes_;
  bool memory_;
};

// Where a codec writes: a file by its path, or the end of a byte vector
// (`bytes` not null; appending a page needs a file).
//
// The vector grows inside the C libraries' write callbacks, where an
// exception must not pass: each callback catches std::bad_alloc and fails
// through its library's own error path, and the write gives
// kPixoWriteFailed with the vector as it was.
struct ImageSink {
  std::string path;
  std::vector<uint8_t>* bytes = nullptr;
  // Most bytes `bytes` may hold; growing past it throws std::bad_alloc as
  // running out of memory does (a seam for tests).
  size_t limit = SIZE_MAX;

  // Throws std::bad_alloc when `bytes` may not hold `size` bytes.
  void CheckRoom(size_t size) const {
    if (size > limit) throw std::bad_alloc();
  }
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
  int16_t ReadInfo(const std::string& path, int32_t page, FileInfo& info) const {
    return ReadInfo(ImageSource::File(path), page, info);
  }
  int16_t Read(const std::string& path, int32_t page, Image& out) const {
    return Read(ImageSource::File(path), page, out);
  }
  int16_t Write(const std::string& path, const Image& img, const SaveRequest& req) const {
    ImageSink sink{path};
    return Write(sink, img, req);
  }
  // The same on a file or on bytes in memory. A failed Read leaves `out` as
  // it was.
  virtual int16_t ReadInfo(const ImageSource& src, int32_t page, FileInfo& info) const = 0;
  virtual int16_t Read(const ImageSource& src, int32_t page, Image& out) const = 0;
  virtual int16_t Write(ImageSink& sink, const Image& img, const SaveRequest& req) const = 0;
  // ReadInfo of page `page` held inside 1 .. the page count; info.page
  // tells which page was described.
  virtual int16_t ReadNearestInfo(const ImageSource& src, int32_t page, FileInfo& info) const;
  // Read of page `page` held inside 1 .. the page count, brought to `bits`
  // bits per pixel (0: as stored) as ChangeDepth(bits, 0, 0) would; a codec
  // may convert while it decodes.
  virtual int16_t ReadAs(const ImageSource& src, int32_t page, int32_t bits, Image& out) const;
};

const ImageCodec& TiffCodec();
// Writes the page of the one-page TIFF `onePage` (as the TIFF codec writes
// one) into `path`, after its pages with `append`: the same tags and the
// strips as they were encoded, not encoded again.
int16_t CopyTiffPage(std::span<const uint8_t> onePage, const std::string& path, bool append);
// The same from the one-page TIFF in the open file `fd` (the caller's, left
// open), read in pieces of 1 MiB: the page is never held whole.
int16_t CopyTiffPage(int fd, const std::string& path, bool append);
const ImageCodec& JpegCodec();
const ImageCodec& PngCodec();
const ImageCodec& BmpCodec();

// Information on page `page` of a file; a page below 1 reads as 1, one above
// the count as the last page, and `info.page` tells which was described.
int16_t ReadImageInfo(const std::string& path, int32_t page, FileInfo& info);
// Reads page `page` (clamped the same way) as stored.
int16_t ReadImageFile(const std::string& path, int32_t page, Image& out);
// The same brought to `bits` bits per pixel (0: as stored).
int16_t ReadImageFile(const std::string& path, int32_t page, int32_t bits, Image& out);
// Writes `img` with format code `format` at `bits` bits per pixel (0: as
// held), converting a copy first: fewer bits take the nearest colours (grey
// images stay grey; 1 bit is black below grey level 128, else white), JPEG's
// 8 bits are grey. kPixoUnsupportedCode for a code with no codec here,
// kPixoUnsupportedBits when the code cannot hold the bits.
int16_t WriteImageFile(const std::string& path, const Image& img, int32_t format, int32_t bits,
                       int32_t quality, bool append);

// The same three on a file's bytes in memory; the written file's bytes are
// appended to `out`. sizeOnDisk is the number of bytes.
int16_t ReadImageInfoMemory(std::span<const uint8_t> bytes, int32_t page, FileInfo& info);
int16_t ReadImageMemory(std::span<const uint8_t> bytes, int32_t page, Image& out);
int16_t WriteImageMemory(std::vector<uint8_t>& out, const Image& img, int32_t format, int32_t bits,
                         int32_t quality);

// A TIFF page encoded apart from its file, so that the pages of one file can
// be encoded at once on several threads and written into it in page order:
// EncodeTiffPage converts and encodes `img` as WriteImageFile would (any
// thread; it touches no named file), and WriteEncodedTiffPage writes the page
// into `path` (after the pages there with `append`), the same bytes as
// WriteImageFile(path, img, format, bits, quality, append) writes.
struct EncodedPage {
  EncodedPage() = default;
  EncodedPage(EncodedPage&& o) noexcept;
  EncodedPage& operator=(EncodedPage&& o) noexcept;
  ~EncodedPage();
  int16_t rc = 0;              // the encoding's result; a failed page writes nothing
  std::vector<uint8_t> bytes;  // the page as a one-page TIFF, when held in memory
  int fd = -1;                 // else an unnamed file holding it (closed with the page)
};
bool IsTiffFormat(int32_t format);
// `folder` (may be "") is where the page is kept in an unnamed file while
// it waits for its turn, so that waiting pages do not hold memory; where no
// such file can be made or written, the page is held in memory.
EncodedPage EncodeTiffPage(const Image& img, int32_t format, int32_t bits, int32_t quality,
                           const std::string& folder = {});
int16_t WriteEncodedTiffPage(const std::string& path, const EncodedPage& page, bool append);

// Resolution read from a file as pixels per metre, in dpi rounded to 0.01.
double DpiFromPerMetre(double perMetre);

}  // namespace imaging
