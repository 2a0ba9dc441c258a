#include "docviewer/reolecb.h"

#include "docviewer/framework/xtrace.h"
#include "docviewer/tracing.h"

using namespace ole;

CBasicReOleCallback::CBasicReOleCallback() : m_cRef(0) { TRACE_SCOPE("CBasicReOleCallback::CBasicReOleCallback"); }

CBasicReOleCallback::~CBasicReOleCallback() {
  TRACE_SCOPE("CBasicReOleCallback::~CBasicReOleCallback");
  if (m_cRef != 0) XTraceLine(Xt::Err, "m_cRef <> 0", "CBasicReOleCallback::~CBasicReOleCallback", XTRACE_AT);
}

HRESULT CBasicReOleCallback::QueryInterface(REFIID riid, void** out) {
  TRACE_SCOPE("CBasicReOleCallback::QueryInterface");
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == win::IID_IRichEditOleCallback) {
    *out = static_cast<win::IRichEditOleCallback*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CBasicReOleCallback::AddRef() {
  TRACE_SCOPE("CBasicReOleCallback::AddRef");
  return static_cast<ULONG>(++m_cRef);
}

ULONG CBasicReOleCallback::Release() {
  TRACE_SCOPE("CBasicReOleCallback::Release");
  int32_t count = --m_cRef;
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT CBasicReOleCallback::GetNewStorage(IStorage** storage) {
  TRACE_SCOPE("CBasicReOleCallback::GetNewStorage");
  if (!storage) return E_INVALIDARG;
  *storage = nullptr;
  ILockBytes* bytes = nullptr;
  HRESULT hr = CreateILockBytesOnHGlobal(nullptr, 1, &bytes);
  if (Failed(hr)) return hr;
  hr = StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage);
  bytes->Release();  // the storage holds its own reference
  return hr;
}

HRESULT CBasicReOleCallback::GetInPlaceContext(IOleInPlaceFrame**, IOleInPlaceUIWindow**, OLEINPLACEFRAMEINFO*) {
  TRACE_SCOPE("CBasicReOleCallback::GetInPlaceContext");
  return E_FAIL;
}

HRESULT CBasicReOleCallback::ShowContainerUI(BOOL) {
  TRACE_SCOPE("CBasicReOleCallback::ShowContainerUI");
  return E_FAIL;
}

HRESULT CBasicReOleCallback::QueryInsertObject(CLSID*, IStorage*, win::LONG) {
  TRACE_SCOPE("CBasicReOleCallback::QueryInsertObject");
  return S_OK;
}

HRESULT CBasicReOleCallback::DeleteObject(IOleObject*) {
  TRACE_SCOPE("CBasicReOleCallback::DeleteObject");
  return E_FAIL;
}

HRESULT CBasicReOleCallback::QueryAcceptData(IDataObject*, CLIPFORMAT*, win::DWORD, BOOL, HGLOBAL) {
  TRACE_SCOPE("CBasicReOleCallback::QueryAcceptData");
  return E_FAIL;
}

HRESULT CBasicReOleCallback::ContextSensitiveHelp(BOOL) {
  TRACE_SCOPE("CBasicReOleCallback::ContextSensitiveHelp");
  return E_NOTIMPL;
}

HRESULT CBasicReOleCallback::GetClipboardData(win::CHARRANGE*, win::DWORD, IDataObject** data) {
  TRACE_SCOPE("CBasicReOleCallback::GetClipboardData");
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT CBasicReOleCallback::GetDragDropEffect(BOOL, win::DWORD, win::DWORD*) {
  TRACE_SCOPE("CBasicReOleCallback::GetDragDropEffect");
  return E_NOTIMPL;
}

HRESULT CBasicReOleCallback::GetContextMenu(win::WORD, IOleObject*, win::CHARRANGE*, win::HMENU*) {
  TRACE_SCOPE("CBasicReOleCallback::GetContextMenu");
  return E_NOTIMPL;
}
