#include "toolkitctl/toolbar/toolbar_ctrl.h"

#include <cstring>
#include <new>

#include "platform/activex/picture.h"

namespace toolbar {
namespace {

constexpr int32_t kNotReady = -13;
constexpr int32_t kFailure = -1;
constexpr size_t kToolTipKept = 254;

constexpr ax::DISPID kGridOnly[] = {DISPID_EnableMethodErrors, DISPID_XPosition, DISPID_YPosition,
                                    DISPID_RowCount, DISPID_ButtonBitmapWidth, DISPID_ButtonBitmapHeight};

const toolkitctl::ControlIdentity kIdentity{CLSID_PIXOToolBar, IID_IPIXOToolBar, DIID__PIXOToolBarEvents,
                                            &kToolBarInterface};

bool IsPut(uint16_t flags) { return flags & (ax::DISPATCH_PROPERTYPUT | ax::DISPATCH_PROPERTYPUTREF); }

ButtonInfoRecord* NewRecord() { return new (std::nothrow) ButtonInfoRecord{}; }

void FreeRecord(ButtonInfoRecord* record) {
  if (!record) return;
  ax::DeleteBitmap(record->ButtonBitmap);
  delete record;
}

}  // namespace

ax::HBITMAP LoadButtonBitmapResource() {
  // A 16 x 16 palette icon: a dark frame around a light field.
  std::vector<uint32_t> px(16 * 16, 0xC0C0C0);
  for (int i = 0; i < 16; ++i) px[i] = px[15 * 16 + i] = px[i * 16] = px[i * 16 + 15] = 0x404040;
  return ax::CreateBitmap(16, 16, px);
}

PIXOToolBarCtrl::PIXOToolBarCtrl() : ToolkitControl(&ToolBarModule(), kIdentity) { PXTB_InitToolbar(&toolbar_); }

PIXOToolBarCtrl::~PIXOToolBarCtrl() {
  if (PXTB_IsToolbar(toolbar_) == 1) PXTB_FreeToolbar(&toolbar_);
}

bool PIXOToolBarCtrl::Ready() const { return PXTB_IsToolbar(toolbar_) == 1 && created_; }

std::vector<toolkitctl::ToolkitControl::PersistedProperty> PIXOToolBarCtrl::PersistedProperties() {
  return {{"EnableMethodErrors", DISPID_EnableMethodErrors, &enableMethodErrors_}};
}

std::vector<toolkitctl::ToolkitControl::Choice> PIXOToolBarCtrl::Choices(ax::DISPID dispid) {
  if (dispid != DISPID_EnableMethodErrors) return {};
  return {{u"False", 0}, {u"True", 1}};
}

std::span<const ax::DISPID> PIXOToolBarCtrl::GridOnlyProperties() { return kGridOnly; }

ax::HRESULT PIXOToolBarCtrl::Draw(ax::DrawContext* dc) {
  if (!dc) return ax::E_POINTER;
  if (!IsDesignMode()) return ax::S_OK;
  std::string rect = "rectangle " + std::to_string(dc->left) + " " + std::to_string(dc->top) + " " +
                     std::to_string(dc->right) + " " + std::to_string(dc->bottom);
  dc->ops.push_back("pen black");
  dc->ops.push_back(rect);
  dc->ops.push_back("icon 101 " + std::to_string(dc->left) + " " + std::to_string(dc->top));
  dc->ops.push_back("brush null");
  dc->ops.push_back(rect);
  return ax::S_OK;
}

ax::HRESULT PIXOToolBarCtrl::Invoke(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                    ax::Variant* result) {
  const bool put = IsPut(flags);
  if (dispid == DISPID_EnableMethodErrors) return EnableMethodErrorsMember(dispid, flags, args, result);
  // The container is asked before the control's state is locked.
  if (!put && (dispid == DISPID_Visible || dispid == DISPID_hToolbar || dispid == DISPID_Button)) {
    if (ax::HRESULT hr = DesignModeGuard(false); hr != ax::S_OK) return hr;
  }
  std::lock_guard lock(mu_);
  switch (dispid) {
    case DISPID_Visible: {
      // Visible asks the library even before CreateToolbar; the library
      // answers for a toolbar without window.
      if (!put) {
        int32_t visible = 0;
        int32_t r = PXTB_IsVisible(toolbar_, &visible);
        if (result) *result = ax::Variant::Bool(r == 1 && visible);
        return Report(r);
      }
      int64_t v = 0;
      if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
      return Report(PXTB_SetVisible(toolbar_, static_cast<int16_t>(v)));
    }
    case DISPID_CreateToolbar:
      return CreateToolbar(args, result);
    case DISPID_XPosition:
    case DISPID_YPosition:
      return Position(dispid, flags, args, result);
    case DISPID_RowCount:
      return RowCount(flags, args, result);
    case DISPID_ButtonBitmapWidth:
    case DISPID_ButtonBitmapHeight:
      return BitmapSize(dispid, flags, args, result);
    case DISPID_hToolbar:
      if (put) return ax::DISP_E_MEMBERNOTFOUND;
      if (result) *result = ax::Variant::Handle(reinterpret_cast<intptr_t>(toolbar_));
      return ax::S_OK;
    case DISPID_AddButton:
      return AddButton(args, result);
    case DISPID_RemoveButton: {
      int64_t id = 0;
      if (ax::HRESULT hr = toolkitctl::IntArg(args, 0, &id); ax::Failed(hr)) return hr;
      int16_t code = 0;
      ax::HRESULT hr = Report(Ready() ? PXTB_RemoveButton(toolbar_, static_cast<int32_t>(id)) : kNotReady, &code);
      if (result) *result = ax::Variant::I2(code);
      return hr;
    }
    case DISPID_Button:
      return Button(args, result);
    default:
      return ax::DISP_E_MEMBERNOTFOUND;
  }
}

ax::HRESULT PIXOToolBarCtrl::CreateToolbar(std::span<ax::Variant> args, ax::Variant* result) {
  if (args.size() != 3) return ax::DISP_E_BADPARAMCOUNT;
  if (result) *result = ax::Variant::I2(0);
  if (created_) return ax::S_OK;
  int64_t parent = 0, flagsArg = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, 0, &parent); ax::Failed(hr)) return hr;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, 2, &flagsArg); ax::Failed(hr)) return hr;
  int16_t code = 0;
  int32_t r = kNotReady;
  if (PXTB_IsToolbar(toolbar_) == 1 && ax::IsWindow(static_cast<ax::HWND>(parent))) {
    std::string title = ax::Narrow(args[1].AsStr());
    r = PXTB_CreateToolbar(toolbar_, static_cast<ax::HWND>(parent), title.c_str(), static_cast<uint32_t>(flagsArg));
  }
  if (r != 1) {
    ax::HRESULT hr = Report(r, &code);
    if (result) *result = ax::Variant::I2(code);
    return hr;
  }
  PXTB_SetButtonCallback(toolbar_, ToolBarCB, this);
  created_ = true;
  int32_t xy[2] = {x_, y_};
  ax::HRESULT hr = Report(PXTB_SetPosition(toolbar_, xy, 0), &code);
  if (hr == ax::S_OK) {
    ax::Variant rows[1] = {ax::Variant::I4(rows_)};
    hr = RowCount(ax::DISPATCH_PROPERTYPUT, rows, nullptr);
  }
  if (result) *result = ax::Variant::I2(code);
  return hr;
}

ax::HRESULT PIXOToolBarCtrl::Position(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                      ax::Variant* result) {
  int32_t& field = dispid == DISPID_XPosition ? x_ : y_;
  if (!IsPut(flags)) {
    if (created_) {
      int32_t xy[2] = {0, 0};
      int32_t r = Ready() ? PXTB_GetPosition(toolbar_, xy, 0) : kNotReady;
      if (r != 1) return Report(r);
      x_ = xy[0];
      y_ = xy[1];
    }
    if (result) *result = ax::Variant::I4(field);
    return ax::S_OK;
  }
  int64_t v = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
  field = static_cast<int32_t>(v);
  if (!created_) return ax::S_OK;
  int32_t xy[2] = {x_, y_};
  return Report(Ready() ? PXTB_SetPosition(toolbar_, xy, 0) : kNotReady);
}

ax::HRESULT PIXOToolBarCtrl::RowCount(uint16_t flags, std::span<ax::Variant> args, ax::Variant* result) {
  if (!IsPut(flags)) {
    if (created_) {
      int32_t r = Ready() ? PXTB_GetRows(toolbar_, &rows_) : kNotReady;
      if (r != 1) return Report(r);
    }
    if (result) *result = ax::Variant::I4(rows_);
    return ax::S_OK;
  }
  int64_t v = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
  rows_ = static_cast<int32_t>(v);
  if (!created_) return ax::S_OK;
  return Report(Ready() ? PXTB_SetRows(toolbar_, rows_) : kNotReady);
}

ax::HRESULT PIXOToolBarCtrl::BitmapSize(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                        ax::Variant* result) {
  const bool width = dispid == DISPID_ButtonBitmapWidth;
  if (!IsPut(flags)) {
    if (created_) {
      int32_t r = Ready() ? PXTB_GetButtonBitmapInfo(toolbar_, &bitmapInfo_) : kNotReady;
      if (r != 1) return Report(r);
      PXTB_FreeButtonBitmapInfo(&bitmapInfo_);
    }
    if (result) *result = ax::Variant::I4(width ? bitmapInfo_.BitmapWidth : bitmapInfo_.BitmapHeight);
    return ax::S_OK;
  }
  int64_t v = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
  if (!Ready()) return Report(kNotReady);
  int32_t r = PXTB_GetButtonBitmapInfo(toolbar_, &bitmapInfo_);
  if (r != 1) return Report(r);
  (width ? bitmapInfo_.BitmapWidth : bitmapInfo_.BitmapHeight) = static_cast<int32_t>(v);
  r = PXTB_SetButtonBitmapInfo(toolbar_, &bitmapInfo_);
  PXTB_FreeButtonBitmapInfo(&bitmapInfo_);
  return Report(r);
}

ax::HRESULT PIXOToolBarCtrl::AddButton(std::span<ax::Variant> args, ax::Variant* result) {
  int64_t id = 0, ref = 0, addFlags = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, 0, &id); ax::Failed(hr)) return hr;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, 1, &ref); ax::Failed(hr)) return hr;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, 2, &addFlags); ax::Failed(hr)) return hr;
  int32_t r = kNotReady;
  if (Ready()) {
    ButtonInfoRecord record{};
    record.ButtonID = static_cast<int32_t>(id);
    record.ButtonBitmap = LoadButtonBitmapResource();
    r = record.ButtonBitmap ? PXTB_AddButton(toolbar_, static_cast<int32_t>(ref), &record,
                                             static_cast<uint32_t>(addFlags))
                            : kFailure;
    ax::DeleteBitmap(record.ButtonBitmap);
  }
  int16_t code = 0;
  ax::HRESULT hr = Report(r, &code);
  if (result) *result = ax::Variant::I2(code);
  return hr;
}

ax::HRESULT PIXOToolBarCtrl::Button(std::span<ax::Variant> args, ax::Variant* result) {
  int64_t id = 0;
  if (ax::HRESULT hr = toolkitctl::IntArg(args, 0, &id); ax::Failed(hr)) return hr;
  if (!Ready()) return Report(kNotReady);
  ButtonInfoRecord* record = NewRecord();
  if (!record) return Report(kFailure);
  int32_t r = PXTB_GetButtonInfo(toolbar_, static_cast<int32_t>(id), record);
  if (r != 1) {
    FreeRecord(record);
    return Report(r);
  }
  auto* button = new (std::nothrow) ToolBarButtonObject(record, toolbar_, enableMethodErrors_);
  if (!button) {
    FreeRecord(record);
    return Report(kFailure);
  }
  button->AddRef();
  if (result) *result = ax::Variant::Dispatch(button);
  button->Release();
  return ax::S_OK;
}

int32_t PIXOToolBarCtrl::OnToolBarButton(pTOOLBARHANDLE toolbar, TOOLBARBUTTONID id, uint32_t dwData) {
  if (id > 0) {
    std::lock_guard lock(mu_);
    currentButton_ = id;
  }
  if (id == -1) {
    ax::Variant args[3] = {ax::Variant::Unknown(nullptr), ax::Variant::I4(-1),
                           ax::Variant::I4(static_cast<int32_t>(dwData))};
    FireEvent(DISPID_ToolBarButton, args);
    // Leaving the palette without a tool must not lose the tool in use.
    std::lock_guard lock(mu_);
    PXTB_SetButtonChecked(toolbar, currentButton_);
    return 1;
  }
  ButtonInfoRecord* record = NewRecord();
  if (!record) return kFailure;
  int32_t r = PXTB_GetButtonInfo(toolbar, id, record);
  if (r != 1) {
    FreeRecord(record);
    return r;
  }
  auto* button = new (std::nothrow) ToolBarButtonObject(record, toolbar, enableMethodErrors_);
  if (!button) {
    FreeRecord(record);
    return kFailure;
  }
  button->AddRef();
  ax::IDispatch* disp = nullptr;
  if (ax::Failed(button->QueryInterface(IID_IPXToolBarButton, reinterpret_cast<void**>(&disp)))) {
    button->Release();  // frees the record with its bitmap
    return kFailure;
  }
  ax::Variant args[3] = {ax::Variant::Unknown(disp), ax::Variant::I4(id),
                         ax::Variant::I4(static_cast<int32_t>(dwData))};
  FireEvent(DISPID_ToolBarButton, args);
  disp->Release();
  button->Release();
  return 1;
}

// ToolBarButtonObject

ToolBarButtonObject::ToolBarButtonObject(ButtonInfoRecord* record, pTOOLBARHANDLE toolbar, int16_t enableMethodErrors)
    : RefCounted(&ToolBarModule()),
      record_(record),
      toolbar_(toolbar),
      enableMethodErrors_(enableMethodErrors),
      reporter_(CLSID_PXToolBarButton, IID_IPXToolBarButton) {}

ToolBarButtonObject::~ToolBarButtonObject() { FreeRecord(record_); }

ax::HRESULT ToolBarButtonObject::QueryInterface(const ax::IID& iid, void** out) {
  if (!out) return ax::E_POINTER;
  void* p = nullptr;
  if (iid == ax::IID_IUnknown || iid == ax::IID_IDispatch || iid == IID_IPXToolBarButton)
    p = static_cast<ax::IDispatch*>(this);
  else if (iid == ax::IID_ISupportErrorInfo) p = static_cast<ax::ISupportErrorInfo*>(this);
  *out = p;
  if (!p) return ax::E_NOINTERFACE;
  AddRef();
  return ax::S_OK;
}

ax::HRESULT ToolBarButtonObject::Invoke(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args,
                                        ax::Variant* result) {
  const bool put = IsPut(flags);
  int64_t v = 0;
  if (put && dispid != DISPID_BtnPicture && dispid != DISPID_BtnToolTipText) {
    if (ax::HRESULT hr = toolkitctl::IntArg(args, args.size() - 1, &v); ax::Failed(hr)) return hr;
  }
  if (!record_ || !toolbar_) return ax::S_OK;
  const int32_t id = record_->ButtonID;
  switch (dispid) {
    case DISPID_BtnVisible:
    case DISPID_BtnEnabled: {
      const bool visible = dispid == DISPID_BtnVisible;
      if (put)
        return Report(visible ? PXTB_ShowButton(toolbar_, id, static_cast<int16_t>(v))
                              : PXTB_EnableButton(toolbar_, id, static_cast<int16_t>(v)));
      int32_t state = 0;
      int32_t r = visible ? PXTB_IsButtonVisible(toolbar_, id, &state) : PXTB_IsButtonEnabled(toolbar_, id, &state);
      if (result) *result = ax::Variant::Bool(r == 1 && state);
      return Report(r);
    }
    case DISPID_BtnChecked: {
      int32_t checked = 0;
      int32_t r = PXTB_GetButtonChecked(toolbar_, &checked);
      if (!put) {
        if (result) *result = ax::Variant::Bool(r == 1 && checked == id);
        return Report(r);
      }
      // True checks this button; false unchecks it when it is the checked one.
      if (v != 0) return Report(PXTB_SetButtonChecked(toolbar_, id));
      if (r != 1) return Report(r);
      return checked == id ? Report(PXTB_SetButtonChecked(toolbar_, 0)) : ax::S_OK;
    }
    case DISPID_BtnID: {
      if (!put) {
        if (result) *result = ax::Variant::I4(id);
        return ax::S_OK;
      }
      record_->ButtonID = static_cast<int32_t>(v);
      int32_t r = PXTB_SetButtonInfo(toolbar_, id, record_);
      // A refused id leaves the object on the button it still names.
      if (r != 1) record_->ButtonID = id;
      return Report(r);
    }
    case DISPID_BtnPicture:
      return Picture(flags, args, result);
    case DISPID_BtnToolTipText: {
      if (!put) {
        if (result) *result = ax::Variant::Str(ax::Widen(record_->ToolTipText));
        return ax::S_OK;
      }
      if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
      std::string text = ax::Narrow(args.back().AsStr()).substr(0, kToolTipKept);
      std::memset(record_->ToolTipText, 0, sizeof record_->ToolTipText);
      std::memcpy(record_->ToolTipText, text.data(), text.size());
      return Report(PXTB_SetButtonInfo(toolbar_, id, record_));
    }
    case DISPID_BtnUserTag:
      if (!put) {
        if (result) *result = ax::Variant::I4(record_->UserTag);
        return ax::S_OK;
      }
      record_->UserTag = static_cast<int32_t>(v);
      return Report(PXTB_SetButtonInfo(toolbar_, id, record_));
    default:
      return ax::DISP_E_MEMBERNOTFOUND;
  }
}

ax::HRESULT ToolBarButtonObject::Picture(uint16_t flags, std::span<ax::Variant> args, ax::Variant* result) {
  if (!IsPut(flags)) {
    if (result) *result = ax::Variant::Unknown(nullptr);
    if (!record_->ButtonBitmap) return ax::S_OK;
    ax::PICTDESC desc{ax::PICTYPE_BITMAP, ax::CopyBitmap(record_->ButtonBitmap), 0};
    ax::IPicture* pic = nullptr;
    if (!desc.handle ||
        ax::Failed(ax::OleCreatePictureIndirect(desc, ax::IID_IPicture, true, reinterpret_cast<void**>(&pic)))) {
      ax::DeleteBitmap(desc.handle);
      return Report(0);
    }
    if (result) *result = ax::Variant::Unknown(pic);
    pic->Release();
    return ax::S_OK;
  }
  if (args.empty()) return ax::DISP_E_BADPARAMCOUNT;
  ax::IPicture* pic = nullptr;
  if (!args.back().AsUnknown() ||
      ax::Failed(args.back().AsUnknown()->QueryInterface(ax::IID_IPicture, reinterpret_cast<void**>(&pic))))
    return Report(-2);
  int16_t type = ax::PICTYPE_NONE;
  uintptr_t handle = 0;
  pic->get_Type(&type);
  pic->get_Handle(&handle);
  pic->Release();
  if (type != ax::PICTYPE_BITMAP) return Report(-13);
  if (!handle) return Report(-2);
  ax::HBITMAP copy = ax::CopyBitmap(handle);
  if (!copy) return Report(-2);
  ax::DeleteBitmap(record_->ButtonBitmap);
  record_->ButtonBitmap = copy;
  return Report(PXTB_SetButtonInfo(toolbar_, record_->ButtonID, record_));
}

}  // namespace toolbar
