#include "docviewer/redoc.h"

#include "docviewer/reolecb.h"
#include "docviewer/tracing.h"

using namespace win;

CRichEditDoc::CRichEditDoc() : m_hwndRE(nullptr), m_pCallback(nullptr), m_pRichEditOle(nullptr) {
  TRACE_SCOPE("CRichEditDoc::CRichEditDoc");
}

CRichEditDoc::~CRichEditDoc() {
  TRACE_SCOPE("CRichEditDoc::~CRichEditDoc");
  if (m_pRichEditOle) {
    LONG count = m_pRichEditOle->GetObjectCount();
    for (LONG i = 0; i < count; ++i) {
      REOBJECT reo;
      if (m_pRichEditOle->GetObject(i, &reo, REO_GETOBJ_POLEOBJ) != ole::S_OK || !reo.poleobj) continue;
      if (reo.dwFlags & REO_INPLACEACTIVE) m_pRichEditOle->InPlaceDeactivate();
      if (reo.dwFlags & REO_OPEN) reo.poleobj->Close(ole::OLECLOSE_NOSAVE);
      reo.poleobj->Release();
    }
    m_pRichEditOle->Release();
  }
  if (m_pCallback) m_pCallback->Release();
}

bool CRichEditDoc::Initialize(HWND control, IRichEditOleCallback* callback) {
  TRACE_SCOPE("CRichEditDoc::Initialize");
  m_hwndRE = control;
  m_pCallback = callback ? callback : new CBasicReOleCallback;
  m_pCallback->AddRef();
  SendMessageW(m_hwndRE, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(m_pCallback));
  SendMessageW(m_hwndRE, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&m_pRichEditOle));
  if (m_pRichEditOle) m_pRichEditOle->SetHostNames("ORN", "Untitled");
  SendMessageW(m_hwndRE, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  SubclassWithProp(m_hwndRE, RichEditSubclassProc);
  return true;
}

bool SubclassWithProp(HWND hwnd, WNDPROC proc) {
  WNDPROC old = LongToProc(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  if (!old || !SetPropW(hwnd, kOldProcProp, ProcToHandle(old))) return false;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, ProcToLong(proc));
  return true;
}

LRESULT RichEditSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC old = HandleToProc(GetPropW(hwnd, kOldProcProp));
  if (msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK && (GetWindowLongPtrW(hwnd, GWL_STYLE) & ES_READONLY))
    return 0;
  if (msg == WM_DESTROY) {
    RemovePropW(hwnd, kOldProcProp);
    if (old) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, ProcToLong(old));
  }
  // Without the property the control still gets default handling rather
  // than a call through a null procedure.
  return old ? CallWindowProcW(old, hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}
