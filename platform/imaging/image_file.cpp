#include "platform/imaging/image_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/imaging/edits.h"
#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

const ImageCodec* const kCodecs[] = {&TiffCodec(), &JpegCodec(), &PngCodec(), &BmpCodec()};

int16_t CodecForFile(const std::string& path, const ImageCodec*& codec) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return kPixoFileNotFound;
  std::array<uint8_t, 16> head{};
  in.read(reinterpret_cast<char*>(head.data()), head.size());
  const auto got = static_cast<size_t>(in.gcount());
  for (const ImageCodec* c : kCodecs) {
    if (c->Sniff(std::span<const uint8_t>(head.data(), got))) {
      codec = c;
      return kPixoOk;
    }
  }
  return kPixoUnknownFormat;
}

// Page count first, then the page asked for, held inside 1..count.
int16_t ClampedInfo(const ImageCodec& codec, const std::string& path, int32_t page, FileInfo& info) {
  int16_t rc = codec.ReadInfo(path, 1, info);
  if (rc != kPixoOk) return rc;
  const int32_t clamped = std::clamp(page, 1, std::max(info.pageCount, 1));
  if (clamped != 1) rc = codec.ReadInfo(path, clamped, info);
  info.page = clamped;
  return rc;
}

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

}  // namespace

double DpiFromPerMetre(double perMetre) { return std::round(perMetre * 0.0254 * 100) / 100; }

int16_t ReadImageInfo(const std::string& path, int32_t page, FileInfo& info) {
  info = FileInfo();
  const ImageCodec* codec = nullptr;
  int16_t rc = CodecForFile(path, codec);
  if (rc != kPixoOk) return rc;
  rc = ClampedInfo(*codec, path, page, info);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  info.sizeOnDisk = ec ? 0 : static_cast<int64_t>(size);
  return rc;
}

int16_t ReadImageFile(const std::string& path, int32_t page, Image& out) {
  const ImageCodec* codec = nullptr;
  int16_t rc = CodecForFile(path, codec);
  if (rc != kPixoOk) return rc;
  FileInfo info;
  rc = ClampedInfo(*codec, path, page, info);
  if (rc != kPixoOk) return rc;
  Image img;
  rc = codec->Read(path, info.page, img);
  if (rc == kPixoOk) out = std::move(img);
  return rc;
}

int16_t WriteImageFile(const std::string& path, const Image& img, int32_t format, int32_t bits,
                       int32_t quality, bool append) {
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
    return codec->Write(path, out, req);
  }
  return kPixoUnsupportedCode;
}

}  // namespace imaging
