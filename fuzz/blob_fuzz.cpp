// The image record of a BLOB column as the binding control loads it: the
// record split into image and annotations, the image decoded, the
// annotations loaded, saved again and loaded back, nothing left alive.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/activex/globalmem.h"
#include "platform/pixokit/pixoann.h"
#include "platform/pixokit/pixocore.h"
#include "platform/pixokit/pixoio.h"
#include "toolkitctl/dbbind/blob_record.h"

namespace {

constexpr int32_t kOk = 1;

void LoadAnnotations(const uint8_t* data, size_t size) {
  HANNOBJECT objects = nullptr;
  if (PX_AnnLoadMemory(data, static_cast<uint32_t>(size), &objects) != kOk) return;
  ax::HGLOBAL saved = nullptr;
  uint32_t length = 0;
  if (PX_AnnSaveMemory(objects, &saved, &length) != kOk) std::abort();
  {
    // What was loaded saves into a block that loads again.
    const auto* bytes = static_cast<const uint8_t*>(ax::GlobalLock(saved));
    HANNOBJECT again = nullptr;
    if (PX_AnnLoadMemory(bytes, length, &again) != kOk) std::abort();
    PX_AnnDestroy(again, 0);
    ax::GlobalUnlock(saved);
  }
  ax::GlobalFree(saved);
  PX_AnnDestroy(objects, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dbbind::BlobParts parts;
  if (!dbbind::SplitImageFieldBlob(data, size, &parts)) return 0;
  if (parts.image < data || parts.image + parts.imageLength > data + size) std::abort();
  PXBITMAP bitmap;
  PXC_InitBitmap(&bitmap, sizeof bitmap);
  if (PXIO_LoadBitmapMemory(parts.image, static_cast<uint32_t>(parts.imageLength), &bitmap, sizeof bitmap, 0,
                            nullptr, nullptr) == kOk) {
    PXC_FreeBitmap(&bitmap);
  }
  if (parts.annotations) {
    if (parts.annotations < data || parts.annotations + parts.annLength > data + size) std::abort();
    LoadAnnotations(parts.annotations, parts.annLength);
  }
  if (PX_AnnObjectsAlive() != 0) std::abort();
  return 0;
}
