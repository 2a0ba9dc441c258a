#include "platform/pixokit/pixocore.h"

#include <cstdlib>
#include <cstring>

namespace {

uint8_t* Data(const PXBITMAP* b) {
  uintptr_t p = static_cast<uintptr_t>(b->DataLow) | (static_cast<uintptr_t>(b->DataHigh) << 16 << 16);
  return reinterpret_cast<uint8_t*>(p);
}

void SetData(PXBITMAP* b, uint8_t* data) {
  auto p = reinterpret_cast<uintptr_t>(data);
  b->DataLow = static_cast<uint32_t>(p);
  b->DataHigh = static_cast<uint32_t>(p >> 16 >> 16);
}

constexpr int32_t kOk = 1;
constexpr int32_t kBadBitmap = -2;

bool Allocated(const PXBITMAP* b) { return b && (b->Flags & BITMAP_ALLOCATED) && Data(b); }

// 1 when the library holds an image of this size and bits, else its result.
int32_t CheckShape(int32_t width, int32_t height, int32_t bits) {
  if (bits != 8 && bits != 24) return -27;
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 ||
      static_cast<int64_t>(width) * height > (int64_t{1} << 27))
    return -11;
  return kOk;
}

}  // namespace

extern "C" {

int32_t PXC_InitBitmap(PXBITMAP* bitmap, uint32_t size) {
  if (!bitmap || size != sizeof(PXBITMAP)) return -13;
  std::memset(bitmap, 0, sizeof *bitmap);
  return kOk;
}

int32_t PXC_CreateBitmap(PXBITMAP* bitmap, int32_t width, int32_t height, int32_t bits) {
  if (!bitmap) return -13;
  const int32_t shape = CheckShape(width, height, bits);
  if (shape != kOk) return shape;
  const size_t bytes = static_cast<size_t>(width) * (bits / 8) * static_cast<size_t>(height);
  auto* data = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (!data) return -1;
  return PXC_AdoptBitmapData(bitmap, width, height, bits, data);
}

int32_t PXC_AdoptBitmapData(PXBITMAP* bitmap, int32_t width, int32_t height, int32_t bits, uint8_t* data) {
  if (!bitmap || !data) return -13;
  const int32_t shape = CheckShape(width, height, bits);
  if (shape != kOk) return shape;
  const int32_t stride = width * (bits / 8);
  PXC_InitBitmap(bitmap, sizeof *bitmap);
  bitmap->Flags = BITMAP_ALLOCATED;
  bitmap->Width = width;
  bitmap->Height = height;
  bitmap->BitsPerPixel = bits;
  bitmap->BytesPerLine = stride;
  bitmap->XResolution = bitmap->YResolution = 96;
  SetData(bitmap, data);
  return kOk;
}

uint8_t* PXC_DetachBitmapData(PXBITMAP* bitmap) {
  if (!Allocated(bitmap)) return nullptr;
  uint8_t* data = Data(bitmap);
  SetData(bitmap, nullptr);
  bitmap->Flags &= ~BITMAP_ALLOCATED;
  bitmap->Width = bitmap->Height = bitmap->BytesPerLine = 0;
  return data;
}

int32_t PXC_FreeBitmap(PXBITMAP* bitmap) {
  if (!bitmap) return kBadBitmap;
  std::free(Data(bitmap));
  SetData(bitmap, nullptr);
  bitmap->Flags &= ~BITMAP_ALLOCATED;
  bitmap->Width = bitmap->Height = bitmap->BytesPerLine = 0;
  return kOk;
}

int32_t PXC_AccessBitmap(PXBITMAP* bitmap) {
  if (!Allocated(bitmap)) return kBadBitmap;
  ++bitmap->AccessCount;
  return kOk;
}

int32_t PXC_ReleaseBitmap(PXBITMAP* bitmap) {
  if (!Allocated(bitmap) || bitmap->AccessCount <= 0) return kBadBitmap;
  --bitmap->AccessCount;
  return kOk;
}

int32_t PXC_CopyBitmapHandle(PXBITMAP* dst, PXBITMAP* src, uint32_t size) {
  if (!dst || size != sizeof(PXBITMAP) || !Allocated(src)) return kBadBitmap;
  std::memcpy(dst, src, sizeof *dst);
  SetData(src, nullptr);
  src->Flags &= ~BITMAP_ALLOCATED;
  return kOk;
}

int32_t PXC_ChangeBitmapState(PXBITMAP* bitmap, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                              int32_t a6, int32_t a7, int32_t a8, int32_t a9) {
  if (!Allocated(bitmap)) return kBadBitmap;
  int32_t args[9] = {a1, a2, a3, a4, a5, a6, a7, a8, a9};
  std::memcpy(bitmap->StateArgs, args, sizeof args);
  return kOk;
}

int32_t PXC_GetBitmapRow(PXBITMAP* bitmap, uint8_t* buffer, int32_t row, int32_t bytes) {
  if (!Allocated(bitmap) || !buffer || row < 0 || row >= bitmap->Height || bytes < 0) return 0;
  int32_t n = bytes < bitmap->BytesPerLine ? bytes : bitmap->BytesPerLine;
  std::memcpy(buffer, Data(bitmap) + static_cast<size_t>(row) * bitmap->BytesPerLine, n);
  return n;
}

int32_t PXC_PutBitmapRow(PXBITMAP* bitmap, const uint8_t* buffer, int32_t row, int32_t bytes) {
  if (!Allocated(bitmap) || !buffer || row < 0 || row >= bitmap->Height || bytes < 0) return 0;
  int32_t n = bytes < bitmap->BytesPerLine ? bytes : bitmap->BytesPerLine;
  std::memcpy(Data(bitmap) + static_cast<size_t>(row) * bitmap->BytesPerLine, buffer, n);
  return n;
}

uint8_t* PXC_BitmapData(const PXBITMAP* bitmap) { return Allocated(bitmap) ? Data(bitmap) : nullptr; }
}
