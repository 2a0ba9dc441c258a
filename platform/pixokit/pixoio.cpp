#include "platform/pixokit/pixoio.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

namespace {

constexpr int32_t kOk = 1;
constexpr int32_t kNoMemory = -1;
constexpr int32_t kBadBitmap = -2;
constexpr int32_t kWriteError = -5;
constexpr int32_t kReadError = -7;
constexpr int32_t kBadFormat = -9;
constexpr int32_t kBadBits = -27;
constexpr int32_t kBandRows = 16;

// The codecs read and write files; the memory calls go through a temporary
// file that lives only for the call.
class TempFile {
 public:
  TempFile() {
    const char* dir = getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/pixoio-XXXXXX";
    int fd = mkstemp(path_.data());
    if (fd < 0) {
      path_.clear();
    } else {
      close(fd);
    }
  }
  ~TempFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool WriteAll(const std::string& path, const uint8_t* data, size_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

bool ReadAll(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

extern "C" {

int32_t PXIO_SaveBitmapMemory(PXBITMAP* bitmap, ax::HGLOBAL* out, int32_t format, int32_t bits, int32_t quality,
                              PXSAVECALLBACK callback, void* userData, uint32_t* length) {
  if (!out || !length) return -13;
  *out = nullptr;
  *length = 0;
  if (!bitmap || !(bitmap->Flags & BITMAP_ALLOCATED) || !callback) return kBadBitmap;
  imaging::Image img;
  if (!img.Create(bitmap->Width, bitmap->Height, bitmap->BitsPerPixel)) return kBadBits;
  std::vector<uint8_t> band(static_cast<size_t>(bitmap->BytesPerLine) * kBandRows);
  for (int32_t first = 0; first < bitmap->Height; first += kBandRows) {
    int32_t count = std::min(kBandRows, bitmap->Height - first);
    int32_t r = callback(bitmap, band.data(), first, count, userData);
    if (r != kOk) return r;
    for (int32_t i = 0; i < count; ++i)
      std::memcpy(img.row(first + i), band.data() + static_cast<size_t>(i) * bitmap->BytesPerLine,
                  static_cast<size_t>(img.stride()));
  }
  TempFile tmp;
  if (tmp.path().empty()) return kWriteError;
  // 255 is the toolkit's "default quality".
  int32_t q = quality >= 1 && quality <= 100 ? quality : 0;
  if (imaging::WriteImageFile(tmp.path(), img, format, bits, q, false) != imaging::kPixoOk) return kWriteError;
  std::vector<uint8_t> bytes;
  if (!ReadAll(tmp.path(), &bytes) || bytes.size() > UINT32_MAX) return kWriteError;
  ax::HGLOBAL mem = ax::GlobalAlloc(ax::GMEM_MOVEABLE, bytes.size());
  if (!mem) return kNoMemory;
  std::memcpy(ax::GlobalLock(mem), bytes.data(), bytes.size());
  ax::GlobalUnlock(mem);
  *out = mem;
  *length = static_cast<uint32_t>(bytes.size());
  return kOk;
}

int32_t PXIO_LoadBitmapMemory(const uint8_t* data, uint32_t length, PXBITMAP* bitmap, uint32_t size, int32_t bits,
                              PXLOADCALLBACK callback, void* userData) {
  if (!bitmap || size != sizeof(PXBITMAP) || (!data && length)) return -13;
  if (bits != 0 && bits != 8 && bits != 24) return kBadBits;
  TempFile tmp;
  if (tmp.path().empty() || !WriteAll(tmp.path(), data, length)) return kReadError;
  imaging::FileInfo fi;
  imaging::Image img;
  if (imaging::ReadImageInfo(tmp.path(), 1, fi) != imaging::kPixoOk ||
      imaging::ReadImageFile(tmp.path(), 1, img) != imaging::kPixoOk || img.empty())
    return kBadFormat;
  int32_t want = bits ? bits : (img.indexed() && img.IsGrey() ? 8 : 24);
  PXBITMAP loaded;
  int32_t r = PXC_CreateBitmap(&loaded, img.width(), img.height(), want);
  if (r != kOk) return r;
  std::vector<uint8_t> line(static_cast<size_t>(loaded.BytesPerLine));
  for (int32_t y = 0; y < img.height(); ++y) {
    for (int32_t x = 0; x < img.width(); ++x) {
      imaging::Colour c = img.At(x, y);
      if (want == 8) {
        line[static_cast<size_t>(x)] = imaging::GreyOf(c);
      } else {
        line[static_cast<size_t>(x) * 3] = imaging::RedOf(c);
        line[static_cast<size_t>(x) * 3 + 1] = imaging::GreenOf(c);
        line[static_cast<size_t>(x) * 3 + 2] = imaging::BlueOf(c);
      }
    }
    PXC_PutBitmapRow(&loaded, line.data(), y, loaded.BytesPerLine);
  }
  loaded.XResolution = static_cast<int32_t>(fi.xdpi + 0.5);
  loaded.YResolution = static_cast<int32_t>(fi.ydpi + 0.5);
  PXFILEINFO info{fi.width, fi.height, fi.bits, 0, length};
  if (callback) {
    for (int32_t first = 0; first < loaded.Height; first += kBandRows) {
      int32_t count = std::min(kBandRows, loaded.Height - first);
      uint8_t* band = PXC_BitmapData(&loaded) + static_cast<size_t>(first) * loaded.BytesPerLine;
      r = callback(&info, &loaded, band, count * loaded.BytesPerLine, first, count, userData);
      if (r != kOk) {
        PXC_FreeBitmap(&loaded);
        return r;
      }
    }
  }
  std::memcpy(bitmap, &loaded, sizeof loaded);
  return kOk;
}
}
