#pragma once
// Embedded objects and data objects, as far as a rich-text container needs
// them: an object can be activated (opened in its own window or in place)
// and closed; a data object hands out text.

#include <string>

#include "platform/ole/com.h"
#include "platform/ole/storage.h"

namespace ole {

enum OleClose : DWORD { OLECLOSE_SAVEIFDIRTY = 0, OLECLOSE_NOSAVE = 1, OLECLOSE_PROMPTSAVE = 2 };
enum OleVerb : LONG {
  OLEIVERB_PRIMARY = 0,
  OLEIVERB_SHOW = -1,
  OLEIVERB_OPEN = -2,
  OLEIVERB_HIDE = -3,
  OLEIVERB_INPLACEACTIVATE = -5,
};

class IOleClientSite;  // not used by the stand-ins; only passed along
class IOleInPlaceFrame;
class IOleInPlaceUIWindow;
struct OLEINPLACEFRAMEINFO;

// Subset of the platform's IOleObject.
class IOleObject : public IUnknown {
 public:
  virtual HRESULT DoVerb(LONG verb) = 0;
  virtual HRESULT Close(DWORD saveOption) = 0;
  virtual HRESULT GetUserClassID(CLSID* out) = 0;

 protected:
  ~IOleObject() = default;
};

// What an embedded object of the stand-in is doing.
struct ObjectActivity {
  bool open = false;     // shown in its own window
  bool inPlace = false;  // active in the container's window
  int closes = 0;
  DWORD lastCloseOption = 0xFFFFFFFF;
};

// A plain embedded object whose data is the stream "CONTENTS" of its
// storage. Its activity can be read through ActivityOf. Returns it with one
// reference.
IOleObject* CreateEmbeddedObject(REFCLSID clsid, IStorage* storage);
// Null for objects that were not made by CreateEmbeddedObject.
const ObjectActivity* ActivityOf(IOleObject* object);
// Ends the in-place activity of such an object (the platform reaches it
// through the object's in-place interface); false for other objects.
bool DeactivateInPlace(IOleObject* object);

// ---- data objects

using CLIPFORMAT = uint16_t;
enum ClipFormat : CLIPFORMAT { CF_TEXT = 1, CF_UNICODETEXT = 13 };
enum Tymed : DWORD { TYMED_NULL = 0, TYMED_HGLOBAL = 1 };
enum DvAspect : DWORD { DVASPECT_CONTENT = 1 };

struct FORMATETC {
  CLIPFORMAT cfFormat = 0;
  void* ptd = nullptr;
  DWORD dwAspect = DVASPECT_CONTENT;
  LONG lindex = -1;
  DWORD tymed = TYMED_HGLOBAL;
};

struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;
  HGLOBAL hGlobal = nullptr;
  IUnknown* pUnkForRelease = nullptr;
};
void ReleaseStgMedium(STGMEDIUM* medium);

// Subset of the platform's IDataObject.
class IDataObject : public IUnknown {
 public:
  virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT QueryGetData(FORMATETC* format) = 0;

 protected:
  ~IDataObject() = default;
};

// A data object offering `text` as CF_UNICODETEXT (NUL-terminated wchar_t
// in global memory), with one reference.
IDataObject* CreateTextDataObject(std::wstring text);

}  // namespace ole
