#include "toolkitctl/dbbind/oledb_ctrl.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/win32/environment.h"
#include "toolkitctl/dbbind/blob_record.h"

namespace dbbind {
namespace {

using namespace oledb;

constexpr int32_t kOk = 1;
constexpr int32_t kNoMemory = -1;
constexpr int32_t kBadBitmap = -2;
constexpr int32_t kWriteError = -5;
constexpr int32_t kReadError = -7;
constexpr int32_t kFileNotFound = -10;
constexpr int32_t kNotAvailable = -16;
constexpr int32_t kAborted = -100;
constexpr int32_t kNothingDone = -145;
constexpr uint32_t kWritePiece = 20480;
constexpr uint32_t kJetImageLimit = 0x10000;
constexpr size_t kMaxPath = 260;
constexpr char kAnnotationLibrary[] = "libpixoann.so";

constexpr ax::DISPID kGridOnly[] = {DISPID_DataMember,      DISPID_DataField,       DISPID_EnableMethodErrors,
                                    DISPID_DataLoadBits,    DISPID_DataSaveBits,    DISPID_DataSaveFormat,
                                    DISPID_DataSaveQuality, DISPID_EnableProgressEvent};

const toolkitctl::ControlIdentity kIdentity{CLSID_PIXOOLEDB, IID_Ipxodbctl, DIID__IpxodbctlEvents, &kBindInterface};

bool IsPut(uint16_t flags) { return flags & (ax::DISPATCH_PROPERTYPUT | ax::DISPATCH_PROPERTYPUTREF); }
bool Allocated(const PXBITMAP* b) { return b && (b->Flags & BITMAP_ALLOCATED); }

// MulDiv: a * b / c rounded half away from zero; -1 for c = 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  int64_t q = (std::abs(p) + std::abs(static_cast<int64_t>(c)) / 2) / std::abs(static_cast<int64_t>(c));
  return static_cast<int32_t>((p < 0) != (c < 0) ? -q : q);
}

// The control's sinks hold it weakly, so that a bound control can still
// reach its final release; the control detaches them when it goes.
class RowSink final : public IRowPositionChange, public ax::RefCounted {
 public:
  explicit RowSink(PixoOleDBCtrl* owner) : RefCounted(nullptr), owner_(owner) {}
  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override {
    if (!out) return ax::E_POINTER;
    if (iid == ax::IID_IUnknown || iid == IID_IRowPositionChange) {
      *out = static_cast<IRowPositionChange*>(this);
      AddRef();
      return ax::S_OK;
    }
    *out = nullptr;
    return ax::E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }
  ax::HRESULT OnRowPositionChange(uint32_t reason, uint32_t phase, bool cantDeny) override {
    return owner_ ? owner_->OnRowPositionChange(reason, phase, cantDeny) : ax::S_OK;
  }
  void Detach() { owner_ = nullptr; }

 private:
  PixoOleDBCtrl* owner_;
};

class ListenerSink final : public DataSourceListener, public ax::RefCounted {
 public:
  explicit ListenerSink(PixoOleDBCtrl* owner) : RefCounted(nullptr), owner_(owner) {}
  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override {
    if (!out) return ax::E_POINTER;
    if (iid == ax::IID_IUnknown || iid == IID_DataSourceListener) {
      *out = static_cast<DataSourceListener*>(this);
      AddRef();
      return ax::S_OK;
    }
    *out = nullptr;
    return ax::E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }
  ax::HRESULT dataMemberChanged(const std::u16string&) override { return Rebind(); }
  ax::HRESULT dataMemberAdded(const std::u16string&) override { return Rebind(); }
  ax::HRESULT dataMemberRemoved(const std::u16string&) override { return Rebind(); }
  void Detach() { owner_ = nullptr; }

 private:
  ax::HRESULT Rebind() { return owner_ ? owner_->RebindDataSource(false) : ax::S_OK; }
  PixoOleDBCtrl* owner_;
};

RowSink* AsRowSink(ax::IUnknown* p) { return static_cast<RowSink*>(static_cast<IRowPositionChange*>(p)); }
ListenerSink* AsListener(ax::IUnknown* p) {
  return static_cast<ListenerSink*>(static_cast<DataSourceListener*>(p));
}

// A global block's bytes, locked for the life of the view.
class Locked {
 public:
  explicit Locked(ax::HGLOBAL mem) : mem_(mem), p_(static_cast<uint8_t*>(ax::GlobalLock(mem))) {}
  ~Locked() {
    if (p_) ax::GlobalUnlock(mem_);
  }
  uint8_t* get() const { return p_; }

 private:
  ax::HGLOBAL mem_;
  uint8_t* p_;
};

}  // namespace

PixoOleDBCtrl::PixoOleDBCtrl() : ToolkitControl(&BindModule(), kIdentity) {
  NewEmptyBitmap();
  ownHeaderMem_ = ax::GlobalAlloc(ax::GHND, sizeof(BitmapHandleHeader));
  auto* rs = new RowSink(this);
  rs->AddRef();
  rowSink_ = static_cast<IRowPositionChange*>(rs);
  auto* ls = new ListenerSink(this);
  ls->AddRef();
  listenerSink_ = static_cast<DataSourceListener*>(ls);
  LoadAnnotationLibrary();
}

PixoOleDBCtrl::~PixoOleDBCtrl() {
  StopNotifications();
  ReleaseRow();
  ReleaseBlobAccessor();
  FreeColumnInfo();
  if (dataSource_) dataSource_->removeDataSourceListener(static_cast<DataSourceListener*>(AsListener(listenerSink_)));
  ax::SafeRelease(rowset_);
  ax::SafeRelease(rowPosition_);
  ax::SafeRelease(dataSource_);
  AsRowSink(rowSink_)->Detach();
  AsListener(listenerSink_)->Detach();
  ax::SafeRelease(rowSink_);
  ax::SafeRelease(listenerSink_);
  if (borrowedHeader_) {
    LeaveLender();  // the lender keeps its bitmap
    borrowedHeader_ = nullptr;
  } else if (bitmap_) {
    HandOverLentBitmap();
    if (Allocated(bitmap_)) PXC_FreeBitmap(bitmap_);
  }
  if (bitmapMem_) {
    ax::GlobalUnlock(bitmapMem_);
    ax::GlobalFree(bitmapMem_);
  }
  if (borrowedMem_) ax::GlobalUnlock(borrowedMem_);
  ax::GlobalFree(ownHeaderMem_);
  if (ann_.loaded()) {
    if (annContainer_) ann_.Destroy(annContainer_, 0);
    dynload::Free(ann_.module);
  }
}

void PixoOleDBCtrl::LoadAnnotationLibrary() {
  dynload::Library lib = dynload::Load(kAnnotationLibrary);
  if (!lib) {
    std::string path = win32::ProgramDirectory() + "/" + kAnnotationLibrary;
    if (path.size() <= kMaxPath) lib = dynload::Load(path.c_str());
  }
  if (!lib) return;
  AnnotationLibrary a;
  a.module = lib;
  a.Create = reinterpret_cast<decltype(a.Create)>(dynload::Symbol(lib, "PX_AnnCreate"));
  a.Insert = reinterpret_cast<decltype(a.Insert)>(dynload::Symbol(lib, "PX_AnnInsert"));
  a.Copy = reinterpret_cast<decltype(a.Copy)>(dynload::Symbol(lib, "PX_AnnCopy"));
  a.Destroy = reinterpret_cast<decltype(a.Destroy)>(dynload::Symbol(lib, "PX_AnnDestroy"));
  a.GetItem = reinterpret_cast<decltype(a.GetItem)>(dynload::Symbol(lib, "PX_AnnGetItem"));
  a.LoadMemory = reinterpret_cast<decltype(a.LoadMemory)>(dynload::Symbol(lib, "PX_AnnLoadMemory"));
  a.SaveMemory = reinterpret_cast<decltype(a.SaveMemory)>(dynload::Symbol(lib, "PX_AnnSaveMemory"));
  a.SetRect = reinterpret_cast<decltype(a.SetRect)>(dynload::Symbol(lib, "PX_AnnSetRect"));
  // A library missing one of the calls would crash at its first use.
  if (!a.Create || !a.Insert || !a.Copy || !a.Destroy || !a.GetItem || !a.LoadMemory || !a.SaveMemory || !a.SetRect) {
    dynload::Free(lib);
    return;
  }
  ann_ = a;
}

bool PixoOleDBCtrl::NewEmptyBitmap() {
  bitmapMem_ = ax::GlobalAlloc(ax::GHND, sizeof(PXBITMAP));
  bitmap_ = bitmapMem_ ? static_cast<PXBITMAP*>(ax::GlobalLock(bitmapMem_)) : nullptr;
  return bitmap_ != nullptr;
}

std::vector<toolkitctl::ToolkitControl::PersistedProperty> PixoOleDBCtrl::PersistedProperties() {
  return {{"EnableMethodErrors", DISPID_EnableMethodErrors, &enableMethodErrors_},
          {"DataLoadBits", DISPID_DataLoadBits, &dataLoadBits_},
          {"DataSaveBits", DISPID_DataSaveBits, &dataSaveBits_},
          {"DataSaveFormat", DISPID_DataSaveFormat, &dataSaveFormat_},
          {"DataSaveQuality", DISPID_DataSaveQuality, &dataSaveQuality_},
          {"EnableProgressEvent", DISPID_EnableProgressEvent, &enableProgressEvent_}};
}

std::vector<toolkitctl::ToolkitControl::Choice> PixoOleDBCtrl::Choices(ax::DISPID dispid) {
  if (dispid != DISPID_EnableMethodErrors && dispid != DISPID_EnableProgressEvent) return {};
  return {{u"True", -1}, {u"False", 0}};
}

std::span<const ax::DISPID> PixoOleDBCtrl::GridOnlyProperties() { return kGridOnly; }

ax::HRESULT PixoOleDBCtrl::GetPredefinedStrings(ax::DISPID dispid, std::vector<std::u16string>* texts,
                                                std::vector<uint32_t>* cookies) {
  if (dispid != DISPID_DataField) return ToolkitControl::GetPredefinedStrings(dispid, texts, cookies);
  if (!texts || !cookies) return ax::E_POINTER;
  texts->clear();
  cookies->clear();
  for (oledb::DBORDINAL i = bookmark_ ? 1 : 0; i < columnCount_; ++i) {
    if (!columns_[i].pwszName) continue;
    texts->push_back(columns_[i].pwszName);
    cookies->push_back(i);
  }
  return ax::S_OK;
}

ax::HRESULT PixoOleDBCtrl::GetPredefinedValue(ax::DISPID dispid, uint32_t cookie, ax::Variant* value) {
  if (dispid != DISPID_DataField) return ToolkitControl::GetPredefinedValue(dispid, cookie, value);
  if (!value) return ax::E_POINTER;
  if (cookie >= columnCount_ || !columns_[cookie].pwszName) return ax::E_INVALIDARG;
  *value = ax::Variant::Str(columns_[cookie].pwszName);
  return ax::S_OK;
}

ax::HRESULT PixoOleDBCtrl::Load(ax::IPropertyBag* bag) {
  ax::HRESULT hr = ToolkitControl::Load(bag);
  if (ax::Failed(hr)) return hr;
  for (auto [name, member] : {std::pair{"DataMember", &dataMember_}, std::pair{"DataField", &dataField_}}) {
    ax::Variant v;
    if (ax::Succeeded(bag->Read(name, &v)) && v.vt() == ax::VarType::Bstr)
      *member = v.AsStr().empty() ? std::nullopt : std::optional<std::u16string>(v.AsStr());
  }
  return ax::S_OK;
}

ax::HRESULT PixoOleDBCtrl::Save(ax::IPropertyBag* bag, bool clearDirty) {
  ax::HRESULT hr = ToolkitControl::Save(bag, clearDirty);
  if (ax::Failed(hr)) return hr;
  hr = bag->Write("DataMember", ax::Variant::Str(dataMember_.value_or(u"")));
  if (ax::Succeeded(hr)) hr = bag->Write("DataField", ax::Variant::Str(dataField_.value_or(u"")));
  return hr;
}

ax::HRESULT PixoOleDBCtrl::Draw(ax::DrawContext* dc) {
  if (!dc) return ax::E_POINTER;
  if (!IsDesignMode()) return ax::S_OK;
  dc->ops.push_back("pen black");
  dc->ops.push_back("rectangle " + std::to_string(dc->left) + " " + std::to_string(dc->top) + " " +
                    std::to_string(dc->right) + " " + std::to_string(dc->bottom));
  dc->ops.push_back("icon 201 " + std::to_string(dc->left) + " " + std::to_string(dc->top));
  return ax::S_OK;
}

void PixoOleDBCtrl::FireStatus(ax::DISPID event, int32_t status) {
  ax::Variant args[1] = {ax::Variant::I2(static_cast<int16_t>(status))};
  FireEvent(event, args);
}

ax::HRESULT PixoOleDBCtrl::Invoke(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                  ax::Variant* result) {
  const bool put = IsPut(flags);
  switch (dispid) {
    case DISPID_DataSource: {
      if (!put) {
        if (result) *result = ax::Variant::Unknown(dataSource_);
        return ax::S_OK;
      }
      if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
      oledb::DataSource* source = nullptr;
      ax::IUnknown* given = args.back().AsUnknown();
      if (given && ax::Failed(given->QueryInterface(IID_DataSource, reinterpret_cast<void**>(&source))))
        return ax::DISP_E_TYPEMISMATCH;
      if (dataSource_) dataSource_->removeDataSourceListener(AsListener(listenerSink_));
      ax::SafeRelease(dataSource_);
      dataSource_ = source;
      if (!dataSource_) {
        ax::Variant none[1] = {ax::Variant::Str(u"")};
        StringMember(dataMember_, ax::DISPATCH_PROPERTYPUT, none, nullptr, true);
        StringMember(dataField_, ax::DISPATCH_PROPERTYPUT, none, nullptr, false);
      }
      return RebindDataSource(true);
    }
    case DISPID_DataMember:
      return StringMember(dataMember_, flags, args, result, true);
    case DISPID_DataField:
      return StringMember(dataField_, flags, args, result, false);
    case DISPID_Bitmap:
      if (ax::HRESULT hr = DesignModeGuard(put); hr != ax::S_OK) return hr;
      if (!put) return BitmapGet(result);
      if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
      return BitmapPut(args.back());
    case DISPID_EnableMethodErrors:
      return EnableMethodErrorsMember(dispid, flags, args, result);
    case DISPID_AnnContainer: {
      if (put) {
        if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
        return AnnContainerPut(args.back());
      }
      if (ax::HRESULT hr = DesignModeGuard(false); hr != ax::S_OK) return hr;
      HANNOBJECT item = nullptr;
      bool any = ann_.loaded() && annContainer_ && ann_.GetItem(annContainer_, &item) == kOk && item;
      if (result) *result = ax::Variant::Handle(any ? reinterpret_cast<intptr_t>(annContainer_) : 0);
      return ax::S_OK;
    }
    case DISPID_DataDirty: {
      if (!put) {
        if (ax::HRESULT hr = DesignModeGuard(false); hr != ax::S_OK) return hr;
        if (result) *result = ax::Variant::Bool(dataDirty_ != 0);
        return ax::S_OK;
      }
      int64_t v = 0;
      if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
      dataDirty_ = v != 0 ? 1 : 0;
      return ax::S_OK;
    }
    case DISPID_DataLoadBits:
      return ShortMember(dataLoadBits_, dispid, flags, args, result, false);
    case DISPID_DataSaveBits:
      return ShortMember(dataSaveBits_, dispid, flags, args, result, false);
    case DISPID_DataSaveFormat:
      return ShortMember(dataSaveFormat_, dispid, flags, args, result, false);
    case DISPID_DataSaveQuality:
      return ShortMember(dataSaveQuality_, dispid, flags, args, result, false);
    case DISPID_EnableProgressEvent:
      return ShortMember(enableProgressEvent_, dispid, flags, args, result, true);
    default:
      return ax::DISP_E_MEMBERNOTFOUND;
  }
}

ax::HRESULT PixoOleDBCtrl::StringMember(std::optional<std::u16string>& member, uint16_t flags,
                                        std::span<ax::Variant> args, ax::Variant* result, bool rebindOnNull) {
  if (!IsPut(flags)) {
    if (result) *result = ax::Variant::Str(member.value_or(u""));
    return ax::S_OK;
  }
  if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
  const std::u16string& text = args.back().AsStr();
  // An empty string is the null string of the platform.
  member = text.empty() ? std::nullopt : std::optional<std::u16string>(text);
  if (!member && !rebindOnNull) return ax::S_OK;
  return RebindDataSource(true);
}

ax::HRESULT PixoOleDBCtrl::ShortMember(int16_t& member, ax::DISPID dispid, uint16_t flags,
                                       std::span<ax::Variant> args, ax::Variant* result, bool boolean) {
  if (!IsPut(flags)) {
    if (result) *result = boolean ? ax::Variant::Bool(member != 0) : ax::Variant::I2(member);
    return ax::S_OK;
  }
  int64_t v = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
  member = boolean ? (v != 0 ? ax::VARIANT_TRUE : ax::VARIANT_FALSE) : static_cast<int16_t>(v);
  PropertyChanged(dispid);
  return ax::S_OK;
}

// Binding

void PixoOleDBCtrl::StopNotifications() {
  if (!rowPosition_ || !adviseCookie_) return;
  ax::IConnectionPointContainer* cpc = nullptr;
  if (ax::Succeeded(rowPosition_->QueryInterface(ax::IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
    ax::IConnectionPoint* cp = nullptr;
    if (ax::Succeeded(cpc->FindConnectionPoint(IID_IRowPositionChange, &cp))) {
      cp->Unadvise(adviseCookie_);
      cp->Release();
    }
    cpc->Release();
  }
  adviseCookie_ = 0;
}

void PixoOleDBCtrl::FreeColumnInfo() {
  ax::CoTaskMemFree(columns_);
  ax::CoTaskMemFree(columnStrings_);
  columns_ = nullptr;
  columnStrings_ = nullptr;
  columnCount_ = 0;
}

ax::HRESULT PixoOleDBCtrl::RebindDataSource(bool reload) {
  StopNotifications();
  ReleaseRow();
  ReleaseBlobAccessor();
  FreeColumnInfo();
  if (!dataSource_) return ax::S_OK;

  auto* listener = AsListener(listenerSink_);
  dataSource_->removeDataSourceListener(listener);
  dataSource_->addDataSourceListener(listener);
  ax::SafeRelease(rowset_);
  ax::SafeRelease(rowPosition_);
  ax::IUnknown* unk = nullptr;
  ax::HRESULT hr = dataSource_->getDataMember(dataMember_.value_or(u""), IID_IRowPosition, &unk);
  if (ax::Failed(hr)) return hr;
  if (!unk) return ax::E_FAIL;
  rowPosition_ = static_cast<IRowPosition*>(unk);
  hr = rowPosition_->GetRowset(IID_IRowset, &unk);
  if (ax::Failed(hr)) return hr;
  rowset_ = static_cast<IRowset*>(unk);

  IColumnsInfo* info = nullptr;
  hr = rowset_->QueryInterface(IID_IColumnsInfo, reinterpret_cast<void**>(&info));
  if (ax::Failed(hr)) return hr;
  hr = info->GetColumnInfo(&columnCount_, &columns_, &columnStrings_);
  info->Release();
  if (ax::Failed(hr)) {
    FreeColumnInfo();
    return hr;
  }
  bookmark_ = columnCount_ > 0 && columns_[0].iOrdinal == 0;

  if (!dataField_ || IsDesignMode()) return ax::S_OK;
  size_t found = columnCount_;
  for (size_t i = 0; i < columnCount_; ++i)
    if (columns_[i].pwszName && *dataField_ == columns_[i].pwszName) {
      found = i;
      break;
    }
  if (found == columnCount_) return ax::S_OK;
  fieldColumn_ = found;
  DBTYPE type = columns_[found].wType;
  if (type != DBTYPE_BYTES && type != DBTYPE_STR && type != DBTYPE_WSTR) return ax::S_FALSE;

  ax::IConnectionPointContainer* cpc = nullptr;
  hr = rowPosition_->QueryInterface(ax::IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
  if (ax::Failed(hr)) return hr;
  ax::IConnectionPoint* cp = nullptr;
  hr = cpc->FindConnectionPoint(IID_IRowPositionChange, &cp);
  cpc->Release();
  if (ax::Failed(hr)) return hr;
  hr = cp->Advise(rowSink_, &adviseCookie_);
  cp->Release();
  if (ax::Failed(hr)) return hr;
  if (reload) {
    int32_t r = LoadBitmapFromField();
    int16_t code = 0;
    Report(r, &code);
    FireStatus(DISPID_DataLoaded, r == kOk ? 0 : code);
  }
  return ax::S_OK;
}

ax::HRESULT PixoOleDBCtrl::OnRowPositionChange(uint32_t, uint32_t phase, bool) {
  ReleaseRow();
  if (phase != DBEVENTPHASE_ABOUTTODO && phase != DBEVENTPHASE_DIDEVENT) return ax::S_OK;
  const bool save = phase == DBEVENTPHASE_ABOUTTODO;
  int32_t r = save ? SaveBitmapToField() : LoadBitmapFromField();
  ax::DISPID event = save ? DISPID_DataSaved : DISPID_DataLoaded;
  if (r == kOk || r == kNothingDone) {
    FireStatus(event, 0);
    return ax::S_OK;
  }
  FireStatus(event, toolkitctl::ToolkitErrorCode(r));
  return Report(r, nullptr, true);
}

ax::HRESULT PixoOleDBCtrl::CreateBlobAccessor() {
  ReleaseBlobAccessor();
  if (!rowset_ || fieldColumn_ >= columnCount_) return ax::E_UNEXPECTED;
  IAccessor* acc = nullptr;
  ax::HRESULT hr = rowset_->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&acc));
  if (ax::Failed(hr)) return hr;
  binding_ = DBBINDING{};
  binding_.iOrdinal = columns_[fieldColumn_].iOrdinal;
  binding_.obStatus = 0;
  binding_.obLength = 4;
  binding_.obValue = 8;
  binding_.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
  binding_.wType = DBTYPE_IUNKNOWN;
  binding_.pObject = &streamObject_;
  binding_.cbMaxLen = sizeof(void*);
  hr = acc->CreateAccessor(DBACCESSOR_ROWDATA, 1, &binding_, sizeof rowBuffer_, &accessor_, nullptr);
  acc->Release();
  return hr;
}

void PixoOleDBCtrl::ReleaseBlobAccessor() {
  if (!accessor_ || !rowset_) return;
  IAccessor* acc = nullptr;
  if (ax::Succeeded(rowset_->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&acc)))) {
    acc->ReleaseAccessor(accessor_, nullptr);
    acc->Release();
  }
  accessor_ = 0;
}

bool PixoOleDBCtrl::CurrentRow() {
  ReleaseRow();
  if (!rowPosition_) return false;
  HROW row = DB_NULL_HROW;
  if (rowPosition_->GetRowPosition(nullptr, &row, nullptr) != ax::S_OK || row == DB_NULL_HROW) return false;
  currentRow_ = row;
  return true;
}

void PixoOleDBCtrl::ReleaseRow() {
  if (currentRow_ && rowset_) rowset_->ReleaseRows(1, &currentRow_, 0, nullptr, nullptr);
  currentRow_ = DB_NULL_HROW;
}

ax::HRESULT PixoOleDBCtrl::CommitPendingRows() {
  IRowsetUpdate* update = nullptr;
  ax::HRESULT hr = rowset_->QueryInterface(IID_IRowsetUpdate, reinterpret_cast<void**>(&update));
  if (ax::Failed(hr)) return hr;
  size_t count = 0;
  HROW* rows = nullptr;
  hr = update->GetPendingRows(DB_NULL_HCHAPTER, DBPENDINGSTATUS_CHANGED, &count, &rows, nullptr);
  if (ax::Succeeded(hr) && count > 0) {
    hr = update->Update(DB_NULL_HCHAPTER, count, rows);
    rowset_->ReleaseRows(count, rows, 0, nullptr, nullptr);
  } else if (ax::Succeeded(hr)) {
    hr = ax::S_OK;
  }
  ax::CoTaskMemFree(rows);
  update->Release();
  return hr;
}

bool PixoOleDBCtrl::IsJetProvider() {
  IRowsetInfo* info = nullptr;
  if (ax::Failed(rowset_->QueryInterface(IID_IRowsetInfo, reinterpret_cast<void**>(&info)))) return false;
  ax::IUnknown* creator = nullptr;
  bool jet = false;
  if (ax::Succeeded(info->GetCreator(IID_IDBProperties, &creator)) && creator) {
    std::vector<DBPROP> props;
    if (ax::Succeeded(static_cast<IDBProperties*>(creator)->GetProperties(&props))) {
      for (const DBPROP& p : props) {
        if (p.dwPropertyID != DBPROP_PROVIDERFILENAME || p.vValue.vt() != ax::VarType::Bstr) continue;
        // Deliberately a prefix test over the shorter of the two names.
        std::u16string_view name = p.vValue.AsStr(), jetName = u"MSJTOR35.DLL";
        size_t n = std::min(name.size(), jetName.size());
        jet = name.substr(0, n) == jetName.substr(0, n);
      }
    }
    creator->Release();
  }
  info->Release();
  return jet;
}

ax::HRESULT PixoOleDBCtrl::InitNullBlobField() {
  IAccessor* acc = nullptr;
  IRowsetChange* change = nullptr;
  ax::HRESULT hr = rowset_->QueryInterface(IID_IAccessor, reinterpret_cast<void**>(&acc));
  if (ax::Succeeded(hr)) hr = rowset_->QueryInterface(IID_IRowsetChange, reinterpret_cast<void**>(&change));
  HACCESSOR bytes = 0;
  if (ax::Succeeded(hr)) {
    DBBINDING b{};
    b.iOrdinal = columns_[fieldColumn_].iOrdinal;
    b.obValue = 0;
    b.dwPart = DBPART_VALUE;
    b.wType = DBTYPE_BYTES;
    b.cbMaxLen = kFieldBlobHeaderSize;
    hr = acc->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, kFieldBlobHeaderSize, &bytes, nullptr);
  }
  if (ax::Succeeded(hr) && CurrentRow()) {
    uint8_t zeros[kFieldBlobHeaderSize] = {};
    hr = change->SetData(currentRow_, bytes, zeros);
    if (ax::Succeeded(hr)) hr = CommitPendingRows();
  }
  ReleaseRow();
  if (bytes) acc->ReleaseAccessor(bytes, nullptr);
  ax::SafeRelease(change);
  ax::SafeRelease(acc);
  return hr;
}

int32_t PixoOleDBCtrl::SaveBitmapToField() {
  if (!dataDirty_) return kNothingDone;
  dataDirty_ = 0;
  if (!Allocated(bitmap_)) return kOk;
  if (!rowset_) return kNothingDone;
  const bool jet = IsJetProvider();
  if (ax::Failed(CreateBlobAccessor())) return kWriteError;
  if (!CurrentRow()) {
    ReleaseBlobAccessor();
    return kNothingDone;
  }
  ax::HGLOBAL image = nullptr;
  uint32_t imageLength = 0;
  int32_t r = PXIO_SaveBitmapMemory(bitmap_, &image, dataSaveFormat_, dataSaveBits_, dataSaveQuality_, DBSaveCB, this,
                                    &imageLength);
  if (r == kOk && jet && imageLength > kJetImageLimit) r = kWriteError;
  if (r != kOk) {
    ReleaseBlobAccessor();
    ax::GlobalFree(image);
    ReleaseRow();
    Report(r, nullptr, true);
    return kWriteError;
  }
  auto fail = [&](ISequentialStream* stream) {
    if (stream) stream->Release();
    ReleaseRow();
    ReleaseBlobAccessor();
    ax::GlobalFree(image);
    return kWriteError;
  };
  std::memset(rowBuffer_, 0, sizeof rowBuffer_);
  if (ax::Failed(rowset_->GetData(currentRow_, accessor_, rowBuffer_))) return fail(nullptr);
  uint32_t status = 0;
  std::memcpy(&status, rowBuffer_ + binding_.obStatus, sizeof status);
  if (status == DBSTATUS_S_ISNULL) {
    ReleaseRow();
    if (ax::Failed(InitNullBlobField()) || ax::Failed(CreateBlobAccessor())) return fail(nullptr);
    if (!CurrentRow()) {
      ReleaseBlobAccessor();
      ax::GlobalFree(image);
      return kNothingDone;
    }
    if (ax::Failed(rowset_->GetData(currentRow_, accessor_, rowBuffer_))) return fail(nullptr);
    std::memcpy(&status, rowBuffer_ + binding_.obStatus, sizeof status);
  }
  ISequentialStream* stream = nullptr;
  std::memcpy(&stream, rowBuffer_ + binding_.obValue, sizeof stream);
  if (status != DBSTATUS_S_OK || !stream) return fail(stream);

  FieldBlobHeader header;
  header.ImageOffset = 0;
  header.ImageLength = static_cast<int32_t>(imageLength);
  ax::HGLOBAL annBlock = nullptr;
  uint32_t annLength = 0;
  if (ann_.loaded() && annContainer_ && ann_.SaveMemory(annContainer_, &annBlock, &annLength) == kOk) {
    header.AnnOffset = header.ImageOffset + header.ImageLength;
    header.AnnLength = static_cast<int32_t>(annLength);
  } else {
    annBlock = nullptr;
  }
  auto failAll = [&]() {
    ax::GlobalFree(annBlock);
    return fail(stream);
  };
  {
    Locked bytes(image);
    for (uint32_t done = 0; done < imageLength;) {
      uint32_t piece = std::min(kWritePiece, imageLength - done), written = 0;
      // A write that reports no progress would never end the loop.
      if (ax::Failed(stream->Write(bytes.get() + done, piece, &written)) || written == 0 || written > piece)
        return failAll();
      done += written;
    }
  }
  if (annBlock) {
    Locked ann(annBlock);
    uint32_t written = 0;
    if (ax::Failed(stream->Write(ann.get(), annLength, &written)) || written != annLength) return failAll();
    auto h = EncodeFieldBlobHeader(header);
    if (ax::Failed(stream->Write(h.data(), static_cast<uint32_t>(h.size()), &written)) || written != h.size())
      return failAll();
  }
  ax::HRESULT hr = CommitPendingRows();
  ReleaseRow();
  ax::GlobalFree(image);
  ax::GlobalFree(annBlock);
  stream->Release();
  ReleaseBlobAccessor();
  return ax::Succeeded(hr) ? kOk : kWriteError;
}

int32_t PixoOleDBCtrl::LoadBitmapFromField() {
  if (!rowset_ || ax::Failed(CreateBlobAccessor())) return kReadError;
  if (!CurrentRow()) {
    ReleaseBlobAccessor();
    return kNothingDone;
  }
  auto done = [&](int32_t r) {
    ReleaseBlobAccessor();
    ReleaseRow();
    return r;
  };
  std::memset(rowBuffer_, 0, sizeof rowBuffer_);
  ax::HRESULT hr = rowset_->GetData(currentRow_, accessor_, rowBuffer_);
  if (ax::Failed(hr)) return done(hr == DB_E_DELETEDROW ? kFileNotFound : kReadError);
  uint32_t status = 0, length = 0;
  std::memcpy(&status, rowBuffer_ + binding_.obStatus, sizeof status);
  std::memcpy(&length, rowBuffer_ + binding_.obLength, sizeof length);
  ISequentialStream* stream = nullptr;
  std::memcpy(&stream, rowBuffer_ + binding_.obValue, sizeof stream);
  if (status == DBSTATUS_S_ISNULL) return done(kFileNotFound);
  if (status != DBSTATUS_S_OK) {
    if (stream) stream->Release();
    return done(kOk);
  }
  if (!stream) return done(kReadError);
  if (ann_.loaded() && annContainer_) ann_.Destroy(annContainer_, ANNFLAG_NOTTHIS);

  ax::HGLOBAL buffer = ax::GlobalAlloc(ax::GMEM_MOVEABLE, length);
  if (!buffer) {
    stream->Release();
    return done(kNoMemory);
  }
  auto finish = [&](int32_t r) {
    ax::GlobalFree(buffer);
    return done(r);
  };
  Locked bytes(buffer);
  uint32_t read = 0;
  hr = stream->Read(bytes.get(), length, &read);
  stream->Release();
  if (ax::Failed(hr) || read != length) return finish(kReadError);

  BlobParts parts;
  // A header whose offsets or lengths leave the record is a damaged record:
  // it cannot be read as it was written.
  if (!SplitImageFieldBlob(bytes.get(), length, &parts)) {
    Report(kReadError, nullptr, true);
    return finish(kReadError);
  }
  PXBITMAP loaded;
  PXC_InitBitmap(&loaded, sizeof loaded);
  int32_t r = PXIO_LoadBitmapMemory(parts.image, static_cast<uint32_t>(parts.imageLength), &loaded, sizeof loaded,
                                    dataLoadBits_, DBLoadCB, this);
  if (r != kOk) {
    Report(r, nullptr, true);
    return finish(r);
  }
  if (Allocated(&loaded)) {
    if (!bitmap_ && !NewEmptyBitmap()) {
      PXC_FreeBitmap(&loaded);
      Report(kNoMemory, nullptr, true);
      return finish(kReadError);
    }
    if (Allocated(bitmap_)) PXC_FreeBitmap(bitmap_);
    PXC_CopyBitmapHandle(bitmap_, &loaded, sizeof(PXBITMAP));
  }
  if (parts.annotations && ann_.loaded()) {
    if (!annContainer_) ann_.Create(0, &annContainer_);
    if (annContainer_) {
      ANNRECT rect{0, 0, static_cast<double>(bitmap_->Width), static_cast<double>(bitmap_->Height)};
      ann_.SetRect(annContainer_, &rect);
      HANNOBJECT objects = nullptr;
      if (ann_.LoadMemory(parts.annotations, static_cast<uint32_t>(parts.annLength), &objects) == kOk)
        ann_.Insert(annContainer_, objects);
    }
  }
  return finish(kOk);
}

// Bitmap exchange

ax::HRESULT PixoOleDBCtrl::BitmapGet(ax::Variant* result) {
  if (!result) return ax::E_POINTER;
  *result = ax::Variant::Handle(0);
  if (!Allocated(bitmap_)) return ax::S_OK;
  if (borrowedHeader_) {
    borrowedHeader_->CallbackParam = 0;
    *result = ax::Variant::Handle(reinterpret_cast<intptr_t>(borrowedMem_));
    return ax::S_OK;
  }
  if (!FillOwnHeader()) return Report(kNoMemory);
  *result = ax::Variant::Handle(reinterpret_cast<intptr_t>(ownHeaderMem_));
  return ax::S_OK;
}

bool PixoOleDBCtrl::FillOwnHeader() {
  Locked mem(ownHeaderMem_);
  auto* h = reinterpret_cast<BitmapHandleHeader*>(mem.get());
  if (!h) return false;
  std::memcpy(h->Magic, "pixo", 4);
  h->HeaderSize = sizeof(BitmapHandleHeader);
  h->BitmapPtr = bitmap_;
  h->Callback = OwnHeaderCallback;
  h->CallbackData = this;
  h->CallbackParam = 0;
  return true;
}

void PixoOleDBCtrl::DropBitmap() {
  if (borrowedHeader_) {
    Locked own(ownHeaderMem_);
    if (borrowedHeader_->Callback)
      borrowedHeader_->Callback(2, reinterpret_cast<BitmapHandleHeader*>(own.get()), borrowedHeader_->CallbackData);
    LeaveLender();
    ax::GlobalUnlock(borrowedMem_);
    borrowedHeader_ = nullptr;
    borrowedMem_ = nullptr;
  } else if (bitmapMem_) {
    HandOverLentBitmap();
    if (Allocated(bitmap_)) PXC_FreeBitmap(bitmap_);
    ax::GlobalUnlock(bitmapMem_);
    ax::GlobalFree(bitmapMem_);
  }
  bitmapMem_ = nullptr;
  bitmap_ = nullptr;
}

// Lending between binding controls. A borrower points into its lender's
// bitmap structure; when the lender drops that structure (a new Bitmap, its
// final release) the image passes to the borrowers instead of going with
// it: the first takes it over into a structure of its own, the others then
// borrow from that one. So a borrower never reads a released bitmap.

void PixoOleDBCtrl::HandOverLentBitmap() {
  if (borrowers_.empty()) return;
  std::vector<PixoOleDBCtrl*> borrowers;
  borrowers.swap(borrowers_);
  PixoOleDBCtrl* heir = borrowers.front();
  heir->TakeOver(bitmap_);
  for (size_t i = 1; i < borrowers.size(); ++i) borrowers[i]->BorrowFrom(heir);
}

void PixoOleDBCtrl::TakeOver(PXBITMAP* image) {
  ax::GlobalUnlock(borrowedMem_);
  borrowedMem_ = nullptr;
  borrowedHeader_ = nullptr;
  lender_ = nullptr;
  // Without memory for a structure the control is left without bitmap, as
  // after a failed construction; its next Bitmap put reports it.
  if (NewEmptyBitmap() && Allocated(image)) PXC_CopyBitmapHandle(bitmap_, image, sizeof(PXBITMAP));
}

void PixoOleDBCtrl::BorrowFrom(PixoOleDBCtrl* lender) {
  ax::GlobalUnlock(borrowedMem_);
  borrowedMem_ = nullptr;
  borrowedHeader_ = nullptr;
  bitmap_ = nullptr;
  lender_ = nullptr;
  if (!lender->FillOwnHeader()) return;
  borrowedMem_ = lender->ownHeaderMem_;
  borrowedHeader_ = static_cast<BitmapHandleHeader*>(ax::GlobalLock(borrowedMem_));
  bitmap_ = borrowedHeader_->BitmapPtr;
  lender_ = lender;
  lender->borrowers_.push_back(this);
}

void PixoOleDBCtrl::LeaveLender() {
  if (!lender_) return;
  auto& list = lender_->borrowers_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  lender_ = nullptr;
}

ax::HRESULT PixoOleDBCtrl::BitmapPut(const ax::Variant& value) {
  if (!bitmap_) return Report(kNoMemory, nullptr, true);
  auto mem = reinterpret_cast<ax::HGLOBAL>(static_cast<intptr_t>(value.AsInt()));
  // The control's own Bitmap handed back to it changes nothing (dropping
  // the bitmap first would leave the handle pointing at freed memory).
  if (mem && (mem == ownHeaderMem_ || mem == borrowedMem_)) return ax::S_OK;
  if (ann_.loaded() && annContainer_) ann_.Destroy(annContainer_, ANNFLAG_NOTTHIS);
  DropBitmap();
  if (!mem) return NewEmptyBitmap() ? ax::S_OK : Report(kNoMemory, nullptr, true);
  // The handle comes from another component: its size decides what it may hold.
  size_t size = ax::GlobalSize(mem);
  auto* p = static_cast<uint8_t*>(ax::GlobalLock(mem));
  if (p && size >= sizeof(BitmapHandleHeader) && std::memcmp(p, "pixo", 4) == 0 &&
      reinterpret_cast<BitmapHandleHeader*>(p)->BitmapPtr) {
    borrowedMem_ = mem;
    borrowedHeader_ = reinterpret_cast<BitmapHandleHeader*>(p);
    bitmap_ = borrowedHeader_->BitmapPtr;
    // A binding control as lender knows its borrowers, so that it can hand
    // its image over before it drops it.
    if (borrowedHeader_->Callback == OwnHeaderCallback && borrowedHeader_->CallbackData) {
      lender_ = static_cast<PixoOleDBCtrl*>(borrowedHeader_->CallbackData);
      lender_->borrowers_.push_back(this);
    }
  } else if (p && size >= sizeof(PXBITMAP) && std::memcmp(p, "pixo", 4) != 0) {
    bitmapMem_ = mem;
    bitmap_ = reinterpret_cast<PXBITMAP*>(p);
  } else {
    if (p) ax::GlobalUnlock(mem);
    NewEmptyBitmap();
    return Report(kBadBitmap, nullptr, true);
  }
  return Allocated(bitmap_) ? ax::S_OK : Report(kBadBitmap, nullptr, true);
}

int32_t PixoOleDBCtrl::OwnHeaderCallback(int32_t type, BitmapHandleHeader*, void* data) {
  auto* self = static_cast<PixoOleDBCtrl*>(data);
  if (type == 1) {
    if (self && self->bitmap_) PXC_ChangeBitmapState(self->bitmap_, 1, 1, 1, 1, 0, 0, 2, 0, 0);
    return kOk;
  }
  if (type == 3) return kOk;
  return kNotAvailable;
}

ax::HRESULT PixoOleDBCtrl::AnnContainerPut(const ax::Variant& value) {
  if (!ann_.loaded()) return Report(kNotAvailable, nullptr, true);
  if (annContainer_) {
    ann_.Destroy(annContainer_, ANNFLAG_NOTTHIS);
  } else {
    int32_t r = ann_.Create(0, &annContainer_);
    if (r != kOk) return Report(r, nullptr, true);
  }
  auto given = reinterpret_cast<HANNOBJECT>(static_cast<intptr_t>(value.AsInt()));
  if (!given) return ax::S_OK;
  HANNOBJECT copy = nullptr;
  int32_t r = ann_.Copy(given, &copy);
  if (r != kOk) return Report(r, nullptr, true);
  ann_.Destroy(annContainer_, ANNFLAG_NOTTHIS);
  r = ann_.Insert(annContainer_, copy);
  if (r == kOk) return ax::S_OK;
  ann_.Destroy(copy, 0);
  return Report(r, nullptr, true);
}

// The file library's callbacks

int32_t PixoOleDBCtrl::ProgressStep(int32_t firstRow, int32_t rowCount, int32_t height) {
  if (!enableProgressEvent_) return kOk;
  ax::Variant args[1] = {ax::Variant::I2(static_cast<int16_t>(MulDiv(firstRow + rowCount, 100, height)))};
  FireEvent(DISPID_ProgressStatus, args);
  // A handler that switches progress off asks to stop.
  return enableProgressEvent_ ? kOk : kAborted;
}

int32_t PixoOleDBCtrl::SaveRows(PXBITMAP* bitmap, uint8_t* buffer, int32_t firstRow, int32_t rowCount) {
  PXC_AccessBitmap(bitmap);
  for (int32_t i = 0; i < rowCount; ++i) {
    uint8_t* line = buffer + static_cast<size_t>(i) * static_cast<size_t>(bitmap->BytesPerLine);
    if (PXC_GetBitmapRow(bitmap, line, firstRow + i, bitmap->BytesPerLine) != bitmap->BytesPerLine) {
      PXC_ReleaseBitmap(bitmap);
      return 0;
    }
  }
  PXC_ReleaseBitmap(bitmap);
  return ProgressStep(firstRow, rowCount, bitmap->Height);
}

}  // namespace dbbind

extern "C" {

int32_t DBLoadCB(PXFILEINFO*, PXBITMAP* bitmap, uint8_t*, int32_t, int32_t firstRow, int32_t rowCount,
                 void* control) {
  if (!control || !bitmap) return 1;
  return static_cast<dbbind::PixoOleDBCtrl*>(control)->ProgressStep(firstRow, rowCount, bitmap->Height);
}

int32_t DBSaveCB(PXBITMAP* bitmap, uint8_t* buffer, int32_t firstRow, int32_t rowCount, void* control) {
  if (!control || !bitmap || !buffer) return 0;
  return static_cast<dbbind::PixoOleDBCtrl*>(control)->SaveRows(bitmap, buffer, firstRow, rowCount);
}
}
