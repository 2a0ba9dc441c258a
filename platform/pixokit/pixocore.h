#pragma once
// The toolkit's bitmap library: the bitmap structure and the calls on it.
// Each call answers 1 for success or a negative toolkit result. The
// platform's library is imported by ordinal; here every call is an exported
// C function and its ordinal is given beside it.

#include <cstddef>
#include <cstdint>

extern "C" {

inline constexpr uint32_t BITMAP_ALLOCATED = 0x0001;  // flags bit 0: the image exists

// The 156-byte bitmap structure. Only Flags, Width, Height and BytesPerLine
// are read by callers; the rest belongs to the library. The pixel block is
// held as two 32-bit halves so the structure keeps its size and 4-byte
// alignment with 64-bit pointers.
struct PXBITMAP {
  uint32_t Flags;
  int32_t Width;
  int32_t Height;
  int32_t BitsPerPixel;  // 8 (grey levels) or 24 (R, G, B bytes)
  int32_t BytesPerLine;
  int32_t XResolution;
  int32_t YResolution;
  uint32_t DataLow, DataHigh;
  int32_t AccessCount;  // open row accesses (ordinals 100 / 141)
  int32_t StateArgs[9]; // the last arguments of ordinal 116
  uint8_t Reserved[156 - 19 * 4];
};
static_assert(sizeof(PXBITMAP) == 156);

// 100: opens the bitmap's rows for access.
int32_t PXC_AccessBitmap(PXBITMAP* bitmap);
// 141: ends an access opened by 100.
int32_t PXC_ReleaseBitmap(PXBITMAP* bitmap);
// 114: takes `src`'s image over into `dst` (whose image must already be
// freed); `src` is left without image. `size` is sizeof(PXBITMAP).
int32_t PXC_CopyBitmapHandle(PXBITMAP* dst, PXBITMAP* src, uint32_t size);
// 116: records a state change of the bitmap (nine arguments, kept in
// StateArgs).
int32_t PXC_ChangeBitmapState(PXBITMAP* bitmap, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
                              int32_t a6, int32_t a7, int32_t a8, int32_t a9);
// 125: frees the image (the structure stays, without image).
int32_t PXC_FreeBitmap(PXBITMAP* bitmap);
// 129: copies up to `bytes` bytes of row `row` into `buffer`; answers the
// number of bytes copied (0 for a row outside the image or no image).
int32_t PXC_GetBitmapRow(PXBITMAP* bitmap, uint8_t* buffer, int32_t row, int32_t bytes);

// Calls of the library that the controls do not import, for the other side
// (the file library, tests):
// an empty structure (no image).
int32_t PXC_InitBitmap(PXBITMAP* bitmap, uint32_t size);
// a new black image of `bits` 8 or 24; -11 for a bad size, -27 for bad bits.
int32_t PXC_CreateBitmap(PXBITMAP* bitmap, int32_t width, int32_t height, int32_t bits);
// copies `bytes` bytes into row `row`; the count copied.
int32_t PXC_PutBitmapRow(PXBITMAP* bitmap, const uint8_t* buffer, int32_t row, int32_t bytes);
// the image's bytes (null without image).
uint8_t* PXC_BitmapData(const PXBITMAP* bitmap);
// an image of `bits` 8 or 24 on `data` (width x bits / 8 bytes a row, from
// malloc), which the bitmap owns from now on; -11 for a bad size, -27 for
// bad bits (then `data` stays the caller's).
int32_t PXC_AdoptBitmapData(PXBITMAP* bitmap, int32_t width, int32_t height, int32_t bits, uint8_t* data);
// the image's bytes (BytesPerLine x Height, from malloc) handed to the
// caller, who frees them; the bitmap is left without image. Null without
// image.
uint8_t* PXC_DetachBitmapData(PXBITMAP* bitmap);
}
