#pragma once
// CRichEditDoc binds one rich edit control to its OLE side: it gives the
// control an OLE callback, keeps the control's IRichEditOle, names the
// container and subclasses the control so that mouse clicks are swallowed
// while it is read-only. The frame creates one for its control.

#include "platform/richedit/richedit.h"
#include "platform/windows/window.h"

// Window property that holds the control's previous window procedure while
// RichEditSubclassProc is installed.
inline constexpr const wchar_t* kOldProcProp = L"ORN_OLDREPROC";

class CRichEditDoc {
 public:
  CRichEditDoc();
  // Closes the control's embedded objects (unsaved), then releases the
  // control's OLE interface and the callback.
  virtual ~CRichEditDoc();
  CRichEditDoc(const CRichEditDoc&) = delete;
  CRichEditDoc& operator=(const CRichEditDoc&) = delete;

  // Binds `control`; without `callback` a CBasicReOleCallback is made. Empties
  // the control's text. Returns true.
  bool Initialize(win::HWND control, win::IRichEditOleCallback* callback = nullptr);

  win::HWND Control() const { return m_hwndRE; }
  win::IRichEditOleCallback* Callback() const { return m_pCallback; }
  win::IRichEditOle* RichEditOle() const { return m_pRichEditOle; }

 private:
  win::HWND m_hwndRE;
  win::IRichEditOleCallback* m_pCallback;
  win::IRichEditOle* m_pRichEditOle;
};

// Swallows the mouse buttons (WM_LBUTTONDOWN to WM_MBUTTONDBLCLK) while the
// control is read-only; on WM_DESTROY puts the previous procedure back and
// removes the property before the control handles the message.
win::LRESULT RichEditSubclassProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
// Installs `proc` on `hwnd`, keeping the previous procedure in kOldProcProp.
bool SubclassWithProp(win::HWND hwnd, win::WNDPROC proc);
