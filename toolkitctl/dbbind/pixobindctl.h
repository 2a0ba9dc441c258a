#pragma once
// The binding control library: identities, dispatch ids, the bitmap handle
// header other toolkit controls exchange, and the exports.

#include <cstdint>

#include "platform/activex/dispatch.h"
#include "platform/pixokit/pixoio.h"

namespace dbbind {

inline constexpr ax::Guid LIBID_PXODBLib{0x00120401, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::CLSID CLSID_PIXOOLEDB{0x00120400, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::IID IID_Ipxodbctl{0x00120402, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr ax::IID DIID__IpxodbctlEvents{0x00120403, 0xB1BA, 0x11CE,
                                               {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
inline constexpr char kBindProgId[] = "PIXOOLEDB.PixoOleDBCtrl.121";

enum BindDispid : ax::DISPID {
  DISPID_DataSource = 1,
  DISPID_DataMember = 2,
  DISPID_DataField = 3,
  DISPID_Bitmap = 4,
  DISPID_EnableMethodErrors = 5,
  DISPID_AnnContainer = 8,
  DISPID_DataDirty = 9,
  DISPID_DataLoadBits = 10,
  DISPID_DataSaveBits = 11,
  DISPID_DataSaveFormat = 12,
  DISPID_DataSaveQuality = 13,
  DISPID_EnableProgressEvent = 14,
};
enum BindEvent : ax::DISPID { DISPID_DataLoaded = 1, DISPID_DataSaved = 2, DISPID_ProgressStatus = 3 };

struct BitmapHandleHeader;
// The owner's notification: type 1 the bitmap changed, 2 a borrower gives
// the bitmap back (with the borrower's own header), 3 a query; 1 = handled.
using BitmapHeaderCallback = int32_t (*)(int32_t type, BitmapHandleHeader* header, void* data);

// The content of the Bitmap property's global handle. The platform's is 24
// bytes; with 64-bit pointers it is 40, and HeaderSize says so.
struct BitmapHandleHeader {
  char Magic[4];  // "pixo"
  int32_t HeaderSize;
  PXBITMAP* BitmapPtr;
  BitmapHeaderCallback Callback;
  void* CallbackData;  // the owning control
  int32_t CallbackParam;
};

extern const ax::TypeLibDesc kTypeLib;
extern const ax::InterfaceDesc kBindInterface;

}  // namespace dbbind

extern "C" {
// Called by the file library during a load: the progress step.
int32_t DBLoadCB(PXFILEINFO* info, PXBITMAP* bitmap, uint8_t* buffer, int32_t bufferSize, int32_t firstRow,
                 int32_t rowCount, void* control);
// Called by the file library during a save: the rows to write.
int32_t DBSaveCB(PXBITMAP* bitmap, uint8_t* buffer, int32_t firstRow, int32_t rowCount, void* control);

int32_t DllMain(void* instance, uint32_t reason, void* reserved);
ax::HRESULT DllCanUnloadNow();
ax::HRESULT DllGetClassObject(const ax::CLSID& clsid, const ax::IID& iid, void** out);
ax::HRESULT DllRegisterServer();
ax::HRESULT DllUnregisterServer();
}
