#pragma once
// CBasicReOleCallback: the smallest OLE callback of a rich edit control. It
// gives embedded objects storage on memory and refuses or leaves out
// everything else, so that pasted or dropped data is refused and no context
// menu appears. The object deletes itself when its count drops to 0; it is
// created with a count of 0.

#include <cstdint>

#include "platform/richedit/richedit.h"

class CBasicReOleCallback : public win::IRichEditOleCallback {
 public:
  CBasicReOleCallback();

  ole::HRESULT QueryInterface(ole::REFIID riid, void** out) override;
  ole::ULONG AddRef() override;
  ole::ULONG Release() override;

  // A new compound file on growable memory that is freed with it.
  ole::HRESULT GetNewStorage(ole::IStorage** storage) override;
  ole::HRESULT GetInPlaceContext(ole::IOleInPlaceFrame** frame, ole::IOleInPlaceUIWindow** doc,
                                 ole::OLEINPLACEFRAMEINFO* frameInfo) override;
  ole::HRESULT ShowContainerUI(ole::BOOL show) override;
  ole::HRESULT QueryInsertObject(ole::CLSID* clsid, ole::IStorage* storage, win::LONG cp) override;
  ole::HRESULT DeleteObject(ole::IOleObject* object) override;
  ole::HRESULT QueryAcceptData(ole::IDataObject* data, ole::CLIPFORMAT* format, win::DWORD reco, ole::BOOL really,
                               ole::HGLOBAL metaPict) override;
  ole::HRESULT ContextSensitiveHelp(ole::BOOL enterMode) override;
  ole::HRESULT GetClipboardData(win::CHARRANGE* range, win::DWORD reco, ole::IDataObject** data) override;
  ole::HRESULT GetDragDropEffect(ole::BOOL drag, win::DWORD keyState, win::DWORD* effect) override;
  ole::HRESULT GetContextMenu(win::WORD selectionType, ole::IOleObject* object, win::CHARRANGE* range,
                              win::HMENU* menu) override;

  virtual ~CBasicReOleCallback();

  int32_t RefCount() const { return m_cRef; }

 private:
  int32_t m_cRef;
};
