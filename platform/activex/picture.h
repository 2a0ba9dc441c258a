#pragma once
// Bitmaps named by handles and picture objects that carry them, as far as
// the toolbar's button pictures need them.
//
// A bitmap is a width x height block of 32-bit colours (&H00BBGGRR).
// Handles are checked: a dead or foreign handle is refused.

#include <cstdint>
#include <vector>

#include "platform/activex/com.h"

namespace ax {

using HBITMAP = uintptr_t;  // 0 = none
using HPALETTE = uintptr_t;

HBITMAP CreateBitmap(int32_t width, int32_t height, const std::vector<uint32_t>& pixels);
// A copy of a live bitmap; 0 for a dead handle.
HBITMAP CopyBitmap(HBITMAP bitmap);
bool DeleteBitmap(HBITMAP bitmap);
bool IsBitmap(HBITMAP bitmap);
// Size and pixels of a live bitmap; false for a dead handle.
bool GetBitmapBits(HBITMAP bitmap, int32_t* width, int32_t* height, std::vector<uint32_t>* pixels);
size_t BitmapsAlive();

enum PictureType : int16_t { PICTYPE_NONE = 0, PICTYPE_BITMAP = 1, PICTYPE_METAFILE = 2, PICTYPE_ICON = 3 };

class IPicture : public IUnknown {
 public:
  virtual HRESULT get_Handle(uintptr_t* out) = 0;
  virtual HRESULT get_Type(int16_t* out) = 0;
  virtual HRESULT get_hPal(HPALETTE* out) = 0;

 protected:
  ~IPicture() = default;
};

struct PICTDESC {
  int16_t picType = PICTYPE_BITMAP;
  uintptr_t handle = 0;
  HPALETTE hpal = 0;
};

// A picture object on `desc`; with `own` it deletes its bitmap when released.
HRESULT OleCreatePictureIndirect(const PICTDESC& desc, const IID& iid, bool own, void** out);

}  // namespace ax
