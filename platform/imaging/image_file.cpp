#include "platform/imaging/image_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/imaging/edits.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/files.h"

namespace imaging {
namespace {

const ImageCodec* const kCodecs[] = {&TiffCodec(), &JpegCodec(), &PngCodec(), &BmpCodec()};

// A copy of `img` with `bits` bits per pixel as the format wants it.
Image ForSave(const Image& img, int32_t format, int32_t bits) {
  Image out = img;
  const bool jpeg = format == kFormatJpeg || format == kFormatJpeg422 || format == kFormatJpeg444;
  if (bits == 1 && !(img.bits() == 1 && img.IsBitonal())) {
    ConvertToGrey(out, 1);
  } else if (jpeg && bits == 8 && !(img.bits() == 8 && img.IsGrey())) {
    ConvertToGrey(out, 8);
  } else if (bits != img.bits()) {
    ChangeDepth(out, bits, 0, 0, {});
  }
  return out;
}

int16_t CodecFor(const ImageSource& src, const ImageCodec*& codec) {
  std::array<uint8_t, 16> head{};
  size_t got = 0;
  if (src.inMemory()) {
    got = std::min(head.size(), src.bytes().size());
    std::copy_n(src.bytes().begin(), got, head.begin());
  } else {
    // A pipe or a device named as an image would block or never end.
    const int fd = rt::OpenRegularFile(src.path());
    if (fd < 0) return kPixoFileNotFound;
    const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
    ::close(fd);
    got = n > 0 ? static_cast<size_t>(n) : 0;
  }
  for (const ImageCodec* c : kCodecs) {
    if (c->Sniff(std::span<const uint8_t>(head.data(), got))) {
      codec = c;
      return kPixoOk;
    }
  }
  return kPixoUnknownFormat;
}

int16_t ReadInfoFrom(const ImageSource& src, int32_t page, FileInfo& info) {
  info = FileInfo();
  const ImageCodec* codec = nullptr;
  const int16_t rc = CodecFor(src, codec);
  return rc == kPixoOk ? codec->ReadNearestInfo(src, page, info) : rc;
}

int16_t ReadFrom(const ImageSource& src, int32_t page, int32_t bits, Image& out) {
  const ImageCodec* codec = nullptr;
  const int16_t rc = CodecFor(src, codec);
  return rc == kPixoOk ? codec->ReadAs(src, page, bits, out) : rc;
}

int16_t WriteTo(ImageSink& sink, const Image& img, int32_t format, int32_t bits, int32_t quality, bool append) {
  if (img.empty()) return kPixoNoImage;
  if (bits == 0) bits = img.bits();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return kPixoUnsupportedBits;
  for (const ImageCodec* codec : kCodecs) {
    if (!codec->Writes(format)) continue;
    const Image out = ForSave(img, format, bits);
    if (!codec->Holds(format, out.bits(), out.IsGrey())) return kPixoUnsupportedBits;
    SaveRequest req;
    req.format = format;
    req.quality = quality;
    req.append = append;
    return codec->Write(sink, out, req);
  }
  return kPixoUnsupportedCode;
}

}  // namespace

// Page count first, then the page asked for, held inside 1..count.
int16_t ImageCodec::ReadNearestInfo(const ImageSource& src, int32_t page, FileInfo& info) const {
  int16_t rc = ReadInfo(src, 1, info);
  if (rc != kPixoOk) return rc;
  const int32_t clamped = std::clamp(page, 1, std::max(info.pageCount, 1));
  if (clamped != 1) rc = ReadInfo(src, clamped, info);
  info.page = clamped;
  return rc;
}

// The page count comes from page 1; the page read is checked by its read.
int16_t ImageCodec::ReadAs(const ImageSource& src, int32_t page, int32_t bits, Image& out) const {
  FileInfo info;
  int16_t rc = ReadInfo(src, 1, info);
  if (rc != kPixoOk) return rc;
  Image img;
  rc = Read(src, std::clamp(page, 1, std::max(info.pageCount, 1)), img);
  if (rc == kPixoOk && bits != 0 && bits != img.bits()) rc = ChangeDepth(img, bits, 0, 0, {});
  if (rc == kPixoOk) out = std::move(img);
  return rc;
}

double DpiFromPerMetre(double perMetre) { return std::round(perMetre * 0.0254 * 100) / 100; }

int16_t ReadImageInfo(const std::string& path, int32_t page, FileInfo& info) {
  const int16_t rc = ReadInfoFrom(ImageSource::File(path), page, info);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  info.sizeOnDisk = ec ? 0 : static_cast<int64_t>(size);
  return rc;
}

int16_t ReadImageFile(const std::string& path, int32_t page, Image& out) {
  return ReadFrom(ImageSource::File(path), page, 0, out);
}

int16_t ReadImageFile(const std::string& path, int32_t page, int32_t bits, Image& out) {
  return ReadFrom(ImageSource::File(path), page, bits, out);
}

int16_t WriteImageFile(const std::string& path, const Image& img, int32_t format, int32_t bits,
                       int32_t quality, bool append) {
  ImageSink sink{path};
  return WriteTo(sink, img, format, bits, quality, append);
}

int16_t ReadImageInfoMemory(std::span<const uint8_t> bytes, int32_t page, FileInfo& info) {
  const int16_t rc = ReadInfoFrom(ImageSource::Memory(bytes), page, info);
  info.sizeOnDisk = static_cast<int64_t>(bytes.size());
  return rc;
}

int16_t ReadImageMemory(std::span<const uint8_t> bytes, int32_t page, Image& out) {
  return ReadFrom(ImageSource::Memory(bytes), page, 0, out);
}

int16_t WriteImageMemory(std::vector<uint8_t>& out, const Image& img, int32_t format, int32_t bits,
                         int32_t quality) {
  ImageSink sink{{}, &out};
  return WriteTo(sink, img, format, bits, quality, false);
}

bool IsTiffFormat(int32_t format) { return TiffCodec().Writes(format); }

EncodedPage::EncodedPage(EncodedPage&& o) noexcept
    : rc(o.rc), bytes(std::move(o.bytes)), fd(std::exchange(o.fd, -1)) {}
EncodedPage& EncodedPage::operator=(EncodedPage&& o) noexcept {
  if (this != &o) {
    if (fd >= 0) ::close(fd);
    rc = o.rc;
    bytes = std::move(o.bytes);
    fd = std::exchange(o.fd, -1);
  }
  return *this;
}
EncodedPage::~EncodedPage() {
  if (fd >= 0) ::close(fd);
}

EncodedPage EncodeTiffPage(const Image& img, int32_t format, int32_t bits, int32_t quality,
                           const std::string& folder) {
  EncodedPage page;
  if (!IsTiffFormat(format)) {
    page.rc = kPixoUnsupportedCode;
    return page;
  }
  // An unnamed file goes with the process, so an ended commit leaves none.
  const int fd = folder.empty() ? -1 : ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    page.fd = fd;
    if (WriteImageFile("/proc/self/fd/" + std::to_string(fd), img, format, bits, quality, false) == kPixoOk) {
      page.rc = kPixoOk;
      return page;
    }
    ::close(std::exchange(page.fd, -1));  // a full folder: the page is held in memory as before
  }
  page.rc = WriteImageMemory(page.bytes, img, format, bits, quality);
  return page;
}

int16_t WriteEncodedTiffPage(const std::string& path, const EncodedPage& page, bool append) {
  if (page.rc != kPixoOk) return page.rc;
  return page.fd < 0 ? CopyTiffPage(page.bytes, path, append) : CopyTiffPage(page.fd, path, append);
}

}  // namespace imaging
