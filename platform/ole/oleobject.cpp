#include "platform/ole/oleobject.h"

#include <algorithm>

#include "platform/ole/live.h"

namespace ole {

namespace {

class EmbeddedObject final : public IOleObject, public detail::Counted<EmbeddedObject> {
 public:
  EmbeddedObject(const CLSID& clsid, IStorage* storage) : clsid_(clsid), storage_(storage) {
    if (storage_) storage_->AddRef();
  }
  ~EmbeddedObject() override {
    if (storage_) storage_->Release();
  }

  HRESULT QueryInterface(REFIID riid, void** out) override {
    return detail::QueryOne<IOleObject>(this, riid, IID_IOleObject, out);
  }
  ULONG AddRef() override { return static_cast<ULONG>(AddRefImpl()); }
  ULONG Release() override { return static_cast<ULONG>(ReleaseImpl()); }

  HRESULT DoVerb(LONG verb) override {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_OPEN:
        activity_.open = true;
        return S_OK;
      case OLEIVERB_INPLACEACTIVATE:
        activity_.inPlace = true;
        return S_OK;
      case OLEIVERB_HIDE:
        activity_.open = false;
        return S_OK;
      default:
        return E_NOTIMPL;
    }
  }
  HRESULT Close(DWORD saveOption) override {
    if (saveOption > OLECLOSE_PROMPTSAVE) return E_INVALIDARG;
    ++activity_.closes;
    activity_.lastCloseOption = saveOption;
    activity_.open = false;
    activity_.inPlace = false;
    return S_OK;
  }
  HRESULT GetUserClassID(CLSID* out) override {
    if (!out) return E_POINTER;
    *out = clsid_;
    return S_OK;
  }

  const ObjectActivity& activity() const { return activity_; }
  void EndInPlace() { activity_.inPlace = false; }

 private:
  CLSID clsid_;
  IStorage* storage_;
  ObjectActivity activity_;
};

class TextData final : public IDataObject, public detail::Counted<TextData> {
 public:
  explicit TextData(std::wstring text) : text_(std::move(text)) {}

  HRESULT QueryInterface(REFIID riid, void** out) override {
    return detail::QueryOne<IDataObject>(this, riid, IID_IDataObject, out);
  }
  ULONG AddRef() override { return static_cast<ULONG>(AddRefImpl()); }
  ULONG Release() override { return static_cast<ULONG>(ReleaseImpl()); }

  HRESULT QueryGetData(FORMATETC* f) override {
    if (!f) return E_INVALIDARG;
    return f->cfFormat == CF_UNICODETEXT && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT GetData(FORMATETC* f, STGMEDIUM* m) override {
    if (!m) return E_INVALIDARG;
    HRESULT hr = QueryGetData(f);
    if (Failed(hr)) return hr;
    size_t bytes = (text_.size() + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    auto* p = static_cast<wchar_t*>(GlobalLock(mem));
    std::copy(text_.begin(), text_.end(), p);
    p[text_.size()] = L'\0';
    GlobalUnlock(mem);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = mem;
    m->pUnkForRelease = nullptr;
    return S_OK;
  }

 private:
  std::wstring text_;
};

}  // namespace

IOleObject* CreateEmbeddedObject(REFCLSID clsid, IStorage* storage) { return new EmbeddedObject(clsid, storage); }

const ObjectActivity* ActivityOf(IOleObject* object) {
  auto* o = dynamic_cast<EmbeddedObject*>(object);
  return o ? &o->activity() : nullptr;
}

bool DeactivateInPlace(IOleObject* object) {
  auto* o = dynamic_cast<EmbeddedObject*>(object);
  if (o) o->EndInPlace();
  return o != nullptr;
}

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (!medium) return;
  if (medium->pUnkForRelease) medium->pUnkForRelease->Release();
  else if (medium->tymed == TYMED_HGLOBAL) GlobalFree(medium->hGlobal);
  *medium = STGMEDIUM{};
}

IDataObject* CreateTextDataObject(std::wstring text) { return new TextData(std::move(text)); }

}  // namespace ole
