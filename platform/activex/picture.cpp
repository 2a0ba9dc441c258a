#include "platform/activex/picture.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/activex/module.h"

namespace ax {
namespace {

struct Bitmap {
  int32_t width, height;
  std::vector<uint32_t> pixels;
};

std::mutex g_mu;
HBITMAP g_next = 0x1000;
std::map<HBITMAP, Bitmap>& Bitmaps() {
  static std::map<HBITMAP, Bitmap> bitmaps;
  return bitmaps;
}

class Picture final : public IPicture, public RefCounted {
 public:
  Picture(const PICTDESC& desc, bool own) : RefCounted(nullptr), desc_(desc), own_(own) {}
  ~Picture() override {
    if (own_ && desc_.picType == PICTYPE_BITMAP) DeleteBitmap(desc_.handle);
  }
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPicture) {
      *out = static_cast<IPicture*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT get_Handle(uintptr_t* out) override {
    if (!out) return E_POINTER;
    *out = desc_.handle;
    return S_OK;
  }
  HRESULT get_Type(int16_t* out) override {
    if (!out) return E_POINTER;
    *out = desc_.picType;
    return S_OK;
  }
  HRESULT get_hPal(HPALETTE* out) override {
    if (!out) return E_POINTER;
    *out = desc_.hpal;
    return S_OK;
  }

 private:
  PICTDESC desc_;
  bool own_;
};

}  // namespace

HBITMAP CreateBitmap(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
    return 0;
  std::lock_guard lock(g_mu);
  HBITMAP h = g_next;
  g_next += 8;
  Bitmaps()[h] = Bitmap{width, height, pixels};
  return h;
}

HBITMAP CopyBitmap(HBITMAP bitmap) {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> px;
  if (!GetBitmapBits(bitmap, &w, &h, &px)) return 0;
  return CreateBitmap(w, h, px);
}

bool DeleteBitmap(HBITMAP bitmap) {
  std::lock_guard lock(g_mu);
  return Bitmaps().erase(bitmap) != 0;
}

bool IsBitmap(HBITMAP bitmap) {
  std::lock_guard lock(g_mu);
  return Bitmaps().count(bitmap) != 0;
}

bool GetBitmapBits(HBITMAP bitmap, int32_t* width, int32_t* height, std::vector<uint32_t>* pixels) {
  std::lock_guard lock(g_mu);
  auto it = Bitmaps().find(bitmap);
  if (it == Bitmaps().end()) return false;
  *width = it->second.width;
  *height = it->second.height;
  if (pixels) *pixels = it->second.pixels;
  return true;
}

size_t BitmapsAlive() {
  std::lock_guard lock(g_mu);
  return Bitmaps().size();
}

HRESULT OleCreatePictureIndirect(const PICTDESC& desc, const IID& iid, bool own, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* pic = new Picture(desc, own);
  pic->AddRef();
  HRESULT hr = pic->QueryInterface(iid, out);
  pic->Release();
  return hr;
}

}  // namespace ax
