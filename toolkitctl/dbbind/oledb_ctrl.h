#pragma once
// PixoOleDBCtrl: an invisible control that binds a toolkit bitmap (with
// optional annotations) to a BLOB column of an OLE DB row set. Before the
// row position changes it saves the bitmap into the current row's field,
// after the change it loads the new row's field.

#include <optional>
#include <string>
#include <vector>

#include "platform/activex/globalmem.h"
#include "platform/dynload/dynload.h"
#include "platform/oledb/oledb.h"
#include "platform/pixokit/pixoann.h"
#include "toolkitctl/common/toolkit_control.h"
#include "toolkitctl/dbbind/pixobindctl.h"

namespace dbbind {

ax::Module& BindModule();

// The annotation library's calls, resolved by name at construction.
struct AnnotationLibrary {
  dynload::Library module = nullptr;
  decltype(&PX_AnnCreate) Create = nullptr;
  decltype(&PX_AnnInsert) Insert = nullptr;
  decltype(&PX_AnnCopy) Copy = nullptr;
  decltype(&PX_AnnDestroy) Destroy = nullptr;
  decltype(&PX_AnnGetItem) GetItem = nullptr;
  decltype(&PX_AnnLoadMemory) LoadMemory = nullptr;
  decltype(&PX_AnnSaveMemory) SaveMemory = nullptr;
  decltype(&PX_AnnSetRect) SetRect = nullptr;
  bool loaded() const { return module != nullptr; }
};

class PixoOleDBCtrl final : public toolkitctl::ToolkitControl {
 public:
  PixoOleDBCtrl();
  ~PixoOleDBCtrl() override;

  ax::HRESULT Invoke(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args, ax::Variant* result) override;
  ax::HRESULT Draw(ax::DrawContext* dc) override;
  ax::HRESULT GetPredefinedStrings(ax::DISPID dispid, std::vector<std::u16string>* texts,
                                   std::vector<uint32_t>* cookies) override;
  ax::HRESULT GetPredefinedValue(ax::DISPID dispid, uint32_t cookie, ax::Variant* value) override;
  // The 16-bit properties as the framework keeps them, plus DataMember and
  // DataField (the data source itself is the container's to set again).
  ax::HRESULT Load(ax::IPropertyBag* bag) override;
  ax::HRESULT Save(ax::IPropertyBag* bag, bool clearDirty) override;

  // Notifications, forwarded by the sinks the control connects.
  ax::HRESULT OnRowPositionChange(uint32_t reason, uint32_t phase, bool cantDeny);
  ax::HRESULT RebindDataSource(bool reload);

  // The work of DBLoadCB / DBSaveCB.
  int32_t ProgressStep(int32_t firstRow, int32_t rowCount, int32_t height);
  int32_t SaveRows(PXBITMAP* bitmap, uint8_t* buffer, int32_t firstRow, int32_t rowCount);

 private:
  std::vector<PersistedProperty> PersistedProperties() override;
  std::vector<Choice> Choices(ax::DISPID dispid) override;
  std::span<const ax::DISPID> GridOnlyProperties() override;

  void LoadAnnotationLibrary();
  int32_t SaveBitmapToField();
  int32_t LoadBitmapFromField();
  ax::HRESULT InitNullBlobField();
  ax::HRESULT CreateBlobAccessor();
  void ReleaseBlobAccessor();
  bool CurrentRow();  // fetches the current row into currentRow_
  void ReleaseRow();
  ax::HRESULT CommitPendingRows();
  bool IsJetProvider();
  void FreeColumnInfo();
  void StopNotifications();

  ax::HRESULT BitmapGet(ax::Variant* result);
  ax::HRESULT BitmapPut(const ax::Variant& value);
  ax::HRESULT AnnContainerPut(const ax::Variant& value);
  void DropBitmap();
  bool NewEmptyBitmap();
  bool FillOwnHeader();
  void HandOverLentBitmap();
  void TakeOver(PXBITMAP* image);
  void BorrowFrom(PixoOleDBCtrl* lender);
  void LeaveLender();
  static int32_t OwnHeaderCallback(int32_t type, BitmapHandleHeader* header, void* data);

  ax::HRESULT StringMember(std::optional<std::u16string>& member, uint16_t flags, std::span<ax::Variant> args,
                           ax::Variant* result, bool rebindOnNull);
  ax::HRESULT ShortMember(int16_t& member, ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                          ax::Variant* result, bool boolean);
  void FireStatus(ax::DISPID event, int32_t status);

  // Bound data.
  oledb::DataSource* dataSource_ = nullptr;
  std::optional<std::u16string> dataMember_, dataField_;
  oledb::IRowPosition* rowPosition_ = nullptr;
  oledb::IRowset* rowset_ = nullptr;
  uint32_t adviseCookie_ = 0;
  oledb::DBORDINAL columnCount_ = 0;
  oledb::DBCOLUMNINFO* columns_ = nullptr;
  char16_t* columnStrings_ = nullptr;
  bool bookmark_ = false;
  size_t fieldColumn_ = 0;
  oledb::HACCESSOR accessor_ = 0;
  uint8_t rowBuffer_[16] = {};  // status 4, length 4, stream pointer 8
  oledb::DBBINDING binding_{};
  oledb::DBOBJECT streamObject_{0, oledb::IID_ISequentialStream};
  oledb::HROW currentRow_ = oledb::DB_NULL_HROW;
  ax::IUnknown* rowSink_ = nullptr;       // forwards row-position changes
  ax::IUnknown* listenerSink_ = nullptr;  // forwards data-member changes

  // The bitmap: an owned structure in global memory, or one borrowed from
  // another control through its header.
  ax::HGLOBAL bitmapMem_ = nullptr;
  PXBITMAP* bitmap_ = nullptr;
  ax::HGLOBAL borrowedMem_ = nullptr;
  BitmapHandleHeader* borrowedHeader_ = nullptr;
  ax::HGLOBAL ownHeaderMem_ = nullptr;
  PixoOleDBCtrl* lender_ = nullptr;          // the binding control lending bitmap_, if any
  std::vector<PixoOleDBCtrl*> borrowers_;    // binding controls borrowing this one's bitmap

  AnnotationLibrary ann_;
  HANNOBJECT annContainer_ = nullptr;

  int16_t dataDirty_ = 0;
  int16_t dataLoadBits_ = 0;
  int16_t dataSaveBits_ = 0;
  int16_t dataSaveFormat_ = 5;
  int16_t dataSaveQuality_ = 255;
  int16_t enableProgressEvent_ = 0;
};

}  // namespace dbbind
