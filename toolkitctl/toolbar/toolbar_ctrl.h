#pragma once
// PIXOToolBarCtrl: one toolbar of the toolbar library in a COM container,
// and ToolBarButtonObject, the dispatch object on one of its buttons.

#include <mutex>

#include "toolkitctl/common/toolkit_control.h"
#include "toolkitctl/toolbar/pixobarctl.h"

namespace toolbar {

ax::Module& ToolBarModule();

class PIXOToolBarCtrl final : public toolkitctl::ToolkitControl {
 public:
  PIXOToolBarCtrl();
  ~PIXOToolBarCtrl() override;

  ax::HRESULT Invoke(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args, ax::Variant* result) override;
  ax::HRESULT Draw(ax::DrawContext* dc) override;

  // ToolBarCB's work, on this control.
  int32_t OnToolBarButton(pTOOLBARHANDLE toolbar, TOOLBARBUTTONID id, uint32_t dwData);

 private:
  std::vector<PersistedProperty> PersistedProperties() override;
  std::vector<Choice> Choices(ax::DISPID dispid) override;
  std::span<const ax::DISPID> GridOnlyProperties() override;

  bool Ready() const;
  ax::HRESULT CreateToolbar(std::span<ax::Variant> args, ax::Variant* result);
  ax::HRESULT Position(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args, ax::Variant* result);
  ax::HRESULT RowCount(uint16_t flags, std::span<ax::Variant> args, ax::Variant* result);
  ax::HRESULT BitmapSize(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args, ax::Variant* result);
  ax::HRESULT AddButton(std::span<ax::Variant> args, ax::Variant* result);
  ax::HRESULT Button(std::span<ax::Variant> args, ax::Variant* result);

  // The control is registered for both threading models: one lock guards
  // its state and its calls of the library, so a get that stores what it
  // reads cannot undo a put on another thread. Re-entrant, because the
  // library may report a button (ToolBarCB) from inside a call.
  std::recursive_mutex mu_;
  pTOOLBARHANDLE toolbar_ = nullptr;
  bool created_ = false;
  int32_t currentButton_ = 0;
  int32_t x_ = 0, y_ = 0;
  int32_t rows_ = 1;
  ButtonBitmapInfo bitmapInfo_{sizeof(ButtonBitmapInfo), 16, 16, {0, 0, 0}};
};

// Owns `record` (freed with its bitmap at the final release).
class ToolBarButtonObject final : public ax::IDispatch, public ax::ISupportErrorInfo, public ax::RefCounted {
 public:
  ToolBarButtonObject(ButtonInfoRecord* record, pTOOLBARHANDLE toolbar, int16_t enableMethodErrors);
  ~ToolBarButtonObject() override;

  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override;
  ax::ULONG AddRef() override { return AddRefImpl(); }
  ax::ULONG Release() override { return ReleaseImpl(); }
  const ax::InterfaceDesc* GetTypeInfo() override { return &kButtonInterface; }
  ax::HRESULT Invoke(ax::DISPID dispid, uint16_t flags, std::span<ax::Variant> args, ax::Variant* result) override;
  ax::HRESULT InterfaceSupportsErrorInfo(const ax::IID& iid) override {
    return iid == IID_IPXToolBarButton ? ax::S_OK : ax::S_FALSE;
  }

 private:
  ax::HRESULT Report(int32_t result) { return reporter_.Report(result, nullptr, false, enableMethodErrors_ != 0); }
  ax::HRESULT Picture(uint16_t flags, std::span<ax::Variant> args, ax::Variant* result);

  ButtonInfoRecord* record_;
  pTOOLBARHANDLE toolbar_;
  int16_t enableMethodErrors_;
  toolkitctl::ToolkitErrorReporter reporter_;
};

// The control's bitmap resource 201 (the picture of new buttons); 0 when
// it cannot be made.
ax::HBITMAP LoadButtonBitmapResource();

}  // namespace toolbar
