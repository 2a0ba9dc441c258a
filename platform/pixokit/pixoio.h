#pragma once
// The toolkit's file library, as far as the binding control uses it: a
// bitmap saved into a memory block and loaded from bytes in memory, with the
// caller's row callbacks. Calls answer 1 or a negative toolkit result; the
// platform's ordinals are given beside them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/activex/globalmem.h"
#include "platform/pixokit/pixocore.h"

extern "C" {

struct PXFILEINFO {
  int32_t Width;
  int32_t Height;
  int32_t BitsPerPixel;  // as stored in the file
  int32_t Format;        // the format code of the file's kind
  uint32_t SizeDisk;     // bytes of the file
};

// Asked by a save for rows `firstRow` .. `firstRow + rowCount - 1`, one after
// the other in `buffer` (BytesPerLine each). Answers 1 to go on; any other
// answer ends the save with it.
using PXSAVECALLBACK = int32_t (*)(PXBITMAP* bitmap, uint8_t* buffer, int32_t firstRow, int32_t rowCount,
                                   void* userData);
// Told by a load that rows `firstRow` .. `firstRow + rowCount - 1` (in
// `buffer`, `bufferSize` bytes) are in `bitmap`. Answers 1 to go on; any
// other answer ends the load with it.
using PXLOADCALLBACK = int32_t (*)(PXFILEINFO* info, PXBITMAP* bitmap, uint8_t* buffer, int32_t bufferSize,
                                   int32_t firstRow, int32_t rowCount, void* userData);

// 157: encodes `bitmap` with format code `format` (the imaging file codes:
// 3 TIFF, 5 TIFF Deflate, 6 BMP, 10 JPEG, 75 PNG ...), at `bits` bits per
// pixel (0: as held) and `quality` (JPEG; 0 and 255 give the default), rows
// fetched through `callback`. On success *out is a new global block of
// *length bytes, owned by the caller.
int32_t PXIO_SaveBitmapMemory(PXBITMAP* bitmap, ax::HGLOBAL* out, int32_t format, int32_t bits, int32_t quality,
                              PXSAVECALLBACK callback, void* userData, uint32_t* length);
// 119: decodes `length` bytes at `data` into `bitmap` (a structure of
// `size` bytes, given without image) at `bits` bits per pixel (0: 8 for grey
// or palette files, else 24), telling `callback` about each band of rows.
// -9 for bytes that are not a readable image file.
int32_t PXIO_LoadBitmapMemory(const uint8_t* data, uint32_t length, PXBITMAP* bitmap, uint32_t size, int32_t bits,
                              PXLOADCALLBACK callback, void* userData);
}

// PXIO_SaveBitmapMemory's file into `out` instead of a global block: its
// bytes replace out's, whose room is kept, so a caller saving again and
// again can give the same vector each time.
int32_t PXIO_SaveBitmapBytes(PXBITMAP* bitmap, std::vector<uint8_t>& out, int32_t format, int32_t bits,
                             int32_t quality, PXSAVECALLBACK callback, void* userData);
// PXC_FreeBitmap, the image's block kept for the next image of its size
// that a load or save makes: a caller loading one image after another into
// a bitmap reuses one block instead of having the system clear fresh memory
// for each.
int32_t PXIO_FreeBitmap(PXBITMAP* bitmap);
